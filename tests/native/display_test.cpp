// The "Display" page against the simulated device, in the applet's sheet.
#include <cstdlib>

#include "PageTestSheet.h"
#include "pages/PageDisplayDlg.h"

namespace {

const int kBrightnessManual[] = {1164, 1167, 1169, 1172, 1173, 1154};
const int kContrastManual[] = {1157, 1170, 1171, 1176, 1175, 1150};
const int kContrastGroup[] = {1184, 1181, 1152, 1157, 1170, 1171, 1176, 1175, 1150};

// Counts the paints of a subclassed slider.
WNDPROC g_pfnSlider = nullptr;
int g_nSliderPaints = 0;
LRESULT CALLBACK CountPaints(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_PAINT) ++g_nSliderPaints;
    return CallWindowProcW(g_pfnSlider, hWnd, nMsg, wParam, lParam);
}

class DisplayTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        // Brightness away from its factory value, contrast at it.
        TmSimSet("display.brightness", "80");
        TmSimSet("display.brightness_factory", "100");
        TmSimSet("display.contrast", "60");
        TmSimSet("display.contrast_factory", "60");
        LoadModule();
    }

    // Runs fn on the page in a sheet closed with OK or Cancel.
    void Run(const std::function<void(HWND hSheet, HWND hPage)>& fn, bool bOk = false) {
        RunPageSheet<CPageDisplayDlg>(
            [&](HWND hSheet, HWND hPage) {
                m_hPage = hPage;
                fn(hSheet, hPage);
            },
            bOk);
    }

    // The values written by one operation, in call order.
    static std::vector<int> Values(const std::string& strOperation) {
        std::vector<int> values;
        for (const std::string& line : CallsOf(strOperation)) {
            size_t at = line.find("value=");
            if (at != std::string::npos) values.push_back(std::atoi(line.c_str() + at + 6));
        }
        return values;
    }
    static int Device(const char* pszKey) { return std::atoi(TmSimGetString(pszKey).c_str()); }

    HWND Item(int nId) const { return GetDlgItem(m_hPage, nId); }
    std::wstring Text(int nId) const { return headless::TextOf(Item(nId)); }
    int Slider(int nId) const { return headless::SliderPos(Item(nId)); }
    bool Enabled(int nId) const { return IsWindowEnabled(Item(nId)) != FALSE; }
    bool Checked(int nId) const { return headless::IsChecked(Item(nId)); }
    // Pressed and held for n steps of the repeat timer.
    void Hold(int nId, int nSteps, bool bReleasedInside = true) const {
        headless::MouseDown(Item(nId));
        for (int i = 0; i < nSteps; ++i) EXPECT_TRUE(headless::FireTimer(Item(nId), 1));
        headless::MouseUp(Item(nId), bReleasedInside);
    }

    HWND m_hPage = nullptr;
};

