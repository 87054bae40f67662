// The headless window system and the framework's data exchange: the
// behaviour application tests rely on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "framework/Afx.h"
#include "framework/headless/Headless.h"
#include "tests/data/headless/resource.h"

namespace {

std::vector<std::string> g_log;
bool g_refuseLeave;

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
            return TRUE;
        case WM_HSCROLL:
            g_log.push_back("hscroll" + std::to_string(LOWORD(wParam)) + "," +
                            std::to_string(HIWORD(wParam)));
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
        g_refuseLeave = false;
    }
    void TearDown() override { headless::Reset(); }

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
};

// Where a fake kinder than Windows would hide a page's fault: a text set
// again still notifies, a template's WS_DISABLED holds, a slider's drag
// notifies twice and a position set by the program not at all.
TEST_F(Headless, ControlsNotifyAsWindowsDoes) {
    // A page template as a child of a modeless box, as a sheet would hold it.
    HWND hBox = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_BOX), nullptr, LoggingProc, 9);
    PROPSHEETPAGEW psp{};
    HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_ONE), hBox, LoggingProc,
                                   reinterpret_cast<LPARAM>(&psp));
    g_log.clear();
    SetDlgItemTextW(page, IDC_EDIT, L"5");
    SetDlgItemTextW(page, IDC_EDIT, L"5");
    EXPECT_EQ(g_log, (std::vector<std::string>{"change201", "change201"}));
    g_log.clear();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_DISABLED)));

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

class CNumberPage : public CPropertyPage {
public:
    explicit CNumberPage(UINT nTemplate) : CPropertyPage(nTemplate) {}
    int m_nValue = 2;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_EDIT, m_nValue); }
};

// Invalid input keeps the user on the page, with the field focused.
TEST_F(Headless, InvalidNumberKeepsThePageWithTheFieldFocused) {
    CWinApp app(L"Test");
    CNumberPage first(IDD_ONE), second(IDD_TWO);
    CPropertySheet sheet(L"Sheet");
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    headless::ScopedModalHandler handler([&](HWND hSheet) {
        HWND hEdit = GetDlgItem(headless::ActivePage(hSheet), IDC_EDIT);
        headless::Type(hEdit, L"abc");
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        ASSERT_EQ(1u, headless::MessageBoxes().size());
        EXPECT_EQ(L"Geben Sie eine ganze Zahl ein.", headless::MessageBoxes()[0].text);
        EXPECT_EQ(hEdit, GetFocus());
        headless::Type(hEdit, L" 3 ");
        EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        EXPECT_EQ(3, first.m_nValue);
        headless::PressOk(hSheet);
    });
    EXPECT_EQ(IDOK, sheet.DoModal());
}

}  // namespace
