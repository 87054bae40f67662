// The headless window system: the behaviour application tests rely on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <commdlg.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework/headless/Headless.h"
#include "tests/data/headless/resource.h"

namespace {

std::vector<std::string> g_log;
bool g_refuseLeave[3];
bool g_refuseCancel;
bool g_stubbornBox;
bool g_waitCursor;
WNDPROC g_oldProc;

void Log(const std::string& s) {
    g_log.push_back(s);
}

// Logs notifications; the page index comes from the PROPSHEETPAGEW's lParam
// (or the dialog parameter) given at WM_INITDIALOG.
INT_PTR CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LONG_PTR idx = GetWindowLongPtrW(hwnd, DWLP_USER);
    switch (msg) {
        case WM_INITDIALOG: {
            bool page = GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD;
            idx = page ? reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam : lParam;
            SetWindowLongPtrW(hwnd, DWLP_USER, idx);
            Log("init" + std::to_string(idx));
            return TRUE;
        }
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lParam);
            const char* name = hdr->code == PSN_SETACTIVE     ? "set"
                               : hdr->code == PSN_KILLACTIVE  ? "kill"
                               : hdr->code == PSN_APPLY       ? "apply"
                               : hdr->code == PSN_RESET       ? "reset"
                               : hdr->code == PSN_QUERYCANCEL ? "query"
                                                              : "other";
            Log(name + std::to_string(idx));
            bool refuse =
                (hdr->code == PSN_KILLACTIVE && idx >= 0 && idx < 3 && g_refuseLeave[idx]) ||
                (hdr->code == PSN_QUERYCANCEL && g_refuseCancel);
            if (!refuse) return FALSE;
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE) Log("change" + std::to_string(LOWORD(wParam)));
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) > IDCANCEL)
                Log("click" + std::to_string(LOWORD(wParam)) + "=" +
                    std::to_string(IsDlgButtonChecked(hwnd, LOWORD(wParam))));
            if (LOWORD(wParam) == IDOK) EndDialog(hwnd, 7);
            if (LOWORD(wParam) == IDCANCEL && !g_stubbornBox) EndDialog(hwnd, IDCANCEL);
            return TRUE;
        case WM_HSCROLL:
            Log("hscroll" + std::to_string(LOWORD(wParam)) + "," + std::to_string(HIWORD(wParam)));
            return TRUE;
        case WM_TIMER:
            Log("timer" + std::to_string(wParam));
            return TRUE;
        case WM_SETCURSOR:
            Log(std::string("setcursor-") +
                (reinterpret_cast<HWND>(wParam) == hwnd ? "self" : "child") +
                std::to_string(static_cast<short>(LOWORD(lParam))));
            if (!g_waitCursor) return FALSE;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        case WM_MOUSEMOVE:
            Log("mousemove");
            return TRUE;
        case WM_CTLCOLORSTATIC:
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_HELP:
            Log("help-page" + std::to_string(idx));
            return FALSE;
        case WM_DESTROY:
            Log("destroy-dlg");
            return FALSE;
        case WM_NCDESTROY:
            Log("ncdestroy-dlg");
            return FALSE;
        default:
            return FALSE;
    }
}

LRESULT CALLBACK SheetSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_HELP) {
        Log("help-sheet");
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDOK) Log("sub-ok");
    return CallWindowProcW(g_oldProc, hwnd, msg, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED) {
        Log("initialized");
        g_oldProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetSubclass)));
    }
    return 0;
}

