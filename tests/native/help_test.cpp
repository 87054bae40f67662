// Finding the help file, the sheet's help entry points and the HTML Help binding.
#include <cpl.h>

#include <map>

#include "AppletTestEnv.h"
#include "applet/CplPropertySheet.h"
#include "applet/Help.h"
#include "res/resource.h"
#include "transfer/FirmwareInfoDlg.h"
#include "pages/KeyMatrixDlg.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

struct HtmlHelpCall {
    HWND hWnd;
    std::wstring strFile;
    UINT uCommand;
    DWORD_PTR dwData;
};
std::vector<HtmlHelpCall> g_htmlHelpCalls;

HWND WINAPI FakeHtmlHelpW(HWND hWnd, LPCWSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    g_htmlHelpCalls.push_back({hWnd, pszFile ? pszFile : L"", uCommand, dwData});
    return nullptr;
}

const wchar_t kSystemHelp[] = L"C:\\Windows\\system32\\TmRoveVodore.chm";
std::wstring ClsidKey() {
    return L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
}

class HelpTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        ResetHtmlHelpBinding();
        g_htmlHelpCalls.clear();
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

    static HELPINFO HelpFor(int nCtrlId, HWND hItem, int nContextType = HELPINFO_WINDOW) {
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        info.iContextType = nContextType;
        info.iCtrlId = nCtrlId;
        info.hItemHandle = hItem;
        return info;
    }
};

TEST_F(HelpTest, HelpFileIsSearchedBesideTheAppletThenWindowsThenSystemDirectory) {
    LoadModule();
    EXPECT_FALSE(m_pApp->m_bHelpAvailable);
    EXPECT_TRUE(m_pApp->m_strHelpFile.IsEmpty());

    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    EXPECT_TRUE(m_pApp->m_bHelpAvailable);
    EXPECT_EQ(CString(kSystemHelp), m_pApp->m_strHelpFile);

    fakeplat::AddFile(L"C:\\Windows\\Help\\TmRoveVodore.chm");
    LoadModule();
    EXPECT_EQ(CString(L"C:\\Windows\\Help\\TmRoveVodore.chm"), m_pApp->m_strHelpFile);

    // One planted in the current directory (where the file dialogs leave
    // it) is never taken.
    fakeplat::SetCurrentDirectory(L"C:\\Users\\user\\Downloads");
    fakeplat::AddFile(L"C:\\Users\\user\\Downloads\\TmRoveVodore.chm");
    LoadModule();
    EXPECT_EQ(CString(L"C:\\Windows\\Help\\TmRoveVodore.chm"), m_pApp->m_strHelpFile);

    // The one beside the applet comes first, with its full path.
    fakeplat::AddFile(L"D:\\Tools\\TmRoveVodore.chm");
    LoadModule();
    EXPECT_EQ(CString(L"D:\\Tools\\TmRoveVodore.chm"), m_pApp->m_strHelpFile);
}

TEST_F(HelpTest, UnusableDirectoryQueriesAreSkipped) {
    fakeplat::AddFile(kSystemHelp);
    // A Windows directory too long for its buffer must not be used half-read.
    std::wstring longDir = L"C:\\" + std::wstring(240, L'w');
    fakeplat::SetWindowsDirectory(longDir);
    fakeplat::AddFile(longDir + L"\\Help\\TmRoveVodore.chm");
    LoadModule();
    EXPECT_EQ(CString(kSystemHelp), m_pApp->m_strHelpFile);

    fakeplat::SetWindowsDirectory(L"");
    LoadModule();
    EXPECT_EQ(CString(kSystemHelp), m_pApp->m_strHelpFile);

    fakeplat::SetSystemDirectory(L"");
    LoadModule();
    EXPECT_FALSE(m_pApp->m_bHelpAvailable);
}

