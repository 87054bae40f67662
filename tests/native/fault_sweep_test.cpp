// The fault sweep: every device operation fails with each error class, always
// and once after a good call, while a user works the whole sheet. What each
// run must show and what it showed: the head and the table of docs/faults.md,
// which the sweep checks; to write it anew:
//   TM_FAULTS_DOC_UPDATE=1 build/native/tests/native/tm_tests --gtest_filter='FaultSweep.*'
#include <cpl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "PageTestSheet.h"
#include "ReportTestEnv.h"
#include "applet/ErrorText.h"
#include "res/resource.h"
#include "simulator/SimProfile.h"
#include "simulator/SimTransferFile.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

// One code of each class the applet tells apart (ErrorTextTest maps every
// code): nothing there, not supported, time-out (shown as 1460), busy, other.
const DWORD kCodes[] = {2, 50, 121, 170, 87};
const wchar_t kDir[] = L"C:\\Sweep";
const wchar_t kFpgaFile[] = L"C:\\Sweep\\fpga_new.pci";

// A logged call; call is "IvroGetFactoryValue item=5 size=4 ", with a blank at the end.
struct Call {
    std::string op, call;
    bool ok;
    DWORD error;
};

std::vector<Call> CallLog() {
    std::vector<Call> calls;
    for (const std::string& strLine : TmSimCallLogLines()) {
        const size_t nArrow = strLine.rfind(" -> ");  // " -> 1 error=0"
        calls.push_back({strLine.substr(0, strLine.find(' ')), strLine.substr(0, nArrow + 1),
                         strLine[nArrow + 4] == '1',
                         static_cast<DWORD>(std::stoul(strLine.substr(nArrow + 12)))});
    }
    return calls;
}

// The last call that begins as strCall: a name, maybe with its first arguments.
const Call* LastCall(const std::vector<Call>& calls, const std::string& strCall) {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->call.compare(0, strCall.size() + 1, strCall + " ") == 0) return &*it;
    return nullptr;
}

std::wstring Loaded(UINT nId) {
    CString text;
    text.LoadString(nId);
    return text.Str();
}

using tmsim::WideToUtf8;

bool IsStatusText(const std::wstring& strText) {
    for (DWORD dwCode : kCodes)
        if (strText == LoadStatusWord(dwCode).Str()) return true;
    return strText == Loaded(IDS_NOT_SUPPORTED);
}

size_t CountOf(const std::wstring& strText, const std::wstring& strPart) {
    size_t nCount = 0;
    for (size_t at = strText.find(strPart); at != std::wstring::npos;
         at = strText.find(strPart, at + 1))
        ++nCount;
    return nCount;
}

// What a field shows after its read failed.
enum class Shows {
    StatusWord,  // the status word of the error
    Ravla,       // the status word, "Nicht unterstützt." for 50
    Keep,        // the last value read
    Layer,       // keeps it at activation, 0 on a timer tick
    Group,       // the group is disabled at activation, keeps it on a tick
};

// The fields that show a read, each checked on the page or dialog that has it.
struct Field {
    int id;
    const char* label;
    std::string read;  // the call, with its first arguments
    Shows shows;
};

