// TmRoveReport.exe under Wine against the simulator: its report is the
// report view's text for the same device (the main thread plays the Control
// Panel host of the real applet, a driver thread opens the view), on
// standard output as UTF-8 and saved as UTF-16LE; every exit code, with
// bad arguments, an unwritable file and no device. Every run of the tool
// has a time limit and an input that never ends, so a message box or a
// read of the input shows as a hang.
#include <windows.h>
#include <cpl.h>
#include <prsht.h>

#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;
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
    HANDLE hOutRead = nullptr, hOutWrite = nullptr, hErrRead = nullptr, hErrWrite = nullptr;
    HANDLE hInRead = nullptr, hInWrite = nullptr;
    ::CreatePipe(&hOutRead, &hOutWrite, &inherit, 0);
    ::CreatePipe(&hErrRead, &hErrWrite, &inherit, 0);
    ::CreatePipe(&hInRead, &hInWrite, &inherit, 0);
    ::SetHandleInformation(hOutRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(hErrRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(hInWrite, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = hInRead;
    startup.hStdOutput = hOutWrite;
    startup.hStdError = hErrWrite;
    std::wstring strCommand = L"\"" + ToolPath() + L"\" " + strArgs;
    if (!strProfile.empty()) ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", strProfile.c_str());
    PROCESS_INFORMATION process = {};
    const BOOL bStarted =
        ::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                         pszFolder, &startup, &process);
    ::CloseHandle(hOutWrite);
    ::CloseHandle(hErrWrite);
    ::CloseHandle(hInRead);
    std::thread errReader([&] { ReadAll(hErrRead, run.strErr); });
    if (bStarted) {
        std::thread outReader([&] { ReadAll(hOutRead, run.strOut); });
        run.bEnded = ::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0;
        if (!run.bEnded) ::TerminateProcess(process.hProcess, 99);
        ::GetExitCodeProcess(process.hProcess, &run.dwExitCode);
        outReader.join();
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    } else {
        run.strErr = "CreateProcessW failed";
        ::CloseHandle(hErrRead);
        hErrRead = nullptr;
    }
    errReader.join();
    // The input stays open to the end: a program that read it would hang.
    ::CloseHandle(hInWrite);
    ::CloseHandle(hOutRead);
    if (hErrRead) ::CloseHandle(hErrRead);
    return run;
}

std::wstring Utf16Text(const std::vector<BYTE>& abFile) {
    std::wstring strText;
    for (size_t i = 0; i + 1 < abFile.size(); i += 2)
        strText += static_cast<wchar_t>(abFile[i] | (abFile[i + 1] << 8));
    return strText;
}

// What may differ between two reports of one device: the time in the head
// line and the free memory of the moment.
std::wstring Masked(std::wstring strText) {
    const size_t nHead = strText.find(L"\r\nCreated by ");
    if (nHead != std::wstring::npos) {
        const size_t nEnd = strText.find(L"\r\n", nHead + 2);
        const size_t nTime = strText.rfind(L" on ", nEnd);
        if (nEnd != std::wstring::npos && nTime != std::wstring::npos && nTime > nHead)
            strText.replace(nTime, nEnd - nTime, L" on <time>");
    }
    for (size_t nFree = strText.find(L"(free: "); nFree != std::wstring::npos;
         nFree = strText.find(L"(free: ", nFree + 1)) {
        const size_t nKb = strText.find(L" KB)", nFree);
        if (nKb != std::wstring::npos) strText.replace(nFree + 7, nKb - nFree - 7, L"#");
    }
    return strText;
}

// The first line where two texts part, for the failure's note.
std::string FirstDifference(const std::wstring& strA, const std::wstring& strB) {
    size_t nStart = 0;
    for (;;) {
        const size_t nEndA = strA.find(L"\r\n", nStart);
        const size_t nEndB = strB.find(L"\r\n", nStart);
        const std::wstring strLineA = strA.substr(nStart, nEndA - nStart);
        const std::wstring strLineB = strB.substr(nStart, nEndB - nStart);
        if (strLineA != strLineB || nEndA == std::wstring::npos || nEndB == std::wstring::npos)
            return "\"" + wt::OneLine(strLineA) + "\" / \"" + wt::OneLine(strLineB) + "\"";
        nStart = nEndA + 2;
    }
}

std::wstring SystemText(DWORD dwError) {
    wchar_t szText[512] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, dwError,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), szText, _countof(szText), nullptr);
    std::wstring strText = szText;
    while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r'))
        strText.pop_back();
    return strText;
}

