// The "LEDs" page: one LED or all switched at once, Cancel restores all layers.
#include <algorithm>

#include "PageTestSheet.h"
#include "pages/PageLedsDlg.h"
#include "res/resource.h"

namespace {

const int kStates[] = {IDC_LED_OFF, IDC_LED_SLOW, IDC_LED_FAST, IDC_LED_ON};

class LedsTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("leds.count", "32");
        TmSimSet("keys.layer", "0");
        // Layer 1: LED 0 on; layer 2: LED 5 blinking fast; layer 4: LED 5 slowly.
        SetLayer(0, "03 00");
        SetLayer(1, "00 08");
        SetLayer(2, "00 00");
        SetLayer(3, "00 04");
        TmSimClearCallLog();
    }
    // A layer's 32 bytes from its first two.
    static void SetLayer(int nLayer, const char* pszFirst) {
        std::string strKey = "leds.matrix." + std::to_string(nLayer);
        std::string strMatrix = pszFirst;
        for (int i = 2; i < 32; ++i) strMatrix += " 00";
        ASSERT_TRUE(TmSimSet(strKey.c_str(), strMatrix.c_str()));
    }
    // The state the radio buttons show, -1 for none.
    static int Shown(HWND hPage) {
        int nShown = -1;
        for (int i = 0; i < 4; ++i) {
            if (!headless::IsChecked(GetDlgItem(hPage, kStates[i]))) continue;
            if (nShown >= 0) return -2;  // more than one
            nShown = i;
        }
        return nShown;
    }
    static void Type(HWND hPage, int nId, const wchar_t* pszText) {
        ASSERT_TRUE(headless::Type(GetDlgItem(hPage, nId), pszText));
    }
    static void Click(HWND hPage, int nId) { ASSERT_TRUE(headless::Click(GetDlgItem(hPage, nId))); }
    static std::vector<std::string> Writes() {
        std::vector<std::string> writes;
        for (const std::string& line : TmSimCallLogLines())
            if (line.compare(0, 7, "IvroSet") == 0)
                writes.push_back(line.substr(0, std::min(line.find(" data="), line.find(" ->"))));
        return writes;
    }
};