using S = Shows;
const Field kFields[] = {
    {IDC_BRIGHTNESS_VALUE, "brightness", "IvroGetBrightness", S::Group},
    {IDC_CONTRAST_VALUE, "contrast", "IvroGetContrast", S::Group},
    {IDC_KEY_STATUS, "configuration status", "IvroGetKeyConfigValid", S::StatusWord},
    {IDC_KEY_LAYER_CURRENT, "current layer", "IvroGetKeyLayer", S::Layer},
    {IDC_SWITCH_HIGH, "x16 digit", "IvroGetSwitch item=0", S::Keep},
    {IDC_SWITCH_LOW, "x1 digit", "IvroGetSwitch item=0", S::Keep},
    {IDC_RAVLA1_MATERIAL, "slot 1 material number", "IvroGetRavlaText item=2", S::Ravla},
    {IDC_RAVLA2_MATERIAL, "slot 2 material number", "IvroGetRavlaText item=3", S::Ravla},
    {IDC_TEMP_CPU, "CPU", "IvroGetTemperature sensor=0", S::Keep},
    {IDC_TEMP_BOARD, "board I/O", "IvroGetTemperature sensor=1", S::Keep},
    {IDC_USER_LOGO_INFO, "logo info", "IvroGetUserLogoText item=0", S::StatusWord},
    {IDC_USER_LOGO_RESOLUTION, "logo resolution", "IvroGetUserLogoValue item=1", S::StatusWord},
    {IDC_USER_SERIAL_ID, "serial ID", "IvroGetUserSerialId", S::StatusWord},
    {IDC_FACTORY_VERSION, "version", "IvroGetFactoryValue item=1", S::Keep},
    {IDC_FACTORY_DEVICE_ID, "device ID", "IvroGetFactoryValue item=2", S::Keep},
    {IDC_FACTORY_COMPAT_ID, "compatibility ID", "IvroGetFactoryValue item=3", S::Keep},
    {IDC_FACTORY_DISPLAY_ID, "display ID", "IvroGetFactoryValue item=4", S::Keep},
    {IDC_FACTORY_BRIGHTNESS_MIN, "minimum brightness", "IvroGetFactoryValue item=5", S::Keep},
    {IDC_FACTORY_CONTRAST_MAX, "maximum contrast", "IvroGetFactoryValue item=10", S::Keep},
    {IDC_FACTORY_MATERIAL, "material number", "IvroGetFactoryValue item=14", S::StatusWord},
    {IDC_VER_BIOS, "BIOS version", "IvroGetVersionText item=21", S::StatusWord},
    {IDC_VER_SMC, "SMC version", "IvroGetVersionText item=16", S::StatusWord},
    {IDC_VER_KVC, "KVC version", "IvroGetVersionText item=17", S::StatusWord},
    {IDC_MATRIX_LOW, "bytes 0-7", "IvroGetKeyMatrix", S::StatusWord},
    {IDC_MATRIX_HIGH, "bytes 8-15", "IvroGetKeyMatrix", S::StatusWord},
};

// Writes that a user action makes (docs/faults.md shows each one's message).
const std::set<std::string> kWrites = {
    "IvroSetBrightness",      "IvroSetContrast",  "IvroSetKeyLayer",
    "IvroSetKeyCodesEnabled", "IvroSetLedState",  "IvroSetAllLeds",
    "IvroSetUserLed",         "IvroDownloadFile", "IvroUploadFile"};

// The buttons the user presses, on the page that has them, in this order.
struct Press {
    int id;
    const char* name;
};
const Press kPresses[] = {
    {IDC_BRIGHTNESS_UP, "brightness up arrow"},
    {IDC_CONTRAST_UP, "contrast up arrow"},
    {IDC_KEY_INFO, "Tasten Info..."},
    {IDC_KEY_APPLY, "Tasten \u00DCbernehmen"},
    {IDC_KEY_LOCK, "Tasten lock key codes"},
    {IDC_KEY_LOCK, "Tasten unlock key codes"},
    {IDC_KEY_SHOW, "Tasten Zeigen..."},
    {IDC_KEY_SAVE, "Tasten Sichern..."},
    {IDC_LED_ON, "LEDs Ein"},
    {IDC_LED_ALL, "LEDs Alle LEDs setzen"},
    {IDC_LED_OFF, "LEDs all Aus"},
    {IDC_LED_ALL, "LEDs one LED again"},
    {IDC_RAVLA1_FIRMWARE, "Ravla slot 1 Firmware..."},
    {IDC_RAVLA2_FIRMWARE, "Ravla slot 2 Firmware..."},
    {IDC_USER_LED, "User LED"},
    {IDC_VER_FPGA_FIRMWARE, "Versionen FPGA Firmware..."},
    {IDC_VER_FPGA_SAVE, "Versionen FPGA Sichern..."},
    {IDC_VER_FPGA_UPDATE, "Versionen FPGA Update..."},
    {IDC_VER_INFO, "Versionen Info..."},
    {IDC_REPORT_SET_ALL, "Bericht Alle setzen"},
    {IDC_REPORT_SHOW, "Bericht anzeigen..."},
};

