#include "applet/RepeatArrowButton.h"

#include <climits>
#include <cwchar>
#include <cwctype>

#include "res/resource.h"

namespace {

const UINT_PTR kRepeatTimer = 1;

// One cache for all buttons of the module, read at most once per load.
struct CKeyboardSettings {
    bool bReadPending = true;
    UINT nDelayMs = 250;
    UINT nRate = 31;
};
CKeyboardSettings g_keyboard;

// A REG_SZ value of at most 10 characters (20 bytes on Windows), terminated.
const DWORD kMaxValueChars = 10;
bool ReadShortText(HKEY hKey, const wchar_t* pszName, wchar_t (&szText)[kMaxValueChars + 1]) {
    DWORD dwType = 0;
    DWORD cb = kMaxValueChars * sizeof(wchar_t);
    if (::RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szText), &cb) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ)
        return false;
    // The stored text need not carry its terminator.
    szText[cb / sizeof(wchar_t) < kMaxValueChars ? cb / sizeof(wchar_t) : kMaxValueChars] = L'\0';
    return true;
}

// The leading decimal digits of a text; none (or 0) gives 0. Saturates.
UINT LeadingNumber(const wchar_t* psz) {
    while (std::iswspace(static_cast<wint_t>(*psz))) ++psz;
    unsigned long long n = 0;
    for (; *psz >= L'0' && *psz <= L'9'; ++psz) {
        n = n * 10 + static_cast<unsigned>(*psz - L'0');
        if (n > UINT_MAX) return UINT_MAX;
    }
    return static_cast<UINT>(n);
}

void ReadKeyboardSettings() {
    CRegKeyHandle key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", 0, KEY_QUERY_VALUE,
                        key.Receive()) != ERROR_SUCCESS)
        return;
    wchar_t szText[kMaxValueChars + 1] = L"";
    if (ReadShortText(key.Get(), L"KeyboardDelay", szText)) {
        switch (szText[0]) {
            case L'0':
                g_keyboard.nDelayMs = 250;
                break;
            case L'1':
                g_keyboard.nDelayMs = 750;
                break;
            case L'2':
                g_keyboard.nDelayMs = 1250;
                break;
            case L'3':
                g_keyboard.nDelayMs = 2000;
                break;
            default:
                break;
        }
    }
    if (ReadShortText(key.Get(), L"KeyboardSpeed", szText)) {
        UINT nRate = LeadingNumber(szText);
        g_keyboard.nRate = nRate ? nRate : 1;
    }
}

}  // namespace

void CRepeatArrowButton::GetKeyboardSettings(UINT& nDelayMs, UINT& nRate) {
    if (g_keyboard.bReadPending) {
        // Cleared first, so that a failed read is not tried again.
        g_keyboard.bReadPending = false;
        ReadKeyboardSettings();
    }
    nDelayMs = g_keyboard.nDelayMs;
    nRate = g_keyboard.nRate;
}

void CRepeatArrowButton::ResetKeyboardSettings() {
    g_keyboard = CKeyboardSettings();
}

UINT CRepeatArrowButton::RepeatPeriod(UINT nRate) {
    // Above 1000 steps per second the division gives 0: a timer that would
    // fire without pause.
    UINT nPeriod = nRate ? 1000 / nRate : 1000;
    return nPeriod ? nPeriod : 1;
}

CRepeatArrowButton::CRepeatArrowButton()
    : m_nRate(0),
      m_nDelay(0),
      m_bUp(FALSE),
      m_nMaximum(0),
      m_nMinimum(0),
      m_hWndBuddy(nullptr),
      m_nTimerId(0) {}

CRepeatArrowButton::~CRepeatArrowButton() {
    if (m_nTimerId && m_hWnd) ::KillTimer(m_hWnd, m_nTimerId);
}

void CRepeatArrowButton::Configure(CWnd* pBuddy, int nMinimum, int nMaximum, BOOL bUp) {
    m_hWndBuddy = pBuddy ? pBuddy->GetSafeHwnd() : nullptr;
    m_nMinimum = nMinimum;
    m_nMaximum = nMaximum;
    m_bUp = bUp;
    GetKeyboardSettings(m_nDelay, m_nRate);
}

BEGIN_MESSAGE_MAP(CRepeatArrowButton, CButton)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
ON_WM_CAPTURECHANGED()
ON_WM_DESTROY()
END_MESSAGE_MAP()

void CRepeatArrowButton::OnLButtonDown(UINT, POINT) {
    StartRepeat();
    Default();
}

// An owner-drawn button reports the second press of a quick double-click
// as BN_DOUBLECLICKED and clicks nothing; a user clicking fast means two
// steps, so it is a press like the first one.
void CRepeatArrowButton::OnLButtonDblClk(UINT nFlags, POINT point) {
    StartRepeat();
    DefWindowProc(WM_LBUTTONDOWN, nFlags, MAKELPARAM(point.x, point.y));
}

