// The report page's selection and the report view with its saving.
#include "ReportTestEnv.h"
#include "applet/CplPropertySheet.h"

namespace {

const int kBoxes[] = {1260, 1250, 1251, 1253, 1255, 1252, 1261,
                      1259, 1242, 1258, 1249, 1254, 1256, 1257};
const int kRavlaBox = 1256;
const wchar_t kSavePath[] = L"C:\\Users\\user\\PANEL01.txt";

class ReportPageTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule().m_nDeviceType = 4;
        reporttest::SetUpKnownMachine();
    }

    static std::vector<bool> Checks(HWND hPage) {
        std::vector<bool> checks;
        for (int id : kBoxes) checks.push_back(headless::IsChecked(GetDlgItem(hPage, id)));
        return checks;
    }

    // The file's bytes as the UTF-16LE text they hold.
    static std::wstring Utf16File(const std::wstring& strPath) {
        auto bytes = fakeplat::FileContents(strPath);
        std::wstring text;
        if (!bytes) return L"<no file>";
        for (size_t i = 0; i + 1 < bytes->size(); i += 2)
            text += static_cast<wchar_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
        return text;
    }
};

TEST_F(ReportPageTest, MarletSelectsEverythingAndTheButtonsSetAndClearAll) {
    const std::vector<bool> all(14, true), none(14, false);
    reporttest::RunReportPage([&](HWND hPage) {
        EXPECT_EQ(all, Checks(hPage));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hPage, kRavlaBox)));
        EXPECT_TRUE(headless::Click(GetDlgItem(hPage, 1263)));
        EXPECT_EQ(none, Checks(hPage));
        EXPECT_TRUE(headless::Click(GetDlgItem(hPage, 1262)));
        EXPECT_EQ(all, Checks(hPage));

        // Boxes set in any order give the sections in the fixed order.
        headless::Click(GetDlgItem(hPage, 1263));
        headless::Click(GetDlgItem(hPage, 1257));
        headless::Click(GetDlgItem(hPage, 1256));
        headless::Click(GetDlgItem(hPage, 1249));
        std::wstring text = reporttest::ShowReport(hPage);
        size_t nCpu = text.find(L"\r\n--- CPU ---\r\n");
        size_t nRavla = text.find(L"\r\n--- Ravla Slot 1 ---\r\n");
        size_t nUser = text.find(L"\r\n--- User Boot Logo ---\r\n");
        EXPECT_LT(nCpu, nRavla);
        EXPECT_LT(nRavla, nUser);
        EXPECT_EQ(std::wstring::npos, text.find(L"--- Memory ---"));
        // The selection stays while the sheet is open.
        std::vector<bool> three(14, false);
        three[10] = three[12] = three[13] = true;
        EXPECT_EQ(three, Checks(hPage));
    });
    // A new sheet starts from the initial selection.
    reporttest::RunReportPage([&](HWND hPage) { EXPECT_EQ(all, Checks(hPage)); });
}

TEST_F(ReportPageTest, FerrowNeverSelectsTheRavlaSlots) {
    m_pApp->m_nDeviceType = 5;
    std::vector<bool> allButRavla(14, true);
    allButRavla[12] = false;
    reporttest::RunReportPage([&](HWND hPage) {
        EXPECT_EQ(allButRavla, Checks(hPage));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hPage, kRavlaBox)));
        headless::Click(GetDlgItem(hPage, 1262));
        EXPECT_EQ(allButRavla, Checks(hPage));
        EXPECT_EQ(std::wstring::npos, reporttest::ShowReport(hPage).find(L"--- Ravla Slot"));
    });
}

TEST_F(ReportPageTest, TheSheetAlwaysEndsWithTheReportPage) {
    for (DWORD nType : {4u, 5u, 9u}) {
        m_pApp->m_nDeviceType = nType;
        CCplPropertySheet sheet(L"Test", nullptr);
        headless::ScopedModalHandler handler([&](HWND hSheet) {
            auto titles = headless::SheetTabTitles(hSheet);
            ASSERT_FALSE(titles.empty());
            EXPECT_EQ(L"Bericht", titles.back()) << nType;
            headless::PressCancel(hSheet);
        });
        sheet.DoModal();
    }
}

