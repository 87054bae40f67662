// The auto-repeat arrow button on its own: keyboard settings, holding,
// releasing and drawing.
#include "AppletTestEnv.h"
#include "applet/RepeatArrowButton.h"

namespace {

const wchar_t kKeyboardKey[] = L"Control Panel\\Keyboard";
const int kButtonId = 10;
const int kEditId = 11;

// The button's parent: counts clicks and records the field's texts.
class CTestParent : public CWnd {
public:
    int m_nClicks = 0;
    std::vector<std::wstring> m_texts;

protected:
    void OnClicked() { ++m_nClicks; }
    void OnEditChange() {
        CString text;
        GetDlgItemText(kEditId, text);
        m_texts.push_back(static_cast<const wchar_t*>(text));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTestParent, CWnd)
ON_BN_CLICKED(kButtonId, OnClicked)
ON_EN_CHANGE(kEditId, OnEditChange)
END_MESSAGE_MAP()

// A window with an owner-drawn 16 x 16 button and a field.
class CButtonWindow {
public:
    CButtonWindow() {
        m_hParent = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                      nullptr, nullptr, nullptr, nullptr);
        m_parent.SubclassWindow(m_hParent);
        m_hButton = ::CreateWindowExW(
            0, L"Button", L"&o", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10, 10, 16, 16, m_hParent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), nullptr, nullptr);
        m_hEdit = ::CreateWindowExW(
            0, L"Edit", L"50", WS_CHILD | WS_VISIBLE | ES_READONLY, 40, 10, 30, 12, m_hParent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), nullptr, nullptr);
        m_button.SubclassWindow(m_hButton);
        m_parent.m_texts.clear();
    }
    ~CButtonWindow() {
        if (::IsWindow(m_hParent)) ::DestroyWindow(m_hParent);
    }
    CButtonWindow(const CButtonWindow&) = delete;
    CButtonWindow& operator=(const CButtonWindow&) = delete;

    void Configure(int nMin, int nMax, BOOL bUp) {
        m_button.Configure(m_parent.GetDlgItem(kEditId), nMin, nMax, bUp);
    }
    void SetField(const wchar_t* pszText) {
        ::SetWindowTextW(m_hEdit, pszText);
        m_parent.m_texts.clear();
    }
    UINT TimerElapse() const {
        for (const auto& timer : headless::Timers())
            if (timer.hwnd == m_hButton && timer.id == 1) return timer.elapse;
        return 0;
    }
    std::vector<headless::DrawCall> Draw() {
        headless::ClearDrawCalls();
        headless::Paint(m_hButton);
        return headless::DrawCalls();
    }

    CTestParent m_parent;
    CRepeatArrowButton m_button;
    HWND m_hParent = nullptr;
    HWND m_hButton = nullptr;
    HWND m_hEdit = nullptr;
};

const headless::DrawCall* Find(const std::vector<headless::DrawCall>& calls, const char* pszOp) {
    for (const auto& call : calls)
        if (call.op == pszOp) return &call;
    return nullptr;
}

std::vector<LONG> Edges(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

class RepeatArrowTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule();
    }

    static std::pair<UINT, UINT> KeyboardSettings() {
        UINT nDelay = 0, nRate = 0;
        CRepeatArrowButton::GetKeyboardSettings(nDelay, nRate);
        return {nDelay, nRate};
    }
    static void SetKeyboard(const wchar_t* pszDelay, const wchar_t* pszSpeed,
                            DWORD dwDelayType = REG_SZ) {
        fakeplat::SetRegString(HKEY_CURRENT_USER, kKeyboardKey, L"KeyboardDelay", pszDelay,
                               dwDelayType);
        fakeplat::SetRegString(HKEY_CURRENT_USER, kKeyboardKey, L"KeyboardSpeed", pszSpeed);
    }
};

using Settings = std::pair<UINT, UINT>;

