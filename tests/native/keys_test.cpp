// The "Tasten" page and the key matrix dialog against the simulated device,
// in the applet's sheet.
#include <cstdlib>

#include "PageTestSheet.h"
#include "pages/KeyMatrixDlg.h"
#include "pages/PageKeysDlg.h"
#include "res/resource.h"
#include "simulator/SimProfile.h"
#include "simulator/SimTransferFile.h"

namespace {

const wchar_t kRangePrompt[] = L"Geben Sie eine ganze Zahl zwischen 1 und 4 ein.";
const wchar_t kZeroRow[] = L"0 0 0 0 0 0 0 0\n";

class KeysTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        TmSimSet("keys.layer", "1");  // shown as 2
        LoadModule();
    }

    // Runs fn on the page in a sheet closed with OK or Cancel. Dialogs the
    // page opens go to m_onDialog (default: OK); their templates to m_opened.
    void Run(const std::function<void(HWND hSheet)>& fn, bool bOk = false) {
        RunPageSheet<CPageKeysDlg>(
            [&](HWND hSheet, HWND hPage) {
                m_hPage = hPage;
                fn(hSheet);
            },
            bOk, &m_opened, m_onDialog);
    }

    // The numbers after strArg in the calls of one operation, in call order.
    static std::vector<int> Values(const std::string& strOperation, const std::string& strArg) {
        std::vector<int> values;
        for (const std::string& line : CallsOf(strOperation)) {
            size_t at = line.find(strArg);
            if (at != std::string::npos)
                values.push_back(std::atoi(line.c_str() + at + strArg.size()));
        }
        return values;
    }
    static std::vector<int> LayersSet() { return Values("IvroSetKeyLayer", "layer="); }
    static std::vector<int> CodesSet() { return Values("IvroSetKeyCodesEnabled", "enable="); }

    HWND Item(int nId) const { return GetDlgItem(m_hPage, nId); }
    std::wstring Text(int nId) const { return headless::TextOf(Item(nId)); }
    bool Enabled(int nId) const { return IsWindowEnabled(Item(nId)) != FALSE; }
    void Tick() const { headless::FireTimer(m_hPage, 1); }

    // What the page's dialog procedure answers to the colour request of a
    // control (0 leaves the colours to the dialog manager), and its text colour.
    LRESULT ColoursByPage(int nId, COLORREF* pText = nullptr) const {
        auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(m_hPage, DWLP_DLGPROC));
        HDC hDC = GetDC(Item(nId));
        INT_PTR nResult = proc(m_hPage, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hDC),
                               reinterpret_cast<LPARAM>(Item(nId)));
        if (pText) *pText = GetTextColor(hDC);
        ReleaseDC(Item(nId), hDC);
        return nResult;
    }
    HWND m_hPage = nullptr;
    std::vector<int> m_opened;
    std::function<void(HWND)> m_onDialog;
};

TEST_F(KeysTest, LayerIsSetAtOnceCheckedForRangeAndCancelPutsTheFirstBack) {
    Run([&](HWND hSheet) {
        EXPECT_EQ(L"2", Text(IDC_KEY_LAYER));
        EXPECT_EQ(L"2", Text(IDC_KEY_LAYER_CURRENT));
        // 3 typed is device layer 2, shown on the next tick.
        headless::Type(Item(IDC_KEY_LAYER), L"3");
        headless::Click(Item(IDC_KEY_APPLY));
        EXPECT_EQ("2", TmSimGetString("keys.layer"));
        Tick();
        EXPECT_EQ(L"3", Text(IDC_KEY_LAYER_CURRENT));

        // 5: the range prompt, nothing set, the page is not left.
        headless::Type(Item(IDC_KEY_LAYER), L"5");
        headless::Click(Item(IDC_KEY_APPLY));
        EXPECT_FALSE(headless::SelectPage(hSheet, 1));
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(2u, boxes.size());
        EXPECT_EQ(kRangePrompt, boxes[1].text);
        EXPECT_EQ(std::vector<int>{2}, LayersSet());
        headless::Type(Item(IDC_KEY_LAYER), L"4");

        // The layer changed elsewhere: the timer shows it, the input stays.
        TmSimSet("keys.layer", "0");
        Tick();
        EXPECT_EQ(L"1", Text(IDC_KEY_LAYER_CURRENT));
        EXPECT_EQ(L"4", Text(IDC_KEY_LAYER));
    });
    // Cancel sets the layer of the first activation: 2 shown, device 1.
    EXPECT_EQ("1", TmSimGetString("keys.layer"));
}

