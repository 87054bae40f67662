// Finding the help file, the sheet's help entry points and the HTML Help binding.
#include <cpl.h>

#include <iterator>
#include <sstream>

#include "AppletTestEnv.h"
#include "applet/CplPropertySheet.h"
#include "applet/Help.h"
#include "res/resource.h"
#include "transfer/FirmwareInfoDlg.h"
#include "pages/KeyMatrixDlg.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

const wchar_t kSystemHelp[] = L"C:\\Windows\\system32\\TmRoveVodore.chm";
const UINT kPopup = 0x11;  // HH_TP_HELP_WM_HELP

// A call of HtmlHelpW as a line: window, command, file, data.
std::wstring Call(HWND hWnd, UINT uCommand, const std::wstring& strFile, DWORD_PTR dwData = 0) {
    std::wostringstream line;
    line << hWnd << L' ' << uCommand << L' ' << strFile << L' ' << dwData << L'\n';
    return line.str();
}
std::wstring PopupCall(HWND hItem) {
    return Call(hItem, kPopup, std::wstring(kSystemHelp) + L"::/TmRoveVodoreHelp.txt",
                reinterpret_cast<DWORD_PTR>(GetContextHelpIds()));
}
std::wstring TopicCall(HWND hWnd, const std::wstring& strTopic) {
    return Call(hWnd, 0, std::wstring(kSystemHelp) + L"::/html/" + strTopic);
}

std::wstring g_strCalls;
HWND WINAPI FakeHtmlHelpW(HWND hWnd, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    g_strCalls += Call(hWnd, uCommand, pszFile ? pszFile : L"", dwData);
    return nullptr;
}
// The calls since the last take.
std::wstring TakeCalls() {
    std::wstring strCalls;
    strCalls.swap(g_strCalls);
    return strCalls;
}

const wchar_t kClsidKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

class HelpTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        ResetHtmlHelpBinding();
        g_strCalls.clear();
        fakeplat::RegisterModule(L"hhctrl.ocx", {{15, &FakeHtmlHelpW}});
        // Installed apart from the system directory, so that each step of
        // the help-file search can be told from the others.
        fakeplat::SetModuleFileName(AfxGetInstanceHandle(), L"D:\\Tools\\TmRoveVodore.cpl");
    }

    // Opens the sheet and runs fn on it, then cancels it.
    void WithSheet(const std::function<void(HWND)>& fn) {
        headless::ScopedModalHandler handler([&](HWND hWnd) {
            if (!headless::ModalRuns().back().sheet) return;
            fn(hWnd);
            headless::PressCancel(hWnd);
        });
        CPlApplet(nullptr, CPL_INIT, 0, 0);
        CPlApplet(nullptr, CPL_DBLCLK, 0, 0);
    }

    // WM_HELP for a control of hWnd, the question answered with nAnswer.
    static void Ask(HWND hWnd, int nCtrlId, int nAnswer = IDNO, int nType = HELPINFO_WINDOW) {
        HELPINFO info = {sizeof(HELPINFO), nType, nCtrlId, hWnd, 0, {0, 0}};
        headless::ScopedMessageBoxHandler answer(
            [nAnswer](const headless::MessageBoxRecord&) { return nAnswer; });
        SendMessageW(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
};

TEST_F(HelpTest, HelpFileIsSearchedBesideTheAppletThenWindowsThenSystemDirectory) {
    LoadModule();
    EXPECT_FALSE(m_pApp->m_bHelpAvailable);
    EXPECT_TRUE(m_pApp->m_strHelpFile.IsEmpty());

    // Each found file wins over the one before; one planted in the current
    // directory (where the file dialogs leave it) is never taken.
    fakeplat::SetCurrentDirectory(L"C:\\Users\\user\\Downloads");
    const std::wstring windowsHelp = L"C:\\Windows\\Help\\TmRoveVodore.chm";
    const std::pair<std::wstring, std::wstring> kSteps[] = {
        {kSystemHelp, kSystemHelp},
        {windowsHelp, windowsHelp},
        {L"C:\\Users\\user\\Downloads\\TmRoveVodore.chm", windowsHelp},
        {L"D:\\Tools\\TmRoveVodore.chm", L"D:\\Tools\\TmRoveVodore.chm"}};
    for (const auto& step : kSteps) {
        fakeplat::AddFile(step.first);
        LoadModule();
        EXPECT_EQ(CString(step.second.c_str()), m_pApp->m_strHelpFile) << step.first;
    }

    // Paths too long for their buffers must not be used half-read: the
    // module's cut after "D:\a\" would name a help file there.
    fakeplat::SetModuleFileName(AfxGetInstanceHandle(),
                                L"D:\\a\\" + std::wstring(300, L'x') + L"\\TmRoveVodore.cpl");
    fakeplat::AddFile(L"D:\\a\\TmRoveVodore.chm");
    fakeplat::SetWindowsDirectory(L"C:\\" + std::wstring(240, L'w'));
    fakeplat::AddFile(L"C:\\" + std::wstring(240, L'w') + L"\\Help\\TmRoveVodore.chm");
    LoadModule();
    EXPECT_EQ(CString(kSystemHelp), m_pApp->m_strHelpFile);

    fakeplat::SetWindowsDirectory(L"");
    LoadModule();
    EXPECT_EQ(CString(kSystemHelp), m_pApp->m_strHelpFile);

    fakeplat::SetSystemDirectory(L"");
    LoadModule();
    EXPECT_FALSE(m_pApp->m_bHelpAvailable);
}

TEST_F(HelpTest, WithoutAHelpFileTheSheetOffersNone) {
    LoadModule();
    WithSheet([](HWND hSheet) {
        EXPECT_EQ(0, GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        for (const auto& item : headless::MenuItems(GetSystemMenu(hSheet, FALSE)))
            EXPECT_NE(L"&Hilfe", item.text);
        headless::PressF1(GetDlgItem(headless::ActivePage(hSheet), 1164));
        Ask(hSheet, 1110, IDYES);
        headless::SysCommand(hSheet, CCplPropertySheet::kHelpCommand);
    });
    EXPECT_EQ(L"", TakeCalls());
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(fakeplat::LoadLibraryCalls().empty());
}

TEST_F(HelpTest, F1ShowsPopupForListedControlsAndAsksForOthers) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    WithSheet([&](HWND hSheet) {
        EXPECT_NE(0, GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        auto items = headless::MenuItems(GetSystemMenu(hSheet, FALSE));
        ASSERT_GE(items.size(), 2u);
        EXPECT_TRUE(items[items.size() - 2].flags & MF_SEPARATOR);
        EXPECT_EQ(L"&Hilfe", items.back().text);
        EXPECT_EQ(CCplPropertySheet::kHelpCommand, items.back().id);
        HWND hEdit = GetDlgItem(headless::ActivePage(hSheet), 1164);
        headless::PressF1(hEdit);
        EXPECT_EQ(PopupCall(hEdit), TakeCalls());
        // OK counts as listed; a listed id from a menu shows nothing.
        Ask(hSheet, IDOK);
        Ask(hSheet, 1164, IDYES, HELPINFO_MENUITEM);
        EXPECT_EQ(PopupCall(hSheet), TakeCalls());
        EXPECT_TRUE(headless::MessageBoxes().empty());

        // Not listed: a question; No shows nothing, Yes the page's topic.
        Ask(hSheet, 1110, IDNO);
        EXPECT_EQ(L"", TakeCalls());
        Ask(hSheet, 1110, IDYES);
        EXPECT_EQ(TopicCall(hSheet, L"ZuVereruDisplay.htm"), TakeCalls());
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(
            L"Für dieses Feld ist keine Kontexthilfe vorhanden. Wollen Sie die Standardhilfe des "
            L"Control Center ansehen?",
            boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes[0].type);

        // The system menu item opens the active page's topic directly, on every page.
        headless::ClearMessageBoxes();
        const wchar_t* const kTopics[] = {
            L"Display",  L"Keys",         L"Leds",         L"Switches",
            L"Ravla",    L"Temperatures", L"UserSettings", L"FactorySettings",
            L"Versions", L"Report"};
        ASSERT_EQ(std::size(kTopics), headless::SheetTabTitles(hSheet).size());
        for (size_t i = 0; i < std::size(kTopics); ++i) {
            ASSERT_TRUE(headless::SelectPage(hSheet, static_cast<int>(i)));
            headless::SysCommand(hSheet, CCplPropertySheet::kHelpCommand);
            EXPECT_EQ(TopicCall(hSheet, L"ZuVereru" + std::wstring(kTopics[i]) + L".htm"),
                      TakeCalls());
        }
        EXPECT_TRUE(headless::MessageBoxes().empty());
    });
    // The help windows close with the sheet; the control stays loaded when
    // the applet exits: freeing it then would happen under the loader lock
    // when the host unloads the module.
    EXPECT_EQ(Call(nullptr, 0x12, L""), TakeCalls());  // HH_CLOSE_ALL
    CPlApplet(nullptr, CPL_EXIT, 0, 0);
    EXPECT_EQ(1, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nRefCount);
    EXPECT_EQ(0, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nFreeCalls);
}

TEST_F(HelpTest, DialogsOverTheSheetAnswerHelpOnceWithTheirOwnTopic) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    const struct {
        int nListed;
        const wchar_t* pszTopic;
        std::function<void(HWND)> open;
    } kDialogs[] = {
        {IDC_FW_STATUS, L"ZuVereruVersion.htm", [](HWND) { CFirmwareInfoDlg().DoModal(); }},
        {IDC_MATRIX_FIRST, L"ZuVereruKeys.htm#KeyMatrixDlg",
         [](HWND) { CKeyMatrixDlg().DoModal(); }},
        {1266, L"ZuVereruReport.htm#ReportDlg",
         [](HWND hSheet) {
             ASSERT_TRUE(headless::SelectPage(hSheet, 9));
             headless::Click(GetDlgItem(headless::ActivePage(hSheet), 1264));
         }},
    };
    for (const auto& dialog : kDialogs) {
        SCOPED_TRACE(dialog.pszTopic);
        headless::ClearMessageBoxes();
        bool bShown = false;
        WithSheet([&](HWND hSheet) {
            headless::ScopedModalHandler handler([&](HWND hDlg) {
                bShown = true;
                // Opened from the sheet, owned by it as on Windows.
                EXPECT_EQ(hSheet, GetWindow(hDlg, GW_OWNER));
                EXPECT_TRUE(GetWindowLongPtrW(hDlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
                HWND hListed = GetDlgItem(hDlg, dialog.nListed);
                headless::PressF1(hListed);
                EXPECT_EQ(PopupCall(hListed), TakeCalls());
                Ask(hDlg, 1110, IDYES);
                EXPECT_EQ(1u, headless::MessageBoxes().size());
                EXPECT_EQ(TopicCall(hDlg, dialog.pszTopic), TakeCalls());
                headless::PressOk(hDlg);
            });
            dialog.open(hSheet);
        });
        EXPECT_TRUE(bShown);
        TakeCalls();
    }
}

TEST_F(HelpTest, HtmlHelpIsBoundOnceThroughTheRegisteredModuleOrFailsSilently) {
    const std::wstring registered = L"C:\\Windows\\System32\\hhctrl.ocx";
    fakeplat::RegisterModule(registered, {{15, &FakeHtmlHelpW}});
    fakeplat::SetRegString(HKEY_CLASSES_ROOT, kClsidKey, L"", registered);
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    EXPECT_EQ(std::vector<std::wstring>{registered}, fakeplat::LoadLibraryCalls());
    EXPECT_EQ(Call(nullptr, 0, L"x.chm") + Call(nullptr, 0, L"x.chm"), TakeCalls());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
    // A REG_EXPAND_SZ value is taken as well.
    ResetHtmlHelpBinding();
    fakeplat::SetRegString(HKEY_CLASSES_ROOT, kClsidKey, L"", registered, REG_EXPAND_SZ);
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    EXPECT_EQ(registered, fakeplat::LoadLibraryCalls().back());

    // A value that fills the 260 bytes without a terminator is never read
    // past; the unknown module it names falls back to the plain name.
    ResetHtmlHelpBinding();
    std::wstring unterminated(260, L'A');
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(unterminated.data());
    fakeplat::SetRegValue(
        HKEY_CLASSES_ROOT, kClsidKey, L"", REG_SZ,
        std::vector<BYTE>(pBytes, pBytes + unterminated.size() * sizeof(wchar_t)));
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    EXPECT_EQ(L"C:\\Windows\\system32\\hhctrl.ocx", fakeplat::LoadLibraryCalls().back());

    // No control at all fails silently and is not tried again; one without
    // export 15 is unloaded again.
    TakeCalls();
    fakeplat::Reset();
    ResetHtmlHelpBinding();
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(1u, fakeplat::LoadLibraryCalls().size());
    ResetHtmlHelpBinding();
    fakeplat::RegisterModule(L"hhctrl.ocx", {{16, &FakeHtmlHelpW}});
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(0, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nRefCount);
    EXPECT_EQ(L"", TakeCalls());
}

}  // namespace
