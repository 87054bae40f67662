// The device pages of the real TmRoveVodore.cpl under Wine, on the
// simulator's default Marlet and on a Ferrow: the main thread plays the
// Control Panel host (CPL_DBLCLK), a driver thread works the real windows.
// Every page must show the simulator's values; switching an LED and the
// user LED reach the simulator and Cancel puts them back, with the key layer
// the LEDs page's automatic layer change set; never a layer the device lacks
// is sent; a boot logo and a
// Ravla slot firmware go through Wine's Open dialog and the transfer dialog.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "simulator/SimTransferFile.h"
#include "simulator/TmIvroSim.h"
#include "tests/wine/WineTest.h"

namespace {

const wchar_t kFileDir[] = L"C:\\PagesTest";
// Wine's file dialogs take a few seconds the first time; every wait is bounded.
const DWORD kWaitMs = 20000;
const DWORD kKindRavlaSlot1 = 9;
const DWORD kKindUserLogo = 12;
const int kLedButtons[] = {IDC_LED_OFF, IDC_LED_SLOW, IDC_LED_FAST, IDC_LED_ON};

// A Ferrow: service mode, factory data without material number, user LED on.
const char kFerrowProfile[] =
    "[device]\ntype = 5\n"
    "[parts]\nfpga1 = yes\nravla1 = no\nravla2 = no\n"
    "[temperature]\ndrift = 0\n"
    "[switches]\nmode_node = 0x00\n"
    "[factory]\nvalue.1 = 5\nvalue.2 = 0x2C3D\nvalue.3 = 0x21\nvalue.4 = 0x07\nvalue.5 = 0x0A\n"
    "value.6 = 0x46\nvalue.7 = 0x5A\nvalue.8 = 0x14\nvalue.9 = 0x37\nvalue.10 = 0x3C\n"
    "value.14 = absent\n"
    "[leds]\ncount = 12\n"
    "[user]\nled = 3\nserial_id = 6699\nlogo_text.0 = \"FERROW.BMP\"\nlogo_value.1 = 0x103\n"
    "[transfer]\nduration = 0\n";

struct CDevice {
    const char* m_pszName;
    const char* m_pszProfile;  // nullptr: the simulator's default device
    DWORD m_nType;
    std::vector<std::wstring> m_tabs;
};

const CDevice kDevices[] = {
    {"Marlet",
     nullptr,
     4,
     {L"Display", L"Tasten", L"LEDs", L"Schalter", L"Ravla", L"Temperaturen",
      L"Anwendereinstellungen", L"Fabrikseinstellungen", L"Versionen", L"Bericht"}},
    {"Ferrow",
     kFerrowProfile,
     5,
     {L"Display", L"Tasten", L"LEDs", L"Schalter", L"Temperaturen", L"Anwendereinstellungen",
      L"Fabrikseinstellungen", L"Versionen", L"Bericht"}},
};

using wt::CSimulator;
using wt::PFN_CPLAPPLET;

std::string Format(const char* pszFormat, unsigned long nValue) {
    char szText[64];
    std::snprintf(szText, sizeof(szText), pszFormat, nValue);
    return szText;
}

// A profile value as a number (decimal or 0x hexadecimal).
unsigned long Number(const std::string& strValue) {
    return std::strtoul(strValue.c_str(), nullptr, 0);
}

// A profile text without its quotes; "absent" and the like stay as they are.
std::string Unquote(const std::string& strValue) {
    if (strValue.size() >= 2 && strValue.front() == '"' && strValue.back() == '"')
        return strValue.substr(1, strValue.size() - 2);
    return strValue;
}

// The state of LED n in a layer's matrix as the profile writes it ("03 00 ...").
int LedState(const std::string& strMatrix, unsigned nLed) {
    std::vector<unsigned> bytes;
    for (size_t i = 0; i + 1 < strMatrix.size(); ++i) {
        if (strMatrix[i] == ' ') continue;
        bytes.push_back(
            static_cast<unsigned>(std::strtoul(strMatrix.substr(i, 2).c_str(), nullptr, 16)));
        ++i;
    }
    if (nLed / 4 >= bytes.size()) return -1;
    return static_cast<int>((bytes[nLed / 4] >> (2 * (nLed % 4))) & 3);
}

bool IsChecked(HWND hPage, int nId) {
    DWORD_PTR nResult = 0;
    ::SendMessageTimeoutW(::GetDlgItem(hPage, nId), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000,
                          &nResult);
    return nResult == BST_CHECKED;
}

bool IsEnabled(HWND hPage, int nId) {
    return ::IsWindowEnabled(::GetDlgItem(hPage, nId)) != FALSE;
}

bool IsMessageBox(HWND hWnd) {
    return ::GetDlgItem(hWnd, wt::kIdMessageText) != nullptr && !wt::IsFileDialog(hWnd);
}

// Writes a transfer file the device of the profile accepts: its kind, its
// device type and one version above what the device holds.
bool WriteTransferFile(const std::wstring& strPath, DWORD nKind, DWORD nType, DWORD nVersion) {
    std::vector<tmsim::Byte> abFile = tmsim::BuildTransferFile(
        nKind, nType, nVersion, tmsim::SampleTransferData(nKind, nVersion, 4096));
    wt::CFile file(strPath);
    return file.IsOpen() && file.Write(abFile.data(), static_cast<DWORD>(abFile.size()));
}

// The user's side of one sheet run on one device.
class CPagesDriver : private wt::CHostDriver {
public:
    CPagesDriver(wt::CChecks& checks, const CSimulator& simulator, const CDevice& device,
                 DWORD dwHostThread, HANDLE hDblClkDone)
        : CHostDriver(checks, dwHostThread, kWaitMs, device.m_pszName),
          m_sim(simulator),
          m_device(device),
          m_pszName(device.m_pszName),
          m_hDblClkDone(hDblClkDone) {}