// What the pages save at their first activation and Cancel writes back with
// the Set call of the read, naming the value read where it has one.
struct Saved {
    const char* read;
    const char* value;
    const char* key;
};
const Saved kSaved[] = {
    {"IvroGetBrightness", "value", "display.brightness"},
    {"IvroGetContrast", "value", "display.contrast"},
    {"IvroGetKeyLayer", "layer", "keys.layer"},
    {"IvroGetUserLed", "state", "user.led"},
    {"IvroGetLedMatrix layer=0", nullptr, "leds.matrix.0"},
    {"IvroGetLedMatrix layer=1", nullptr, "leds.matrix.1"},
    {"IvroGetLedMatrix layer=2", nullptr, "leds.matrix.2"},
    {"IvroGetLedMatrix layer=3", nullptr, "leds.matrix.3"},
};

// One run: the operation fails, the user works the sheet and closes it.
class CSweepRun {
public:
    CSweepRun(const std::string& strOp, DWORD dwCode, bool bOnce, bool bOk)
        : m_strOp(strOp), m_dwCode(dwCode), m_bOnce(bOnce), m_bOk(bOk) {}

    std::string Name() const {
        return m_strOp + " fails with " + std::to_string(m_dwCode) +
               (m_bOnce ? " once after 1 good call" : " always") + ", closed with " +
               (m_bOk ? "OK" : "Cancel");
    }

    std::vector<std::string> m_problems;
    std::set<std::string> m_effects;  // what the user saw, for the table

