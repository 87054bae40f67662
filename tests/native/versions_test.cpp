// The "Versionen" page: version texts, the rows' buttons and what they open.
#include <chrono>
#include <thread>

#include "AppletTestEnv.h"
#include "simulator/SimTransferFile.h"
#include "res/resource.h"
#include "transfer/PageVersionsDlg.h"

namespace {

class CVersionsSheet : public CPropertySheet {
public:
    CVersionsSheet() : CPropertySheet(L"Test") { AddPage(&m_page); }
    CPageVersionsDlg m_page;
};

class VersionsTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("version.21", "\"R1.07\"");
        TmSimSet("version.16", "\"S2\"");
        TmSimSet("version.17", "\"K3\"");
    }

    // Opens the page, runs fn on it and cancels the sheet; dialogs that the
    // page opens are recorded in m_opened and closed with OK, a transfer
    // dialog once it has finished.
    void WithPage(const std::function<void(HWND)>& fn) {
        CVersionsSheet sheet;
        headless::ScopedModalHandler handler([&](HWND hWnd) {
            if (!headless::ModalRuns().back().sheet) {
                m_opened.push_back(headless::TemplateIdOf(hWnd));
                if (m_opened.back() == IDD_TRANSFER) WaitForTransfer(hWnd);
                headless::PressOk(hWnd);
                return;
            }
            fn(headless::ActivePage(hWnd));
            headless::PressCancel(hWnd);
        });
        sheet.DoModal();
    }

    static bool Enabled(HWND hPage, int nId) {
        return IsWindowEnabled(GetDlgItem(hPage, nId)) != FALSE;
    }
    static std::wstring Text(HWND hPage, int nId) {
        return headless::TextOf(GetDlgItem(hPage, nId));
    }

    // Ticks the transfer dialog until its button offers to close it.
    static void WaitForTransfer(HWND hDlg) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        HWND hButton = GetDlgItem(hDlg, IDC_TRANSFER_BUTTON);
        while (headless::TextOf(hButton) != L"Schlie\u00DFen" && !headless::IsModalEnded(hDlg) &&
               std::chrono::steady_clock::now() < deadline) {
            headless::FireTimer(hDlg, 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    // "Update..." of the FPGA row with the file the Open dialog answers
    // (empty: the user cancels it).
    void UpdateFpga(const std::wstring& strPath) {
        headless::ScopedFileDialogHandler files(
            [&](const headless::FileDialogRecord&) -> std::optional<std::wstring> {
                if (strPath.empty()) return std::nullopt;
                return strPath;
            });
        WithPage([](HWND hPage) { headless::Click(GetDlgItem(hPage, IDC_VER_FPGA_UPDATE)); });
    }

    static size_t Messages1166() {
        size_t n = 0;
        for (const auto& box : headless::MessageBoxes())
            n += box.text.find(L"bis das System neu gestartet wird") != std::wstring::npos;
        return n;
    }

    std::vector<int> m_opened;
};

TEST_F(VersionsTest, ShowsVersionsOrTheReasonTheyAreMissing) {
    WithPage([](HWND hPage) {
        EXPECT_EQ(L"R1.07", Text(hPage, IDC_VER_BIOS));
        EXPECT_EQ(L"S2", Text(hPage, IDC_VER_SMC));
        EXPECT_EQ(L"K3", Text(hPage, IDC_VER_KVC));
    });
    TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 16);
    TmSimInjectFault("IvroGetVersionText", ERROR_NOT_SUPPORTED, 0, 17);
    WithPage([](HWND hPage) {
        EXPECT_EQ(L"R1.07", Text(hPage, IDC_VER_BIOS));
        EXPECT_EQ(L"Timeout", Text(hPage, IDC_VER_SMC));
        EXPECT_EQ(L"(keine)", Text(hPage, IDC_VER_KVC));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(VersionsTest, RowsFollowPresencePoliciesAndReadableInfo) {
    // Default device: FPGA present, FPGA1 absent (last error 50).
    WithPage([](HWND hPage) {
        for (int nId : {IDC_VER_BIOS_UPDATE, IDC_VER_BIOS_SAVE, IDC_VER_FPGA_FIRMWARE,
                        IDC_VER_FPGA_UPDATE, IDC_VER_FPGA_SAVE, IDC_VER_INFO})
            EXPECT_TRUE(Enabled(hPage, nId)) << nId;
        for (int nId : {IDC_VER_FPGA1_FIRMWARE, IDC_VER_FPGA1_UPDATE, IDC_VER_FPGA1_SAVE})
            EXPECT_FALSE(Enabled(hPage, nId)) << nId;
    });

    // Policies grey the downloads only.
    m_pApp->m_bDisableBiosUpdate = TRUE;
    m_pApp->m_bDisableFirmwareUpdate = TRUE;
    TmSimSet("parts.fpga1", "yes");
    TmSimSet("firmware.15", "5");
    TmSimSet("version.3", "\"FPGA1 1.00\"");
    WithPage([](HWND hPage) {
        EXPECT_FALSE(Enabled(hPage, IDC_VER_BIOS_UPDATE));
        EXPECT_TRUE(Enabled(hPage, IDC_VER_BIOS_SAVE));
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA_UPDATE));
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA1_UPDATE));
        EXPECT_TRUE(Enabled(hPage, IDC_VER_FPGA1_SAVE));
    });

    // Status readable, info not: only the download stays usable. A status
    // that fails for another reason leaves the row alone.
    m_pApp->m_bDisableFirmwareUpdate = FALSE;
    TmSimInjectFault("IvroGetVersionText", ERROR_SEM_TIMEOUT, 0, 0);
    TmSimInjectFault("IvroGetFirmwareValue", ERROR_BUSY, 0, 15);
    WithPage([](HWND hPage) {
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA_FIRMWARE));
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA_SAVE));
        EXPECT_TRUE(Enabled(hPage, IDC_VER_FPGA_UPDATE));
        for (int nId : {IDC_VER_FPGA1_FIRMWARE, IDC_VER_FPGA1_UPDATE, IDC_VER_FPGA1_SAVE})
            EXPECT_TRUE(Enabled(hPage, nId)) << nId;
    });

    // The download policy holds also when the status read times out.
    m_pApp->m_bDisableFirmwareUpdate = TRUE;
    TmSimInjectFault("IvroGetFirmwareValue", ERROR_SEM_TIMEOUT, 0, 12);
    WithPage([](HWND hPage) {
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA_UPDATE));
        EXPECT_FALSE(Enabled(hPage, IDC_VER_FPGA1_UPDATE));
        EXPECT_TRUE(Enabled(hPage, IDC_VER_FPGA_SAVE));
    });
}