TEST_F(HelpTest, SheetOffersHelpOnlyWithAHelpFile) {
    LoadModule();
    WithSheet([](HWND hSheet) {
        EXPECT_EQ(0, GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        for (const auto& item : headless::MenuItems(GetSystemMenu(hSheet, FALSE)))
            EXPECT_NE(L"&Hilfe", item.text);
        headless::PressF1(GetDlgItem(headless::ActivePage(hSheet), 1164));
    });
    EXPECT_TRUE(g_htmlHelpCalls.empty());
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_TRUE(fakeplat::LoadLibraryCalls().empty());

    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    WithSheet([](HWND hSheet) {
        EXPECT_NE(0, GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        auto items = headless::MenuItems(GetSystemMenu(hSheet, FALSE));
        ASSERT_GE(items.size(), 2u);
        EXPECT_TRUE(items[items.size() - 2].flags & MF_SEPARATOR);
        EXPECT_EQ(L"&Hilfe", items.back().text);
        EXPECT_EQ(CCplPropertySheet::kHelpCommand, items.back().id);
    });
}

TEST_F(HelpTest, F1ShowsPopupForListedControlsAndAsksForOthers) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    const std::wstring popupFile = std::wstring(kSystemHelp) + L"::/TmRoveVodoreHelp.txt";
    const std::wstring topicFile = std::wstring(kSystemHelp) + L"::/html/ZuVereruDisplay.htm";
    WithSheet([&](HWND hSheet) {
        HWND hEdit = GetDlgItem(headless::ActivePage(hSheet), 1164);
        headless::PressF1(hEdit);
        ASSERT_EQ(1u, g_htmlHelpCalls.size());
        EXPECT_EQ(hEdit, g_htmlHelpCalls[0].hWnd);
        EXPECT_EQ(popupFile, g_htmlHelpCalls[0].strFile);
        EXPECT_EQ(0x11u, g_htmlHelpCalls[0].uCommand);
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(GetContextHelpIds()), g_htmlHelpCalls[0].dwData);

        // OK counts as listed; a listed id from a menu shows nothing.
        HELPINFO ok = HelpFor(IDOK, hSheet);
        SendMessageW(hSheet, WM_HELP, 0, reinterpret_cast<LPARAM>(&ok));
        HELPINFO menu = HelpFor(1164, hSheet, HELPINFO_MENUITEM);
        SendMessageW(hSheet, WM_HELP, 0, reinterpret_cast<LPARAM>(&menu));
        ASSERT_EQ(2u, g_htmlHelpCalls.size());
        EXPECT_EQ(0x11u, g_htmlHelpCalls[1].uCommand);
        EXPECT_TRUE(headless::MessageBoxes().empty());

        // Not listed: question 1092; No shows nothing, Yes the page's topic.
        g_htmlHelpCalls.clear();
        HELPINFO other = HelpFor(1110, hSheet);
        SendMessageW(hSheet, WM_HELP, 0, reinterpret_cast<LPARAM>(&other));
        EXPECT_TRUE(g_htmlHelpCalls.empty());
        {
            headless::ScopedMessageBoxHandler yes(
                [](const headless::MessageBoxRecord&) { return IDYES; });
            SendMessageW(hSheet, WM_HELP, 0, reinterpret_cast<LPARAM>(&other));
        }
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(
            L"Für dieses Feld ist keine Kontexthilfe vorhanden. Wollen Sie die Standardhilfe des "
            L"Control Center ansehen?",
            boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), boxes[0].type);
        ASSERT_EQ(1u, g_htmlHelpCalls.size());
        EXPECT_EQ(hSheet, g_htmlHelpCalls[0].hWnd);
        EXPECT_EQ(topicFile, g_htmlHelpCalls[0].strFile);
        EXPECT_EQ(0u, g_htmlHelpCalls[0].uCommand);

        // The system menu item opens the topic directly.
        g_htmlHelpCalls.clear();
        headless::ClearMessageBoxes();
        headless::SysCommand(hSheet, 0x20);
        ASSERT_EQ(1u, g_htmlHelpCalls.size());
        EXPECT_EQ(topicFile, g_htmlHelpCalls[0].strFile);
        EXPECT_TRUE(headless::MessageBoxes().empty());

        // The topic is the active page's, on every page.
        const std::map<std::wstring, std::wstring> topics = {
            {L"Display", L"ZuVereruDisplay.htm"},
            {L"Tasten", L"ZuVereruKeys.htm"},
            {L"LEDs", L"ZuVereruLeds.htm"},
            {L"Schalter", L"ZuVereruSwitches.htm"},
            {L"Ravla", L"ZuVereruRavla.htm"},
            {L"Temperaturen", L"ZuVereruTemperatures.htm"},
            {L"Anwendereinstellungen", L"ZuVereruUserSettings.htm"},
            {L"Fabrikseinstellungen", L"ZuVereruFactorySettings.htm"},
            {L"Versionen", L"ZuVereruVersions.htm"},
            {L"Bericht", L"ZuVereruReport.htm"}};
        std::vector<std::wstring> titles = headless::SheetTabTitles(hSheet);
        for (size_t i = 1; i < titles.size(); ++i) {
            ASSERT_TRUE(headless::SelectPage(hSheet, static_cast<int>(i)));
            g_htmlHelpCalls.clear();
            headless::SysCommand(hSheet, 0x20);
            ASSERT_EQ(1u, g_htmlHelpCalls.size()) << titles[i];
            ASSERT_TRUE(topics.count(titles[i])) << titles[i];
            EXPECT_EQ(std::wstring(kSystemHelp) + L"::/html/" + topics.at(titles[i]),
                      g_htmlHelpCalls[0].strFile);
        }
    });
}