    void Run() {
        PrepareMachine();
        for (const Saved& item : kSaved) m_initial[item.key] = TmSimGetString(item.key);
        std::string strFault = std::to_string(m_dwCode) + (m_bOnce ? " after 1 times 1" : "");
        if (!TmSimSet(("faults." + m_strOp).c_str(), strFault.c_str()))
            return Problem("the fault cannot be injected: " + TmSimLastProfileError());

        headless::ScopedMessageBoxHandler boxes([](const headless::MessageBoxRecord& box) {
            // The key matrix is shown, the restart is not done now.
            return (box.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
        });
        headless::ScopedFileDialogHandler files(
            [](const headless::FileDialogRecord& dialog) -> std::optional<std::wstring> {
                if (!dialog.save) return std::wstring(kFpgaFile);
                return std::wstring(kDir) + L"\\" +
                       (dialog.initialFile.empty() ? L"backup" : dialog.initialFile);
            });
        headless::ScopedModalHandler sheet([this](HWND hSheet) {
            EndAction();  // opening ends once the first page is shown
            DriveSheet(hSheet);
        });

        BeginAction("open");
        CPlApplet(nullptr, CPL_INIT, 0, 0);
        // Message boxes carry the applet's name for the device it found.
        m_strAppName =
            Loaded(GetCplApp().m_nDeviceType == 4 ? IDS_APPLET_NAME_MARLET : IDS_APPLET_NAME);
        CPlApplet(nullptr, CPL_DBLCLK, 0, 0);
        EndAction();  // closing goes on until CPL_DBLCLK returns: the restart question
        CPlApplet(nullptr, CPL_EXIT, 0, 0);
        CheckClosing();
        bool bCalled = false;
        for (const Action& action : m_actions) bCalled = bCalled || LastCall(action.calls, m_strOp);
        if (!bCalled) Effect("(not called by these actions)");
        for (const headless::ModalRun& run : headless::ModalRuns())
            if (run.forced || run.cancelledByBackend)
                Problem("a window was left open: template " + std::to_string(run.templateId));
    }

private:
    struct Action {
        std::string name;
        size_t nFirstBox = 0;
        std::vector<Call> calls;
        std::vector<headless::MessageBoxRecord> boxes;
    };

    void PrepareMachine() {
        reporttest::SetUpKnownMachine();
        fakeplat::SetTickCount(0);  // the transfer dialog's pauses pass at once
        // Drivers whose absence the report would tell with the text of error 2.
        for (const wchar_t* pszDriver :
             {L"\\Drivers\\TmBiosDrv.sys", L"\\Drivers\\TmOrlDrv.sys", L"\\Drivers\\TmFlashDrv.sys",
              L"\\Drivers\\TmXcmosDrv.sys"})
            reporttest::AddModule(pszDriver, 100, reporttest::Utc(2024, 1, 1, 0, 0, 0), {});
        // The library goes its WMI way while the sheet is open.
        fakeplat::SetRegDword(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"UseWmi", 1);
        fakeplat::AddDirectory(kDir);
        fakeplat::AddFile(
            kFpgaFile, tmsim::BuildTransferFile(8, 4, 108, tmsim::SampleTransferData(8, 108, 512)));
        // Neither value at its factory value: both arrows can be clicked.
        TmSimSet("display.contrast_factory", "60");
    }

    // ------------------------------------------------------------ the user

    void BeginAction(const std::string& strName) {
        TmSimClearCallLog();  // each action keeps its own calls
        m_actions.push_back({strName, headless::MessageBoxes().size(), {}, {}});
    }

    void EndAction() {
        Action& action = m_actions.back();
        action.calls = CallLog();
        std::vector<headless::MessageBoxRecord> boxes = headless::MessageBoxes();
        action.boxes.assign(boxes.begin() + static_cast<long>(action.nFirstBox), boxes.end());
        CheckMessages(action);
    }

    template <class F>
    void Act(const std::string& strName, F fn) {
        BeginAction(strName);
        fn();
        EndAction();
    }

    void DriveSheet(HWND hSheet) {
        headless::ScopedModalHandler dialogs([this](HWND hDlg) { DriveDialog(hDlg); });
        const std::vector<std::wstring> tabs = headless::SheetTabTitles(hSheet);
        for (const wchar_t* pszTab :
             {L"Display", L"Tasten", L"LEDs", L"Schalter", L"Ravla", L"Temperaturen",
              L"Anwendereinstellungen", L"Fabrikseinstellungen", L"Versionen", L"Bericht"})
            if (std::find(tabs.begin(), tabs.end(), pszTab) == tabs.end())
                Effect("sheet: no " + WideToUtf8(pszTab) + " page");

        for (size_t i = 0; i < tabs.size(); ++i) {
            // The first page was activated while the sheet opened.
            if (i > 0) {
                Act("visit " + WideToUtf8(tabs[i]), [&] {
                    if (!headless::SelectPage(hSheet, static_cast<int>(i)))
                        Problem("the page cannot be selected");
                });
            }
            HWND hPage = headless::ActivePage(hSheet);
            Watch(hPage, WideToUtf8(tabs[i]), true);
            for (const Press& press : kPresses)
                if (GetDlgItem(hPage, press.id)) Click(hPage, press);
        }

        BeginAction(m_bOk ? "OK" : "Cancel");
        (m_bOk ? headless::PressOk : headless::PressCancel)(hSheet);
    }

    // The fields of a page or the key matrix as shown, then after two ticks of
    // its timer: a read that failed once is read well again. A page's ticks
    // are actions of their own.
    void Watch(HWND hWnd, const std::string& strWhere, bool bPage) {
        CheckFields(kFields, strWhere, hWnd, bPage ? m_actions.back().calls : CallLog());
        for (int nTick = 0; nTick < 2 && headless::HasTimer(hWnd, 1); ++nTick) {
            m_before.clear();
            for (const Field& field : kFields)
                if (HWND hField = GetDlgItem(hWnd, field.id))
                    m_before[field.id] = headless::TextOf(hField);
            if (bPage)
                Act("tick " + strWhere, [&] { headless::FireTimer(hWnd, 1); });
            else
                headless::FireTimer(hWnd, 1);
            CheckFields(kFields, strWhere, hWnd, bPage ? m_actions.back().calls : CallLog(), true);
        }
    }

    // On a healthy device every button the sweep presses is usable.
    void Click(HWND hPage, const Press& press) {
        HWND hButton = GetDlgItem(hPage, press.id);
        HWND hLayer = GetDlgItem(hPage, IDC_KEY_LAYER);
        if (!IsWindowEnabled(hButton) || (press.id == IDC_KEY_APPLY && !IsWindowEnabled(hLayer))) {
            // The arrows go grey with their group, which the fields tell.
            if (press.id != IDC_BRIGHTNESS_UP && press.id != IDC_CONTRAST_UP)
                Effect(std::string(press.name) + " grey");
            return;
        }
        m_nWhich = press.id == IDC_RAVLA1_FIRMWARE ? 1 : press.id == IDC_RAVLA2_FIRMWARE ? 2 : 0;
        Act(press.name, [&] {
            if (press.id == IDC_KEY_APPLY) headless::Type(hLayer, L"2");
            headless::Click(hButton);
        });
    }

    void DriveDialog(HWND hDlg) {
        const std::string strFirmware =
            "firmware dialog (" + (m_nWhich ? "slot " + std::to_string(m_nWhich) : "FPGA") + ")";
        auto item = [this](DWORD nOffset) { return " item=" + std::to_string(nOffset + m_nWhich); };
        const Field firmwareFields[] = {
            {IDC_FW_INFO, "info", "IvroGetVersionText" + item(0), S::StatusWord},
            {IDC_FW_STATUS, "status", "IvroGetFirmwareValue" + item(12), S::StatusWord},
            {IDC_FW_EXTINFO, "extended info", "IvroGetVersionText" + item(4), S::StatusWord},
        };
        switch (headless::TemplateIdOf(hDlg)) {
            case IDD_KEY_MATRIX:
                Watch(hDlg, "key matrix", false);
                break;
            case IDD_FIRMWARE_INFO:
                CheckFields(firmwareFields, strFirmware, hDlg, CallLog());
                break;
            case IDD_TRANSFER:
                WaitForTransfer(hDlg);
                CheckTransfer(hDlg);
                break;
            case IDD_REPORT_VIEW:
                CheckReport(headless::TextOf(GetDlgItem(hDlg, IDC_REPORT_TEXT)));
                break;
        }
        if (!headless::IsModalEnded(hDlg)) headless::PressOk(hDlg);
    }

    // ------------------------------------------------------------ checks

    void Problem(const std::string& strText) {
        m_problems.push_back((m_actions.empty() ? "" : m_actions.back().name + ": ") + strText);
    }

    void Effect(const std::string& strText) { m_effects.insert(strText); }

    // Every field of the window whose read ran in the calls shows what the
    // read gave; on a tick, m_before holds what the window showed before.
    template <size_t N>
    void CheckFields(const Field (&fields)[N], const std::string& strWhere, HWND hWnd,
                     const std::vector<Call>& calls, bool bTick = false) {
        for (const Field& field : fields) {
            HWND hField = GetDlgItem(hWnd, field.id);
            const Call* pCall = hField ? LastCall(calls, field.read) : nullptr;
            if (!pCall) continue;
            const std::wstring strText = headless::TextOf(hField);
            const bool bNotSupported =
                field.shows == S::Ravla && pCall->error == ERROR_NOT_SUPPORTED;
            // Any value but a status word after a good read, the last one after a failed one.
            bool bRight =
                !IsStatusText(strText) && (pCall->ok || !bTick || m_before[field.id] == strText);
            std::string strEffect = "keeps its last value";
            if (pCall->ok) {
            } else if (field.shows == S::StatusWord || field.shows == S::Ravla) {
                bRight = strText == (bNotSupported ? Loaded(IDS_NOT_SUPPORTED)
                                                   : LoadStatusWord(pCall->error).Str());
                strEffect =
                    bNotSupported ? "\"Nicht unterst\u00FCtzt.\", buttons grey" : "status word";
            } else if (field.shows == S::Layer && bTick) {
                bRight = strText == L"0" && !IsWindowEnabled(GetDlgItem(hWnd, IDC_KEY_LAYER));
                strEffect = "0 on a tick, layer input grey";
            } else if (field.shows == S::Group) {
                const int nGroup =
                    field.id == IDC_BRIGHTNESS_VALUE ? IDC_BRIGHTNESS_GROUP : IDC_CONTRAST_GROUP;
                bRight = bTick ? bRight : !IsWindowEnabled(GetDlgItem(hWnd, nGroup));
                strEffect = bTick ? strEffect + " on a tick" : "group grey";
            }
            const std::string strField = strWhere + " " + field.label;
            if (!bRight)
                Problem(strField + " shows \"" + WideToUtf8(strText) + "\" after its read");
            if (!pCall->ok) Effect(strField + ": " + strEffect);
        }
    }

    void CheckTransfer(HWND hDlg) {
        std::vector<Call> calls = CallLog();
        const Call* pTransfer = LastCall(calls, "IvroDownloadFile");
        if (!pTransfer) pTransfer = LastCall(calls, "IvroUploadFile");
        if (!pTransfer) return Problem("the transfer dialog did not transfer");
        const bool bDownload = pTransfer->op == "IvroDownloadFile";
        const bool bSaysDone =
            headless::TextOf(hDlg) == Loaded(bDownload ? IDS_DOWNLOAD_DONE : IDS_UPLOAD_DONE);
        if (pTransfer->ok != bSaysDone || (!pTransfer->ok && !headless::IsModalEnded(hDlg)))
            Problem("the transfer dialog says \"" + WideToUtf8(headless::TextOf(hDlg)) + "\"");
        // The FPGA needs a restart after a download; only the device can tell.
        if (pTransfer->ok && bDownload &&
            headless::TextOf(GetDlgItem(hDlg, IDC_TRANSFER_INFO)).empty())
            Effect("FPGA download: no restart text, no restart question");
    }

    // Each failed read of the report writes its failure text, and only those.
    void CheckReport(const std::wstring& strReport) {
        size_t nFailed = 0, nShown = 0;
        // Only the injected error: a part the device lacks fails with 50 anyway.
        for (const Call& call : CallLog())
            if (!call.ok && call.error == m_dwCode && call.op != "IvroGetWmiMode") ++nFailed;
        const std::wstring strFailure = GetSystemErrorText(m_dwCode);
        std::wstring strSection, strLine;
        std::wistringstream lines(strReport);
        while (std::getline(lines, strLine)) {
            if (!strLine.empty() && strLine.back() == L'\r') strLine.pop_back();
            if (strLine.compare(0, 4, L"--- ") == 0)
                strSection = strLine.substr(4, strLine.size() - 8);
            for (size_t n = CountOf(strLine, strFailure); n > 0; --n, ++nShown)
                Effect("report " + WideToUtf8(strSection) + ": " +
                       WideToUtf8(strLine.substr(0, strLine.find(L": "))) +
                       " line has the failure text");
        }
        if (nShown != nFailed)
            Problem("the report shows the failure text " + std::to_string(nShown) + " times for " +
                    std::to_string(nFailed) + " failed reads");
        if (strReport.find(L"*** Report end ***") == std::wstring::npos)
            Problem("the report is not complete");
    }

    // At most one failure message per action, each naming the error; a
    // failed write is shown once, a good one not at all.
    void CheckMessages(const Action& action) {
        const std::wstring strSystem = GetSystemErrorText(m_dwCode);
        const Call* pWrite = nullptr;
        for (const Call& call : action.calls)
            if (!call.ok && kWrites.count(call.op) && call.error != ERROR_CANCELLED && !pWrite)
                pWrite = &call;
        size_t nFailures = 0;
        for (const headless::MessageBoxRecord& box : action.boxes) {
            const size_t nBreak = box.text.find(L'\n');
            const std::wstring strFirst = box.text.substr(0, nBreak);
            if ((box.type & MB_ICONMASK) == MB_ICONSTOP) {
                ++nFailures;
                bool bNotDevice = action.name == "open" && box.text == Loaded(IDS_NOT_A_DEVICE);
                if (!pWrite && !bNotDevice)
                    Problem("a failure message without a failed write: " + WideToUtf8(box.text));
                if (nBreak != std::wstring::npos && box.text.substr(nBreak + 1) != strSystem)
                    Problem("no system text after " + WideToUtf8(strFirst));
            }
            if (box.caption == Loaded(IDS_KCF_INFO_CAPTION)) {
                // A line of the key configuration info that cannot be read says why.
                size_t nFailed = 0;
                for (const Call& call : action.calls)
                    if (call.op == "IvroGetKeyConfigInfo" && !call.ok && call.error == m_dwCode)
                        ++nFailed;
                if (CountOf(box.text, strSystem) != nFailed)
                    Problem("the info box does not show the system text once per failed read");
                if (nFailed) Effect("Tasten Info... box: the line that failed has the system text");
            } else if (box.caption != m_strAppName) {
                Problem("a message captioned \"" + WideToUtf8(box.caption) + "\"");
            } else if (box.text != Loaded(IDS_ASK_RESTART) &&
                       box.text != Loaded(IDS_ASK_KEY_MATRIX)) {
                Effect("message after " + action.name + ": \"" + WideToUtf8(strFirst) + "\"" +
                       (nBreak != std::wstring::npos ? " + system text" : ""));
            }
        }
        if (nFailures > 1) Problem(std::to_string(nFailures) + " failure messages for one action");
        if (pWrite && !nFailures && action.name != "OK" && action.name != "Cancel")
            Problem(pWrite->op + " failed without a message");
    }

    // Cancel writes back what the pages read at their first activation, OK
    // nothing (the display test checks the defaults OK stores).
    void CheckClosing() {
        const Action& close = m_actions.back();
        if (close.name != "OK" && close.name != "Cancel")
            return Problem("the sheet was not closed");
        for (const Call& call : close.calls)
            if (!call.ok) Effect(close.name + ": " + call.op + " fails, not reported");
        for (const Saved& item : kSaved) {
            // The page read it when it was first shown.
            const Call* pRead = nullptr;
            for (const Action& action : m_actions)
                if (!pRead && (action.name == "open" || action.name.compare(0, 6, "visit ") == 0))
                    pRead = LastCall(action.calls, item.read);
            const std::string strWrite = "IvroSet" + std::string(item.read).substr(7);
            const bool bSaved = pRead && pRead->ok;
            std::string strRestore = strWrite;
            if (item.value) strRestore += std::string(" ") + item.value + "=" + m_initial[item.key];
            const Call* pRestore = LastCall(close.calls, strRestore);
            if (m_bOk && LastCall(close.calls, strWrite)) Problem("OK writes back " + strWrite);
            if (!m_bOk && bSaved != (pRestore != nullptr))
                Problem(std::string("Cancel ") + (bSaved ? "does not write" : "writes") + " back " +
                        strRestore + (bSaved ? "" : " that the page never read"));
            if (!m_bOk && !bSaved && pRead)
                Effect("Cancel: " + strRestore + " not written back (never read)");
            if (pRestore && pRestore->ok && TmSimGetString(item.key) != m_initial[item.key])
                Problem(std::string("after Cancel ") + item.key + " is " +
                        TmSimGetString(item.key));
        }
    }

    const std::string m_strOp;
    const DWORD m_dwCode;
    const bool m_bOnce;
    const bool m_bOk;
    std::map<std::string, std::string> m_initial;
    std::vector<Action> m_actions;
    std::map<int, std::wstring> m_before;
    std::wstring m_strAppName;
    DWORD m_nWhich = 0;
};

// One test per operation, so that ctest runs them side by side.
class FaultSweep : public AppletTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(FaultSweep, NothingCrashesHangsOrLies) {
    const std::string strOp = GetParam();
    std::string strSection =
        "### " + strOp + "\n\n| fails | codes | what the user sees |\n|---|---|---|\n";
    for (bool bOnce : {false, true}) {
        std::map<DWORD, std::set<std::string>> seen;
        for (DWORD dwCode : kCodes) {
            // Closing with OK reads nothing: once per mode, its closing for every code.
            for (bool bOk : {false, true}) {
                if (bOk && dwCode != kCodes[0]) continue;
                TearDown();  // a clean machine and device for each run
                SetUp();
                LoadModule();
                CSweepRun run(strOp, dwCode, bOnce, bOk);
                // A hang ends the program with the run's name, before ctest's timeout.
                std::promise<void> ended;
                std::thread watchdog([&run, done = ended.get_future()] {
                    if (done.wait_for(std::chrono::seconds(20)) == std::future_status::timeout) {
                        std::fprintf(stderr, "HANG: %s did not end within 20 s\n",
                                     run.Name().c_str());
                        std::abort();
                    }
                });
                run.Run();
                ended.set_value();
                watchdog.join();
                for (const std::string& strProblem : run.m_problems)
                    ADD_FAILURE() << run.Name() << ": " << strProblem;
                for (const std::string& strEffect : run.m_effects)
                    for (DWORD dwEach : kCodes)
                        if (bOk ? strEffect.compare(0, 4, "OK: ") == 0 : dwEach == dwCode)
                            seen[dwEach].insert(strEffect);
            }
        }
        std::vector<std::pair<std::set<std::string>, std::string>> groups;
        for (DWORD dwCode : kCodes) {
            auto it = std::find_if(groups.begin(), groups.end(),
                                   [&](const auto& group) { return group.first == seen[dwCode]; });
            if (it == groups.end())
                groups.push_back({seen[dwCode], std::to_string(dwCode)});
            else
                it->second += ", " + std::to_string(dwCode);
        }
        for (const auto& group : groups) {
            std::string strCell;
            for (const std::string& strEffect : group.first)
                strCell += (strCell.empty() ? "" : "<br>") + strEffect;
            strSection += std::string("| ") + (bOnce ? "once" : "always") + " | " + group.second +
                          " | " + (strCell.empty() ? "nothing to see" : strCell) + " |\n";
        }
    }