TEST_F(VersionsTest, FirmwareInfoAndAboutOpenFromTheirButtons) {
    WithPage([](HWND hPage) {
        headless::Click(GetDlgItem(hPage, IDC_VER_FPGA_FIRMWARE));
        headless::Click(GetDlgItem(hPage, IDC_VER_INFO));
    });
    EXPECT_EQ((std::vector<int>{IDD_FIRMWARE_INFO, IDD_ABOUT}), m_opened);
    EXPECT_TRUE(headless::MessageBoxes().empty());

    // After a download the device still describes the old firmware: say so first.
    m_pApp->m_bFpgaUpdated = TRUE;
    WithPage([](HWND hPage) { headless::Click(GetDlgItem(hPage, IDC_VER_FPGA_FIRMWARE)); });
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);
    EXPECT_NE(std::wstring::npos, boxes[0].text.find(L"bis das System neu gestartet wird"));
    EXPECT_EQ(IDD_FIRMWARE_INFO, m_opened.back());
}

TEST_F(VersionsTest, OnlyASuccessfulDownloadMakesFirmwareInfoWarnFirst) {
    // A file of the wrong kind is refused: no flag, no warning later.
    fakeplat::AddFile(L"C:\\fw\\bios.rom",
                      tmsim::BuildTransferFile(7, 4, 100, tmsim::SampleTransferData(7, 100, 256)));
    UpdateFpga(L"C:\\fw\\bios.rom");
    EXPECT_FALSE(m_pApp->m_bFpgaUpdated);
    headless::ClearMessageBoxes();
    WithPage([](HWND hPage) { headless::Click(GetDlgItem(hPage, IDC_VER_FPGA_FIRMWARE)); });
    EXPECT_EQ(0u, Messages1166());

    // A cancelled Open dialog starts nothing.
    UpdateFpga(L"");
    EXPECT_FALSE(m_pApp->m_bFpgaUpdated);

    fakeplat::AddFile(L"C:\\fw\\fpga.pci",
                      tmsim::BuildTransferFile(8, 4, 108, tmsim::SampleTransferData(8, 108, 256)));
    UpdateFpga(L"C:\\fw\\fpga.pci");
    EXPECT_TRUE(m_pApp->m_bFpgaUpdated);
    EXPECT_FALSE(m_pApp->m_bFpga1Updated);
    headless::ClearMessageBoxes();
    m_opened.clear();
    WithPage([](HWND hPage) { headless::Click(GetDlgItem(hPage, IDC_VER_FPGA_FIRMWARE)); });
    EXPECT_EQ(1u, Messages1166());
    EXPECT_EQ(std::vector<int>{IDD_FIRMWARE_INFO}, m_opened);
}

}  // namespace
