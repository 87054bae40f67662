// Tests of the fake platform itself, where a fault would mislead the
// application's tests: Win32 buffer and error conventions.
#include "platform/fake/FakePlatform.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { fakeplat::Reset(); }
};

std::wstring SystemText(DWORD dwCode) {
    LPWSTR pText = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, dwCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&pText), 0, nullptr);
    std::wstring str = n ? std::wstring(pText, n) : L"";
    EXPECT_EQ(nullptr, LocalFree(pText));
    return str;
}

TEST_F(PlatformTest, FormatMessageFollowsTheSystemConventions) {
    EXPECT_EQ(L"This operation returned because the timeout period expired.\r\n", SystemText(1460));
    EXPECT_EQ(L"The semaphore timeout period has expired.\r\n", SystemText(121));
    EXPECT_EQ(0, fakeplat::LocalAllocCount());

    // Caller buffer: size in characters, terminator included.
    const std::wstring strBusy = L"The requested resource is in use.\r\n";
    std::vector<WCHAR> buffer(strBusy.size());
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, 170, 0, buffer.data(), DWORD(buffer.size()), nullptr));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    buffer.resize(strBusy.size() + 1);
    EXPECT_EQ(strBusy.size(),
              FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             170, 0, buffer.data(), DWORD(buffer.size()), nullptr));
    EXPECT_EQ(strBusy, buffer.data());

    // Unknown codes fail; tests can add and remove texts.
    LPWSTR pText = nullptr;
    EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                     FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 nullptr, 4711, 0, reinterpret_cast<LPWSTR>(&pText), 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_MR_MID_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, pText);
    fakeplat::SetSystemMessage(4711, std::wstring(L"Own text.\r\n"));
    EXPECT_EQ(L"Own text.\r\n", SystemText(4711));
    fakeplat::SetSystemMessage(50, std::nullopt);
    EXPECT_EQ(L"", SystemText(50));
    EXPECT_EQ(0, fakeplat::LocalAllocCount());
}

