// The "Ravla" page: both expansion slots with their buttons.
#include "PageTestSheet.h"
#include "simulator/SimTransferFile.h"
#include "transfer/PageRavlaDlg.h"

namespace {

const int kSlot1[] = {IDC_RAVLA1_FIRMWARE, IDC_RAVLA1_UPDATE, IDC_RAVLA1_SAVE};
const int kSlot2[] = {IDC_RAVLA2_FIRMWARE, IDC_RAVLA2_UPDATE, IDC_RAVLA2_SAVE};

class RavlaTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        fakeplat::AddDirectory(L"C:\\fw");
    }
    void Run(const std::function<void(HWND, HWND)>& fn) {
        RunPageSheet<CPageRavlaDlg>(fn, false, &m_opened);
    }
    static void Click(HWND hPage, int nId) { ASSERT_TRUE(headless::Click(GetDlgItem(hPage, nId))); }
    static size_t Messages1166() {
        size_t n = 0;
        for (const auto& box : headless::MessageBoxes())
            n += box.text.find(L"bis das System neu gestartet wird") != std::wstring::npos;
        return n;
    }
    // Runs the page with the file dialog answering strPath.
    void ClickWithFile(int nId, const std::wstring& strPath) {
        headless::ScopedFileDialogHandler files(
            [&](const headless::FileDialogRecord&) -> std::optional<std::wstring> {
                return strPath;
            });
        Run([&](HWND, HWND hPage) { Click(hPage, nId); });
    }
    std::vector<int> m_opened;
};

TEST_F(RavlaTest, ShowsBothModulesWithTheirButtons) {
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"RCAN-0200", ItemText(hPage, IDC_RAVLA1_MATERIAL));
        EXPECT_EQ(L"RDIO-0112", ItemText(hPage, IDC_RAVLA2_MATERIAL));
        for (int nId : kSlot1) EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
        for (int nId : kSlot2) EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
    });
    EXPECT_EQ(0u, CallsOf("IvroGetRavlaText")[0].find("IvroGetRavlaText item=2 "));
    EXPECT_TRUE(headless::MessageBoxes().empty());

    // A material number longer than its 50 bytes on Windows: 25 characters of it.
    TmSimSet("ravla.2", ("\"" + std::string(30, 'M') + "\"").c_str());
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(std::wstring(25, L'M'), ItemText(hPage, IDC_RAVLA1_MATERIAL));
    });
}

TEST_F(RavlaTest, AnEmptySlotGreysOnlyItsOwnButtons) {
    TmSimSet("parts.ravla2", "no");
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"RCAN-0200", ItemText(hPage, IDC_RAVLA1_MATERIAL));
        EXPECT_EQ(L"Nicht unterst\u00FCtzt.", ItemText(hPage, IDC_RAVLA2_MATERIAL));
        for (int nId : kSlot1) EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
        for (int nId : kSlot2) EXPECT_FALSE(ItemEnabled(hPage, nId)) << nId;
    });

    // Material number readable, firmware info not: only the download remains.
    TmSimSet("parts.ravla2", "yes");
    TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 1);
    Run([](HWND, HWND hPage) {
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA1_FIRMWARE));
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA1_SAVE));
        EXPECT_TRUE(ItemEnabled(hPage, IDC_RAVLA1_UPDATE));
        for (int nId : kSlot2) EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(RavlaTest, ThePolicyHoldsWhateverTheMaterialNumberReadGives) {
    m_pApp->m_bDisableFirmwareUpdate = TRUE;
    Run([](HWND, HWND hPage) {
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA1_UPDATE));
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA2_UPDATE));
        for (int nId : {IDC_RAVLA1_FIRMWARE, IDC_RAVLA1_SAVE, IDC_RAVLA2_FIRMWARE, IDC_RAVLA2_SAVE})
            EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
    });

    // A time-out or busy device leaves the other buttons, never the policy.
    TmSimInjectFault("IvroGetRavlaText", ERROR_SEM_TIMEOUT, 0, 2);
    TmSimInjectFault("IvroGetRavlaText", ERROR_BUSY, 0, 3);
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"Timeout", ItemText(hPage, IDC_RAVLA1_MATERIAL));
        EXPECT_EQ(L"Busy", ItemText(hPage, IDC_RAVLA2_MATERIAL));
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA1_UPDATE));
        EXPECT_FALSE(ItemEnabled(hPage, IDC_RAVLA2_UPDATE));
        EXPECT_TRUE(ItemEnabled(hPage, IDC_RAVLA1_SAVE));
    });

    // Without the policy the same failures leave "Update..." usable.
    m_pApp->m_bDisableFirmwareUpdate = FALSE;
    Run([](HWND, HWND hPage) {
        EXPECT_TRUE(ItemEnabled(hPage, IDC_RAVLA1_UPDATE));
        EXPECT_TRUE(ItemEnabled(hPage, IDC_RAVLA2_UPDATE));
    });
}

