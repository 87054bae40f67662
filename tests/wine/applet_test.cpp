// End-to-end test of the real TmRoveVodore.cpl under Wine: the main thread
// plays the Control Panel host (CPlApplet messages, the modal CPL_DBLCLK),
// a driver thread works the real windows like a user would. The simulated
// device is switched between a Marlet, a Ferrow and a foreign system through
// the simulator's control functions, with CPL_EXIT/CPL_INIT in between.
// Last, what the Group Policy templates write, enabled and disabled, and the
// applet honouring it.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "simulator/TmIvroSim.h"
#include "tests/wine/WineTest.h"

namespace {

const DWORD kWaitMs = 15000;
// The page refreshes once a second; a changed value must show within this,
// generous for a loaded machine.
const DWORD kRefreshWaitMs = 10000;
const int kIdCpuTemperature = 1168;
const int kIdBoardTemperature = 1185;
const wchar_t kDegrees[] = L"\u00B0C";
const wchar_t kNotADevice[] = L"Das verwendete System ist kein Tolmek Ger\u00E4t.";

// The tab order of a fully equipped device; a sheet shows a subsequence.
const wchar_t* const kTabOrder[] = {L"Display",
                                    L"Tasten",
                                    L"LEDs",
                                    L"Schalter",
                                    L"Ravla",
                                    L"Temperaturen",
                                    L"Anwendereinstellungen",
                                    L"Fabrikseinstellungen",
                                    L"Versionen",
                                    L"Bericht"};

struct CScenario {
    const char* m_pszProfile;
    DWORD m_nType;
    int m_nInquireIcon;  // CPL_INQUIRE ids; 0 for a foreign system
    int m_nInquireName;
    int m_nInquireInfo;
    const wchar_t* m_pszName;
    const wchar_t* m_pszInfo;
    const wchar_t* m_pszCaption;
    bool m_bForeign;  // message 1051 comes first
    bool m_bRavla;
    const char* m_pszCpuLater;  // set while the page is shown
    const char* m_pszBoardLater;
};

const CScenario kScenarios[] = {
    {"[device]\ntype = 4\n[temperature]\ncpu = -10\nio = 36\ndrift = 0\n", 4, 1003, 1004, 1005,
     L"Control Center (Marlet)", L"\u00C4ndert und zeigt Tolmek Marlet Einstellungen.",
     L"Eigenschaften von Marlet", false, true, "63", "-128"},
    {"[device]\ntype = 5\n[temperature]\ncpu = 55\nio = 41\ndrift = 0\n", 5, 1006, 1007, 1008,
     L"Control Center (Ferrow)", L"\u00C4ndert und zeigt Tolmek Ferrow Einstellungen.",
     L"Eigenschaften von Ferrow", false, false, "127", "0"},
    {"[device]\ntype = 3\n[temperature]\ncpu = 40\nio = 30\ndrift = 0\n", 3, 0, 0, 0,
     L"Control Center", L"\u00C4ndert und zeigt Tolmek Ger\u00E4teeinstellungen.",
     L"Control Center", true, true, "-1", "99"},
};

using wt::CSimulator;
using wt::PFN_CPLAPPLET;

class CIcon {
public:
    explicit CIcon(HICON hIcon) : m_hIcon(hIcon) {}
    ~CIcon() {
        if (m_hIcon) ::DestroyIcon(m_hIcon);
    }
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;
    HICON Get() const { return m_hIcon; }

private:
    HICON m_hIcon;
};

bool IsSubsequence(const std::vector<std::wstring>& titles) {
    size_t nNext = 0;
    for (const std::wstring& strTitle : titles) {
        while (nNext < _countof(kTabOrder) && strTitle != kTabOrder[nNext]) ++nNext;
        if (nNext == _countof(kTabOrder)) return false;
        ++nNext;
    }
    return true;
}

// The user's side of one CPL_DBLCLK: runs on its own thread while the main
// thread sits in the sheet's modal loop.
class CDriver {
public:
    CDriver(wt::CChecks& checks, const CSimulator& simulator, const CScenario& scenario,
            DWORD dwHostThread, HANDLE hDblClkDone)
        : m_checks(checks),
          m_simulator(simulator),
          m_scenario(scenario),
          m_dwHostThread(dwHostThread),
          m_hDblClkDone(hDblClkDone) {}