void CRepeatArrowButton::OnLButtonUp(UINT, POINT) {
    StopRepeat();
    // Produces the click when released over the button.
    Default();
}

void CRepeatArrowButton::OnTimer(UINT_PTR nIDEvent) {
    // A tick that was already queued when the button was released must
    // neither step nor start the timer again.
    if (nIDEvent == kRepeatTimer && m_nTimerId) {
        KillTimer(kRepeatTimer);
        m_nTimerId = SetTimer(kRepeatTimer, RepeatPeriod(m_nRate));
        StepBuddy();
    }
    Default();
}

void CRepeatArrowButton::OnCaptureChanged(CWnd* pWnd) {
    // Losing the mouse without a release (another window took it) ends the
    // repetition too; otherwise it would run on with nobody holding the button.
    if (pWnd != this) StopRepeat();
    Default();
}

void CRepeatArrowButton::OnDestroy() {
    StopRepeat();
    Default();
}

void CRepeatArrowButton::StartRepeat() {
    if (m_nRate) m_nTimerId = SetTimer(kRepeatTimer, m_nDelay);
}

void CRepeatArrowButton::StopRepeat() {
    if (!m_nTimerId) return;
    KillTimer(m_nTimerId);
    m_nTimerId = 0;
}

void CRepeatArrowButton::StepBuddy() {
    if (!m_hWndBuddy) return;
    wchar_t szText[32] = L"";
    ::GetWindowTextW(m_hWndBuddy, szText, _countof(szText));
    // Like the C library's wtoi: leading number, anything else counts as 0.
    long nValue = std::wcstol(szText, nullptr, 10);
    if (nValue > INT_MAX) nValue = INT_MAX;
    if (nValue < INT_MIN) nValue = INT_MIN;
    int n = static_cast<int>(nValue);
    if (m_bUp) {
        if (n < m_nMaximum) ++n;
    } else {
        if (n > m_nMinimum) --n;
    }
    // Written also when unchanged: the field's change notification follows.
    wchar_t szNew[16];
    std::swprintf(szNew, _countof(szNew), L"%u", static_cast<UINT>(n));
    ::SetWindowTextW(m_hWndBuddy, szNew);
}

void CRepeatArrowButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    HDC hDC = lpDrawItemStruct->hDC;
    RECT rect = lpDrawItemStruct->rcItem;
    const UINT nState = lpDrawItemStruct->itemState;
    const bool bPressed = (nState & ODS_SELECTED) != 0;
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);

    ::FillRect(hDC, &rect, ::GetSysColorBrush(COLOR_BTNFACE));
    ::DrawEdge(hDC, &rect, bPressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT);

    if (!m_bitmap)
        m_bitmap.Reset(::LoadBitmapW(AfxGetResourceHandle(),
                                     MAKEINTRESOURCEW(m_bUp ? IDB_ARROW_UP : IDB_ARROW_DOWN)));
    BITMAP bm = {};
    if (m_bitmap && !m_memDC) m_memDC.Reset(::CreateCompatibleDC(hDC));
    if (m_bitmap && m_memDC && ::GetObjectW(m_bitmap.Get(), sizeof(bm), &bm)) {
        HGDIOBJ hOldBitmap = ::SelectObject(m_memDC.Get(), m_bitmap.Get());
        int x = (rect.left + rect.right - bm.bmWidth) / 2;
        int y = (rect.top + rect.bottom - bm.bmHeight) / 2;
        if (bPressed) {
            ++x;
            ++y;
        }
        // A monochrome copy paints its 0 bits (the arrow) in the text colour
        // and its 1 bits in the background colour of the target.
        COLORREF crArrow;
        if (nState & ODS_DISABLED)
            crArrow = crFace == RGB(128, 128, 128) ? RGB(192, 192, 192) : RGB(128, 128, 128);
        else
            crArrow = crFace == RGB(0, 0, 0) ? RGB(255, 255, 255) : RGB(0, 0, 0);
        COLORREF crOldBk = ::SetBkColor(hDC, crFace);
        COLORREF crOldText = ::SetTextColor(hDC, crArrow);
        ::BitBlt(hDC, x, y, bm.bmWidth, bm.bmHeight, m_memDC.Get(), 0, 0, SRCCOPY);
        ::SetTextColor(hDC, crOldText);
        ::SetBkColor(hDC, crOldBk);
        ::SelectObject(m_memDC.Get(), hOldBitmap);
    }

    if (nState & ODS_FOCUS) {
        ::InflateRect(&rect, -3, -3);
        ::DrawFocusRect(hDC, &rect);
    }
}
