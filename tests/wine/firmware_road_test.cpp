// One firmware update under Wine, walked as a user walks it, for what only
// real Windows shows: the main thread plays the Control Panel host of the real
// TmRoveVodore.cpl; a driver thread types the file into the real Open dialog,
// watches the transfer dialog's worker, timer and progress bar, finds the
// dialog deaf to every way of closing while the device is written, cancels
// while the worker's older-version question is open (the cancel's wait must
// keep the question working), and answers the restart question at the end.
// The texts, steps and failures of the dialog: the native tests.
// TM_ROAD_SHOT=path.bmp saves a picture of the transfer dialog at work.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
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
const DWORD kOldVersion = 107;  // what the simulated device holds at first
const DWORD kNewVersion = 108;
const wchar_t kAskRestart[] =
    L"Sie m\u00FCssen Ihr System neu starten, damit die \u00C4nderungen wirksam werden.\n\n"
    L"Wollen Sie jetzt neu starten?";

int ProgressPos(HWND hDlg) {
    DWORD_PTR nPos = 0;
    ::SendMessageTimeoutW(::GetDlgItem(hDlg, IDC_TRANSFER_PROGRESS), PBM_GETPOS, 0, 0,
                          SMTO_ABORTIFHUNG, 5000, &nPos);
    return static_cast<int>(nPos);
}

// A message box owned by hOwner, of any thread.
HWND FindOwnedBox(HWND hOwner) {
    return wt::FindDialogIf(0, [&](HWND hWnd) {
        return ::GetWindow(hWnd, GW_OWNER) == hOwner && ::GetDlgItem(hWnd, wt::kIdMessageText);
    });
}

// The user's side of one sheet run, on its own thread while the main thread
// sits in CPL_DBLCLK.
class CRoadDriver : private wt::CHostDriver {
public:
    CRoadDriver(wt::CChecks& checks, const wt::CSimulator& simulator, DWORD dwHostThread)
        : CHostDriver(checks, dwHostThread, kWaitMs), m_simulator(simulator) {}

    void Run(const std::wstring& strNew, const std::wstring& strOlder) {
        if (OpenVersionsPage() && Update(strNew)) CancelWhileAsked(strOlder);
        CloseSheetAndAnswerRestart();
        // A held transfer would keep its dialog open.
        m_simulator.Set("transfer.hold_step", "0");
    }

private:
    bool OpenVersionsPage() {
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        m_hPage = hSheet ? wt::SelectTab(hSheet, L"Versionen", kWaitMs) : nullptr;
        bool bOffered = m_hPage && wt::WaitFor(kWaitMs, [&] {
                            return ::IsWindowEnabled(::GetDlgItem(m_hPage, IDC_VER_FPGA_UPDATE));
                        });
        return m_checks.Check(bOffered, "the sheet's Versions page offers the FPGA update");
    }

    // "Update..." and the real Open dialog: the user types a full path.
    HWND StartUpdate(const std::wstring& strPath, const char* pszWhat) {
        Click(m_hPage, IDC_VER_FPGA_UPDATE);
        HWND hOpen = WaitDialog(wt::IsFileDialog, std::string(pszWhat) + ": the Open dialog");
        if (!hOpen) return nullptr;
        // The file name field, whichever it is; a combo box passes the text to its edit.
        for (int nId : {cmb13, edt1}) ::SetDlgItemTextW(hOpen, nId, strPath.c_str());
        Click(hOpen, IDOK);
        if (!WaitGone(hOpen, std::string(pszWhat) + ": the Open dialog")) return nullptr;
        return WaitDialog(wt::IsTransferDialog, std::string(pszWhat) + ": the transfer dialog");
    }

