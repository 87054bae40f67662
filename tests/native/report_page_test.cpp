// The report page's selection and the report view with its saving.
#include "ReportTestEnv.h"

namespace {

const int kBoxes[] = {1260, 1250, 1251, 1253, 1255, 1252, 1261,
                      1259, 1242, 1258, 1249, 1254, 1256, 1257};
const int kRavlaBox = 1256;
const wchar_t kFolder[] = L"C:\\Users\\user";
const wchar_t kSavePath[] = L"C:\\Users\\user\\PANEL01.txt";

class ReportPageTest : public reporttest::ReportTest {
protected:
    static std::vector<bool> Checks(HWND hPage) {
        std::vector<bool> checks;
        for (int id : kBoxes) checks.push_back(headless::IsChecked(GetDlgItem(hPage, id)));
        return checks;
    }
};

// The file's bytes as the UTF-16LE text they hold.
std::wstring Utf16File(const std::wstring& strPath) {
    auto bytes = fakeplat::FileContents(strPath);
    std::wstring text;
    if (!bytes) return L"<no file>";
    for (size_t i = 0; i + 1 < bytes->size(); i += 2)
        text += static_cast<wchar_t>((*bytes)[i] | ((*bytes)[i + 1] << 8));
    return text;
}

std::optional<std::vector<BYTE>> Bytes(const std::string& strText) {
    return std::vector<BYTE>(strText.begin(), strText.end());
}

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
        for (int id : {1257, 1256, 1249}) headless::Click(GetDlgItem(hPage, id));
        const std::wstring text = reporttest::ShowReport(hPage);
        const size_t nCpu = text.find(L"\r\n--- CPU ---\r\n");
        const size_t nRavla = text.find(L"\r\n--- Ravla Slot 1 ---\r\n");
        EXPECT_LT(nCpu, nRavla);
        EXPECT_LT(nRavla, text.find(L"\r\n--- User Boot Logo ---\r\n"));
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
        // Without a help file the view has no "?" button.
        const std::wstring text = reporttest::ShowReport(hPage, [](HWND hView) {
            EXPECT_FALSE(GetWindowLongPtrW(hView, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        });
        EXPECT_EQ(std::wstring::npos, text.find(L"--- Ravla Slot"));
    });
}

// The view saves what its box holds, as UTF-16LE without byte-order mark, in
// place of the chosen file only once the new one is complete: a failed save
// leaves the old file as it was and nothing else in the folder, says why and
// keeps the view open.
TEST_F(ReportPageTest, ViewSavesWhatTheBoxHoldsAndFailedSavesChangeNothing) {
    const std::wstring strPlanted = std::wstring(kSavePath) + L".tmp~";
    fakeplat::AddFile(strPlanted, std::string("someone else's file"));
    // A folder whose path leaves room for the file's name, not for another.
    const std::wstring strDeep = L"C:\\" + std::wstring(244, L'd');
    const std::wstring strLong = strDeep + L"\\report.txt";
    ASSERT_EQ(MAX_PATH - 2u, strLong.size());
    fakeplat::AddDirectory(strDeep);
    std::optional<std::wstring> answer;
    std::vector<headless::FileDialogRecord> dialogs;
    headless::ScopedFileDialogHandler files([&](const headless::FileDialogRecord& record) {
        dialogs.push_back(record);
        return answer;
    });
    m_pApp->m_bHelpAvailable = TRUE;
    reporttest::RunReportPage([&](HWND hPage) {
        headless::Click(GetDlgItem(hPage, 1263));
        reporttest::ShowReport(hPage, [&](HWND hView) {
            EXPECT_EQ(L"Bericht", headless::TextOf(hView));
            EXPECT_EQ(GetDlgItem(hView, IDOK), GetFocus());
            EXPECT_TRUE(GetWindowLongPtrW(hView, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
            HWND hEdit = GetDlgItem(hView, 1265);
            HWND hSave = GetDlgItem(hView, 1266);
            auto save = [&](const std::wstring& strPath) {
                answer = strPath;
                EXPECT_TRUE(headless::Click(hSave));
            };
            // Cancelled: nothing happens.
            EXPECT_TRUE(headless::Click(hSave));

            // What the box holds, edited too; characters beyond 16 bits as
            // surrogate pairs. The file is replaced whole, its attributes kept.
            fakeplat::AddFile(kSavePath, std::string("an older report"),
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
            EXPECT_TRUE(headless::Type(hEdit, L"*** Edited \u00E4\uFFFF\U0001F600 ***\r\n"));
            save(kSavePath);
            const std::wstring strSaved = L"*** Edited \u00E4\uFFFF\xD83D\xDE00 ***\r\n";
            EXPECT_EQ(strSaved, Utf16File(kSavePath));
            EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
                      GetFileAttributesW(kSavePath));
            EXPECT_EQ(Bytes("someone else's file"), fakeplat::FileContents(strPlanted));
            const std::vector<std::wstring> before = fakeplat::FilesIn(kFolder);
            EXPECT_EQ(2u, before.size());

            // The disk fills up halfway.
            fakeplat::AddFile(kSavePath, std::string("an older report"));
            fakeplat::FailWriteFile(kFolder, 10, ERROR_DISK_FULL);
            save(kSavePath);
            fakeplat::FailWriteFile(kFolder, 0, 0);
            EXPECT_EQ(Bytes("an older report"), fakeplat::FileContents(kSavePath));
            EXPECT_EQ(before, fakeplat::FilesIn(kFolder));

            // A folder that cannot take the file at all; one with no room
            // for a name of the save's own takes the file directly.
            save(L"C:\\missing\\report.txt");
            save(strLong);
            EXPECT_EQ(strSaved, Utf16File(strLong));
            EXPECT_EQ(std::vector<std::wstring>{L"report.txt"}, fakeplat::FilesIn(strDeep));
            EXPECT_FALSE(headless::IsModalEnded(hView));
        });
    });
    ASSERT_EQ(5u, dialogs.size());
    EXPECT_TRUE(dialogs[0].save);
    EXPECT_EQ(L"PANEL01.txt", dialogs[0].initialFile);
    EXPECT_EQ(L"txt", dialogs[0].defExt);
    EXPECT_TRUE(dialogs[0].flags & OFN_OVERWRITEPROMPT);
    const std::vector<std::wstring> filter = {L"Textdateien (*.txt)", L"*.txt",
                                              L"Alle Dateien (*.*)", L"*.*"};
    EXPECT_EQ(filter, dialogs[0].filter);
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ(L"Die Datei kann nicht geschrieben werden.\nThere is not enough space on the disk.",
              boxes[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), boxes[0].type);
    EXPECT_EQ(L"Die Datei kann nicht erzeugt werden.\nThe system cannot find the path specified.",
              boxes[1].text);
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

}  // namespace