    void Run() {
        if (!m_scenario.m_bForeign || AnswerForeignSystemMessage()) DriveSheet();
        CloseEverything();
    }

private:
    bool AnswerForeignSystemMessage() {
        HWND hBox = nullptr;
        bool bShown = wt::WaitFor(kWaitMs, [&] {
            hBox = wt::FindDialog(m_dwHostThread, false, nullptr);
            return hBox != nullptr || wt::FindDialog(m_dwHostThread, true, nullptr) != nullptr;
        });
        if (!m_checks.Check(bShown && hBox, "type %lu: message box before the sheet",
                            static_cast<unsigned long>(m_scenario.m_nType))) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return false;
        }
        std::wstring strCaption = wt::WindowText(hBox);
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strCaption == L"Control Center",
                       "message box caption \"Control Center\" (saw \"%s\")",
                       wt::Utf8(strCaption).c_str());
        m_checks.Check(strText == kNotADevice, "message box text \"%s\" (saw \"%s\")",
                       wt::Utf8(kNotADevice).c_str(), wt::Utf8(strText).c_str());
        HWND hOk = ::GetDlgItem(hBox, IDOK);
        bool bOnlyOk = hOk && ::IsWindowVisible(hOk);
        for (int nId : {IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE}) {
            HWND hButton = ::GetDlgItem(hBox, nId);
            if (hButton && ::IsWindowVisible(hButton)) bOnlyOk = false;
        }
        m_checks.Check(bOnlyOk, "message box has only an OK button");
        m_checks.Check(wt::FindDialog(m_dwHostThread, true, nullptr) == nullptr,
                       "no sheet while the message box is open");
        ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(hOk));
        return m_checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hBox); }),
                              "message box closes with OK");
    }

    void DriveSheet() {
        HWND hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(hSheet != nullptr, "type %lu: the sheet opens",
                            static_cast<unsigned long>(m_scenario.m_nType))) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return;
        }
        std::wstring strSeen = wt::WindowText(hSheet);
        m_checks.Check(strSeen == m_scenario.m_pszCaption, "sheet caption \"%s\" (saw \"%s\")",
                       wt::Utf8(m_scenario.m_pszCaption).c_str(), wt::Utf8(strSeen).c_str());

        std::vector<std::wstring> titles = wt::TabTitles(hSheet);
        std::string strTitles = wt::JoinTitles(titles);
        auto itTemperatures = std::find(titles.begin(), titles.end(), L"Temperaturen");
        m_checks.Check(itTemperatures != titles.end(), "tab \"Temperaturen\" is there (tabs: %s)",
                       strTitles.c_str());
        m_checks.Check(IsSubsequence(titles), "tabs in the sheet's order (tabs: %s)",
                       strTitles.c_str());
        bool bRavla = std::find(titles.begin(), titles.end(), L"Ravla") != titles.end();
        if (!m_scenario.m_bRavla) m_checks.Check(!bRavla, "no \"Ravla\" tab on a Ferrow");
        m_checks.Check(wt::CurrentTab(hSheet) == 0, "the first tab is shown first");
        m_checks.Check(!titles.empty() && titles[0] == L"Display", "the first tab is \"Display\"");
        if (itTemperatures == titles.end()) return;
        int nTemperatures = static_cast<int>(itTemperatures - titles.begin());

        HWND hPage = wt::SelectTab(hSheet, nTemperatures, kWaitMs);
        if (!m_checks.Check(hPage != nullptr && ::GetDlgItem(hPage, kIdCpuTemperature) != nullptr,
                            "tab \"Temperaturen\" is active and its page has edit %d",
                            kIdCpuTemperature))
            return;
        CheckTemperaturePage(hPage);

        // A changed device value shows at the next refresh.
        m_simulator.m_pfnSet("temperature.cpu", m_scenario.m_pszCpuLater);
        m_simulator.m_pfnSet("temperature.io", m_scenario.m_pszBoardLater);
        ExpectEditShows(hPage, kIdCpuTemperature, m_scenario.m_pszCpuLater, kRefreshWaitMs,
                        "CPU edit follows the device");
        ExpectEditShows(hPage, kIdBoardTemperature, m_scenario.m_pszBoardLater, kRefreshWaitMs,
                        "board I/O edit follows the device");

        if (titles.size() > 1) CheckNoReadsWhileHidden(hSheet, nTemperatures);
    }

    void CheckTemperaturePage(HWND hPage) {
        ExpectEditShows(hPage, kIdCpuTemperature, m_simulator.Get("temperature.cpu").c_str(),
                        kWaitMs, "CPU edit shows the device's temperature");
        ExpectEditShows(hPage, kIdBoardTemperature, m_simulator.Get("temperature.io").c_str(),
                        kWaitMs, "board I/O edit shows the device's temperature");
        for (int nId : {kIdCpuTemperature, kIdBoardTemperature}) {
            LONG nStyle = ::GetWindowLongW(::GetDlgItem(hPage, nId), GWL_STYLE);
            m_checks.Check((nStyle & ES_READONLY) && (nStyle & ES_RIGHT),
                           "edit %d is read-only and right-aligned", nId);
        }
        int nDegrees = 0;
        bool bCpuLabel = false;
        for (HWND hChild : wt::ChildWindows(hPage)) {
            std::wstring strText = wt::WindowText(hChild);
            if (strText == kDegrees) ++nDegrees;
            if (strText == L"CPU intern:") bCpuLabel = true;
        }
        m_checks.Check(nDegrees == 2 && bCpuLabel, "labels \"CPU intern:\" and two \"%s\" (saw %d)",
                       wt::Utf8(kDegrees).c_str(), nDegrees);
    }

    // While another page is shown, the temperatures are not read; coming
    // back shows the current values at once.
    void CheckNoReadsWhileHidden(HWND hSheet, int nTemperatures) {
        int nOther = nTemperatures == 0 ? 1 : 0;
        if (!wt::SelectTab(hSheet, nOther, kWaitMs)) {
            m_checks.Check(false, "switch to tab %d", nOther);
            return;
        }
        m_simulator.m_pfnClearCallLog();
        m_simulator.m_pfnSet("temperature.cpu", "12");
        ::Sleep(2500);  // more than two refresh periods
        std::string strLog = m_simulator.CallLog();
        m_checks.Check(strLog.find("IvroGetTemperature") == std::string::npos,
                       "no temperature reads while another page is shown");
        HWND hPage = wt::SelectTab(hSheet, nTemperatures, kWaitMs);
        m_checks.Check(hPage && wt::ControlText(hPage, kIdCpuTemperature) == L"12",
                       "coming back shows the new temperature at once (saw \"%s\")",
                       hPage ? wt::Utf8(wt::ControlText(hPage, kIdCpuTemperature)).c_str() : "");
    }

    void ExpectEditShows(HWND hPage, int nId, const char* pszExpected, DWORD dwWaitMs,
                         const char* pszWhat) {
        std::wstring strExpected = wt::Wide(pszExpected);
        std::wstring strSeen;
        bool bShown = wt::WaitFor(dwWaitMs, [&] {
            strSeen = wt::ControlText(hPage, nId);
            return strSeen == strExpected;
        });
        m_checks.Check(bShown, "%s: edit %d shows \"%s\" (saw \"%s\")", pszWhat, nId, pszExpected,
                       wt::Utf8(strSeen).c_str());
    }

    // Cancel on the sheet; anything else the host thread shows is cancelled
    // too (and reported), so CPL_DBLCLK can return.
    void CloseEverything() {
        HWND hSheet = wt::FindDialog(m_dwHostThread, true, nullptr);
        if (hSheet) {
            ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            m_checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                           "the sheet closes with Cancel");
        }
        bool bDone = wt::WaitFor(kWaitMs, [&] {
            if (::WaitForSingleObject(m_hDblClkDone, 0) == WAIT_OBJECT_0) return true;
            for (HWND hWnd : wt::TopLevelWindows(m_dwHostThread)) {
                if (!wt::IsDialog(hWnd)) continue;
                m_checks.Check(false, "unexpected window \"%s\" is open; cancelling it",
                               wt::Utf8(wt::WindowText(hWnd)).c_str());
                wt::DumpWindows(m_checks, m_dwHostThread);
                if (wt::IsSheet(hWnd))
                    ::PostMessageW(hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
                else
                    ::PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
                ::Sleep(500);
            }
            return false;
        });
        if (!bDone) {
            // The host thread is stuck in the applet: end with what we know.
            m_checks.Check(false, "CPL_DBLCLK did not return");
            wt::DumpWindows(m_checks, m_dwHostThread);
            std::_Exit(m_checks.Finish());
        }
    }

    wt::CChecks& m_checks;
    const CSimulator& m_simulator;
    const CScenario& m_scenario;
    DWORD m_dwHostThread;
    HANDLE m_hDblClkDone;
};