bool IsReportView(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_REPORT_TEXT) && ::GetDlgItem(hWnd, IDC_REPORT_SAVE_AS);
}

// Opens the report page, shows the report and takes the view's text.
class CViewReader : private wt::CHostDriver {
public:
    CViewReader(wt::CChecks& checks, DWORD dwHostThread)
        : CHostDriver(checks, dwHostThread, kWaitMs) {}

    std::wstring Read(HANDLE hDblClkDone) {
        std::wstring strText;
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (m_checks.Check(hSheet != nullptr, "the sheet opens")) {
            const int nLast = wt::TabCount(hSheet) - 1;
            HWND hPage = wt::SelectTab(hSheet, nLast, kWaitMs);
            if (m_checks.Check(hPage && ::GetDlgItem(hPage, IDC_REPORT_SHOW),
                               "the report page is shown")) {
                Click(hPage, IDC_REPORT_SHOW);
                HWND hView = WaitDialog(IsReportView, "the report view");
                if (hView) {
                    strText = wt::LongWindowText(::GetDlgItem(hView, IDC_REPORT_TEXT));
                    Click(hView, IDOK);
                    WaitGone(hView, "the report view");
                }
            }
            ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            m_checks.Check(
                wt::WaitFor(kWaitMs,
                            [&] { return ::WaitForSingleObject(hDblClkDone, 0) == WAIT_OBJECT_0; }),
                "Cancel closes the sheet");
        }
        CloseEverything(hDblClkDone);
        return strText;
    }
};

std::wstring ViewReport(wt::CChecks& checks) {
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return std::wstring();
    wt::CHostWindow host;
    std::wstring strText;
    checks.Check(applet.m_pfnApplet(host.Get(), CPL_INIT, 0, 0) == 1, "CPL_INIT gives 1");
    wt::DoubleClickApplet(checks, applet.m_pfnApplet, host.Get(),
                          [&](DWORD dwHostThread, HANDLE hDone) {
                              strText = CViewReader(checks, dwHostThread).Read(hDone);
                          });
    applet.m_pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return strText;
}

