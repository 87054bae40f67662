// The "Fabrikseinstellungen" page: factory data in hexadecimal.
#include "PageTestSheet.h"
#include "pages/PageFactoryDlg.h"
#include "res/resource.h"

namespace {

const int kValueFields[] = {IDC_FACTORY_VERSION,        IDC_FACTORY_DEVICE_ID,
                            IDC_FACTORY_COMPAT_ID,      IDC_FACTORY_DISPLAY_ID,
                            IDC_FACTORY_BRIGHTNESS_MIN, IDC_FACTORY_BRIGHTNESS_DEF,
                            IDC_FACTORY_BRIGHTNESS_MAX, IDC_FACTORY_CONTRAST_MIN,
                            IDC_FACTORY_CONTRAST_DEF,   IDC_FACTORY_CONTRAST_MAX};

class FactoryTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("factory.value.1", "0x12");
        TmSimSet("factory.value.2", "0x1A2B");
        TmSimSet("factory.value.3", "0x07");
        TmSimSet("factory.value.4", "0x0C");
        TmSimSet("factory.value.5", "0x05");
        TmSimSet("factory.value.6", "0x50");
        TmSimSet("factory.value.7", "0xFF");
        TmSimSet("factory.value.8", "0x00");
        TmSimSet("factory.value.9", "0x32");
        TmSimSet("factory.value.10", "0x64");
        TmSimSet("factory.value.14", "\"6TM4-1207-0042\"");
    }
    static void Run(const std::function<void(HWND, HWND)>& fn) {
        RunPageSheet<CPageFactoryDlg>(fn);
    }
    static bool MaterialEnabled(HWND hPage) {
        return ItemEnabled(hPage, IDC_FACTORY_MATERIAL) &&
               ItemEnabled(hPage, IDC_FACTORY_MATERIAL_LABEL);
    }
    static bool MaterialDisabled(HWND hPage) {
        return !ItemEnabled(hPage, IDC_FACTORY_MATERIAL) &&
               !ItemEnabled(hPage, IDC_FACTORY_MATERIAL_LABEL);
    }
};

TEST_F(FactoryTest, ShowsEveryItemInHexWithTheDeviceIdLittleEndian) {
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"12", ItemText(hPage, IDC_FACTORY_VERSION));
        // Bytes 2B then 1A.
        EXPECT_EQ(L"1A2B", ItemText(hPage, IDC_FACTORY_DEVICE_ID));
        EXPECT_EQ(L"07", ItemText(hPage, IDC_FACTORY_COMPAT_ID));
        EXPECT_EQ(L"0C", ItemText(hPage, IDC_FACTORY_DISPLAY_ID));
        EXPECT_EQ(L"05", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_MIN));
        EXPECT_EQ(L"50", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_DEF));
        EXPECT_EQ(L"FF", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_MAX));
        EXPECT_EQ(L"00", ItemText(hPage, IDC_FACTORY_CONTRAST_MIN));
        EXPECT_EQ(L"32", ItemText(hPage, IDC_FACTORY_CONTRAST_DEF));
        EXPECT_EQ(L"64", ItemText(hPage, IDC_FACTORY_CONTRAST_MAX));
        EXPECT_EQ(L"6TM4-1207-0042", ItemText(hPage, IDC_FACTORY_MATERIAL));
        EXPECT_TRUE(MaterialEnabled(hPage));
    });
    std::vector<std::string> reads = CallsOf("IvroGetFactoryValue");
    ASSERT_EQ(11u, reads.size());
    // The material number's 1024 bytes hold 512 characters on Windows.
    const std::string expected[] = {"item=1 size=1",
                                    "item=2 size=2",
                                    "item=3 size=1",
                                    "item=5 size=1",
                                    "item=4 size=1",
                                    "item=6 size=1",
                                    "item=7 size=1",
                                    "item=8 size=1",
                                    "item=9 size=1",
                                    "item=10 size=1",
                                    "item=14 size=" + std::to_string(512 * sizeof(WCHAR))};
    for (size_t i = 0; i < reads.size(); ++i)
        EXPECT_NE(std::string::npos, reads[i].find(expected[i])) << reads[i];
}

TEST_F(FactoryTest, MaterialNumberOnlyFromDataVersionSix) {
    TmSimSet("factory.value.1", "5");
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"05", ItemText(hPage, IDC_FACTORY_VERSION));
        EXPECT_EQ(L"", ItemText(hPage, IDC_FACTORY_MATERIAL));
        EXPECT_TRUE(MaterialDisabled(hPage));
    });
    for (const std::string& call : CallsOf("IvroGetFactoryValue"))
        EXPECT_EQ(std::string::npos, call.find("item=14")) << call;

    // A time-out while reading it shows the status word.
    TmSimSet("factory.value.1", "6");
    TmSimInjectFault("IvroGetFactoryValue", ERROR_SEM_TIMEOUT, 0, 14);
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"Timeout", ItemText(hPage, IDC_FACTORY_MATERIAL));
        EXPECT_TRUE(MaterialEnabled(hPage));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(FactoryTest, UnreadableItemsKeepTheirLastText) {
    TmSimInjectFault("IvroGetFactoryValue", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    Run([](HWND hSheet, HWND hPage) {
        for (int nId : kValueFields) EXPECT_EQ(L"?", ItemText(hPage, nId)) << nId;
        // The version counts as 0: no material number.
        EXPECT_EQ(L"", ItemText(hPage, IDC_FACTORY_MATERIAL));
        EXPECT_TRUE(MaterialDisabled(hPage));

        // Read again at every activation; a single failing item keeps its text.
        TmSimClearFaults();
        TmSimInjectFault("IvroGetFactoryValue", ERROR_BUSY, 0, 7);
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(L"12", ItemText(hPage, IDC_FACTORY_VERSION));
        EXPECT_EQ(L"?", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_MAX));
        TmSimClearFaults();
        TmSimSet("factory.value.7", "0x64");
        TmSimSet("factory.value.6", "0x51");
        TmSimInjectFault("IvroGetFactoryValue", ERROR_BUSY, 0, 6);
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        EXPECT_EQ(L"64", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_MAX));
        EXPECT_EQ(L"50", ItemText(hPage, IDC_FACTORY_BRIGHTNESS_DEF));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

}  // namespace