TEST_F(PlatformTest, RegistryReportsTypesSizesAndErrors) {
    fakeplat::SetRegDword(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"DisableKeyLock", 2);
    fakeplat::SetRegString(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"UseWmi", L"1");

    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"control panel\\ivro", 0, KEY_QUERY_VALUE, &hKey));
    EXPECT_EQ(1, fakeplat::OpenRegKeyCount());

    DWORD dwType = 0, dwValue = 0, cb = sizeof(dwValue);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"disablekeylock", nullptr, &dwType,
                                              reinterpret_cast<LPBYTE>(&dwValue), &cb));
    EXPECT_EQ(DWORD(REG_DWORD), dwType);
    EXPECT_EQ(2u, dwValue);
    EXPECT_EQ(4u, cb);

    // A string: size asked first, then too small a buffer.
    cb = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(hKey, L"UseWmi", nullptr, &dwType, nullptr, &cb));
    EXPECT_EQ(DWORD(REG_SZ), dwType);
    EXPECT_EQ(2 * sizeof(WCHAR), cb);
    cb = sizeof(dwValue) - 1;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(hKey, L"UseWmi", nullptr, &dwType,
                                                reinterpret_cast<LPBYTE>(&dwValue), &cb));
    EXPECT_EQ(2 * sizeof(WCHAR), cb);
    char szAnsi[8] = {};
    cb = sizeof(szAnsi);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(hKey, "UseWmi", nullptr, &dwType,
                                              reinterpret_cast<LPBYTE>(szAnsi), &cb));
    EXPECT_STREQ("1", szAnsi);
    EXPECT_EQ(2u, cb);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExW(hKey, L"DisableBiosUpdate", nullptr, &dwType, nullptr, &cb));
    fakeplat::FailRegQuery(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"UseWmi", ERROR_BADDB);
    EXPECT_EQ(ERROR_BADDB, RegQueryValueExW(hKey, L"UseWmi", nullptr, &dwType, nullptr, &cb));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(hKey));
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());

    // A key opened without query rights cannot be read.
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel", 0, KEY_ENUMERATE_SUB_KEYS, &hKey));
    HKEY hSub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(hKey, L"IVRO", 0, KEY_READ, &hSub));
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegQueryValueExW(hKey, L"UseWmi", nullptr, &dwType, nullptr, &cb));
    WCHAR szName[8];
    DWORD cch = 4;  // "IVRO" needs 5 with the terminator
    EXPECT_EQ(ERROR_MORE_DATA,
              RegEnumKeyExW(hKey, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr));
    cch = 8;
    EXPECT_EQ(ERROR_SUCCESS,
              RegEnumKeyExW(hKey, 0, szName, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ(L"IVRO", szName);
    EXPECT_EQ(4u, cch);
    RegCloseKey(hSub);
    RegCloseKey(hKey);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Control Panel\\IVRO", 0, KEY_READ, &hKey));
    EXPECT_EQ(nullptr, hKey);
    fakeplat::FailRegOpen(HKEY_CURRENT_USER, L"Control Panel\\IVRO", ERROR_ACCESS_DENIED);
    EXPECT_EQ(ERROR_ACCESS_DENIED,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\IVRO", 0, KEY_READ, &hKey));
    const auto calls = fakeplat::RegOpenCalls();
    ASSERT_EQ(5u, calls.size());
    EXPECT_EQ(L"Control Panel\\IVRO", calls[2].strPath);  // relative open, full path logged
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

TEST_F(PlatformTest, FilesResolveCaseInsensitivelyAgainstTheCurrentDirectory) {
    fakeplat::AddFile(L"C:\\Windows\\Help\\TmRoveVodore.chm", std::string("chm"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesW(L"c:\\windows\\HELP\\tmrovevodore.CHM"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"TmRoveVodore.chm"));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"C:\\Nowhere\\TmRoveVodore.chm"));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());
    fakeplat::SetCurrentDirectory(L"C:\\Windows\\Help");
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"TmRoveVodore.chm"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"..\\system32\\..\\Help/TmRoveVodore.chm"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesW(L"C:\\Windows"));

    // Write, read back, and the write time.
    SYSTEMTIME st{2024, 3, 0, 15, 10, 8, 11, 0};
    fakeplat::SetNow(st);
    HANDLE h = CreateFileW(L"C:\\report.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "a\0b", 3, &n, nullptr));
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(L"c:\\REPORT.TXT", GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ((std::vector<BYTE>{'a', 0, 'b'}), fakeplat::FileContents(L"C:\\Report.txt"));

    h = CreateFileW(L"C:\\report.txt", 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(3u, GetFileSize(h, nullptr));
    char buf[4];
    EXPECT_FALSE(ReadFile(h, buf, sizeof(buf), &n, nullptr));  // no read access asked
    FILETIME ftWrite;
    SYSTEMTIME stWrite;
    EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &ftWrite));
    EXPECT_TRUE(FileTimeToSystemTime(&ftWrite, &stWrite));
    EXPECT_EQ(2024, stWrite.wYear);
    EXPECT_EQ(15, stWrite.wDay);
    EXPECT_EQ(5, stWrite.wDayOfWeek);  // a Friday
    EXPECT_EQ(11, stWrite.wSecond);
    EXPECT_EQ(1, fakeplat::OpenHandleCount());
    CloseHandle(h);
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

TEST_F(PlatformTest, TempNamesReplacementLongPathsAndRedirectionAsOnWindows) {
    wchar_t szTemp[MAX_PATH] = {};
    const UINT nUnique = GetTempFileNameW(L"C:\\Users\\user", L"report", 0, szTemp);
    ASSERT_NE(0u, nUnique);
    EXPECT_EQ(0u, std::wstring(szTemp).find(L"C:\\Users\\user\\rep"));
    EXPECT_EQ(std::vector<BYTE>(), fakeplat::FileContents(szTemp));
    wchar_t szOther[MAX_PATH] = {};
    EXPECT_NE(nUnique, GetTempFileNameW(L"C:\\Users\\user\\", L"rep", 0, szOther));
    EXPECT_EQ(0u, GetTempFileNameW(std::wstring(MAX_PATH - 13, L'x').c_str(), L"r", 0, szOther));
    EXPECT_EQ(DWORD(ERROR_BUFFER_OVERFLOW), GetLastError());
    const std::wstring strLong = L"C:\\" + std::wstring(MAX_PATH - 3, L'x');
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(strLong.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(DWORD(ERROR_PATH_NOT_FOUND), GetLastError());

    // The replaced file keeps its attributes; one open without delete sharing
    // cannot be replaced.
    fakeplat::AddFile(L"C:\\old.txt", std::string("old"), FILE_ATTRIBUTE_HIDDEN);
    fakeplat::AddFile(szTemp, std::string("new"));
    HANDLE h = CreateFileW(L"C:\\old.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReplaceFileW(L"C:\\old.txt", szTemp, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(h);
    EXPECT_TRUE(ReplaceFileW(L"C:\\old.txt", szTemp, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ((std::vector<BYTE>{'n', 'e', 'w'}), fakeplat::FileContents(L"C:\\old.txt"));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN), GetFileAttributesW(L"C:\\old.txt"));
    EXPECT_FALSE(fakeplat::FileContents(szTemp).has_value());
    EXPECT_FALSE(ReplaceFileW(L"C:\\none.txt", L"C:\\old.txt", nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    // A 32-bit program on 64-bit Windows.
    fakeplat::AddFile(L"C:\\Windows\\System32\\Drivers\\a.sys", std::string("64"));
    fakeplat::AddFile(L"C:\\Windows\\System32\\Drivers\\etc\\hosts", std::string("h"));
    fakeplat::SetWow64(true);
    BOOL bWow64 = FALSE;
    EXPECT_TRUE(IsWow64Process(GetCurrentProcess(), &bWow64));
    EXPECT_TRUE(bWow64);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"C:\\Windows\\system32\\Drivers\\a.sys"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"C:\\Windows\\Sysnative\\Drivers\\a.sys"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES,
              GetFileAttributesW(L"C:\\Windows\\system32\\drivers\\etc\\hosts"));
    fakeplat::SetWow64(false);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(L"C:\\Windows\\Sysnative"));
}

TEST_F(PlatformTest, StringQueriesUseTheirOwnSizeConventions) {
    WCHAR sz[32];
    EXPECT_EQ(10u, GetWindowsDirectoryW(sz, 32));
    EXPECT_STREQ(L"C:\\Windows", sz);
    EXPECT_EQ(11u, GetWindowsDirectoryW(sz, 10));  // needed size with terminator
    fakeplat::SetSystemDirectory(L"");
    EXPECT_EQ(0u, GetSystemDirectoryW(sz, 32));

    EXPECT_EQ(2u, GetEnvironmentVariableW(L"systemdrive", sz, 32));
    fakeplat::SetEnvironment(L"SystemDrive", std::nullopt);
    EXPECT_EQ(0u, GetEnvironmentVariableW(L"SystemDrive", sz, 32));
    EXPECT_EQ(DWORD(ERROR_ENVVAR_NOT_FOUND), GetLastError());

    DWORD n = 7;  // "PANEL01" needs 8
    EXPECT_FALSE(GetComputerNameW(sz, &n));
    EXPECT_EQ(DWORD(ERROR_BUFFER_OVERFLOW), GetLastError());
    EXPECT_EQ(8u, n);
    EXPECT_TRUE(GetComputerNameW(sz, &n));
    EXPECT_EQ(7u, n);  // without terminator
    n = 32;
    EXPECT_TRUE(GetUserNameW(sz, &n));
    EXPECT_EQ(5u, n);  // with terminator
    EXPECT_STREQ(L"user", sz);
}

TEST_F(PlatformTest, ShutdownNeedsTheEnabledPrivilege) {
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(DWORD(ERROR_PRIVILEGE_NOT_HELD), GetLastError());

    HANDLE hToken = nullptr;
    ASSERT_TRUE(
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &hToken));
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    EXPECT_TRUE(AdjustTokenPrivileges(hToken, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_SUCCESS), GetLastError());
    EXPECT_TRUE(CloseHandle(hToken));
    EXPECT_TRUE(ExitWindowsEx(EWX_POWEROFF, 0));

    const auto log = fakeplat::Shutdown();
    ASSERT_EQ(2u, log.exitCalls.size());
    EXPECT_EQ(UINT(EWX_POWEROFF), log.exitCalls[1].uFlags);
    EXPECT_TRUE(log.exitCalls[1].bResult);
    EXPECT_EQ(std::vector<std::wstring>{L"SeShutdownPrivilege"}, log.lookedUp);

    // A user without the privilege: adjusting "succeeds" with ERROR_NOT_ALL_ASSIGNED.
    fakeplat::Reset();
    fakeplat::SetShutdownPrivilegeHeld(false);
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &hToken));
    tp.Privileges[0].Luid = fakeplat::ShutdownPrivilegeLuid();
    EXPECT_TRUE(AdjustTokenPrivileges(hToken, FALSE, &tp, 0, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_NOT_ALL_ASSIGNED), GetLastError());
    CloseHandle(hToken);
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
}

HWND WINAPI FakeHtmlHelp(HWND, LPCWSTR, UINT, DWORD_PTR) {
    return nullptr;
}

TEST_F(PlatformTest, ModulesMatchByFileNameAndExportByOrdinal) {
    fakeplat::RegisterModule(L"hhctrl.ocx", {{15, &FakeHtmlHelp}});
    EXPECT_EQ(nullptr, LoadLibraryW(L"C:\\Windows\\System32\\other.ocx"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    HMODULE h = LoadLibraryA("C:\\WINDOWS\\System32\\HHCtrl.ocx");
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(fakeplat::ToFarProc(&FakeHtmlHelp), GetProcAddress(h, MAKEINTRESOURCEA(15)));
    EXPECT_EQ(nullptr, GetProcAddress(h, "HtmlHelpW"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    WCHAR sz[MAX_PATH];
    EXPECT_EQ(30u, GetModuleFileNameW(h, sz, MAX_PATH));
    EXPECT_STREQ(L"C:\\Windows\\system32\\hhctrl.ocx", sz);
    EXPECT_EQ(1, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nRefCount);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"hhctrl.ocx"));
}

TEST_F(PlatformTest, VersionResourceAnswersVerQueryValue) {
    const std::wstring strPath = L"C:\\Windows\\system32\\TmIvro.dll";
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(strPath.c_str(), nullptr));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    fakeplat::SetFileVersionInfo(
        strPath, fakeplat::MakeVersionInfo(0x0407, 0x04b0, {{L"FileVersion", L"2.01"}}));
    DWORD dwHandle = 1;
    const DWORD cb = GetFileVersionInfoSizeW(strPath.c_str(), &dwHandle);
    ASSERT_NE(0u, cb);
    EXPECT_EQ(0u, dwHandle);
    std::vector<BYTE> block(cb);
    ASSERT_TRUE(GetFileVersionInfoW(strPath.c_str(), 0, cb, block.data()));

    LPVOID p = nullptr;
    UINT n = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &p, &n));
    ASSERT_EQ(4u, n);
    WORD words[2];
    std::memcpy(words, p, sizeof(words));
    EXPECT_EQ(0x0407, words[0]);
    EXPECT_EQ(0x04b0, words[1]);
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040704b0\\FileVersion", &p, &n));
    EXPECT_STREQ(L"2.01", static_cast<LPCWSTR>(p));
    EXPECT_EQ(5u, n);
    EXPECT_FALSE(
        VerQueryValueW(block.data(), L"\\StringFileInfo\\040704b0\\LegalCopyright", &p, &n));
}

