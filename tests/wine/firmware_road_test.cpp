// End-to-end road of one firmware update under Wine, walked as a user walks
// it: the main thread plays the Control Panel host of the real
// TmRoveVodore.cpl (CPL_INIT, CPL_DBLCLK twice in one process); a driver
// thread works the real windows: the Versions page, the About dialog, Wine's
// own Open and Save As dialogs, the transfer dialog, message 1166, the
// firmware info dialog and the restart question when the sheet closes.
// TM_ROAD_SHOT=path.bmp saves a picture of the transfer dialog at work.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <dlgs.h>
#include <prsht.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
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

// What the driver recognises the host thread's dialogs by.
bool IsFirmwareInfo(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_FW_INFO) && ::GetDlgItem(hWnd, IDC_FW_STATUS);
}
bool IsAbout(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_ABOUT_MODULES) && ::GetDlgItem(hWnd, IDC_ABOUT_DRIVER);
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

    // First sheet run: About, the update, firmware info, the backup and an
    // update from it; OK, then the restart question.
    void RunUpdateRoad() {
        if (OpenVersionsPage()) {
            CheckAbout();
            if (UpdateFpga()) {
                CheckFirmwareInfoAfterUpdate();
                if (BackupFpga()) UpdateFromBackup();
            }
        }
        CloseSheetAndAnswerRestart(PSBTN_OK, "first run");
        CloseEverything();
    }

    // Second sheet run in the same process: closed at once, asked again.
    void RunCloseAtOnce() {
        HWND hSheet = WaitSheet("second run");
        if (hSheet)
            m_checks.Check(wt::WindowText(hSheet) == L"Eigenschaften von Marlet",
                           "second run: the sheet is captioned \"Eigenschaften von Marlet\"");
        CloseSheetAndAnswerRestart(PSBTN_CANCEL, "second run");
        CloseEverything();
    }