TEST_F(HelpTest, DialogsOverTheSheetAnswerHelpOnceWithTheirOwnTopic) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    // A dialog with a listed control and its topic.
    auto check = [&](int nListed, const wchar_t* pszTopic, const std::function<void()>& run) {
        WithSheet([&](HWND hSheet) {
            headless::ScopedModalHandler dialog([&](HWND hDlg) {
                // Opened from the sheet, owned by it as on Windows.
                EXPECT_EQ(hSheet, GetWindow(hDlg, GW_OWNER));
                EXPECT_TRUE(GetWindowLongPtrW(hDlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
                headless::PressF1(GetDlgItem(hDlg, nListed));
                EXPECT_EQ(1u, g_htmlHelpCalls.size());
                EXPECT_TRUE(headless::MessageBoxes().empty());

                g_htmlHelpCalls.clear();
                headless::ScopedMessageBoxHandler yes(
                    [](const headless::MessageBoxRecord&) { return IDYES; });
                HELPINFO other = HelpFor(1110, hDlg);
                SendMessageW(hDlg, WM_HELP, 0, reinterpret_cast<LPARAM>(&other));
                EXPECT_EQ(1u, headless::MessageBoxes().size());
                ASSERT_EQ(1u, g_htmlHelpCalls.size());
                EXPECT_EQ(std::wstring(kSystemHelp) + pszTopic, g_htmlHelpCalls[0].strFile);
                EXPECT_EQ(hDlg, g_htmlHelpCalls[0].hWnd);
                headless::PressOk(hDlg);
            });
            run();
        });
        g_htmlHelpCalls.clear();
        headless::ClearMessageBoxes();
    };
    check(IDC_FW_STATUS, L"::/html/ZuVereruVersion.htm", [] {
        CFirmwareInfoDlg info;
        info.DoModal();
    });
    check(IDC_MATRIX_FIRST, L"::/html/ZuVereruKeys.htm#KeyMatrixDlg", [] {
        CKeyMatrixDlg matrix;
        matrix.DoModal();
    });
}

TEST_F(HelpTest, ContextHelpTableListsEveryControlWithItsOwnId) {
    // The controls with popup help, in the table's order, ranges inclusive.
    const std::vector<std::pair<DWORD, DWORD>> ranges = {
        {1135, 1147}, {1149, 1166}, {1168, 1168}, {1172, 1178}, {1180, 1180}, {1182, 1187},
        {1190, 1190}, {1241, 1241}, {1192, 1201}, {1149, 1149}, {1202, 1202}, {1204, 1206},
        {1209, 1209}, {1211, 1211}, {1217, 1217}, {1012, 1012}, {1191, 1191}, {1249, 1249},
        {1254, 1254}, {1242, 1242}, {1250, 1253}, {1255, 1266}, {1220, 1220}, {1247, 1248},
        {1243, 1246}, {1272, 1272}, {1274, 1277}, {1267, 1268}, {1280, 1282}};
    std::vector<DWORD> expected;
    for (const auto& range : ranges)
        for (DWORD nId = range.first; nId <= range.second; ++nId) expected.push_back(nId);
    ASSERT_EQ(104u, expected.size());

    std::vector<DWORD> ids;
    const DWORD* p = GetContextHelpIds();
    for (; p[0] != 0; p += 2) {
        EXPECT_EQ(p[0], p[1]);
        ids.push_back(p[0]);
    }
    EXPECT_EQ(0u, p[1]);
    EXPECT_EQ(expected, ids);
}

TEST_F(HelpTest, HtmlHelpIsBoundOnceThroughTheRegisteredModule) {
    // The registered path is an ANSI text that fills its buffer unterminated.
    std::string path = "C:\\Windows\\System32\\hhctrl.ocx";
    fakeplat::RegisterModule(L"C:\\Windows\\System32\\hhctrl.ocx", {{15, &FakeHtmlHelpW}});
    fakeplat::SetRegString(HKEY_CLASSES_ROOT, ClsidKey(), L"",
                           std::wstring(path.begin(), path.end()));
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    auto loads = fakeplat::LoadLibraryCalls();
    ASSERT_EQ(1u, loads.size());
    EXPECT_EQ(L"C:\\Windows\\System32\\hhctrl.ocx", loads[0]);
    EXPECT_EQ(2u, g_htmlHelpCalls.size());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());

    // A value that fills the 260 bytes without a terminator is never read
    // past; the unknown module it names falls back to the plain name.
    ResetHtmlHelpBinding();
    std::wstring unterminated(260, L'A');
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(unterminated.data());
    fakeplat::SetRegValue(
        HKEY_CLASSES_ROOT, ClsidKey(), L"", REG_SZ,
        std::vector<BYTE>(pBytes, pBytes + unterminated.size() * sizeof(wchar_t)));
    CallHtmlHelp(nullptr, L"x.chm", 0, 0);
    EXPECT_EQ(L"C:\\Windows\\system32\\hhctrl.ocx", fakeplat::LoadLibraryCalls().back());
}

