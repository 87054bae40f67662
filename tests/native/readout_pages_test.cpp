// The pages that only show what the device reads: "Schalter" and
// "Temperaturen" poll it, "Fabrikseinstellungen" reads it at each activation;
// and the refresh timer of every polling page.
#include <sstream>

#include "PageTestSheet.h"
#include "pages/PageDisplayDlg.h"
#include "pages/PageFactoryDlg.h"
#include "pages/PageKeysDlg.h"
#include "pages/PageSwitchesDlg.h"

namespace {

using RunFn = void (*)(const std::function<void(HWND, HWND)>&, bool, std::vector<int>*,
                       const std::function<void(HWND)>&);

class ReadoutPagesTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
    }
};

// Simulator settings "key=value", separated by blanks.
void Set(const std::string& strSettings) {
    std::istringstream in(strSettings);
    for (std::string strItem; in >> strItem;) {
        size_t at = strItem.find('=');
        ASSERT_TRUE(TmSimSet(strItem.substr(0, at).c_str(), strItem.substr(at + 1).c_str()));
    }
}

// The texts of the fields, joined by "|".
std::wstring Texts(HWND hPage, const std::vector<int>& ids) {
    std::wstring str;
    for (int nId : ids) str += (str.empty() ? L"" : L"|") + ItemText(hPage, nId);
    return str;
}