TEST_F(KeysTest, LayerReadFailureLocksTheInputUntilTheDeviceAnswers) {
    TmSimSet("faults.IvroGetKeyLayer", "121");
    Run([&](HWND hSheet) {
        EXPECT_FALSE(Enabled(IDC_KEY_LAYER));
        EXPECT_FALSE(Enabled(IDC_KEY_APPLY));
        Tick();
        EXPECT_EQ(L"0", Text(IDC_KEY_LAYER_CURRENT));
        TmSimClearFaults();
        Tick();
        EXPECT_EQ(L"2", Text(IDC_KEY_LAYER_CURRENT));
        EXPECT_TRUE(Enabled(IDC_KEY_LAYER));
        EXPECT_TRUE(Enabled(IDC_KEY_APPLY));
        headless::Type(Item(IDC_KEY_LAYER), L"3");
        headless::Click(Item(IDC_KEY_APPLY));

        // 5 typed, then the device stops answering: the field the user
        // cannot edit any more does not keep the page from being left.
        headless::Type(Item(IDC_KEY_LAYER), L"5");
        TmSimSet("faults.IvroGetKeyLayer", "121");
        Tick();
        EXPECT_FALSE(Enabled(IDC_KEY_LAYER));
        EXPECT_TRUE(headless::SelectPage(hSheet, 1));
        EXPECT_TRUE(headless::MessageBoxes().empty());
        TmSimClearFaults();
    });
    // Cancel puts back the first layer read, the timer's: 2 shown, device 1.
    EXPECT_EQ((std::vector<int>{2, 1}), LayersSet());
}

TEST_F(KeysTest, StatusAndButtonsFollowTheConfigurationAndThePolicies) {
    TmSimSet("keys.config_valid", "0");
    TmSimSet("keys.codes_enabled", "0");
    m_pApp->m_bDisableKeyLock = TRUE;
    Run([&](HWND) {
        // Only the status field, red, gets its colours from the page; the
        // dialog manager draws the rest on a themed page.
        EXPECT_EQ(L"Ung\u00FCltig", Text(IDC_KEY_STATUS));
        COLORREF nText = 0;
        EXPECT_NE(0, ColoursByPage(IDC_KEY_STATUS, &nText));
        EXPECT_EQ(RGB(255, 0, 0), nText);
        EXPECT_EQ(0, ColoursByPage(IDC_KEY_LOCK));
        EXPECT_FALSE(Enabled(IDC_KEY_INFO));
        EXPECT_FALSE(Enabled(IDC_KEY_SAVE));
        EXPECT_TRUE(Enabled(IDC_KEY_UPDATE));
        // The lock box shows the device but cannot be changed.
        EXPECT_TRUE(headless::IsChecked(Item(IDC_KEY_LOCK)));
        EXPECT_FALSE(Enabled(IDC_KEY_LOCK));

        // A download elsewhere makes it valid: the next tick shows it.
        TmSimSet("keys.config_valid", "1");
        Tick();
        EXPECT_EQ(L"G\u00FCltig", Text(IDC_KEY_STATUS));
        EXPECT_EQ(0, ColoursByPage(IDC_KEY_STATUS));
        EXPECT_TRUE(Enabled(IDC_KEY_INFO));
        EXPECT_TRUE(Enabled(IDC_KEY_SAVE));

        // A failed read: the status word in red, the buttons as last known.
        TmSimSet("faults.IvroGetKeyConfigValid", "170");
        Tick();
        EXPECT_NE(0, ColoursByPage(IDC_KEY_STATUS));
        EXPECT_TRUE(Enabled(IDC_KEY_INFO));
    });
    // Showing the lock as found is no click: delivery stays as it was.
    EXPECT_TRUE(CodesSet().empty());

    m_pApp->m_bDisableKeyLock = FALSE;
    m_pApp->m_bDisableKcfUpdate = TRUE;
    Run([&](HWND) {
        EXPECT_FALSE(Enabled(IDC_KEY_UPDATE));
        EXPECT_TRUE(Enabled(IDC_KEY_LOCK));
    });
}

