// A sample of the fault sweep on the real TmRoveVodore.cpl under Wine: one
// device operation fails with one error class while the driver thread visits
// the page that uses it, presses its button and closes the sheet with
// Cancel. Each combination must show what it promises on that page (status
// word, grey group, one device-error message with Wine's system text, the
// failure text in the report), show no other failure message, and end.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;
// A profile without drift, demo keys or slow transfers; contrast away from
// its factory value so that both arrows are usable.
const char kProfile[] =
    "[device]\ntype = 4\n[temperature]\ndrift = 0\n[keys]\ndemo_interval = 0\n"
    "[display]\ncontrast_factory = 60\n[transfer]\nduration = 0\n";

using wt::CChecks;
using wt::CSimulator;

// The applet's message boxes: a static text 0xFFFF and no file dialog.
bool IsMessageBox(HWND hWnd) {
    return ::GetDlgItem(hWnd, wt::kIdMessageText) != nullptr && !wt::IsFileDialog(hWnd);
}

bool IsReportView(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_REPORT_TEXT) != nullptr;
}

bool IsFirmwareDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_FW_STATUS) != nullptr;
}

bool IsMatrixDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_MATRIX_LOW) != nullptr;
}

// Wine's own text of an error code, as the applet shows it (121 as 1460).
std::wstring SystemText(DWORD dwError) {
    wchar_t szText[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     dwError == 121 ? 1460 : dwError, 0, szText, _countof(szText), nullptr);
    std::wstring strText = szText;
    while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r'))
        strText.pop_back();
    return strText;
}

class CFaultDriver;

// One combination: the fault, the page it shows on and what the driver
// does and checks there.
struct CCombination {
    const char* m_pszName;
    const char* m_pszOperation;
    const char* m_pszFault;  // profile syntax: "121", "120 item 14"
    DWORD m_dwCode;
    const wchar_t* m_pszPage;
    std::function<void(CFaultDriver&, HWND hPage)> m_fnOnPage;
    // What the call log after Cancel must (or must not) hold.
    const char* m_pszRestore;
    bool m_bRestoreExpected;
};

class CFaultDriver : private wt::CHostDriver {
public:
    CFaultDriver(CChecks& checks, const CSimulator& simulator, const CCombination& combination,
                 DWORD dwHostThread, HANDLE hDblClkDone)
        : CHostDriver(checks, dwHostThread, kWaitMs, combination.m_pszName),
          m_sim(simulator),
          m_combination(combination),
          m_pszName(combination.m_pszName),
          m_hDblClkDone(hDblClkDone) {}

    void Run() {
        m_hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (m_checks.Check(m_hSheet != nullptr, "%s: the sheet opens", m_pszName)) {
            HWND hPage = ActivatePage(m_combination.m_pszPage);
            // The page's timers run a few ticks.
            ::Sleep(1200);
            if (hPage) m_combination.m_fnOnPage(*this, hPage);
            NoMessage("while the page is shown");
            Cancel();
        }
        CloseEverything(m_hDblClkDone);
    }

    // ------------------------------------------------------------ checks

    void ExpectText(HWND hWnd, int nId, const std::wstring& strExpected, const char* pszWhat) {
        std::wstring strSeen;
        bool bShown = wt::WaitFor(5000, [&] {
            strSeen = wt::ControlText(hWnd, nId);
            return strSeen == strExpected;
        });
        m_checks.Check(bShown, "%s: %s shows \"%s\" (saw \"%s\")", m_pszName, pszWhat,
                       wt::OneLine(strExpected).c_str(), wt::OneLine(strSeen).c_str());
    }

    void ExpectGrey(HWND hWnd, int nId, const char* pszWhat) {
        m_checks.Check(::IsWindowEnabled(::GetDlgItem(hWnd, nId)) == FALSE, "%s: %s is grey",
                       m_pszName, pszWhat);
    }

    // Presses the button; exactly one message follows: the string's text, a
    // line break and Wine's text of the error. It is answered with OK.
    void ExpectDeviceError(HWND hPage, int nButton, const wchar_t* pszText) {
        Click(hPage, nButton);
        ExpectMessage(pszText);
    }

