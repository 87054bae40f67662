// transfer_shot PATH.bmp: a picture of the transfer dialog writing new
// firmware (BIOS on a device without FPGA) one version newer than the
// simulator's device holds, as the Versions page's "Update..." runs it; the
// simulator holds the transfer at the write step for the picture. Prints one
// line per check and "N passed, M failed" last.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "device/TmIvro.h"
#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "tests/wine/WineTest.h"
#include "transfer/TransferDlg.h"
#include "transfer/TransferKinds.h"

namespace {

const DWORD kWaitMs = 20000;
const wchar_t kWriting[] = L"Daten auf Ger\u00E4t schreiben... NICHT ABBRECHEN!";
const wchar_t kFolder[] = L"C:\\Firmware";

long long Number(const wt::CSimulator& simulator, const std::string& strKey) {
    return std::strtoll(simulator.Get(strKey.c_str()).c_str(), nullptr, 10);
}

// What the user would download: FPGA firmware (BIOS on a device without FPGA)
// newer than the device's, within what the device accepts. Returns its path.
std::wstring WriteDemoFile(const wt::CSimulator& simulator, DWORD nDeviceType, DWORD& nKind,
                           DWORD& nVersion) {
    bool bFpga = simulator.Get("parts.fpga") == "yes";
    nKind = bFpga ? TK_FPGA : TK_BIOS;
    std::string strKey = std::string("transfer.") + (bFpga ? "fpga" : "bios");
    long long nWanted = Number(simulator, strKey + ".version") + 1;
    nWanted = std::min(nWanted, Number(simulator, strKey + ".max_version"));
    nVersion = static_cast<DWORD>(std::max(nWanted, Number(simulator, strKey + ".min_version")));
    const wchar_t* pszFamily = nDeviceType == 4 ? L"MRL" : nDeviceType == 5 ? L"FRW" : L"FPGA";
    std::wstring strPath = std::wstring(kFolder) + L"\\" + (bFpga ? pszFamily : L"BIOS") + L"_" +
                           std::to_wstring(nVersion) + (bFpga ? L".pci" : L".rom");
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        nKind, nDeviceType, nVersion, tmsim::SampleTransferData(nKind, nVersion, 300000));
    return wt::WriteWholeFile(strPath, abFile.data(), abFile.size()) ? strPath : L"";
}

// After the picture: lets the transfer end and closes whatever it shows.
bool CloseTransfer(HWND hDlg, DWORD dwHost) {
    return wt::WaitFor(kWaitMs, [&] {
        if (!::IsWindow(hDlg)) return true;
        if (HWND hBox = wt::FindDialogIf(dwHost, [&](HWND hWnd) { return hWnd != hDlg; }))
            ::PostMessageW(hBox, WM_COMMAND, ::GetDlgItem(hBox, IDOK) ? IDOK : IDNO, 0);
        HWND hButton = ::GetDlgItem(hDlg, IDC_TRANSFER_BUTTON);
        if (::IsWindowEnabled(hButton) && wt::WindowText(hButton) == L"Schlie\u00DFen")
            ::PostMessageW(hDlg, WM_COMMAND, IDC_TRANSFER_BUTTON, 0);
        return false;
    });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    wt::CChecks checks;
    if (argc != 2) {
        std::fprintf(stderr, "usage: transfer_shot PATH.bmp\n");
        return 2;
    }
    const std::wstring strShot = argv[1];
    AfxSetResourceHandle(::GetModuleHandleW(nullptr));
    wt::CSimulator simulator;
    DWORD nDeviceType = 0;
    if (!checks.Check(simulator.Bind() && IvroGetDeviceType(&nDeviceType),
                      "the simulator's control functions and its device (last error %lu)",
                      ::GetLastError()))
        return checks.Finish();
    ::CreateDirectoryW(kFolder, nullptr);
    DWORD nKind = 0, nVersion = 0;
    const std::wstring strPath = WriteDemoFile(simulator, nDeviceType, nKind, nVersion);
    if (!checks.Check(!strPath.empty(), "device type %lu: %s version %lu in %s",
                      static_cast<unsigned long>(nDeviceType), nKind == TK_FPGA ? "FPGA" : "BIOS",
                      static_cast<unsigned long>(nVersion), wt::Utf8(strPath).c_str()))
        return checks.Finish();
    checks.Check(
        simulator.Set("transfer.hold_step", "5") && simulator.Set("transfer.duration", "2500"),
        "the transfer will pause at the write (step 5)");

    CTransferDlg dialog;
    dialog.m_bDownload = TRUE;
    dialog.m_nKind = nKind;
    wcsncpy(dialog.m_szPath, strPath.c_str(), CTransferDlg::kMaxPathChars);
    std::thread driver([&, dwHost = ::GetCurrentThreadId()] {
        HWND hDlg = nullptr;
        bool bWriting = wt::WaitFor(kWaitMs, [&] {
            hDlg = wt::FindDialogIf(dwHost, wt::IsTransferDialog);
            return hDlg && wt::ControlText(hDlg, IDC_TRANSFER_STEP) == kWriting;
        });
        if (checks.Check(bWriting, "the transfer dialog writes the device")) {
            // The remaining time follows on the dialog's next tick.
            wt::WaitFor(5000, [&] {
                return wt::ControlText(hDlg, IDC_TRANSFER_TIME).find(L"Verbleibende Zeit: ") == 0;
            });
            wt::ShowForShot(hDlg);
            checks.Check(wt::SaveWindowBitmap(hDlg, strShot), "screenshot %s",
                         wt::Utf8(strShot).c_str());
        }
        simulator.Set("transfer.hold_step", "0");
        if (!checks.Check(hDlg && CloseTransfer(hDlg, dwHost), "the transfer dialog closes")) {
            wt::DumpWindows(checks, dwHost);
            std::_Exit(checks.Finish());
        }
    });
    dialog.DoModal();
    driver.join();
    ::DeleteFileW(strPath.c_str());
    ::RemoveDirectoryW(kFolder);
    return checks.Finish();
}