void CheckIdentity(wt::CChecks& checks, PFN_CPLAPPLET pfnApplet, HWND hHost,
                   const CScenario& scenario) {
    unsigned long nType = scenario.m_nType;
    CPLINFO info;
    std::memset(&info, 0xCC, sizeof(info));
    LONG nResult = pfnApplet(hHost, CPL_INQUIRE, 0, reinterpret_cast<LPARAM>(&info));
    checks.Check(nResult == 1 && info.idIcon == scenario.m_nInquireIcon &&
                     info.idName == scenario.m_nInquireName &&
                     info.idInfo == scenario.m_nInquireInfo && info.lData == 0,
                 "type %lu: CPL_INQUIRE gives icon %d, name %d, info %d (saw %ld: %d, %d, %d)",
                 nType, scenario.m_nInquireIcon, scenario.m_nInquireName, scenario.m_nInquireInfo,
                 static_cast<long>(nResult), info.idIcon, info.idName, info.idInfo);

    NEWCPLINFOW newInfo;
    std::memset(&newInfo, 0xCC, sizeof(newInfo));
    nResult = pfnApplet(hHost, CPL_NEWINQUIRE, 0, reinterpret_cast<LPARAM>(&newInfo));
    CIcon icon(newInfo.hIcon);
    bool bNameEnded = std::find(newInfo.szName, newInfo.szName + 32, L'\0') != newInfo.szName + 32;
    bool bInfoEnded = std::find(newInfo.szInfo, newInfo.szInfo + 64, L'\0') != newInfo.szInfo + 64;
    std::wstring strName = bNameEnded ? newInfo.szName : L"(unterminated)";
    std::wstring strInfo = bInfoEnded ? newInfo.szInfo : L"(unterminated)";
    checks.Check(nResult == 1, "type %lu: CPL_NEWINQUIRE returns 1 (saw %ld)", nType,
                 static_cast<long>(nResult));
    checks.Check(newInfo.dwSize == sizeof(NEWCPLINFOW), "type %lu: dwSize is %u (saw %lu)", nType,
                 static_cast<unsigned>(sizeof(NEWCPLINFOW)),
                 static_cast<unsigned long>(newInfo.dwSize));
    checks.Check(strName == scenario.m_pszName, "type %lu: name \"%s\" (saw \"%s\")", nType,
                 wt::Utf8(scenario.m_pszName).c_str(), wt::Utf8(strName).c_str());
    checks.Check(strInfo == scenario.m_pszInfo, "type %lu: description \"%s\" (saw \"%s\")", nType,
                 wt::Utf8(scenario.m_pszInfo).c_str(), wt::Utf8(strInfo).c_str());
    checks.Check(newInfo.dwFlags == 0 && newInfo.dwHelpContext == 0 && newInfo.lData == 0 &&
                     newInfo.szHelpFile[0] == L'\0',
                 "type %lu: flags, help context, data and help file are cleared", nType);

    int nIconSize = 0;
    ICONINFO iconInfo = {};
    if (icon.Get() && ::GetIconInfo(icon.Get(), &iconInfo)) {
        wt::CGdiObject color(iconInfo.hbmColor);
        wt::CGdiObject mask(iconInfo.hbmMask);
        BITMAP bitmap = {};
        if (::GetObjectW(iconInfo.hbmColor ? iconInfo.hbmColor : iconInfo.hbmMask, sizeof(bitmap),
                         &bitmap))
            nIconSize = bitmap.bmWidth;
    }
    checks.Check(icon.Get() != nullptr && nIconSize == 48,
                 "type %lu: hIcon is a 48 x 48 icon (saw %p, %d)", nType,
                 static_cast<void*>(icon.Get()), nIconSize);
}