    void Press(HWND hPage, int nButton) { Click(hPage, nButton); }

    void ExpectNoCall(const char* pszCall) {
        m_checks.Check(m_sim.CallLog().find(pszCall) == std::string::npos, "%s: no call \"%s\"",
                       m_pszName, pszCall);
    }

    // "Zeigen..." asks first while key codes are delivered: OK.
    void AnswerMatrixQuestion() {
        HWND hBox = WaitDialog(IsMessageBox, "the key matrix question");
        if (!hBox) return;
        m_checks.Check(wt::MessageBoxText(hBox).find(L"Tastenmatrix") != std::wstring::npos,
                       "%s: the key matrix question (saw \"%s\")", m_pszName,
                       wt::OneLine(wt::MessageBoxText(hBox)).c_str());
        Answer(hBox, IDOK);
        WaitGone(hBox, "the key matrix question");
    }

    void ExpectMessage(const wchar_t* pszText) {
        HWND hBox = WaitDialog(IsMessageBox, "the device-error message");
        if (!hBox) return;
        std::wstring strText = wt::MessageBoxText(hBox);
        std::wstring strExpected =
            std::wstring(pszText) + L"\n" + SystemText(m_combination.m_dwCode);
        m_checks.Check(strText == strExpected, "%s: the message is \"%s\" (saw \"%s\")", m_pszName,
                       wt::OneLine(strExpected).c_str(), wt::OneLine(strText).c_str());
        Answer(hBox, IDOK);
        WaitGone(hBox, "the device-error message");
    }

    // No further message box within a second.
    void NoMessage(const char* pszWhen) {
        HWND hBox = nullptr;
        bool bShown = wt::WaitFor(1000, [&] { return (hBox = FindHostDialog(IsMessageBox)); });
        if (!m_checks.Check(!bShown, "%s: no further message %s", m_pszName, pszWhen)) {
            m_checks.Note("the message: \"%s\"", wt::OneLine(wt::MessageBoxText(hBox)).c_str());
            Answer(hBox, IDOK);
        }
    }

    // A dialog the button opens (0: opened already); fn checks it before it
    // is closed with OK.
    void InDialog(HWND hPage, int nButton, bool (*pfnIs)(HWND), const char* pszWhat,
                  const std::function<void(HWND)>& fn) {
        if (nButton) Click(hPage, nButton);
        HWND hDlg = WaitDialog(pfnIs, pszWhat);
        if (!hDlg) return;
        ::Sleep(700);  // a few ticks of its timer, if it has one
        fn(hDlg);
        NoMessage("while the dialog is open");
        Click(hDlg, IDOK);
        WaitGone(hDlg, pszWhat);
    }

