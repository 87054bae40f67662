// Transfer kinds and files: the start sequence of the "Update..." and
// "Sichern..." buttons, file filters, proposed backup names and the info
// attribute reader (with a fuzzing loop).
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <random>

#include "PageTestSheet.h"
#include "simulator/SimTransferFile.h"
#include "transfer/TransferKinds.h"

namespace {

const wchar_t kFile[] = L"C:\\fw\\new.pci";

class TransferKindsTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
        fakeplat::SetTickCount(0);
    }

    static std::wstring String(UINT nId) {
        CString text;
        text.LoadString(nId);
        return text.GetString();
    }
    static std::wstring Name(DWORD nKind) { return GetProposedBackupName(nKind).GetString(); }
    static std::wstring Filter(BOOL bDownload, DWORD nKind) {
        return GetTransferFilter(bDownload, nKind).GetString();
    }
    // Message 1166: the device still reports the old data.
    static size_t Messages1166() { return headless::MessageBoxes().size(); }

    // Runs the start sequence: the file dialog answers strPath (empty:
    // cancel), the transfer dialog is waited for and closed by its button.
    INT_PTR Start(BOOL bDownload, DWORD nKind, const std::wstring& strPath,
                  headless::FileDialogRecord* pRecord = nullptr) {
        headless::ScopedFileDialogHandler files(
            [&](const headless::FileDialogRecord& record) -> std::optional<std::wstring> {
                if (pRecord) *pRecord = record;
                if (strPath.empty()) return std::nullopt;
                return strPath;
            });
        headless::ScopedModalHandler transfer([](HWND hDlg) {
            WaitForTransfer(hDlg);
            if (!headless::IsModalEnded(hDlg))
                headless::Click(GetDlgItem(hDlg, IDC_TRANSFER_BUTTON));
        });
        return StartTransfer(bDownload, nKind);
    }
};

std::vector<BYTE> File(DWORD nKind, DWORD nVersion) {
    return tmsim::BuildTransferFile(nKind, 4, nVersion,
                                    tmsim::SampleTransferData(nKind, nVersion, 512));
}

TEST_F(TransferKindsTest, FileDialogsOfDownloadsAndBackupsAndTheUpdatedFlags) {
    fakeplat::AddFile(kFile, File(8, 108));
    headless::FileDialogRecord record;
    EXPECT_EQ(IDOK, Start(TRUE, 8, kFile, &record));
    EXPECT_FALSE(record.save);
    EXPECT_EQ(static_cast<DWORD>(OFN_FILEMUSTEXIST), record.flags);
    EXPECT_EQ(L"", record.defExt + record.initialFile);
    EXPECT_EQ(L"MRL FPGA Dateien (MRL_*.pci)", record.filter.at(0));
    EXPECT_TRUE(m_pApp->m_bFpgaUpdated);

    // The backup now warns first and proposes the default without asking
    // the device, which still reports the old firmware. A cancelled file
    // dialog starts nothing.
    TmSimClearCallLog();
    EXPECT_EQ(IDCANCEL, Start(FALSE, 8, L"", &record));
    ASSERT_EQ(1u, Messages1166());
    EXPECT_EQ(String(IDS_DATA_UPDATED_BEFORE), headless::MessageBoxes()[0].text);
    EXPECT_TRUE(record.save);
    EXPECT_EQ(L"fpga_1.pci", record.initialFile);
    EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT), record.flags);
    EXPECT_TRUE(CallsOf("IvroGetVersionText").empty());
    EXPECT_EQ(1u, headless::ModalRuns().size());

    // The key configuration has its extension and no flag.
    fakeplat::AddFile(L"C:\\fw\\keys.kcf", File(0, 211));
    EXPECT_EQ(IDOK, Start(TRUE, 0, L"C:\\fw\\keys.kcf", &record));
    EXPECT_EQ(L"kcf", record.defExt);
    EXPECT_EQ(L"Tastenkonfigurationsdateien (*.kcf)", record.filter.at(0));
    EXPECT_EQ(nullptr, GetUpdatedFlag(*m_pApp, 0));
}