TEST_F(RepeatArrowTest, KeyboardSettingsAreShortTextsReadOncePerModuleLoad) {
    // No key: 250 ms and 31 steps per second.
    EXPECT_EQ(Settings(250, 31), KeyboardSettings());
    // Changed settings show only after the next load; the key is opened once.
    SetKeyboard(L"1", L"20");
    EXPECT_EQ(Settings(250, 31), KeyboardSettings());
    LoadModule();
    EXPECT_EQ(Settings(750, 20), KeyboardSettings());
    EXPECT_EQ(Settings(750, 20), KeyboardSettings());
    size_t nOpens = 0;
    for (const auto& call : fakeplat::RegOpenCalls()) nOpens += call.strPath == kKeyboardKey;
    EXPECT_EQ(2u, nOpens);
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());

    const struct {
        const wchar_t* pszDelay;
        DWORD dwDelayType;
        const wchar_t* pszSpeed;
        Settings expected;
    } cases[] = {
        {L"2", REG_SZ, L"0", {1250, 1}},  // rate 0: one step per second
        {L"3", REG_SZ, L"fast", {2000, 1}},
        {L"4", REG_SZ, L"-3", {250, 1}},        // out of range: delay unchanged
        {L"17", REG_SZ, L"5000", {750, 5000}},  // only the first character counts
        {L"", REG_SZ, L" 19", {250, 19}},
        {L"1", REG_EXPAND_SZ, L"12345678901", {250, 31}},  // too long: not read
    };
    for (const auto& c : cases) {
        SetKeyboard(c.pszDelay, c.pszSpeed, c.dwDelayType);
        LoadModule();
        EXPECT_EQ(c.expected, KeyboardSettings()) << c.pszDelay << " " << c.pszSpeed;
    }

    // Numbers stored as REG_DWORD are ignored, so is a key that cannot be opened.
    fakeplat::SetRegDword(HKEY_CURRENT_USER, kKeyboardKey, L"KeyboardDelay", 3);
    fakeplat::SetRegDword(HKEY_CURRENT_USER, kKeyboardKey, L"KeyboardSpeed", 10);
    LoadModule();
    EXPECT_EQ(Settings(250, 31), KeyboardSettings());
    SetKeyboard(L"1", L"20");
    fakeplat::FailRegOpen(HKEY_CURRENT_USER, kKeyboardKey, ERROR_ACCESS_DENIED);
    LoadModule();
    EXPECT_EQ(Settings(250, 31), KeyboardSettings());

    // A rate above 1000 steps per second never gives a zero period.
    EXPECT_EQ(32u, CRepeatArrowButton::RepeatPeriod(31));
    EXPECT_EQ(1000u, CRepeatArrowButton::RepeatPeriod(1));
    EXPECT_EQ(1u, CRepeatArrowButton::RepeatPeriod(5000));
}

TEST_F(RepeatArrowTest, HeldButtonStepsAfterTheDelayThenAtTheRateUntilReleasedOrCaptured) {
    SetKeyboard(L"1", L"31");
    LoadModule();
    CButtonWindow wnd;
    // Never configured: no repetition, but a click is a click.
    headless::MouseDown(wnd.m_hButton);
    EXPECT_EQ(0u, wnd.TimerElapse());
    headless::MouseUp(wnd.m_hButton);
    wnd.Configure(0, 100, TRUE);
    wnd.SetField(L"98");

    headless::MouseDown(wnd.m_hButton);
    EXPECT_EQ(750u, wnd.TimerElapse());
    EXPECT_TRUE(wnd.m_parent.m_texts.empty());
    ASSERT_TRUE(headless::FireTimer(wnd.m_hButton, 1));
    EXPECT_EQ(32u, wnd.TimerElapse());
    headless::FireTimer(wnd.m_hButton, 1);
    // At the maximum the text is still written at every step.
    headless::FireTimer(wnd.m_hButton, 1);
    EXPECT_EQ((std::vector<std::wstring>{L"99", L"100", L"100"}), wnd.m_parent.m_texts);
    EXPECT_EQ(1, wnd.m_parent.m_nClicks);
    headless::MouseUp(wnd.m_hButton);
    EXPECT_EQ(0u, wnd.TimerElapse());
    EXPECT_EQ(2, wnd.m_parent.m_nClicks);

    // A tick that was already on its way after the release does nothing.
    wnd.m_parent.m_texts.clear();
    SendMessageW(wnd.m_hButton, WM_TIMER, 1, 0);
    EXPECT_TRUE(wnd.m_parent.m_texts.empty());
    EXPECT_EQ(0u, wnd.TimerElapse());

    // Down stops at the minimum; text that is no number counts as 0.
    wnd.Configure(0, 100, FALSE);
    wnd.SetField(L"2");
    headless::MouseDown(wnd.m_hButton);
    for (int i = 0; i < 3; ++i) headless::FireTimer(wnd.m_hButton, 1);
    ::SetWindowTextW(wnd.m_hEdit, L"abc");
    headless::FireTimer(wnd.m_hButton, 1);
    // Released outside: no click.
    headless::MouseUp(wnd.m_hButton, false);
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"0", L"0", L"abc", L"0"}), wnd.m_parent.m_texts);
    EXPECT_EQ(2, wnd.m_parent.m_nClicks);
    EXPECT_EQ(0u, wnd.TimerElapse());

    // Another window taking the mouse ends the repetition.
    headless::MouseDown(wnd.m_hButton);
    ::SetCapture(wnd.m_hParent);
    SendMessageW(wnd.m_hButton, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(wnd.m_hParent));
    EXPECT_EQ(0u, wnd.TimerElapse());
}

