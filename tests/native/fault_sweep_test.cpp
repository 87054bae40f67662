// The fault sweep: every device operation failing with every error class,
// always and once after a good call, while a user opens the sheet, visits
// every page with its timers ticking, presses the buttons that read and
// write the device, shows a full report and closes the sheet with OK and
// with Cancel. Each run must end in time, show at most one failure message
// per user action (each with the system text of the error), never show a
// read's value after the read failed, write every failed read into the
// report, and let Cancel put back what the pages saved.
//
// docs/faults.md is the table of what each run showed; each operation's
// test compares its part of the table (TM_SWEEP_LOG=file: every run in
// detail). To write the table anew:
//   TM_FAULTS_DOC_UPDATE=1 build/native/tests/native/tm_tests --gtest_filter='FaultSweep.*'
#include <cpl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "PageTestSheet.h"
#include "ReportTestEnv.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "simulator/SimProfile.h"
#include "simulator/SimTransferFile.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

// The error classes the applet tells apart: nothing there (2, 120, 1168),
// not supported (50), time-out (121, 1460), busy (170), anything else (87).
const DWORD kCodes[] = {2, 50, 120, 121, 1460, 170, 87, 1168};
const auto kRunLimit = std::chrono::seconds(20);
const wchar_t kDir[] = L"C:\\Sweep";
const wchar_t kFpgaFile[] = L"C:\\Sweep\\fpga_new.pci";

enum class Mode { Always, Once };
enum class Close { Ok, Cancel };

const char* ModeName(Mode mode) {
    return mode == Mode::Always ? "always" : "once after 1 good call";
}

// ---------------------------------------------------------------------------
// What the applet and the device did

struct Call {
    std::string op;
    std::string args;
    bool ok = false;
    DWORD error = 0;
};

Call ParseCall(const std::string& strLine) {
    Call call;
    size_t nArrow = strLine.rfind(" -> ");
    size_t nSpace = strLine.find(' ');
    call.op = strLine.substr(0, nSpace);
    if (nSpace < nArrow) call.args = " " + strLine.substr(nSpace + 1, nArrow - nSpace - 1) + " ";
    call.ok = strLine.compare(nArrow + 4, 1, "1") == 0;
    size_t nError = strLine.find("error=", nArrow);
    call.error = nError == std::string::npos
                     ? 0
                     : static_cast<DWORD>(std::strtoul(strLine.c_str() + nError + 6, nullptr, 10));
    return call;
}

std::vector<Call> CallLog() {
    std::vector<Call> calls;
    for (const std::string& line : TmSimCallLogLines()) calls.push_back(ParseCall(line));
    return calls;
}

// The last call of op (with the argument, " item=21 " and the like) in calls.
const Call* LastCall(const std::vector<Call>& calls, const std::string& strOp,
                     const std::string& strArg = "") {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->op == strOp && (strArg.empty() || it->args.find(strArg) != std::string::npos))
            return &*it;
    return nullptr;
}

// The test's own oracle of the status words and the system texts.
std::wstring StatusWord(DWORD dwError) {
    switch (dwError) {
        case 2:
        case 50:
        case 120:
        case 1168:
            return L"(keine)";
        case 121:
        case 1460:
            return L"Timeout";
        case 170:
            return L"Busy";
        default:
            return L"Fehler";
    }
}

bool IsStatusText(const std::wstring& strText) {
    return strText == L"(keine)" || strText == L"Timeout" || strText == L"Busy" ||
           strText == L"Fehler" || strText == L"Nicht unterst\u00FCtzt.";
}

// A failure names the time-out of the driver (121) as a time-out (1460).
std::wstring SystemText(DWORD dwError) {
    wchar_t szText[1024] = L"";
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     dwError == 121 ? 1460 : dwError, 0, szText, _countof(szText), nullptr);
    std::wstring strText = szText;
    while (!strText.empty() && (strText.back() == L'\n' || strText.back() == L'\r'))
        strText.pop_back();
    return strText;
}

std::wstring Loaded(UINT nId) {
    CString text;
    text.LoadString(nId);
    return std::wstring(text.GetString());
}

std::string Narrow(const std::wstring& strText) {
    return tmsim::WideToUtf8(strText);
}

// A message on one line of the record: line breaks as \n.
std::string OneLine(const std::wstring& strText) {
    std::string strOut;
    for (char ch : Narrow(strText)) strOut += ch == '\n' ? std::string("\\n") : std::string(1, ch);
    return strOut;
}

// ---------------------------------------------------------------------------
// Fields that show what a read gave

enum class Shows {
    StatusWord,  // the status word of the error
    Ravla,       // the status word, "Nicht unterstützt." for 50
    Keep,        // the last value read
    Layer,       // keeps it at activation, 0 on a timer tick
    Group,       // the group is disabled at activation, keeps it on a tick
};

struct FieldRule {
    const wchar_t* page;  // tab title, or the dialog's template as text
    int id;
    const char* label;
    const char* op;
    const char* arg;  // "" or " item=21 " and the like
    Shows shows;
    int group;  // the group box for Shows::Group
};