HWND g_child;
WNDPROC g_childOld;
LRESULT CALLBACK ChildSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) Log("destroy-edit");
    if (msg == WM_NCDESTROY) Log("ncdestroy-edit");
    return CallWindowProcW(g_childOld, hwnd, msg, wParam, lParam);
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::SetResourceScript(TM_SOURCE_DIR "/tests/data/headless/test.rc");
        g_log.clear();
        g_refuseLeave[0] = g_refuseLeave[1] = g_refuseLeave[2] = false;
        g_refuseCancel = g_stubbornBox = g_waitCursor = false;
    }
    void TearDown() override { headless::Reset(); }

    // A page template as a child of a modeless box, as a sheet would hold it.
    HWND MakePage() {
        m_hBox = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 9);
        PROPSHEETPAGEW psp{};
        psp.lParam = 0;
        HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_ONE), m_hBox, LoggingProc,
                                       reinterpret_cast<LPARAM>(&psp));
        g_log.clear();
        return page;
    }

    INT_PTR RunSheet(DWORD flags = 0) {
        PROPSHEETPAGEW psp[3] = {};
        const int ids[] = {IDD_ONE, IDD_TWO, IDD_THREE};
        for (int i = 0; i < 3; ++i) {
            psp[i].dwSize = sizeof(PROPSHEETPAGEW);
            psp[i].pszTemplate = MAKEINTRESOURCEW(ids[i]);
            psp[i].pfnDlgProc = LoggingProc;
            psp[i].lParam = i;
        }
        psp[1].dwFlags = PSP_USETITLE;
        psp[1].pszTitle = MAKEINTRESOURCEW(IDS_TITLE);
        PROPSHEETHEADERW psh{};
        psh.dwSize = sizeof(psh);
        psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_NOAPPLYNOW | flags;
        psh.pszCaption = L"Blatt";
        psh.nPages = 3;
        psh.ppsp = psp;
        psh.pfnCallback = SheetCallback;
        return PropertySheetW(&psh);
    }

    HWND m_hBox = nullptr;
};

std::wstring LoadString(UINT id) {
    LPCWSTR p = nullptr;
    int n = LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&p), 0);
    return n ? std::wstring(p, static_cast<size_t>(n)) : std::wstring();
}

TEST_F(Headless, ResourceScriptStringsAndDialogTemplates) {
    EXPECT_EQ(LoadString(IDS_ESCAPES), L"a\nb\tc\\d \"q\" \"r\"");
    EXPECT_EQ(LoadString(IDS_UMLAUT), L"Größe in °C");
    wchar_t buf[4] = L"xyz";
    EXPECT_EQ(LoadStringW(nullptr, IDS_PLAIN, buf, 4), 3);
    EXPECT_STREQ(buf, L"Hal");
    EXPECT_EQ(LoadStringW(nullptr, 999, buf, 4), 0);
    EXPECT_STREQ(buf, L"");

    HWND page = MakePage();
    ASSERT_TRUE(page);
    EXPECT_EQ(headless::TemplateIdOf(page), IDD_ONE);
    HWND r1 = GetDlgItem(page, IDC_R1);
    EXPECT_EQ(headless::ClassOf(r1), L"Button");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(r1, GWL_STYLE)),
              WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON);
    EXPECT_EQ(GetDlgCtrlID(r1), IDC_R1);
    EXPECT_EQ(GetParent(r1), page);
    EXPECT_EQ(headless::TextOf(GetDlgItem(page, IDC_CHECK)), L"&Prüfen");
    EXPECT_EQ(headless::ClassOf(GetDlgItem(page, IDC_R4)), L"Button");  // continued line
    HWND off = GetDlgItem(page, IDC_DISABLED);
    EXPECT_FALSE(IsWindowEnabled(off));
    EXPECT_FALSE(GetWindowLongPtrW(off, GWL_STYLE) & WS_VISIBLE);  // NOT WS_VISIBLE

    // Positions are dialog units mapped like MapDialogRect.
    RECT expected{10, 10, 50, 22};
    MapDialogRect(page, &expected);
    RECT rc;
    GetWindowRect(GetDlgItem(page, IDC_EDIT), &rc);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_TRUE(EqualRect(&rc, &expected));

    // An SS_ICON static names its icon by resource id.
    HANDLE icon = reinterpret_cast<HANDLE>(SendDlgItemMessageW(page, IDC_ICON, STM_GETICON, 0, 0));
    auto info = headless::ImageOf(icon);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->resourceId, IDI_TEST);
    EXPECT_EQ(info->cx, 32);
    EXPECT_FALSE(LoadIconW(nullptr, MAKEINTRESOURCEW(301)));

    // Anything outside the supported subset is reported with file and line.
    std::string bad = ::testing::TempDir() + "bad.rc";
    std::ofstream(bad) << "// x\n\nIDD_X MENU\n";
    headless::SetResourceScript(bad);
    try {
        LoadString(IDS_PLAIN);
        ADD_FAILURE() << "no error for an unsupported statement";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("bad.rc:3:"), std::string::npos) << e.what();
    }
    std::remove(bad.c_str());
}

