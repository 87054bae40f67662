// The "Display" page against the simulated device, in the applet's sheet.
#include <cstdlib>

#include "AppletTestEnv.h"
#include "applet/CplPropertySheet.h"
#include "applet/ErrorText.h"

namespace {

const int kBrightnessGroup[] = {1183, 1179, 1161, 1164, 1167, 1169, 1172, 1173, 1154};
const int kContrastGroup[] = {1184, 1181, 1152, 1157, 1170, 1171, 1176, 1175, 1150};
const int kBrightnessManual[] = {1164, 1167, 1169, 1172, 1173, 1154};
const int kContrastManual[] = {1157, 1170, 1171, 1176, 1175, 1150};

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

    // Opens the applet's sheet, runs fn on it and closes it with OK or Cancel.
    void Run(const std::function<void(HWND hSheet, HWND hPage)>& fn, bool bOk = false) {
        headless::ScopedModalHandler handler([&](HWND hSheet) {
            m_hPage = headless::ActivePage(hSheet);
            fn(hSheet, m_hPage);
            if (bOk)
                headless::PressOk(hSheet);
            else
                headless::PressCancel(hSheet);
        });
        CCplPropertySheet sheet(L"Test", nullptr);
        sheet.DoModal();
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

    HWND m_hPage = nullptr;
};

TEST_F(DisplayTest, ActivationShowsTheDeviceAndAutoMeansTheFactoryValue) {
    Run(
        [&](HWND, HWND hPage) {
            EXPECT_EQ(L"80", Text(1164));
            EXPECT_EQ(80, Slider(1154));
            EXPECT_FALSE(Checked(1161));
            for (int nId : kBrightnessGroup) EXPECT_TRUE(Enabled(nId)) << nId;

            // Contrast equals its factory value: Auto, manual controls locked.
            EXPECT_EQ(L"60", Text(1157));
            EXPECT_EQ(60, Slider(1150));
            EXPECT_TRUE(Checked(1152));
            for (int nId : kContrastManual) EXPECT_FALSE(Enabled(nId)) << nId;
            for (int nId : {1184, 1181, 1152}) EXPECT_TRUE(Enabled(nId)) << nId;

            // Sliders 0..100 with the arrows at their ends; the refresh timer.
            EXPECT_EQ(0, SendMessageW(Item(1154), TBM_GETRANGEMIN, 0, 0));
            EXPECT_EQ(100, SendMessageW(Item(1150), TBM_GETRANGEMAX, 0, 0));
            EXPECT_EQ(11, SendMessageW(Item(1154), TBM_GETNUMTICS, 0, 0));  // every 10
            EXPECT_EQ(reinterpret_cast<LRESULT>(Item(1173)),
                      SendMessageW(Item(1154), TBM_GETBUDDY, TRUE, 0));
            EXPECT_EQ(reinterpret_cast<LRESULT>(Item(1176)),
                      SendMessageW(Item(1150), TBM_GETBUDDY, FALSE, 0));
            EXPECT_TRUE(headless::HasTimer(hPage, 1));
            EXPECT_EQ(250u, headless::Timers()[0].elapse);
        },
        true);
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DisplayTest, OpeningAndOkWithoutTouchingWritesNothing) {
    // The stored defaults differ from what the device shows now.
    TmSimSet("display.brightness_default", "70");
    TmSimSet("display.contrast_default", "40");
    Run(
        [&](HWND hSheet, HWND hPage) {
            // Leaving and coming back runs the data exchange into the fields.
            headless::SelectPage(hSheet, 1);
            headless::SelectPage(hSheet, 0);
            headless::FireTimer(hPage, 1);
        },
        true);
    // Not the constructor's 50, not Auto's factory value, no defaults.
    for (const char* pszOperation : {"IvroSetBrightness", "IvroSetContrast",
                                     "IvroSetDefaultBrightness", "IvroSetDefaultContrast"})
        EXPECT_TRUE(CallsOf(pszOperation).empty()) << pszOperation;
    EXPECT_EQ(70, Device("display.brightness_default"));
    EXPECT_EQ(40, Device("display.contrast_default"));

    // Ticking Auto is the user's setting: OK stores it.
    Run(
        [&](HWND, HWND) {
            headless::Click(Item(1161));  // on: the factory value, manual controls locked
            EXPECT_EQ(L"100", Text(1164));
            for (int nId : kBrightnessManual) EXPECT_FALSE(Enabled(nId)) << nId;
            headless::Click(Item(1152));  // off
            headless::Click(Item(1152));  // on
        },
        true);
    EXPECT_EQ((std::vector<int>{100}), Values("IvroSetBrightness"));
    EXPECT_EQ((std::vector<int>{100}), Values("IvroSetDefaultBrightness"));
    EXPECT_EQ((std::vector<int>{60}), Values("IvroSetContrast"));
    EXPECT_EQ((std::vector<int>{60}), Values("IvroSetDefaultContrast"));
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
        TmSimClearCallLog();
        headless::FireTimer(hPage, 1);
        EXPECT_FALSE(Enabled(1150));
        EXPECT_FALSE(Checked(1161));
        EXPECT_TRUE(CallsOf("IvroSetBrightness").empty());

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

TEST_F(DisplayTest, SliderArrowsAndHeldArrowsReachTheDevice) {
    fakeplat::SetRegString(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", L"KeyboardDelay", L"1");
    LoadModule();
    Run([&](HWND, HWND) {
        TmSimClearCallLog();
        ASSERT_TRUE(headless::SlideTo(Item(1154), 33));
        EXPECT_EQ(33, Device("display.brightness"));
        EXPECT_EQ(L"33", Text(1164));
        auto values = Values("IvroSetBrightness");
        EXPECT_GE(values.size(), 2u);  // thumb position and end of tracking
        for (int nValue : values) EXPECT_EQ(33, nValue);

        // A click steps once from the slider's position.
        TmSimClearCallLog();
        headless::Click(Item(1172));
        EXPECT_EQ(34, Device("display.brightness"));
        EXPECT_EQ(L"34", Text(1164));
        EXPECT_EQ(34, Slider(1154));
        // Clicking fast: the second press arrives as a double-click.
        headless::DoubleClick(Item(1172));
        EXPECT_EQ(36, Device("display.brightness"));
        EXPECT_EQ(36, Slider(1154));
        headless::SlideTo(Item(1154), 34);

        // Held: the button steps the field three times, the click once more.
        TmSimClearCallLog();
        HWND hUp = Item(1172);
        headless::MouseDown(hUp);
        // The keyboard delay of "1": 750 ms to the first step.
        bool bArmed = false;
        for (const auto& timer : headless::Timers())
            bArmed |= timer.hwnd == hUp && timer.id == 1 && timer.elapse == 750;
        EXPECT_TRUE(bArmed);
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(headless::FireTimer(hUp, 1));
        EXPECT_EQ(37, Slider(1154));
        headless::MouseUp(hUp);
        EXPECT_FALSE(headless::HasTimer(hUp, 1));
        EXPECT_EQ((std::vector<int>{35, 36, 37, 38}), Values("IvroSetBrightness"));
        EXPECT_EQ(L"38", Text(1164));
        EXPECT_EQ(38, Slider(1154));

        // The limits 0 and 100 are reached and not passed, slid, held or clicked.
        headless::SlideTo(Item(1154), 0);
        EXPECT_EQ(0, Device("display.brightness"));
        headless::SlideTo(Item(1154), 1);
        headless::Click(Item(1173));
        EXPECT_EQ(0, Device("display.brightness"));
        headless::SlideTo(Item(1154), 1);
        HWND hDown = Item(1173);
        headless::MouseDown(hDown);
        headless::FireTimer(hDown, 1);
        EXPECT_EQ(0, Device("display.brightness"));
        EXPECT_EQ(0, Slider(1154));
        TmSimClearCallLog();
        headless::MouseUp(hDown);
        EXPECT_TRUE(CallsOf("IvroSetBrightness").empty());
        headless::SlideTo(Item(1154), 99);
        headless::Click(Item(1172));
        EXPECT_EQ(100, Device("display.brightness"));
        EXPECT_EQ(100, Slider(1154));
        TmSimClearCallLog();
        headless::Click(Item(1172));
        headless::MouseDown(hUp);
        headless::FireTimer(hUp, 1);
        headless::MouseUp(hUp, false);
        EXPECT_EQ((std::vector<int>{100}), Values("IvroSetBrightness"));
        EXPECT_EQ(L"100", Text(1164));

        // Contrast: unticking Auto unlocks the controls and sets nothing.
        TmSimClearCallLog();
        headless::Click(Item(1152));
        for (int nId : kContrastManual) EXPECT_TRUE(Enabled(nId)) << nId;
        EXPECT_TRUE(CallsOf("IvroSetContrast").empty());
        headless::Click(Item(1175));
        EXPECT_EQ(59, Device("display.contrast"));
        // Ticking it sets the factory value again.
        headless::Click(Item(1152));
        EXPECT_EQ(60, Device("display.contrast"));
        EXPECT_EQ(L"60", Text(1157));
        EXPECT_EQ(60, Slider(1150));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(DisplayTest, RefusedSetShowsTheDeviceErrorOnEachAttempt) {
    Run([&](HWND, HWND hPage) {
        TmSimInjectFault("IvroSetBrightness", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        headless::SlideTo(Item(1154), 40);
        headless::Click(Item(1172));
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(3u, boxes.size());
        std::wstring strExpected = L"Die Displayhelligkeit kann nicht eingestellt werden.\n";
        strExpected += GetSystemErrorText(ERROR_TIMEOUT);
        for (const auto& box : boxes) {
            EXPECT_EQ(strExpected, box.text);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), box.type);
        }
        // The field keeps the device's value; the next tick puts the slider back.
        EXPECT_EQ(L"80", Text(1164));
        EXPECT_EQ(40, Slider(1154));
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(80, Slider(1154));

        // A held arrow's steps fail silently and leave the slider alone.
        headless::ClearMessageBoxes();
        headless::MouseDown(Item(1173));
        headless::FireTimer(Item(1173), 1);
        headless::MouseUp(Item(1173), false);
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

        TmSimInjectFault("IvroSetContrast", ERROR_GEN_FAILURE, 0, TMSIM_ANY_ITEM);
        headless::Click(Item(1152));  // Auto off: sets nothing
        headless::Click(Item(1176));
        boxes = headless::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(0u, boxes[0].text.find(L"Der Displaykontrast kann nicht eingestellt werden.\n"));
    });
}

TEST_F(DisplayTest, TimerFollowsTheDeviceWhileThePageIsShown) {
    Run([&](HWND hSheet, HWND hPage) {
        TmSimClearCallLog();
        // Nothing changed: nothing is written.
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

        // Back at the factory value: Auto stays unchecked.
        TmSimSet("display.contrast", "60");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"60", Text(1157));
        EXPECT_FALSE(Checked(1152));

        // A failed read changes nothing.
        TmSimInjectFault("IvroGetBrightness", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        TmSimSet("display.brightness", "90");
        headless::FireTimer(hPage, 1);
        EXPECT_EQ(L"20", Text(1164));
        TmSimClearFaults();

        // Only the active page polls; coming back starts the timer again.
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        EXPECT_FALSE(headless::HasTimer(hPage, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_TRUE(headless::HasTimer(hPage, 1));
        EXPECT_EQ(L"90", Text(1164));

        // The fields hold bytes: any other text keeps the user on the page.
        SetWindowTextW(Item(1164), L"256");
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 0 und 255 ein.",
                  headless::MessageBoxes().back().text);
        // Neither that nor a text without a number reaches the device.
        SetWindowTextW(Item(1164), L"");
        EXPECT_EQ(90, Device("display.brightness"));
        // Blanks around the number are allowed, as the data exchange allows them.
        SetWindowTextW(Item(1164), L" 42 ");
        EXPECT_EQ(42, Device("display.brightness"));
        EXPECT_EQ(42, Slider(1154));
    });
}

TEST_F(DisplayTest, OkStoresTheLastValuesSetAndCancelPutsBackTheFirstOnes) {
    Run(
        [&](HWND hSheet, HWND) {
            headless::SlideTo(Item(1154), 33);
            headless::SelectPage(hSheet, 1);
            headless::SelectPage(hSheet, 0);
            headless::SlideTo(Item(1154), 44);
            // A held arrow's step counts too, released beside the button (no click).
            headless::MouseDown(Item(1172));
            headless::FireTimer(Item(1172), 1);
            headless::MouseUp(Item(1172), false);
            // Changed elsewhere afterwards: not what the page set.
            TmSimSet("display.brightness", "47");
            headless::FireTimer(m_hPage, 1);
        },
        true);
    EXPECT_EQ((std::vector<int>{45}), Values("IvroSetDefaultBrightness"));
    EXPECT_TRUE(Values("IvroSetDefaultContrast").empty());
    EXPECT_EQ(47, Device("display.brightness"));
    EXPECT_EQ(45, Device("display.brightness_default"));

    // Cancel, untouched: both first values are set once more, no defaults.
    TmSimSet("display.brightness", "80");
    TmSimSet("display.contrast", "55");
    TmSimClearCallLog();
    Run([&](HWND, HWND) { TmSimClearCallLog(); });
    EXPECT_EQ((std::vector<int>{80}), Values("IvroSetBrightness"));
    EXPECT_EQ((std::vector<int>{55}), Values("IvroSetContrast"));

    // Cancel after changes: the values found at the first activation return.
    Run([&](HWND hSheet, HWND) {
        headless::SlideTo(Item(1154), 12);
        headless::Click(Item(1176));
        headless::SelectPage(hSheet, 1);
        TmSimSet("display.contrast", "30");
        headless::SelectPage(hSheet, 0);
    });
    EXPECT_EQ(80, Device("display.brightness"));
    EXPECT_EQ(55, Device("display.contrast"));
    EXPECT_TRUE(Values("IvroSetDefaultBrightness").empty());
    EXPECT_TRUE(Values("IvroSetDefaultContrast").empty());
}

TEST_F(DisplayTest, ArrowButtonsAreDrawnAndFreedWithTheSheet) {
    int nObjects = headless::LiveObjectCount();
    Run([&](HWND, HWND) {
        for (int nId : {1173, 1172, 1175}) {
            headless::ClearDrawCalls();
            headless::Paint(Item(nId));
            const auto calls = headless::DrawCalls();
            const headless::DrawCall* pBlt = nullptr;
            for (const auto& call : calls)
                if (call.op == "BitBlt") pBlt = &call;
            ASSERT_NE(nullptr, pBlt) << nId;
            auto image = headless::ImageOf(pBlt->image);
            ASSERT_TRUE(image.has_value());
            EXPECT_EQ(nId == 1172 ? 1225 : 1224, image->resourceId);
            // The contrast arrows are locked by Auto: grey.
            EXPECT_EQ(nId == 1175 ? RGB(128, 128, 128) : RGB(0, 0, 0), pBlt->textColor);
        }
    });
    EXPECT_EQ(nObjects, headless::LiveObjectCount());
}

}  // namespace