const FieldRule kFields[] = {
    {L"Display", IDC_BRIGHTNESS_VALUE, "brightness", "IvroGetBrightness", "", Shows::Group,
     IDC_BRIGHTNESS_GROUP},
    {L"Display", IDC_CONTRAST_VALUE, "contrast", "IvroGetContrast", "", Shows::Group,
     IDC_CONTRAST_GROUP},
    {L"Tasten", IDC_KEY_STATUS, "configuration status", "IvroGetKeyConfigValid", "",
     Shows::StatusWord, 0},
    {L"Tasten", IDC_KEY_LAYER_CURRENT, "current layer", "IvroGetKeyLayer", "", Shows::Layer, 0},
    {L"Schalter", IDC_SWITCH_HIGH, "x16 digit", "IvroGetSwitch", " item=0 ", Shows::Keep, 0},
    {L"Schalter", IDC_SWITCH_LOW, "x1 digit", "IvroGetSwitch", " item=0 ", Shows::Keep, 0},
    {L"Ravla", IDC_RAVLA1_MATERIAL, "slot 1 material number", "IvroGetRavlaText", " item=2 ",
     Shows::Ravla, 0},
    {L"Ravla", IDC_RAVLA2_MATERIAL, "slot 2 material number", "IvroGetRavlaText", " item=3 ",
     Shows::Ravla, 0},
    {L"Temperaturen", IDC_TEMP_CPU, "CPU", "IvroGetTemperature", " sensor=0 ", Shows::Keep, 0},
    {L"Temperaturen", IDC_TEMP_BOARD, "board I/O", "IvroGetTemperature", " sensor=1 ", Shows::Keep,
     0},
    {L"Anwendereinstellungen", IDC_USER_LOGO_INFO, "logo info", "IvroGetUserLogoText", " item=0 ",
     Shows::StatusWord, 0},
    {L"Anwendereinstellungen", IDC_USER_LOGO_RESOLUTION, "logo resolution", "IvroGetUserLogoValue",
     " item=1 ", Shows::StatusWord, 0},
    {L"Anwendereinstellungen", IDC_USER_SERIAL_ID, "serial ID", "IvroGetUserSerialId", "",
     Shows::StatusWord, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_VERSION, "version", "IvroGetFactoryValue", " item=1 ",
     Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_DEVICE_ID, "device ID", "IvroGetFactoryValue", " item=2 ",
     Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_COMPAT_ID, "compatibility ID", "IvroGetFactoryValue",
     " item=3 ", Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_DISPLAY_ID, "display ID", "IvroGetFactoryValue",
     " item=4 ", Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_BRIGHTNESS_MIN, "minimum brightness",
     "IvroGetFactoryValue", " item=5 ", Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_CONTRAST_MAX, "maximum contrast", "IvroGetFactoryValue",
     " item=10 ", Shows::Keep, 0},
    {L"Fabrikseinstellungen", IDC_FACTORY_MATERIAL, "material number", "IvroGetFactoryValue",
     " item=14 ", Shows::StatusWord, 0},
    {L"Versionen", IDC_VER_BIOS, "BIOS version", "IvroGetVersionText", " item=21 ",
     Shows::StatusWord, 0},
    {L"Versionen", IDC_VER_SMC, "SMC version", "IvroGetVersionText", " item=16 ", Shows::StatusWord,
     0},
    {L"Versionen", IDC_VER_KVC, "KVC version", "IvroGetVersionText", " item=17 ", Shows::StatusWord,
     0},
    {L"key matrix", IDC_MATRIX_LOW, "bytes 0-7", "IvroGetKeyMatrix", "", Shows::StatusWord, 0},
    {L"key matrix", IDC_MATRIX_HIGH, "bytes 8-15", "IvroGetKeyMatrix", "", Shows::StatusWord, 0},
};

// The firmware info dialog's three fields, for the firmware m_nWhich.
struct FirmwareField {
    int id;
    const char* label;
    const char* op;
    DWORD itemOffset;
};
const FirmwareField kFirmwareFields[] = {
    {IDC_FW_INFO, "info", "IvroGetVersionText", 0},
    {IDC_FW_STATUS, "status", "IvroGetFirmwareValue", 12},
    {IDC_FW_EXTINFO, "extended info", "IvroGetVersionText", 4},
};

// Writes that a user action makes, and the message a failure of each shows.
struct WriteRule {
    const char* op;
    UINT ids[2];
};
const WriteRule kWrites[] = {
    {"IvroSetBrightness", {IDS_CANNOT_SET_BRIGHTNESS, 0}},
    {"IvroSetContrast", {IDS_CANNOT_SET_CONTRAST, 0}},
    {"IvroSetKeyLayer", {IDS_CANNOT_SET_KEY_LAYER, 0}},
    {"IvroSetKeyCodesEnabled", {IDS_CANNOT_DISABLE_KEYS, IDS_CANNOT_ENABLE_KEYS}},
    {"IvroSetLedState", {IDS_CANNOT_SET_LED, 0}},
    {"IvroSetAllLeds", {IDS_CANNOT_SET_LEDS, 0}},
    {"IvroSetUserLed", {IDS_CANNOT_SET_USER_LED, 0}},
    {"IvroDownloadFile", {IDS_DOWNLOAD_FAILED, 0}},
    {"IvroUploadFile", {IDS_UPLOAD_FAILED, 0}},
};

const WriteRule* FindWrite(const std::string& strOp) {
    for (const WriteRule& rule : kWrites)
        if (strOp == rule.op) return &rule;
    return nullptr;
}

// ---------------------------------------------------------------------------
// A run that takes too long is a hang: the watchdog names it and ends the
// program, so that ctest reports it rather than waiting for its timeout.