void RunScenario(wt::CChecks& checks, PFN_CPLAPPLET pfnApplet, const CSimulator& simulator,
                 HWND hHost, const CScenario& scenario) {
    unsigned long nType = scenario.m_nType;
    if (!checks.Check(simulator.m_pfnLoadProfileText(scenario.m_pszProfile) != FALSE,
                      "type %lu: simulator profile loaded", nType))
        return;
    checks.Check(pfnApplet(hHost, CPL_INIT, 0, 0) == 1, "type %lu: CPL_INIT gives 1", nType);
    checks.Check(pfnApplet(hHost, CPL_INIT, 0, 0) == 0, "type %lu: second CPL_INIT gives 0", nType);
    checks.Check(pfnApplet(hHost, CPL_GETCOUNT, 0, 0) == 1, "type %lu: CPL_GETCOUNT gives 1",
                 nType);
    CheckIdentity(checks, pfnApplet, hHost, scenario);

    LONG nResult =
        wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE hDone) {
            CDriver(checks, simulator, scenario, dwHostThread, hDone).Run();
        });
    checks.Check(nResult == 1, "type %lu: CPL_DBLCLK returns 1 after the sheet closed (saw %ld)",
                 nType, static_cast<long>(nResult));
    checks.Check(pfnApplet(hHost, CPL_EXIT, 0, 0) == 1, "type %lu: CPL_EXIT gives 1", nType);
}

