// Test API of the fake Win32 platform (Linux only). Tests set up the state the
// application sees through the Win32 functions of <windows.h> and read back
// what the application did. Call Reset() in every test's SetUp.
//
// Paths (files, registry keys) are case-insensitive; "\\" separates them
// ("/" is accepted for files). Relative file names resolve against the fake
// current directory (default "C:\\Users\\user"). The Win32 file functions
// refuse a full path of MAX_PATH (260) characters or more with
// ERROR_PATH_NOT_FOUND, as Windows does; the test functions take any length.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fakeplat {

// Everything back to defaults: empty registry, a file system holding only
// C:\, C:\Windows (with Help and system32) and C:\Users\user, default
// directories, environment, names, memory, OS version (6.2.9200), real clocks,
// no modules, no injected failures, empty logs. Open handles are forgotten.
// Also clears the calling thread's last error.
void Reset();

// ------------------------------------------------------------ system messages

// Overrides the FormatMessageW text of a code; nullopt removes the code, so
// that FormatMessageW fails with ERROR_MR_MID_NOT_FOUND. Texts normally end
// in "\r\n".
void SetSystemMessage(DWORD dwCode, std::optional<std::wstring> text);

// Blocks from LocalAlloc (including FormatMessageW's allocated buffers) not
// yet given back to LocalFree.
int LocalAllocCount();

// ------------------------------------------------------------ registry
// hRoot is one of the predefined keys (HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
// HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG). Setting a value creates
// its key and all parent keys. strName "" is the key's default value.
// Strings are stored as WCHAR text with terminator: sizeof(WCHAR) * (len + 1)
// bytes (4 bytes per character on Linux).

void SetRegValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName, DWORD dwType,
                 std::vector<BYTE> data);
void SetRegDword(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                 DWORD dwValue);
void SetRegString(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  const std::wstring& strValue, DWORD dwType = REG_SZ);
void SetRegBinary(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  std::vector<BYTE> data);
void CreateRegKey(HKEY hRoot, const std::wstring& strPath);
// Removes the key with its subkeys; open handles to it then get
// ERROR_KEY_DELETED.
void DeleteRegKey(HKEY hRoot, const std::wstring& strPath);
void DeleteRegValue(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName);
// RegOpenKeyEx* of that key returns lError (0 removes the injection).
void FailRegOpen(HKEY hRoot, const std::wstring& strPath, LONG lError);
// RegQueryValueEx* of that value returns lError (0 removes the injection).
void FailRegQuery(HKEY hRoot, const std::wstring& strPath, const std::wstring& strName,
                  LONG lError);
// Handles from RegOpenKeyEx* not yet closed.
int OpenRegKeyCount();

struct RegOpenCall {
    HKEY hRoot;            // predefined root the key lies under
    std::wstring strPath;  // full path below the root, as passed (joined with "\\")
    REGSAM samDesired;
    LONG lResult;
};
std::vector<RegOpenCall> RegOpenCalls();

// Every RegQueryValueEx* on a handle that resolves, whatever it returned.
struct RegQueryCall {
    HKEY hRoot;
    std::wstring strPath;  // the key's path below the root, as opened
    std::wstring strName;  // the value's name, as passed
};
std::vector<RegQueryCall> RegQueryCalls();

// ------------------------------------------------------------ files

// Adds or replaces a file (parent directories are created). dwAttributes 0
// reads back as FILE_ATTRIBUTE_NORMAL. Times are the fake clock's now.
void AddFile(const std::wstring& strPath, std::vector<BYTE> bytes = {},
             DWORD dwAttributes = FILE_ATTRIBUTE_ARCHIVE);
void AddFile(const std::wstring& strPath, const std::string& strBytes,
             DWORD dwAttributes = FILE_ATTRIBUTE_ARCHIVE);
