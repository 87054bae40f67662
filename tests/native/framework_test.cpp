// The framework's dialog machinery as pages rely on it: data exchange with
// its prompts, leaving and closing a sheet, message maps.
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
    int m_nRadio = 0;
    int m_nCheck = 1;
    int m_nEditChanges = 0;
    int m_nOk = 0;
    int m_nCancel = 0;
    int m_nClicks = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_EDIT, m_nValue);
        DDV_MinMaxInt(pDX, m_nValue, 1, 4);
        DDX_Radio(pDX, IDC_R1, m_nRadio);
        DDX_Check(pDX, IDC_CHECK, m_nCheck);
    }
    void OnOK() override { ++m_nOk; }
    void OnCancel() override { ++m_nCancel; }
    void OnEditChange() { ++m_nEditChanges; }
    virtual void OnCheck() { ++m_nClicks; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNumberPage, CPropertyPage)
ON_EN_CHANGE(IDC_EDIT, OnEditChange)
ON_BN_CLICKED(IDC_CHECK, OnCheck)
END_MESSAGE_MAP()

// A page whose own map adds a timer and leaves the check box to its base.
class CTimedPage : public CNumberPage {
public:
    int m_nTicks = 0;

protected:
    void OnTimer(UINT_PTR) {
        ++m_nTicks;
        Default();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTimedPage, CNumberPage)
ON_WM_TIMER()
END_MESSAGE_MAP()

class CBoxDialog : public CDialog {
public:
    CBoxDialog() : CDialog(IDD_BOX) {}
    int m_nValue = 5;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, IDC_EDIT, m_nValue); }
};

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        fakeplat::Reset();
        headless::Reset();
        headless::SetResourceScript(TM_SOURCE_DIR "/tests/data/headless/test.rc");
    }
    void TearDown() override { headless::Reset(); }

    static HWND Edit(HWND hPage) { return GetDlgItem(hPage, IDC_EDIT); }

    CWinApp m_app{L"Test"};
};

TEST_F(FrameworkTest, PageCannotBeLeftWithInvalidInputAndSaysWhy) {
    CTimedPage first;
    CNumberPage second(IDD_TWO);
    CPropertySheet sheet(L"Sheet");
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    headless::ScopedModalHandler handler([&](HWND hSheet) {
        HWND hPage = headless::ActivePage(hSheet);
        EXPECT_EQ(L"2", headless::TextOf(Edit(hPage)));

        headless::Type(Edit(hPage), L"abc");
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        headless::Type(Edit(hPage), L"7");
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(L"Geben Sie eine ganze Zahl ein.", boxes[0].text);
        EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.", boxes[1].text);
        EXPECT_EQ(L"Test", boxes[1].caption);
        EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), boxes[1].type);
        EXPECT_EQ(Edit(hPage), GetFocus());

        headless::Type(Edit(hPage), L" 3 ");
        headless::Click(GetDlgItem(hPage, IDC_R2));
        headless::Click(GetDlgItem(hPage, IDC_CHECK));
        EXPECT_EQ(1, first.m_nClicks);  // the base class's handler
        EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        EXPECT_EQ(3, first.m_nValue);
        EXPECT_EQ(1, first.m_nRadio);
        EXPECT_EQ(0, first.m_nCheck);

        // Coming back writes the value back ("3"); writing the same text
        // again causes no change notification.
        EXPECT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(L"3", headless::TextOf(Edit(hPage)));
        int nChanges = first.m_nEditChanges;
        EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        EXPECT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(nChanges, first.m_nEditChanges);

        SetTimer(hPage, 1, 100, nullptr);
        EXPECT_TRUE(headless::FireTimer(hPage, 1));
        EXPECT_EQ(1, first.m_nTicks);
        headless::PressOk(hSheet);
    });
    EXPECT_EQ(IDOK, sheet.DoModal());
    EXPECT_EQ(1, first.m_nOk);
    EXPECT_EQ(1, second.m_nOk);
    EXPECT_EQ(0, first.m_nCancel);
}

TEST_F(FrameworkTest, CancelResetsOnlyPagesThatWereShown) {
    CNumberPage first;
    CNumberPage second(IDD_TWO);
    CPropertySheet sheet(L"Sheet");
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    headless::ScopedModalHandler handler([&](HWND hSheet) {
        // Invalid input does not keep the user from cancelling.
        headless::Type(Edit(headless::ActivePage(hSheet)), L"abc");
        headless::PressCancel(hSheet);
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_EQ(1, first.m_nCancel);
    EXPECT_EQ(0, second.m_nCancel);
    EXPECT_EQ(0, first.m_nOk);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(nullptr, sheet.m_hWnd);
}

TEST_F(FrameworkTest, DialogEndsWithOkOnlyOnValidInput) {
    CBoxDialog dialog;
    headless::ScopedModalHandler handler([](HWND hDialog) {
        EXPECT_EQ(L"5", headless::TextOf(Edit(hDialog)));
        headless::Type(Edit(hDialog), L"x");
        EXPECT_FALSE(headless::PressOk(hDialog));
        headless::Type(Edit(hDialog), L"-12");
        EXPECT_TRUE(headless::PressOk(hDialog));
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(-12, dialog.m_nValue);
    EXPECT_EQ(1u, headless::MessageBoxes().size());

    CBoxDialog cancelled;
    headless::ScopedModalHandler cancel([](HWND hDialog) {
        headless::Type(Edit(hDialog), L"9");
        headless::PressCancel(hDialog);
    });
    EXPECT_EQ(IDCANCEL, cancelled.DoModal());
    EXPECT_EQ(5, cancelled.m_nValue);
}

TEST_F(FrameworkTest, StringsFormatLongTextsAndNumberedInserts) {
    CString text;
    std::wstring longWord(600, L'ä');
    text.Format(L"%ls-%d-%u", longWord.c_str(), -7, 8u);
    EXPECT_EQ(longWord + L"--7-8", text.Str());

    const wchar_t* args[] = {L"FPGA", L"pci"};
    EXPECT_EQ(L"FPGA Dateien (FPGA_*.pci)|FPGA_*.pci|",
              AfxFormatStrings(L"%1 Dateien (%1_*.%2)|%1_*.%2|", args, 2).Str());

    // Out-of-range positions give empty parts, never a fault.
    EXPECT_EQ(-1, CString(L"abc").Find(L'x', 7));
    EXPECT_TRUE(CString(L"abc").Mid(5).IsEmpty());
    EXPECT_EQ(L"abc", CString(L"abc").Left(10).Str());
}

}  // namespace
