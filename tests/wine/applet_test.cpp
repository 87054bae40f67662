// The real TmRoveVodore.cpl under Wine as the Control Panel drives it: the
// main thread is the host (CPlApplet messages, the modal CPL_DBLCLK), a
// driver thread works the real windows. Only what the native tests cannot
// show: the identity from the real resources, the real pages' controls and
// timers, the policies in the real registry, and the key matrix dialog
// following the keys the simulator presses, key codes off only while it is open.
#include <windows.h>
#include <cpl.h>
#include <prsht.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/wine/WineTest.h"

namespace {

using wt::CChecks;
using wt::CSimulator;
using wt::PFN_CPLAPPLET;

const DWORD kWaitMs = 15000;
// Long enough for a polling page's refresh timer to tick at least once.
const DWORD kDwellMs = 1300;

// The identity from the real resources, as the host reads it.
const struct {
    const char* m_pszType;
    const wchar_t* m_pszName;
    const wchar_t* m_pszInfo;
} kIdentities[] = {
    {"4", L"Control Center (Marlet)", L"\u00C4ndert und zeigt Tolmek Marlet Einstellungen."},
    {"5", L"Control Center (Ferrow)", L"\u00C4ndert und zeigt Tolmek Ferrow Einstellungen."},
    {"3", L"Control Center", L"\u00C4ndert und zeigt Tolmek Ger\u00E4teeinstellungen."},
};

// A Marlet whose stored display defaults differ from the current values;
// the contrast is at its factory value, so Auto is ticked when it shows. No
// key demo: the test presses the keys.
const char kProfile[] =
    "[device]\ntype = 4\n"
    "[display]\nbrightness = 80\nbrightness_default = 70\nbrightness_factory = 90\n"
    "contrast = 45\ncontrast_default = 40\ncontrast_factory = 45\n"
    "[temperature]\ncpu = -10\nio = 36\ndrift = 0\n[keys]\ndemo_interval = 0\n";

const wchar_t kPolicyKey[] = L"Control Panel\\IVRO";
// A control each policy holds grey while it is set.
const struct {
    const wchar_t* m_pszValue;
    const wchar_t* m_pszPage;
    int m_nId;
} kPolicyEffects[] = {
    {L"DisableFirmwareUpdate", L"Versionen", IDC_VER_FPGA_UPDATE},
    {L"DisableBiosUpdate", L"Versionen", IDC_VER_BIOS_UPDATE},
    {L"DisableKcfUpdate", L"Tasten", IDC_KEY_UPDATE},
    {L"DisableKeyLock", L"Tasten", IDC_KEY_LOCK},
    {L"DisableUserlogoUpdate", L"Anwendereinstellungen", IDC_USER_LOGO_UPDATE},
};

// The call log lines of the operations that write to the device.
std::string Writes(const CSimulator& simulator) {
    std::istringstream log(simulator.CallLog());
    std::string strWrites;
    for (std::string strLine; std::getline(log, strLine);)
        if (strLine.compare(0, 7, "IvroSet") == 0 || strLine.compare(0, 8, "IvroDown") == 0)
            strWrites += strLine.substr(0, strLine.find(" ->")) + "; ";
    return strWrites;
}

void ExpectText(CChecks& checks, HWND hPage, int nId, const std::string& strText,
                const char* pszWhat) {
    std::wstring strSeen;
    bool bShown = wt::WaitFor(kWaitMs, [&] {
        strSeen = wt::ControlText(hPage, nId);
        return strSeen == wt::Wide(strText);
    });
    checks.Check(bShown, "%s: control %d shows \"%s\" (saw \"%s\")", pszWhat, nId, strText.c_str(),
                 wt::Utf8(strSeen).c_str());
}

HWND ShowPage(HWND hSheet, const wchar_t* pszTitle) {
    return wt::SelectTab(hSheet, pszTitle, kWaitMs);
}

bool IsMatrixDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_MATRIX_FIRST) && ::GetDlgItem(hWnd, IDC_MATRIX_LOW);
}

// The Keys page's "Zeigen...": a question, then the key matrix dialog.
class CKeyMatrixDriver : private wt::CHostDriver {
public:
    CKeyMatrixDriver(CChecks& checks, const CSimulator& simulator, DWORD dwHostThread)
        : CHostDriver(checks, dwHostThread, kWaitMs), m_sim(simulator) {}

