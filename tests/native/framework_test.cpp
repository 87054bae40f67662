// The framework's sheet machinery as pages rely on it: leaving a page with
// invalid input, writing values back, OK and cancel per page.
#include <gtest/gtest.h>

#include "framework/Afx.h"
#include "framework/headless/Headless.h"
#include "platform/fake/FakePlatform.h"
#include "tests/data/headless/resource.h"

namespace {

class CNumberPage : public CPropertyPage {
public:
    explicit CNumberPage(UINT nTemplate = IDD_ONE) : CPropertyPage(nTemplate) {}
    int m_nValue = 2;
    int m_nEditChanges = 0;
    int m_nOk = 0;
    int m_nCancel = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_EDIT, m_nValue); }
    void OnOK() override { ++m_nOk; }
    void OnCancel() override { ++m_nCancel; }
    void OnEditChange() { ++m_nEditChanges; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNumberPage, CPropertyPage)
ON_EN_CHANGE(IDC_EDIT, OnEditChange)
END_MESSAGE_MAP()

HWND Edit(HWND hSheet) {
    return GetDlgItem(headless::ActivePage(hSheet), IDC_EDIT);
}

TEST(FrameworkTest, PagesKeepInvalidInputAndHearOkOrCancelOnlyIfShown) {
    fakeplat::Reset();
    headless::Reset();
    headless::SetResourceScript(TM_SOURCE_DIR "/tests/data/headless/test.rc");
    CWinApp app(L"Test");
    for (bool bOk : {true, false}) {
        CNumberPage first, second(IDD_TWO);
        CPropertySheet sheet(L"Sheet");
        sheet.AddPage(&first);
        sheet.AddPage(&second);
        headless::ScopedModalHandler handler([&](HWND hSheet) {
            headless::Type(Edit(hSheet), L"abc");
            if (!bOk) {
                // Invalid input does not keep the user from cancelling.
                headless::PressCancel(hSheet);
                return;
            }
            EXPECT_FALSE(headless::SelectPage(hSheet, 1));
            ASSERT_EQ(1u, headless::MessageBoxes().size());
            EXPECT_EQ(L"Geben Sie eine ganze Zahl ein.", headless::MessageBoxes()[0].text);
            EXPECT_EQ(Edit(hSheet), GetFocus());
            headless::Type(Edit(hSheet), L" 3 ");
            EXPECT_TRUE(headless::SelectPage(hSheet, 1));
            EXPECT_EQ(3, first.m_nValue);
            // Coming back writes the value back; the same text again is no change.
            EXPECT_TRUE(headless::SelectPage(hSheet, 0));
            EXPECT_EQ(L"3", headless::TextOf(Edit(hSheet)));
            const int nChanges = first.m_nEditChanges;
            EXPECT_TRUE(headless::SelectPage(hSheet, 1));
            EXPECT_TRUE(headless::SelectPage(hSheet, 0));
            EXPECT_EQ(nChanges, first.m_nEditChanges);
            headless::PressOk(hSheet);
        });
        EXPECT_EQ(bOk ? IDOK : IDCANCEL, sheet.DoModal());
        EXPECT_EQ(bOk ? 1 : 0, first.m_nOk);
        EXPECT_EQ(bOk ? 1 : 0, second.m_nOk);
        EXPECT_EQ(bOk ? 0 : 1, first.m_nCancel);
        EXPECT_EQ(0, second.m_nCancel);  // never shown when cancelled
        EXPECT_EQ(nullptr, sheet.m_hWnd);
        headless::ClearMessageBoxes();
    }
    headless::Reset();
}

}  // namespace