// ---------------------------------------------------------------- Display page

const int kIdBrightnessField = 1164;
const int kIdBrightnessSlider = 1154;
const int kIdBrightnessUp = 1172;
const int kIdContrastUp = 1176;
const char kDisplayProfile[] =
    "[device]\ntype = 4\n[display]\nbrightness = 70\nbrightness_default = 70\n"
    "brightness_factory = 90\ncontrast = 55\ncontrast_default = 55\ncontrast_factory = 60\n";

// Moves a slider as a user's drag would: the position, then the page's
// scroll notifications.
void DragSlider(HWND hPage, int nId, int nPos) {
    HWND hSlider = ::GetDlgItem(hPage, nId);
    ::SendMessageW(hSlider, TBM_SETPOS, TRUE, nPos);
    ::SendMessageW(hPage, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, nPos),
                   reinterpret_cast<LPARAM>(hSlider));
    ::SendMessageW(hPage, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0),
                   reinterpret_cast<LPARAM>(hSlider));
}

// Works the Display page of one sheet run from a second thread: the slider,
// an arrow click and a held arrow, then OK or Cancel.
void DriveDisplay(wt::CChecks& checks, const CSimulator& simulator, DWORD dwHostThread, bool bOk) {
    const char* pszClose = bOk ? "OK" : "Cancel";
    HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
    if (!checks.Check(hSheet != nullptr, "display (%s): the sheet opens", pszClose)) return;
    HWND hPage = wt::CurrentPage(hSheet);
    std::wstring strTitle = hPage ? wt::WindowText(hPage) : std::wstring();
    checks.Check(wt::CurrentTab(hSheet) == 0 && strTitle == L"Display",
                 "display (%s): the sheet opens on \"Display\" (saw \"%s\")", pszClose,
                 wt::Utf8(strTitle).c_str());
    if (!hPage || !::GetDlgItem(hPage, kIdBrightnessField)) return;
    checks.Check(wt::ControlText(hPage, kIdBrightnessField) == L"70",
                 "display (%s): the brightness field shows the device's 70", pszClose);

    DragSlider(hPage, kIdBrightnessSlider, 42);
    std::string strLog = simulator.CallLog();
    checks.Check(simulator.Get("display.brightness") == "42" &&
                     strLog.find("IvroSetBrightness value=42 -> 1") != std::string::npos,
                 "display (%s): moving the slider sets the brightness 42 (device: %s)", pszClose,
                 simulator.Get("display.brightness").c_str());
    checks.Check(wt::ControlText(hPage, kIdBrightnessField) == L"42",
                 "display (%s): the field follows the slider", pszClose);

    if (!bOk) {
        ::SendMessageW(::GetDlgItem(hPage, kIdContrastUp), BM_CLICK, 0, 0);
        checks.Check(simulator.Get("display.contrast") == "56",
                     "display: the contrast arrow steps the device to 56 (device: %s)",
                     simulator.Get("display.contrast").c_str());
        // Held well beyond the keyboard delay: steps of its own, then the click.
        HWND hUp = ::GetDlgItem(hPage, kIdBrightnessUp);
        ::SendMessageW(hUp, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        ::Sleep(2500);
        ::SendMessageW(hUp, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        int nBrightness = std::atoi(simulator.Get("display.brightness").c_str());
        checks.Check(nBrightness > 43 && nBrightness <= 100,
                     "display: a held arrow steps the brightness more than once (42 -> %d)",
                     nBrightness);
        std::wstring strField = wt::ControlText(hPage, kIdBrightnessField);
        checks.Check(strField == wt::Wide(std::to_string(nBrightness)),
                     "display: the field shows the device's brightness (saw \"%s\")",
                     wt::Utf8(strField).c_str());
    }
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, bOk ? PSBTN_OK : PSBTN_CANCEL, 0);
    checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                 "display: the sheet closes with %s", pszClose);
}

