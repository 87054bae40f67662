// The refresh timer of the polling pages: a timer that cannot be started is
// reported, and the page tries again at its next activation.
#include "PageTestSheet.h"
#include "pages/PageDisplayDlg.h"
#include "pages/PageKeysDlg.h"
#include "pages/PageSwitchesDlg.h"

namespace {

class PollTimerTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
    }
};

// Activates the page while SetTimer fails, then again once it works.
template <class TPage>
void CheckTimerFailure(UINT nElapse) {
    RunPageSheet<TPage>([&](HWND hSheet, HWND hPage) {
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        headless::ClearMessageBoxes();
        headless::FailSetTimer(true);
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        headless::FailSetTimer(false);
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(L"Ein Timer kann nicht gestartet werden.", boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[0].type);
        EXPECT_TRUE(headless::Timers().empty());

        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        ASSERT_EQ(1u, headless::Timers().size());
        EXPECT_TRUE(headless::HasTimer(hPage, 1));
        EXPECT_EQ(nElapse, headless::Timers()[0].elapse);
        EXPECT_EQ(1u, headless::MessageBoxes().size());
    });
}

TEST_F(PollTimerTest, EveryPollingPageReportsATimerThatCannotStart) {
    const struct {
        const char* pszPage;
        void (*pfnCheck)(UINT);
        UINT nElapse;
    } pages[] = {
        {"Display", &CheckTimerFailure<CPageDisplayDlg>, 250},
        {"Tasten", &CheckTimerFailure<CPageKeysDlg>, 250},
        {"Schalter", &CheckTimerFailure<CPageSwitchesDlg>, 250},
        {"Temperaturen", &CheckTimerFailure<CPageTemperaturesDlg>, 1000},
    };
    for (const auto& page : pages) {
        SCOPED_TRACE(page.pszPage);
        headless::ClearMessageBoxes();
        page.pfnCheck(page.nElapse);
    }
}

}  // namespace
