// The LEDs and Keys pages of the real TmRoveVodore.cpl under Wine, on the
// simulator's Marlet: the main thread plays the Control Panel host
// (CPL_DBLCLK), a driver thread works the real windows. What only real
// controls show: the LEDs page follows its edit fields' and radio buttons'
// own notifications and the data exchange's range prompt; "Zeigen..." asks
// in a real message box, and the key matrix dialog follows the keys the
// simulator presses on its own timer, with key codes off only while it is
// open; Cancel puts back the LED layers and the key layer.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <string>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;
const int kLedButtons[] = {IDC_LED_OFF, IDC_LED_SLOW, IDC_LED_FAST, IDC_LED_ON};
const wchar_t kAskMatrix[] =
    L"W\u00E4hrend der Anzeige der Tastenmatrix werden die Tasten nicht von Windows behandelt.";

// The matrix of a layer from its first two bytes.
std::string LedMatrix(const char* pszFirst) {
    std::string strMatrix = pszFirst;
    for (int i = 2; i < 32; ++i) strMatrix += " 00";
    return strMatrix;
}

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
            CheckLeds();
            CheckKeyMatrix();
            m_sim.m_pfnClearCallLog();
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

    bool LogHas(const std::string& strLine) const {
        return m_sim.CallLog().find(strLine) != std::string::npos;
    }

    // The radio button that shows the state, -1 for none.
    int ShownLedState() const {
        for (int i = 0; i < 4; ++i)
            if (::IsDlgButtonChecked(m_hPage, kLedButtons[i]) == BST_CHECKED) return i;
        return -1;
    }

    void SetText(int nId, const wchar_t* pszText) const {
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(::GetDlgItem(m_hPage, nId), WM_SETTEXT, 0,
                              reinterpret_cast<LPARAM>(pszText), SMTO_ABORTIFHUNG, 5000, &nResult);
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

    void CheckLeds() {
        if (!(m_hPage = ActivatePage(L"LEDs"))) return;
        // LED 5 of layer 2 is device layer 1's, blinking fast.
        SetText(IDC_LED_NUMBER, L"5");
        SetText(IDC_LED_LAYER, L"2");
        m_checks.Check(ShownLedState() == 2, "typing LED 5 of layer 2 shows its state 2 (saw %d)",
                       ShownLedState());
        Click(m_hPage, IDC_LED_ON);
        bool bSwitched = wt::WaitFor(kWaitMs, [&] {
            return LogHas("IvroSetLedState layer=1 led=5 state=3 -> 1") && ShownLedState() == 3;
        });
        m_checks.Check(bSwitched, "a click switches the LED on and shows it");

        // Layer 9 with the layer change: the range prompt, and the clicked
        // button goes back to no state.
        Click(m_hPage, IDC_LED_AUTO_LAYER);
        SetText(IDC_LED_LAYER, L"9");
        Click(m_hPage, IDC_LED_FAST);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "layer 9: the range prompt");
        if (!hBox) return;
        std::wstring strText = wt::MessageBoxText(hBox);
        m_checks.Check(strText == L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.",
                       "layer 9 gets the range prompt (saw \"%s\")", wt::Utf8(strText).c_str());
        Answer(hBox, IDOK);
        if (!WaitGone(hBox, "the range prompt")) return;
        m_checks.Check(wt::WaitFor(kWaitMs, [&] { return ShownLedState() == -1; }),
                       "no state is shown for layer 9 (saw %d)", ShownLedState());

        // All LEDs: the layer change sends the last layer that passed.
        m_sim.m_pfnClearCallLog();
        Click(m_hPage, IDC_LED_ALL);
        Click(m_hPage, IDC_LED_ON);
        bool bAll = wt::WaitFor(kWaitMs, [&] { return LogHas("IvroSetAllLeds state=3 -> 1"); });
        m_checks.Check(bAll && LogHas("IvroSetKeyLayer layer=1 -> 1"),
                       "all LEDs on after the layer change to device layer 1 (log: %s)",
                       m_sim.CallLog().c_str());
        Click(m_hPage, IDC_LED_ALL);
        SetText(IDC_LED_LAYER, L"2");
    }

    void CheckKeyMatrix() {
        if (!(m_hPage = ActivatePage(L"Tasten"))) return;
        // A page asking for help would bring back the sheet's Help button.
        HWND hHelp = ::GetDlgItem(m_hSheet, IDHELP);
        m_checks.Check(!hHelp || !::IsWindowVisible(hHelp), "the sheet has no Help button");
        m_sim.m_pfnClearCallLog();
        Click(m_hPage, IDC_KEY_SHOW);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "\"Zeigen...\": the question");
        if (!hBox) return;
        m_checks.Check(wt::MessageBoxText(hBox) == kAskMatrix && ::GetDlgItem(hBox, IDOK) &&
                           ::GetDlgItem(hBox, IDCANCEL),
                       "the question asks with OK and Cancel");
        Answer(hBox, IDOK);
        HWND hDlg = WaitDialog(IsMatrixDialog, "the key matrix dialog");
        if (!hDlg) return;
        m_checks.Check(m_sim.Get("keys.codes_enabled") == "0",
                       "key codes are off while the matrix is open");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"", "no key pressed: the first-key field");
        // Keys 21 and 99 pressed, then 21 released.
        m_sim.Set("keys.matrix", "00 00 20 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"2.5 (21)", "a pressed key: the first-key field");
        WaitText(hDlg, IDC_MATRIX_LOW,
                 L"0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 1 0 0 0 0 0\n0 0 0 0 0 0 0 0\n"
                 L"0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n",
                 "bytes 0 to 7");
        m_sim.Set("keys.matrix", "00 00 00 00 00 00 00 00 00 00 00 00 08 00 00 00");
        WaitText(hDlg, IDC_MATRIX_FIRST, L"12.3 (99)", "key 21 released: the first-key field");
        m_checks.Check(!LogHas("IvroSetKeyCodesEnabled enable=1"),
                       "key codes stay off while the matrix is open");
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
    // Layer 1 shown (device 0), LED 5 of layer 2 blinking fast, no key demo.
    const std::string strMatrix1 = LedMatrix("00 08");
    bool bSet = sim.Set("temperature.drift", "0") && sim.Set("keys.demo_interval", "0") &&
                sim.Set("leds.count", "32") && sim.Set("keys.layer", "0") &&
                sim.Set("keys.codes_enabled", "1") && sim.Set("keys.config_valid", "1") &&
                sim.Set("leds.matrix.1", strMatrix1.c_str());
    if (!checks.Check(bSet, "simulator set up")) return checks.Finish();
    const std::string strMatrix0 = sim.Get("leds.matrix.0");

    wt::CHostWindow host;
    applet.m_pfnApplet(host.Get(), CPL_INIT, 0, 0);
    wt::DoubleClickApplet(checks, applet.m_pfnApplet, host.Get(),
                          [&](DWORD dwHostThread, HANDLE hDone) {
                              CPagesDriver(checks, sim, dwHostThread).Run(hDone);
                          });
    applet.m_pfnApplet(host.Get(), CPL_EXIT, 0, 0);

    std::string strLog = sim.CallLog();
    int nRestores = 0;
    for (size_t at = strLog.find("IvroSetLedMatrix layer="); at != std::string::npos;
         at = strLog.find("IvroSetLedMatrix layer=", at + 1))
        ++nRestores;
    checks.Check(nRestores == 4 && sim.Get("leds.matrix.0") == strMatrix0 &&
                     sim.Get("leds.matrix.1") == strMatrix1,
                 "Cancel writes back all four LED layers as they were (saw %d)", nRestores);
    checks.Check(sim.Get("keys.layer") == "0" &&
                     strLog.find("IvroSetKeyLayer layer=0 -> 1") != std::string::npos,
                 "Cancel puts back the key layer 0 (saw %s)", sim.Get("keys.layer").c_str());
    return checks.Finish();
}