void RunDisplay(wt::CChecks& checks, PFN_CPLAPPLET pfnApplet, const CSimulator& simulator,
                HWND hHost, bool bOk) {
    if (!checks.Check(simulator.m_pfnLoadProfileText(kDisplayProfile) != FALSE,
                      "display: simulator profile loaded"))
        return;
    pfnApplet(hHost, CPL_INIT, 0, 0);
    simulator.m_pfnClearCallLog();
    wt::DoubleClickApplet(
        checks, pfnApplet, hHost,
        [&](DWORD dwHostThread, HANDLE) { DriveDisplay(checks, simulator, dwHostThread, bOk); },
        "display: CPL_DBLCLK did not return");

    std::string strLog = simulator.CallLog();
    if (bOk) {
        checks.Check(simulator.Get("display.brightness_default") == "42" &&
                         strLog.find("IvroSetDefaultBrightness value=42 -> 1") != std::string::npos,
                     "display: OK stores the last brightness set, 42, as the default (saw %s)",
                     simulator.Get("display.brightness_default").c_str());
        checks.Check(strLog.find("IvroSetDefaultContrast") == std::string::npos,
                     "display: OK stores no contrast default when none was set");
        checks.Check(simulator.Get("display.brightness") == "42",
                     "display: the brightness stays 42 after OK");
    } else {
        checks.Check(simulator.Get("display.brightness") == "70" &&
                         simulator.Get("display.contrast") == "55",
                     "display: Cancel puts back brightness 70 and contrast 55 (saw %s and %s)",
                     simulator.Get("display.brightness").c_str(),
                     simulator.Get("display.contrast").c_str());
        checks.Check(strLog.find("IvroSetDefault") == std::string::npos,
                     "display: Cancel stores no defaults");
    }
    pfnApplet(hHost, CPL_EXIT, 0, 0);
}

// ---------------------------------------------------------------- policies

// A policy of the template as Group Policy applies it: a REG_DWORD below
// HKEY_CURRENT_USER.
struct CTemplatePolicy {
    std::string m_strKey;
    std::string m_strValue;
    long m_nEnabled = -1;
    long m_nDisabled = -1;
};

// What each value the applet reads does on the sheet; UseWmi shows in the device.
struct CPolicyEffect {
    const char* m_pszValue;
    const wchar_t* m_pszPage;
    std::vector<int> m_controls;  // stay disabled while the policy is enabled
};

const char kUseWmi[] = "UseWmi";
const CPolicyEffect kPolicyEffects[] = {
    {"DisableFirmwareUpdate", L"Versionen", {IDC_VER_FPGA_UPDATE, IDC_VER_FPGA1_UPDATE}},
    {"DisableFirmwareUpdate", L"Ravla", {IDC_RAVLA1_UPDATE, IDC_RAVLA2_UPDATE}},
    {"DisableBiosUpdate", L"Versionen", {IDC_VER_BIOS_UPDATE}},
    {"DisableKcfUpdate", L"Tasten", {IDC_KEY_UPDATE}},
    {"DisableKeyLock", L"Tasten", {IDC_KEY_LOCK}},
    {"DisableUserlogoUpdate", L"Anwendereinstellungen", {IDC_USER_LOGO_UPDATE}},
};
// A Marlet with every part whose button a policy holds.
const char kPolicyProfile[] =
    "[device]\ntype = 4\n[parts]\nfpga1 = yes\nravla1 = yes\nravla2 = yes\n"
    "[firmware]\n11 = 131072\n15 = 5\n[version]\n3 = \"FPGA1 STN 1.00\"\n"
    "[temperature]\ndrift = 0\n";