private:
    HWND WaitSheet(const char* pszWhat) {
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(hSheet != nullptr, "%s: the sheet opens", pszWhat))
            wt::DumpWindows(m_checks, m_dwHostThread);
        return hSheet;
    }

    // Waits for the applet's message box with this text and presses the button.
    bool AnswerMessage(const wchar_t* pszText, int nAnswer, const char* pszWhat) {
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, pszWhat);
        if (!hBox) return false;
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        bool bText = m_checks.Check(strText == pszText, "%s: text (saw \"%s\")", pszWhat,
                                    wt::OneLine(strText).c_str());
        Answer(hBox, nAnswer);
        return WaitGone(hBox, pszWhat) && bText;
    }

    bool OpenVersionsPage() {
        HWND hSheet = WaitSheet("first run");
        if (!hSheet) return false;
        m_hSheet = hSheet;
        std::vector<std::wstring> titles = wt::TabTitles(hSheet);
        auto it = std::find(titles.begin(), titles.end(), L"Versionen");
        if (!m_checks.Check(it != titles.end(), "the sheet has the tab \"Versionen\" (tabs: %s)",
                            wt::JoinTitles(titles).c_str()))
            return false;
        m_hPage = wt::SelectTab(hSheet, static_cast<int>(it - titles.begin()), kWaitMs);
        bool bShown = m_hPage && wt::WaitFor(kWaitMs, [&] {
                          return ::GetDlgItem(m_hPage, IDC_VER_FPGA_UPDATE) &&
                                 wt::ControlText(m_hPage, IDC_VER_BIOS) == L"T4.12";
                      });
        if (!m_checks.Check(
                bShown, "the Versions page shows the BIOS version T4.12 (saw \"%s\")",
                m_hPage ? wt::Utf8(wt::ControlText(m_hPage, IDC_VER_BIOS)).c_str() : ""))
            return false;
        m_checks.Check(wt::ControlText(m_hPage, IDC_VER_SMC) == L"SMC 3.4.1" &&
                           wt::ControlText(m_hPage, IDC_VER_KVC) == L"KVC 1.9.0",
                       "SMC and KVC versions shown");
        bool bFpga = true, bNoFpga1 = true;
        for (int nId : {IDC_VER_FPGA_FIRMWARE, IDC_VER_FPGA_UPDATE, IDC_VER_FPGA_SAVE})
            bFpga = bFpga && ::IsWindowEnabled(::GetDlgItem(m_hPage, nId));
        for (int nId : {IDC_VER_FPGA1_FIRMWARE, IDC_VER_FPGA1_UPDATE, IDC_VER_FPGA1_SAVE})
            bNoFpga1 = bNoFpga1 && !::IsWindowEnabled(::GetDlgItem(m_hPage, nId));
        m_checks.Check(bFpga, "the FPGA row's three buttons are usable");
        m_checks.Check(bNoFpga1, "the FPGA1 row is grey on a device without FPGA1");
        return bFpga;
    }

    void CheckAbout() {
        Click(m_hPage, IDC_VER_INFO);
        HWND hAbout = WaitDialog(IsAbout, "\"&Info...\": the About dialog");
        if (!hAbout) return;
        std::wstring strCaption = wt::WindowText(hAbout);
        m_checks.Check(strCaption == L"Info \u00FCber Control Center",
                       "about: caption \"Info \u00FCber Control Center\" (saw \"%s\")",
                       wt::Utf8(strCaption).c_str());
        std::wstring strDriver = wt::ControlText(hAbout, IDC_ABOUT_DRIVER);
        m_checks.Check(strDriver == L"Ivronet\nVersion 1.0 (Simulator)",
                       "about: the driver version from the registry (saw \"%s\")",
                       wt::OneLine(strDriver).c_str());
        std::wstring strApplet = wt::ControlText(hAbout, IDC_ABOUT_APPLET);
        m_checks.Check(strApplet.find(L"(TmRoveVodore.cpl) 2.01\r\n") != std::wstring::npos,
                       "about: the applet's own version (saw \"%s\")",
                       wt::OneLine(strApplet).c_str());
        std::wstring strModules = wt::ControlText(hAbout, IDC_ABOUT_MODULES);
        m_checks.Check(
            strModules.compare(0, wcslen(kSimulatorModuleLines), kSimulatorModuleLines) == 0,
            "about: the module list names TmIvro.dll a simulator (saw \"%s\")",
            wt::OneLine(strModules).c_str());
        Click(hAbout, IDOK);
        WaitGone(hAbout, "about: OK");
    }

    // The Open or Save As dialog: the user types a full path and presses the
    // dialog's default button. Checks the proposed name and the first filter.
    bool ChooseFile(const char* pszWhat, const std::wstring& strPath, const wchar_t* pszProposed,
                    const wchar_t* pszFirstFilter) {
        HWND hDlg = WaitDialog(wt::IsFileDialog, pszWhat);
        if (!hDlg) return false;
        m_checks.Note("%s: Wine's dialog \"%s\"", pszWhat, wt::Utf8(wt::WindowText(hDlg)).c_str());
        HWND hEdit = wt::FileNameEdit(hDlg);
        if (!m_checks.Check(hEdit != nullptr, "%s: a file name field", pszWhat)) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            Answer(hDlg, IDCANCEL);
            return false;
        }
        if (pszProposed) {
            std::wstring strName = wt::WindowText(hEdit);
            m_checks.Check(strName == pszProposed, "%s: proposes \"%s\" (saw \"%s\")", pszWhat,
                           wt::Utf8(pszProposed).c_str(), wt::Utf8(strName).c_str());
        }
        if (pszFirstFilter) {
            std::wstring strFilter = wt::ComboItem(::GetDlgItem(hDlg, cmb1), 0);
            m_checks.Check(strFilter == pszFirstFilter,
                           "%s: the first filter is \"%s\" (saw \"%s\")", pszWhat,
                           wt::Utf8(pszFirstFilter).c_str(), wt::Utf8(strFilter).c_str());
        }
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        m_checks.Check(wt::WindowText(hEdit) == strPath, "%s: typed %s", pszWhat,
                       wt::Utf8(strPath).c_str());
        Click(hDlg, IDOK);
        return WaitGone(hDlg, pszWhat);
    }

    // A transfer dialog that ends on its own; the user waits and closes it.
    bool FinishTransfer(const char* pszWhat, bool bDownload) {
        std::string strWhat = std::string(pszWhat) + ": the transfer dialog";
        HWND hDlg = WaitDialog(wt::IsTransferDialog, strWhat.c_str());
        if (!hDlg) return false;
        std::wstring strDone = bDownload ? L"Download beendet" : L"Upload beendet";
        bool bDone = wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hDlg) == strDone; });
        if (!m_checks.Check(bDone, "%s: \"%s\" (title \"%s\")", pszWhat, wt::Utf8(strDone).c_str(),
                            wt::Utf8(wt::WindowText(hDlg)).c_str())) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return false;
        }
        std::wstring strInfo = wt::ControlText(hDlg, IDC_TRANSFER_INFO);
        std::wstring strExpected = bDownload ? kRestartNeeded : L"";
        m_checks.Check(strInfo == strExpected, "%s: end text \"%s\" (saw \"%s\")", pszWhat,
                       wt::Utf8(strExpected).c_str(), wt::Utf8(strInfo).c_str());
        return CloseFinished(hDlg, pszWhat);
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
        m_checks.Check(m_simulator.Set("transfer.hold_step", std::to_string(kStepWrite).c_str()),
                       "the transfer will pause at the write");
        Click(m_hPage, IDC_VER_FPGA_UPDATE);
        if (!ChooseFile("update: the Open dialog", m_strDemoPath, nullptr,
                        L"MRL FPGA Dateien (MRL_*.pci)"))
            return false;
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
        std::wstring strTitle;
        bool bTitle = wt::WaitFor(kWaitMs, [&] {
            strTitle = wt::WindowText(hDlg);
            return strTitle == std::to_wstring(nPos) + L"% - Download";
        });
        m_checks.Check(bTitle, "update: the title shows the percent (saw \"%s\")",
                       wt::Utf8(strTitle).c_str());
        std::wstring strTime;
        bool bTime = wt::WaitFor(kWaitMs, [&] {
            strTime = wt::ControlText(hDlg, IDC_TRANSFER_TIME);
            return strTime.find(L"Verbleibende Zeit: ") == 0;
        });
        m_checks.Check(bTime, "update: the remaining time shows (saw \"%s\")",
                       wt::Utf8(strTime).c_str());
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
        bool bGrew = std::is_sorted(positions.begin(), positions.end()) &&
                     std::any_of(positions.begin(), positions.end(),
                                 [](int n) { return n > 0 && n < 100; }) &&
                     !positions.empty() && positions.back() == 100;
        m_checks.Check(bGrew, "update: the progress bar grows to 100 (saw %s)",
                       strPositions.c_str());
        if (!m_checks.Check(bDone, "update: \"Download beendet\" (title \"%s\")",
                            wt::Utf8(wt::WindowText(hDlg)).c_str())) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return false;
        }
        m_checks.Check(wt::ControlText(hDlg, IDC_TRANSFER_STEP) == L"Download beendet",
                       "update: the step line says \"Download beendet\"");
        strTime = wt::ControlText(hDlg, IDC_TRANSFER_TIME);
        m_checks.Check(strTime.find(L"Ben\u00F6tigte Zeit: ") == 0,
                       "update: the time needed (\"%s\")", wt::Utf8(strTime).c_str());
        std::wstring strInfo = wt::ControlText(hDlg, IDC_TRANSFER_INFO);
        m_checks.Check(strInfo == kRestartNeeded, "update: ends with the restart text (saw \"%s\")",
                       wt::Utf8(strInfo).c_str());
        if (!CloseFinished(hDlg, "update")) return false;

        m_checks.Check(wt::CurrentPage(m_hSheet) == m_hPage, "update: back on the Versions page");
        std::string strVersion = m_simulator.Get("transfer.fpga.version");
        return m_checks.Check(strVersion == std::to_string(kNewVersion),
                              "update: the device holds version %lu (saw %s)",
                              static_cast<unsigned long>(kNewVersion), strVersion.c_str());
    }

    // The device reports the old firmware until the restart: 1166 first.
    void CheckFirmwareInfoAfterUpdate() {
        Click(m_hPage, IDC_VER_FPGA_FIRMWARE);
        if (!AnswerMessage(wt::kUpdatedBefore, IDOK,
                           "\"Firmware...\" after the update: message 1166"))
            return;
        HWND hInfo = WaitDialog(IsFirmwareInfo, "the firmware info dialog");
        if (!hInfo) return;
        std::wstring strCaption = wt::WindowText(hInfo);
        m_checks.Check(strCaption == L"Firmware - On-Board FPGA",
                       "firmware info: caption (saw \"%s\")", wt::Utf8(strCaption).c_str());
        std::wstring strInfo = wt::ControlText(hInfo, IDC_FW_INFO);
        std::wstring strStatus = wt::ControlText(hInfo, IDC_FW_STATUS);
        m_checks.Check(strInfo == L"FPGA MRL 1.07" && strStatus == L"Boot OK",
                       "firmware info: the old firmware, \"Boot OK\" (saw \"%s\", \"%s\")",
                       wt::Utf8(strInfo).c_str(), wt::Utf8(strStatus).c_str());
        Click(hInfo, IDOK);
        WaitGone(hInfo, "firmware info: OK");
    }

    bool BackupFpga() {
        m_simulator.Set("transfer.duration", "0");
        ::DeleteFileW(m_strBackupPath.c_str());
        Click(m_hPage, IDC_VER_FPGA_SAVE);
        if (!AnswerMessage(wt::kUpdatedBefore, IDOK,
                           "\"Sichern...\" after the update: message 1166"))
            return false;
        if (!ChooseFile("backup: the Save As dialog", m_strBackupPath, L"fpga_1.pci", nullptr))
            return false;
        if (!FinishTransfer("backup", false)) return false;
        std::vector<BYTE> abBackup = wt::ReadWholeFile(m_strBackupPath);
        std::vector<BYTE> abDemo = wt::ReadWholeFile(m_strDemoPath);
        return m_checks.Check(!abBackup.empty() && abBackup == abDemo,
                              "backup: the file holds what was downloaded (%u bytes)",
                              static_cast<unsigned>(abBackup.size()));
    }

    void UpdateFromBackup() {
        Click(m_hPage, IDC_VER_FPGA_UPDATE);
        if (!ChooseFile("update from the backup: the Open dialog", m_strBackupPath, nullptr,
                        nullptr))
            return;
        FinishTransfer("update from the backup", true);
    }

    void CloseSheetAndAnswerRestart(int nButton, const char* pszWhat) {
        HWND hSheet = wt::FindDialog(m_dwHostThread, true, nullptr);
        if (!hSheet) return;
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, static_cast<WPARAM>(nButton), 0);
        std::string strWhat = std::string(pszWhat) + ": closing the sheet asks 1016";
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, strWhat.c_str());
        if (!hBox) return;
        m_checks.Check(!::IsWindow(hSheet), "%s: the sheet is gone when 1016 is asked", pszWhat);
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strText == wt::kAskRestart, "%s: 1016 text (saw \"%s\")", pszWhat,
                       wt::OneLine(strText).c_str());
        m_checks.Check(wt::HasVisibleButton(hBox, IDYES) && wt::HasVisibleButton(hBox, IDNO) &&
                           !wt::HasVisibleButton(hBox, IDOK) &&
                           !wt::HasVisibleButton(hBox, IDCANCEL),
                       "%s: 1016 has Yes and No", pszWhat);
        Answer(hBox, IDNO);
        WaitGone(hBox, (std::string(pszWhat) + ": 1016 answered No").c_str());
    }

    // A held transfer would keep the host in CPL_DBLCLK: free it too.
    void CloseEverything() {
        CHostDriver::CloseEverything(m_hDblClkDone,
                                     [&] { m_simulator.Set("transfer.hold_step", "0"); });
    }

    const CSimulator& m_simulator;
    HANDLE m_hDblClkDone;
    HWND m_hSheet = nullptr;
    HWND m_hPage = nullptr;
};