TEST_F(Headless, EditNotifiesEveryTextChangeAndParsesIntegers) {
    HWND page = MakePage();
    HWND edit = GetDlgItem(page, IDC_EDIT);
    EXPECT_TRUE(g_log.empty());  // creation does not notify
    SetDlgItemTextW(page, IDC_EDIT, L"5");
    SetWindowTextW(edit, L"5");  // same text: still a change notification
    SetDlgItemInt(page, IDC_EDIT, static_cast<UINT>(-12), TRUE);
    EXPECT_EQ(g_log, (std::vector<std::string>{"change201", "change201", "change201"}));
    EXPECT_EQ(headless::TextOf(edit), L"-12");

    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(page, IDC_EDIT, &ok, TRUE)), -12);
    EXPECT_TRUE(ok);
    SetDlgItemTextW(page, IDC_EDIT, L"  42x");
    EXPECT_EQ(GetDlgItemInt(page, IDC_EDIT, &ok, TRUE), 42u);
    EXPECT_TRUE(ok);
    for (const wchar_t* badText : {L"", L"abc", L"-", L"2147483648"}) {
        SetDlgItemTextW(page, IDC_EDIT, badText);
        EXPECT_EQ(GetDlgItemInt(page, IDC_EDIT, &ok, TRUE), 0u);
        EXPECT_FALSE(ok) << "text " << std::wstring(badText).size();
    }

    g_log.clear();
    SendMessageW(edit, EM_LIMITTEXT, 3, 0);
    EXPECT_TRUE(headless::Type(edit, L"12345"));
    EXPECT_EQ(headless::TextOf(edit), L"123");
    EXPECT_EQ(GetFocus(), edit);
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    EXPECT_FALSE(headless::Type(edit, L"9"));
    EXPECT_EQ(g_log, (std::vector<std::string>{"change201"}));
}

TEST_F(Headless, ButtonsRadioGroupsAndDisabledClicks) {
    HWND page = MakePage();
    EXPECT_TRUE(headless::Click(GetDlgItem(page, IDC_R1)));
    EXPECT_TRUE(headless::Click(GetDlgItem(page, IDC_R3)));  // another group
    EXPECT_TRUE(headless::Click(GetDlgItem(page, IDC_R2)));
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R1), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R2), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R3), BST_CHECKED);
    headless::Click(GetDlgItem(page, IDC_CHECK));
    headless::Click(GetDlgItem(page, IDC_CHECK));
    // The state is already changed when the parent hears of the click.
    EXPECT_EQ(g_log, (std::vector<std::string>{"click202=1", "click204=1", "click203=1",
                                               "click206=1", "click206=0"}));
    g_log.clear();
    EXPECT_FALSE(headless::Click(GetDlgItem(page, IDC_DISABLED)));
    SendDlgItemMessageW(page, IDC_DISABLED, BM_CLICK, 0, 0);
    EXPECT_TRUE(g_log.empty());

    CheckRadioButton(page, IDC_R1, IDC_R4, IDC_R4);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R2), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R4), BST_CHECKED);
    EXPECT_TRUE(g_log.empty());  // set by program: no notification

    // Released outside the button: no click.
    headless::MouseDown(GetDlgItem(page, IDC_CHECK));
    headless::MouseUp(GetDlgItem(page, IDC_CHECK), false);
    EXPECT_TRUE(g_log.empty());
}

