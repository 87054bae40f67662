// End-to-end test of the transfer dialog under Wine: this program links the
// applet's own code and runs CTransferDlg on its main thread, as a page's
// button would, against the simulator TmIvro.dll; a driver thread works the
// real windows: the dialog, the worker's older-version question and the
// failure message.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "applet/CplApp.h"
#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "simulator/TmIvroSim.h"
#include "tests/wine/WineTest.h"
#include "transfer/TransferDlg.h"
#include "transfer/TransferKinds.h"

namespace {

const DWORD kWaitMs = 20000;

using wt::CSimulator;

std::wstring TempPath(const wchar_t* pszName) {
    wchar_t szDir[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, szDir);
    return std::wstring(szDir) + pszName;
}

bool WriteFpgaFile(const std::wstring& strPath, DWORD dwVersion, bool bDamaged) {
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        TK_FPGA, 4, dwVersion, tmsim::SampleTransferData(TK_FPGA, dwVersion, 200000));
    if (bDamaged) abFile.back() ^= 0x5A;
    wt::CFile file(strPath);
    return file.IsOpen() && file.Write(abFile.data(), static_cast<DWORD>(abFile.size()));
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

void Press(HWND hDlg, int nId) {
    ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nId)));
}

INT_PTR RunDialog(const std::wstring& strPath, const std::function<void(DWORD)>& driver) {
    CTransferDlg dialog;
    dialog.m_bDownload = TRUE;
    dialog.m_nKind = TK_FPGA;
    wcsncpy(dialog.m_szPath, strPath.c_str(), CTransferDlg::kMaxPathChars);
    std::thread thread(driver, ::GetCurrentThreadId());
    INT_PTR nResult = dialog.DoModal();
    thread.join();
    return nResult;
}

void RunDownload(wt::CChecks& checks, const CSimulator& simulator) {
    std::wstring strPath = TempPath(L"tm_transfer_fpga.pci");
    checks.Check(WriteFpgaFile(strPath, 108, false), "download: transfer file written");
    simulator.m_pfnSet("transfer.duration", "2500");
    INT_PTR nResult = RunDialog(strPath, [&](DWORD dwHost) {
        HWND hDlg = nullptr;
        if (!checks.Check(
                wt::WaitFor(kWaitMs, [&] { return (hDlg = wt::FindTransferDialog(dwHost)); }),
                "download: the transfer dialog opens")) {
            wt::DumpWindows(checks, 0);
            return;
        }
        std::wstring strShownPath = wt::ControlText(hDlg, IDC_TRANSFER_PATH);
        checks.Check(strShownPath.find(L"tm_transfer_fpga.pci") != std::wstring::npos,
                     "download: the file is shown (saw \"%s\")", wt::Utf8(strShownPath).c_str());
        bool bRunning = wt::WaitFor(kWaitMs, [&] {
            std::wstring strTitle = wt::WindowText(hDlg);
            return strTitle.find(L"% - Download") != std::wstring::npos;
        });
        checks.Check(bRunning, "download: the title shows the percent (saw \"%s\")",
                     wt::Utf8(wt::WindowText(hDlg)).c_str());
        bool bWriting = wt::WaitFor(kWaitMs, [&] {
            return wt::ControlText(hDlg, IDC_TRANSFER_STEP) ==
                       L"Daten auf Ger\u00E4t schreiben... NICHT ABBRECHEN!" &&
                   !::IsWindowEnabled(::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON));
        });
        checks.Check(bWriting, "download: \"Abbrechen\" is disabled while the device is written");
        // TM_TRANSFER_SHOT=path.bmp: a picture of the write phase.
        wchar_t szShot[MAX_PATH] = L"";
        if (bWriting && ::GetEnvironmentVariableW(L"TM_TRANSFER_SHOT", szShot, MAX_PATH)) {
            wt::ShowForShot(hDlg);
            checks.Check(wt::SaveWindowBitmap(hDlg, szShot), "download: screenshot %s",
                         wt::Utf8(szShot).c_str());
        }
        bool bDone =
            wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hDlg) == L"Download beendet"; });
        checks.Check(bDone, "download: finished (title \"%s\")",
                     wt::Utf8(wt::WindowText(hDlg)).c_str());
        std::wstring strTime = wt::ControlText(hDlg, IDC_TRANSFER_TIME);
        checks.Check(strTime.find(L"Ben\u00F6tigte Zeit:") == 0,
                     "download: time needed shown (\"%s\")", wt::Utf8(strTime).c_str());
        std::wstring strInfo = wt::ControlText(hDlg, IDC_TRANSFER_INFO);
        checks.Check(strInfo.find(L"neu starten") != std::wstring::npos,
                     "download: the restart text is shown (\"%s\")", wt::Utf8(strInfo).c_str());
        checks.Check(wt::ControlText(hDlg, IDC_TRANSFER_BUTTON) == L"Schlie\u00DFen",
                     "download: the button says \"Schlie\u00DFen\"");
        Press(hDlg, IDC_TRANSFER_BUTTON);
    });
    checks.Check(nResult == IDOK, "download: the dialog ends with IDOK (saw %d)",
                 static_cast<int>(nResult));
    checks.Check(GetCplApp().m_bRestartRequired != FALSE, "download: the restart flag is set");
    checks.Check(simulator.Get("transfer.fpga.version") == "108",
                 "download: the device holds version 108 (saw %s)",
                 simulator.Get("transfer.fpga.version").c_str());
    ::DeleteFileW(strPath.c_str());
}