class CWatchdog {
public:
    CWatchdog() : m_thread([this] { Watch(); }) {}
    ~CWatchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void Arm(const std::string& strRun) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strRun = strRun;
        m_deadline = std::chrono::steady_clock::now() + kRunLimit;
        m_bArmed = true;
    }
    void Disarm() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bArmed = false;
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_bStop) {
            m_wake.wait_for(lock, std::chrono::milliseconds(200));
            if (m_bArmed && std::chrono::steady_clock::now() > m_deadline) {
                std::fprintf(stderr, "HANG: %s did not end within %d s\n", m_strRun.c_str(),
                             static_cast<int>(kRunLimit.count()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::string m_strRun;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_bArmed = false;
    bool m_bStop = false;
    std::thread m_thread;
};

// ---------------------------------------------------------------------------
// One run

class CSweepRun {
public:
    CSweepRun(const std::string& strOp, DWORD dwCode, Mode mode, Close close)
        : m_strOp(strOp), m_dwCode(dwCode), m_mode(mode), m_close(close) {}

    std::string Name() const {
        return m_strOp + " fails with " + std::to_string(m_dwCode) + " " + ModeName(m_mode) +
               ", closed with " + (m_close == Close::Ok ? "OK" : "Cancel");
    }

    // Problems found; effects seen (for the table).
    std::vector<std::string> m_problems;
    std::set<std::string> m_effects;

    void Run() {
        PrepareMachine();
        m_initial = {TmSimGetString("display.brightness"), TmSimGetString("display.contrast"),
                     TmSimGetString("keys.layer"),         TmSimGetString("user.led"),
                     TmSimGetString("leds.matrix.0"),      TmSimGetString("leds.matrix.1"),
                     TmSimGetString("leds.matrix.2"),      TmSimGetString("leds.matrix.3")};
        std::string strFault = std::to_string(m_dwCode);
        if (m_mode == Mode::Once) strFault += " after 1 times 1";
        if (!TmSimSet(("faults." + m_strOp).c_str(), strFault.c_str())) {
            Problem("the fault cannot be injected: " + TmSimLastProfileError());
            return;
        }
        TmSimClearCallLog();

        headless::ScopedMessageBoxHandler boxes([](const headless::MessageBoxRecord& box) {
            UINT nButtons = box.type & MB_TYPEMASK;
            if (nButtons == MB_OKCANCEL) return IDOK;  // show the key matrix
            if (nButtons == MB_YESNO) return IDNO;     // no restart now
            return IDOK;
        });
        headless::ScopedFileDialogHandler files(
            [](const headless::FileDialogRecord& dialog) -> std::optional<std::wstring> {
                if (!dialog.save) return std::wstring(kFpgaFile);
                return std::wstring(kDir) + L"\\" +
                       (dialog.initialFile.empty() ? L"backup" : dialog.initialFile);
            });
        headless::ScopedModalHandler sheet([this](HWND hWnd) {
            if (!headless::ModalRuns().back().sheet) {
                headless::PressCancel(hWnd);
                return;
            }
            EndAction();  // opening ends once the first page is shown
            DriveSheet(hWnd);
        });

        BeginAction("open");
        CPlApplet(nullptr, CPL_INIT, 0, 0);
        // Message boxes carry the applet's name for the device it found.
        m_strAppName =
            Loaded(GetCplApp().m_nDeviceType == 4 ? IDS_APPLET_NAME_MARLET : IDS_APPLET_NAME);
        CPlApplet(nullptr, CPL_DBLCLK, 0, 0);
        EndAction();
        CPlApplet(nullptr, CPL_EXIT, 0, 0);
        CheckRestores();
        bool bCalled = false;
        for (const Action& action : m_actions)
            for (const Call& call : action.calls) bCalled = bCalled || call.op == m_strOp;
        if (!bCalled) Effect("(not called by these actions)");
        WriteRecord();
        for (const headless::ModalRun& run : headless::ModalRuns())
            if (run.forced || run.cancelledByBackend)
                Problem("a window was left open: template " + std::to_string(run.templateId));
    }

private:
    struct Action {
        std::string name;
        size_t nFirstCall = 0;
        size_t nFirstBox = 0;
        std::vector<Call> calls;
        std::vector<headless::MessageBoxRecord> boxes;
    };

    // With TM_SWEEP_LOG=file each run is told there: its actions, their
    // messages and failed calls, what it showed and the calls at closing.
    void WriteRecord() const {
        const char* pszPath = std::getenv("TM_SWEEP_LOG");
        if (!pszPath) return;
        std::ofstream log(pszPath, std::ios::app);
        log << "== " << Name() << ": " << (m_problems.empty() ? "ok" : "PROBLEMS") << "\n";
        for (const std::string& strProblem : m_problems)
            log << "   problem: " << strProblem << "\n";
        for (const Action& action : m_actions) {
            const bool bClose = action.name == "OK" || action.name == "Cancel";
            for (const headless::MessageBoxRecord& box : action.boxes)
                log << "   " << action.name << ": message [" << Narrow(box.caption) << "] "
                    << OneLine(box.text) << "\n";
            for (const Call& call : action.calls)
                if (!call.ok || (bClose && call.op.compare(0, 7, "IvroSet") == 0))
                    log << "   " << action.name << ": " << call.op
                        << (call.args.empty() ? " " : call.args) << "-> "
                        << (call.ok ? "1" : "0 error=" + std::to_string(call.error)) << "\n";
        }
        for (const std::string& strEffect : m_effects) log << "   shows: " << strEffect << "\n";
    }

    // ------------------------------------------------------------ setting up

    void PrepareMachine() {
        reporttest::SetUpKnownMachine();
        // The transfer dialog's pauses pass at once.
        fakeplat::SetTickCount(0);
        for (const wchar_t* pszDriver :
             {L"\\Drivers\\TmBiosDrv.sys", L"\\Drivers\\TmOrlDrv.sys", L"\\Drivers\\TmFlashDrv.sys",
              L"\\Drivers\\TmXcmosDrv.sys"})
            reporttest::AddModule(pszDriver, 100, reporttest::Utc(2024, 1, 1, 0, 0, 0), {});
        // The library goes its WMI way while the sheet is open.
        fakeplat::SetRegDword(HKEY_CURRENT_USER, L"Control Panel\\IVRO", L"UseWmi", 1);
        fakeplat::AddDirectory(kDir);
        fakeplat::AddFile(
            kFpgaFile, tmsim::BuildTransferFile(8, 4, 108, tmsim::SampleTransferData(8, 108, 512)));
        // Another device to sweep (the table is the default Marlet's).
        if (const char* pszProfile = std::getenv("TM_SWEEP_PROFILE")) {
            std::string strPath = pszProfile;
            TmSimLoadProfileFile(std::wstring(strPath.begin(), strPath.end()).c_str());
            TmSimSet("temperature.drift", "0");
            TmSimSet("keys.demo_interval", "0");
            TmSimSet("transfer.duration", "0");
            DWORD nType = 0;
            IvroGetDeviceType(&nType);
            fakeplat::AddFile(
                kFpgaFile,
                tmsim::BuildTransferFile(8, nType, 108, tmsim::SampleTransferData(8, 108, 512)));
        }
        // Neither value at its factory value: both arrows can be clicked.
        TmSimSet("display.contrast_factory", "60");
    }

    // ------------------------------------------------------------ actions

    void BeginAction(const std::string& strName) {
        Action action;
        action.name = strName;
        // Each action keeps its own calls; the log starts anew with it.
        TmSimClearCallLog();
        action.nFirstCall = 0;
        action.nFirstBox = headless::MessageBoxes().size();
        m_actions.push_back(action);
        m_bInAction = true;
    }

    void EndAction() {
        if (!m_bInAction) return;
        m_bInAction = false;
        Action& action = m_actions.back();
        std::vector<Call> calls = CallLog();
        action.calls.assign(calls.begin() + static_cast<long>(action.nFirstCall), calls.end());
        std::vector<headless::MessageBoxRecord> boxes = headless::MessageBoxes();
        action.boxes.assign(boxes.begin() + static_cast<long>(action.nFirstBox), boxes.end());
        CheckMessages(action);
    }

    // Calls of the action so far (it may still run).
    std::vector<Call> CallsSoFar() const {
        std::vector<Call> calls = CallLog();
        return std::vector<Call>(calls.begin() + static_cast<long>(m_actions.back().nFirstCall),
                                 calls.end());
    }

    template <class F>
    void Act(const std::string& strName, F fn) {
        BeginAction(strName);
        fn();
        EndAction();
    }

    // ------------------------------------------------------------ the user

    void DriveSheet(HWND hSheet) {
        m_hSheet = hSheet;
        headless::ScopedModalHandler dialogs([this](HWND hDlg) { DriveDialog(hDlg); });
        m_tabs = headless::SheetTabTitles(hSheet);
        const std::vector<std::wstring> kMarlet = {L"Display",
                                                   L"Tasten",
                                                   L"LEDs",
                                                   L"Schalter",
                                                   L"Ravla",
                                                   L"Temperaturen",
                                                   L"Anwendereinstellungen",
                                                   L"Fabrikseinstellungen",
                                                   L"Versionen",
                                                   L"Bericht"};
        for (const std::wstring& strTab : kMarlet)
            if (std::find(m_tabs.begin(), m_tabs.end(), strTab) == m_tabs.end())
                Effect("sheet: no " + Narrow(strTab) + " page");

        for (size_t i = 0; i < m_tabs.size(); ++i) {
            const std::wstring& strTab = m_tabs[i];
            if (i > 0) {
                std::map<int, std::wstring> before = Snapshot(strTab);
                Act("visit " + Narrow(strTab), [&] {
                    if (!headless::SelectPage(hSheet, static_cast<int>(i)))
                        Problem("page " + Narrow(strTab) + " cannot be selected");
                });
                CheckFields(strTab, before, false);
            } else {
                // The first page was activated while the sheet opened.
                CheckFields(strTab, {}, false);
            }
            HWND hPage = headless::ActivePage(hSheet);
            if (headless::HasTimer(hPage, 1)) {
                for (int nTick = 0; nTick < 3; ++nTick) {
                    std::map<int, std::wstring> before = Snapshot(strTab);
                    Act("tick " + Narrow(strTab), [&] { headless::FireTimer(hPage, 1); });
                    CheckFields(strTab, before, true);
                }
            }
            PressButtons(strTab, hPage);
        }

        BeginAction(m_close == Close::Ok ? "OK" : "Cancel");
        if (m_close == Close::Ok)
            headless::PressOk(hSheet);
        else
            headless::PressCancel(hSheet);
        // The action goes on until CPL_DBLCLK returns: the restart question.
    }

    // On a healthy device every button the sweep presses is usable.
    void Click(HWND hPage, int nId, const std::string& strName) {
        HWND hButton = GetDlgItem(hPage, nId);
        if (!hButton || !IsWindowEnabled(hButton)) {
            Effect(strName + " grey");
            return;
        }
        Act(strName, [&] { headless::Click(hButton); });
    }

    void PressButtons(const std::wstring& strTab, HWND hPage) {
        if (strTab == L"Display") {
            ClickArrow(hPage, IDC_BRIGHTNESS_UP, IDC_BRIGHTNESS_VALUE, "brightness up arrow");
            ClickArrow(hPage, IDC_CONTRAST_UP, IDC_CONTRAST_VALUE, "contrast up arrow");
        } else if (strTab == L"Tasten") {
            Click(hPage, IDC_KEY_INFO, "Tasten Info...");
            HWND hLayer = GetDlgItem(hPage, IDC_KEY_LAYER);
            HWND hApply = GetDlgItem(hPage, IDC_KEY_APPLY);
            if (IsWindowEnabled(hLayer) && IsWindowEnabled(hApply)) {
                Act("Tasten \u00DCbernehmen", [&] {
                    headless::Type(hLayer, L"2");
                    headless::Click(hApply);
                });
            } else {
                Effect("Tasten \u00DCbernehmen grey");
            }
            Click(hPage, IDC_KEY_LOCK, "Tasten lock key codes");
            Click(hPage, IDC_KEY_LOCK, "Tasten unlock key codes");
            Click(hPage, IDC_KEY_SHOW, "Tasten Zeigen...");
            Click(hPage, IDC_KEY_SAVE, "Tasten Sichern...");
        } else if (strTab == L"LEDs") {
            Click(hPage, IDC_LED_ON, "LEDs Ein");
            Click(hPage, IDC_LED_ALL, "LEDs Alle LEDs setzen");
            Click(hPage, IDC_LED_OFF, "LEDs all Aus");
            Click(hPage, IDC_LED_ALL, "LEDs one LED again");
        } else if (strTab == L"Ravla") {
            m_nWhich = 1;
            Click(hPage, IDC_RAVLA1_FIRMWARE, "Ravla slot 1 Firmware...");
            m_nWhich = 2;
            Click(hPage, IDC_RAVLA2_FIRMWARE, "Ravla slot 2 Firmware...");
        } else if (strTab == L"Anwendereinstellungen") {
            Click(hPage, IDC_USER_LED, "User LED");
        } else if (strTab == L"Versionen") {
            m_nWhich = 0;
            Click(hPage, IDC_VER_FPGA_FIRMWARE, "Versionen FPGA Firmware...");
            Click(hPage, IDC_VER_FPGA_SAVE, "Versionen FPGA Sichern...");
            Click(hPage, IDC_VER_FPGA_UPDATE, "Versionen FPGA Update...");
            Click(hPage, IDC_VER_INFO, "Versionen Info...");
        } else if (strTab == L"Bericht") {
            Click(hPage, IDC_REPORT_SET_ALL, "Bericht Alle setzen");
            Click(hPage, IDC_REPORT_SHOW, "Bericht anzeigen...");
        }
    }

    // A refused step leaves the field as it was.
    void ClickArrow(HWND hPage, int nId, int nField, const std::string& strName) {
        HWND hButton = GetDlgItem(hPage, nId);
        if (!IsWindowEnabled(hButton)) return;
        std::wstring strBefore = headless::TextOf(GetDlgItem(hPage, nField));
        Act(strName, [&] { headless::Click(hButton); });
        const Call* pSet = nullptr;
        for (const Call& call : m_actions.back().calls)
            if (call.op == "IvroSetBrightness" || call.op == "IvroSetContrast") pSet = &call;
        std::wstring strAfter = headless::TextOf(GetDlgItem(hPage, nField));
        if (pSet && !pSet->ok && strAfter != strBefore)
            Problem(strName + ": the field shows " + Narrow(strAfter) + " after a refused step");
    }

    void DriveDialog(HWND hDlg) {
        const int nTemplate = headless::TemplateIdOf(hDlg);
        switch (nTemplate) {
            case IDD_KEY_MATRIX:
                CheckMatrix(hDlg, false);
                for (int nTick = 0; nTick < 3; ++nTick) {
                    headless::FireTimer(hDlg, 1);
                    CheckMatrix(hDlg, true);
                }
                break;
            case IDD_FIRMWARE_INFO:
                CheckFirmwareInfo(hDlg);
                break;
            case IDD_TRANSFER:
                WaitForTransfer(hDlg);
                CheckTransfer(hDlg);
                break;
            case IDD_REPORT_VIEW:
                CheckReport(headless::TextOf(GetDlgItem(hDlg, IDC_REPORT_TEXT)));
                break;
            default:
                break;
        }
        if (!headless::IsModalEnded(hDlg)) headless::PressOk(hDlg);
    }

    // ------------------------------------------------------------ checks

    void Problem(const std::string& strText) {
        std::string strWhere = m_actions.empty() ? "" : m_actions.back().name + ": ";
        m_problems.push_back(strWhere + strText);
    }

    void Effect(const std::string& strText) { m_effects.insert(strText); }

    std::wstring Word(DWORD dwError) const { return StatusWord(dwError); }

    std::map<int, std::wstring> Snapshot(const std::wstring& strPage) const {
        std::map<int, std::wstring> texts;
        int nIndex = -1;
        for (size_t i = 0; i < m_tabs.size(); ++i)
            if (m_tabs[i] == strPage) nIndex = static_cast<int>(i);
        if (nIndex < 0) return texts;
        HWND hPage = headless::ActivePage(m_hSheet);
        if (!hPage ||
            headless::SheetTabTitles(
                m_hSheet)[static_cast<size_t>(headless::ActivePageIndex(m_hSheet))] != strPage)
            return texts;
        for (const FieldRule& rule : kFields)
            if (strPage == rule.page) texts[rule.id] = headless::TextOf(GetDlgItem(hPage, rule.id));
        return texts;
    }

    // Every field whose read ran in the action shows what the read gave.
    void CheckFields(const std::wstring& strPage, const std::map<int, std::wstring>& before,
                     bool bTick) {
        HWND hPage = headless::ActivePage(m_hSheet);
        const std::vector<Call>& calls = m_actions.back().calls;
        for (const FieldRule& rule : kFields) {
            if (strPage != rule.page) continue;
            const Call* pCall = LastCall(calls, rule.op, rule.arg);
            if (!pCall) continue;
            CheckField(hPage, rule, *pCall, before, bTick);
        }
    }

    void CheckField(HWND hWnd, const FieldRule& rule, const Call& call,
                    const std::map<int, std::wstring>& before, bool bTick) {
        const std::string strWhere = Narrow(rule.page) + " " + rule.label;
        const std::wstring strText = headless::TextOf(GetDlgItem(hWnd, rule.id));
        if (call.ok) {
            if (IsStatusText(strText))
                Problem(strWhere + " shows \"" + Narrow(strText) + "\" after a good read");
            return;
        }
        auto previous = before.find(rule.id);
        const bool bKnown = previous != before.end();
        switch (rule.shows) {
            case Shows::StatusWord:
            case Shows::Ravla: {
                std::wstring strWord = Word(call.error);
                if (rule.shows == Shows::Ravla && call.error == ERROR_NOT_SUPPORTED)
                    strWord = L"Nicht unterst\u00FCtzt.";
                if (strText != strWord)
                    Problem(strWhere + " shows \"" + Narrow(strText) + "\", not \"" +
                            Narrow(strWord) + "\"");
                Effect(strWhere + ": " +
                       (strWord == L"Nicht unterst\u00FCtzt."
                            ? "\"Nicht unterst\u00FCtzt.\", buttons grey"
                            : "status word"));
                break;
            }
            case Shows::Layer:
                if (bTick) {
                    if (strText != L"0")
                        Problem(strWhere + " shows \"" + Narrow(strText) + "\", not 0");
                    Effect(strWhere + ": 0 on a tick, layer input grey");
                    break;
                }
                [[fallthrough]];
            case Shows::Keep:
                if (bKnown && strText != previous->second)
                    Problem(strWhere + " changed to \"" + Narrow(strText) +
                            "\" although its read failed");
                if (IsStatusText(strText)) Problem(strWhere + " shows \"" + Narrow(strText) + "\"");
                Effect(strWhere + ": keeps its last value");
                break;
            case Shows::Group:
                if (bTick) {
                    if (bKnown && strText != previous->second)
                        Problem(strWhere + " changed although its read failed");
                    Effect(strWhere + ": keeps its last value on a tick");
                } else {
                    if (IsWindowEnabled(GetDlgItem(hWnd, rule.group)))
                        Problem(strWhere + " group stays usable although its read failed");
                    Effect(strWhere + ": group grey");
                }
                break;
        }
    }

    void CheckMatrix(HWND hDlg, bool bTick) {
        std::vector<Call> calls = CallsSoFar();
        for (const FieldRule& rule : kFields) {
            if (std::wstring(rule.page) != L"key matrix") continue;
            const Call* pCall = LastCall(calls, rule.op, rule.arg);
            if (pCall) CheckField(hDlg, rule, *pCall, {}, bTick);
        }
    }

    void CheckFirmwareInfo(HWND hDlg) {
        std::vector<Call> calls = CallsSoFar();
        static const char* const kNames[] = {"FPGA", "slot 1", "slot 2", "FPGA1"};
        for (const FirmwareField& field : kFirmwareFields) {
            std::string strArg =
                " item=" + std::to_string(field.itemOffset + static_cast<DWORD>(m_nWhich)) + " ";
            const Call* pCall = LastCall(calls, field.op, strArg);
            if (!pCall) {
                Problem(std::string("the firmware dialog did not read its ") + field.label);
                continue;
            }
            std::wstring strText = headless::TextOf(GetDlgItem(hDlg, field.id));
            std::string strWhere =
                std::string("firmware dialog (") + kNames[m_nWhich] + ") " + field.label;
            if (pCall->ok) {
                if (IsStatusText(strText)) Problem(strWhere + " shows a status word");
            } else {
                if (strText != Word(pCall->error))
                    Problem(strWhere + " shows \"" + Narrow(strText) + "\"");
                Effect(strWhere + ": status word");
            }
        }
    }

    void CheckTransfer(HWND hDlg) {
        std::vector<Call> calls = CallsSoFar();
        const Call* pTransfer = LastCall(calls, "IvroDownloadFile");
        if (!pTransfer) pTransfer = LastCall(calls, "IvroUploadFile");
        if (!pTransfer) {
            Problem("the transfer dialog did not transfer");
            return;
        }
        const bool bDownload = pTransfer->op == "IvroDownloadFile";
        std::wstring strTitle = headless::TextOf(hDlg);
        const std::wstring strDone = Loaded(bDownload ? IDS_DOWNLOAD_DONE : IDS_UPLOAD_DONE);
        if (pTransfer->ok) {
            if (strTitle != strDone)
                Problem("the transfer worked but the dialog says \"" + Narrow(strTitle) + "\"");
            // The FPGA needs a restart after a download; only the device can tell.
            if (bDownload && headless::TextOf(GetDlgItem(hDlg, IDC_TRANSFER_INFO)).empty())
                Effect("FPGA download: no restart text, no restart question");
        } else if (strTitle == strDone || !headless::IsModalEnded(hDlg)) {
            Problem("the transfer failed but the dialog says \"" + Narrow(strTitle) + "\"");
        }
    }

    // Each failed read of the report writes its failure text, and only those.
    void CheckReport(const std::wstring& strReport) {
        std::vector<Call> calls = CallsSoFar();
        size_t nFailed = 0;
        // Only the injected error: a part the device lacks fails with 50 anyway.
        for (const Call& call : calls)
            if (!call.ok && call.error == m_dwCode && call.op != "IvroGetWmiMode") ++nFailed;
        const std::wstring strFailure = SystemText(m_dwCode);
        size_t nShown = 0;
        std::wstring strSection;
        std::wistringstream lines(strReport);
        std::wstring strLine;
        while (std::getline(lines, strLine)) {
            if (!strLine.empty() && strLine.back() == L'\r') strLine.pop_back();
            if (strLine.compare(0, 4, L"--- ") == 0)
                strSection = strLine.substr(4, strLine.size() - 8);
            for (size_t at = strLine.find(strFailure); at != std::wstring::npos;
                 at = strLine.find(strFailure, at + 1)) {
                ++nShown;
                std::wstring strLabel = strLine.substr(0, strLine.find(L": "));
                Effect("report " + Narrow(strSection) + ": " + Narrow(strLabel) +
                       " line has the failure text");
            }
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
        std::vector<const headless::MessageBoxRecord*> failures;
        for (const headless::MessageBoxRecord& box : action.boxes) {
            if (box.caption != m_strAppName && box.caption != Loaded(IDS_KCF_INFO_CAPTION))
                Problem("a message captioned \"" + Narrow(box.caption) + "\"");
            bool bStop = (box.type & MB_ICONMASK) == MB_ICONSTOP;
            std::wstring strFirst = box.text.substr(0, box.text.find(L'\n'));
            if (bStop) failures.push_back(&box);
            if (box.caption == Loaded(IDS_KCF_INFO_CAPTION)) {
                CheckInfoBox(action, box);
                continue;
            }
            if (box.text == Loaded(IDS_ASK_RESTART) || box.text == Loaded(IDS_ASK_KEY_MATRIX))
                continue;
            Effect("message after " + action.name + ": \"" + Narrow(strFirst) + "\"" +
                   (box.text.find(L'\n') != std::wstring::npos ? " + system text" : ""));
        }
        if (failures.size() > 1)
            Problem(std::to_string(failures.size()) + " failure messages for one action");

        const Call* pFailedWrite = nullptr;
        for (const Call& call : action.calls)
            if (!call.ok && FindWrite(call.op) && call.error != ERROR_CANCELLED && !pFailedWrite)
                pFailedWrite = &call;
        bool bClosing = action.name == "OK" || action.name == "Cancel";
        if (pFailedWrite && !bClosing && failures.empty())
            Problem(pFailedWrite->op + " failed without a message");
        if (!pFailedWrite && !failures.empty()) {
            bool bNotDevice =
                action.name == "open" && failures.front()->text == Loaded(IDS_NOT_A_DEVICE);
            if (!bNotDevice)
                Problem("a failure message without a failed write: \"" +
                        Narrow(failures.front()->text) + "\"");
        }
        for (const headless::MessageBoxRecord* pBox : failures) {
            size_t nBreak = pBox->text.find(L'\n');
            if (nBreak == std::wstring::npos) continue;  // 1051
            std::wstring strFirst = pBox->text.substr(0, nBreak);
            std::wstring strRest = pBox->text.substr(nBreak + 1);
            if (strRest != SystemText(m_dwCode))
                Problem("the message \"" + Narrow(strFirst) + "\" does not end in the system text");
            const WriteRule* pRule = pFailedWrite ? FindWrite(pFailedWrite->op) : nullptr;
            if (pRule && strFirst != Loaded(pRule->ids[0]) &&
                (!pRule->ids[1] || strFirst != Loaded(pRule->ids[1])))
                Problem("the message \"" + Narrow(strFirst) + "\" is not the one of " +
                        pFailedWrite->op);
        }
    }

    // A line of the key configuration info that cannot be read says why.
    void CheckInfoBox(const Action& action, const headless::MessageBoxRecord& box) {
        size_t nFailed = 0;
        for (const Call& call : action.calls)
            if (call.op == "IvroGetKeyConfigInfo" && !call.ok && call.error == m_dwCode) ++nFailed;
        size_t nShown = 0;
        const std::wstring strFailure = SystemText(m_dwCode);
        for (size_t at = box.text.find(strFailure); at != std::wstring::npos;
             at = box.text.find(strFailure, at + 1))
            ++nShown;
        if (nShown != nFailed)
            Problem("the info box shows the system text " + std::to_string(nShown) + " times for " +
                    std::to_string(nFailed) + " failed reads");
        if (nFailed) Effect("Tasten Info... box: the line that failed has the system text");
    }

    // Cancel writes back what the pages read at their first activation; OK
    // stores the display values the user set and writes nothing back.
    void CheckRestores() {
        const Action* pClose = nullptr;
        for (const Action& action : m_actions)
            if (action.name == "OK" || action.name == "Cancel") pClose = &action;
        if (!pClose) {
            Problem("the sheet was not closed");
            return;
        }
        for (const Call& call : pClose->calls)
            if (!call.ok) Effect(pClose->name + ": " + call.op + " fails, not reported");

        // What the pages read at their first activation.
        auto firstRead = [&](const std::string& strPage, const std::string& strOp,
                             const std::string& strArg) -> const Call* {
            for (const Action& action : m_actions) {
                bool bPage = action.name == "visit " + strPage ||
                             (action.name == "open" && strPage == "Display");
                if (bPage) return LastCall(action.calls, strOp, strArg);
            }
            return nullptr;
        };
        struct Saved {
            const char* page;
            const char* readOp;
            std::string readArg;
            const char* restoreOp;
            std::string restoreArgs;
            const char* key;
            std::string value;
        };
        std::vector<Saved> saved = {
            {"Display", "IvroGetBrightness", "", "IvroSetBrightness",
             " value=" + m_initial[0] + " ", "display.brightness", m_initial[0]},
            {"Display", "IvroGetContrast", "", "IvroSetContrast", " value=" + m_initial[1] + " ",
             "display.contrast", m_initial[1]},
            {"Tasten", "IvroGetKeyLayer", "", "IvroSetKeyLayer", " layer=" + m_initial[2] + " ",
             "keys.layer", m_initial[2]},
            {"Anwendereinstellungen", "IvroGetUserLed", "", "IvroSetUserLed",
             " state=" + m_initial[3] + " ", "user.led", m_initial[3]},
        };
        for (int nLayer = 0; nLayer < 4; ++nLayer)
            saved.push_back({"LEDs", "IvroGetLedMatrix", " layer=" + std::to_string(nLayer) + " ",
                             "IvroSetLedMatrix", " layer=" + std::to_string(nLayer) + " ", nullptr,
                             ""});
        saved.back().key = nullptr;

        std::set<std::string> restoreOps = {"IvroSetBrightness", "IvroSetContrast",
                                            "IvroSetKeyLayer", "IvroSetUserLed",
                                            "IvroSetLedMatrix"};
        if (m_close == Close::Ok) {
            for (const Call& call : pClose->calls)
                if (restoreOps.count(call.op)) Problem("OK writes back: " + call.op + call.args);
            CheckDefaults(*pClose);
            return;
        }
        for (const Call& call : pClose->calls)
            if (call.op.compare(0, 14, "IvroSetDefault") == 0)
                Problem("Cancel stores a default: " + call.op);
        for (size_t i = 0; i < saved.size(); ++i) {
            const Saved& item = saved[i];
            const Call* pRead = firstRead(item.page, item.readOp, item.readArg);
            const Call* pRestore = LastCall(pClose->calls, item.restoreOp, item.restoreArgs);
            bool bWasSaved = pRead && pRead->ok;
            if (bWasSaved && !pRestore)
                Problem(std::string("Cancel does not write back ") + item.restoreOp +
                        item.restoreArgs);
            if (!bWasSaved && pRestore)
                Problem(std::string("Cancel writes back ") + item.restoreOp + item.restoreArgs +
                        " that the page never read");
            if (!bWasSaved && pRead)
                Effect(std::string("Cancel: ") + item.restoreOp +
                       item.restoreArgs.substr(0, item.restoreArgs.size() - 1) +
                       " not written back (never read)");
            std::string strValue = i >= 4 ? m_initial[4 + (i - 4)] : item.value;
            std::string strKey = i >= 4 ? "leds.matrix." + std::to_string(i - 4)
                                        : std::string(item.key ? item.key : "");
            if (pRestore && pRestore->ok && TmSimGetString(strKey.c_str()) != strValue)
                Problem("after Cancel " + strKey + " is " + TmSimGetString(strKey.c_str()) +
                        ", not " + strValue);
        }
    }

    // OK makes the last values the page set the defaults.
    void CheckDefaults(const Action& close) {
        for (const char* pszOp : {"IvroSetBrightness", "IvroSetContrast"}) {
            const Call* pLastGood = nullptr;
            for (const Action& action : m_actions) {
                if (&action == &close) break;
                for (const Call& call : action.calls)
                    if (call.op == pszOp && call.ok) pLastGood = &call;
            }
            std::string strDefault =
                std::string("IvroSetDefault") + (pszOp + std::string("IvroSet").size());
            const Call* pDefault = LastCall(close.calls, strDefault);
            if (pLastGood && (!pDefault || pDefault->args != pLastGood->args))
                Problem("OK does not store " + strDefault + pLastGood->args);
            if (!pLastGood && pDefault) Problem("OK stores " + strDefault + " that was never set");
        }
    }

    const std::string m_strOp;
    const DWORD m_dwCode;
    const Mode m_mode;
    const Close m_close;
    std::vector<std::string> m_initial;
    std::vector<Action> m_actions;
    bool m_bInAction = false;
    HWND m_hSheet = nullptr;
    std::vector<std::wstring> m_tabs;
    std::wstring m_strAppName;
    int m_nWhich = 0;
};

// ---------------------------------------------------------------------------
// The table

std::string DocPath() {
    return std::string(TM_SOURCE_DIR) + "/docs/faults.md";
}

const char kDocHead[] =
    "# How the applet behaves on a failing device\n"
    "\n"
    "Written by the fault sweep (`tests/native/fault_sweep_test.cpp`), which checks\n"
    "every row on every test run. For each of the 45 device operations the sweep\n"
    "makes the simulator fail it with each error class the applet tells apart, for\n"
    "good (\"always\") and on its second call only (\"once\"), and then works the\n"
    "applet as a user would on the default Marlet: it opens the sheet, visits every\n"
    "page with its timers ticking, presses the arrows, Info..., \u00DCbernehmen, the\n"
    "key lock, Zeigen..., Sichern..., the LED states (one LED and all), the user LED,\n"
    "Firmware..., the FPGA backup and update, shows the report with all sections and\n"
    "closes the sheet with OK and with Cancel.\n"
    "\n"
    "Every run ends in time without a crash, shows at most one failure message per\n"
    "user action (the device-error message: the German text, a line break and the\n"
    "system text of the error), never shows a read's old value as new or a status\n"
    "word after a good read, writes a failure text into the report for every read\n"
    "that failed, and Cancel writes back what the pages read when first shown.\n"
    "\n"
    "How to read a row: \"status word\" is the field's word for the error: 2, 50, 120,\n"
    "1168 \"(keine)\"; 121, 1460 \"Timeout\"; 170 \"Busy\"; 87 \"Fehler\". \"grey\" names a\n"
    "button the page disabled, so the sweep could not press it. \"report X: Y line\"\n"
    "names the report section and the line that carries the system text of the\n"
    "error. \"not reported\" is a failure the applet ignores by design (defaults\n"
    "stored at OK, values written back at Cancel). Codes that behave alike share a\n"
    "row.\n"
    "\n"
    "To write this file anew after a change of the applet:\n"
    "\n"
    "```sh\n"
    "TM_FAULTS_DOC_UPDATE=1 build/native/tests/native/tm_tests --gtest_filter='FaultSweep.*'\n"
    "```\n"
    "\n"
    "`TM_SWEEP_LOG=FILE` adds a record of every run (messages with their captions,\n"
    "failed calls, what each run showed, the calls at OK and Cancel);\n"
    "`TM_SWEEP_PROFILE=FILE` sweeps another device profile, with every check but\n"
    "without the table.\n";

std::string JoinCodes(const std::vector<DWORD>& codes) {
    std::string strOut;
    for (DWORD dwCode : codes) strOut += (strOut.empty() ? "" : ", ") + std::to_string(dwCode);
    return strOut;
}

std::string Cell(const std::set<std::string>& effects) {
    if (effects.empty()) return "nothing to see";
    std::string strOut;
    for (const std::string& strEffect : effects) {
        std::string strText = strEffect;
        for (size_t at = strText.find('|'); at != std::string::npos; at = strText.find('|', at + 2))
            strText.replace(at, 1, "\\|");
        strOut += (strOut.empty() ? "" : "<br>") + strText;
    }
    return strOut;
}

// The table part of one operation: one row per mode and group of codes.
std::string OperationSection(const std::string& strOp,
                             const std::map<Mode, std::map<DWORD, std::set<std::string>>>& seen) {
    std::string strOut =
        "\n### " + strOp + "\n\n| fails | codes | what the user sees |\n|---|---|---|\n";
    for (Mode mode : {Mode::Always, Mode::Once}) {
        std::vector<std::pair<std::set<std::string>, std::vector<DWORD>>> groups;
        for (DWORD dwCode : kCodes) {
            const std::set<std::string>& effects = seen.at(mode).at(dwCode);
            auto it = std::find_if(groups.begin(), groups.end(),
                                   [&](const auto& group) { return group.first == effects; });
            if (it == groups.end())
                groups.push_back({effects, {dwCode}});
            else
                it->second.push_back(dwCode);
        }
        for (const auto& group : groups)
            strOut += std::string("| ") + (mode == Mode::Always ? "always" : "once") + " | " +
                      JoinCodes(group.second) + " | " + Cell(group.first) + " |\n";
    }
    return strOut;
}

// The sections of the table file by operation.
std::map<std::string, std::string> ReadDocSections() {
    std::map<std::string, std::string> sections;
    std::ifstream file(DocPath());
    std::string strLine, strOp, strText;
    auto flush = [&] {
        if (!strOp.empty()) sections[strOp] = strText;
    };
    while (std::getline(file, strLine)) {
        if (strLine.compare(0, 4, "### ") == 0) {
            flush();
            strOp = strLine.substr(4);
            strText = "\n" + strLine + "\n";
        } else if (!strOp.empty()) {
            strText += strLine + "\n";
        }
    }
    flush();
    // Each section ends where the next begins; its trailing blank line goes.
    for (auto& section : sections)
        while (section.second.size() > 1 &&
               section.second.compare(section.second.size() - 2, 2, "\n\n") == 0)
            section.second.pop_back();
    return sections;
}

void WriteDoc(const std::map<std::string, std::string>& sections) {
    std::ofstream file(DocPath(), std::ios::trunc);
    file << kDocHead;
    for (const tmsim::OperationInfo& op : tmsim::Operations()) {
        auto it = sections.find(op.m_pszName);
        if (it != sections.end()) file << it->second;
    }
}

// ---------------------------------------------------------------------------
// The tests: one per operation, so that ctest runs them side by side.

class FaultSweep : public AppletTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
    }
    void TearDown() override { AppletTest::TearDown(); }
};

TEST_P(FaultSweep, NothingCrashesHangsOrLies) {
    static CWatchdog s_watchdog;
    const std::string strOp = GetParam();
    std::map<Mode, std::map<DWORD, std::set<std::string>>> seen;
    for (Mode mode : {Mode::Always, Mode::Once}) {
        for (DWORD dwCode : kCodes) {
            for (Close close : {Close::Cancel, Close::Ok}) {
                // A clean machine and device for each run.
                TearDown();
                SetUp();
                CSweepRun run(strOp, dwCode, mode, close);
                s_watchdog.Arm(run.Name());
                run.Run();
                s_watchdog.Disarm();
                for (const std::string& strProblem : run.m_problems)
                    ADD_FAILURE() << run.Name() << ": " << strProblem;
                std::set<std::string>& effects = seen[mode][dwCode];
                effects.insert(run.m_effects.begin(), run.m_effects.end());
            }
        }
    }

    std::string strSection = OperationSection(strOp, seen);
    if (std::getenv("TM_SWEEP_PROFILE")) return;
    if (std::getenv("TM_FAULTS_DOC_UPDATE")) {
        static std::mutex s_mutex;
        std::lock_guard<std::mutex> lock(s_mutex);
        std::map<std::string, std::string> sections = ReadDocSections();
        sections[strOp] = strSection;
        WriteDoc(sections);
        return;
    }
    std::map<std::string, std::string> sections = ReadDocSections();
    EXPECT_EQ(sections[strOp], strSection)
        << "docs/faults.md does not tell how the applet behaves when " << strOp
        << " fails; write it anew (see the file's head)";
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