TEST_F(Headless, TrackbarAndProgressClampToTheirRanges) {
    HWND page = MakePage();
    HWND slider = GetDlgItem(page, IDC_SLIDER);
    EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 100);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 50));
    SendMessageW(slider, TBM_SETPOS, TRUE, 80);
    EXPECT_EQ(headless::SliderPos(slider), 50);
    SendMessageW(slider, TBM_SETPOS, TRUE, -5);
    EXPECT_EQ(headless::SliderPos(slider), 0);
    SendMessageW(slider, TBM_SETRANGEMIN, TRUE, 10);
    EXPECT_EQ(headless::SliderPos(slider), 10);
    EXPECT_TRUE(g_log.empty());  // setting the position never notifies
    EXPECT_TRUE(headless::SlideTo(slider, 30));
    EXPECT_EQ(g_log, (std::vector<std::string>{"hscroll4,30", "hscroll8,0"}));

    HWND bar = GetDlgItem(page, IDC_PROGRESS);
    SendMessageW(bar, PBM_SETRANGE32, 0, 200);
    EXPECT_EQ(SendMessageW(bar, PBM_SETPOS, 250, 0), 0);
    EXPECT_EQ(headless::ProgressPos(bar), 200);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    EXPECT_EQ(headless::ProgressPos(bar), 100);
}

TEST_F(Headless, PaintingAsksTheParentForColours) {
    HWND page = MakePage();
    HWND edit = GetDlgItem(page, IDC_EDIT);
    SetWindowTextW(edit, L"37");
    SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
    headless::Paint(edit);
    headless::Paint(GetDlgItem(page, IDC_ICON));
    auto calls = headless::DrawCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].op, "DrawText");
    EXPECT_EQ(calls[0].text, L"37");
    EXPECT_EQ(calls[0].hwnd, edit);
    EXPECT_EQ(calls[0].textColor, RGB(255, 0, 0));
    EXPECT_EQ(calls[1].op, "DrawIconEx");
    EXPECT_EQ(headless::ImageOf(calls[1].image)->resourceId, IDI_TEST);
    EXPECT_EQ(headless::LiveObjectCount(), 0);  // paint DCs released
}

TEST_F(Headless, PropertySheetNotificationOrder) {
    std::vector<std::wstring> titles;
    headless::ScopedModalHandler handler([&](HWND sheet) {
        titles = headless::SheetTabTitles(sheet);
        EXPECT_EQ(headless::TextOf(sheet), L"Blatt");
        EXPECT_EQ(headless::ActivePageIndex(sheet), 0);
        EXPECT_TRUE(headless::SelectPage(sheet, 1));
        g_refuseLeave[1] = true;
        EXPECT_FALSE(headless::SelectPage(sheet, 0));
        EXPECT_EQ(headless::ActivePageIndex(sheet), 1);
        g_refuseLeave[1] = false;
        // Help nobody handles goes from the control to its page, then to the sheet.
        headless::PressF1(GetDlgItem(headless::ActivePage(sheet), IDC_EDIT));
        EXPECT_EQ(SendMessageW(sheet, PSM_HWNDTOINDEX,
                               reinterpret_cast<WPARAM>(headless::ActivePage(sheet)), 0),
                  1);
        EXPECT_FALSE(SendMessageW(sheet, PSM_INDEXTOHWND, 2, 0));  // never activated
        EXPECT_TRUE(headless::PressOk(sheet));
    });
    EXPECT_EQ(RunSheet(), 1);
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Eins", L"Seite Zwei", L"Drei"}));
    EXPECT_EQ(g_log, (std::vector<std::string>{"initialized", "init0", "set0", "kill0", "init1",
                                               "set1", "kill1", "help-page1", "help-sheet",
                                               "sub-ok", "kill1", "apply0", "apply1", "destroy-dlg",
                                               "destroy-dlg", "ncdestroy-dlg", "ncdestroy-dlg"}));
    auto runs = headless::ModalRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(runs[0].sheet && runs[0].handled && !runs[0].cancelledByBackend);
}

