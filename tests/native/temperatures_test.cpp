// The "Temperaturen" page against the simulated device.
#include "AppletTestEnv.h"
#include "pages/PageTemperaturesDlg.h"

namespace {

// Two temperature pages in one sheet, so that a test can leave one for the
// other and come back.
class CTwoPageSheet : public CPropertySheet {
public:
    CTwoPageSheet() : CPropertySheet(L"Test") {
        AddPage(&m_first);
        AddPage(&m_second);
    }
    CPageTemperaturesDlg m_first;
    CPageTemperaturesDlg m_second;
};

class TemperaturesTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("temperature.cpu", "47");
        TmSimSet("temperature.io", "31");
    }

    void Run(const std::function<void(HWND)>& fn) {
        headless::ScopedModalHandler handler([&](HWND hSheet) {
            fn(hSheet);
            headless::PressCancel(hSheet);
        });
        m_sheet.DoModal();
    }

    static std::wstring Cpu(HWND hPage) { return headless::TextOf(GetDlgItem(hPage, 1168)); }
    static std::wstring Board(HWND hPage) { return headless::TextOf(GetDlgItem(hPage, 1185)); }
    static size_t TemperatureReads() { return CallsOf("IvroGetTemperature").size(); }

    CTwoPageSheet m_sheet;
};

TEST_F(TemperaturesTest, ShowsSignedDegreesAndFollowsTheDeviceEverySecond) {
    Run([](HWND hSheet) {
        HWND hPage = headless::ActivePage(hSheet);
        EXPECT_EQ(L"47", Cpu(hPage));
        EXPECT_EQ(L"31", Board(hPage));
        auto timers = headless::Timers();
        ASSERT_EQ(1u, timers.size());
        EXPECT_EQ(hPage, timers[0].hwnd);
        EXPECT_EQ(1u, timers[0].id);
        EXPECT_EQ(1000u, timers[0].elapse);

        // The byte 0xF6 is -10 degrees.
        TmSimSet("temperature.cpu", "-10");
        TmSimSet("temperature.io", "-128");
        EXPECT_TRUE(headless::FireTimer(hPage, 1));
        EXPECT_EQ(L"-10", Cpu(hPage));
        EXPECT_EQ(L"-128", Board(hPage));
    });
}

TEST_F(TemperaturesTest, FailedReadKeepsTheLastGoodValueSilently) {
    Run([](HWND hSheet) {
        HWND hPage = headless::ActivePage(hSheet);
        TmSimInjectFault("IvroGetTemperature", ERROR_SEM_TIMEOUT, 0, 1);
        TmSimSet("temperature.cpu", "50");
        TmSimSet("temperature.io", "60");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"50", Cpu(hPage));
        EXPECT_EQ(L"31", Board(hPage));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());

    // A sensor that has never answered shows no plausible 0 but "?", until
    // its first good read; leaving the page is not held up by it.
    TmSimClearFaults();
    TmSimInjectFault("IvroGetTemperature", ERROR_NOT_SUPPORTED, 0, 0);
    CTwoPageSheet sheet;
    headless::ScopedModalHandler handler([](HWND hSheet) {
        HWND hPage = headless::ActivePage(hSheet);
        EXPECT_EQ(L"?", Cpu(hPage));
        EXPECT_EQ(L"60", Board(hPage));
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"?", Cpu(hPage));
        EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        TmSimClearFaults();
        EXPECT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(L"50", Cpu(hPage));
        headless::PressCancel(hSheet);
    });
    sheet.DoModal();
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(TemperaturesTest, OnlyTheActivePageReadsAndKeepsOneTimer) {
    Run([](HWND hSheet) {
        HWND hFirst = headless::ActivePage(hSheet);
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        HWND hSecond = headless::ActivePage(hSheet);
        EXPECT_FALSE(headless::HasTimer(hFirst, 1));
        EXPECT_TRUE(headless::HasTimer(hSecond, 1));

        size_t nReads = TemperatureReads();
        EXPECT_FALSE(headless::FireTimer(hFirst, 1));
        EXPECT_EQ(nReads, TemperatureReads());

        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(1u, headless::Timers().size());
        EXPECT_TRUE(headless::HasTimer(hFirst, 1));
        // Activation reads both sensors at once, before any tick.
        EXPECT_EQ(nReads + 2, TemperatureReads());
    });
}

}  // namespace
