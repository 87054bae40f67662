// The "Schalter" page: the mode/node switch as two hexadecimal digits.
#include "PageTestSheet.h"
#include "pages/PageSwitchesDlg.h"
#include "res/resource.h"

namespace {

const wchar_t kServiceMode[] = L"Service Modus aktiv!";

class SwitchesTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
    }
    static void Run(const std::function<void(HWND, HWND)>& fn) {
        RunPageSheet<CPageSwitchesDlg>(fn);
    }
    static std::wstring High(HWND hPage) { return ItemText(hPage, IDC_SWITCH_HIGH); }
    static std::wstring Low(HWND hPage) { return ItemText(hPage, IDC_SWITCH_LOW); }
    static std::wstring Meaning(HWND hPage) { return ItemText(hPage, IDC_SWITCH_MEANING); }
};

TEST_F(SwitchesTest, ShowsBothDigitsAndServiceModeAndFollowsTheSwitch) {
    TmSimSet("switches.mode_node", "0x3A");
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"3", High(hPage));
        EXPECT_EQ(L"A", Low(hPage));
        EXPECT_EQ(L"", Meaning(hPage));
        ASSERT_TRUE(headless::HasTimer(hPage, 1));
        EXPECT_EQ(250u, headless::Timers()[0].elapse);

        TmSimSet("switches.mode_node", "0x00");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"0", High(hPage));
        EXPECT_EQ(L"0", Low(hPage));
        EXPECT_EQ(kServiceMode, Meaning(hPage));

        // Only the digit that changed is rewritten: a mark in the x1 field stays.
        SetWindowTextW(GetDlgItem(hPage, IDC_SWITCH_LOW), L"mark");
        TmSimSet("switches.mode_node", "0x10");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"1", High(hPage));
        EXPECT_EQ(L"mark", Low(hPage));
        EXPECT_EQ(L"", Meaning(hPage));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(SwitchesTest, FailedReadsKeepWhatIsShown) {
    TmSimSet("switches.mode_node", "0x00");
    TmSimInjectFault("IvroGetSwitch", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"?", High(hPage));
        EXPECT_EQ(L"?", Low(hPage));
        EXPECT_EQ(L"", Meaning(hPage));
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"?", Low(hPage));

        TmSimClearFaults();
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"0", High(hPage));
        EXPECT_EQ(kServiceMode, Meaning(hPage));

        TmSimInjectFault("IvroGetSwitch", ERROR_BUSY, 0, TMSIM_ANY_ITEM);
        TmSimSet("switches.mode_node", "0x21");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"0", High(hPage));
        EXPECT_EQ(kServiceMode, Meaning(hPage));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(SwitchesTest, ReadsOnlyWhileActive) {
    Run([](HWND hSheet, HWND hPage) {
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        TmSimClearCallLog();
        TmSimSet("switches.mode_node", "0x45");
        // Every timer that still runs ticks, as it would while the user looks elsewhere.
        for (const headless::TimerRecord& timer : headless::Timers())
            headless::FireTimer(timer.hwnd, timer.id);
        EXPECT_FALSE(CallsOf("IvroGetTemperature").empty());
        EXPECT_TRUE(CallsOf("IvroGetSwitch").empty());

        // Coming back shows the new position at once, without a tick.
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(L"4", High(hPage));
        EXPECT_EQ(L"5", Low(hPage));
        EXPECT_TRUE(headless::HasTimer(hPage, 1));
        for (const std::string& call : CallsOf("IvroGetSwitch"))
            EXPECT_EQ(0u, call.find("IvroGetSwitch item=0 size=1 ")) << call;
    });
}

}  // namespace
