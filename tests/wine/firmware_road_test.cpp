// End-to-end road of one firmware update under Wine, walked as a user walks
// it: the main thread plays the Control Panel host of the real
// TmRoveVodore.cpl (CPL_DBLCLK); a driver thread works the real windows: the
// About dialog (the real version resources), the transfer dialog with its
// worker thread, timer and progress bar, the backup on the real file system,
// the worker's older-version question while a cancel waits, and the restart
// question when the sheet closes. Pages and file dialogs: pages_test.
// TM_ROAD_SHOT=path.bmp saves a picture of the transfer dialog at work.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "simulator/TmIvroSim.h"
#include "tests/wine/WineTest.h"

namespace {

// Wine's file dialogs take a few seconds the first time; every wait is bounded.
const DWORD kWaitMs = 20000;
const DWORD kKindFpga = 8;
const DWORD kDeviceType = 4;
const DWORD kOldVersion = 107;  // what the simulated device holds at first
const DWORD kNewVersion = 108;
const DWORD kStepWrite = 5;

const wchar_t kRestartNeeded[] =
    L"Sie m\u00FCssen das System neu starten, damit die runtergeladenen Daten (BIOS, Firmware, "
    L"etc.) wirksam werden.";
const wchar_t kWriting[] = L"Daten auf Ger\u00E4t schreiben... NICHT ABBRECHEN!";
// The simulator's own version resource as the About dialog lists it.
const wchar_t kSimulatorModuleLines[] =
    L"TmIvro device simulator (not the device-access library) (TmIvro.dll) 1.0.0\r\n"
    L"Copyright \u00A9 TmRoveVodore project\r\n\r\n";

using wt::CSimulator;
using wt::PFN_CPLAPPLET;

int ProgressPos(HWND hDlg) {
    DWORD_PTR nPos = 0;
    if (!::SendMessageTimeoutW(::GetDlgItem(hDlg, IDC_TRANSFER_PROGRESS), PBM_GETPOS, 0, 0,
                               SMTO_ABORTIFHUNG, 5000, &nPos))
        return -1;
    return static_cast<int>(nPos);
}

bool IsAbout(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_ABOUT_MODULES) && ::GetDlgItem(hWnd, IDC_ABOUT_DRIVER);
}

// A message box of this process owned by hOwner (any thread).
HWND FindOwnedBox(HWND hOwner) {
    for (HWND hWnd : wt::TopLevelWindows(0)) {
        DWORD dwProcess = 0;
        ::GetWindowThreadProcessId(hWnd, &dwProcess);
        if (dwProcess == ::GetCurrentProcessId() && wt::IsDialog(hWnd) &&
            ::GetWindow(hWnd, GW_OWNER) == hOwner && ::GetDlgItem(hWnd, wt::kIdMessageText))
            return hWnd;
    }
    return nullptr;
}

// The user's side of one sheet run, on its own thread while the main thread
// sits in CPL_DBLCLK.
class CRoadDriver : private wt::CHostDriver {
public:
    CRoadDriver(wt::CChecks& checks, const CSimulator& simulator, DWORD dwHostThread,
                HANDLE hDblClkDone)
        : CHostDriver(checks, dwHostThread, kWaitMs),
          m_simulator(simulator),
          m_hDblClkDone(hDblClkDone) {}

    std::wstring m_strDemoPath;    // the new FPGA firmware the user chooses
    std::wstring m_strBackupPath;  // where the user saves the backup
    std::wstring m_strOlderPath;   // firmware older than the new one

