// The real TmRoveVodore.cpl under Wine as the Control Panel drives it: the
// main thread is the host (CPlApplet messages, the modal CPL_DBLCLK), a
// driver thread works the real windows. Only what the native tests cannot
// show: the identity from the real resources, the real pages' controls and
// timers, and the policies in the real registry.
#include <windows.h>
#include <commctrl.h>
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
// Long enough for every page's refresh timer to tick at least once.
const DWORD kDwellMs = 1300;

struct CIdentity {
    const char* m_pszType;
    int m_nIcon, m_nName, m_nInfo;  // CPL_INQUIRE's ids; 0 for a foreign system
    const wchar_t* m_pszName;
    const wchar_t* m_pszInfo;
};

const CIdentity kIdentities[] = {
    {"4", 1003, 1004, 1005, L"Control Center (Marlet)",
     L"\u00C4ndert und zeigt Tolmek Marlet Einstellungen."},
    {"5", 1006, 1007, 1008, L"Control Center (Ferrow)",
     L"\u00C4ndert und zeigt Tolmek Ferrow Einstellungen."},
    {"3", 0, 0, 0, L"Control Center", L"\u00C4ndert und zeigt Tolmek Ger\u00E4teeinstellungen."},
};

// A Marlet whose stored display defaults differ from the current values;
// the contrast is at its factory value, so Auto is ticked when it shows.
const char kProfile[] =
    "[device]\ntype = 4\n"
    "[display]\nbrightness = 80\nbrightness_default = 70\nbrightness_factory = 90\n"
    "contrast = 45\ncontrast_default = 40\ncontrast_factory = 45\n"
    "[temperature]\ncpu = -10\nio = 36\ndrift = 0\n";

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

void CheckIdentity(CChecks& checks, PFN_CPLAPPLET pfnApplet, HWND hHost, const CIdentity& id) {
    const char* pszType = id.m_pszType;
    checks.Check(pfnApplet(hHost, CPL_INIT, 0, 0) == 1 && pfnApplet(hHost, CPL_INIT, 0, 0) == 0 &&
                     pfnApplet(hHost, CPL_GETCOUNT, 0, 0) == 1,
                 "type %s: CPL_INIT gives 1, then 0; CPL_GETCOUNT gives 1", pszType);
    CPLINFO info;
    std::memset(&info, 0xCC, sizeof(info));
    LONG nResult = pfnApplet(hHost, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info));
    checks.Check(nResult == 1 && info.idIcon == id.m_nIcon && info.idName == id.m_nName &&
                     info.idInfo == id.m_nInfo && info.lData == 0,
                 "type %s: CPL_INQUIRE gives icon %d, name %d, info %d (saw %d, %d, %d)", pszType,
                 id.m_nIcon, id.m_nName, id.m_nInfo, info.idIcon, info.idName, info.idInfo);

    // The structure's layout differs between the architectures.
    NEWCPLINFOW newInfo;
    std::memset(&newInfo, 0xCC, sizeof(newInfo));
    nResult = pfnApplet(hHost, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo));
    wt::COwned<HICON> icon(newInfo.hIcon, ::DestroyIcon);
    newInfo.szName[_countof(newInfo.szName) - 1] = newInfo.szInfo[_countof(newInfo.szInfo) - 1] = 0;
    checks.Check(nResult == 1 && newInfo.dwSize == sizeof(NEWCPLINFOW) && newInfo.dwFlags == 0 &&
                     newInfo.dwHelpContext == 0 && newInfo.lData == 0 &&
                     newInfo.szHelpFile[0] == L'\0' && icon.Get(),
                 "type %s: CPL_NEWINQUIRE gives 1, dwSize %u, an icon and nothing else set",
                 pszType, static_cast<unsigned>(sizeof(NEWCPLINFOW)));
    checks.Check(id.m_pszName == std::wstring(newInfo.szName) &&
                     id.m_pszInfo == std::wstring(newInfo.szInfo),
                 "type %s: name \"%s\" and description \"%s\" (saw \"%s\", \"%s\")", pszType,
                 wt::Utf8(id.m_pszName).c_str(), wt::Utf8(id.m_pszInfo).c_str(),
                 wt::Utf8(newInfo.szName).c_str(), wt::Utf8(newInfo.szInfo).c_str());
    checks.Check(pfnApplet(hHost, CPL_EXIT, 0, 0) == 1, "type %s: CPL_EXIT gives 1", pszType);
}

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
                const char* pszWhat, DWORD dwWaitMs = kWaitMs) {
    std::wstring strSeen;
    bool bShown = wt::WaitFor(dwWaitMs, [&] {
        strSeen = wt::ControlText(hPage, nId);
        return strSeen == wt::Wide(strText);
    });
    checks.Check(bShown, "%s: control %d shows \"%s\" (saw \"%s\")", pszWhat, nId, strText.c_str(),
                 wt::Utf8(strSeen).c_str());
}