bool Has(const std::string& strText, const std::string& strPart) {
    return strText.find(strPart) != std::string::npos;
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
    {
        wt::CFile still(strProfile);
        wt::CFile ferrow(strFerrow);
        checks.Check(still.Write(kStillMarlet, sizeof(kStillMarlet) - 1) &&
                         ferrow.Write(kFerrow, sizeof(kFerrow) - 1),
                     "profiles written");
    }
    // Both the applet here and the tool read the same device, with the CPU
    // temperature read through WMI as the policy asks.
    ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", strProfile.c_str());
    HKEY hPolicy = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &hPolicy, nullptr);
    const DWORD dwOne = 1;
    checks.Check(hPolicy && ::RegSetValueExW(hPolicy, L"UseWmi", 0, REG_DWORD,
                                             reinterpret_cast<const BYTE*>(&dwOne),
                                             sizeof(dwOne)) == ERROR_SUCCESS,
                 "policy UseWmi = 1");

    const std::wstring strView = ViewReport(checks);
    checks.Check(strView.size() > 1000, "the report view shows a report (%u characters)",
                 static_cast<unsigned>(strView.size()));

    // Standard output: UTF-8 without byte-order mark, the view's text.
    CToolRun run = RunTool(L"", L"");
    checks.Check(run.bEnded && run.dwExitCode == 0 && run.strErr.empty(),
                 "no arguments: ends with 0 and says nothing on standard error (exit %lu, \"%s\")",
                 static_cast<unsigned long>(run.dwExitCode), run.strErr.c_str());
    const std::wstring strOut = wt::Wide(run.strOut);
    checks.Check(Has(run.strOut, "*** Tolmek Control Center Report ***\r\n\r\nCreated by ") &&
                     run.strOut.compare(0, 3, "***") == 0 &&
                     Has(run.strOut,
                         " \xC2\xB0"
                         "C (read via WMI)\r\n"),
                 "standard output is UTF-8 without byte-order mark, with the WMI note");
    checks.Check(
        wt::Utf8(strOut) == run.strOut && !strView.empty() && Masked(strOut) == Masked(strView),
        "the tool's report is the report view's, but for the time and free memory");
    if (Masked(strOut) != Masked(strView))
        checks.Note("first difference (tool / view): %s",
                    FirstDifference(Masked(strOut), Masked(strView)).c_str());

    // /out: the format of the view's "Speichern unter...".
    const std::wstring strFile = strDir + L"\\panel.txt";
    run = RunTool(L"/out:" + strFile, L"");
    std::vector<BYTE> abFile = wt::ReadWholeFile(strFile);
    const std::wstring strSaved = Utf16Text(abFile);
    checks.Check(run.bEnded && run.dwExitCode == 0 && run.strOut.empty() && run.strErr.empty(),
                 "/out: ends with 0 and writes nothing to standard output (exit %lu)",
                 static_cast<unsigned long>(run.dwExitCode));
    checks.Check(abFile.size() == strSaved.size() * 2 && abFile.size() > 2 && abFile[0] == 0x2A &&
                     abFile[1] == 0x00 && Masked(strSaved) == Masked(strView),
                 "/out: UTF-16LE without byte-order mark, the view's text (%u bytes)",
                 static_cast<unsigned>(abFile.size()));
    // A relative name in the current folder, replacing the file.
    run = RunTool(L"/Sections:Temperaturen,cpu /out:panel.txt", L"", kDir);
    const std::wstring strTwo = Utf16Text(wt::ReadWholeFile(strFile));
    const size_t nCpu = strTwo.find(L"\r\n--- CPU ---\r\n");
    const size_t nTemperatures = strTwo.find(L"\r\n--- Temperatures ---\r\n");
    checks.Check(run.dwExitCode == 0 && nCpu != std::wstring::npos && nCpu < nTemperatures &&
                     nTemperatures != std::wstring::npos &&
                     strTwo.find(L"\r\n--- ", nCpu + 2) == nTemperatures &&
                     strTwo.find(L"\r\n--- ", nTemperatures + 2) == std::wstring::npos,
                 "two sections by name replace the file, in the report's order");

    // Ravla slots only where the view has them.
    run = RunTool(L"/sections:ravla,switches", strFerrow);
    checks.Check(run.dwExitCode == 0 && Has(run.strOut, "Device type: Ferrow K2\r\n") &&
                     Has(run.strOut, "--- Switches ---") && !Has(run.strOut, "--- Ravla"),
                 "a Ferrow: no Ravla section, as on the report page");

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
    const std::string strPathNotFound = wt::Utf8(SystemText(ERROR_PATH_NOT_FOUND));
    run = RunTool(L"/out:C:\\ReportTool\\missing\\panel.txt", L"");
    checks.Check(
        run.bEnded && run.dwExitCode == 3 && run.strOut.empty() &&
            Has(run.strErr, "cannot create C:\\ReportTool\\missing\\panel.txt: " + strPathNotFound),
        "a missing folder: exit code 3 with the reason (\"%s\")", run.strErr.c_str());
    run = RunTool(L"/out:C:\\ReportTool", L"");
    checks.Check(run.bEnded && run.dwExitCode == 3 && Has(run.strErr, "cannot create "),
                 "a folder as the file: exit code 3 (exit %lu, \"%s\")",
                 static_cast<unsigned long>(run.dwExitCode), run.strErr.c_str());
    const std::vector<std::wstring> names = wt::FilesIn(strDir);
    checks.Check(names.size() == 3, "failed saves leave nothing behind (folder: %s)",
                 wt::JoinTitles(names).c_str());

    if (hPolicy) {
        ::RegDeleteValueW(hPolicy, L"UseWmi");
        ::RegCloseKey(hPolicy);
    }
    ::SetEnvironmentVariableW(L"TMIVRO_PROFILE", nullptr);
    for (const std::wstring& strName : names) ::DeleteFileW((strDir + L"\\" + strName).c_str());
    checks.Check(::RemoveDirectoryW(kDir) != FALSE, "test folder removed");
    return checks.Finish();
}