TEST_F(ReportPageTest, ViewShowsTheReportAndSavesWhatTheBoxHolds) {
    std::vector<headless::FileDialogRecord> dialogs;
    headless::ScopedFileDialogHandler files([&](const headless::FileDialogRecord& record) {
        dialogs.push_back(record);
        return std::optional<std::wstring>(kSavePath);
    });
    reporttest::RunReportPage([&](HWND hPage) {
        headless::Click(GetDlgItem(hPage, 1263));
        std::wstring shown = reporttest::ShowReport(hPage, [&](HWND hView) {
            EXPECT_EQ(L"Bericht", headless::TextOf(hView));
            EXPECT_EQ(GetDlgItem(hView, IDOK), GetFocus());
            EXPECT_FALSE(GetWindowLongPtrW(hView, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
            HWND hEdit = GetDlgItem(hView, 1265);
            HWND hSave = GetDlgItem(hView, 1266);

            EXPECT_TRUE(headless::Click(hSave));
            std::wstring original = headless::TextOf(hEdit);
            auto bytes = fakeplat::FileContents(kSavePath);
            ASSERT_TRUE(bytes.has_value());
            EXPECT_EQ(original.size() * 2, bytes->size());
            EXPECT_EQ(0x2A, (*bytes)[0]);
            EXPECT_EQ(0x00, (*bytes)[1]);
            EXPECT_EQ(original, Utf16File(kSavePath));

            // An edit is saved too, and a second save replaces the file whole.
            const std::wstring edited = L"*** Edited \u00E4\u00B0 ***\r\nshort\r\n";
            EXPECT_TRUE(headless::Type(hEdit, edited));
            EXPECT_TRUE(headless::Click(hSave));
            EXPECT_EQ(edited.size() * 2, fakeplat::FileContents(kSavePath)->size());
            EXPECT_EQ(edited, Utf16File(kSavePath));
            EXPECT_FALSE(headless::IsModalEnded(hView));
        });
        EXPECT_EQ(0u, shown.find(L"*** Tolmek Control Center Report ***\r\n\r\nCreated by"));
    });
    ASSERT_EQ(2u, dialogs.size());
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(L"PANEL01.txt", dialogs[0].initialFile);
    EXPECT_EQ(L"txt", dialogs[0].defExt);
    EXPECT_TRUE(dialogs[0].flags & OFN_OVERWRITEPROMPT);
    const std::vector<std::wstring> filter = {L"Textdateien (*.txt)", L"*.txt",
                                              L"Alle Dateien (*.*)", L"*.*"};
    EXPECT_EQ(filter, dialogs[0].filter);
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

std::optional<std::vector<BYTE>> Bytes(const std::string& strText) {
    return std::vector<BYTE>(strText.begin(), strText.end());
}

TEST_F(ReportPageTest, FailedSavesSayWhyKeepTheViewOpenAndLeaveNoCutFile) {
    fakeplat::FailComputerName(ERROR_ACCESS_DENIED);
    std::optional<std::wstring> answer;
    std::vector<headless::FileDialogRecord> dialogs;
    headless::ScopedFileDialogHandler files([&](const headless::FileDialogRecord& record) {
        dialogs.push_back(record);
        return answer;
    });
    reporttest::RunReportPage([&](HWND hPage) {
        reporttest::ShowReport(hPage, [&](HWND hView) {
            HWND hSave = GetDlgItem(hView, 1266);
            // Cancelled: nothing happens.
            headless::Click(hSave);
            EXPECT_TRUE(headless::MessageBoxes().empty());

            // The file to replace is held open elsewhere: it stays as it was.
            answer = kSavePath;
            fakeplat::AddFile(kSavePath, std::string("an older report"));
            HANDLE hOther = CreateFileW(kSavePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, hOther);
            headless::Click(hSave);
            CloseHandle(hOther);
            EXPECT_EQ(Bytes("an older report"), fakeplat::FileContents(kSavePath));

            // The disk fills up halfway: neither a cut report nor a lost one,
            // and nothing else left in the folder.
            const std::vector<std::wstring> before = fakeplat::FilesIn(L"C:\\Users\\user");
            fakeplat::FailWriteFile(L"C:\\Users\\user", 100, ERROR_DISK_FULL);
            headless::Click(hSave);
            fakeplat::FailWriteFile(L"C:\\Users\\user", 0, 0);
            EXPECT_EQ(Bytes("an older report"), fakeplat::FileContents(kSavePath));
            EXPECT_EQ(before, fakeplat::FilesIn(L"C:\\Users\\user"));
            EXPECT_FALSE(headless::IsModalEnded(hView));

            // A folder that cannot take the file at all.
            answer = L"C:\\missing\\report.txt";
            headless::Click(hSave);
        });
    });
    ASSERT_EQ(4u, dialogs.size());
    EXPECT_EQ(L"", dialogs[0].initialFile);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(
        L"Die Datei kann nicht erzeugt werden.\n"
        L"The process cannot access the file because it is being used by another process.",
        boxes[0].text);
    EXPECT_EQ(L"Die Datei kann nicht geschrieben werden.\nThere is not enough space on the disk.",
              boxes[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[1].type);
    EXPECT_EQ(0u, boxes[2].text.find(L"Die Datei kann nicht erzeugt werden.\n"));
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

// Saving touches no file but the chosen one, keeps the attributes of the
// file it replaces and saves where a name of its own would be too long.
TEST_F(ReportPageTest, SavingTouchesOnlyTheChosenFile) {
    const std::wstring strFolder = L"C:\\Users\\user";
    const std::wstring strPlanted = std::wstring(kSavePath) + L".tmp~";
    fakeplat::AddFile(strPlanted, std::string("someone else's file"));
    fakeplat::AddFile(kSavePath, std::string("an older report"),
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    const std::vector<std::wstring> before = fakeplat::FilesIn(strFolder);
    // A folder whose path leaves room for the file's name, not for another.
    const std::wstring strDeep = L"C:\\" + std::wstring(244, L'd');
    const std::wstring strLong = strDeep + L"\\report.txt";
    ASSERT_EQ(MAX_PATH - 2u, strLong.size());
    fakeplat::AddDirectory(strDeep);
    std::wstring answer = kSavePath;
    headless::ScopedFileDialogHandler files(
        [&](const headless::FileDialogRecord&) { return std::optional<std::wstring>(answer); });
    reporttest::RunReportPage([&](HWND hPage) {
        headless::Click(GetDlgItem(hPage, 1263));
        reporttest::ShowReport(hPage, [&](HWND hView) {
            const std::wstring shown = headless::TextOf(GetDlgItem(hView, 1265));
            headless::Click(GetDlgItem(hView, 1266));
            EXPECT_EQ(shown.size() * 2, fakeplat::FileContents(kSavePath)->size());
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
                      GetFileAttributesW(kSavePath));
            EXPECT_EQ(Bytes("someone else's file"), fakeplat::FileContents(strPlanted));
            EXPECT_EQ(before, fakeplat::FilesIn(strFolder));

            answer = strLong;
            headless::Click(GetDlgItem(hView, 1266));
            auto bytes = fakeplat::FileContents(strLong);
            ASSERT_TRUE(bytes.has_value());
            EXPECT_EQ(shown.size() * 2, bytes->size());
            EXPECT_EQ(std::vector<std::wstring>{L"report.txt"}, fakeplat::FilesIn(strDeep));
        });
    });
    EXPECT_TRUE(headless::MessageBoxes().empty());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

TEST_F(ReportPageTest, ViewHasContextHelpOnlyWithAHelpFile) {
    m_pApp->m_bHelpAvailable = TRUE;
    reporttest::RunReportPage([&](HWND hPage) {
        headless::Click(GetDlgItem(hPage, 1263));
        reporttest::ShowReport(hPage, [](HWND hView) {
            EXPECT_TRUE(GetWindowLongPtrW(hView, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        });
    });
}

}  // namespace