    // The section runs up to the blank line before the next; a new one goes last.
    const std::string strPath = std::string(TM_SOURCE_DIR) + "/docs/faults.md";
    std::stringstream stream;
    stream << std::ifstream(strPath).rdbuf();
    std::string strDoc = stream.str();
    const size_t nAt = strDoc.find("### " + strOp + "\n");
    const std::string strOld =
        nAt == std::string::npos ? "" : strDoc.substr(nAt, strDoc.find("\n### ", nAt) - nAt);
    if (!std::getenv("TM_FAULTS_DOC_UPDATE")) {
        EXPECT_EQ(strOld, strSection) << "docs/faults.md does not tell how the applet behaves when "
                                      << strOp << " fails; write it anew (see the file's head)";
    } else if (nAt == std::string::npos) {
        std::ofstream(strPath, std::ios::app) << "\n" << strSection;
    } else {
        std::ofstream(strPath, std::ios::trunc) << strDoc.replace(nAt, strOld.size(), strSection);
    }
}

std::vector<std::string> OperationNames() {
    std::vector<std::string> names;
    for (const tmsim::OperationInfo& op : tmsim::Operations()) names.push_back(op.m_pszName);
    return names;
}

INSTANTIATE_TEST_SUITE_P(, FaultSweep, ::testing::ValuesIn(OperationNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