// An attribute of the element text that starts at nFrom, "" if it has none.
std::string XmlAttribute(const std::string& strXml, size_t nFrom, const char* pszName) {
    const size_t nEnd = strXml.find('>', nFrom);
    for (const char* pszBefore : {" ", "\n", "\r", "\t"}) {
        const std::string strHead = pszBefore + std::string(pszName) + "=\"";
        size_t nAt = strXml.find(strHead, nFrom);
        if (nAt == std::string::npos || nAt > nEnd) continue;
        nAt += strHead.size();
        return strXml.substr(nAt, strXml.find('"', nAt) - nAt);
    }
    return "";
}

long DecimalIn(const std::string& strBlock, const char* pszElement) {
    size_t nAt = strBlock.find(std::string("<") + pszElement + ">");
    nAt = nAt == std::string::npos ? nAt : strBlock.find("<decimal ", nAt);
    if (nAt == std::string::npos) return -1;
    const std::string strValue = XmlAttribute(strBlock, nAt, "value");
    return strValue.empty() ? -1 : std::atol(strValue.c_str());
}

// The policies of the shipped template, read from the source tree.
std::vector<CTemplatePolicy> ReadTemplatePolicies() {
    std::wstring strPath = L"Z:" + wt::Wide(TM_POLICY_ADMX);
    std::replace(strPath.begin(), strPath.end(), L'/', L'\\');
    std::vector<BYTE> abFile = wt::ReadWholeFile(strPath);
    const std::string strXml(abFile.begin(), abFile.end());
    std::vector<CTemplatePolicy> policies;
    for (size_t nAt = strXml.find("<policy "); nAt != std::string::npos;
         nAt = strXml.find("<policy ", nAt + 1)) {
        const std::string strBlock = strXml.substr(nAt, strXml.find("</policy>", nAt) - nAt);
        CTemplatePolicy policy;
        policy.m_strKey = XmlAttribute(strBlock, 0, "key");
        policy.m_strValue = XmlAttribute(strBlock, 0, "valueName");
        policy.m_nEnabled = DecimalIn(strBlock, "enabledValue");
        policy.m_nDisabled = DecimalIn(strBlock, "disabledValue");
        policies.push_back(policy);
    }
    return policies;
}

// Writes each policy's value (enabled or disabled) as Group Policy does.
bool WritePolicies(const std::vector<CTemplatePolicy>& policies, bool bEnabled) {
    bool bWritten = true;
    for (const CTemplatePolicy& policy : policies) {
        HKEY hKey = nullptr;
        const DWORD dwValue = static_cast<DWORD>(bEnabled ? policy.m_nEnabled : policy.m_nDisabled);
        bWritten =
            ::RegCreateKeyExW(HKEY_CURRENT_USER, wt::Wide(policy.m_strKey).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &hKey, nullptr) == ERROR_SUCCESS &&
            ::RegSetValueExW(hKey, wt::Wide(policy.m_strValue).c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&dwValue),
                             sizeof(dwValue)) == ERROR_SUCCESS &&
            bWritten;
        if (hKey) ::RegCloseKey(hKey);
    }
    return bWritten;
}

void RemovePolicies(const std::vector<CTemplatePolicy>& policies) {
    for (const CTemplatePolicy& policy : policies)
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, wt::Wide(policy.m_strKey).c_str(),
                             wt::Wide(policy.m_strValue).c_str());
}