TEST_F(RavlaTest, FirmwareInfoOfTheSlot) {
    Run([](HWND, HWND hPage) {
        Click(hPage, IDC_RAVLA1_FIRMWARE);
        Click(hPage, IDC_RAVLA2_FIRMWARE);
    });
    EXPECT_EQ((std::vector<int>{IDD_FIRMWARE_INFO, IDD_FIRMWARE_INFO}), m_opened);
    // Each dialog asked for its own slot's boot status.
    std::vector<std::string> status = CallsOf("IvroGetFirmwareValue");
    ASSERT_EQ(2u, status.size());
    EXPECT_EQ(0u, status[0].find("IvroGetFirmwareValue item=13 "));
    EXPECT_EQ(0u, status[1].find("IvroGetFirmwareValue item=14 "));
    EXPECT_EQ(0u, Messages1166());
}

TEST_F(RavlaTest, SlotFirmwareDownloadAndBackupThroughTheTransferDialog) {
    // Backup of slot 1: the name from its extended info (Dev RCAN, Var 2).
    ClickWithFile(IDC_RAVLA1_SAVE, L"C:\\fw\\RCAN_2.pci");
    auto dialogs = headless::FileDialogs();
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(L"RCAN_2.pci", dialogs[0].initialFile);
    EXPECT_EQ(L"", dialogs[0].defExt);
    EXPECT_EQ("IvroUploadFile kind=9 path=\"C:\\fw\\RCAN_2.pci\" -> 1 error=0",
              CallsOf("IvroUploadFile").back());

    // Download into slot 2: the module's own filter entry comes first.
    fakeplat::AddFile(
        L"C:\\fw\\RDIO_1.pci",
        tmsim::BuildTransferFile(10, 4, 113, tmsim::SampleTransferData(10, 113, 512)));
    headless::ClearFileDialogs();
    ClickWithFile(IDC_RAVLA2_UPDATE, L"C:\\fw\\RDIO_1.pci");
    dialogs = headless::FileDialogs();
    ASSERT_EQ(1u, dialogs.size());
    EXPECT_FALSE(dialogs[0].save);
    ASSERT_LE(2u, dialogs[0].filter.size());
    EXPECT_EQ(L"RDIO FPGA Dateien (RDIO_*.pci)", dialogs[0].filter[0]);
    EXPECT_EQ(L"RDIO_*.pci", dialogs[0].filter[1]);
    EXPECT_EQ("IvroDownloadFile kind=10 path=\"C:\\fw\\RDIO_1.pci\" -> 1 error=0",
              CallsOf("IvroDownloadFile").back());
    EXPECT_TRUE(m_pApp->m_bRavlaSlot2Updated);
    EXPECT_FALSE(m_pApp->m_bRavlaSlot1Updated);
    EXPECT_EQ(std::vector<int>({IDD_TRANSFER, IDD_TRANSFER}), m_opened);

    // Slot 2 now warns first and proposes the default name; slot 1 does not.
    headless::ClearMessageBoxes();
    headless::ClearFileDialogs();
    m_opened.clear();
    Run([](HWND, HWND hPage) {
        Click(hPage, IDC_RAVLA2_FIRMWARE);
        Click(hPage, IDC_RAVLA2_SAVE);
        Click(hPage, IDC_RAVLA1_FIRMWARE);
        Click(hPage, IDC_RAVLA1_SAVE);
    });
    EXPECT_EQ(2u, Messages1166());
    EXPECT_EQ(std::vector<int>({IDD_FIRMWARE_INFO, IDD_FIRMWARE_INFO}), m_opened);
    dialogs = headless::FileDialogs();
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_EQ(L"ravla_0.pci", dialogs[0].initialFile);
    EXPECT_EQ(L"RCAN_2.pci", dialogs[1].initialFile);

    // Slot 2's module firmware refused by slot 1: the download runs, fails, sets no flag.
    ClickWithFile(IDC_RAVLA1_UPDATE, L"C:\\fw\\RDIO_1.pci");
    EXPECT_EQ(0u, CallsOf("IvroDownloadFile")
                      .back()
                      .find("IvroDownloadFile kind=9 path=\"C:\\fw\\RDIO_1.pci\" -> 0 error="));
    EXPECT_FALSE(m_pApp->m_bRavlaSlot1Updated);
}

}  // namespace
