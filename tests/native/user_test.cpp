// The "Anwendereinstellungen" page: boot logo, user LED and serial ID.
#include "PageTestSheet.h"
#include "simulator/SimTransferFile.h"
#include "transfer/PageUserDlg.h"

namespace {

class UserTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        TmSimSet("user.logo_text.0", "\"TMLOGO.BMP 640x480\"");
        TmSimSet("user.logo_value.1", "0x101");
        TmSimSet("user.serial_id", "6699");
        TmSimSet("user.led", "0");
        TmSimClearCallLog();
    }
    void Run(const std::function<void(HWND, HWND)>& fn, bool bOk = false) {
        RunPageSheet<CPageUserDlg>(fn, bOk, &m_opened);
    }
    static bool LedChecked(HWND hPage) {
        return headless::IsChecked(GetDlgItem(hPage, IDC_USER_LED));
    }
    static void Click(HWND hPage, int nId) { ASSERT_TRUE(headless::Click(GetDlgItem(hPage, nId))); }
    static std::vector<std::string> LedWrites() {
        std::vector<std::string> writes;
        for (const std::string& line : CallsOf("IvroSetUserLed"))
            writes.push_back(line.substr(0, line.find(" ->")));
        return writes;
    }
    std::vector<int> m_opened;
};

TEST_F(UserTest, ShowsLogoResolutionSerialIdAndLed) {
    TmSimSet("user.led", "3");
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"TMLOGO.BMP 640x480", ItemText(hPage, IDC_USER_LOGO_INFO));
        EXPECT_EQ(L"640x480 (VGA)", ItemText(hPage, IDC_USER_LOGO_RESOLUTION));
        EXPECT_EQ(L"00001A2B", ItemText(hPage, IDC_USER_SERIAL_ID));
        EXPECT_TRUE(LedChecked(hPage));
        for (int nId : {IDC_USER_LOGO_UPDATE, IDC_USER_LOGO_SAVE, IDC_USER_LED})
            EXPECT_TRUE(ItemEnabled(hPage, nId)) << nId;
    });
    const std::pair<const char*, const wchar_t*> modes[] = {{"0x121", L"320x240 (QVGA)"},
                                                            {"0x117", L"0117h (unbekannt)"}};
    // A logo info longer than its 512 bytes on Windows: 256 characters of it.
    TmSimSet("user.logo_text.0", ("\"" + std::string(300, 'L') + "\"").c_str());
    for (const auto& mode : modes) {
        TmSimSet("user.logo_value.1", mode.first);
        Run([&](HWND, HWND hPage) {
            EXPECT_EQ(mode.second, ItemText(hPage, IDC_USER_LOGO_RESOLUTION));
            EXPECT_EQ(std::wstring(256, L'L'), ItemText(hPage, IDC_USER_LOGO_INFO));
        });
    }
    // Each look ends with Cancel, which puts back the LED as it was found.
    EXPECT_EQ(std::vector<std::string>(3, "IvroSetUserLed state=3"), LedWrites());

    // Unreadable items show their reason.
    TmSimInjectFault("IvroGetUserLogoText", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    TmSimInjectFault("IvroGetUserSerialId", ERROR_NOT_SUPPORTED, 0, TMSIM_ANY_ITEM);
    Run([](HWND, HWND hPage) {
        EXPECT_EQ(L"Timeout", ItemText(hPage, IDC_USER_LOGO_INFO));
        EXPECT_EQ(L"(keine)", ItemText(hPage, IDC_USER_SERIAL_ID));
        // Without logo info nothing to save; a download is still possible.
        EXPECT_FALSE(ItemEnabled(hPage, IDC_USER_LOGO_SAVE));
        EXPECT_TRUE(ItemEnabled(hPage, IDC_USER_LOGO_UPDATE));
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(UserTest, UserLedFollowsTheBoxAndCancelPutsItBack) {
    Run([](HWND, HWND hPage) {
        EXPECT_FALSE(LedChecked(hPage));
        Click(hPage, IDC_USER_LED);
        Click(hPage, IDC_USER_LED);
        Click(hPage, IDC_USER_LED);
    });
    EXPECT_EQ((std::vector<std::string>{"IvroSetUserLed state=3", "IvroSetUserLed state=0",
                                        "IvroSetUserLed state=3", "IvroSetUserLed state=0"}),
              LedWrites());

    // OK keeps the last state.
    Run([](HWND, HWND hPage) { Click(hPage, IDC_USER_LED); }, true);
    EXPECT_EQ("3", TmSimGetString("user.led"));

    // A refused switch is reported, and the box shows what the device reports:
    // neither the user's wish nor the page's last state.
    TmSimInjectFault("IvroSetUserLed", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    Run([](HWND, HWND hPage) {
        EXPECT_TRUE(LedChecked(hPage));
        Click(hPage, IDC_USER_LED);
        EXPECT_TRUE(LedChecked(hPage));
        TmSimSet("user.led", "0");  // switched off elsewhere
        Click(hPage, IDC_USER_LED);
        EXPECT_FALSE(LedChecked(hPage));
    });
    ASSERT_EQ(2u, headless::MessageBoxes().size());
    EXPECT_EQ(0u, headless::MessageBoxes()[0].text.find(L"Die User LED kann nicht gesetzt"));

    // Without a user LED the box is grey and Cancel leaves the LED.
    TmSimClearFaults();
    TmSimClearCallLog();
    TmSimSet("user.led", "0");
    TmSimSet("parts.user_led", "no");
    Run([](HWND, HWND hPage) { EXPECT_FALSE(ItemEnabled(hPage, IDC_USER_LED)); });
    EXPECT_TRUE(LedWrites().empty());

    // A time-out at the first look: what Cancel restores is the first state read.
    TmSimSet("parts.user_led", "yes");
    ASSERT_TRUE(TmSimSet("faults.IvroGetUserLed", "121 times 1"));
    Run([](HWND hSheet, HWND hPage) {
        EXPECT_TRUE(ItemEnabled(hPage, IDC_USER_LED));
        ASSERT_TRUE(headless::SelectPage(hSheet, 1));
        ASSERT_TRUE(headless::SelectPage(hSheet, 0));
        Click(hPage, IDC_USER_LED);
        EXPECT_EQ("3", TmSimGetString("user.led"));
    });
    EXPECT_EQ("0", TmSimGetString("user.led"));
}

TEST_F(UserTest, BootLogoDownloadAndBackupGoThroughTheTransferDialog) {
    // The policy greys the download only.
    m_pApp->m_bDisableUserlogoUpdate = TRUE;
    Run([](HWND, HWND hPage) {
        EXPECT_FALSE(ItemEnabled(hPage, IDC_USER_LOGO_UPDATE));
        EXPECT_TRUE(ItemEnabled(hPage, IDC_USER_LOGO_SAVE));
    });
    m_pApp->m_bDisableUserlogoUpdate = FALSE;

    fakeplat::AddFile(L"C:\\logo\\new.rom",
                      tmsim::BuildTransferFile(12, 4, 2, tmsim::SampleTransferData(12, 2, 512)));
    headless::ScopedFileDialogHandler files(
        [](const headless::FileDialogRecord& record) -> std::optional<std::wstring> {
            return std::wstring(record.save ? L"C:\\logo\\TMLOGO.rom" : L"C:\\logo\\new.rom");
        });
    // A backup, a new logo, and a backup that says first that the device
    // still has the old logo.
    Run([](HWND, HWND hPage) {
        for (int nId : {IDC_USER_LOGO_SAVE, IDC_USER_LOGO_UPDATE, IDC_USER_LOGO_SAVE})
            Click(hPage, nId);
    });
    EXPECT_EQ(std::vector<int>(3, IDD_TRANSFER), m_opened);
    EXPECT_EQ(2u, CallsOf("IvroUploadFile").size());
    EXPECT_EQ("IvroDownloadFile kind=12 path=\"C:\\logo\\new.rom\" -> 1 error=0",
              CallsOf("IvroDownloadFile").at(0));
    EXPECT_TRUE(m_pApp->m_bUserLogoUpdated);
    EXPECT_EQ(1u, headless::MessageBoxes().size());  // the old logo until the restart
}

}  // namespace