void DrivePolicies(wt::CChecks& checks, const CSimulator& simulator, DWORD dwHostThread,
                   bool bEnabled) {
    const char* pszState = bEnabled ? "enabled" : "disabled";
    HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
    if (!checks.Check(hSheet != nullptr, "policies %s: the sheet opens", pszState)) return;
    checks.Check(simulator.Get("device.wmi_mode") == (bEnabled ? "1" : "0"),
                 "policies %s: the library is %son its WMI path while the sheet is open", pszState,
                 bEnabled ? "" : "not ");
    for (const CPolicyEffect& effect : kPolicyEffects) {
        int nIndex = wt::TabIndex(hSheet, effect.m_pszPage);
        HWND hPage = nIndex < 0 ? nullptr : wt::SelectTab(hSheet, nIndex, kWaitMs);
        bool bShown = hPage && wt::WaitFor(kWaitMs, [&] {
                          return wt::WindowText(hPage) == effect.m_pszPage;
                      });
        if (!checks.Check(bShown, "policies %s: page \"%s\" is shown", pszState,
                          wt::Utf8(effect.m_pszPage).c_str()))
            continue;
        for (int nId : effect.m_controls) {
            const bool bUsable = ::IsWindowEnabled(::GetDlgItem(hPage, nId)) != FALSE;
            checks.Check(bUsable != bEnabled, "policies %s: %s: control %d on \"%s\" is %s",
                         pszState, effect.m_pszValue, nId, wt::Utf8(effect.m_pszPage).c_str(),
                         bEnabled ? "grey" : "usable");
        }
    }
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    checks.Check(wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); }),
                 "policies %s: the sheet closes with Cancel", pszState);
}

void RunPolicies(wt::CChecks& checks, PFN_CPLAPPLET pfnApplet, const CSimulator& simulator,
                 HWND hHost) {
    const std::vector<CTemplatePolicy> policies = ReadTemplatePolicies();
    if (!checks.Check(!policies.empty(), "policies: the template %s has policies", TM_POLICY_ADMX))
        return;
    for (const CTemplatePolicy& policy : policies) {
        bool bKnown = policy.m_strValue == kUseWmi;
        for (const CPolicyEffect& effect : kPolicyEffects)
            bKnown = bKnown || policy.m_strValue == effect.m_pszValue;
        checks.Check(bKnown && policy.m_nEnabled >= 0 && policy.m_nDisabled >= 0,
                     "policies: %s\\%s writes a decimal when enabled and disabled, and this test "
                     "knows its effect",
                     policy.m_strKey.c_str(), policy.m_strValue.c_str());
    }
    for (bool bEnabled : {true, false}) {
        const char* pszState = bEnabled ? "enabled" : "disabled";
        if (!checks.Check(WritePolicies(policies, bEnabled),
                          "policies %s: the values are written into HKEY_CURRENT_USER", pszState) ||
            !checks.Check(simulator.m_pfnLoadProfileText(kPolicyProfile) != FALSE,
                          "policies %s: simulator profile loaded", pszState))
            break;
        pfnApplet(hHost, CPL_INIT, 0, 0);
        wt::DoubleClickApplet(
            checks, pfnApplet, hHost,
            [&](DWORD dwHostThread, HANDLE) {
                DrivePolicies(checks, simulator, dwHostThread, bEnabled);
            },
            "policies: CPL_DBLCLK did not return");
        checks.Check(simulator.Get("device.wmi_mode") == "0",
                     "policies %s: the library is off its WMI path after the sheet closed",
                     pszState);
        pfnApplet(hHost, CPL_EXIT, 0, 0);
    }
    RemovePolicies(policies);
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!checks.Check(applet.m_library.Get() != nullptr, "LoadLibraryW(%s) (last error %lu)",
                      wt::Utf8(wt::kAppletPath).c_str(),
                      static_cast<unsigned long>(applet.m_library.Error())))
        return checks.Finish();
    const PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    const CSimulator& simulator = applet.m_simulator;
    checks.Check(pfnApplet != nullptr, "CPlApplet is exported");
    checks.Check(applet.m_bBound, "the simulator's control functions are there");
    if (!pfnApplet || !applet.m_bBound) return checks.Finish();

    wt::CHostWindow host;
    for (const CScenario& scenario : kScenarios)
        RunScenario(checks, pfnApplet, simulator, host.Get(), scenario);
    RunDisplay(checks, pfnApplet, simulator, host.Get(), true);
    RunDisplay(checks, pfnApplet, simulator, host.Get(), false);
    RunPolicies(checks, pfnApplet, simulator, host.Get());
    return checks.Finish();
}