TEST_F(KeysTest, LockBoxSwitchesKeyCodesBothWaysAndShowsWhatTheDeviceDoes) {
    Run([&](HWND) {
        HWND hBox = Item(IDC_KEY_LOCK);
        headless::Click(hBox);
        EXPECT_EQ("0", TmSimGetString("keys.codes_enabled"));
        headless::Click(hBox);
        EXPECT_EQ("1", TmSimGetString("keys.codes_enabled"));
        EXPECT_TRUE(headless::MessageBoxes().empty());

        // Refused: the box shows the device, not the click; when the device
        // cannot tell either, the box stays as it was.
        TmSimSet("faults.IvroSetKeyCodesEnabled", "121");
        headless::Click(hBox);
        EXPECT_FALSE(headless::IsChecked(hBox));
        TmSimClearFaults();
        headless::Click(hBox);
        TmSimSet("faults.IvroSetKeyCodesEnabled", "121");
        TmSimSet("faults.IvroGetKeyCodesEnabled", "121");
        headless::Click(hBox);
        EXPECT_TRUE(headless::IsChecked(hBox));
        TmSimClearFaults();
    });
    // The lock is not put back by Cancel.
    EXPECT_EQ((std::vector<int>{0, 1, 0, 0, 1}), CodesSet());
}

TEST_F(KeysTest, InfoBoxShowsTheThreeTexts) {
    TmSimSet("keys.config_info.2", "\"\"");
    Run([&](HWND) { headless::Click(Item(IDC_KEY_INFO)); });
    auto boxes = headless::MessageBoxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Version: KCF 2.10\nErzeugt am: 2023-05-17\nAnwenderinfo: (keine)", boxes[0].text);
    EXPECT_EQ(L"Tastenkonfiguration Info", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONINFORMATION), boxes[0].type);
    EXPECT_EQ(m_hPage, boxes[0].owner);
}

TEST_F(KeysTest, UpdateAndBackupGoThroughTheFileDialogIntoTheTransfer) {
    fakeplat::AddFile(L"C:\\kcf\\new.kcf",
                      tmsim::BuildTransferFile(0, 4, 211, tmsim::SampleTransferData(0, 211, 512)));
    std::wstring strAnswer = L"C:\\kcf\\new.kcf";
    headless::ScopedFileDialogHandler files(
        [&](const headless::FileDialogRecord&) -> std::optional<std::wstring> {
            return strAnswer;
        });
    Run([&](HWND) {
        headless::Click(Item(IDC_KEY_UPDATE));
        strAnswer = L"C:\\kcf\\backup.kcf";
        headless::Click(Item(IDC_KEY_SAVE));
    });
    // The file went into the device and came back.
    EXPECT_EQ((std::vector<int>{IDD_TRANSFER, IDD_TRANSFER}), m_opened);
    EXPECT_EQ("211", TmSimGetString("transfer.kcf.version"));
    EXPECT_EQ(fakeplat::FileContents(L"C:\\kcf\\new.kcf"),
              fakeplat::FileContents(L"C:\\kcf\\backup.kcf"));
}