TEST_F(DisplayTest, ActivationShowsTheDeviceAndAutoMeansTheFactoryValue) {
    Run([&](HWND, HWND) {
        EXPECT_EQ(L"80", Text(1164));
        EXPECT_EQ(80, Slider(1154));
        EXPECT_FALSE(Checked(1161));
        for (int nId : kBrightnessManual) EXPECT_TRUE(Enabled(nId)) << nId;
        // Contrast equals its factory value: Auto, manual controls locked.
        EXPECT_EQ(L"60", Text(1157));
        EXPECT_EQ(60, Slider(1150));
        EXPECT_TRUE(Checked(1152));
        for (int nId : kContrastManual) EXPECT_FALSE(Enabled(nId)) << nId;

        // Sliders 0..100, a tick every 10, the arrows at their ends.
        EXPECT_EQ(0, SendMessageW(Item(1154), TBM_GETRANGEMIN, 0, 0));
        EXPECT_EQ(100, SendMessageW(Item(1150), TBM_GETRANGEMAX, 0, 0));
        EXPECT_EQ(11, SendMessageW(Item(1154), TBM_GETNUMTICS, 0, 0));
        EXPECT_EQ(reinterpret_cast<LRESULT>(Item(1173)),
                  SendMessageW(Item(1154), TBM_GETBUDDY, TRUE, 0));
        EXPECT_EQ(reinterpret_cast<LRESULT>(Item(1176)),
                  SendMessageW(Item(1150), TBM_GETBUDDY, FALSE, 0));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DisplayTest, OkStoresWhatTheUserSetAndCancelPutsBackTheFirstValues) {
    // Ticking Auto sets the factory value and locks the manual controls;
    // a held arrow's step counts too, released beside the button (no
    // click); a value changed elsewhere afterwards is not the user's.
    Run(
        [&](HWND hSheet, HWND hPage) {
            headless::SlideTo(Item(1154), 33);
            headless::SelectPage(hSheet, 1);
            headless::SelectPage(hSheet, 0);
            headless::Click(Item(1161));
            EXPECT_EQ(L"100", Text(1164));
            EXPECT_EQ(100, Slider(1154));
            for (int nId : kBrightnessManual) EXPECT_FALSE(Enabled(nId)) << nId;
            headless::Click(Item(1152));  // off
            headless::Click(Item(1152));  // on
            headless::Click(Item(1161));  // off: unlocks, sets nothing
            headless::SlideTo(Item(1154), 44);
            Hold(1172, 1, false);
            TmSimSet("display.brightness", "47");
            headless::FireTimer(hPage, 1);
        },
        true);
    EXPECT_EQ((std::vector<int>{45}), Values("IvroSetDefaultBrightness"));
    EXPECT_EQ((std::vector<int>{60}), Values("IvroSetContrast"));
    EXPECT_EQ((std::vector<int>{60}), Values("IvroSetDefaultContrast"));
    EXPECT_EQ(47, Device("display.brightness"));

    // Cancel: the values found at the first activation return, no defaults.
    TmSimSet("display.contrast", "55");
    TmSimClearCallLog();
    Run([&](HWND hSheet, HWND) {
        headless::SlideTo(Item(1154), 12);
        headless::Click(Item(1176));
        headless::SelectPage(hSheet, 1);
        TmSimSet("display.contrast", "30");
        headless::SelectPage(hSheet, 0);
    });
    EXPECT_EQ(47, Device("display.brightness"));
    EXPECT_EQ(55, Device("display.contrast"));
    EXPECT_TRUE(Values("IvroSetDefaultBrightness").empty());
    EXPECT_TRUE(Values("IvroSetDefaultContrast").empty());
}

TEST_F(DisplayTest, FailedReadsDisableTheirPartOnly) {
    // No factory brightness: Auto cannot be chosen, nothing compares with it.
    TmSimInjectFault("IvroGetFactoryBrightness", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    // No contrast at all: the whole contrast group is out of order.
    TmSimInjectFault("IvroGetContrast", ERROR_GEN_FAILURE, 0, TMSIM_ANY_ITEM);
    // 0 would also be what a factory value never read holds.
    TmSimSet("display.brightness", "0");
    Run([&](HWND hSheet, HWND hPage) {
        EXPECT_FALSE(Checked(1161));
        EXPECT_FALSE(Enabled(1161));
        for (int nId : kBrightnessManual) EXPECT_TRUE(Enabled(nId)) << nId;
        for (int nId : kContrastGroup) EXPECT_FALSE(Enabled(nId)) << nId;
        EXPECT_EQ(50, Slider(1150));
        headless::FireTimer(hPage, 1);
        EXPECT_FALSE(Enabled(1150));
        EXPECT_FALSE(Checked(1161));

        // The factory value is read again at each activation.
        TmSimClearFaults();
        TmSimSet("display.brightness_factory", "0");
        TmSimSet("display.contrast", "70");
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_TRUE(Enabled(1161));
        EXPECT_TRUE(Checked(1161));
        // A contrast read that works again unlocks only the manual controls.
        EXPECT_EQ(L"70", Text(1157));
        for (int nId : kContrastManual) EXPECT_FALSE(Enabled(nId)) << nId;
        headless::FireTimer(hPage, 1);
        for (int nId : kContrastManual) EXPECT_TRUE(Enabled(nId)) << nId;
        for (int nId : {1184, 1181, 1152}) EXPECT_FALSE(Enabled(nId)) << nId;
        TmSimClearCallLog();
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
    // Cancel puts back only what was read at the first activation.
    EXPECT_EQ((std::vector<int>{0}), Values("IvroSetBrightness"));
    EXPECT_TRUE(Values("IvroSetContrast").empty());
}

TEST_F(DisplayTest, SliderArrowsAndHeldArrowsStepTheDeviceUpToTheLimits) {
    Run([&](HWND, HWND) {
        TmSimClearCallLog();
        ASSERT_TRUE(headless::SlideTo(Item(1154), 33));
        EXPECT_EQ(L"33", Text(1164));
        auto values = Values("IvroSetBrightness");
        EXPECT_GE(values.size(), 2u);  // thumb position and end of tracking
        for (int nValue : values) EXPECT_EQ(33, nValue);

        // A click steps once from the slider's position; clicking fast, the
        // second press arrives as a double-click.
        headless::Click(Item(1172));
        EXPECT_EQ(34, Device("display.brightness"));
        EXPECT_EQ(L"34", Text(1164));
        EXPECT_EQ(34, Slider(1154));
        headless::DoubleClick(Item(1172));
        EXPECT_EQ(36, Slider(1154));

        // Held: three steps, then the click once more.
        TmSimClearCallLog();
        headless::MouseDown(Item(1172));
        // Each held step redraws the slider's thumb where it now stands.
        g_pfnSlider = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(Item(1154), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountPaints)));
        for (int i = 0; i < 3; ++i) {
            ValidateRect(Item(1154), nullptr);
            ASSERT_TRUE(headless::FireTimer(Item(1172), 1));
            UpdateWindow(Item(1154));
        }
        EXPECT_EQ(3, g_nSliderPaints);
        EXPECT_EQ(39, Slider(1154));
        headless::MouseUp(Item(1172));
        EXPECT_EQ((std::vector<int>{37, 38, 39, 40}), Values("IvroSetBrightness"));
        EXPECT_EQ(L"40", Text(1164));
        EXPECT_EQ(40, Slider(1154));

        // The limits 0 and 100 are reached and not passed, held or clicked.
        headless::SlideTo(Item(1154), 1);
        TmSimClearCallLog();
        headless::Click(Item(1173));
        headless::Click(Item(1173));
        EXPECT_EQ((std::vector<int>{0}), Values("IvroSetBrightness"));
        headless::SlideTo(Item(1154), 99);
        headless::Click(Item(1172));
        EXPECT_EQ(100, Device("display.brightness"));
        EXPECT_EQ(100, Slider(1154));
        TmSimClearCallLog();
        headless::Click(Item(1172));
        Hold(1172, 1, false);
        EXPECT_EQ((std::vector<int>{100}), Values("IvroSetBrightness"));
        EXPECT_EQ(L"100", Text(1164));

        // Contrast: unticking Auto unlocks the controls.
        headless::Click(Item(1152));
        headless::Click(Item(1175));
        EXPECT_EQ(59, Device("display.contrast"));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DisplayTest, RefusedSetShowsTheDeviceErrorOnEachAttempt) {
    Run([&](HWND, HWND hPage) {
        TmSimInjectFault("IvroSetBrightness", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        headless::SlideTo(Item(1154), 40);
        headless::Click(Item(1172));
        EXPECT_EQ(3u, headless::MessageBoxes().size());
        // The field keeps the device's value; the next tick puts the slider back.
        EXPECT_EQ(L"80", Text(1164));
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(80, Slider(1154));

        // A held arrow's steps fail silently and leave the slider alone.
        headless::ClearMessageBoxes();
        Hold(1173, 1, false);
        EXPECT_EQ(80, Slider(1154));
        EXPECT_TRUE(headless::MessageBoxes().empty());

        // The field kept the refused step; once the device takes values
        // again, every click moves field, slider and device together.
        EXPECT_EQ(L"79", Text(1164));
        TmSimClearFaults();
        for (int nExpected : {79, 78}) {
            headless::Click(Item(1173));
            EXPECT_EQ(nExpected, Device("display.brightness"));
            EXPECT_EQ(nExpected, Slider(1154));
            EXPECT_EQ(std::to_wstring(nExpected), Text(1164));
        }
    });
}

TEST_F(DisplayTest, TimerFollowsTheDeviceAndTypedValuesReachIt) {
    Run([&](HWND hSheet, HWND hPage) {
        TmSimClearCallLog();
        headless::FireTimer(hPage, 1);
        EXPECT_TRUE(CallsOf("IvroSetBrightness").empty());
        EXPECT_TRUE(CallsOf("IvroSetContrast").empty());

        TmSimSet("display.brightness", "20");
        TmSimSet("display.contrast", "45");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"20", Text(1164));
        EXPECT_EQ(20, Slider(1154));
        EXPECT_EQ(L"45", Text(1157));
        EXPECT_EQ(45, Slider(1150));
        EXPECT_FALSE(Checked(1152));
        for (int nId : kContrastManual) EXPECT_TRUE(Enabled(nId)) << nId;
        // Back at the factory value: the timer never ticks Auto.
        TmSimSet("display.contrast", "60");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"60", Text(1157));
        EXPECT_FALSE(Checked(1152));

        // The fields hold bytes: any other text keeps the user on the page.
        SetWindowTextW(Item(1164), L"256");
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 0 und 255 ein.",
                  headless::MessageBoxes().back().text);
        // Neither that nor a text without a number reaches the device; blanks
        // around the number are allowed, as the data exchange allows them.
        SetWindowTextW(Item(1164), L"");
        EXPECT_EQ(20, Device("display.brightness"));
        SetWindowTextW(Item(1164), L" 42 ");
        EXPECT_EQ(42, Device("display.brightness"));
        EXPECT_EQ(42, Slider(1154));
        SetWindowTextW(Item(1164), L"100 ");
        EXPECT_EQ(100, Device("display.brightness"));
        SetWindowTextW(Item(1164), L"101");
        EXPECT_EQ(100, Slider(1154));
    });
}

}  // namespace