void AddDirectory(const std::wstring& strPath);
void RemoveFile(const std::wstring& strPath);
// The file's bytes, nullopt if there is no such file.
std::optional<std::vector<BYTE>> FileContents(const std::wstring& strPath);
// Sets creation, last-access and last-write time of an existing file (UTC).
bool SetFileWriteTime(const std::wstring& strPath, const SYSTEMTIME& stUtc);
// CreateFileW of that path fails with dwError (0 removes the injection).
void FailCreateFile(const std::wstring& strPath, DWORD dwError);
// Writes to that path that would make the file larger than ullMaxSize write
// what fits and fail with dwError, as on a full disk (0 removes the limit).
// A folder's limit holds for every file below it.
void FailWriteFile(const std::wstring& strPath, ULONGLONG ullMaxSize, DWORD dwError);
// Names of the files and folders directly in a folder, sorted without
// regard to case.
std::vector<std::wstring> FilesIn(const std::wstring& strDir);
// No existence check, unlike SetCurrentDirectoryW.
void SetCurrentDirectory(const std::wstring& strPath);
// Kernel handles not yet closed: files, tokens, threads, events.
int OpenHandleCount();

// Version resource of a file for GetFileVersionInfo*/VerQueryValueW.
struct VersionStringTable {
    std::wstring strBlock;  // e.g. L"040704b0": language and code page, 4 hex digits each
    std::vector<std::pair<std::wstring, std::wstring>> values;  // name, text
};
struct VersionInfo {
    std::vector<std::pair<WORD, WORD>> translations;  // "\\VarFileInfo\\Translation" entries
    std::vector<VersionStringTable> tables;
    std::optional<VS_FIXEDFILEINFO> fixed;  // "\\"
};
// One translation and its string table.
VersionInfo MakeVersionInfo(WORD wLanguage, WORD wCodePage,
                            std::vector<std::pair<std::wstring, std::wstring>> values);
// Gives the file a version resource (the file is added when missing).
void SetFileVersionInfo(const std::wstring& strPath, const VersionInfo& info);

// ------------------------------------------------------------ system information

// L"" makes the call fail (returns 0, last error ERROR_PATH_NOT_FOUND).
void SetWindowsDirectory(const std::wstring& strPath);
void SetSystemDirectory(const std::wstring& strPath);
// A 32-bit program on 64-bit Windows (default: false): IsWow64Process says
// so, and the Win32 file functions (not the test functions here) redirect
// <windows>\System32 to <windows>\SysWOW64, except its folders catroot,
// catroot2, driverstore, drivers\etc, logfiles and spool, and take
// <windows>\Sysnative for the real System32.
void SetWow64(bool bWow64);
// Names are case-insensitive; nullopt removes the variable. Defaults:
// SystemDrive, SystemRoot, windir, USERNAME, COMPUTERNAME, USERPROFILE, TEMP, TMP.
void SetEnvironment(const std::wstring& strName, std::optional<std::wstring> value);
void SetComputerName(const std::wstring& strName);   // default L"PANEL01"
void FailComputerName(DWORD dwError);                // 0 removes the injection
void SetUserName(const std::wstring& strName);       // default L"user"
void FailUserName(DWORD dwError);                    // 0 removes the injection
void SetMemoryStatus(const MEMORYSTATUSEX& status);  // dwLength is ignored
// dwOSVersionInfoSize is ignored.
void SetOsVersion(const OSVERSIONINFOEXW& version);
OSVERSIONINFOEXW MakeOsVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild,
                               DWORD dwPlatformId = VER_PLATFORM_WIN32_NT,
                               const std::wstring& strCsd = L"", WORD wSuiteMask = 0,
                               BYTE bProductType = VER_NT_WORKSTATION);
// GetVersionExW fails (ERROR_INVALID_PARAMETER) for the extended and/or the
// basic structure, as on systems that predate the extended one.
void FailGetVersionEx(bool bExtended, bool bBasic);

// ------------------------------------------------------------ clocks

// Freezes the wall clock (GetSystemTime, file times) at this UTC time;
// nullopt returns to the real clock.
void SetNow(std::optional<SYSTEMTIME> stUtc);
// Local time = UTC - bias (minutes), as Windows' time-zone bias. Default 0.
void SetTimeZoneBias(LONG lBiasMinutes);
// Freezes GetTickCount/GetTickCount64/QueryPerformanceCounter at this value;
// while frozen, Sleep(n) advances it by n without sleeping. nullopt returns
// to the real clock.
void SetTickCount(std::optional<ULONGLONG> ullMilliseconds);
void AdvanceTickCount(ULONGLONG ullMilliseconds);  // freezes the clock if it is real

// ------------------------------------------------------------ threads

// CreateThread fails with dwError (0 removes the injection).
void FailCreateThread(DWORD dwError);

// ------------------------------------------------------------ shutdown