    // What the device held before the sheet opened, for the checks after Cancel.
    std::string m_strLedMatrix0;
    std::string m_strUserLed;

    void Run() {
        if (OpenSheet()) {
            CheckSwitches();
            CheckFactory();
            CheckLeds();
            CheckUser();
            if (m_device.m_nType != 5) CheckRavla();
            UpdateBootLogo();
            if (m_device.m_nType != 5) UpdateRavlaSlot1();
        }
        CancelSheet();
        CloseEverything(m_hDblClkDone);
    }

private:
    bool OpenSheet() {
        m_hSheet = wt::WaitForSheet(m_dwHostThread, kWaitMs);
        if (!m_checks.Check(m_hSheet != nullptr, "%s: the sheet opens", m_pszName)) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return false;
        }
        std::vector<std::wstring> titles = wt::TabTitles(m_hSheet);
        return m_checks.Check(titles == m_device.m_tabs, "%s: the tabs (saw %s)", m_pszName,
                              wt::JoinTitles(titles).c_str());
    }

    HWND ActivatePage(const wchar_t* pszTitle) {
        int nIndex = wt::TabIndex(m_hSheet, pszTitle);
        if (nIndex < 0) return nullptr;
        HWND hPage = wt::SelectTab(m_hSheet, nIndex, kWaitMs);
        bool bShown =
            hPage && wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hPage) == pszTitle; });
        m_checks.Check(bShown, "%s: page \"%s\" is shown", m_pszName, wt::Utf8(pszTitle).c_str());
        return bShown ? hPage : nullptr;
    }

    void ExpectText(HWND hPage, int nId, const std::string& strExpected, const char* pszWhat) {
        std::wstring strSeen;
        bool bShown = wt::WaitFor(3000, [&] {
            strSeen = wt::ControlText(hPage, nId);
            return strSeen == wt::Wide(strExpected);
        });
        m_checks.Check(bShown, "%s: %s shows \"%s\" (saw \"%s\")", m_pszName, pszWhat,
                       strExpected.c_str(), wt::Utf8(strSeen).c_str());
    }

    // The radio button that shows the state, -1 for none.
    int ShownLedState(HWND hPage) {
        for (int i = 0; i < 4; ++i)
            if (IsChecked(hPage, kLedButtons[i])) return i;
        return -1;
    }

    // ------------------------------------------------------------ pages

    void CheckSwitches() {
        HWND hPage = ActivatePage(L"Schalter");
        if (!hPage) return;
        unsigned long nPosition = Number(m_sim.Get("switches.mode_node"));
        ExpectText(hPage, IDC_SWITCH_HIGH, Format("%lX", nPosition >> 4), "the x16 digit");
        ExpectText(hPage, IDC_SWITCH_LOW, Format("%lX", nPosition & 15), "the x1 digit");
        ExpectText(hPage, IDC_SWITCH_MEANING, nPosition == 0 ? "Service Modus aktiv!" : "",
                   "the meaning");
        // Turned while the page is shown.
        m_sim.Set("switches.mode_node", "0x5C");
        ExpectText(hPage, IDC_SWITCH_HIGH, "5", "the x16 digit after the switch turned");
        ExpectText(hPage, IDC_SWITCH_LOW, "C", "the x1 digit after the switch turned");
        ExpectText(hPage, IDC_SWITCH_MEANING, "", "the meaning after the switch turned");
    }

    void CheckFactory() {
        HWND hPage = ActivatePage(L"Fabrikseinstellungen");
        if (!hPage) return;
        auto item = [&](int n) {
            return Number(m_sim.Get(("factory.value." + std::to_string(n)).c_str()));
        };
        unsigned long nVersion = item(1);
        ExpectText(hPage, IDC_FACTORY_VERSION, Format("%02lX", nVersion), "the data version");
        ExpectText(hPage, IDC_FACTORY_DEVICE_ID, Format("%04lX", item(2) & 0xFFFF),
                   "the device id");
        ExpectText(hPage, IDC_FACTORY_COMPAT_ID, Format("%02lX", item(3) & 0xFF),
                   "the compatibility id");
        ExpectText(hPage, IDC_FACTORY_DISPLAY_ID, Format("%02lX", item(4)), "the display id");
        ExpectText(hPage, IDC_FACTORY_BRIGHTNESS_MIN, Format("%02lX", item(5)),
                   "the minimum brightness");
        ExpectText(hPage, IDC_FACTORY_BRIGHTNESS_DEF, Format("%02lX", item(6)),
                   "the default brightness");
        ExpectText(hPage, IDC_FACTORY_BRIGHTNESS_MAX, Format("%02lX", item(7)),
                   "the maximum brightness");
        ExpectText(hPage, IDC_FACTORY_CONTRAST_MIN, Format("%02lX", item(8)),
                   "the minimum contrast");
        ExpectText(hPage, IDC_FACTORY_CONTRAST_DEF, Format("%02lX", item(9)),
                   "the default contrast");
        ExpectText(hPage, IDC_FACTORY_CONTRAST_MAX, Format("%02lX", item(10)),
                   "the maximum contrast");
        bool bMaterial = nVersion >= 6;
        ExpectText(hPage, IDC_FACTORY_MATERIAL,
                   bMaterial ? Unquote(m_sim.Get("factory.value.14")) : "", "the material number");
        m_checks.Check(IsEnabled(hPage, IDC_FACTORY_MATERIAL) == bMaterial &&
                           IsEnabled(hPage, IDC_FACTORY_MATERIAL_LABEL) == bMaterial,
                       "%s: the material number is %s", m_pszName, bMaterial ? "usable" : "grey");
    }

    void CheckLeds() {
        HWND hPage = ActivatePage(L"LEDs");
        if (!hPage) return;
        int nState = LedState(m_strLedMatrix0, 0);
        m_checks.Check(ShownLedState(hPage) == nState,
                       "%s: LED 0 of layer 1 shows state %d (saw %d)", m_pszName, nState,
                       ShownLedState(hPage));

        // LED 5 of layer 2: the state of device layer 1.
        ::SendMessageW(::GetDlgItem(hPage, IDC_LED_NUMBER), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"5"));
        ::SendMessageW(::GetDlgItem(hPage, IDC_LED_LAYER), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"2"));
        int nLed5 = LedState(m_sim.Get("leds.matrix.1"), 5);
        m_checks.Check(ShownLedState(hPage) == nLed5,
                       "%s: LED 5 of layer 2 shows state %d (saw %d)", m_pszName, nLed5,
                       ShownLedState(hPage));

        // Switching it reaches the device at once.
        int nNew = (nLed5 + 1) % 4;
        m_sim.m_pfnClearCallLog();
        Click(hPage, kLedButtons[nNew]);
        std::string strCall =
            "IvroSetLedState layer=1 led=5 state=" + std::to_string(nNew) + " -> 1";
        bool bSwitched = wt::WaitFor(kWaitMs, [&] {
            return m_sim.CallLog().find(strCall) != std::string::npos &&
                   LedState(m_sim.Get("leds.matrix.1"), 5) == nNew;
        });
        m_checks.Check(bSwitched, "%s: a click switches LED 5 of layer 2 to %d (%s)", m_pszName,
                       nNew, strCall.c_str());
        m_checks.Check(ShownLedState(hPage) == nNew, "%s: the clicked state is shown", m_pszName);
        CheckLayerChange(hPage);
    }

    // The automatic layer change with layer 9 typed: the range prompt; then
    // with all LEDs chosen the layer sent is the last that passed, 2
    // (device 1), never one the device does not have.
    void CheckLayerChange(HWND hPage) {
        Click(hPage, IDC_LED_AUTO_LAYER);
        ::SendMessageW(::GetDlgItem(hPage, IDC_LED_LAYER), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"9"));
        Click(hPage, kLedButtons[3]);
        HWND hBox = WaitDialog(IsMessageBox, "layer 9: the range prompt");
        if (!hBox) return;
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strText == L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.",
                       "%s: layer 9 gets the range prompt (saw \"%s\")", m_pszName,
                       wt::Utf8(strText).c_str());
        Answer(hBox, IDOK);
        if (!WaitGone(hBox, "the range prompt")) return;

        m_sim.m_pfnClearCallLog();
        Click(hPage, IDC_LED_ALL);
        Click(hPage, kLedButtons[3]);
        // A refused layer brings a message instead of the switch.
        HWND hRefused = nullptr;
        wt::WaitFor(kWaitMs, [&] {
            hRefused = FindHostDialog(IsMessageBox);
            return hRefused || m_sim.CallLog().find("IvroSetAllLeds") != std::string::npos;
        });
        std::string strLog = m_sim.CallLog();
        m_checks.Check(!hRefused &&
                           strLog.find("IvroSetKeyLayer layer=1 -> 1") != std::string::npos &&
                           strLog.find("IvroSetAllLeds state=3 -> 1") != std::string::npos,
                       "%s: all LEDs on after the layer change to the last good layer (log: %s)",
                       m_pszName, strLog.c_str());
        if (hRefused) {
            Answer(hRefused, IDOK);
            WaitGone(hRefused, "the message");
        }
        // Back to one LED, in a layer the page can be left with.
        Click(hPage, IDC_LED_ALL);
        ::SendMessageW(::GetDlgItem(hPage, IDC_LED_LAYER), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(L"2"));
    }

    void CheckUser() {
        HWND hPage = ActivatePage(L"Anwendereinstellungen");
        if (!hPage) return;
        ExpectText(hPage, IDC_USER_LOGO_INFO, Unquote(m_sim.Get("user.logo_text.0")),
                   "the logo info");
        unsigned long nMode = Number(m_sim.Get("user.logo_value.1"));
        const char* pszResolution = nMode == 0x101   ? "640x480 (VGA)"
                                    : nMode == 0x103 ? "800x600 (SVGA)"
                                    : nMode == 0x105 ? "1024x768 (XGA)"
                                    : nMode == 0x121 ? "320x240 (QVGA)"
                                                     : "";
        ExpectText(hPage, IDC_USER_LOGO_RESOLUTION, pszResolution, "the logo resolution");
        ExpectText(hPage, IDC_USER_SERIAL_ID, Format("%08lX", Number(m_sim.Get("user.serial_id"))),
                   "the user serial ID");
        bool bOn = m_strUserLed == "3";
        m_checks.Check(IsChecked(hPage, IDC_USER_LED) == bOn, "%s: the user LED box is %s",
                       m_pszName, bOn ? "ticked" : "clear");

        // The LED follows the box at once.
        Click(hPage, IDC_USER_LED);
        std::string strFlipped = bOn ? "0" : "3";
        m_checks.Check(wt::WaitFor(kWaitMs, [&] { return m_sim.Get("user.led") == strFlipped; }),
                       "%s: a click switches the user LED to %s", m_pszName, strFlipped.c_str());
    }

    void CheckRavla() {
        // A material number longer than the 50-byte buffer: 25 characters of it.
        std::string strLong = "RCAN-0200-" + std::string(20, 'L');
        m_sim.Set("ravla.2", ("\"" + strLong + "\"").c_str());
        m_sim.m_pfnClearCallLog();
        HWND hPage = ActivatePage(L"Ravla");
        if (!hPage) return;
        ExpectText(hPage, IDC_RAVLA1_MATERIAL, strLong.substr(0, 25),
                   "slot 1's cut material number");
        m_checks.Check(
            m_sim.CallLog().find("IvroGetRavlaText item=2 size=50 ") != std::string::npos,
            "%s: the material number is read into 50 bytes", m_pszName);
        ExpectText(hPage, IDC_RAVLA2_MATERIAL, Unquote(m_sim.Get("ravla.3")),
                   "slot 2's material number");
        bool bAll = true;
        for (int nId : {IDC_RAVLA1_FIRMWARE, IDC_RAVLA1_UPDATE, IDC_RAVLA1_SAVE,
                        IDC_RAVLA2_FIRMWARE, IDC_RAVLA2_UPDATE, IDC_RAVLA2_SAVE})
            bAll = bAll && IsEnabled(hPage, nId);
        m_checks.Check(bAll, "%s: both slots' buttons are usable", m_pszName);
    }

    // ------------------------------------------------------------ transfers

    // Wine's Open dialog: checks the first filter, types the path, presses Open.
    bool ChooseFile(const std::string& strWhat, const std::wstring& strPath,
                    const wchar_t* pszFirstFilter) {
        HWND hDlg = WaitDialog(wt::IsFileDialog, strWhat);
        if (!hDlg) return false;
        HWND hEdit = wt::FileNameEdit(hDlg);
        if (!m_checks.Check(hEdit != nullptr, "%s: %s has a file name field", m_pszName,
                            strWhat.c_str())) {
            Answer(hDlg, IDCANCEL);
            return false;
        }
        std::wstring strFilter = wt::ComboItem(::GetDlgItem(hDlg, cmb1), 0);
        m_checks.Check(strFilter == pszFirstFilter,
                       "%s: %s: the first filter is \"%s\" (saw \"%s\")", m_pszName,
                       strWhat.c_str(), wt::Utf8(pszFirstFilter).c_str(),
                       wt::Utf8(strFilter).c_str());
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()),
                              SMTO_ABORTIFHUNG, 5000, &nResult);
        Click(hDlg, IDOK);
        return WaitGone(hDlg, strWhat);
    }

    bool FinishDownload(const std::string& strWhat) {
        HWND hDlg = WaitDialog(wt::IsTransferDialog, strWhat + ": the transfer dialog");
        if (!hDlg) return false;
        bool bDone =
            wt::WaitFor(kWaitMs, [&] { return wt::WindowText(hDlg) == L"Download beendet"; });
        if (!m_checks.Check(bDone, "%s: %s: \"Download beendet\" (title \"%s\")", m_pszName,
                            strWhat.c_str(), wt::Utf8(wt::WindowText(hDlg)).c_str())) {
            wt::DumpWindows(m_checks, m_dwHostThread);
            return false;
        }
        Click(hDlg, IDC_TRANSFER_BUTTON);
        return WaitGone(hDlg, strWhat + ": the transfer dialog");
    }

    void UpdateBootLogo() {
        HWND hPage = ActivatePage(L"Anwendereinstellungen");
        if (!hPage) return;
        DWORD nVersion = static_cast<DWORD>(Number(m_sim.Get("transfer.userlogo.version")) + 1);
        std::wstring strPath = std::wstring(kFileDir) + L"\\logo_" + wt::Wide(m_pszName) + L".rom";
        if (!m_checks.Check(WriteTransferFile(strPath, kKindUserLogo, m_device.m_nType, nVersion),
                            "%s: boot logo file written", m_pszName))
            return;
        m_sim.m_pfnClearCallLog();
        Click(hPage, IDC_USER_LOGO_UPDATE);
        if (!ChooseFile("boot logo: the Open dialog", strPath, L"ROM Dateien (*.rom)")) return;
        if (!FinishDownload("boot logo")) return;
        std::string strLog = m_sim.CallLog();
        m_checks.Check(strLog.find("IvroDownloadFile kind=12 ") != std::string::npos &&
                           m_sim.Get("transfer.userlogo.version") == std::to_string(nVersion),
                       "%s: the device holds boot logo version %lu", m_pszName,
                       static_cast<unsigned long>(nVersion));
        ::DeleteFileW(strPath.c_str());

        // Its backup now says first that the device still shows the old logo.
        Click(hPage, IDC_USER_LOGO_SAVE);
        HWND hBox = WaitDialog(IsMessageBox, "\"&Sichern...\" after the download: message 1166");
        if (!hBox) return;
        std::wstring strText = wt::ControlText(hBox, wt::kIdMessageText);
        m_checks.Check(strText == wt::kUpdatedBefore, "%s: message 1166 (saw \"%s\")", m_pszName,
                       wt::Utf8(strText).c_str());
        Answer(hBox, IDOK);
        HWND hSave = WaitDialog(wt::IsFileDialog, "the Save As dialog");
        if (!hSave) return;
        std::wstring strName = wt::WindowText(wt::FileNameEdit(hSave));
        m_checks.Check(strName == L"userlogo.rom",
                       "%s: the backup proposes userlogo.rom (saw \"%s\")", m_pszName,
                       wt::Utf8(strName).c_str());
        Answer(hSave, IDCANCEL);
        WaitGone(hSave, "the Save As dialog");
    }

    void UpdateRavlaSlot1() {
        HWND hPage = ActivatePage(L"Ravla");
        if (!hPage) return;
        DWORD nVersion = static_cast<DWORD>(Number(m_sim.Get("transfer.ravla1.version")) + 1);
        std::string strId = Unquote(m_sim.Get("ravla.4"));
        std::wstring strPath = std::wstring(kFileDir) + L"\\" + wt::Wide(strId) + L"_new.pci";
        if (!m_checks.Check(WriteTransferFile(strPath, kKindRavlaSlot1, m_device.m_nType, nVersion),
                            "%s: slot firmware file written", m_pszName))
            return;
        m_sim.m_pfnClearCallLog();
        Click(hPage, IDC_RAVLA1_UPDATE);
        std::wstring strFilter = wt::Wide(strId + " FPGA Dateien (" + strId + "_*.pci)");
        if (!ChooseFile("slot 1 firmware: the Open dialog", strPath, strFilter.c_str())) return;
        if (!FinishDownload("slot 1 firmware")) return;
        m_checks.Check(m_sim.CallLog().find("IvroDownloadFile kind=9 ") != std::string::npos &&
                           m_sim.Get("transfer.ravla1.version") == std::to_string(nVersion),
                       "%s: the module in slot 1 holds firmware version %lu", m_pszName,
                       static_cast<unsigned long>(nVersion));
        ::DeleteFileW(strPath.c_str());
    }

    // ------------------------------------------------------------ closing

    // Cancel; a download earlier in this module's life asks for a restart: No.
    void CancelSheet() {
        if (!m_hSheet || !::IsWindow(m_hSheet)) return;
        m_sim.m_pfnClearCallLog();
        ::PostMessageW(m_hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        bool bClosed = wt::WaitFor(kWaitMs, [&] {
            if (::WaitForSingleObject(m_hDblClkDone, 0) == WAIT_OBJECT_0) return true;
            HWND hBox = FindHostDialog(IsMessageBox);
            if (hBox && !::IsWindow(m_hSheet) &&
                wt::ControlText(hBox, wt::kIdMessageText) == wt::kAskRestart) {
                Answer(hBox, IDNO);
                ::Sleep(300);
            }
            return false;
        });
        m_checks.Check(bClosed, "%s: the sheet closes with Cancel", m_pszName);
    }

    const CSimulator& m_sim;
    const CDevice& m_device;
    const char* m_pszName;
    HANDLE m_hDblClkDone;
    HWND m_hSheet = nullptr;
};

