// The applet's sheet: which pages it carries, in which order, and that
// looking at them changes nothing on the device.
#include <algorithm>
#include <functional>
#include <iterator>

#include "AppletTestEnv.h"
#include "applet/CplPropertySheet.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {

typedef std::vector<std::wstring> Tabs;

class SheetTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        m_pApp->m_nDeviceType = 4;
    }

    // Opens the sheet, runs fn on it and closes it with OK or Cancel.
    static void Run(const std::function<void(HWND)>& fn, bool bOk = false) {
        headless::ScopedModalHandler handler([&](HWND hSheet) {
            fn(hSheet);
            if (bOk)
                headless::PressOk(hSheet);
            else
                headless::PressCancel(hSheet);
        });
        CCplPropertySheet sheet(L"Test", nullptr);
        sheet.DoModal();
    }
    // What reached the device.
    static std::vector<std::string> Writes() {
        std::vector<std::string> writes;
        for (const std::string& line : TmSimCallLogLines()) {
            std::string op = line.substr(0, line.find(' '));
            bool bWrite = op.compare(0, 7, "IvroSet") == 0 || op == "IvroDownloadFile" ||
                          op == "IvroUploadFile";
            if (bWrite) writes.push_back(line.substr(0, line.find(" data=")));
        }
        return writes;
    }
};

// The tabs follow the device; the example profiles named in the README give
// the sheets they promise.
TEST_F(SheetTest, PagesFollowTheDevice) {
    const Tabs all = {L"Display",
                      L"Tasten",
                      L"LEDs",
                      L"Schalter",
                      L"Ravla",
                      L"Temperaturen",
                      L"Anwendereinstellungen",
                      L"Fabrikseinstellungen",
                      L"Versionen",
                      L"Bericht"};
    auto without = [&](const Tabs& gone) {
        Tabs tabs;
        for (const std::wstring& tab : all)
            if (std::find(gone.begin(), gone.end(), tab) == gone.end()) tabs.push_back(tab);
        return tabs;
    };
    auto profile = [this](const char* pszName) {
        return [this, pszName] {
            std::string strPath = std::string(TM_SOURCE_DIR) + "/tests/data/" + pszName;
            ASSERT_TRUE(TmSimLoadProfileFile(std::wstring(strPath.begin(), strPath.end()).c_str()))
                << TmSimLastProfileError();
            DWORD nType = 0;
            ASSERT_TRUE(IvroGetDeviceType(&nType));
            m_pApp->m_nDeviceType = nType;
        };
    };
    // A count that cannot be read means none of them, silently.
    const std::pair<std::function<void()>, Tabs> cases[] = {
        {[] {}, all},
        {[] { TmSimInjectFault("IvroGetLedCount", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM); },
         without({L"LEDs"})},
        {[] { TmSimInjectFault("IvroGetKeyCount", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM); },
         without({L"Tasten"})},
        {[this] { m_pApp->m_nDeviceType = 3; }, all},
        {profile("ferrow.profile"), without({L"Ravla"})},
        {profile("no-keys-no-leds.profile"), without({L"Tasten", L"LEDs"})},
        {profile("empty-slot.profile"), all},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        TearDown();
        SetUp();
        cases[i].first();
        Tabs tabs;
        Run([&](HWND hSheet) { tabs = headless::SheetTabTitles(hSheet); });
        EXPECT_EQ(cases[i].second, tabs) << "case " << i;
        EXPECT_TRUE(headless::MessageBoxes().empty());
    }
}

TEST_F(SheetTest, LookingAtEveryPageWritesNothing) {
    TmSimSet("user.led", "3");
    auto visitAll = [](HWND hSheet) {
        int nPages = static_cast<int>(headless::SheetTabTitles(hSheet).size());
        for (int nRound = 0; nRound < 2; ++nRound)
            for (int i = 0; i < nPages; ++i) EXPECT_TRUE(headless::SelectPage(hSheet, i)) << i;
    };
    Run(visitAll, true);
    EXPECT_EQ(std::vector<std::string>{}, Writes());

    // Cancel puts back what the pages promise: brightness and contrast, the
    // first key layer, the LED layers and the user LED.
    TmSimClearCallLog();
    Run(visitAll);
    EXPECT_EQ(
        (std::vector<std::string>{
            "IvroSetBrightness value=" + TmSimGetString("display.brightness") + " -> 1 error=0",
            "IvroSetContrast value=" + TmSimGetString("display.contrast") + " -> 1 error=0",
            "IvroSetKeyLayer layer=0 -> 1 error=0", "IvroSetLedMatrix layer=0 size=32",
            "IvroSetLedMatrix layer=1 size=32", "IvroSetLedMatrix layer=2 size=32",
            "IvroSetLedMatrix layer=3 size=32", "IvroSetUserLed state=3 -> 1 error=0"}),
        Writes());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

// A layer the LEDs page's automatic layer change set goes back on Cancel
// too, whether or not the Keys page was seen, and only once.
TEST_F(SheetTest, CancelPutsBackTheFirstKeyLayerWhicheverPageChangedIt) {
    auto visit = [](HWND hSheet, const wchar_t* pszTitle) {
        Tabs tabs = headless::SheetTabTitles(hSheet);
        auto it = std::find(tabs.begin(), tabs.end(), pszTitle);
        EXPECT_TRUE(headless::SelectPage(hSheet, static_cast<int>(it - tabs.begin())));
        return headless::ActivePage(hSheet);
    };
    auto layerByLeds = [&](HWND hSheet) {
        HWND hPage = visit(hSheet, L"LEDs");
        headless::Click(GetDlgItem(hPage, IDC_LED_AUTO_LAYER));
        headless::Type(GetDlgItem(hPage, IDC_LED_LAYER), L"4");
        headless::Click(GetDlgItem(hPage, IDC_LED_ON));
        EXPECT_EQ("3", TmSimGetString("keys.layer"));
    };
    auto viaKeys = [&](HWND hSheet) {
        visit(hSheet, L"Tasten");
        layerByLeds(hSheet);
        // Seen again after the change: still the first layer counts.
        headless::FireTimer(visit(hSheet, L"Tasten"), 1);
    };
    for (int nRun = 0; nRun < 2; ++nRun) {
        TmSimSet("keys.layer", "1");
        TmSimClearCallLog();
        Run(nRun == 1 ? std::function<void(HWND)>(viaKeys) : layerByLeds);
        EXPECT_EQ("1", TmSimGetString("keys.layer")) << nRun;
        std::vector<std::string> calls = CallsOf("IvroSetKeyLayer");
        EXPECT_EQ(1, std::count(calls.begin(), calls.end(), "IvroSetKeyLayer layer=1 -> 1 error=0"))
            << nRun;
    }
}

}  // namespace