TEST_F(HelpTest, HelpWindowsCloseWithTheSheetAndTheControlStaysLoaded) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    // No help shown: nothing to close, nothing loaded.
    WithSheet([](HWND) {});
    EXPECT_TRUE(g_htmlHelpCalls.empty());

    WithSheet([](HWND hSheet) { headless::SysCommand(hSheet, 0x20); });
    ASSERT_EQ(2u, g_htmlHelpCalls.size());
    EXPECT_EQ(0x12u, g_htmlHelpCalls[1].uCommand);  // HH_CLOSE_ALL
    EXPECT_EQ(nullptr, g_htmlHelpCalls[1].hWnd);

    // Kept loaded when the applet exits: freeing it then would happen
    // under the loader lock when the host unloads the module.
    CPlApplet(nullptr, CPL_EXIT, 0, 0);
    EXPECT_EQ(1, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nRefCount);
    EXPECT_EQ(0, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nFreeCalls);
}

TEST_F(HelpTest, MissingHtmlHelpControlFailsSilentlyAndOnce) {
    fakeplat::Reset();  // no hhctrl.ocx at all
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(1u, fakeplat::LoadLibraryCalls().size());

    // A control without export 15 is unloaded again.
    ResetHtmlHelpBinding();
    fakeplat::RegisterModule(L"hhctrl.ocx", {{16, &FakeHtmlHelpW}});
    EXPECT_EQ(nullptr, CallHtmlHelp(nullptr, L"x.chm", 0, 0));
    EXPECT_EQ(0, fakeplat::ModuleStatsOf(L"hhctrl.ocx").nRefCount);
    EXPECT_TRUE(g_htmlHelpCalls.empty());
}

}  // namespace

namespace {

TEST_F(HelpTest, ReportPageAndReportViewShowTheirTopics) {
    fakeplat::AddFile(kSystemHelp);
    LoadModule();
    const std::wstring base(kSystemHelp);
    HWND hViewSeen = nullptr;
    WithSheet([&](HWND hSheet) {
        const int nLast = static_cast<int>(headless::SheetTabTitles(hSheet).size()) - 1;
        ASSERT_TRUE(headless::SelectPage(hSheet, nLast));
        headless::SysCommand(hSheet, 0x20);
        ASSERT_EQ(1u, g_htmlHelpCalls.size());
        EXPECT_EQ(base + L"::/html/ZuVereruReport.htm", g_htmlHelpCalls[0].strFile);

        HWND hPage = headless::ActivePage(hSheet);
        headless::Click(GetDlgItem(hPage, 1263));
        headless::ScopedModalHandler view([&](HWND hView) {
            hViewSeen = hView;
            headless::PressF1(GetDlgItem(hView, 1266));
            HELPINFO other = HelpFor(1110, hView);
            headless::ScopedMessageBoxHandler yes(
                [](const headless::MessageBoxRecord&) { return IDYES; });
            SendMessageW(hView, WM_HELP, 0, reinterpret_cast<LPARAM>(&other));
            headless::PressOk(hView);
        });
        headless::Click(GetDlgItem(hPage, 1264));
    });
    // Each request answered once; the sheet's end closes the help windows.
    ASSERT_EQ(4u, g_htmlHelpCalls.size());
    EXPECT_EQ(0x12u, g_htmlHelpCalls[3].uCommand);
    EXPECT_EQ(base + L"::/TmRoveVodoreHelp.txt", g_htmlHelpCalls[1].strFile);
    EXPECT_EQ(0x11u, g_htmlHelpCalls[1].uCommand);
    EXPECT_EQ(hViewSeen, g_htmlHelpCalls[2].hWnd);
    EXPECT_EQ(base + L"::/html/ZuVereruReport.htm#ReportDlg", g_htmlHelpCalls[2].strFile);
}

}  // namespace
