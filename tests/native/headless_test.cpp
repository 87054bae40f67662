// The headless window system: the behaviour application tests rely on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "framework/headless/Headless.h"
#include "tests/data/headless/resource.h"

namespace {

std::vector<std::string> g_log;
bool g_refuseLeave;
bool g_stubbornBox;
bool g_waitCursor;

// Logs notifications; the page index comes from the PROPSHEETPAGEW's lParam
// (or the dialog parameter) given at WM_INITDIALOG.
INT_PTR CALLBACK LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LONG_PTR idx = GetWindowLongPtrW(hwnd, DWLP_USER);
    switch (msg) {
        case WM_INITDIALOG: {
            bool page = GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD;
            idx = page ? reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam : lParam;
            SetWindowLongPtrW(hwnd, DWLP_USER, idx);
            g_log.push_back("init" + std::to_string(idx));
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
            g_log.push_back(name + std::to_string(idx));
            if (hdr->code != PSN_KILLACTIVE || !g_refuseLeave) return FALSE;
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == EN_CHANGE)
                g_log.push_back("change" + std::to_string(LOWORD(wParam)));
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) > IDCANCEL)
                g_log.push_back("click" + std::to_string(LOWORD(wParam)) + "=" +
                                std::to_string(IsDlgButtonChecked(hwnd, LOWORD(wParam))));
            if (LOWORD(wParam) == IDOK) EndDialog(hwnd, 7);
            if (LOWORD(wParam) == IDCANCEL && !g_stubbornBox) EndDialog(hwnd, IDCANCEL);
            return TRUE;
        case WM_HSCROLL:
            g_log.push_back("hscroll" + std::to_string(LOWORD(wParam)) + "," +
                            std::to_string(HIWORD(wParam)));
            return TRUE;
        case WM_TIMER:
            g_log.push_back("timer" + std::to_string(wParam));
            return TRUE;
        case WM_SETCURSOR:
            g_log.push_back(std::string("setcursor-") +
                            (reinterpret_cast<HWND>(wParam) == hwnd ? "self" : "child") +
                            std::to_string(static_cast<short>(LOWORD(lParam))));
            if (!g_waitCursor) return FALSE;
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        default:
            return FALSE;
    }
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::SetResourceScript(TM_SOURCE_DIR "/tests/data/headless/test.rc");
        g_log.clear();
        g_refuseLeave = g_stubbornBox = g_waitCursor = false;
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

    INT_PTR RunSheet() {
        PROPSHEETPAGEW psp[3] = {};
        const int ids[] = {IDD_ONE, IDD_TWO, IDD_THREE};
        for (int i = 0; i < 3; ++i) {
            psp[i].dwSize = sizeof(PROPSHEETPAGEW);
            psp[i].pszTemplate = MAKEINTRESOURCEW(ids[i]);
            psp[i].pfnDlgProc = LoggingProc;
            psp[i].lParam = i;
        }
        PROPSHEETHEADERW psh{};
        psh.dwSize = sizeof(psh);
        psh.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
        psh.nPages = 3;
        psh.ppsp = psp;
        return PropertySheetW(&psh);
    }

    HWND m_hBox = nullptr;
};

TEST_F(Headless, ResourceScriptStringsAndDialogTemplates) {
    // A short buffer gets a terminated part; the count leaves the terminator out.
    wchar_t buf[4] = L"xyz";
    EXPECT_EQ(LoadStringW(nullptr, IDS_PLAIN, buf, 4), 3);
    EXPECT_STREQ(buf, L"Hal");
    EXPECT_EQ(LoadStringW(nullptr, 999, buf, 4), 0);
    HWND off = GetDlgItem(MakePage(), IDC_DISABLED);
    EXPECT_FALSE(IsWindowEnabled(off));
    EXPECT_FALSE(GetWindowLongPtrW(off, GWL_STYLE) & WS_VISIBLE);  // NOT WS_VISIBLE
}

TEST_F(Headless, ControlsNotifyAsWindowsDoes) {
    HWND page = MakePage();
    SetDlgItemTextW(page, IDC_EDIT, L"5");
    SetDlgItemTextW(page, IDC_EDIT, L"5");  // the same text: still a change notification
    EXPECT_EQ(g_log, (std::vector<std::string>{"change201", "change201"}));
    g_log.clear();
    // Buttons and sliders notify only on user input.
    EXPECT_TRUE(headless::Click(GetDlgItem(page, IDC_R1)));
    EXPECT_TRUE(headless::Click(GetDlgItem(page, IDC_R2)));
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R1), BST_UNCHECKED);
    headless::Click(GetDlgItem(page, IDC_CHECK));
    // The state is already changed when the parent hears of the click.
    EXPECT_EQ(g_log, (std::vector<std::string>{"click202=1", "click203=1", "click206=1"}));
    g_log.clear();
    EXPECT_FALSE(headless::Click(GetDlgItem(page, IDC_DISABLED)));
    CheckRadioButton(page, IDC_R1, IDC_R4, IDC_R4);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_R2), BST_UNCHECKED);

    HWND slider = GetDlgItem(page, IDC_SLIDER);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(10, 50));
    SendMessageW(slider, TBM_SETPOS, TRUE, 80);
    EXPECT_EQ(headless::SliderPos(slider), 50);
    EXPECT_TRUE(g_log.empty());
    EXPECT_TRUE(headless::SlideTo(slider, 30));
    EXPECT_EQ(g_log, (std::vector<std::string>{"hscroll4,30", "hscroll8,0"}));
}