// --------------------------------------------------------------------------
// "Zeigen..." and the key matrix dialog

TEST_F(KeysTest, ShowMatrixAsksAndSwitchesKeyCodesOffOnlyWhileItIsOpen) {
    std::vector<std::string> codesWhileOpen;
    bool bRefuseOn = false;
    m_onDialog = [&](HWND hDlg) {
        codesWhileOpen.push_back(TmSimGetString("keys.codes_enabled"));
        if (bRefuseOn) TmSimSet("faults.IvroSetKeyCodesEnabled", "121 times 1");
        headless::PressOk(hDlg);
    };
    int nAnswer = IDCANCEL;
    headless::ScopedMessageBoxHandler answers(
        [&](const headless::MessageBoxRecord&) { return nAnswer; });
    Run([&](HWND) {
        // Cancel: no dialog, delivery untouched.
        headless::Click(Item(IDC_KEY_SHOW));
        EXPECT_TRUE(m_opened.empty());
        auto boxes = headless::MessageBoxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(
            L"W\u00E4hrend der Anzeige der Tastenmatrix werden die Tasten nicht von "
            L"Windows behandelt.",
            boxes[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION), boxes[0].type);
        nAnswer = IDOK;
        headless::Click(Item(IDC_KEY_SHOW));
        EXPECT_EQ(std::vector<int>{IDD_KEY_MATRIX}, m_opened);

        // Delivery off to begin with: no question, nothing switched.
        headless::ClearMessageBoxes();
        TmSimSet("keys.codes_enabled", "0");
        headless::Click(Item(IDC_KEY_SHOW));
        // Invalid configuration: no question, but delivery is switched.
        TmSimSet("keys.codes_enabled", "1");
        TmSimSet("keys.config_valid", "0");
        Tick();
        headless::Click(Item(IDC_KEY_SHOW));
        EXPECT_TRUE(headless::MessageBoxes().empty());
        EXPECT_EQ((std::vector<int>{0, 1, 0, 1}), CodesSet());

        // The device refuses to stop delivering: one message, and nothing to
        // switch back on afterwards.
        TmSimSet("faults.IvroSetKeyCodesEnabled", "170");
        headless::Click(Item(IDC_KEY_SHOW));
        EXPECT_EQ(1u, headless::MessageBoxes().size());
        EXPECT_EQ((std::vector<int>{0, 1, 0, 1, 0}), CodesSet());
        EXPECT_FALSE(headless::IsChecked(Item(IDC_KEY_LOCK)));

        // Switched off for the matrix, then not on again: the keys deliver
        // nothing, and the lock box says so.
        headless::ClearMessageBoxes();
        TmSimClearFaults();
        bRefuseOn = true;
        headless::Click(Item(IDC_KEY_SHOW));
        auto refused = headless::MessageBoxes();
        ASSERT_EQ(1u, refused.size());
        EXPECT_EQ(0u, refused[0].text.find(L"Die Tasten k\u00F6nnen nicht re-aktiviert werden.\n"));
        EXPECT_TRUE(headless::IsChecked(Item(IDC_KEY_LOCK)));
        TmSimClearFaults();
    });
    EXPECT_EQ((std::vector<std::string>{"0", "0", "0", "1", "0"}), codesWhileOpen);
}

