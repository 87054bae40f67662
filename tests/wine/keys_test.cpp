// The Keys page under Wine, against the real TmRoveVodore.cpl and the
// simulator: the main thread is the Control Panel host inside CPL_DBLCLK, a
// driver thread works the real windows and reads the simulator's call log:
// layer and status, a layer set with "Übernehmen", the key matrix with keys
// the simulator presses, key codes off while it is open, and a key
// configuration file downloaded through the transfer dialog. The page's
// first layer read times out, its timer reads the layer: Cancel puts that
// layer back. TM_KEYS_SHOT=path.bmp saves a picture of the matrix.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <dlgs.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;
const wchar_t kAskMatrix[] =
    L"W\u00E4hrend der Anzeige der Tastenmatrix werden die Tasten nicht von Windows behandelt.";
const DWORD kKindKcf = 0;
const DWORD kNewKcfVersion = 211;

// Layer 2 shown (device 1), a valid configuration, key codes delivered, no
// key demo (the test presses the keys), instant transfers, and a first layer
// read that times out.
const char kProfile[] =
    "[device]\ntype = 4\n[temperature]\ndrift = 0\n[transfer]\nduration = 0\n"
    "[keys]\nlayer = 1\nconfig_valid = 1\ncodes_enabled = 1\ndemo_interval = 0\n"
    "matrix = 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
    "[faults]\nIvroGetKeyLayer = 121 times 1\n";

using wt::CChecks;
using wt::CSimulator;

// A text for the one-line check output: line feeds shown as \n.
std::string OneLine(const std::wstring& strText) {
    std::string strOut;
    for (char ch : wt::Utf8(strText))
        strOut += ch == '\n' ? std::string("\\n") : std::string(1, ch);
    return strOut;
}

bool IsMatrixDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_MATRIX_FIRST) && ::GetDlgItem(hWnd, IDC_MATRIX_LOW);
}

class CKeysDriver : private wt::CHostDriver {
public:
    CKeysDriver(CChecks& checks, const CSimulator& simulator, DWORD dwHostThread,
                std::wstring strKcfPath)
        : CHostDriver(checks, dwHostThread, kWaitMs),
          m_simulator(simulator),
          m_strKcfPath(std::move(strKcfPath)) {}

    void Run() {
        if (!OpenKeysPage()) return;
        SetLayer();
        ShowMatrix();
        DownloadKcf();
        m_simulator.m_pfnClearCallLog();
        ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        m_checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(m_hSheet); }),
                       "Cancel closes the sheet");
        m_checks.Check(
            LogHas("IvroSetKeyLayer layer=1 -> 1") && m_simulator.Get("keys.layer") == "1",
            "Cancel sets the first layer read again (device 1; log: %s)",
            m_simulator.CallLog().c_str());
    }