    void RunUpdateRoad() {
        if (OpenVersionsPage()) {
            CheckAbout();
            if (UpdateFpga() && BackupFpga()) CancelOlderVersion();
        }
        CloseSheetAndAnswerRestart();
        CHostDriver::CloseEverything(m_hDblClkDone,
                                     [&] { m_simulator.Set("transfer.hold_step", "0"); });
    }

private:
    bool OpenVersionsPage() {
        m_hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(m_hSheet != nullptr, "the sheet opens")) return false;
        std::vector<std::wstring> titles = wt::TabTitles(m_hSheet);
        auto it = std::find(titles.begin(), titles.end(), L"Versionen");
        if (!m_checks.Check(it != titles.end(), "the sheet has the tab \"Versionen\" (tabs: %s)",
                            wt::JoinTitles(titles).c_str()))
            return false;
        m_hPage = wt::SelectTab(m_hSheet, static_cast<int>(it - titles.begin()), kWaitMs);
        auto offered = [&] {
            return ::IsWindowEnabled(::GetDlgItem(m_hPage, IDC_VER_FPGA_UPDATE));
        };
        return m_checks.Check(m_hPage && wt::WaitFor(kWaitMs, offered),
                              "the Versions page offers the FPGA update");
    }

    void CheckAbout() {
        Click(m_hPage, IDC_VER_INFO);
        HWND hAbout = WaitDialog(IsAbout, "\"&Info...\": the About dialog");
        if (!hAbout) return;
        const std::wstring strCaption = wt::WindowText(hAbout),
                           strDriver = wt::ControlText(hAbout, IDC_ABOUT_DRIVER),
                           strApplet = wt::ControlText(hAbout, IDC_ABOUT_APPLET),
                           strModules = wt::ControlText(hAbout, IDC_ABOUT_MODULES);
        m_checks.Check(
            strCaption == L"Info \u00FCber Control Center" &&
                strDriver == L"Ivronet\nVersion 1.0 (Simulator)" &&
                strApplet.find(L"(TmRoveVodore.cpl) 2.01\r\n") != std::wstring::npos &&
                strModules.compare(0, wcslen(kSimulatorModuleLines), kSimulatorModuleLines) == 0,
            "about: its caption, the driver version from the registry, the applet's "
            "version and TmIvro.dll as the simulator (saw \"%s\", \"%s\", \"%s\", \"%s\")",
            wt::Utf8(strCaption).c_str(), wt::OneLine(strDriver).c_str(),
            wt::OneLine(strApplet).c_str(), wt::OneLine(strModules).c_str());
        Click(hAbout, IDOK);
        WaitGone(hAbout, "about: OK");
    }

    // The Open or Save As dialog: the user types a full path and presses the
    // dialog's default button.
    bool ChooseFile(const char* pszWhat, const std::wstring& strPath) {
        HWND hDlg = WaitDialog(wt::IsFileDialog, pszWhat);
        HWND hEdit = hDlg ? wt::FileNameEdit(hDlg) : nullptr;
        if (!m_checks.Check(hEdit != nullptr, "%s: a file name field", pszWhat)) return false;
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(hDlg, IDOK);
        return WaitGone(hDlg, pszWhat);
    }

    bool CloseFinished(HWND hDlg, const char* pszWhat) {
        HWND hButton = ::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON);
        m_checks.Check(wt::WindowText(hButton) == L"Schlie\u00DFen" && ::IsWindowEnabled(hButton),
                       "%s: the button reads \"Schlie\u00DFen\" and is enabled", pszWhat);
        Click(hDlg, IDC_TRANSFER_BUTTON);
        return WaitGone(hDlg, (std::string(pszWhat) + ": the transfer dialog").c_str());
    }

    bool UpdateFpga() {
        // Held when the write begins, so that the write phase can be looked at.
        m_simulator.Set("transfer.hold_step", std::to_string(kStepWrite).c_str());
        Click(m_hPage, IDC_VER_FPGA_UPDATE);
        if (!ChooseFile("update: the Open dialog", m_strDemoPath)) return false;
        HWND hDlg = WaitDialog(wt::IsTransferDialog, "update: the transfer dialog");
        if (!hDlg) return false;
        std::wstring strShownPath = wt::ControlText(hDlg, IDC_TRANSFER_PATH);
        m_checks.Check(strShownPath.find(L"MRL_108.pci") != std::wstring::npos,
                       "update: the chosen file is shown (saw \"%s\")",
                       wt::Utf8(strShownPath).c_str());

        std::vector<int> positions;
        auto sample = [&] {
            int nPos = ProgressPos(hDlg);
            if (positions.empty() || positions.back() != nPos) positions.push_back(nPos);
        };
        bool bWriting = wt::WaitFor(kWaitMs, [&] {
            sample();
            return wt::ControlText(hDlg, IDC_TRANSFER_STEP) == kWriting &&
                   !::IsWindowEnabled(::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON));
        });
        m_checks.Check(bWriting, "update: the write step shows and \"Abbrechen\" is grey");
        int nPos = ProgressPos(hDlg);
        m_checks.Check(nPos > 0 && nPos < 100, "update: the progress bar is part way (%d)", nPos);
        std::wstring strTitle, strTime;
        bool bShown = wt::WaitFor(kWaitMs, [&] {
            strTitle = wt::WindowText(hDlg);
            strTime = wt::ControlText(hDlg, IDC_TRANSFER_TIME);
            return strTitle == std::to_wstring(nPos) + L"% - Download" &&
                   strTime.find(L"Verbleibende Zeit: ") == 0;
        });
        m_checks.Check(
            bShown, "update: the title shows the percent, then the remaining time (\"%s\", \"%s\")",
            wt::Utf8(strTitle).c_str(), wt::Utf8(strTime).c_str());
        // The button, Esc, Enter and the close box are refused while the device is written.
        Click(hDlg, IDC_TRANSFER_BUTTON);
        Answer(hDlg, IDCANCEL);
        Answer(hDlg, IDOK);
        ::PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::Sleep(700);
        m_checks.Check(::IsWindow(hDlg) && !FindOwnedBox(hDlg) &&
                           wt::WindowText(hDlg).find(L"% - Download") != std::wstring::npos,
                       "update: button, Esc, Enter and close box refused while writing");
        wchar_t szShot[MAX_PATH] = L"";
        if (::GetEnvironmentVariableW(L"TM_ROAD_SHOT", szShot, MAX_PATH) > 0) {
            wt::ShowForShot(hDlg);
            m_checks.Check(wt::SaveWindowBitmap(hDlg, szShot), "update: screenshot %s",
                           wt::Utf8(szShot).c_str());
        }
        m_simulator.Set("transfer.hold_step", "0");

        bool bDone = wt::WaitFor(kWaitMs, [&] {
            sample();
            return wt::WindowText(hDlg) == L"Download beendet";
        });
        sample();
        std::string strPositions;
        for (int n : positions) strPositions += std::to_string(n) + " ";
        m_checks.Check(std::is_sorted(positions.begin(), positions.end()) && positions.size() > 2 &&
                           positions.back() == 100,
                       "update: the progress bar grows to 100 (saw %s)", strPositions.c_str());
        if (!m_checks.Check(bDone, "update: \"Download beendet\" (title \"%s\")",
                            wt::Utf8(wt::WindowText(hDlg)).c_str()))
            return false;
        strTime = wt::ControlText(hDlg, IDC_TRANSFER_TIME);
        m_checks.Check(strTime.find(L"Ben\u00F6tigte Zeit: ") == 0,
                       "update: the time needed (\"%s\")", wt::Utf8(strTime).c_str());
        std::wstring strInfo = wt::ControlText(hDlg, IDC_TRANSFER_INFO);
        m_checks.Check(strInfo == kRestartNeeded, "update: ends with the restart text (saw \"%s\")",
                       wt::Utf8(strInfo).c_str());
        if (!CloseFinished(hDlg, "update")) return false;
        std::string strVersion = m_simulator.Get("transfer.fpga.version");
        return m_checks.Check(strVersion == std::to_string(kNewVersion),
                              "update: the device holds version %lu (saw %s)",
                              static_cast<unsigned long>(kNewVersion), strVersion.c_str());
    }

    // The device reports the old firmware until the restart: 1166 first.
    bool BackupFpga() {
        m_simulator.Set("transfer.duration", "0");
        ::DeleteFileW(m_strBackupPath.c_str());
        Click(m_hPage, IDC_VER_FPGA_SAVE);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "backup: message 1166");
        if (!hBox) return false;
        Answer(hBox, IDOK);
        if (!ChooseFile("backup: the Save As dialog", m_strBackupPath)) return false;
        HWND hDlg = WaitDialog(wt::IsTransferDialog, "backup: the transfer dialog");
        if (!hDlg ||
            !m_checks.Check(
                wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hDlg) == L"Upload beendet"; }),
                "backup: \"Upload beendet\"") ||
            !CloseFinished(hDlg, "backup"))
            return false;
        std::vector<BYTE> abBackup = wt::ReadWholeFile(m_strBackupPath);
        return m_checks.Check(!abBackup.empty() && abBackup == wt::ReadWholeFile(m_strDemoPath),
                              "backup: the file holds what was downloaded (%u bytes)",
                              static_cast<unsigned>(abBackup.size()));
    }

    // An older file: the worker asks; the user presses "Abbrechen" first, then
    // answers. The cancel's wait must keep the question working.
    void CancelOlderVersion() {
        Click(m_hPage, IDC_VER_FPGA_UPDATE);
        if (!ChooseFile("older version: the Open dialog", m_strOlderPath)) return;
        HWND hDlg = WaitDialog(wt::IsTransferDialog, "older version: the transfer dialog");
        HWND hBox = nullptr;
        bool bAsked = hDlg && wt::WaitFor(kWaitMs, [&] { return (hBox = FindOwnedBox(hDlg)); });
        if (!m_checks.Check(bAsked, "older version: the question is owned by the transfer dialog"))
            return;
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strText.find(L"\u00E4lteren Version") != std::wstring::npos &&
                           wt::WindowText(hBox) == L"Control Center (Marlet)",
                       "older version: question text and caption (\"%s\")",
                       wt::Utf8(strText).c_str());
        Click(hDlg, IDC_TRANSFER_BUTTON);
        ::Sleep(500);
        m_checks.Check(::IsWindow(hBox) != FALSE, "older version: still asked while cancelling");
        Answer(hBox, IDYES);
        WaitGone(hDlg, "older version: the transfer dialog, after the answer,");
        m_checks.Check(m_simulator.Get("transfer.fpga.version") == std::to_string(kNewVersion),
                       "older version: the device keeps its version");
    }

    void CloseSheetAndAnswerRestart() {
        HWND hSheet = wt::FindDialog(m_dwHostThread, true, nullptr);
        if (!hSheet) return;
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "closing the sheet asks 1016");
        if (!hBox) return;
        m_checks.Check(!::IsWindow(hSheet), "the sheet is gone when 1016 is asked");
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strText == wt::kAskRestart && wt::HasVisibleButton(hBox, IDYES) &&
                           wt::HasVisibleButton(hBox, IDNO) && !wt::HasVisibleButton(hBox, IDOK),
                       "1016 asks Yes or No (saw \"%s\")", wt::OneLine(strText).c_str());
        Answer(hBox, IDNO);
        WaitGone(hBox, "1016 answered No");
    }

    const CSimulator& m_simulator;
    HANDLE m_hDblClkDone;
    HWND m_hSheet = nullptr;
    HWND m_hPage = nullptr;
};