TEST_F(TransferKindsTest, FiltersPutTheDeviceEntryFirstForFirmwareDownloads) {
    TmSimSet("parts.fpga1", "yes");
    TmSimSet("ravla.23", "\"STN\"");
    EXPECT_EQ(
        L"STN FPGA Dateien (STN_*.fp)|STN_*.fp|FPGA Dateien (*.fp;*.stn)|*.fp; *.stn|"
        L"Alle Dateien (*.*)|*.*||",
        Filter(TRUE, 11));
    EXPECT_EQ(0u, Filter(TRUE, 9).find(L"RCAN FPGA Dateien (RCAN_*.pci)|RCAN_*.pci|"));
    EXPECT_EQ(0u, Filter(TRUE, 10).find(L"RDIO FPGA Dateien (RDIO_*.pci)|RDIO_*.pci|"));
    // Uploads, an empty ID, an ID with a bar (it would split its entry) and a
    // failed read: the resource filter alone.
    const std::wstring strPci = L"PCI Modul FPGA Dateien (*.pci)|*.pci|Alle Dateien (*.*)|*.*||";
    EXPECT_EQ(strPci, Filter(FALSE, 8));
    TmSimSet("ravla.22", "\"\"");
    EXPECT_EQ(strPci, Filter(TRUE, 8));
    TmSimSet("ravla.22", "\"A|B\"");
    EXPECT_EQ(strPci, Filter(TRUE, 8));
    TmSimInjectFault("IvroGetRavlaText", 121, 0, 4);
    EXPECT_EQ(strPci, Filter(TRUE, 9));
    EXPECT_EQ(0u, Filter(TRUE, 7).find(L"ROM Dateien (*.rom)|"));
    EXPECT_EQ(0u, Filter(TRUE, 12).find(L"ROM Dateien (*.rom)|"));
    EXPECT_EQ(L"", Filter(TRUE, 3));
}

TEST_F(TransferKindsTest, ComposedFirmwareNamesFromTheExtendedInfo) {
    EXPECT_EQ(L"MRLF07.pci", Name(8));
    const struct {
        const char* pszInfo;
        DWORD nKind;
        const wchar_t* pszName;
    } cases[] = {
        {R"("Dev=\"ABCDEFG\" Fct=\"A\" Var=\"01\" Use=\"pci\"")", 8, L"ABCDEA01.pci"},
        {R"("dev=\"xy\" fct=\"-\" var=\"9\" use=\"bin\"")", 8, L"xy-9.bin"},
        {R"("Dev=\"M\" Fct=\"_\" Use=\"pci\"")", 8, L"M_1.pci"},
        {R"("Dev=\"M\" Fct=\"_\" Use=\"pci\"")", 9, L"M_0.pci"},
        {R"("Dev=\"M\" Fct=\"\" Var=\"2\" Use=\"pci\"")", 8, L"M2.pci"},
        {R"("Dev =\"M\" Fct=\"_\" Var=\"2\" Use=\"pci\"")", 8, L"fpga_2.pci"},
        {R"("Dev=M Var=\"3\"")", 10, L"ravla_3.pci"},
        {R"("Dev=\"AB")", 8, L"AB_1.pci"},
        // The key's first place is inside "Device", not followed by =": the default.
        {R"("Device=\"a\" Dev=\"b\"")", 8, L"fpga_1.pci"},
        {R"("no attributes")", 11, L"fpga1_1.fp"},
    };
    TmSimSet("parts.fpga1", "yes");
    for (const auto& c : cases) {
        // The extended info of kinds 8 to 11 is version item 4 to 7.
        const std::string strKey = "version." + std::to_string(c.nKind - 4);
        ASSERT_TRUE(TmSimSet(strKey.c_str(), c.pszInfo)) << TmSimLastProfileError();
        EXPECT_EQ(c.pszName, Name(c.nKind)) << c.pszInfo;
    }
    // Nothing to read: the defaults.
    TmSimInjectFault("IvroGetVersionText", 50, 0, TMSIM_ANY_ITEM);
    EXPECT_EQ(L"fpga_1.pci", Name(8));
    EXPECT_EQ(L"fpga1_1.fp", Name(11));
    EXPECT_EQ(L"ravla_0.pci", Name(10));
    EXPECT_TRUE(headless::MessageBoxes().empty());
    // Read with a 1024-byte buffer as the library counts bytes.
    auto reads = CallsOf("IvroGetVersionText");
    ASSERT_FALSE(reads.empty());
    EXPECT_NE(std::string::npos, reads[0].find("size=" + std::to_string(512 * sizeof(WCHAR))));
}