    void Run(HWND hSheet) {
        HWND hPage = ShowPage(hSheet, L"Tasten");
        // A page asking for help would bring back the sheet's Help button.
        HWND hHelp = ::GetDlgItem(hSheet, IDHELP);
        if (!m_checks.Check(hPage && (!hHelp || !::IsWindowVisible(hHelp)),
                            "the Keys page; the sheet has no Help button"))
            return;
        Click(hPage, IDC_KEY_SHOW);
        HWND hBox = WaitDialog(wt::IsMarletMessageBox, "\"Zeigen...\": the question");
        if (!hBox) return;
        Answer(hBox, IDOK);
        HWND hDlg = WaitDialog(IsMatrixDialog, "the key matrix dialog");
        if (!hDlg) return;
        m_checks.Check(m_sim.Get("keys.codes_enabled") == "0",
                       "key codes are off while the matrix is open");
        ExpectText(m_checks, hDlg, IDC_MATRIX_FIRST, "", "no key pressed: the first-key field");
        // Keys 21 and 99 pressed, then 21 released.
        m_sim.Set("keys.matrix", "00 00 20 00 00 00 00 00 00 00 00 00 08 00 00 00");
        ExpectText(m_checks, hDlg, IDC_MATRIX_FIRST, "2.5 (21)",
                   "a pressed key: the first-key field");
        m_sim.Set("keys.matrix", "00 00 00 00 00 00 00 00 00 00 00 00 08 00 00 00");
        ExpectText(m_checks, hDlg, IDC_MATRIX_FIRST, "12.3 (99)",
                   "key 21 released: the first-key field");
        Answer(hDlg, IDOK);
        if (!WaitGone(hDlg, "the key matrix dialog")) return;
        bool bOn = wt::WaitFor(kWaitMs, [&] { return m_sim.Get("keys.codes_enabled") == "1"; });
        m_checks.Check(bOn, "key codes are on again after OK");
    }

private:
    const CSimulator& m_sim;
};

// Whether each policy's control is usable on the sheet's pages.
void CheckPolicyControls(CChecks& checks, HWND hSheet, bool bUsable) {
    for (const auto& effect : kPolicyEffects) {
        HWND hPage = ShowPage(hSheet, effect.m_pszPage);
        checks.Check(
            hPage && (::IsWindowEnabled(::GetDlgItem(hPage, effect.m_nId)) != FALSE) == bUsable,
            "%s: control %d on \"%s\" is %s", wt::Utf8(effect.m_pszValue).c_str(), effect.m_nId,
            wt::Utf8(effect.m_pszPage).c_str(), bUsable ? "usable" : "grey");
    }
}

// OK after every page was shown, its timer ticking, and the brightness
// arrow clicked: the sheet's real controls write nothing of their own, OK
// stores the brightness set as the default. Without policies their controls
// are usable.
void DriveQuietOk(CChecks& checks, const CSimulator& simulator, HWND hSheet, DWORD) {
    std::vector<std::wstring> titles = wt::TabTitles(hSheet);
    if (!checks.Check(titles.size() == 10, "ten pages (saw %s)", wt::JoinTitles(titles).c_str()))
        return;
    int nShown = 0;
    for (size_t i = 0; i <= titles.size(); ++i) {
        const std::wstring& strTitle = titles[i % titles.size()];
        nShown += wt::SelectTab(hSheet, static_cast<int>(i % titles.size()), kWaitMs) != nullptr;
        if (strTitle == L"Display" || strTitle == L"Tasten" || strTitle == L"Schalter" ||
            strTitle == L"Temperaturen")
            ::Sleep(kDwellMs);
    }
    checks.Check(nShown == static_cast<int>(titles.size()) + 1,
                 "every page shown, and the first again");
    std::string strWrites = Writes(simulator);
    checks.Check(strWrites.empty(), "showing the pages writes nothing (saw %s)", strWrites.c_str());
    CheckPolicyControls(checks, hSheet, true);
    HWND hPage = ShowPage(hSheet, L"Display");
    ::SendMessageW(::GetDlgItem(hPage, IDC_BRIGHTNESS_UP), BM_CLICK, 0, 0);
    ExpectText(checks, hPage, IDC_BRIGHTNESS_VALUE, "81", "the arrow steps the brightness");
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
}