// An older file: the worker asks; the user presses "Abbrechen" first, then
// answers. The cancel's wait must keep the question working.
void RunOlderVersionWhileCancelling(wt::CChecks& checks, const CSimulator& simulator) {
    std::wstring strPath = TempPath(L"tm_transfer_older.pci");
    WriteFpgaFile(strPath, 101, false);
    simulator.m_pfnSet("transfer.duration", "0");
    INT_PTR nResult = RunDialog(strPath, [&](DWORD dwHost) {
        HWND hDlg = nullptr, hBox = nullptr;
        wt::WaitFor(kWaitMs, [&] { return (hDlg = wt::FindTransferDialog(dwHost)); });
        bool bAsked = hDlg && wt::WaitFor(kWaitMs, [&] { return (hBox = FindOwnedBox(hDlg)); });
        if (!checks.Check(bAsked, "older version: the question is owned by the transfer dialog")) {
            wt::DumpWindows(checks, 0);
            return;
        }
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        checks.Check(strText.find(L"\u00E4lteren Version") != std::wstring::npos,
                     "older version: question text (\"%s\")", wt::Utf8(strText).c_str());
        checks.Check(wt::WindowText(hBox) == L"Control Center (Marlet)",
                     "older version: caption is the applet's name");
        Press(hDlg, IDC_TRANSFER_BUTTON);
        ::Sleep(500);
        checks.Check(::IsWindow(hBox) != FALSE, "older version: still asked while cancelling");
        Press(hBox, IDYES);
        checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hDlg); }),
                     "older version: the dialog closes after the answer");
    });
    checks.Check(nResult == IDCANCEL, "older version: cancelled, IDCANCEL (saw %d)",
                 static_cast<int>(nResult));
    checks.Check(simulator.Get("transfer.fpga.version") == "108",
                 "older version: the device keeps version 108");
    ::DeleteFileW(strPath.c_str());
}

void RunDamagedFile(wt::CChecks& checks) {
    std::wstring strPath = TempPath(L"tm_transfer_damaged.pci");
    WriteFpgaFile(strPath, 109, true);
    INT_PTR nResult = RunDialog(strPath, [&](DWORD dwHost) {
        HWND hDlg = nullptr, hBox = nullptr;
        wt::WaitFor(kWaitMs, [&] { return (hDlg = wt::FindTransferDialog(dwHost)); });
        bool bShown = hDlg && wt::WaitFor(kWaitMs, [&] { return (hBox = FindOwnedBox(hDlg)); });
        if (!checks.Check(bShown, "damaged file: a message box")) {
            wt::DumpWindows(checks, 0);
            return;
        }
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        checks.Check(strText ==
                         L"Die Datei hat eine ung\u00FCltige Pr\u00FCfsumme. M\u00F6glicherweise "
                         L"wurde die Datei besch\u00E4digt.",
                     "damaged file: the checksum message alone (\"%s\")",
                     wt::Utf8(strText).c_str());
        checks.Check(wt::WindowText(hDlg) == L"Download abgebrochen", "damaged file: title");
        Press(hBox, IDOK);
    });
    checks.Check(nResult == IDCANCEL, "damaged file: IDCANCEL (saw %d)", static_cast<int>(nResult));
    ::DeleteFileW(strPath.c_str());
}