TEST_F(LedsTest, ShowsTheStateOfTheChosenLedAndLayer) {
    RunPageSheet<CPageLedsDlg>([](HWND hSheet, HWND hPage) {
        EXPECT_EQ(L"0", ItemText(hPage, IDC_LED_NUMBER));
        EXPECT_EQ(L"1", ItemText(hPage, IDC_LED_LAYER));
        EXPECT_EQ(3, Shown(hPage));
        EXPECT_EQ(4u, CallsOf("IvroGetLedMatrix").size());

        // LED 5 in layer 2 is device layer 1.
        Type(hPage, IDC_LED_NUMBER, L"5");
        Type(hPage, IDC_LED_LAYER, L"2");
        EXPECT_EQ(2, Shown(hPage));
        EXPECT_EQ("IvroGetLedState layer=1 led=5 -> 1 error=0", CallsOf("IvroGetLedState").back());
        Type(hPage, IDC_LED_LAYER, L"4");
        EXPECT_EQ(1, Shown(hPage));

        // Numbers and layers out of range query nothing, 300 not as LED 44.
        TmSimClearCallLog();
        for (const wchar_t* psz : {L"200", L"300", L"", L"x"}) Type(hPage, IDC_LED_NUMBER, psz);
        Type(hPage, IDC_LED_NUMBER, L"5");
        for (const wchar_t* psz : {L"0", L"5", L"260"}) Type(hPage, IDC_LED_LAYER, psz);
        EXPECT_EQ(1u, CallsOf("IvroGetLedState").size());
        EXPECT_EQ(1, Shown(hPage));

        // Coming back reads the LED again, but saves no layer anew.
        Type(hPage, IDC_LED_LAYER, L"1");
        SetLayer(0, "00 08");
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(2, Shown(hPage));
        EXPECT_TRUE(CallsOf("IvroGetLedMatrix").empty());
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(LedsTest, SwitchesOneLedOrAllAfterTheAutomaticLayerChange) {
    RunPageSheet<CPageLedsDlg>(
        [](HWND hSheet, HWND hPage) {
            // Out of range: the prompt, no state (there is no LED 200), the page kept.
            Type(hPage, IDC_LED_NUMBER, L"200");
            Click(hPage, IDC_LED_ON);
            EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 0 und 127 ein.",
                      headless::MessageBoxes().back().text);
            EXPECT_EQ(-1, Shown(hPage));
            EXPECT_FALSE(headless::SelectPage(hSheet, 1));

            Type(hPage, IDC_LED_NUMBER, L"5");
            Type(hPage, IDC_LED_LAYER, L"2");
            Click(hPage, IDC_LED_ON);
            EXPECT_EQ(3, Shown(hPage));
            Click(hPage, IDC_LED_AUTO_LAYER);
            Click(hPage, IDC_LED_FAST);
            EXPECT_EQ((std::vector<std::string>{"IvroSetLedState layer=1 led=5 state=3",
                                                "IvroSetKeyLayer layer=1",
                                                "IvroSetLedState layer=1 led=5 state=2"}),
                      Writes());
            EXPECT_EQ(2, Shown(hPage));

            // The layer change with all LEDs sends the last layer that passed,
            // and a bad number does not stop it.
            Type(hPage, IDC_LED_LAYER, L"3");
            Type(hPage, IDC_LED_LAYER, L"9");
            Click(hPage, IDC_LED_ALL);
            for (int nId : {IDC_LED_NUMBER_LABEL, IDC_LED_NUMBER, IDC_LED_LAYER_LABEL,
                            IDC_LED_LAYER, IDC_LED_AUTO_LAYER})
                EXPECT_FALSE(ItemEnabled(hPage, nId)) << nId;
            SetWindowTextW(GetDlgItem(hPage, IDC_LED_NUMBER), L"200");
            TmSimClearCallLog();
            Click(hPage, IDC_LED_ON);
            EXPECT_EQ(
                (std::vector<std::string>{"IvroSetKeyLayer layer=2", "IvroSetAllLeds state=3"}),
                Writes());
            EXPECT_TRUE(CallsOf("IvroGetLedState").empty());
            EXPECT_EQ(3, Shown(hPage));

            // Back to one LED: the fields come back with that LED's own state.
            SetWindowTextW(GetDlgItem(hPage, IDC_LED_NUMBER), L"7");
            SetWindowTextW(GetDlgItem(hPage, IDC_LED_LAYER), L"3");
            SetLayer(2, "00 00");
            Click(hPage, IDC_LED_ALL);
            EXPECT_TRUE(ItemEnabled(hPage, IDC_LED_LAYER));
            EXPECT_EQ(0, Shown(hPage));
        },
        true);
    // OK keeps the layer and the LEDs as switched.
    EXPECT_EQ("2", TmSimGetString("keys.layer"));
    EXPECT_TRUE(CallsOf("IvroSetLedMatrix").empty());
    EXPECT_EQ(2u, headless::MessageBoxes().size());
}

TEST_F(LedsTest, FailedSwitchShowsWhatTheDeviceHas) {
    RunPageSheet<CPageLedsDlg>([](HWND, HWND hPage) {
        TmSimInjectFault("IvroSetLedState", ERROR_BUSY, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_OFF);
        EXPECT_EQ(3, Shown(hPage));

        // A layer change that fails stops before the LED.
        Click(hPage, IDC_LED_AUTO_LAYER);
        TmSimInjectFault("IvroSetKeyLayer", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_SLOW);
        EXPECT_EQ(3, Shown(hPage));
        EXPECT_EQ(1u, CallsOf("IvroSetLedState").size());

        // All LEDs: there is no single state to show.
        TmSimClearFaults();
        Click(hPage, IDC_LED_AUTO_LAYER);
        Click(hPage, IDC_LED_ALL);
        TmSimInjectFault("IvroSetAllLeds", ERROR_GEN_FAILURE, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_FAST);
        EXPECT_EQ(-1, Shown(hPage));
    });
    EXPECT_EQ(3u, headless::MessageBoxes().size());
}

TEST_F(LedsTest, CancelPutsBackTheLayersReadAtTheFirstActivation) {
    std::string original[4];
    for (int i = 0; i < 4; ++i)
        original[i] = TmSimGetString(("leds.matrix." + std::to_string(i)).c_str());
    // Changes after a second activation do not count as the first state.
    RunPageSheet<CPageLedsDlg>([](HWND hSheet, HWND hPage) {
        Click(hPage, IDC_LED_SLOW);  // LED 0, layer 1
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        Type(hPage, IDC_LED_LAYER, L"2");
        Click(hPage, IDC_LED_ON);
    });
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(original[i], TmSimGetString(("leds.matrix." + std::to_string(i)).c_str())) << i;
}

}  // namespace