TEST_F(RepeatArrowTest, DrawsTheArrowBitmapInTheColoursOfItsState) {
    int nObjects = headless::LiveObjectCount();
    {
        CButtonWindow wnd;
        wnd.Configure(0, 100, TRUE);
        auto calls = wnd.Draw();
        const headless::DrawCall* pFill = Find(calls, "FillRect");
        const headless::DrawCall* pEdge = Find(calls, "DrawEdge");
        const headless::DrawCall* pBlt = Find(calls, "BitBlt");
        ASSERT_TRUE(pFill && pEdge && pBlt);
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), pFill->color);
        EXPECT_EQ(static_cast<UINT>(EDGE_RAISED), pEdge->flags);
        // 10 x 11 centred in 16 x 16; the arrow black on the face colour.
        EXPECT_EQ(Edges({3, 2, 13, 13}), Edges(pBlt->rect));
        EXPECT_EQ(RGB(0, 0, 0), pBlt->textColor);
        EXPECT_EQ(GetSysColor(COLOR_BTNFACE), pBlt->bkColor);
        EXPECT_EQ(1225, headless::ImageOf(pBlt->image)->resourceId);
        EXPECT_EQ(nullptr, Find(calls, "DrawFocusRect"));
        HANDLE hBitmap = pBlt->image;
        int nAfterFirst = headless::LiveObjectCount();

        // Pressed (and focused): sunken, one pixel down and right, focus frame 3 inside.
        headless::MouseDown(wnd.m_hButton);
        calls = wnd.Draw();
        ASSERT_TRUE(Find(calls, "BitBlt") && Find(calls, "DrawFocusRect"));
        EXPECT_EQ(static_cast<UINT>(EDGE_SUNKEN), Find(calls, "DrawEdge")->flags);
        EXPECT_EQ(Edges({4, 3, 14, 14}), Edges(Find(calls, "BitBlt")->rect));
        EXPECT_EQ(Edges({3, 3, 13, 13}), Edges(Find(calls, "DrawFocusRect")->rect));
        headless::MouseUp(wnd.m_hButton);
        // The bitmap and the memory DC are made once.
        EXPECT_EQ(hBitmap, Find(calls, "BitBlt")->image);
        EXPECT_EQ(nAfterFirst, headless::LiveObjectCount());

        // White on black, grey when disabled, light grey on grey.
        headless::SetSysColor(COLOR_BTNFACE, RGB(0, 0, 0));
        EXPECT_EQ(RGB(255, 255, 255), Find(wnd.Draw(), "BitBlt")->textColor);
        ::EnableWindow(wnd.m_hButton, FALSE);
        EXPECT_EQ(RGB(128, 128, 128), Find(wnd.Draw(), "BitBlt")->textColor);
        headless::SetSysColor(COLOR_BTNFACE, RGB(128, 128, 128));
        EXPECT_EQ(RGB(192, 192, 192), Find(wnd.Draw(), "BitBlt")->textColor);

        CButtonWindow down;
        down.Configure(0, 100, FALSE);
        EXPECT_EQ(1224, headless::ImageOf(Find(down.Draw(), "BitBlt")->image)->resourceId);
    }
    // The bitmaps and memory DCs went with the buttons.
    EXPECT_EQ(nObjects, headless::LiveObjectCount());
}

}  // namespace