    // The report with all sections: each failed read writes Wine's text of
    // the error on its line.
    void ExpectReportLines(HWND hPage, const std::vector<std::wstring>& labels) {
        Click(hPage, IDC_REPORT_SET_ALL);
        ::Sleep(300);
        InDialog(hPage, IDC_REPORT_SHOW, IsReportView, "the report view", [&](HWND hView) {
            std::wstring strReport = wt::LongWindowText(::GetDlgItem(hView, IDC_REPORT_TEXT));
            const std::wstring strFailure = SystemText(m_combination.m_dwCode);
            for (const std::wstring& strLabel : labels) {
                std::wstring strLine = L"\r\n" + strLabel + strFailure + L"\r\n";
                m_checks.Check(strReport.find(strLine) != std::wstring::npos,
                               "%s: the report line \"%s\" has the failure text", m_pszName,
                               wt::Utf8(strLabel).c_str());
            }
            m_checks.Check(strReport.find(L"*** Report end ***") != std::wstring::npos,
                           "%s: the report is complete", m_pszName);
        });
    }

private:
    HWND ActivatePage(const wchar_t* pszTitle) {
        int nIndex = wt::TabIndex(m_hSheet, pszTitle);
        HWND hPage = nIndex < 0 ? nullptr : wt::SelectTab(m_hSheet, nIndex, kWaitMs);
        bool bShown =
            hPage && wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hPage) == pszTitle; });
        m_checks.Check(bShown, "%s: page \"%s\" is shown", m_pszName, wt::Utf8(pszTitle).c_str());
        return bShown ? hPage : nullptr;
    }

    void Cancel() {
        if (!::IsWindow(m_hSheet)) return;
        m_sim.m_pfnClearCallLog();
        ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        bool bClosed = wt::WaitFor(
            kWaitMs, [&] { return ::WaitForSingleObject(m_hDblClkDone, 0) == WAIT_OBJECT_0; });
        m_checks.Check(bClosed, "%s: the sheet closes with Cancel, no message", m_pszName);
        std::string strLog = m_sim.CallLog();
        bool bRestored = strLog.find(m_combination.m_pszRestore) != std::string::npos;
        m_checks.Check(bRestored == m_combination.m_bRestoreExpected, "%s: Cancel %s \"%s\"",
                       m_pszName,
                       m_combination.m_bRestoreExpected ? "writes back" : "does not write back",
                       m_combination.m_pszRestore);
    }

    const CSimulator& m_sim;
    const CCombination& m_combination;
    const char* m_pszName;
    HANDLE m_hDblClkDone;
    HWND m_hSheet = nullptr;
};