TEST_F(TransferKindsTest, KeyConfigurationBiosAndBootLogoNames) {
    EXPECT_EQ(L"MRL15T-A.kcf", Name(0));
    EXPECT_EQ(L"TMLOGO.rom", Name(12));
    EXPECT_EQ(L"zelbo.rom", Name(7));
    TmSimSet("user.logo_text.0", "\"LOGO\"");
    EXPECT_EQ(L"LOGO.rom", Name(12));
    TmSimSet("user.logo_text.0", "\"\"");
    EXPECT_EQ(L".rom", Name(12));
    TmSimSet("user.logo_text.0", "\"A.B.C\"");
    EXPECT_EQ(L"A.rom", Name(12));
    // Device texts name no drive, folder or wildcard.
    TmSimSet("user.logo_text.0", "\"C:\\\\LOGO.BMP\"");
    EXPECT_EQ(L"C__LOGO.rom", Name(12));
    TmSimSet("factory.text.14", "\"../M*?\\u0007\"");
    EXPECT_EQ(L".._M___.kcf", Name(0));
    TmSimSet("factory.text.14", "\"MRL15T-A\"");
    TmSimInjectFault("IvroGetFactoryText", 121, 0, 14);
    TmSimInjectFault("IvroGetUserLogoText", 50, 0, TMSIM_ANY_ITEM);
    EXPECT_EQ(L"saved.kcf", Name(0));
    EXPECT_EQ(L"userlogo.rom", Name(12));
    EXPECT_TRUE(headless::MessageBoxes().empty());

    // After downloads: message 1166 first; the key configuration has none.
    TmSimClearFaults();
    TmSimClearCallLog();
    m_pApp->m_bBiosUpdated = TRUE;
    m_pApp->m_bUserLogoUpdated = TRUE;
    EXPECT_EQ(L"zelbo.rom", Name(7));
    EXPECT_EQ(1u, Messages1166());
    EXPECT_EQ(L"userlogo.rom", Name(12));
    EXPECT_EQ(2u, Messages1166());
    EXPECT_TRUE(CallsOf("IvroGetUserLogoText").empty());
    EXPECT_EQ(L"MRL15T-A.kcf", Name(0));
    EXPECT_EQ(2u, Messages1166());
}

// Random texts, keys and lengths: no access outside the text or
// the field (AddressSanitizer watches), and the result keeps its promises.
TEST(GetInfoAttributeFuzz, RandomInputsStayInBoundsAndKeepTheirPromises) {
    std::mt19937 random(20240506);
    const wchar_t kAlphabet[] = L"DdEeVvFfCcTtUuSs=\"\" =x\u00E4\u00C4\0";
    const wchar_t* const kKeys[] = {L"Dev", L"Fct", L"Var", L"Use", L"", L"=\"", L"DEVICE"};
    const wchar_t kGuard = L'#';
    for (int nRun = 0; nRun < 50000; ++nRun) {
        std::vector<wchar_t> text(random() % 24);
        for (wchar_t& ch : text) ch = kAlphabet[random() % (_countof(kAlphabet) - 1)];
        const wchar_t* pszKey = kKeys[random() % _countof(kKeys)];
        int nMax = static_cast<int>(random() % 7);
        std::vector<wchar_t> field(static_cast<size_t>(nMax) + 4, kGuard);
        const int nLength = static_cast<int>(text.size());

        int nResult = GetInfoAttribute(text.data(), nLength, pszKey, field.data(), nMax);

        const int nKey = static_cast<int>(std::wcslen(pszKey));
        bool bChanged = field[0] != kGuard;
        ASSERT_EQ(kGuard, field[static_cast<size_t>(nMax) + 1]);
        if (bChanged) {
            size_t nCopied = std::find(field.begin(), field.end(), L'\0') - field.begin();
            ASSERT_LE(nCopied, static_cast<size_t>(nMax));
        }
        ASSERT_GE(nResult, -1);
        if (nResult >= 0) {
            ASSERT_TRUE(bChanged);
            ASSERT_LE(nResult + nKey + 3, nLength);
            ASSERT_EQ(L'=', text[static_cast<size_t>(nResult + nKey)]);
            ASSERT_EQ(L'"', text[static_cast<size_t>(nResult + nKey + 1)]);
            ASSERT_NE(L'\0', field[0]);
        }
    }
}

}  // namespace
