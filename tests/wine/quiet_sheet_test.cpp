// Opening the sheet must not change the device: under Wine, against the real
// TmRoveVodore.cpl, the simulator's call log shows what reaches the device
// while a user opens the sheet, visits every page and closes it again.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 15000;
// Long enough for every page's refresh timer to tick at least once.
const DWORD kDwellMs = 1300;

// Contrast at its factory value (Auto ticked at activation) and stored
// defaults that differ from the current values.
const char kProfile[] =
    "[device]\ntype = 4\n[display]\nbrightness = 80\nbrightness_default = 70\n"
    "brightness_factory = 90\ncontrast = 45\ncontrast_default = 40\ncontrast_factory = 45\n"
    "[temperature]\ndrift = 0\n";

// Writes that Cancel may make: putting back what the pages found.
const char* const kRestoreOperations[] = {"IvroSetBrightness", "IvroSetContrast",
                                          "IvroSetLedMatrix", "IvroSetKeyLayer", "IvroSetUserLed"};

using wt::CChecks;
using wt::CSimulator;
using wt::PFN_CPLAPPLET;

// The call log lines of operations that write to the device.
std::vector<std::string> Writes(const CSimulator& simulator) {
    std::vector<std::string> writes;
    std::istringstream log(simulator.CallLog());
    for (std::string strLine; std::getline(log, strLine);)
        if (strLine.compare(0, 7, "IvroSet") == 0 || strLine.compare(0, 8, "IvroDown") == 0)
            writes.push_back(strLine);
    return writes;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string strJoined;
    for (const std::string& strLine : lines) strJoined += (strJoined.empty() ? "" : "; ") + strLine;
    return strJoined.empty() ? "none" : strJoined;
}

bool IsRestore(const std::string& strLine) {
    for (const char* pszOperation : kRestoreOperations)
        if (strLine.compare(0, std::strlen(pszOperation) + 1, std::string(pszOperation) + " ") == 0)
            return true;
    return false;
}

// Opens the sheet, shows every page in turn and back to the first, then
// presses OK or Cancel.
void VisitEveryPage(CChecks& checks, PFN_CPLAPPLET pfnApplet, HWND hHost, bool bOk) {
    const char* pszClose = bOk ? "OK" : "Cancel";
    wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread);
        if (!checks.Check(hSheet != nullptr, "%s: the sheet opens", pszClose)) return;
        int nTabs = wt::TabCount(hSheet);
        int nShown = 0;
        for (int i = 0; i <= nTabs; ++i) {
            nShown += wt::SelectTab(hSheet, i % nTabs) != nullptr;
            ::Sleep(kDwellMs);
        }
        checks.Check(nShown == nTabs + 1, "%s: every page of %d shown, and the first again",
                     pszClose, nTabs);
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, bOk ? PSBTN_OK : PSBTN_CANCEL, 0);
        checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                     "%s: the sheet closes", pszClose);
    });
}

}  // namespace

int wmain() {
    CChecks checks;
    wt::CLoadedApplet applet;
    const PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;
    if (!checks.Check(pfnApplet != nullptr && applet.m_bBound, "the applet and the simulator load"))
        return checks.Finish();
    wt::CHostWindow host;

    // OK without touching anything: nothing is written, no default changes.
    checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");
    pfnApplet(host.Get(), CPL_INIT, 0, 0);
    simulator.m_pfnClearCallLog();
    VisitEveryPage(checks, pfnApplet, host.Get(), true);
    std::vector<std::string> writes = Writes(simulator);
    checks.Check(writes.empty(), "OK: nothing reaches the device (saw %s)", Join(writes).c_str());
    checks.Check(simulator.Get("display.brightness_default") == "70" &&
                     simulator.Get("display.contrast_default") == "40",
                 "OK: the stored defaults stay 70 and 40 (saw %s and %s)",
                 simulator.Get("display.brightness_default").c_str(),
                 simulator.Get("display.contrast_default").c_str());
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);

    // Cancel without touching anything: only what the pages put back.
    checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");
    pfnApplet(host.Get(), CPL_INIT, 0, 0);
    simulator.m_pfnClearCallLog();
    VisitEveryPage(checks, pfnApplet, host.Get(), false);
    writes = Writes(simulator);
    bool bOnlyRestores = true;
    int nBrightness = 0, nContrast = 0;
    for (const std::string& strLine : writes) {
        bOnlyRestores &= IsRestore(strLine);
        nBrightness += strLine.compare(0, 27, "IvroSetBrightness value=80 ") == 0;
        nContrast += strLine.compare(0, 25, "IvroSetContrast value=45 ") == 0;
    }
    checks.Check(bOnlyRestores && nBrightness == 1 && nContrast == 1,
                 "Cancel: only the values found at the first activation are put back (saw %s)",
                 Join(writes).c_str());
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return checks.Finish();
}
