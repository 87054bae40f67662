// TmRoveReport.exe under Wine against the simulator: the report on standard
// output as UTF-8 and saved as UTF-16LE, replacing a file only when complete;
// what only a real machine shows in it (memory, Windows version, a runtime
// file held open by a writer, a driver in the real system folder, version
// resources); every exit code. Every run has a time limit and an input that
// never ends, so a message box or a read of the input shows as a hang.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/WineTest.h"

namespace {

const wchar_t kDir[] = L"C:\\ReportTool";
// A device that holds still: no drift, no demo key presses.
const char kStillMarlet[] = "[temperature]\r\ndrift = 0\r\n[keys]\r\ndemo_interval = 0\r\n";
const char kFerrow[] = "[device]\r\ntype = 5\r\n";
const wchar_t kPolicyKey[] = L"Control Panel\\IVRO";

struct CToolRun {
    bool bEnded = false;
    DWORD dwExitCode = 0;
    std::string strOut;
    std::string strErr;
};

std::wstring ToolPath() {
    wchar_t szPath[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    // build/<arch>/tests/wine/this.exe -> build/<arch>/TmRoveReport.exe
    for (int i = 0; i < 3; ++i) strPath = strPath.substr(0, strPath.rfind(L'\\'));
    return strPath + L"\\TmRoveReport.exe";
}

void ReadAll(HANDLE hPipe, std::string& rText) {
    char buffer[4096];
    DWORD cb = 0;
    while (::ReadFile(hPipe, buffer, sizeof(buffer), &cb, nullptr) && cb > 0)
        rText.append(buffer, cb);
}

// Runs the tool with the arguments and the simulator profile (empty: as
// the environment is), in the folder given or the test's own.
CToolRun RunTool(const std::wstring& strArgs, const std::wstring& strProfile,
                 const wchar_t* pszFolder = nullptr) {
    CToolRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    // Pipes of standard input, output and error; the test's ends not inherited.
    HANDLE hRead[3] = {}, hWrite[3] = {};
    for (int i = 0; i < 3; ++i) {
        ::CreatePipe(&hRead[i], &hWrite[i], &inherit, 0);
        ::SetHandleInformation(i == 0 ? hWrite[i] : hRead[i], HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hRead[0];
    startup.hStdOutput = hWrite[1];
    startup.hStdError = hWrite[2];
    std::wstring strCommand = L"\"" + ToolPath() + L"\" " + strArgs;
    if (!strProfile.empty()) ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", strProfile.c_str());
    PROCESS_INFORMATION process = {};
    const BOOL bStarted =
        ::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                         pszFolder, &startup, &process);
    // With the writing ends closed, the readers end when the tool does.
    for (HANDLE hHandle : {hRead[0], hWrite[1], hWrite[2]}) ::CloseHandle(hHandle);
    std::thread outReader([&] { ReadAll(hRead[1], run.strOut); });
    std::thread errReader([&] { ReadAll(hRead[2], run.strErr); });
    if (bStarted) {
        run.bEnded = ::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
        if (!run.bEnded) ::TerminateProcess(process.hProcess, 99);
        ::GetExitCodeProcess(process.hProcess, &run.dwExitCode);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    outReader.join();
    errReader.join();
    if (!bStarted) run.strErr = "CreateProcessW failed";
    // The input stays open to the end: a program that read it would hang.
    for (HANDLE hHandle : {hWrite[0], hRead[1], hRead[2]}) ::CloseHandle(hHandle);
    return run;
}

std::vector<BYTE> ReadWholeFile(const std::wstring& strPath) {
    std::ifstream file(wt::Utf8(strPath), std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(file), {});
}

// The names in a folder, without "." and "..".
std::vector<std::wstring> FilesIn(const std::wstring& strDir) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE hFind = ::FindFirstFileW((strDir + L"\\*").c_str(), &found);
    for (BOOL bMore = hFind != INVALID_HANDLE_VALUE; bMore; bMore = ::FindNextFileW(hFind, &found))
        if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
    if (hFind != INVALID_HANDLE_VALUE) ::FindClose(hFind);
    return names;
}

bool Has(const std::string& strText, const std::string& strPart) {
    return strText.find(strPart) != std::string::npos;
}

// The real system folder: for a 32-bit program on 64-bit Windows through
// its alias.
std::wstring RealSystemFolder() {
    BOOL bWow64 = FALSE;
    wchar_t szDir[MAX_PATH] = L"";
    ::IsWow64Process(::GetCurrentProcess(), &bWow64);
    ::GetSystemWindowsDirectoryW(szDir, MAX_PATH);
    return szDir + std::wstring(bWow64 ? L"\\Sysnative" : L"\\system32");
}

// The parts that depend on the machine.
void CheckSystemParts(wt::CChecks& checks, const std::wstring& strText) {
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof(memory);
    ::GlobalMemoryStatusEx(&memory);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ::GetVersionExW(&version);
    wchar_t szSystem[MAX_PATH] = L"";
    ::GetSystemDirectoryW(szSystem, MAX_PATH);
    const std::wstring strSystem = szSystem;
    const std::wstring parts[] = {
        L"\r\nProgram memory: " + std::to_wstring(memory.ullTotalPhys / 1024) + L" KB  (free: ",
        L"\r\nVirtual memory: " + std::to_wstring(memory.ullTotalVirtual / 1024) + L" KB  (free: ",
        L" (Build " + std::to_wstring(version.dwBuildNumber & 0xFFFF) + L")\r\nProduct ID: ",
        // Found through the real system folder even by a 32-bit program.
        L"\r\n" + strSystem + L"\\Drivers\\TmOrlDrv.sys\r\n  Modified at: ",
        L"\r\n" + strSystem + L"\\TmRoveVodore.cpl\r\n  File version: 2.01\r\n"};
    for (const std::wstring& strPart : parts)
        checks.Check(strText.find(strPart) != std::wstring::npos, "the report holds \"%s\"",
                     wt::OneLine(strPart).c_str());
    const size_t nDriver = strText.find(parts[3]);
    checks.Check(strText.find(L"\r\n  File size: ", nDriver) ==
                     strText.find(L"\r\n  File size: 1234 bytes\r\n", nDriver),
                 "the driver file's size");
    checks.Check(strText.find(L"\r\n\r\nWERUNTIME.INI: \r\n[Runtime]\r\nMode=2\r\nVersion=3.1\r\n"
                              L"\r\n\r\n--- Ivronet") != std::wstring::npos,
                 "the runtime file's three lines, one of them UTF-16, held open by a writer");
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    const std::wstring strTool = ToolPath();
    if (!checks.Check(::GetFileAttributesW(strTool.c_str()) != INVALID_FILE_ATTRIBUTES,
                      "the tool is built: %s", wt::Utf8(strTool).c_str()))
        return checks.Finish();
    ::CreateDirectoryW(kDir, nullptr);
    const std::wstring strDir = kDir;
    const std::wstring strProfile = strDir + L"\\still.profile";
    const std::wstring strFerrow = strDir + L"\\ferrow.profile";
    const std::wstring strFile = strDir + L"\\panel.txt";
    const std::wstring strPlanted = strFile + L".tmp~";
    // C:\WERUNTIME.INI: a line saved as UTF-16 between two 8-bit ones.
    const char kIni[] =
        "[Runtime]\r\nM\0o\0d\0e\0=\0"
        "2\0\r\0\n\0Version=3.1\r\n";
    const wchar_t kIniPath[] = L"C:\\WERUNTIME.INI";
    const std::wstring strDriver = RealSystemFolder() + L"\\drivers\\TmOrlDrv.sys";
    checks.Check(wt::WriteWholeFile(strProfile, kStillMarlet, sizeof(kStillMarlet) - 1) &&
                     wt::WriteWholeFile(strFerrow, kFerrow, sizeof(kFerrow) - 1) &&
                     wt::WriteWholeFile(strFile, "old", 3) &&
                     wt::WriteWholeFile(strPlanted, "x", 1) &&
                     wt::WriteWholeFile(kIniPath, kIni, sizeof(kIni) - 1) &&
                     wt::WriteWholeFile(strDriver, std::string(1234, 'M').data(), 1234),
                 "profiles, runtime file, driver file, a report to replace and a file "
                 "beside it written");
    ::SetFileAttributesW(strFile.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    // A program that writes to the runtime file holds it open.
    HANDLE hIniWriter = ::CreateFileW(kIniPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    checks.Check(hIniWriter != INVALID_HANDLE_VALUE, "a writer holds C:\\WERUNTIME.INI open");
    // The CPU temperature read through WMI, as the policy asks.
    ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", strProfile.c_str());
    const DWORD dwOne = 1;
    checks.Check(::RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, L"UseWmi", REG_DWORD, &dwOne,
                                   sizeof(dwOne)) == ERROR_SUCCESS,
                 "policy UseWmi = 1");

    // Standard output: UTF-8 without byte-order mark.
    CToolRun run = RunTool(L"", L"");
    checks.Check(run.bEnded && run.dwExitCode == 0 && run.strErr.empty(),
                 "no arguments: ends with 0 and says nothing on standard error (exit %lu, \"%s\")",
                 static_cast<unsigned long>(run.dwExitCode), run.strErr.c_str());
    const std::wstring strOut = wt::Wide(run.strOut);
    checks.Check(run.strOut.compare(0, 3, "***") == 0 && wt::Utf8(strOut) == run.strOut &&
                     Has(run.strOut, u8" \u00B0C (read via WMI)\r\n") &&
                     Has(run.strOut, "\r\n--- Ravla Slot 2 ---\r\n"),
                 "standard output: UTF-8 without byte-order mark, the Marlet's whole report");
    CheckSystemParts(checks, strOut);

    // /out: as the view's "Speichern unter..." saves, here a relative name in
    // the current folder, replacing a hidden file whole.
    run = RunTool(L"/out:panel.txt", L"", kDir);
    std::vector<BYTE> abFile = ReadWholeFile(strFile);
    const std::wstring strSaved(reinterpret_cast<const wchar_t*>(abFile.data()), abFile.size() / 2);
    checks.Check(run.bEnded && run.dwExitCode == 0 && run.strOut.empty() && run.strErr.empty(),
                 "/out: ends with 0 and writes nothing to standard output (exit %lu)",
                 static_cast<unsigned long>(run.dwExitCode));
    checks.Check(abFile.size() == strSaved.size() * 2 && abFile.size() > 2 && abFile[0] == 0x2A &&
                     abFile[1] == 0x00 &&
                     strSaved.find(L" \u00B0C (read via WMI)\r\n") <
                         strSaved.find(L"\r\n--- Ravla Slot 2 ---\r\n") &&
                     strSaved.find(L"\r\n*** Report end ***\r\n") == strSaved.size() - 22,
                 "/out: UTF-16LE without byte-order mark, the whole report (%u bytes)",
                 static_cast<unsigned>(abFile.size()));
    checks.Check(ReadWholeFile(strPlanted) == std::vector<BYTE>{'x'},
                 "the file named like the target + \".tmp~\" is untouched");

    // Sections by name; Ravla slots only on a Marlet, as on the report page.
    run = RunTool(L"/sections:ravla,Schalter", strFerrow);
    checks.Check(run.dwExitCode == 0 && Has(run.strOut, "Device type: Ferrow K2\r\n") &&
                     Has(run.strOut, "\r\n\r\n--- Switches ---\r\n") &&
                     !Has(run.strOut, "--- Ravla") && !Has(run.strOut, "--- CPU"),
                 "a Ferrow: the switches, no Ravla section");

    // 1: no device, the report still written as the applet writes it.
    run = RunTool(L"/sections:switches", strDir + L"\\missing.profile");
    checks.Check(run.bEnded && run.dwExitCode == 1 &&
                     Has(run.strOut, "\r\nDevice type: (not supported)\r\n") &&
                     Has(run.strOut, "\r\n--- Switches ---\r\n\r\nMode/Node: ") &&
                     Has(run.strOut, "\r\n*** Report end ***\r\n") && !run.strErr.empty(),
                 "no device: the report with exit code 1 (exit %lu)",
                 static_cast<unsigned long>(run.dwExitCode));
    ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", strProfile.c_str());

    // 2: a bad argument, with the usage on standard error.
    run = RunTool(L"/sections:cpu,disk", L"");
    checks.Check(run.bEnded && run.dwExitCode == 2 && run.strOut.empty() &&
                     Has(run.strErr, "unknown section \"disk\"") &&
                     Has(run.strErr, "TmRoveReport.exe [/sections:LIST|all] [/out:FILE]"),
                 "a bad argument: exit code 2 and the usage on standard error (exit %lu)",
                 static_cast<unsigned long>(run.dwExitCode));
    run = RunTool(L"/?", L"");
    checks.Check(run.bEnded && run.dwExitCode == 0 && Has(run.strOut, "/sections:LIST") &&
                     Has(run.strOut, "temperatures, temperaturen") && run.strErr.empty(),
                 "/? lists the sections in English and German");

    // 3: the file cannot be written, with the system's reason.
    wchar_t szReason[256] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     ERROR_PATH_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szReason,
                     _countof(szReason), nullptr);
    const std::string strReason = wt::Utf8(szReason).substr(0, 20);
    run = RunTool(L"/out:C:\\ReportTool\\missing\\panel.txt", L"");
    checks.Check(
        run.bEnded && run.dwExitCode == 3 && run.strOut.empty() && strReason.size() > 10 &&
            Has(run.strErr, "cannot create C:\\ReportTool\\missing\\panel.txt: " + strReason),
        "a missing folder: exit code 3 with the reason (\"%s\")", run.strErr.c_str());
    const std::vector<std::wstring> names = FilesIn(strDir);
    checks.Check(names.size() == 4, "saving leaves nothing else behind (folder: %s)",
                 wt::JoinTitles(names).c_str());

    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kPolicyKey, L"UseWmi");
    ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", nullptr);
    if (hIniWriter != INVALID_HANDLE_VALUE) ::CloseHandle(hIniWriter);
    ::DeleteFileW(kIniPath);
    ::DeleteFileW(strDriver.c_str());
    ::SetFileAttributesW(strFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::wstring& strName : names) ::DeleteFileW((strDir + L"\\" + strName).c_str());
    checks.Check(::RemoveDirectoryW(kDir) != FALSE, "test folder removed");
    return checks.Finish();
}