// Cancel with every policy set, after the temperatures were watched, the key
// matrix looked at and the brightness arrow held.
void DrivePoliciesCancel(CChecks& checks, const CSimulator& simulator, HWND hSheet,
                         DWORD dwHostThread) {
    CheckPolicyControls(checks, hSheet, false);
    HWND hPage = ShowPage(hSheet, L"Temperaturen");
    ExpectText(checks, hPage, IDC_TEMP_BOARD, "36", "board temperature");
    simulator.Set("temperature.io", "-128");
    ExpectText(checks, hPage, IDC_TEMP_BOARD, "-128", "the board temperature follows the device");
    CKeyMatrixDriver(checks, simulator, dwHostThread).Run(hSheet);

    hPage = ShowPage(hSheet, L"Display");
    if (!checks.Check(hPage != nullptr, "the Display page is shown")) return;
    HWND hUp = ::GetDlgItem(hPage, IDC_BRIGHTNESS_UP);
    // Held well beyond the keyboard delay: steps of its own, then the click.
    ::SendMessageW(hUp, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::Sleep(1500);
    ::SendMessageW(hUp, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    std::string strBrightness = simulator.Get("display.brightness");
    int nBrightness = std::atoi(strBrightness.c_str());
    checks.Check(nBrightness > 81 && nBrightness <= 100,
                 "a held arrow steps the brightness more than once (80 -> %d)", nBrightness);
    ExpectText(checks, hPage, IDC_BRIGHTNESS_VALUE, strBrightness, "the field shows the device's");
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace

int wmain() {
    CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;
    wt::CHostWindow host;
    for (const auto& id : kIdentities) {
        simulator.Set("device.type", id.m_pszType);
        pfnApplet(host.Get(), CPL_INIT, 0, 0);
        // The structure's layout differs between the architectures.
        NEWCPLINFOW info;
        std::memset(&info, 0xCC, sizeof(info));
        LONG nResult = pfnApplet(host.Get(), CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&info));
        wt::COwned<HICON> icon(info.hIcon, ::DestroyIcon);
        info.szName[_countof(info.szName) - 1] = info.szInfo[_countof(info.szInfo) - 1] = 0;
        checks.Check(nResult == 1 && info.dwSize == sizeof(NEWCPLINFOW) && info.dwFlags == 0 &&
                         info.lData == 0 && info.szHelpFile[0] == L'\0' && icon.Get() &&
                         id.m_pszName == std::wstring(info.szName) &&
                         id.m_pszInfo == std::wstring(info.szInfo),
                     "type %s: CPL_NEWINQUIRE gives dwSize %u, an icon, \"%s\" and \"%s\" (saw "
                     "\"%s\", \"%s\")",
                     id.m_pszType, static_cast<unsigned>(sizeof(NEWCPLINFOW)),
                     wt::Utf8(id.m_pszName).c_str(), wt::Utf8(id.m_pszInfo).c_str(),
                     wt::Utf8(info.szName).c_str(), wt::Utf8(info.szInfo).c_str());
        pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    }

    // One sheet run on the profile's Marlet: fnDrive works the sheet and
    // presses the button that closes it.
    auto runSheet = [&](const char* pszButton,
                        void (*pfnDrive)(CChecks&, const CSimulator&, HWND, DWORD)) {
        checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");
        pfnApplet(host.Get(), CPL_INIT, 0, 0);
        simulator.m_pfnClearCallLog();
        return wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHost, HANDLE) {
            HWND hSheet = wt::WaitForSheet(dwHost, kWaitMs);
            if (!checks.Check(hSheet != nullptr, "%s: the sheet opens", pszButton))
                return wt::DumpWindows(checks, 0);
            pfnDrive(checks, simulator, hSheet, dwHost);
            checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                         "the sheet closes with %s", pszButton);
        });
    };
    LONG nResult = runSheet("OK", DriveQuietOk);
    const std::string strWrites = Writes(simulator);
    checks.Check(nResult == 1 &&
                     strWrites == "IvroSetBrightness value=81; IvroSetDefaultBrightness value=81; ",
                 "CPL_DBLCLK gives 1; OK stores the brightness set as the default, and nothing "
                 "else (saw %s)",
                 strWrites.c_str());
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);

    const DWORD dwOne = 1;
    bool bWritten = true;
    for (const auto& effect : kPolicyEffects)
        bWritten &= ::RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, effect.m_pszValue, REG_DWORD,
                                      &dwOne, sizeof(dwOne)) == ERROR_SUCCESS;
    checks.Check(bWritten, "every policy set in HKEY_CURRENT_USER\\%s",
                 wt::Utf8(kPolicyKey).c_str());
    runSheet("Cancel", DrivePoliciesCancel);
    checks.Check(simulator.Get("display.brightness") == "80" &&
                     simulator.Get("display.contrast") == "45" &&
                     Writes(simulator).find("IvroSetDefault") == std::string::npos,
                 "Cancel puts back brightness 80 and contrast 45 and stores no default (saw %s)",
                 Writes(simulator).c_str());
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kPolicyKey);
    return checks.Finish();
}