// Moves a slider as a user's drag does: the position, then the page's
// scroll notifications.
void DragSlider(HWND hPage, int nId, int nPos) {
    HWND hSlider = ::GetDlgItem(hPage, nId);
    ::SendMessageW(hSlider, TBM_SETPOS, TRUE, nPos);
    for (WPARAM code : {MAKEWPARAM(TB_THUMBTRACK, nPos), MAKEWPARAM(TB_ENDTRACK, 0)})
        ::SendMessageW(hPage, WM_HSCROLL, code, reinterpret_cast<LPARAM>(hSlider));
}

HWND ShowPage(HWND hSheet, const wchar_t* pszTitle) {
    return wt::SelectTab(hSheet, wt::TabIndex(hSheet, pszTitle), kWaitMs);
}

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

// OK after every page was shown, its timer ticking, and the slider moved:
// the sheet's real controls write nothing of their own, OK stores the
// brightness set as the default. Without policies their controls are usable.
void DriveQuietOk(CChecks& checks, const CSimulator& simulator, DWORD dwHostThread) {
    HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
    if (!checks.Check(hSheet != nullptr, "OK: the sheet opens")) return wt::DumpWindows(checks, 0);
    std::vector<std::wstring> titles = wt::TabTitles(hSheet);
    checks.Check(wt::WindowText(hSheet) == L"Eigenschaften von Marlet" && titles.size() == 10 &&
                     titles[0] == L"Display" && titles[9] == L"Bericht",
                 "the sheet \"Eigenschaften von Marlet\" has ten pages (saw %s)",
                 wt::JoinTitles(titles).c_str());
    if (titles.empty()) return;
    int nShown = 0;
    for (size_t i = 0; i <= titles.size(); ++i) {
        nShown += wt::SelectTab(hSheet, static_cast<int>(i % titles.size()), kWaitMs) != nullptr;
        ::Sleep(kDwellMs);
    }
    checks.Check(nShown == static_cast<int>(titles.size()) + 1,
                 "every page shown, and the first again");
    std::string strWrites = Writes(simulator);
    checks.Check(strWrites.empty(), "showing the pages writes nothing (saw %s)", strWrites.c_str());
    CheckPolicyControls(checks, hSheet, true);
    HWND hPage = ShowPage(hSheet, L"Display");
    DragSlider(hPage, IDC_BRIGHTNESS_SLIDER, 42);
    checks.Check(simulator.Get("display.brightness") == "42",
                 "moving the slider sets the brightness 42 (device: %s)",
                 simulator.Get("display.brightness").c_str());
    ExpectText(checks, hPage, IDC_BRIGHTNESS_VALUE, "42", "the field follows the slider");
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                 "the sheet closes with OK");
}

void CheckTemperatures(CChecks& checks, const CSimulator& simulator, HWND hSheet) {
    HWND hPage = ShowPage(hSheet, L"Temperaturen");
    if (!checks.Check(hPage != nullptr, "the Temperaturen page is shown")) return;
    ExpectText(checks, hPage, IDC_TEMP_CPU, "-10", "CPU temperature");
    ExpectText(checks, hPage, IDC_TEMP_BOARD, "36", "board temperature");
    simulator.Set("temperature.cpu", "63");
    simulator.Set("temperature.io", "-128");
    ExpectText(checks, hPage, IDC_TEMP_CPU, "63", "the CPU temperature follows the device");
    ExpectText(checks, hPage, IDC_TEMP_BOARD, "-128", "the board temperature follows the device");

    // Hidden, the page reads nothing; shown again, it has the new value at once.
    ShowPage(hSheet, L"Schalter");
    simulator.m_pfnClearCallLog();
    simulator.Set("temperature.cpu", "12");
    ::Sleep(1500);
    checks.Check(simulator.CallLog().find("IvroGetTemperature") == std::string::npos,
                 "no temperature reads while another page is shown");
    hPage = ShowPage(hSheet, L"Temperaturen");
    ExpectText(checks, hPage, IDC_TEMP_CPU, "12", "coming back shows the new temperature", 500);
}