struct CRoad {
    wt::CChecks& m_checks;
    const CSimulator& m_simulator;
    PFN_CPLAPPLET m_pfnApplet;
    HWND m_hHost;
    std::wstring m_strDemoPath;
    std::wstring m_strBackupPath;

    // One double-click: the driver works the windows while CPL_DBLCLK runs.
    void DoubleClick(void (CRoadDriver::*pfnRun)(), const char* pszWhat) {
        LONG nResult = wt::DoubleClickApplet(
            m_checks, m_pfnApplet, m_hHost, [&](DWORD dwHostThread, HANDLE hDone) {
                CRoadDriver driver(m_checks, m_simulator, dwHostThread, hDone);
                driver.m_strDemoPath = m_strDemoPath;
                driver.m_strBackupPath = m_strBackupPath;
                (driver.*pfnRun)();
            });
        m_checks.Check(nResult == 1, "%s: CPL_DBLCLK returns 1 (saw %ld)", pszWhat,
                       static_cast<long>(nResult));
    }
};

// The new firmware the user has been given: one version newer, for this device.
bool WriteDemoFile(const std::wstring& strPath) {
    std::vector<tmsim::Byte> abFile =
        tmsim::BuildTransferFile(kKindFpga, kDeviceType, kNewVersion,
                                 tmsim::SampleTransferData(kKindFpga, kNewVersion, 300000));
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
    std::wstring strDir = L"C:\\Firmware";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    wt::CHostWindow host;
    CRoad road{checks,
               simulator,
               pfnApplet,
               host.Get(),
               strDir + L"\\MRL_108.pci",
               strDir + L"\\fpga_1.pci"};
    if (!checks.Check(WriteDemoFile(road.m_strDemoPath), "demo file %s written",
                      wt::Utf8(road.m_strDemoPath).c_str()))
        return checks.Finish();

    checks.Check(pfnApplet(host.Get(), CPL_INIT, 0, 0) == 1, "CPL_INIT gives 1");
    road.DoubleClick(&CRoadDriver::RunUpdateRoad, "first run");
    road.DoubleClick(&CRoadDriver::RunCloseAtOnce, "second run");
    checks.Check(pfnApplet(host.Get(), CPL_EXIT, 0, 0) == 1, "CPL_EXIT gives 1");

    ::DeleteFileW(road.m_strDemoPath.c_str());
    ::DeleteFileW(road.m_strBackupPath.c_str());
    // The file dialogs made the folder the current directory.
    wchar_t szSystem[MAX_PATH] = L"";
    if (::GetSystemDirectoryW(szSystem, MAX_PATH)) ::SetCurrentDirectoryW(szSystem);
    checks.Check(::RemoveDirectoryW(strDir.c_str()) != FALSE, "demo folder removed");
    checks.Note("the road took %.1f s", static_cast<double>(::GetTickCount64() - nStart) / 1000.0);
    return checks.Finish();
}