TEST_F(ReadoutPagesTest, FailedReadsShowQuestionMarksUntilTheFirstGoodOneThenTheLastGood) {
    const struct {
        RunFn pfnRun;
        const char* pszRead;
        bool bPolled;  // refreshed by its timer, else by the next activation
        std::vector<int> ids;
        const wchar_t* pszUnread;
        const char* pszFirst;
        const wchar_t* pszFirstShown;
        const char* pszSecond;
        const wchar_t* pszSecondShown;
    } cases[] = {
        {&RunPageSheet<CPageSwitchesDlg>,
         "IvroGetSwitch",
         true,
         {IDC_SWITCH_HIGH, IDC_SWITCH_LOW, IDC_SWITCH_MEANING},
         L"?|?|",
         "switches.mode_node=0x3A",
         L"3|A|",
         "switches.mode_node=0x00",
         L"0|0|Service Modus aktiv!"},
        // The byte 0xF6 is -10 degrees.
        {&RunPageSheet<CPageTemperaturesDlg>,
         "IvroGetTemperature",
         true,
         {IDC_TEMP_CPU, IDC_TEMP_BOARD},
         L"?|?",
         "temperature.cpu=47 temperature.io=31",
         L"47|31",
         "temperature.cpu=-10 temperature.io=-128",
         L"-10|-128"},
        // Hexadecimal; the two bytes of the device id little-endian.
        {&RunPageSheet<CPageFactoryDlg>,
         "IvroGetFactoryValue",
         false,
         {IDC_FACTORY_VERSION, IDC_FACTORY_DEVICE_ID, IDC_FACTORY_COMPAT_ID, IDC_FACTORY_DISPLAY_ID,
          IDC_FACTORY_BRIGHTNESS_MIN, IDC_FACTORY_BRIGHTNESS_DEF, IDC_FACTORY_BRIGHTNESS_MAX,
          IDC_FACTORY_CONTRAST_MIN, IDC_FACTORY_CONTRAST_DEF, IDC_FACTORY_CONTRAST_MAX},
         L"?|?|?|?|?|?|?|?|?|?",
         "factory.value.1=0x12 factory.value.2=0x1A2B factory.value.3=0x07 factory.value.4=0x0C "
         "factory.value.5=0x05 factory.value.6=0x50 factory.value.7=0xFF factory.value.8=0x00 "
         "factory.value.9=0x32 factory.value.10=0x64",
         L"12|1A2B|07|0C|05|50|FF|00|32|64",
         "factory.value.6=0x51 factory.value.7=0x64",
         L"12|1A2B|07|0C|05|51|64|00|32|64"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszRead);
        Set(c.pszFirst);
        TmSimInjectFault(c.pszRead, ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
        c.pfnRun(
            [&](HWND hSheet, HWND hPage) {
                auto refresh = [&] {
                    if (c.bPolled) {
                        EXPECT_TRUE(headless::FireTimer(hPage, 1));
                    } else {
                        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
                        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
                    }
                };
                EXPECT_EQ(c.pszUnread, Texts(hPage, c.ids));
                refresh();
                EXPECT_EQ(c.pszUnread, Texts(hPage, c.ids));
                TmSimClearFaults();
                refresh();
                EXPECT_EQ(c.pszFirstShown, Texts(hPage, c.ids));
                Set(c.pszSecond);
                TmSimInjectFault(c.pszRead, ERROR_BUSY, 0, TMSIM_ANY_ITEM);
                refresh();
                EXPECT_EQ(c.pszFirstShown, Texts(hPage, c.ids));
                TmSimClearFaults();
                refresh();
                EXPECT_EQ(c.pszSecondShown, Texts(hPage, c.ids));

                // Nothing is read while the page is hidden; coming back reads at once.
                ASSERT_TRUE(headless::SelectPage(hSheet, 1));
                EXPECT_FALSE(headless::HasTimer(hPage, 1));
                Set(c.pszFirst);
                ASSERT_TRUE(headless::SelectPage(hSheet, 0));
                EXPECT_EQ(c.pszFirstShown, Texts(hPage, c.ids));
            },
            false, nullptr, nullptr);
        EXPECT_TRUE(headless::MessageBoxes().empty());
    }
}

TEST_F(ReadoutPagesTest, FactoryMaterialNumberOnlyFromDataVersionSix) {
    TmSimSet("factory.value.14", "\"6TM4-1207-0042\"");
    const struct {
        const char* pszVersion;
        DWORD dwError;  // of the material number's read
        const wchar_t* pszText;
        bool bShown;
    } cases[] = {
        {"6", 0, L"6TM4-1207-0042", true},
        {"5", 0, L"", false},
        {"6", ERROR_SEM_TIMEOUT, L"Timeout", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszText);
        TmSimSet("factory.value.1", c.pszVersion);
        TmSimClearFaults();
        TmSimClearCallLog();
        if (c.dwError) TmSimInjectFault("IvroGetFactoryValue", c.dwError, 0, 14);
        RunPageSheet<CPageFactoryDlg>([&](HWND, HWND hPage) {
            EXPECT_EQ(c.pszText, ItemText(hPage, IDC_FACTORY_MATERIAL));
            EXPECT_EQ(c.bShown, ItemEnabled(hPage, IDC_FACTORY_MATERIAL));
            EXPECT_EQ(c.bShown, ItemEnabled(hPage, IDC_FACTORY_MATERIAL_LABEL));
        });
        // 1024 bytes, 512 characters on Windows.
        std::vector<std::string> reads = CallsOf("IvroGetFactoryValue item=14");
        EXPECT_EQ(c.bShown ? 1u : 0u, reads.size());
        for (const std::string& read : reads)
            EXPECT_NE(std::string::npos, read.find(" size=" + std::to_string(512 * sizeof(WCHAR))));
    }
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

// Each page activated while SetTimer fails reports it, then starts its
// timer at the next activation.
TEST_F(ReadoutPagesTest, EveryPollingPageReportsATimerThatCannotStart) {
    const struct {
        RunFn pfnRun;
        UINT nElapse;
    } pages[] = {
        {&RunPageSheet<CPageDisplayDlg>, 250},
        {&RunPageSheet<CPageKeysDlg>, 250},
        {&RunPageSheet<CPageSwitchesDlg>, 250},
        {&RunPageSheet<CPageTemperaturesDlg>, 1000},
    };
    for (const auto& page : pages) {
        headless::ClearMessageBoxes();
        page.pfnRun(
            [&](HWND hSheet, HWND hPage) {
                ASSERT_TRUE(headless::SelectPage(hSheet, 1));
                headless::ClearMessageBoxes();
                headless::FailSetTimer(true);
                ASSERT_TRUE(headless::SelectPage(hSheet, 0));
                headless::FailSetTimer(false);
                auto boxes = headless::MessageBoxes();
                ASSERT_EQ(1u, boxes.size());
                EXPECT_EQ(L"Ein Timer kann nicht gestartet werden.", boxes[0].text);
                EXPECT_TRUE(headless::Timers().empty());

                ASSERT_TRUE(headless::SelectPage(hSheet, 1));
                ASSERT_TRUE(headless::SelectPage(hSheet, 0));
                ASSERT_EQ(1u, headless::Timers().size());
                EXPECT_TRUE(headless::HasTimer(hPage, 1));
                EXPECT_EQ(page.nElapse, headless::Timers()[0].elapse);
                EXPECT_EQ(1u, headless::MessageBoxes().size());
            },
            false, nullptr, nullptr);
    }
}

}  // namespace
