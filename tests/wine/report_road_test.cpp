// End-to-end road of the system report under Wine: the main thread plays the
// Control Panel host of the real TmRoveVodore.cpl; a driver thread opens the
// last tab, "Bericht", shows the report of the simulated Marlet, edits it
// and saves it twice through Wine's Save As dialog (the second time over the
// first file), then checks the files byte by byte and that
// no other file in the folder was touched. The machine has a WERUNTIME.INI
// with a line saved as UTF-16, held open by a writer, and a driver file in
// the real system folder (for the 32-bit applet on 64-bit Windows, not in
// the folder the applet sees as its system folder).
// TM_REPORT_SHOT=path.bmp saves a picture of the report view.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <dlgs.h>
#include <prsht.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "simulator/TmIvroSim.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;
const wchar_t kAddedLine[] = L"Checked by the service team.\r\n";
const wchar_t kShortReport[] = L"*** short ***";
const char kPlanted[] = "someone else's file";
const DWORD kDriverBytes = 1234;

// "\r\n" + label + the total figure + " KB  (free: ".
std::wstring MemoryPart(const wchar_t* pszLabel, DWORDLONG ullBytes) {
    wchar_t szFigure[32];
    swprintf(szFigure, 32, L"%llu", static_cast<unsigned long long>(ullBytes / 1024));
    return std::wstring(L"\r\n") + pszLabel + szFigure + L" KB  (free: ";
}

// The real system folder: for a 32-bit program on 64-bit Windows through
// its alias.
std::wstring RealSystemFolder() {
    BOOL bWow64 = FALSE;
    wchar_t szDir[MAX_PATH] = L"";
    if (::IsWow64Process(::GetCurrentProcess(), &bWow64) && bWow64) {
        ::GetSystemWindowsDirectoryW(szDir, MAX_PATH);
        return std::wstring(szDir) + L"\\Sysnative";
    }
    ::GetSystemDirectoryW(szDir, MAX_PATH);
    return szDir;
}

bool IsReportView(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_REPORT_TEXT) && ::GetDlgItem(hWnd, IDC_REPORT_SAVE_AS);
}

bool IsMessageBox(HWND hWnd) {
    return ::GetDlgItem(hWnd, wt::kIdMessageText) != nullptr && !wt::IsFileDialog(hWnd);
}

// The saved file decoded as UTF-16LE, and whether it has exactly 2n bytes.
std::wstring Utf16Text(const std::vector<BYTE>& abFile) {
    std::wstring strText;
    for (size_t i = 0; i + 1 < abFile.size(); i += 2)
        strText += static_cast<wchar_t>(abFile[i] | (abFile[i + 1] << 8));
    return strText;
}

class CReportDriver : private wt::CHostDriver {
public:
    CReportDriver(wt::CChecks& checks, DWORD dwHostThread, HANDLE hDblClkDone,
                  std::wstring strSavePath)
        : CHostDriver(checks, dwHostThread, kWaitMs),
          m_hDblClkDone(hDblClkDone),
          m_strSavePath(std::move(strSavePath)) {}

