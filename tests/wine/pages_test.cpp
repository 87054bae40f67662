// The Keys page of the real TmRoveVodore.cpl under Wine, on the simulator's
// Marlet: the main thread plays the Control Panel host (CPL_DBLCLK), a
// driver thread works the real windows. What only the real sheet and timers
// show: no Help button, and the key matrix dialog following the keys the
// simulator presses, with key codes off only while it is open.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <string>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;

bool IsMatrixDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_MATRIX_FIRST) && ::GetDlgItem(hWnd, IDC_MATRIX_LOW);
}

class CPagesDriver : private wt::CHostDriver {
public:
    CPagesDriver(wt::CChecks& checks, const wt::CSimulator& simulator, DWORD dwHostThread)
        : CHostDriver(checks, dwHostThread, kWaitMs), m_sim(simulator) {}

    void Run(HANDLE hDblClkDone) {
        m_hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (m_checks.Check(m_hSheet != nullptr, "the sheet opens")) {
            CheckKeyMatrix();
            ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            m_checks.Check(::WaitForSingleObject(hDblClkDone, kWaitMs) == WAIT_OBJECT_0,
                           "Cancel closes the sheet");
        }
        CloseEverything(hDblClkDone);
    }

private:
    HWND ActivatePage(const wchar_t* pszTitle) {
        HWND hPage = wt::SelectTab(m_hSheet, wt::TabIndex(m_hSheet, pszTitle), kWaitMs);
        bool bShown =
            hPage && wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hPage) == pszTitle; });
        m_checks.Check(bShown, "page \"%s\" is shown", wt::Utf8(pszTitle).c_str());
        return bShown ? hPage : nullptr;
    }

    bool WaitText(HWND hDlg, int nId, const wchar_t* pszText, const char* pszWhat) {
        std::wstring strSeen;
        bool bShown = wt::WaitFor(kWaitMs, [&] {
            strSeen = wt::ControlText(hDlg, nId);
            return strSeen == pszText;
        });
        return m_checks.Check(bShown, "%s shows \"%s\" (saw \"%s\")", pszWhat,
                              wt::OneLine(pszText).c_str(), wt::OneLine(strSeen).c_str());
    }

    void CheckKeyMatrix() {
        if (!(m_hPage = ActivatePage(L"Tasten"))) return;
        // A page asking for help would bring back the sheet's Help button.
        HWND hHelp = ::GetDlgItem(m_hSheet, IDHELP);
        m_checks.Check(!hHelp || !::IsWindowVisible(hHelp), "the sheet has no Help button");
        Click(m_hPage, IDC_KEY_SHOW);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "\"Zeigen...\": the question");
        if (!hBox) return;
        Answer(hBox, IDOK);
        HWND hDlg = WaitDialog(IsMatrixDialog, "the key matrix dialog");
        if (!hDlg) return;
        m_checks.Check(m_sim.Get("keys.codes_enabled") == "0",
                       "key codes are off while the matrix is open");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"", "no key pressed: the first-key field");
        // Keys 21 and 99 pressed, then 21 released.
        m_sim.Set("keys.matrix", "00 00 20 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"2.5 (21)", "a pressed key: the first-key field");
        m_sim.Set("keys.matrix", "00 00 00 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"12.3 (99)", "key 21 released: the first-key field");
        Answer(hDlg, IDOK);
        if (!WaitGone(hDlg, "the key matrix dialog")) return;
        bool bOn = wt::WaitFor(kWaitMs, [&] { return m_sim.Get("keys.codes_enabled") == "1"; });
        m_checks.Check(bOn, "key codes are on again after OK");
    }

    const wt::CSimulator& m_sim;
    HWND m_hSheet = nullptr;
    HWND m_hPage = nullptr;
};

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const wt::CSimulator& sim = applet.m_simulator;
    // No key demo: the test presses the keys.
    bool bSet = sim.Set("temperature.drift", "0") && sim.Set("keys.demo_interval", "0") &&
                sim.Set("keys.codes_enabled", "1") && sim.Set("keys.config_valid", "1");
    if (!checks.Check(bSet, "simulator set up")) return checks.Finish();

    wt::CHostWindow host;
    applet.m_pfnApplet(host.Get(), CPL_INIT, 0, 0);
    wt::DoubleClickApplet(checks, applet.m_pfnApplet, host.Get(),
                          [&](DWORD dwHostThread, HANDLE hDone) {
                              CPagesDriver(checks, sim, dwHostThread).Run(hDone);
                          });
    applet.m_pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return checks.Finish();
}