    bool Update(const std::wstring& strPath) {
        // Held when the write begins, so that the write phase can be looked at.
        m_simulator.Set("transfer.hold_step", "5");
        HWND hDlg = StartUpdate(strPath, "update");
        if (!hDlg) return false;
        std::vector<int> positions;
        auto sample = [&] {
            int nPos = ProgressPos(hDlg);
            if (positions.empty() || positions.back() != nPos) positions.push_back(nPos);
        };
        bool bWriting = wt::WaitFor(kWaitMs, [&] {
            sample();
            return !::IsWindowEnabled(::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON)) &&
                   ProgressPos(hDlg) > 0;
        });
        m_checks.Check(bWriting, "update: writing, \"Abbrechen\" is grey");
        // The button, Esc, Enter and the close box are refused while the device is written.
        Click(hDlg, IDC_TRANSFER_BUTTON);
        Answer(hDlg, IDCANCEL);
        Answer(hDlg, IDOK);
        ::PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::Sleep(700);
        m_checks.Check(::IsWindow(hDlg) && !FindOwnedBox(hDlg),
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
        std::string strPositions;
        for (int n : positions) strPositions += std::to_string(n) + " ";
        m_checks.Check(bDone && std::is_sorted(positions.begin(), positions.end()) &&
                           positions.size() > 2 && ProgressPos(hDlg) == 100,
                       "update: \"Download beendet\", the progress bar grew to 100 (saw %s)",
                       strPositions.c_str());
        Click(hDlg, IDC_TRANSFER_BUTTON);
        return WaitGone(hDlg, "update: the finished transfer dialog, with its button,") &&
               m_checks.Check(
                   m_simulator.Get("transfer.fpga.version") == std::to_string(kNewVersion),
                   "update: the device holds the new version");
    }

    // An older file: the worker asks; "Abbrechen" first, then the answer.
    void CancelWhileAsked(const std::wstring& strPath) {
        m_simulator.Set("transfer.duration", "0");
        HWND hDlg = StartUpdate(strPath, "older version");
        HWND hBox = nullptr;
        if (!m_checks.Check(
                hDlg && wt::WaitFor(kWaitMs, [&] { return (hBox = FindOwnedBox(hDlg)); }),
                "older version: the worker's question is owned by the dialog"))
            return;
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
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "closing the sheet asks for the restart");
        if (!hBox) return;
        m_checks.Check(!::IsWindow(hSheet) && wt::MessageBoxText(hBox) == kAskRestart &&
                           wt::HasVisibleButton(hBox, IDYES) && wt::HasVisibleButton(hBox, IDNO),
                       "the restart is asked Yes or No after the sheet is gone");
        Answer(hBox, IDNO);
        WaitGone(hBox, "the restart question answered No");
    }

    const wt::CSimulator& m_simulator;
    HWND m_hPage = nullptr;
};

// Firmware for the Marlet in the simulator's transfer file format.
bool WriteFpgaFile(const std::wstring& strPath, DWORD nVersion) {
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        kKindFpga, 4, nVersion, tmsim::SampleTransferData(kKindFpga, nVersion, 300000));
    return wt::WriteWholeFile(strPath, abFile.data(), abFile.size());
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const wt::CSimulator& simulator = applet.m_simulator;
    simulator.m_pfnReset();
    checks.Check(simulator.Set("temperature.drift", "0") &&
                     simulator.Set("transfer.duration", "2500") &&
                     simulator.Set("transfer.fpga.version", std::to_string(kOldVersion).c_str()) &&
                     simulator.Set("transfer.fpga.restart", "yes") &&
                     simulator.Set("transfer.fpga.power_cycle", "no"),
                 "simulator set up: a Marlet, a transfer of 2.5 s that needs a restart");

    // A folder of the prefix, as a user keeps firmware files.
    const std::wstring strDir = L"C:\\Firmware", strNew = strDir + L"\\MRL_108.pci",
                       strOlder = strDir + L"\\MRL_107.pci";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    if (!checks.Check(WriteFpgaFile(strNew, kNewVersion) && WriteFpgaFile(strOlder, kOldVersion),
                      "firmware files written in C:\\Firmware"))
        return checks.Finish();
    wt::CHostWindow host;
    applet.m_pfnApplet(host.Get(), CPL_INIT, 0, 0);
    LONG nResult = wt::DoubleClickApplet(
        checks, applet.m_pfnApplet, host.Get(), [&](DWORD dwHostThread, HANDLE) {
            CRoadDriver(checks, simulator, dwHostThread).Run(strNew, strOlder);
        });
    checks.Check(nResult == 1, "CPL_DBLCLK returns 1 (saw %ld)", static_cast<long>(nResult));
    applet.m_pfnApplet(host.Get(), CPL_EXIT, 0, 0);

    ::DeleteFileW(strNew.c_str());
    ::DeleteFileW(strOlder.c_str());
    // The file dialog made the folder the current directory.
    wchar_t szSystem[MAX_PATH] = L"";
    if (::GetSystemDirectoryW(szSystem, MAX_PATH)) ::SetCurrentDirectoryW(szSystem);
    ::RemoveDirectoryW(strDir.c_str());
    return checks.Finish();
}