    void Run() {
        HWND hSheet = WaitSheet();
        if (hSheet && OpenReportPage(hSheet)) {
            HWND hView = ShowReport();
            if (hView) {
                SaveEditedReport(hView);
                Click(hView, IDOK);
                WaitGone(hView, "the report view");
            }
        }
        if (hSheet) {
            ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            m_checks.Check(
                wt::WaitFor(
                    kWaitMs,
                    [&] { return ::WaitForSingleObject(m_hDblClkDone, 0) == WAIT_OBJECT_0; }),
                "Cancel closes the sheet");
        }
        CloseEverything(m_hDblClkDone);
    }

private:
    HWND WaitSheet() {
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(hSheet != nullptr, "the sheet opens"))
            wt::DumpWindows(m_checks, m_dwHostThread);
        return hSheet;
    }

    bool OpenReportPage(HWND hSheet) {
        std::vector<std::wstring> titles = wt::TabTitles(hSheet);
        if (!m_checks.Check(!titles.empty() && titles.back() == L"Bericht",
                            "the last tab is \"Bericht\" (tabs: %s)",
                            wt::JoinTitles(titles).c_str()))
            return false;
        ::SendMessageW(hSheet, PSM_SETCURSEL, titles.size() - 1, 0);
        bool bShown = wt::WaitFor(kWaitMs, [&] {
            m_hPage = wt::CurrentPage(hSheet);
            return m_hPage && ::GetDlgItem(m_hPage, IDC_REPORT_SHOW);
        });
        if (!m_checks.Check(bShown, "the report page is shown")) return false;
        bool bAllChecked = true;
        for (int nId = IDC_REPORT_CPU; nId <= IDC_REPORT_KEY_CONFIG; ++nId)
            bAllChecked = bAllChecked && ::SendMessageW(::GetDlgItem(m_hPage, nId), BM_GETCHECK, 0,
                                                        0) == BST_CHECKED;
        m_checks.Check(bAllChecked && ::SendMessageW(::GetDlgItem(m_hPage, IDC_REPORT_TEMPERATURES),
                                                     BM_GETCHECK, 0, 0) == BST_CHECKED,
                       "a Marlet's report page starts with all fourteen boxes set");
        m_checks.Check(::IsWindowEnabled(::GetDlgItem(m_hPage, IDC_REPORT_RAVLA)) != FALSE,
                       "the Ravla box is usable on a Marlet");
        return true;
    }

    HWND ShowReport() {
        Click(m_hPage, IDC_REPORT_SHOW);
        HWND hView = WaitDialog(IsReportView, "\"Bericht anzeigen...\": the report view");
        if (!hView) return nullptr;
        m_checks.Check(wt::WindowText(hView) == L"Bericht", "the view is captioned \"Bericht\"");
        HWND hEdit = ::GetDlgItem(hView, IDC_REPORT_TEXT);
        std::wstring strText = wt::LongWindowText(hEdit);
        const std::wstring strEnd = L"\r\n*** Report end ***\r\n";
        m_checks.Check(strText.compare(0, 51,
                                       L"*** Tolmek Control Center Report ***\r\n\r\nCreated "
                                       L"by ") == 0,
                       "the report starts with its title and head");
        m_checks.Check(
            strText.size() > strEnd.size() &&
                strText.compare(strText.size() - strEnd.size(), strEnd.size(), strEnd) == 0,
            "the report ends with its end line");
        CheckSystemParts(strText);
        for (const wchar_t* pszPart :
             {L"\r\nDevice type: Marlet K2\r\n",
              L"\r\n--- FPGA Firmware ---\r\n\r\nInfo: FPGA MRL 1.07\r\n",
              L"\r\nBoot status: 5 = Boot OK\r\n", L"\r\n--- Ravla Slot 2 ---\r\n\r\n",
              L"\r\nModel number: RDIO-0112\r\n", L"\r\nUser serial ID: 00001A2Bh\r\n",
              L"\r\nSettings data:    \r\n0x00: 54 4D 53 45 54 55 50 00 06 01 50 32 00 01 00 00 "
              L"TMSETUP...P2....  \r\n",
              L"\r\nModules:\r\nC:\\windows\\system32\\TmRoveVodore.cpl\r\n  File version: "
              L"2.01\r\n"}) {
            m_checks.Check(strText.find(pszPart) != std::wstring::npos, "the report holds \"%s\"",
                           wt::OneLine(pszPart).c_str());
        }
        if (strText.find(L"Modules:") != std::wstring::npos)
            m_checks.Note("module part: %s",
                          wt::OneLine(strText.substr(strText.find(L"Modules:"), 400)).c_str());
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof(gui);
        ::GetGUIThreadInfo(m_dwHostThread, &gui);
        m_checks.Check(gui.hwndFocus == ::GetDlgItem(hView, IDOK), "the focus is on OK");

        const char* pszShot = std::getenv("TM_REPORT_SHOT");
        if (pszShot && *pszShot) {
            wt::ShowForShot(hView);
            m_checks.Check(wt::SaveWindowBitmap(hView, wt::Wide(pszShot)), "screenshot %s",
                           pszShot);
        }
        return hView;
    }

    // The parts that depend on the machine: memory, Windows version, the
    // runtime file, the driver file.
    void CheckSystemParts(const std::wstring& strText) {
        MEMORYSTATUSEX memory = {};
        memory.dwLength = sizeof(memory);
        ::GlobalMemoryStatusEx(&memory);
        for (const std::wstring& strPart :
             {MemoryPart(L"Program memory: ", memory.ullTotalPhys),
              MemoryPart(L"Virtual memory: ", memory.ullTotalVirtual)}) {
            m_checks.Check(strText.find(strPart) != std::wstring::npos,
                           "the report holds the full figure \"%s\"", wt::OneLine(strPart).c_str());
        }
        OSVERSIONINFOW version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        ::GetVersionExW(&version);
        wchar_t szBuild[32];
        swprintf(szBuild, 32, L"(Build %lu)\r\n",
                 static_cast<unsigned long>(version.dwBuildNumber & 0xFFFF));
        const size_t nVersion = strText.find(L"\r\nVersion: ");
        const size_t nLineEnd =
            nVersion == std::wstring::npos ? nVersion : strText.find(L"\r\n", nVersion + 2);
        const std::wstring strLine = nLineEnd == std::wstring::npos
                                         ? std::wstring()
                                         : strText.substr(nVersion + 2, nLineEnd - nVersion);
        const std::wstring strBuild = szBuild;
        m_checks.Check(
            strLine.compare(0, 27, L"Version: Microsoft Windows ") == 0 &&
                strLine.size() > strBuild.size() &&
                strLine.compare(strLine.size() - strBuild.size(), strBuild.size(), strBuild) == 0,
            "Windows %lu.%lu is named with its build (saw \"%s\")",
            static_cast<unsigned long>(version.dwMajorVersion),
            static_cast<unsigned long>(version.dwMinorVersion), wt::OneLine(strLine).c_str());
        const wchar_t kIni[] =
            L"\r\n\r\nWERUNTIME.INI: \r\n[Runtime]\r\nMode=2\r\nVersion=3.1\r\n\r\n\r\n--- Ivronet";
        m_checks.Check(strText.find(kIni) != std::wstring::npos,
                       "the runtime file's three lines, one of them UTF-16, held open by a writer");
        wchar_t szSystem[MAX_PATH] = L"";
        ::GetSystemDirectoryW(szSystem, MAX_PATH);
        wchar_t szDriver[MAX_PATH + 64];
        swprintf(szDriver, MAX_PATH + 64, L"\r\n%ls\\Drivers\\TmOrlDrv.sys\r\n  Modified at: ",
                 szSystem);
        const size_t nDriver = strText.find(szDriver);
        m_checks.Check(
            nDriver != std::wstring::npos &&
                strText.find(L"  File size: 1234 bytes\r\n", nDriver) ==
                    strText.find(L"\r\n  File size: ", nDriver) + 2,
            "the driver file in the real system folder is found (saw \"%s\")",
            wt::OneLine(
                strText.substr(std::min(strText.find(L"TmOrlDrv.sys"), strText.size()), 120))
                .c_str());
    }

    // Types the path into Wine's Save As dialog; with bReplace, confirms
    // that the existing file is replaced.
    bool ChooseSavePath(bool bReplace, const char* pszWhat) {
        HWND hDlg = WaitDialog(wt::IsFileDialog, pszWhat);
        if (!hDlg) return false;
        HWND hEdit = wt::FileNameEdit(hDlg);
        if (!m_checks.Check(hEdit != nullptr, "%s: a file name field", pszWhat)) return false;
        wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1] = L"";
        DWORD nComputer = _countof(szComputer);
        ::GetComputerNameW(szComputer, &nComputer);
        std::wstring strProposed = std::wstring(szComputer) + L".txt";
        std::wstring strName = wt::WindowText(hEdit);
        m_checks.Check(strName == strProposed, "%s: proposes \"%s\" (saw \"%s\")", pszWhat,
                       wt::Utf8(strProposed).c_str(), wt::Utf8(strName).c_str());
        std::wstring strFilter = wt::ComboItem(::GetDlgItem(hDlg, cmb1), 0);
        m_checks.Check(strFilter == L"Textdateien (*.txt)",
                       "%s: the first filter is \"Textdateien (*.txt)\" (saw \"%s\")", pszWhat,
                       wt::Utf8(strFilter).c_str());
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_strSavePath.c_str()),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(hDlg, IDOK);
        if (bReplace) {
            // The overwrite question belongs to the file dialog.
            HWND hAsk = nullptr;
            bool bAsked = wt::WaitFor(kWaitMs, [&] {
                for (HWND hWnd : wt::TopLevelWindows(m_dwHostThread))
                    if (wt::IsDialog(hWnd) && hWnd != hDlg && wt::HasVisibleButton(hWnd, IDYES))
                        return (hAsk = hWnd) != nullptr;
                return false;
            });
            if (m_checks.Check(bAsked, "%s: asks before replacing the file", pszWhat))
                Click(hAsk, IDYES);
        }
        return WaitGone(hDlg, pszWhat);
    }

    // The file of exactly twice the characters, starting 2A 00, as shown.
    void CheckSavedFile(const std::wstring& strShown, const char* pszWhat) {
        std::vector<BYTE> abFile;
        bool bWritten = wt::WaitFor(kWaitMs, [&] {
            abFile = wt::ReadWholeFile(m_strSavePath);
            return abFile.size() == strShown.size() * 2;
        });
        m_checks.Check(bWritten, "%s: the file has %u bytes, twice the characters (saw %u)",
                       pszWhat, static_cast<unsigned>(strShown.size() * 2),
                       static_cast<unsigned>(abFile.size()));
        m_checks.Check(abFile.size() >= 2 && abFile[0] == 0x2A && abFile[1] == 0x00,
                       "%s: the file starts with 2A 00", pszWhat);
        m_checks.Check(Utf16Text(abFile) == strShown, "%s: the file holds what the box shows",
                       pszWhat);
    }

    void SaveEditedReport(HWND hView) {
        HWND hEdit = ::GetDlgItem(hView, IDC_REPORT_TEXT);
        // The user adds a line at the end.
        DWORD_PTR nResult = 0;
        const WPARAM nEnd = wt::LongWindowText(hEdit).size();
        ::SendMessageTimeoutW(hEdit, EM_SETSEL, nEnd, static_cast<LPARAM>(nEnd), SMTO_ABORTIFHUNG,
                              5000, &nResult);
        ::SendMessageTimeoutW(hEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(kAddedLine),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        std::wstring strShown = wt::LongWindowText(hEdit);
        m_checks.Check(
            strShown.size() > 100 && strShown.compare(strShown.size() - wcslen(kAddedLine),
                                                      std::wstring::npos, kAddedLine) == 0,
            "the edit adds a line to the box");
        Click(hView, IDC_REPORT_SAVE_AS);
        if (ChooseSavePath(false, "first save")) CheckSavedFile(strShown, "first save");

        // A much shorter text saved over it replaces the file whole and keeps
        // its attributes.
        ::SetFileAttributesW(m_strSavePath.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kShortReport),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(hView, IDC_REPORT_SAVE_AS);
        if (ChooseSavePath(true, "second save")) CheckSavedFile(kShortReport, "second save");
        // Wine's ReplaceFileW renames the new file over the old one and does
        // not carry the attributes over as Windows does; the native tests
        // check that they are kept.
        m_checks.Note("attributes after the second save: %lx (hidden before)",
                      static_cast<unsigned long>(::GetFileAttributesW(m_strSavePath.c_str())));
        const std::vector<BYTE> abPlanted = wt::ReadWholeFile(m_strSavePath + L".tmp~");
        m_checks.Check(std::string(abPlanted.begin(), abPlanted.end()) == kPlanted,
                       "the file beside it named like the target + \".tmp~\" is untouched");
        const std::vector<std::wstring> names =
            wt::FilesIn(m_strSavePath.substr(0, m_strSavePath.rfind(L'\\')));
        m_checks.Check(names.size() == 2,
                       "the folder holds the report and the planted file only "
                       "(saw %s)",
                       wt::JoinTitles(names).c_str());
        m_checks.Check(FindHostDialog(IsMessageBox) == nullptr, "no message box after saving");
    }

    HANDLE m_hDblClkDone;
    std::wstring m_strSavePath;
    HWND m_hPage = nullptr;
};

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const wt::PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const wt::CSimulator& simulator = applet.m_simulator;
    simulator.m_pfnReset();
    checks.Check(simulator.Set("temperature.drift", "0"), "simulator set up");

    std::wstring strDir = L"C:\\Reports";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    const std::wstring strSavePath = strDir + L"\\panel-report.txt";
    ::SetFileAttributesW(strSavePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(strSavePath.c_str());
    const std::wstring strPlanted = strSavePath + L".tmp~";
    {
        wt::CFile planted(strPlanted);
        checks.Check(planted.Write(kPlanted, sizeof(kPlanted) - 1),
                     "a file planted beside the target");
    }
    // C:\WERUNTIME.INI: a line saved as UTF-16 between two 8-bit ones, held
    // open by a program that writes to it.
    std::string strIni = "[Runtime]\r\n";
    for (char ch : std::string("Mode=2\r\n")) strIni += std::string(1, ch) + '\0';
    strIni += "Version=3.1\r\n";
    const wchar_t kIniPath[] = L"C:\\WERUNTIME.INI";
    {
        wt::CFile ini(kIniPath);
        checks.Check(ini.Write(strIni.data(), static_cast<DWORD>(strIni.size())),
                     "C:\\WERUNTIME.INI written");
    }
    HANDLE hIniWriter = ::CreateFileW(kIniPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    checks.Check(hIniWriter != INVALID_HANDLE_VALUE, "a writer holds C:\\WERUNTIME.INI open");
    const std::wstring strDriver = RealSystemFolder() + L"\\drivers\\TmOrlDrv.sys";
    {
        wt::CFile driver(strDriver);
        const std::vector<BYTE> abDriver(kDriverBytes, 0x4D);
        checks.Check(driver.Write(abDriver.data(), kDriverBytes), "a driver file in %s",
                     wt::Utf8(strDriver).c_str());
    }
    wt::CHostWindow host;

    checks.Check(pfnApplet(host.Get(), CPL_INIT, 0, 0) == 1, "CPL_INIT gives 1");
    LONG nResult =
        wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHostThread, HANDLE hDone) {
            CReportDriver(checks, dwHostThread, hDone, strSavePath).Run();
        });
    checks.Check(nResult == 1, "CPL_DBLCLK returns 1 (saw %ld)", static_cast<long>(nResult));
    checks.Check(pfnApplet(host.Get(), CPL_EXIT, 0, 0) == 1, "CPL_EXIT gives 1");

    if (hIniWriter != INVALID_HANDLE_VALUE) ::CloseHandle(hIniWriter);
    ::DeleteFileW(kIniPath);
    ::DeleteFileW(strDriver.c_str());
    ::DeleteFileW(strPlanted.c_str());
    ::SetFileAttributesW(strSavePath.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(strSavePath.c_str());
    wchar_t szSystem[MAX_PATH] = L"";
    if (::GetSystemDirectoryW(szSystem, MAX_PATH)) ::SetCurrentDirectoryW(szSystem);
    checks.Check(::RemoveDirectoryW(strDir.c_str()) != FALSE, "report folder removed");
    return checks.Finish();
}