struct PrivilegeChange {
    LUID luid;
    DWORD dwAttributes;
};
struct ExitWindowsCall {
    UINT uFlags;
    DWORD dwReason;
    BOOL bResult;
};
struct ShutdownLog {
    int nOpenTokenCalls = 0;
    DWORD dwTokenAccess = 0;                   // access asked at the last OpenProcessToken
    std::vector<std::wstring> lookedUp;        // LookupPrivilegeValueW names
    std::vector<PrivilegeChange> adjustments;  // AdjustTokenPrivileges entries
    std::vector<ExitWindowsCall> exitCalls;
};
ShutdownLog Shutdown();
// LUID that LookupPrivilegeValueW gives for SE_SHUTDOWN_NAME.
LUID ShutdownPrivilegeLuid();
// Whether SeShutdownPrivilege is currently enabled in the process token.
bool ShutdownPrivilegeEnabled();
void FailOpenProcessToken(DWORD dwError);  // 0 removes the injection
// false: the user lacks the privilege, AdjustTokenPrivileges reports
// ERROR_NOT_ALL_ASSIGNED and ExitWindowsEx fails with ERROR_PRIVILEGE_NOT_HELD.
void SetShutdownPrivilegeHeld(bool bHeld);
// ExitWindowsEx fails with dwError whatever the privilege (0 removes).
void FailExitWindows(DWORD dwError);

// ------------------------------------------------------------ modules
// Name matching (LoadLibrary*, GetModuleHandleW), case-insensitive: a request
// without ".ext" gets ".dll" appended (a trailing "." means no extension);
// then a module matches when both names are equal, or when their file-name
// parts are equal and at least one of the two has no directory part. So
// "hhctrl.ocx" registered answers "C:\\Windows\\System32\\hhctrl.ocx" and
// vice versa, but "C:\\A\\x.dll" does not answer "D:\\B\\x.dll".
// GetModuleFileNameW gives the registered name if it has a directory part,
// else the system directory + "\\" + name.

// Any function as FARPROC (through void(*)(), which -Wcast-function-type
// accepts).
template <class F>
FARPROC ToFarProc(F* fn) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(fn));
}

struct ModuleExport {
    WORD wOrdinal = 0;    // 0: by name only
    std::string strName;  // empty: by ordinal only
    FARPROC pfn = nullptr;

    template <class F>
    ModuleExport(WORD ordinal, F* fn) : wOrdinal(ordinal), pfn(ToFarProc(fn)) {}
    template <class F>
    ModuleExport(const char* name, F* fn) : strName(name), pfn(ToFarProc(fn)) {}
    template <class F>
    ModuleExport(WORD ordinal, const char* name, F* fn)
        : wOrdinal(ordinal), strName(name), pfn(ToFarProc(fn)) {}
};
// bLoaded: the module is already in the process (as a static import) and
// cannot be unloaded; otherwise LoadLibrary loads it.
HMODULE RegisterModule(const std::wstring& strName, std::vector<ModuleExport> exports,
                       bool bLoaded = false);
struct ModuleStats {
    int nLoadCalls = 0;  // successful LoadLibrary* of this module
    int nFreeCalls = 0;  // successful FreeLibrary
    int nRefCount = 0;   // loads not yet freed
};
ModuleStats ModuleStatsOf(const std::wstring& strName);
// Every name passed to LoadLibraryW/LoadLibraryA, in call order.
std::vector<std::wstring> LoadLibraryCalls();
// GetModuleHandleW(NULL) and GetModuleFileNameW(NULL); default path
// "C:\\Windows\\System32\\control.exe".
HMODULE MainModule();
void SetModuleFileName(HMODULE hModule, const std::wstring& strPath);

// ------------------------------------------------------------ activation contexts

struct ActCtxRequest {
    DWORD dwFlags;
    std::wstring strSource;
    ULONG_PTR nResourceId;  // when lpResourceName was an integer resource
    std::wstring strResourceName;
    HMODULE hModule;
};
struct ActCtxStats {
    int nCreated = 0;
    int nReleased = 0;
    int nActivations = 0;
    int nDeactivations = 0;
    int nActive = 0;            // activations not yet deactivated
    int nBadDeactivations = 0;  // cookie not the innermost activation, or unknown
    std::vector<ActCtxRequest> requests;
};
ActCtxStats ActCtx();
void FailCreateActCtx(DWORD dwError);  // 0 removes the injection

}  // namespace fakeplat
