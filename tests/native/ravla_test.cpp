// The "Ravla" page: both expansion slots with their buttons.
#include "PageTestSheet.h"
#include "simulator/SimTransferFile.h"
#include "transfer/PageRavlaDlg.h"

namespace {

// Slot 1's, then slot 2's "Firmware...", "Update..." and "Sichern...".
const int kButtons[] = {IDC_RAVLA1_FIRMWARE, IDC_RAVLA1_UPDATE, IDC_RAVLA1_SAVE,
                        IDC_RAVLA2_FIRMWARE, IDC_RAVLA2_UPDATE, IDC_RAVLA2_SAVE};

class RavlaTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        fakeplat::AddDirectory(L"C:\\fw");
    }
    std::vector<int> m_opened;
};

TEST_F(RavlaTest, EachSlotShowsItsModuleAndGreysOnlyItsOwnButtons) {
    const struct {
        const char* pszWhat;
        std::function<void(CCplApp&)> setUp;
        std::wstring strMaterial1;
        std::wstring strMaterial2;
        const char* pszEnabled;  // kButtons in order
    } cases[] = {
        {"both modules", [](CCplApp&) {}, L"RCAN-0200", L"RDIO-0112", "111111"},
        {"slot 2 empty", [](CCplApp&) { TmSimSet("parts.ravla2", "no"); }, L"RCAN-0200",
         L"Nicht unterst\u00FCtzt.", "111000"},
        {"no firmware info in slot 1: only the download",
         [](CCplApp&) { TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 1); },
         L"RCAN-0200", L"RDIO-0112", "010111"},
        {"a material number longer than its 50 bytes: 25 characters",
         [](CCplApp&) { TmSimSet("ravla.2", ("\"" + std::string(30, 'M') + "\"").c_str()); },
         std::wstring(25, L'M'), L"RDIO-0112", "111111"},
        // A time-out or busy device leaves the other buttons, never the policy.
        {"the policy with failed reads",
         [](CCplApp& app) {
             app.m_bDisableFirmwareUpdate = TRUE;
             TmSimInjectFault("IvroGetRavlaText", ERROR_SEM_TIMEOUT, 0, 2);
             TmSimInjectFault("IvroGetRavlaText", ERROR_BUSY, 0, 3);
         },
         L"Timeout", L"Busy", "101101"},
        {"failed reads without the policy",
         [](CCplApp&) {
             TmSimInjectFault("IvroGetRavlaText", ERROR_SEM_TIMEOUT, 0, 2);
             TmSimInjectFault("IvroGetRavlaText", ERROR_BUSY, 0, 3);
         },
         L"Timeout", L"Busy", "111111"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        TmSimClearFaults();
        TmSimSet("parts.ravla2", "yes");
        TmSimSet("ravla.2", "\"RCAN-0200\"");
        c.setUp(LoadModule());
        RunPageSheet<CPageRavlaDlg>([&](HWND, HWND hPage) {
            EXPECT_EQ(c.strMaterial1, ItemText(hPage, IDC_RAVLA1_MATERIAL));
            EXPECT_EQ(c.strMaterial2, ItemText(hPage, IDC_RAVLA2_MATERIAL));
            for (size_t i = 0; i < 6; ++i)
                EXPECT_EQ(c.pszEnabled[i] == '1', ItemEnabled(hPage, kButtons[i])) << i;
        });
    }
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(RavlaTest, EachSlotTransfersItsOwnKindAndShowsItsOwnFirmware) {
    fakeplat::AddFile(
        L"C:\\fw\\RDIO_1.pci",
        tmsim::BuildTransferFile(10, 4, 113, tmsim::SampleTransferData(10, 113, 512)));
    headless::ScopedFileDialogHandler files(
        [](const headless::FileDialogRecord& record) -> std::optional<std::wstring> {
            return std::wstring(record.save ? L"C:\\fw\\backup.pci" : L"C:\\fw\\RDIO_1.pci");
        });
    // Slot 2's module firmware fits slot 2 only; after its download slot 2
    // says first that the module has the old firmware, slot 1 does not.
    RunPageSheet<CPageRavlaDlg>(
        [](HWND, HWND hPage) {
            for (int nId : {IDC_RAVLA1_SAVE, IDC_RAVLA2_UPDATE, IDC_RAVLA2_FIRMWARE,
                            IDC_RAVLA2_SAVE, IDC_RAVLA1_FIRMWARE, IDC_RAVLA1_UPDATE})
                headless::Click(GetDlgItem(hPage, nId));
        },
        false, &m_opened);
    EXPECT_EQ((std::vector<int>{IDD_TRANSFER, IDD_TRANSFER, IDD_FIRMWARE_INFO, IDD_TRANSFER,
                                IDD_FIRMWARE_INFO, IDD_TRANSFER}),
              m_opened);
    std::vector<std::string> transfers;
    for (const std::string& line : TmSimCallLogLines())
        if (line.find("File kind=") != std::string::npos)
            transfers.push_back(line.substr(0, line.find(" path")) +
                                line.substr(line.find(" ->"), 5));
    EXPECT_EQ(
        (std::vector<std::string>{"IvroUploadFile kind=9 -> 1", "IvroDownloadFile kind=10 -> 1",
                                  "IvroUploadFile kind=10 -> 1", "IvroDownloadFile kind=9 -> 0"}),
        transfers);
    EXPECT_TRUE(m_pApp->m_bRavlaSlot2Updated);
    EXPECT_FALSE(m_pApp->m_bRavlaSlot1Updated);
    // Each firmware dialog asked for its own slot's boot status.
    std::vector<std::string> status = CallsOf("IvroGetFirmwareValue");
    ASSERT_EQ(2u, status.size());
    EXPECT_EQ(0u, status[0].find("IvroGetFirmwareValue item=14 "));
    EXPECT_EQ(0u, status[1].find("IvroGetFirmwareValue item=13 "));
    size_t nWarnings = 0;  // the old firmware until the restart
    for (const auto& box : headless::MessageBoxes())
        nWarnings += box.text.find(L"bis das System neu gestartet wird") != std::wstring::npos;
    EXPECT_EQ(2u, nWarnings);
}

}  // namespace