TEST_F(Headless, PropertySheetNotificationOrder) {
    headless::ScopedModalHandler handler([&](HWND sheet) {
        EXPECT_TRUE(headless::SelectPage(sheet, 1));
        g_refuseLeave = true;
        EXPECT_FALSE(headless::SelectPage(sheet, 0));
        g_refuseLeave = false;
        EXPECT_TRUE(headless::PressOk(sheet));
    });
    EXPECT_EQ(RunSheet(), 1);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init0", "set0", "kill0", "init1", "set1", "kill1",
                                               "kill1", "apply0", "apply1"}));

    g_log.clear();
    headless::ScopedModalHandler close([](HWND sheet) { headless::SysCommand(sheet, SC_CLOSE); });
    EXPECT_EQ(RunSheet(), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"init0", "set0", "query0", "reset0"}));
}

// A box left open cannot hang a test: the backend cancels it, by force if
// the cancel is refused.
TEST_F(Headless, ModalLoopsNestAndEndEvenWhenLeftOpen) {
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0),
              IDCANCEL);  // no handler
    INT_PTR inner = 0, stubborn = 0;
    headless::ScopedModalHandler outer([&](HWND box) {
        {
            headless::ScopedModalHandler nested([&](HWND box2) {
                EXPECT_FALSE(IsWindowEnabled(box));  // the owner of a modal box is disabled
                EXPECT_TRUE(headless::PressOk(box2));
            });
            inner = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), box, LoggingProc, 1);
        }
        EXPECT_TRUE(IsWindowEnabled(box));
        g_stubbornBox = true;
        headless::ScopedModalHandler idle([](HWND) {});
        stubborn = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), box, LoggingProc, 2);
        g_stubbornBox = false;
    });
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0),
              IDCANCEL);
    EXPECT_EQ(inner, 7);
    EXPECT_EQ(stubborn, IDCANCEL);
    auto runs = headless::ModalRuns();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_TRUE(!runs[0].handled && runs[0].cancelledByBackend && !runs[0].forced);
    EXPECT_TRUE(runs[1].handled && runs[1].cancelledByBackend && !runs[1].forced);
    EXPECT_TRUE(runs[2].handled && !runs[2].cancelledByBackend);
    EXPECT_TRUE(runs[3].cancelledByBackend && runs[3].forced);
}

TEST_F(Headless, TimersDieWithTheirWindow) {
    HWND page = MakePage();
    EXPECT_EQ(SetTimer(page, 1, 250, nullptr), 1u);
    EXPECT_TRUE(headless::FireTimer(page, 1));
    EXPECT_EQ(g_log, (std::vector<std::string>{"timer1"}));
    headless::FailSetTimer(true);
    EXPECT_EQ(SetTimer(page, 1, 250, nullptr), 0u);
    headless::FailSetTimer(false);
    SetTimer(page, 2, 100, nullptr);
    DestroyWindow(m_hBox);  // the page goes with it
    EXPECT_TRUE(headless::Timers().empty());
}

// The transfer dialog's wait cursor relies on these rules.
TEST_F(Headless, MouseMoveLetsTheParentChooseTheCursorFirst) {
    HWND box = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 0);
    HWND edit = GetDlgItem(box, IDC_EDIT);
    g_log.clear();
    // Input waits in the queue; the cursor changes when it is taken out.
    g_waitCursor = true;
    EXPECT_TRUE(headless::MouseMove(edit));
    EXPECT_EQ(GetCursor(), nullptr);
    EXPECT_EQ(headless::PumpMessages(), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_WAIT));
    // A disabled window gets HTERROR and no mouse message.
    EnableWindow(box, FALSE);
    headless::MouseMove(edit);
    EXPECT_EQ(headless::PumpMessages(), 0);
    EXPECT_EQ(g_log, (std::vector<std::string>{"setcursor-child1", "setcursor-self-2"}));
    DestroyWindow(box);
}

// As Windows: the default extension is added, and a name too long fails.
TEST_F(Headless, SaveDialogAddsTheDefaultExtension) {
    wchar_t file[MAX_PATH] = L"PC1";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"txt";
    EXPECT_FALSE(GetSaveFileNameW(&ofn));  // no handler: cancelled
    headless::ScopedFileDialogHandler pick([](const headless::FileDialogRecord&) {
        return std::optional<std::wstring>(L"C:\\out\\bericht");
    });
    EXPECT_TRUE(GetSaveFileNameW(&ofn));
    EXPECT_STREQ(file, L"C:\\out\\bericht.txt");
    ofn.nMaxFile = 5;
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
}

}  // namespace
