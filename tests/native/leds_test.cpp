// The "LEDs" page: one LED or all switched at once, Cancel restores all layers.
#include "PageTestSheet.h"
#include "pages/PageLedsDlg.h"
#include "res/resource.h"

namespace {

const int kStates[] = {IDC_LED_OFF, IDC_LED_SLOW, IDC_LED_FAST, IDC_LED_ON};
const char kZeros[] =
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00";

class LedsTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("leds.count", "32");
        TmSimSet("keys.layer", "0");
        // LED 0 of layer 1 on; LED 5 of layer 2 blinking fast; LED 5 of layer
        // 4 blinking slowly.
        TmSimSet("leds.matrix.0", (std::string("03") + (kZeros + 2)).c_str());
        TmSimSet("leds.matrix.1",
                 "00 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                 "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        TmSimSet("leds.matrix.2", kZeros);
        TmSimSet("leds.matrix.3",
                 "00 04 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                 "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        TmSimClearCallLog();
    }
    static void Run(const std::function<void(HWND, HWND)>& fn, bool bOk = false) {
        RunPageSheet<CPageLedsDlg>(fn, bOk);
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
    static size_t Writes() {
        size_t n = 0;
        for (const std::string& line : TmSimCallLogLines()) n += line.compare(0, 7, "IvroSet") == 0;
        return n;
    }
    static std::vector<std::string> WritesSeen() {
        std::vector<std::string> writes;
        for (const std::string& line : TmSimCallLogLines())
            if (line.compare(0, 7, "IvroSet") == 0)
                writes.push_back(line.substr(0, line.find(" ->")));
        return writes;
    }
};

TEST_F(LedsTest, ShowsTheStateOfTheChosenLedAndLayer) {
    Run(
        [](HWND hSheet, HWND hPage) {
            EXPECT_EQ(L"0", ItemText(hPage, IDC_LED_NUMBER));
            EXPECT_EQ(L"1", ItemText(hPage, IDC_LED_LAYER));
            EXPECT_EQ(3, Shown(hPage));
            EXPECT_EQ(4u, CallsOf("IvroGetLedMatrix").size());
            EXPECT_FALSE(headless::HasTimer(hPage, 1));

            // LED 5 in layer 2 is device layer 1.
            Type(hPage, IDC_LED_NUMBER, L"5");
            Type(hPage, IDC_LED_LAYER, L"2");
            EXPECT_EQ(2, Shown(hPage));
            EXPECT_EQ("IvroGetLedState layer=1 led=5 -> 1 error=0",
                      CallsOf("IvroGetLedState").back());
            Type(hPage, IDC_LED_LAYER, L"4");
            EXPECT_EQ(1, Shown(hPage));

            // Numbers and layers out of range query nothing, 300 not as LED 44.
            TmSimClearCallLog();
            for (const wchar_t* psz : {L"200", L"300", L"", L"x"}) Type(hPage, IDC_LED_NUMBER, psz);
            Type(hPage, IDC_LED_NUMBER, L"5");
            for (const wchar_t* psz : {L"0", L"5", L"260"}) Type(hPage, IDC_LED_LAYER, psz);
            EXPECT_EQ(1u, CallsOf("IvroGetLedState").size());
            EXPECT_EQ(1, Shown(hPage));

            // A failed query leaves the buttons alone.
            Type(hPage, IDC_LED_LAYER, L"4");
            TmSimInjectFault("IvroGetLedState", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
            Type(hPage, IDC_LED_LAYER, L"1");
            EXPECT_EQ(1, Shown(hPage));
            TmSimClearFaults();

            // Leaving and coming back reads the device again, but saves nothing anew.
            TmSimSet("leds.matrix.0",
                     "00 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
            ASSERT_TRUE(headless::SelectPage(hSheet, 1));
            ASSERT_TRUE(headless::SelectPage(hSheet, 0));
            EXPECT_EQ(2, Shown(hPage));
            EXPECT_TRUE(CallsOf("IvroGetLedMatrix").empty());
        },
        true);
    // Looking writes nothing, not even with OK.
    EXPECT_EQ(0u, Writes());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(LedsTest, SwitchesOneLedAfterTheAutomaticLayerChange) {
    Run(
        [](HWND, HWND hPage) {
            Type(hPage, IDC_LED_NUMBER, L"5");
            Type(hPage, IDC_LED_LAYER, L"2");
            Click(hPage, IDC_LED_ON);
            EXPECT_EQ((std::vector<std::string>{"IvroSetLedState layer=1 led=5 state=3"}),
                      WritesSeen());
            EXPECT_EQ(3, Shown(hPage));

            TmSimClearCallLog();
            Click(hPage, IDC_LED_AUTO_LAYER);
            Click(hPage, IDC_LED_FAST);
            EXPECT_EQ((std::vector<std::string>{"IvroSetKeyLayer layer=1",
                                                "IvroSetLedState layer=1 led=5 state=2"}),
                      WritesSeen());
            EXPECT_EQ(2, Shown(hPage));
        },
        true);
    EXPECT_EQ("1", TmSimGetString("keys.layer"));
    EXPECT_EQ(0u, CallsOf("IvroSetLedMatrix").size());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(LedsTest, AllLedsIgnoreNumberAndLayer) {
    Run([](HWND, HWND hPage) {
        Click(hPage, IDC_LED_AUTO_LAYER);
        Type(hPage, IDC_LED_LAYER, L"3");
        // 9 is refused; the layer change then sends the last layer that passed.
        Type(hPage, IDC_LED_LAYER, L"9");
        Click(hPage, IDC_LED_ON);
        EXPECT_EQ(1u, headless::MessageBoxes().size());
        EXPECT_EQ(0u, Writes());
        Click(hPage, IDC_LED_ALL);
        for (int nId : {IDC_LED_NUMBER_LABEL, IDC_LED_NUMBER, IDC_LED_LAYER_LABEL, IDC_LED_LAYER,
                        IDC_LED_AUTO_LAYER})
            EXPECT_FALSE(ItemEnabled(hPage, nId)) << nId;
        // Even a bad number does not stop it; the disabled layer change still counts.
        SetWindowTextW(GetDlgItem(hPage, IDC_LED_NUMBER), L"200");
        TmSimClearCallLog();
        Click(hPage, IDC_LED_ON);
        EXPECT_EQ((std::vector<std::string>{"IvroSetKeyLayer layer=2", "IvroSetAllLeds state=3"}),
                  WritesSeen());
        EXPECT_TRUE(CallsOf("IvroGetLedState").empty());
        EXPECT_EQ(3, Shown(hPage));

        // Back to one LED: the fields come back with that LED's own state.
        SetWindowTextW(GetDlgItem(hPage, IDC_LED_NUMBER), L"7");
        SetWindowTextW(GetDlgItem(hPage, IDC_LED_LAYER), L"3");
        TmSimSet("leds.matrix.2", kZeros);
        Click(hPage, IDC_LED_ALL);
        EXPECT_TRUE(ItemEnabled(hPage, IDC_LED_LAYER));
        EXPECT_EQ(0, Shown(hPage));
    });
    ASSERT_EQ(1u, headless::MessageBoxes().size());
    EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.", headless::MessageBoxes()[0].text);
}

TEST_F(LedsTest, NumberOrLayerOutOfRangeSwitchesNothing) {
    Run(
        [](HWND hSheet, HWND hPage) {
            Type(hPage, IDC_LED_NUMBER, L"200");
            Click(hPage, IDC_LED_ON);
            auto boxes = headless::MessageBoxes();
            ASSERT_EQ(1u, boxes.size());
            EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 0 und 127 ein.", boxes[0].text);
            EXPECT_EQ(0u, Writes());
            // No LED 200, so no state either.
            EXPECT_EQ(-1, Shown(hPage));

            Type(hPage, IDC_LED_NUMBER, L"4");
            Type(hPage, IDC_LED_LAYER, L"5");
            Click(hPage, IDC_LED_SLOW);
            boxes = headless::MessageBoxes();
            ASSERT_EQ(2u, boxes.size());
            EXPECT_EQ(L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.", boxes[1].text);
            EXPECT_EQ(0u, Writes());

            // The page is not left either.
            EXPECT_FALSE(headless::SelectPage(hSheet, 1));
            EXPECT_EQ(0, headless::ActivePageIndex(hSheet));
            Type(hPage, IDC_LED_LAYER, L"1");
            EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        },
        true);
    EXPECT_EQ(0u, Writes());
}

TEST_F(LedsTest, FailedSwitchShowsWhatTheDeviceHas) {
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(3, Shown(hPage));
        TmSimInjectFault("IvroSetLedState", ERROR_BUSY, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_OFF);
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(0u, boxes[0].text.find(L"Die LED kann nicht geschaltet werden.\n"));
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[0].type);
        EXPECT_EQ(3, Shown(hPage));
        EXPECT_EQ("3", TmSimGetString("leds.matrix.0").substr(1, 1));

        // A layer change that fails stops before the LED.
        Click(hPage, IDC_LED_AUTO_LAYER);
        TmSimInjectFault("IvroSetKeyLayer", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_SLOW);
        boxes = headless::MessageBoxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(0u, boxes[1].text.find(L"Die Nummer der aktuellen Tastenebene kann nicht "
                                         L"gesetzt werden.\n"));
        EXPECT_EQ(3, Shown(hPage));
        EXPECT_TRUE(CallsOf("IvroSetLedState").size() == 1u);

        // All LEDs: there is no single state to show.
        TmSimClearFaults();
        Click(hPage, IDC_LED_AUTO_LAYER);
        Click(hPage, IDC_LED_ALL);
        TmSimInjectFault("IvroSetAllLeds", ERROR_GEN_FAILURE, 0, TMSIM_ANY_ITEM);
        Click(hPage, IDC_LED_FAST);
        boxes = headless::MessageBoxes();
        ASSERT_EQ(3u, boxes.size());
        EXPECT_EQ(0u, boxes[2].text.find(L"Die LEDs k\u00F6nnen nicht geschaltet werden.\n"));
        EXPECT_EQ(-1, Shown(hPage));
    });
}

TEST_F(LedsTest, CancelPutsBackAllFourLayersAsFirstFound) {
    std::string original[4];
    for (int i = 0; i < 4; ++i)
        original[i] = TmSimGetString(("leds.matrix." + std::to_string(i)).c_str());
    Run([](HWND hSheet, HWND hPage) {
        Click(hPage, IDC_LED_SLOW);  // LED 0, layer 1
        Type(hPage, IDC_LED_LAYER, L"3");
        Type(hPage, IDC_LED_NUMBER, L"9");
        Click(hPage, IDC_LED_ON);
        // Changes made after the first activation are not what Cancel restores.
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        Click(hPage, IDC_LED_FAST);
    });
    std::vector<std::string> restores = CallsOf("IvroSetLedMatrix");
    ASSERT_EQ(4u, restores.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0u, restores[i].find("IvroSetLedMatrix layer=" + std::to_string(i)));
        EXPECT_EQ(original[i], TmSimGetString(("leds.matrix." + std::to_string(i)).c_str()));
    }

    // A layer that could not be read at first is not written back.
    TmSimClearCallLog();
    TmSimInjectFault("IvroGetLedMatrix", ERROR_SEM_TIMEOUT, 0, 2);
    Run([](HWND, HWND) {});
    restores = CallsOf("IvroSetLedMatrix");
    ASSERT_EQ(3u, restores.size());
    for (const std::string& line : restores) EXPECT_EQ(std::string::npos, line.find("layer=2"));
}

}  // namespace
