// The "Versionen" page: version texts, the rows' buttons and what they open.
#include "PageTestSheet.h"
#include "simulator/SimTransferFile.h"
#include "transfer/PageVersionsDlg.h"

namespace {

class VersionsTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("version.21", "\"R1.07\"");
        TmSimSet("version.17", "\"K3\"");
    }
    void Run(const std::function<void(HWND)>& fn) {
        RunPageSheet<CPageVersionsDlg>([&](HWND, HWND hPage) { fn(hPage); }, false, &m_opened);
    }
    std::vector<int> m_opened;
};

TEST_F(VersionsTest, ShowsVersionsOrTheReasonTheyAreMissing) {
    Run([](HWND hPage) { EXPECT_EQ(L"K3", ItemText(hPage, IDC_VER_KVC)); });
    TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 16);
    Run([](HWND hPage) {
        EXPECT_EQ(L"R1.07", ItemText(hPage, IDC_VER_BIOS));
        EXPECT_EQ(L"Timeout", ItemText(hPage, IDC_VER_SMC));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(VersionsTest, RowsFollowPresencePoliciesAndReadableInfo) {
    // BIOS update and backup; FPGA firmware, update, backup; the same of FPGA1.
    const int kButtons[] = {IDC_VER_BIOS_UPDATE,  IDC_VER_BIOS_SAVE, IDC_VER_FPGA_FIRMWARE,
                            IDC_VER_FPGA_UPDATE,  IDC_VER_FPGA_SAVE, IDC_VER_FPGA1_FIRMWARE,
                            IDC_VER_FPGA1_UPDATE, IDC_VER_FPGA1_SAVE};
    const struct {
        const char* pszWhat;
        bool bPolicies;
        std::function<void()> setUp;
        const char* pszEnabled;  // kButtons in order
    } cases[] = {
        {"the default device has no FPGA1", false, [] {}, "11111000"},
        {"policies grey the downloads only", true, [] {}, "01101101"},
        // Status readable, info not: only the download; a status that fails
        // for another reason leaves the row alone.
        {"failed reads", false,
         [] {
             TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 0);
             TmSimInjectFault("IvroGetFirmwareValue", ERROR_BUSY, 0, 15);
         },
         "11010111"},
        {"the policy holds when the status read times out", true,
         [] { TmSimInjectFault("IvroGetFirmwareValue", ERROR_SEM_TIMEOUT, 0, 12); }, "01101101"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        TmSimClearFaults();
        TmSimSet("parts.fpga1", c.pszEnabled[5] == '0' ? "no" : "yes");
        TmSimSet("firmware.15", "5");
        TmSimSet("version.3", "\"FPGA1 1.00\"");
        m_pApp->m_bDisableBiosUpdate = m_pApp->m_bDisableFirmwareUpdate = c.bPolicies;
        c.setUp();
        Run([&](HWND hPage) {
            for (size_t i = 0; i < 8; ++i)
                EXPECT_EQ(c.pszEnabled[i] == '1', ItemEnabled(hPage, kButtons[i])) << i;
            EXPECT_TRUE(ItemEnabled(hPage, IDC_VER_INFO));
        });
    }
}

TEST_F(VersionsTest, EachButtonOpensItsDialogOrTransfersItsKind) {
    TmSimSet("parts.fpga1", "yes");
    TmSimSet("firmware.15", "5");
    TmSimSet("version.3", "\"FPGA1 1.00\"");
    fakeplat::AddFile(L"C:\\fw\\fpga.pci",
                      tmsim::BuildTransferFile(8, 4, 108, tmsim::SampleTransferData(8, 108, 256)));
    headless::ScopedFileDialogHandler files(
        [](const headless::FileDialogRecord& record) -> std::optional<std::wstring> {
            return std::wstring(record.save ? L"C:\\fw\\saved.bin" : L"C:\\fw\\fpga.pci");
        });
    // Only the FPGA file fits its row; after its download the FPGA row's
    // firmware info and backup say first that the device has the old data.
    Run([](HWND hPage) {
        for (int nId : {IDC_VER_BIOS_UPDATE, IDC_VER_BIOS_SAVE, IDC_VER_FPGA1_UPDATE,
                        IDC_VER_FPGA1_SAVE, IDC_VER_FPGA1_FIRMWARE, IDC_VER_FPGA_UPDATE,
                        IDC_VER_FPGA_FIRMWARE, IDC_VER_FPGA_SAVE, IDC_VER_INFO})
            headless::Click(GetDlgItem(hPage, nId));
    });
    const int kTransfer = IDD_TRANSFER;
    EXPECT_EQ((std::vector<int>{kTransfer, kTransfer, kTransfer, kTransfer, IDD_FIRMWARE_INFO,
                                kTransfer, IDD_FIRMWARE_INFO, kTransfer, IDD_ABOUT}),
              m_opened);
    std::vector<std::string> transfers;
    for (const std::string& line : TmSimCallLogLines())
        if (line.find("File kind=") != std::string::npos)
            transfers.push_back(line.substr(0, line.find(" path")));
    EXPECT_EQ((std::vector<std::string>{"IvroDownloadFile kind=7", "IvroUploadFile kind=7",
                                        "IvroDownloadFile kind=11", "IvroUploadFile kind=11",
                                        "IvroDownloadFile kind=8", "IvroUploadFile kind=8"}),
              transfers);
    EXPECT_TRUE(m_pApp->m_bFpgaUpdated);
    EXPECT_FALSE(m_pApp->m_bBiosUpdated || m_pApp->m_bFpga1Updated);
    size_t nWarnings = 0;  // the old firmware until the restart
    for (const auto& box : headless::MessageBoxes())
        nWarnings += box.text.find(L"bis das System neu gestartet wird") != std::wstring::npos;
    EXPECT_EQ(2u, nWarnings);
}

}  // namespace