TEST_F(Headless, PropertySheetCancelAndRefusedCancel) {
    {
        headless::ScopedModalHandler handler(
            [](HWND sheet) { headless::SysCommand(sheet, SC_CLOSE); });
        EXPECT_EQ(RunSheet(), 0);
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"initialized", "init0", "set0", "query0", "reset0",
                                               "destroy-dlg", "ncdestroy-dlg"}));
    // A page that refuses every cancel cannot hang the test: the backend ends it.
    g_refuseCancel = true;
    {
        headless::ScopedModalHandler handler([](HWND sheet) { headless::PressCancel(sheet); });
        EXPECT_EQ(RunSheet(), 0);
    }
    auto runs = headless::ModalRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs[0].forced);
    EXPECT_TRUE(runs[1].cancelledByBackend && runs[1].forced);
}

TEST_F(Headless, NestedModalHandlersAndForcedEnd) {
    INT_PTR inner = 0, stubborn = 0;
    HWND outerWnd = nullptr;
    headless::ScopedModalHandler outer([&](HWND box) {
        outerWnd = box;
        {
            headless::ScopedModalHandler nested([&](HWND box2) {
                EXPECT_NE(box2, box);
                EXPECT_FALSE(IsWindowEnabled(box));  // the owner of a modal box is disabled
                EXPECT_TRUE(headless::PressOk(box2));
            });
            inner = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), box, LoggingProc, 1);
        }
        EXPECT_TRUE(IsWindowEnabled(box));
        g_stubbornBox = true;
        {
            headless::ScopedModalHandler idle([](HWND) {});
            stubborn = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), box, LoggingProc, 2);
        }
        g_stubbornBox = false;
        // Left open: the backend cancels it.
    });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0),
              IDCANCEL);
    EXPECT_EQ(inner, 7);
    EXPECT_EQ(stubborn, IDCANCEL);
    EXPECT_FALSE(IsWindow(outerWnd));
    auto runs = headless::ModalRuns();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_TRUE(runs[0].handled && runs[0].cancelledByBackend && !runs[0].forced);
    EXPECT_EQ(runs[0].templateId, IDD_BOX);
    EXPECT_TRUE(runs[1].handled && !runs[1].cancelledByBackend);
    EXPECT_EQ(runs[1].result, 7);
    EXPECT_TRUE(runs[2].cancelledByBackend && runs[2].forced);
}

TEST_F(Headless, NoHandlerCancelsAtOnce) {
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0),
              IDCANCEL);
    auto runs = headless::ModalRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_TRUE(!runs[0].handled && runs[0].cancelledByBackend && !runs[0].forced);
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4711), nullptr, LoggingProc, 0), -1);
}

TEST_F(Headless, TimersDieWithTheirWindow) {
    HWND page = MakePage();
    HWND edit = GetDlgItem(page, IDC_EDIT);
    EXPECT_EQ(SetTimer(page, 1, 250, nullptr), 1u);
    EXPECT_EQ(SetTimer(page, 1, 500, nullptr), 1u);  // same id: replaced
    EXPECT_EQ(SetTimer(edit, 5, 100, nullptr), 5u);
    auto timers = headless::Timers();
    ASSERT_EQ(timers.size(), 2u);
    EXPECT_EQ(timers[0].elapse, 500u);
    EXPECT_TRUE(headless::FireTimer(page, 1));
    EXPECT_EQ(g_log, (std::vector<std::string>{"timer1"}));
    EXPECT_TRUE(KillTimer(page, 1));
    EXPECT_FALSE(headless::FireTimer(page, 1));
    EXPECT_FALSE(KillTimer(page, 1));
    headless::FailSetTimer(true);
    EXPECT_EQ(SetTimer(page, 1, 250, nullptr), 0u);
    headless::FailSetTimer(false);
    DestroyWindow(m_hBox);  // the page and its edit go with it
    EXPECT_TRUE(headless::Timers().empty());
    EXPECT_FALSE(headless::FireTimer(edit, 5));
}