TEST_F(KeysTest, MatrixDialogShowsBitsAndTheFirstPressedKeyAndRecoversFromAFailedRead) {
    std::wstring strAllZero;
    for (int i = 0; i < 8; ++i) strAllZero += kZeroRow;
    auto column = [](HWND hDlg, int nId) { return headless::TextOf(GetDlgItem(hDlg, nId)); };
    HWND hMatrix = nullptr;
    CKeyMatrixDlg dlg;
    headless::ScopedModalHandler handler([&](HWND hDlg) {
        hMatrix = hDlg;
        // Forced first refresh: nothing pressed.
        EXPECT_EQ(strAllZero, column(hDlg, IDC_MATRIX_LOW));
        EXPECT_EQ(strAllZero, column(hDlg, IDC_MATRIX_HIGH));
        EXPECT_EQ(L"", column(hDlg, IDC_MATRIX_FIRST));
        ASSERT_TRUE(headless::HasTimer(hDlg, 1));
        EXPECT_EQ(250u, headless::Timers()[0].elapse);

        // Bit 7 is the left of a row; the first key is met bytes up, bits down.
        const std::pair<const char*, const wchar_t*> pressed[] = {
            {"08 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00", L"0.3 (3)"},
            {"00 00 42 00 00 00 00 00 00 00 00 00 00 00 00 00", L"2.6 (22)"},
            {"00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 81", L"15.7 (127)"},
            {"00 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00", L"2.5 (21)"},
        };
        for (const auto& keys : pressed) {
            TmSimSet("keys.matrix", keys.first);
            headless::FireTimer(hDlg, 1);
            EXPECT_EQ(keys.second, column(hDlg, IDC_MATRIX_FIRST));
        }
        EXPECT_EQ(std::wstring(kZeroRow) + kZeroRow + L"0 0 1 0 0 0 0 0\n" + kZeroRow + kZeroRow +
                      kZeroRow + kZeroRow + kZeroRow,
                  column(hDlg, IDC_MATRIX_LOW));
        EXPECT_EQ(strAllZero, column(hDlg, IDC_MATRIX_HIGH));

        // A failed read: the status word in both columns, the key stays.
        TmSimSet("faults.IvroGetKeyMatrix", "121 times 1");
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"Timeout", column(hDlg, IDC_MATRIX_HIGH));
        EXPECT_EQ(L"2.5 (21)", column(hDlg, IDC_MATRIX_FIRST));
        // The device answers again with the same matrix: the bits come back.
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(strAllZero, column(hDlg, IDC_MATRIX_HIGH));

        // Releasing all keys clears the first-key field on the next tick.
        TmSimSet("keys.matrix", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
        headless::FireTimer(hDlg, 1);
        EXPECT_EQ(L"", column(hDlg, IDC_MATRIX_FIRST));
        EXPECT_EQ(strAllZero, column(hDlg, IDC_MATRIX_LOW));
        headless::PressOk(hDlg);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_FALSE(headless::HasTimer(hMatrix, 1));
}

// The simulator's demo presses keys of the device only, one or two at a
// time, and releases them on the next step.
TEST(KeyDemoTest, PressesAndReleasesKeysOfTheDeviceOverTime) {
    tmsim::DeviceState state;
    state.m_nKeyCount = 36;
    state.m_abKeyMatrix[15] = 0x80;  // held by the profile
    const auto pressed = [&](int64_t nMs) {
        std::vector<int> keys;
        std::array<BYTE, 16> ab = state.KeyMatrixAt(nMs);
        for (int i = 0; i < 128; ++i)
            if ((ab[static_cast<size_t>(i / 8)] >> (i % 8)) & 1) keys.push_back(i);
        return keys;
    };
    EXPECT_EQ(std::vector<int>{127}, pressed(5000));
    state.m_nKeyDemoInterval = 1000;
    EXPECT_EQ((std::vector<int>{0, 11, 127}), pressed(999));
    EXPECT_EQ((std::vector<int>{5, 16, 127}), pressed(1000));
    for (int64_t nMs = 0; nMs < 200000; nMs += 1000) {
        std::vector<int> keys = pressed(nMs);
        ASSERT_GE(keys.size(), 2u);
        EXPECT_LT(keys[keys.size() - 2], 36);
    }
    state.m_nKeyCount = 0;
    EXPECT_EQ(std::vector<int>{127}, pressed(1000));
}

}  // namespace
