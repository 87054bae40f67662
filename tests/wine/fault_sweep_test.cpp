// The device-error message of the real applet under Wine, where the native
// fault sweep cannot look: the DLL's FormatMessageW, GetLastError and message
// box. A brightness step the device refuses with the driver's time-out (121)
// shows the German text and Wine's text of 1460, once; Cancel then closes
// the sheet.
#include <windows.h>
#include <cpl.h>
#include <prsht.h>

#include <string>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 20000;

class CDriver : private wt::CHostDriver {
public:
    CDriver(wt::CChecks& checks, DWORD dwHostThread, HANDLE hDblClkDone)
        : CHostDriver(checks, dwHostThread, kWaitMs), m_hDblClkDone(hDblClkDone) {}

    void Run() {
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        HWND hPage = nullptr;  // Display, the first page
        wt::WaitFor(kWaitMs, [&] { return hSheet && (hPage = wt::CurrentPage(hSheet)); });
        if (m_checks.Check(hPage != nullptr, "the sheet opens on the Display page")) {
            Click(hPage, IDC_BRIGHTNESS_UP);
            if (HWND hBox = WaitDialog(wt::IsMarletMessageBox, "the device-error message")) {
                wchar_t szSystem[512] = L"";
                ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, ERROR_TIMEOUT, 0, szSystem, 512, nullptr);
                std::wstring strExpected =
                    std::wstring(L"Die Displayhelligkeit kann nicht eingestellt werden.\n") +
                    szSystem;
                while (strExpected.back() == L'\n' || strExpected.back() == L'\r')
                    strExpected.pop_back();
                std::wstring strText = wt::MessageBoxText(hBox);
                m_checks.Check(strText == strExpected, "the message is \"%s\" (saw \"%s\")",
                               wt::OneLine(strExpected).c_str(), wt::OneLine(strText).c_str());
                Answer(hBox, IDOK);
                WaitGone(hBox, "the device-error message");
            }
            bool bMore = wt::WaitFor(1000, [&] { return FindHostDialog(wt::IsMarletMessageBox); });
            m_checks.Check(!bMore, "no further message");
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
    HANDLE m_hDblClkDone;
};

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    wt::CHostWindow host;
    checks.Check(applet.m_simulator.m_pfnLoadProfileText(
                     "[temperature]\ndrift = 0\n[keys]\ndemo_interval = 0\n") &&
                     applet.m_simulator.Set("faults.IvroSetBrightness", "121 times 1"),
                 "IvroSetBrightness fails with 121");
    applet.m_pfnApplet(host.Get(), CPL_INIT, 0, 0);
    wt::DoubleClickApplet(
        checks, applet.m_pfnApplet, host.Get(),
        [&](DWORD dwHostThread, HANDLE hDone) { CDriver(checks, dwHostThread, hDone).Run(); });
    applet.m_pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return checks.Finish();
}