DWORD WINAPI Worker(LPVOID pParam) {
    SetLastError(ERROR_CANCELLED);  // thread-local: the creator's stays as it is
    return *static_cast<DWORD*>(pParam) + 1;
}

TEST_F(PlatformTest, ThreadsRunAndReportTheirExitCode) {
    DWORD dwIn = 41, dwId = 0, dwExit = 0;
    SetLastError(ERROR_BUSY);
    HANDLE h = CreateThread(nullptr, 0, Worker, &dwIn, 0, &dwId);
    ASSERT_NE(nullptr, h);
    EXPECT_NE(dwId, GetCurrentThreadId());
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(h, INFINITE));
    EXPECT_TRUE(GetExitCodeThread(h, &dwExit));
    EXPECT_EQ(42u, dwExit);
    EXPECT_EQ(DWORD(ERROR_BUSY), GetLastError());
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

}  // namespace

namespace {

TEST_F(PlatformTest, RuntimeClockAndFullDisksBehaveAsOnWindows) {
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 3;
    st.wDay = 1;
    st.wHour = 23;
    st.wMinute = 30;
    fakeplat::SetNow(st);
    fakeplat::SetTimeZoneBias(-120);  // two hours east: already 2 March
    time_t now = 0;
    EXPECT_EQ(_time64(&now), now);
    // The Windows runtime writes a two-digit day.
    EXPECT_STREQ(L"Mon Mar 02 01:30:00 2026\n", _wctime64(&now));
    now = -1;
    EXPECT_EQ(nullptr, _wctime64(&now));

    const wchar_t kPath[] = L"C:\\Users\\user\\full.txt";
    fakeplat::FailWriteFile(kPath, 5, ERROR_DISK_FULL);
    HANDLE h = CreateFileW(kPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD cbWritten = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &cbWritten, nullptr));
    EXPECT_FALSE(WriteFile(h, "defg", 4, &cbWritten, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_EQ(2u, cbWritten);
    CloseHandle(h);
    EXPECT_EQ(std::vector<BYTE>({'a', 'b', 'c', 'd', 'e'}), *fakeplat::FileContents(kPath));
}

}  // namespace