std::vector<CCombination> Combinations() {
    using D = CFaultDriver;
    return {
        {"brightness read times out", "IvroGetBrightness", "121", 121, L"Display",
         [](D& d, HWND hPage) {
             d.ExpectGrey(hPage, IDC_BRIGHTNESS_GROUP, "the brightness group");
             d.ExpectGrey(hPage, IDC_BRIGHTNESS_SLIDER, "the brightness slider");
         },
         "IvroSetBrightness", false},
        {"brightness set busy", "IvroSetBrightness", "170", 170, L"Display",
         [](D& d, HWND hPage) {
             d.ExpectDeviceError(hPage, IDC_BRIGHTNESS_UP,
                                 L"Die Displayhelligkeit kann nicht eingestellt werden.");
         },
         "IvroSetBrightness value=80 -> 0", true},
        {"configuration status times out", "IvroGetKeyConfigValid", "1460", 1460, L"Tasten",
         [](D& d, HWND hPage) { d.ExpectText(hPage, IDC_KEY_STATUS, L"Timeout", "the status"); },
         "IvroSetKeyLayer layer=0 -> 1", true},
        {"key codes cannot be switched", "IvroSetKeyCodesEnabled", "87", 87, L"Tasten",
         [](D& d, HWND hPage) {
             // One message before the matrix, none after it.
             d.Press(hPage, IDC_KEY_SHOW);
             d.AnswerMatrixQuestion();
             d.ExpectMessage(L"Die Tasten k\u00F6nnen nicht deaktiviert werden.");
             d.InDialog(hPage, 0, IsMatrixDialog, "the key matrix", [](HWND) {});
             d.NoMessage("after the key matrix");
             d.ExpectNoCall("IvroSetKeyCodesEnabled enable=1");
         },
         "IvroSetKeyLayer layer=0 -> 1", true},
        {"an LED cannot be switched", "IvroSetLedState", "50", 50, L"LEDs",
         [](D& d, HWND hPage) {
             d.ExpectDeviceError(hPage, IDC_LED_ON, L"Die LED kann nicht geschaltet werden.");
         },
         "IvroSetLedMatrix layer=3", true},
        {"the switch is not there", "IvroGetSwitch", "2", 2, L"Schalter",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_SWITCH_HIGH, L"?", "the x16 digit");
             d.ExpectText(hPage, IDC_SWITCH_LOW, L"?", "the x1 digit");
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"no Ravla modules", "IvroGetRavlaText", "50", 50, L"Ravla",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_RAVLA1_MATERIAL, L"Nicht unterst\u00FCtzt.", "slot 1");
             d.ExpectText(hPage, IDC_RAVLA2_MATERIAL, L"Nicht unterst\u00FCtzt.", "slot 2");
             d.ExpectGrey(hPage, IDC_RAVLA1_FIRMWARE, "slot 1's Firmware...");
             d.ExpectGrey(hPage, IDC_RAVLA2_UPDATE, "slot 2's Update...");
         },
         "IvroSetContrast value=50 -> 1", true},
        {"temperatures time out", "IvroGetTemperature", "121", 121, L"Temperaturen",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_TEMP_CPU, L"?", "the CPU temperature");
             d.ExpectText(hPage, IDC_TEMP_BOARD, L"?", "the board temperature");
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"serial ID busy", "IvroGetUserSerialId", "170", 170, L"Anwendereinstellungen",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_USER_SERIAL_ID, L"Busy", "the serial ID");
         },
         "IvroSetUserLed state=0 -> 1", true},
        {"no material number", "IvroGetFactoryValue", "120 item 14", 120, L"Fabrikseinstellungen",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_FACTORY_MATERIAL, L"(keine)", "the material number");
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"BIOS version not found", "IvroGetVersionText", "1168 item 21", 1168, L"Versionen",
         [](D& d, HWND hPage) {
             d.ExpectText(hPage, IDC_VER_BIOS, L"(keine)", "the BIOS version");
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"FPGA boot status times out", "IvroGetFirmwareValue", "121 item 12", 121, L"Versionen",
         [](D& d, HWND hPage) {
             d.InDialog(hPage, IDC_VER_FPGA_FIRMWARE, IsFirmwareDialog, "the firmware dialog",
                        [&](HWND hDlg) {
                            d.ExpectText(hDlg, IDC_FW_STATUS, L"Timeout", "the boot status");
                        });
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"boot logo values missing", "IvroGetUserLogoValue", "2", 2, L"Bericht",
         [](D& d, HWND hPage) {
             d.ExpectReportLines(hPage, {L"VGA mode: ", L"Size: "});
         },
         "IvroSetBrightness value=80 -> 1", true},
        {"key matrix busy", "IvroGetKeyMatrix", "170", 170, L"Tasten",
         [](D& d, HWND hPage) {
             d.Press(hPage, IDC_KEY_SHOW);
             d.AnswerMatrixQuestion();
             d.InDialog(hPage, 0, IsMatrixDialog, "the key matrix", [&](HWND hDlg) {
                 d.ExpectText(hDlg, IDC_MATRIX_LOW, L"Busy", "the left column");
                 d.ExpectText(hDlg, IDC_MATRIX_HIGH, L"Busy", "the right column");
             });
         },
         "IvroSetKeyLayer layer=0 -> 1", true},
    };
}

void RunCombination(CChecks& checks, const wt::CLoadedApplet& applet, HWND hHost,
                    const CCombination& combination) {
    const CSimulator& sim = applet.m_simulator;
    sim.m_pfnReset();
    bool bReady = sim.m_pfnLoadProfileText(kProfile) != FALSE &&
                  sim.Set((std::string("faults.") + combination.m_pszOperation).c_str(),
                          combination.m_pszFault);
    if (!checks.Check(bReady, "%s: %s fails with %s", combination.m_pszName,
                      combination.m_pszOperation, combination.m_pszFault))
        return;
    applet.m_pfnApplet(hHost, CPL_INIT, 0, 0);
    LONG nResult = wt::DoubleClickApplet(
        checks, applet.m_pfnApplet, hHost,
        [&](DWORD dwHostThread, HANDLE hDone) {
            CFaultDriver driver(checks, sim, combination, dwHostThread, hDone);
            driver.Run();
        },
        "CPL_DBLCLK returns (no hang)");
    checks.Check(nResult == 1, "%s: CPL_DBLCLK returns 1", combination.m_pszName);
    applet.m_pfnApplet(hHost, CPL_EXIT, 0, 0);
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    wt::CHostWindow host;
    for (const CCombination& combination : Combinations())
        RunCombination(checks, applet, host.Get(), combination);
    return checks.Finish();
}