// Cancel with every policy set, after the temperatures were watched and the
// brightness arrow clicked and held.
void DrivePoliciesCancel(CChecks& checks, const CSimulator& simulator, DWORD dwHostThread) {
    HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
    if (!checks.Check(hSheet != nullptr, "Cancel: the sheet opens"))
        return wt::DumpWindows(checks, 0);
    checks.Check(simulator.Get("device.wmi_mode") == "1",
                 "UseWmi: the library is on its WMI path while the sheet is open");
    CheckPolicyControls(checks, hSheet, false);
    CheckTemperatures(checks, simulator, hSheet);

    HWND hPage = ShowPage(hSheet, L"Display");
    if (!checks.Check(hPage != nullptr, "the Display page is shown")) return;
    HWND hUp = ::GetDlgItem(hPage, IDC_BRIGHTNESS_UP);
    ::SendMessageW(hUp, BM_CLICK, 0, 0);
    checks.Check(simulator.Get("display.brightness") == "81",
                 "the arrow steps the brightness to 81 (device: %s)",
                 simulator.Get("display.brightness").c_str());
    // Held well beyond the keyboard delay: steps of its own, then the click.
    ::SendMessageW(hUp, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::Sleep(1500);
    ::SendMessageW(hUp, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    std::string strBrightness = simulator.Get("display.brightness");
    int nBrightness = std::atoi(strBrightness.c_str());
    checks.Check(nBrightness > 82 && nBrightness <= 100,
                 "a held arrow steps the brightness more than once (81 -> %d)", nBrightness);
    ExpectText(checks, hPage, IDC_BRIGHTNESS_VALUE, strBrightness, "the field shows the device's");
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                 "the sheet closes with Cancel");
}

bool WritePolicies() {
    const DWORD dwValue = 1;
    bool bWritten = true;
    for (const wchar_t* pszValue :
         {L"UseWmi", L"DisableFirmwareUpdate", L"DisableBiosUpdate", L"DisableKcfUpdate",
          L"DisableKeyLock", L"DisableUserlogoUpdate"})
        bWritten &= ::RegSetKeyValueW(HKEY_CURRENT_USER, kPolicyKey, pszValue, REG_DWORD, &dwValue,
                                      sizeof(dwValue)) == ERROR_SUCCESS;
    return bWritten;
}

}  // namespace

int wmain() {
    CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    const PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;
    wt::CHostWindow host;
    for (const CIdentity& id : kIdentities) {
        simulator.Set("device.type", id.m_pszType);
        CheckIdentity(checks, pfnApplet, host.Get(), id);
    }

    checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");
    pfnApplet(host.Get(), CPL_INIT, 0, 0);
    simulator.m_pfnClearCallLog();
    LONG nResult = wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHost, HANDLE) {
        DriveQuietOk(checks, simulator, dwHost);
    });
    // The slider may set the value more than once; nothing else is written.
    std::string strWrites = Writes(simulator), strOthers = strWrites;
    const std::string strSet = "IvroSetBrightness value=42; ";
    for (size_t nAt; (nAt = strOthers.find(strSet)) != std::string::npos;)
        strOthers.erase(nAt, strSet.size());
    checks.Check(nResult == 1 && strOthers == "IvroSetDefaultBrightness value=42; ",
                 "CPL_DBLCLK gives 1; OK stores the brightness set as the default, and nothing "
                 "else (saw %s)",
                 strWrites.c_str());
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);

    checks.Check(WritePolicies(), "every policy set in HKEY_CURRENT_USER\\%s",
                 wt::Utf8(kPolicyKey).c_str());
    checks.Check(simulator.m_pfnLoadProfileText(kProfile) != FALSE, "simulator profile loaded");
    pfnApplet(host.Get(), CPL_INIT, 0, 0);
    simulator.m_pfnClearCallLog();
    wt::DoubleClickApplet(checks, pfnApplet, host.Get(), [&](DWORD dwHost, HANDLE) {
        DrivePoliciesCancel(checks, simulator, dwHost);
    });
    checks.Check(simulator.Get("display.brightness") == "80" &&
                     simulator.Get("display.contrast") == "45" &&
                     Writes(simulator).find("IvroSetDefault") == std::string::npos,
                 "Cancel puts back brightness 80 and contrast 45 and stores no default (saw %s)",
                 Writes(simulator).c_str());
    checks.Check(simulator.Get("device.wmi_mode") == "0",
                 "UseWmi: the library is off its WMI path after the sheet closed");
    pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kPolicyKey);
    return checks.Finish();
}