// "Abbrechen", Esc, Enter and the close box while the written device is
// compared, reloaded and the file closed: all refused, and the download ends
// finished, with the restart text, the restart flag and IDOK.
void RunCancelAfterTheWrite(wt::CChecks& checks, const CSimulator& simulator) {
    std::wstring strPath = TempPath(L"tm_transfer_after_write.pci");
    WriteFpgaFile(strPath, 109, false);
    simulator.m_pfnSet("transfer.duration", "0");
    simulator.m_pfnSet("transfer.fpga.restart", "yes");
    simulator.m_pfnSet("transfer.fpga.power_cycle", "no");
    simulator.m_pfnClearCallLog();
    GetCplApp().m_bRestartRequired = FALSE;
    // Held after each report of this step until the driver moves it on.
    simulator.m_pfnSet("transfer.hold_step", "6");
    INT_PTR nResult = RunDialog(strPath, [&](DWORD dwHost) {
        HWND hDlg = nullptr;
        wt::WaitFor(kWaitMs, [&] { return (hDlg = wt::FindTransferDialog(dwHost)); });
        const struct {
            const char* pszStep;
            const wchar_t* pszText;
        } steps[] = {{"6", L"Daten vergleichen..."},
                     {"7", L"Daten nachladen..."},
                     {"8", L"Datei schlie\u00DFen..."}};
        for (const auto& step : steps) {
            if (!hDlg) break;
            simulator.m_pfnSet("transfer.hold_step", step.pszStep);
            bool bShown = wt::WaitFor(
                kWaitMs, [&] { return wt::ControlText(hDlg, IDC_TRANSFER_STEP) == step.pszText; });
            if (!checks.Check(bShown, "after the write: step %s shown", step.pszStep)) {
                wt::DumpWindows(checks, 0);
                break;
            }
            // A tick after the step text: the button's state is current.
            ::Sleep(700);
            checks.Check(!::IsWindowEnabled(::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON)),
                         "after the write: \"Abbrechen\" is disabled at step %s", step.pszStep);
            Press(hDlg, IDC_TRANSFER_BUTTON);
            Press(hDlg, IDCANCEL);
            Press(hDlg, IDOK);
            ::PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
            ::Sleep(700);
            checks.Check(::IsWindow(hDlg) && !FindOwnedBox(hDlg) &&
                             wt::WindowText(hDlg).find(L"% - Download") != std::wstring::npos,
                         "after the write: button, Esc, Enter and close box refused at step %s "
                         "(title \"%s\")",
                         step.pszStep, wt::Utf8(wt::WindowText(hDlg)).c_str());
        }
        simulator.m_pfnSet("transfer.hold_step", "0");
        bool bDone = hDlg && wt::WaitFor(kWaitMs, [&] {
                         return wt::WindowText(hDlg) == L"Download beendet";
                     });
        checks.Check(bDone, "after the write: the download finishes");
        std::wstring strInfo = wt::ControlText(hDlg, IDC_TRANSFER_INFO);
        checks.Check(strInfo.find(L"neu starten") != std::wstring::npos,
                     "after the write: the restart text is shown (\"%s\")",
                     wt::Utf8(strInfo).c_str());
        if (bDone) {
            Press(hDlg, IDC_TRANSFER_BUTTON);
        } else if (HWND hBox = hDlg ? FindOwnedBox(hDlg) : nullptr) {
            wt::DumpWindows(checks, 0);
            Press(hBox, IDOK);  // so that the program ends
        }
    });
    checks.Check(nResult == IDOK, "after the write: IDOK (saw %d)", static_cast<int>(nResult));
    checks.Check(GetCplApp().m_bRestartRequired != FALSE, "after the write: the restart flag");
    checks.Check(simulator.Get("transfer.fpga.version") == "109",
                 "after the write: the device holds version 109 (saw %s)",
                 simulator.Get("transfer.fpga.version").c_str());
    // The library's own record of the call: it ran to its end.
    std::string strLog = simulator.CallLog(), strDownload;
    size_t nAt = strLog.find("IvroDownloadFile ");
    if (nAt != std::string::npos) strDownload = strLog.substr(nAt, strLog.find('\n', nAt) - nAt);
    while (!strDownload.empty() && strDownload.back() == '\r') strDownload.pop_back();
    const std::string strSucceeded = "-> 1 error=0";
    checks.Check(strDownload.size() > strSucceeded.size() &&
                     strDownload.compare(strDownload.size() - strSucceeded.size(),
                                         strSucceeded.size(), strSucceeded) == 0,
                 "after the write: the library was never stopped (\"%s\")", strDownload.c_str());
    ::DeleteFileW(strPath.c_str());
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    AfxSetResourceHandle(::GetModuleHandleW(nullptr));
    GetCplApp().SetAppName(L"Control Center (Marlet)");
    CSimulator simulator;
    if (!checks.Check(simulator.Bind(), "the simulator's control functions are there"))
        return checks.Finish();
    simulator.m_pfnReset();
    simulator.m_pfnSet("temperature.drift", "0");
    RunDownload(checks, simulator);
    RunOlderVersionWhileCancelling(checks, simulator);
    RunDamagedFile(checks);
    RunCancelAfterTheWrite(checks, simulator);
    return checks.Finish();
}