void RunDevice(wt::CChecks& checks, PFN_CPLAPPLET pfnApplet, const CSimulator& simulator,
               HWND hHost, const CDevice& device) {
    const char* pszName = device.m_pszName;
    simulator.m_pfnReset();
    bool bLoaded =
        device.m_pszProfile ? simulator.m_pfnLoadProfileText(device.m_pszProfile) != FALSE : true;
    bLoaded = bLoaded && simulator.Set("temperature.drift", "0") &&
              simulator.Set("transfer.duration", "0");
    if (!checks.Check(bLoaded, "%s: simulator set up", pszName)) return;
    checks.Check(pfnApplet(hHost, CPL_INIT, 0, 0) == 1, "%s: CPL_INIT gives 1", pszName);

    const std::string strMatrix0 = simulator.Get("leds.matrix.0");
    const std::string strMatrix1 = simulator.Get("leds.matrix.1");
    const std::string strUserLed = simulator.Get("user.led");
    const std::string strKeyLayer = simulator.Get("keys.layer");
    LONG nResult =
        wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE hDone) {
            CPagesDriver driver(checks, simulator, device, dwHostThread, hDone);
            driver.m_strLedMatrix0 = strMatrix0;
            driver.m_strUserLed = strUserLed;
            driver.Run();
        });
    checks.Check(nResult == 1, "%s: CPL_DBLCLK returns 1", pszName);

    // Cancel put back the four LED layers and the user LED.
    std::string strLog = simulator.CallLog();
    int nRestores = 0;
    for (size_t at = strLog.find("IvroSetLedMatrix layer="); at != std::string::npos;
         at = strLog.find("IvroSetLedMatrix layer=", at + 1))
        ++nRestores;
    checks.Check(nRestores == 4, "%s: Cancel writes back all four LED layers (saw %d)", pszName,
                 nRestores);
    checks.Check(simulator.Get("leds.matrix.0") == strMatrix0 &&
                     simulator.Get("leds.matrix.1") == strMatrix1,
                 "%s: the LED layers are as before the sheet opened", pszName);
    checks.Check(
        simulator.Get("user.led") == strUserLed &&
            strLog.find("IvroSetUserLed state=" + strUserLed + " -> 1") != std::string::npos,
        "%s: Cancel puts the user LED back to %s (saw %s)", pszName, strUserLed.c_str(),
        simulator.Get("user.led").c_str());
    // The Keys page was never shown; the LEDs page changed the layer.
    checks.Check(
        simulator.Get("keys.layer") == strKeyLayer &&
            strLog.find("IvroSetKeyLayer layer=" + strKeyLayer + " -> 1") != std::string::npos,
        "%s: Cancel puts the key layer back to %s (saw %s)", pszName, strKeyLayer.c_str(),
        simulator.Get("keys.layer").c_str());
    checks.Check(pfnApplet(hHost, CPL_EXIT, 0, 0) == 1, "%s: CPL_EXIT gives 1", pszName);
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();

    ::CreateDirectoryW(kFileDir, nullptr);
    wt::CHostWindow host;
    for (const CDevice& device : kDevices)
        RunDevice(checks, applet.m_pfnApplet, applet.m_simulator, host.Get(), device);

    // The file dialogs made the folder the current directory.
    wchar_t szSystem[MAX_PATH] = L"";
    if (::GetSystemDirectoryW(szSystem, MAX_PATH)) ::SetCurrentDirectoryW(szSystem);
    checks.Check(::RemoveDirectoryW(kFileDir) != FALSE, "test folder removed");
    return checks.Finish();
}