private:
    bool LogHas(const char* pszLine) const {
        return m_simulator.CallLog().find(pszLine) != std::string::npos;
    }

    bool WaitText(HWND hDlg, int nId, const std::wstring& strText, const char* pszWhat) {
        std::wstring strSeen;
        bool bShown = wt::WaitFor(kWaitMs, [&] {
            strSeen = wt::ControlText(hDlg, nId);
            return strSeen == strText;
        });
        return m_checks.Check(bShown, "%s shows \"%s\" (saw \"%s\")", pszWhat,
                              OneLine(strText).c_str(), OneLine(strSeen).c_str());
    }

    bool OpenKeysPage() {
        m_hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(m_hSheet != nullptr, "the sheet opens")) return false;
        int nIndex = wt::TabIndex(m_hSheet, L"Tasten");
        if (!m_checks.Check(nIndex == 1, "the tab \"Tasten\" follows Display (tabs: %s)",
                            wt::JoinTitles(wt::TabTitles(m_hSheet)).c_str()))
            return false;
        m_hPage = wt::SelectTab(m_hSheet, nIndex);
        if (!m_checks.Check(m_hPage && ::GetDlgItem(m_hPage, IDC_KEY_SHOW),
                            "the Keys page is shown"))
            return false;
        HWND hHelp = ::GetDlgItem(m_hSheet, IDHELP);
        m_checks.Check(!hHelp || !::IsWindowVisible(hHelp), "the sheet has no Help button");
        // The activation's read timed out; the timer's read makes the input usable.
        WaitText(m_hPage, IDC_KEY_LAYER_CURRENT, L"2", "the current layer");
        m_checks.Check(LogHas("IvroGetKeyLayer -> 0 error=121"),
                       "the first layer read times out (log: %s)", m_simulator.CallLog().c_str());
        bool bUsable = wt::WaitFor(kWaitMs, [&] {
            return ::IsWindowEnabled(::GetDlgItem(m_hPage, IDC_KEY_LAYER)) &&
                   ::IsWindowEnabled(::GetDlgItem(m_hPage, IDC_KEY_APPLY));
        });
        m_checks.Check(bUsable, "the layer input and \"\u00DCbernehmen\" become usable");
        WaitText(m_hPage, IDC_KEY_STATUS, L"G\u00FCltig", "the status");
        m_checks.Check(::IsDlgButtonChecked(m_hPage, IDC_KEY_LOCK) == BST_UNCHECKED,
                       "key codes are not locked");
        return true;
    }

    void SetLayer() {
        m_simulator.m_pfnClearCallLog();
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(::GetDlgItem(m_hPage, IDC_KEY_LAYER), WM_SETTEXT, 0,
                              reinterpret_cast<LPARAM>(L"3"), SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(m_hPage, IDC_KEY_APPLY);
        bool bSet = wt::WaitFor(kWaitMs, [&] { return LogHas("IvroSetKeyLayer layer=2 -> 1"); });
        ULONGLONG nSet = ::GetTickCount64();
        m_checks.Check(bSet && m_simulator.Get("keys.layer") == "2",
                       "\"\u00DCbernehmen\" with 3 sets device layer 2");
        bool bShown = wt::WaitFor(
            kWaitMs, [&] { return wt::ControlText(m_hPage, IDC_KEY_LAYER_CURRENT) == L"3"; });
        m_checks.Check(bShown, "the current layer shows 3 after %llu ms (timer 250 ms)",
                       static_cast<unsigned long long>(::GetTickCount64() - nSet));
    }

    void ShowMatrix() {
        m_simulator.m_pfnClearCallLog();
        Click(m_hPage, IDC_KEY_SHOW);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "\"Zeigen...\": question 1066");
        if (!hBox) return;
        m_checks.Check(wt::ControlText(hBox, wt::kIdMessageText) == kAskMatrix &&
                           ::GetDlgItem(hBox, IDOK) && ::GetDlgItem(hBox, IDCANCEL),
                       "the question asks with OK and Cancel");
        ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hBox, IDOK)));
        HWND hDlg = WaitDialog(IsMatrixDialog, "the key matrix dialog");
        if (!hDlg) return;
        m_checks.Check(wt::WindowText(hDlg) == L"Tastenmatrix", "captioned \"Tastenmatrix\"");
        m_checks.Check(LogHas("IvroSetKeyCodesEnabled enable=0 -> 1") &&
                           m_simulator.Get("keys.codes_enabled") == "0",
                       "key codes are off while the matrix is open");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"", "no key pressed: the first-key field");

        // The device reports keys 21 and 100 pressed, then 21 released.
        m_simulator.Set("keys.matrix", "00 00 20 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"2.5 (21)", "a pressed key: the first-key field");
        WaitText(hDlg, IDC_MATRIX_LOW,
                 L"0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 1 0 0 0 0 0\n0 0 0 0 0 0 0 0\n"
                 L"0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n",
                 "bytes 0 to 7");
        wchar_t szShot[MAX_PATH] = L"";
        if (::GetEnvironmentVariableW(L"TM_KEYS_SHOT", szShot, MAX_PATH) > 0) {
            wt::ShowForShot(hDlg);
            m_checks.Check(wt::SaveWindowBitmap(hDlg, szShot), "screenshot %s",
                           wt::Utf8(szShot).c_str());
        }
        m_simulator.Set("keys.matrix", "00 00 00 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"12.3 (99)", "key 21 released: the first-key field");
        m_checks.Check(!LogHas("IvroSetKeyCodesEnabled enable=1"),
                       "key codes stay off while the matrix is open");

        ::PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        if (!WaitGone(hDlg, "the key matrix dialog")) return;
        bool bOn = wt::WaitFor(kWaitMs, [&] { return LogHas("IvroSetKeyCodesEnabled enable=1"); });
        m_checks.Check(bOn && m_simulator.Get("keys.codes_enabled") == "1",
                       "key codes are on again after OK");
    }

    void DownloadKcf() {
        m_simulator.m_pfnClearCallLog();
        Click(m_hPage, IDC_KEY_UPDATE);
        HWND hDlg = WaitDialog(wt::IsFileDialog, "\"Update...\": the Open dialog");
        if (!hDlg) return;
        HWND hEdit = wt::FileNameEdit(hDlg);
        if (!m_checks.Check(hEdit != nullptr, "the Open dialog has a file name field")) {
            ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_strKcfPath.c_str()),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(hDlg, IDOK);
        if (!WaitGone(hDlg, "the Open dialog")) return;
        HWND hTransfer = WaitDialog(wt::IsTransferDialog, "the transfer dialog");
        if (!hTransfer) return;
        bool bDone =
            wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hTransfer) == L"Download beendet"; });
        m_checks.Check(bDone, "the transfer dialog ends with \"Download beendet\" (title \"%s\")",
                       wt::Utf8(wt::WindowText(hTransfer)).c_str());
        Click(hTransfer, IDC_TRANSFER_BUTTON);
        WaitGone(hTransfer, "the transfer dialog");
        m_checks.Check(
            LogHas("IvroDownloadFile kind=0 ") &&
                m_simulator.Get("transfer.kcf.version") == std::to_string(kNewKcfVersion),
            "the key configuration file is in the simulator (version %s)",
            m_simulator.Get("transfer.kcf.version").c_str());
        m_checks.Check(wt::CurrentPage(m_hSheet) == m_hPage, "back on the Keys page");
    }

    const CSimulator& m_simulator;
    std::wstring m_strKcfPath;
    HWND m_hSheet = nullptr;
    HWND m_hPage = nullptr;
};

bool WriteKcfFile(const std::wstring& strPath) {
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        kKindKcf, 4, kNewKcfVersion, tmsim::SampleTransferData(kKindKcf, kNewKcfVersion, 4096));
    wt::CFile file(strPath);
    return file.IsOpen() && file.Write(abFile.data(), static_cast<DWORD>(abFile.size()));
}

}  // namespace

int wmain() {
    CChecks checks;
    wt::CLoadedApplet applet;
    const wt::PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;
    if (!checks.Check(pfnApplet != nullptr && applet.m_bBound, "the applet and the simulator load"))
        return checks.Finish();
    checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");

    std::wstring strDir = L"C:\\Tasten";
    ::CreateDirectoryW(strDir.c_str(), nullptr);
    std::wstring strKcf = strDir + L"\\layout.kcf";
    if (!checks.Check(WriteKcfFile(strKcf), "key configuration file written"))
        return checks.Finish();

    wt::CHostWindow host;
    pfnApplet(host.Get(), CPL_INIT, 0, 0);
    wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHostThread, HANDLE) {
        CKeysDriver driver(checks, simulator, dwHostThread, strKcf);
        driver.Run();
    });
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return checks.Finish();
}