TEST_F(Headless, MouseMoveLetsTheParentChooseTheCursorFirst) {
    HWND box = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0);
    HWND edit = GetDlgItem(box, IDC_EDIT);
    HWND cancel = GetDlgItem(box, IDCANCEL);
    const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    g_log.clear();
    // Input waits in the queue; the cursor changes when it is taken out.
    EXPECT_TRUE(headless::MouseMove(edit));
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(headless::PumpMessages(), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
    headless::MouseMove(cancel);
    headless::PumpMessages();
    EXPECT_EQ(GetCursor(), arrow);
    // The parent's answer wins over the child's class cursor.
    g_waitCursor = true;
    headless::MouseMove(edit);
    headless::PumpMessages();
    EXPECT_EQ(GetCursor(), wait);
    g_waitCursor = false;
    // A disabled child leaves the mouse to its parent.
    EnableWindow(cancel, FALSE);
    headless::MouseMove(cancel);
    headless::PumpMessages();
    EXPECT_EQ(GetCursor(), arrow);
    // A disabled window gets HTERROR and no mouse message.
    EnableWindow(box, FALSE);
    headless::MouseMove(edit);
    EXPECT_EQ(headless::PumpMessages(), 0);
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"setcursor-child1", "setcursor-child1", "setcursor-child1",
                                        "setcursor-self1", "mousemove", "setcursor-self-2"}));
    DestroyWindow(box);
    EXPECT_FALSE(headless::MouseMove(box));
}

TEST_F(Headless, DestroyedWindowsAreStaleHandles) {
    HWND box = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0);
    g_child = GetDlgItem(box, IDC_EDIT);
    g_childOld = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ChildSubclass)));
    g_log.clear();
    EXPECT_TRUE(PostMessageW(box, WM_TIMER, 3, 0));
    EXPECT_TRUE(g_log.empty());  // posted: waits for the pump
    EXPECT_EQ(headless::PumpMessages(), 1);
    EXPECT_TRUE(DestroyWindow(box));
    EXPECT_EQ(g_log, (std::vector<std::string>{"timer3", "destroy-dlg", "destroy-edit",
                                               "ncdestroy-edit", "ncdestroy-dlg"}));
    EXPECT_FALSE(IsWindow(box));
    EXPECT_FALSE(IsWindow(g_child));
    SetLastError(0);
    EXPECT_EQ(SendMessageW(g_child, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_FALSE(PostMessageW(box, WM_TIMER, 3, 0));
    EXPECT_FALSE(DestroyWindow(box));
    EXPECT_FALSE(GetDlgItem(box, IDC_EDIT));
}

TEST_F(Headless, MessageBoxesAndFileDialogsAreAnsweredByTheTest) {
    EXPECT_EQ(MessageBoxW(nullptr, L"Frage?", L"Titel", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Fehler", L"Titel", MB_OK | MB_ICONSTOP), IDOK);
    {
        headless::ScopedMessageBoxHandler yes(
            [](const headless::MessageBoxRecord&) { return IDYES; });
        int answer = 0;
        std::thread worker([&] { answer = MessageBoxW(nullptr, L"Weiter?", L"T", MB_YESNO); });
        worker.join();
        EXPECT_EQ(answer, IDYES);
    }
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, L"Frage?");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(boxes[2].answer, IDYES);

    wchar_t file[MAX_PATH] = L"PC1";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = L"Text (*.txt)\0*.txt\0Alle\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"txt";
    EXPECT_FALSE(GetSaveFileNameW(&ofn));  // no handler: cancelled
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    headless::ScopedFileDialogHandler pick([](const headless::FileDialogRecord&) {
        return std::optional<std::wstring>(L"C:\\out\\bericht");
    });
    EXPECT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_STREQ(file, L"C:\\out\\bericht.txt");
    EXPECT_EQ(ofn.nFileOffset, 7);
    EXPECT_EQ(ofn.nFileExtension, 15);
    auto dialogs = headless::FileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].initialFile, L"PC1");
    EXPECT_TRUE(dialogs[1].save);
    EXPECT_EQ(dialogs[1].filter,
              (std::vector<std::wstring>{L"Text (*.txt)", L"*.txt", L"Alle", L"*.*"}));
    ofn.nMaxFile = 5;
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
}

}  // namespace