// Firmware for this device in the simulator's transfer file format.
bool WriteFpgaFile(const std::wstring& strPath, DWORD nVersion) {
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        kKindFpga, kDeviceType, nVersion, tmsim::SampleTransferData(kKindFpga, nVersion, 300000));
    wt::CFile file(strPath);
    return file.IsOpen() && file.Write(abFile.data(), static_cast<DWORD>(abFile.size()));
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    ULONGLONG nStart = ::GetTickCount64();
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;

    // The default Marlet, still temperatures, a transfer of 2.5 s, and an
    // FPGA download that needs a restart.
    simulator.m_pfnReset();
    bool bSet = simulator.Set("temperature.drift", "0") &&
                simulator.Set("transfer.duration", "2500") &&
                simulator.Set("transfer.fpga.version", std::to_string(kOldVersion).c_str()) &&
                simulator.Set("transfer.fpga.restart", "yes") &&
                simulator.Set("transfer.fpga.power_cycle", "no");
    checks.Check(bSet, "simulator set up");

    // A folder of the prefix, as a user keeps firmware files.
    const std::wstring strDir = L"C:\\Firmware";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    wt::CHostWindow host;
    const std::wstring strDemo = strDir + L"\\MRL_108.pci", strBackup = strDir + L"\\fpga_1.pci",
                       strOlder = strDir + L"\\MRL_107.pci";
    if (!checks.Check(WriteFpgaFile(strDemo, kNewVersion) && WriteFpgaFile(strOlder, kOldVersion),
                      "firmware files written in %s", wt::Utf8(strDir).c_str()))
        return checks.Finish();

    checks.Check(pfnApplet(host.Get(), CPL_INIT, 0, 0) == 1, "CPL_INIT gives 1");
    LONG nResult =
        wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHostThread, HANDLE hDone) {
            CRoadDriver driver(checks, simulator, dwHostThread, hDone);
            driver.m_strDemoPath = strDemo;
            driver.m_strBackupPath = strBackup;
            driver.m_strOlderPath = strOlder;
            driver.RunUpdateRoad();
        });
    checks.Check(nResult == 1, "CPL_DBLCLK returns 1 (saw %ld)", static_cast<long>(nResult));
    checks.Check(pfnApplet(host.Get(), CPL_EXIT, 0, 0) == 1, "CPL_EXIT gives 1");

    for (const std::wstring& strPath : {strDemo, strBackup, strOlder})
        ::DeleteFileW(strPath.c_str());
    // The file dialogs made the folder the current directory.
    wchar_t szSystem[MAX_PATH] = L"";
    if (::GetSystemDirectoryW(szSystem, MAX_PATH)) ::SetCurrentDirectoryW(szSystem);
    checks.Check(::RemoveDirectoryW(strDir.c_str()) != FALSE, "demo folder removed");
    checks.Note("the road took %.1f s", static_cast<double>(::GetTickCount64() - nStart) / 1000.0);
    return checks.Finish();
}
