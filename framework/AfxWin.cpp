#include "framework/AfxWin.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <unordered_map>
#include <vector>

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;

// Windows whose messages the framework dispatches to an object.
std::unordered_map<HWND, CWnd*>& PermanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

// The sheet whose window PropertySheetW is creating right now.
CPropertySheet* g_pSheetInInit = nullptr;

// The framework's standard validation prompts.
const wchar_t kPromptInt[] = L"Geben Sie eine ganze Zahl ein.";
const wchar_t kPromptUInt[] = L"Geben Sie eine positive ganze Zahl ein.";
const wchar_t kPromptIntRange[] = L"Geben Sie eine ganze Zahl zwischen %1 und %2 ein.";
const wchar_t kPromptStringSize[] = L"Geben Sie nicht mehr als %1 Zeichen ein.";

}  // namespace

// ---------------------------------------------------------------------------
// Application object

CWinApp::CWinApp(const wchar_t* pszAppName)
    : m_pszAppName(nullptr), m_strAppName(pszAppName ? pszAppName : L""), m_pPrevApp(g_pApp) {
    m_pszAppName = m_strAppName;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this) g_pApp = m_pPrevApp;
}

void CWinApp::SetAppName(const wchar_t* pszName) {
    m_strAppName = pszName;
    m_pszAppName = m_strAppName;
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResource;
}

HINSTANCE AfxGetInstanceHandle() {
    return g_hResource;
}

void AfxSetResourceHandle(HINSTANCE hInstance) {
    g_hResource = hInstance;
}

int AfxMessageBox(const wchar_t* pszText, UINT nType, UINT /*nIDHelp*/) {
    const wchar_t* pszCaption = g_pApp ? g_pApp->m_pszAppName : L"";
    // Owned by the active window, so the sheet stays disabled while it shows.
    return ::MessageBoxW(::GetActiveWindow(), pszText, pszCaption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT /*nIDHelp*/) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType);
}

// ---------------------------------------------------------------------------
// CWnd

CWnd::~CWnd() {
    auto& map = PermanentMap();
    auto it = map.find(m_hWnd);
    if (it != map.end() && it->second == this) map.erase(it);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

void CWnd::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    if (hWnd) PermanentMap()[hWnd] = this;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    if (it != map.end() && it->second == this) map.erase(it);
    m_hWnd = nullptr;
    return hWnd;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    HWND hWnd = ::GetDlgItem(m_hWnd, nID);
    if (!hWnd) return nullptr;
    if (CWnd* pWnd = FromHandlePermanent(hWnd)) return pWnd;
    std::unique_ptr<CWnd>& pChild = m_children[nID];
    if (!pChild) pChild = std::make_unique<CWnd>();
    pChild->m_hWnd = hWnd;
    return pChild.get();
}

void CWnd::SetWindowText(const wchar_t* pszText) {
    ::SetWindowTextW(m_hWnd, pszText);
}

void CWnd::GetWindowText(CString& rString) const {
    int n = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> buffer(static_cast<size_t>(n) + 1);
    int got = ::GetWindowTextW(m_hWnd, buffer.data(), n + 1);
    rString = CString(buffer.data(), got > 0 ? got : 0);
}

int CWnd::GetWindowTextLength() const {
    return ::GetWindowTextLengthW(m_hWnd);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsIconic() const {
    return ::IsIconic(m_hWnd);
}

void CWnd::SetDlgItemText(int nID, const wchar_t* pszText) {
    ::SetDlgItemTextW(m_hWnd, nID, pszText);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    HWND hWnd = ::GetDlgItem(m_hWnd, nID);
    if (!hWnd) return 0;
    CWnd temp;
    temp.m_hWnd = hWnd;
    temp.GetWindowText(rString);
    temp.m_hWnd = nullptr;
    return rString.GetLength();
}

void CWnd::SetDlgItemInt(int nID, UINT nValue, BOOL bSigned) {
    ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned);
}

UINT CWnd::GetDlgItemInt(int nID, BOOL* pbTranslated, BOOL bSigned) const {
    return ::GetDlgItemInt(m_hWnd, nID, pbTranslated, bSigned);
}

void CWnd::CheckDlgButton(int nID, UINT nCheck) {
    ::CheckDlgButton(m_hWnd, nID, nCheck);
}

UINT CWnd::IsDlgButtonChecked(int nID) const {
    return ::IsDlgButtonChecked(m_hWnd, nID);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendDlgItemMessageW(m_hWnd, nID, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return ::KillTimer(m_hWnd, nIDEvent);
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    LONG_PTR newStyle = (style & ~static_cast<LONG_PTR>(dwRemove)) | static_cast<LONG_PTR>(dwAdd);
    if (style == newStyle) return FALSE;
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, newStyle);
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

HMENU CWnd::GetSystemMenu(BOOL bRevert) const {
    return ::GetSystemMenu(m_hWnd, bRevert);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::Invalidate(BOOL bErase) {
    ::InvalidateRect(m_hWnd, nullptr, bErase);
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
    return reinterpret_cast<HICON>(SendMessage(WM_GETICON, bBigIcon ? ICON_BIG : ICON_SMALL, 0));
}

CWnd* CWnd::SetFocus() {
    HWND hPrev = ::SetFocus(m_hWnd);
    return hPrev ? FromHandlePermanent(hPrev) : nullptr;
}

CWnd* CWnd::GetParent() const {
    return FromHandlePermanent(::GetParent(m_hWnd));
}

int CWnd::MessageBox(const wchar_t* pszText, const wchar_t* pszCaption, UINT nType) {
    if (!pszCaption) pszCaption = g_pApp ? g_pApp->m_pszAppName : L"";
    return ::MessageBoxW(m_hWnd, pszText, pszCaption, nType);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

namespace {
const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT nMessage, UINT nCode, UINT nID) {
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* p = pMap->lpEntries; p->pfnThunk; ++p) {
            if (p->nMessage != nMessage) continue;
            if (nMessage == WM_COMMAND && (p->nCode != nCode || nID < p->nID || nID > p->nLastID))
                continue;
            return p;
        }
    }
    return nullptr;
}
}  // namespace

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LastMessage saved = m_lastMsg;
    m_lastMsg = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    m_lastMsg = saved;
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        *pResult = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY) return OnNotify(wParam, lParam, pResult);
    const AFX_MSGMAP_ENTRY* pEntry = FindEntry(GetMessageMap(), message, 0, 0);
    if (!pEntry && message == WM_DRAWITEM) {
        // An owner-drawn control that is a framework object draws itself.
        const DRAWITEMSTRUCT* pDraw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        CWnd* pChild =
            pDraw && pDraw->CtlType != ODT_MENU ? FromHandlePermanent(pDraw->hwndItem) : nullptr;
        return pChild && pChild != this && pChild->OnChildNotify(message, wParam, lParam, pResult);
    }
    if (!pEntry) return FALSE;
    *pResult = pEntry->pfnThunk(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    const AFX_MSGMAP_ENTRY* pEntry =
        FindEntry(GetMessageMap(), WM_COMMAND, HIWORD(wParam), LOWORD(wParam));
    if (!pEntry) return FALSE;
    pEntry->pfnThunk(this, wParam, lParam);
    return TRUE;
}

BOOL CWnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return FALSE;
}

HBRUSH CWnd::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) {
    // A dialog procedure cannot hand the message to the dialog manager and
    // still change the colours afterwards, so the default runs here.
    UINT message = WM_CTLCOLORMSGBOX + nCtlColor;
    WPARAM wParam = reinterpret_cast<WPARAM>(hDC);
    LPARAM lParam = reinterpret_cast<LPARAM>(pWnd ? pWnd->m_hWnd : nullptr);
    LRESULT result = m_pfnSuper ? ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam)
                                : ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    return reinterpret_cast<HBRUSH>(result);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_lastMsg.message, m_lastMsg.wParam, m_lastMsg.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    if (m_bDialogProc) {
        // The dialog procedure answers FALSE, so the dialog manager does it.
        m_bDefaultRequested = true;
        return 0;
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!hWnd || m_hWnd) return FALSE;
    Attach(hWnd);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        WNDPROC pfnSuper = pWnd->m_pfnSuper;
        LRESULT result = pWnd->WindowProc(message, wParam, lParam);
        // The window is gone: give it back its own procedure and forget it.
        if (pfnSuper) ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pfnSuper));
        pWnd->m_pfnSuper = nullptr;
        pWnd->Detach();
        pWnd->m_children.clear();
        pWnd->PostNcDestroy();
        return result;
    }
    return pWnd->WindowProc(message, wParam, lParam);
}

INT_PTR CWnd::DialogProcImpl(CWnd* pAttach, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && pAttach) {
        pAttach->Attach(hWnd);
        pAttach->m_bDialogProc = true;
    }
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (!pWnd) return FALSE;

    bool savedDefault = pWnd->m_bDefaultRequested;
    pWnd->m_bDefaultRequested = false;
    LRESULT result = pWnd->WindowProc(message, wParam, lParam);
    bool useDefault = pWnd->m_bDefaultRequested;
    pWnd->m_bDefaultRequested = savedDefault;

    if (message == WM_NCDESTROY) {
        pWnd->Detach();
        pWnd->m_bDialogProc = false;
        pWnd->m_children.clear();
        pWnd->PostNcDestroy();
        return FALSE;
    }
    if (useDefault) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, result);
            return TRUE;
    }
}

INT_PTR CALLBACK CWnd::AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pAttach = message == WM_INITDIALOG ? reinterpret_cast<CWnd*>(lParam) : nullptr;
    return DialogProcImpl(pAttach, hWnd, message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Data exchange

void AfxSetWindowText(HWND hWnd, const wchar_t* pszNew) {
    int nNewLen = static_cast<int>(std::wcslen(pszNew));
    wchar_t szOld[256];
    // Fast path for short texts: compare before setting.
    if (nNewLen < static_cast<int>(_countof(szOld)) &&
        ::GetWindowTextW(hWnd, szOld, _countof(szOld)) == nNewLen &&
        std::wcscmp(szOld, pszNew) == 0)
        return;
    ::SetWindowTextW(hWnd, pszNew);
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    m_hWndLastControl = hWnd;
    m_bEditLastControl = false;
    return hWnd;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hWnd = PrepareCtrl(nIDC);
    m_bEditLastControl = true;
    return hWnd;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

namespace {
CString WindowText(HWND hWnd) {
    CWnd temp;
    temp.m_hWnd = hWnd;
    CString text;
    temp.GetWindowText(text);
    temp.m_hWnd = nullptr;
    return text;
}

// Parses a whole text (blanks around allowed) as a signed or unsigned number.
bool ParseNumber(const CString& text, bool bSigned, long long& value) {
    const wchar_t* p = text;
    while (std::iswspace(static_cast<wint_t>(*p))) ++p;
    if (!*p || (!bSigned && *p == L'-')) return false;
    wchar_t* end = nullptr;
    errno = 0;
    value = std::wcstoll(p, &end, 10);
    if (end == p || errno == ERANGE) return false;
    while (std::iswspace(static_cast<wint_t>(*end))) ++end;
    return *end == L'\0';
}

template <class T>
void TextNumber(CDataExchange* pDX, int nIDC, T& value, bool bSigned, const wchar_t* pszFormat) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long parsed = 0;
        bool ok = ParseNumber(WindowText(hWnd), bSigned, parsed);
        if (ok) {
            T converted = static_cast<T>(parsed);
            ok = static_cast<long long>(converted) == parsed;
            if (ok) value = converted;
        }
        if (!ok) {
            AfxMessageBox(bSigned ? kPromptInt : kPromptUInt, MB_ICONEXCLAMATION);
            pDX->Fail();
        }
    } else {
        CString text;
        text.Format(pszFormat, value);
        AfxSetWindowText(hWnd, text);
    }
}

void RangeFail(CDataExchange* pDX, const wchar_t* pszMin, const wchar_t* pszMax) {
    const wchar_t* args[2] = {pszMin, pszMax};
    AfxMessageBox(AfxFormatStrings(kPromptIntRange, args, 2), MB_ICONEXCLAMATION);
    pDX->Fail();
}
}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    TextNumber(pDX, nIDC, value, true, L"%d");
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    TextNumber(pDX, nIDC, value, false, L"%u");
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value) {
    TextNumber(pDX, nIDC, value, true, L"%ld");
}

void DDX_Text(CDataExchange* pDX, int nIDC, BYTE& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        long long parsed = 0;
        if (!ParseNumber(WindowText(hWnd), false, parsed) || parsed > 255)
            RangeFail(pDX, L"0", L"255");
        value = static_cast<BYTE>(parsed);
    } else {
        CString text;
        text.Format(L"%u", static_cast<UINT>(value));
        AfxSetWindowText(hWnd, text);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    HWND hWnd = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = WindowText(hWnd);
    else
        AfxSetWindowText(hWnd, value);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageW(hWnd, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2) value = 0;
        ::SendMessageW(hWnd, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) value = -1;
    // The group runs from the first button to the next control with WS_GROUP.
    int index = 0;
    for (HWND h = hWnd; h; h = ::GetWindow(h, GW_HWNDNEXT), ++index) {
        if (h != hWnd && (::GetWindowLongPtrW(h, GWL_STYLE) & WS_GROUP)) break;
        if (pDX->m_bSaveAndValidate) {
            if (::SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
        } else {
            ::SendMessageW(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (!rControl.m_hWnd) rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    wchar_t szMin[32], szMax[32];
    std::swprintf(szMin, _countof(szMin), L"%d", minVal);
    std::swprintf(szMax, _countof(szMax), L"%d", maxVal);
    RangeFail(pDX, szMin, szMax);
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
    if (!pDX->m_bSaveAndValidate || (value >= minVal && value <= maxVal)) return;
    wchar_t szMin[32], szMax[32];
    std::swprintf(szMin, _countof(szMin), L"%u", minVal);
    std::swprintf(szMax, _countof(szMax), L"%u", maxVal);
    RangeFail(pDX, szMin, szMax);
}

void DDV_MinMaxByte(CDataExchange* pDX, BYTE value, BYTE minVal, BYTE maxVal) {
    DDV_MinMaxUInt(pDX, value, minVal, maxVal);
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (!pDX->m_bSaveAndValidate) {
        ::SendMessageW(pDX->LastControl(), EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
        return;
    }
    if (value.GetLength() <= nChars) return;
    wchar_t szMax[32];
    std::swprintf(szMax, _countof(szMax), L"%d", nChars);
    const wchar_t* arg = szMax;
    AfxMessageBox(AfxFormatStrings(kPromptStringSize, &arg, 1), MB_ICONEXCLAMATION);
    pDX->Fail();
}

// ---------------------------------------------------------------------------
// CButton

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *pResult = TRUE;
    return TRUE;
}

// ---------------------------------------------------------------------------
// CDialog

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    return ::DialogBoxParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(m_nIDTemplate), hOwner,
                             &CWnd::AfxDlgProc, reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCommand(wParam, lParam)) return TRUE;
    if (HIWORD(wParam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_INITDIALOG) {
        *pResult = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, pResult);
}

// ---------------------------------------------------------------------------
// CPropertyPage

CPropertyPage::CPropertyPage(UINT nIDTemplate) : CDialog(nIDTemplate), m_psp() {
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT | PSP_HASHELP;
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = MAKEINTRESOURCEW(nIDTemplate);
    m_psp.pfnDlgProc = &CPropertyPage::AfxPageDlgProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(this);
}

INT_PTR CALLBACK CPropertyPage::AfxPageDlgProc(HWND hWnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    CWnd* pAttach = nullptr;
    if (message == WM_INITDIALOG)
        pAttach =
            reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    return DialogProcImpl(pAttach, hWnd, message, wParam, lParam);
}

BOOL CPropertyPage::OnSetActive() {
    // The first activation follows OnInitDialog, which already filled the controls.
    if (m_bFirstSetActive)
        m_bFirstSetActive = false;
    else
        UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() {
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnApply() {
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset() {
    OnCancel();
}

BOOL CPropertyPage::OnQueryCancel() {
    return TRUE;
}

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

void CPropertyPage::SetModified(BOOL bChanged) {
    if (m_pSheet && m_pSheet->m_hWnd)
        ::SendMessageW(m_pSheet->m_hWnd, bChanged ? PSM_CHANGED : PSM_UNCHANGED,
                       reinterpret_cast<WPARAM>(m_hWnd), 0);
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const NMHDR* pHdr = reinterpret_cast<const NMHDR*>(lParam);
    switch (pHdr->code) {
        case PSN_SETACTIVE:
            *pResult = OnSetActive() ? 0 : -1;
            return TRUE;
        case PSN_KILLACTIVE:
            *pResult = OnKillActive() ? FALSE : TRUE;
            return TRUE;
        case PSN_APPLY:
            *pResult = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
            return TRUE;
        case PSN_RESET:
            OnReset();
            *pResult = 0;
            return TRUE;
        case PSN_QUERYCANCEL:
            *pResult = OnQueryCancel() ? FALSE : TRUE;
            return TRUE;
        default:
            return CDialog::OnNotify(wParam, lParam, pResult);
    }
}

BOOL CPropertyPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    // OK and Cancel belong to the sheet; a page never ends itself.
    return CWnd::OnCommand(wParam, lParam);
}

// ---------------------------------------------------------------------------
// CPropertySheet

CPropertySheet::CPropertySheet(const wchar_t* pszCaption, CWnd* pParentWnd, UINT iSelectPage)
    : m_psh(), m_strCaption(pszCaption) {
    m_psh.dwSize = sizeof(m_psh);
    // No caption "?" button unless the application adds one.
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | PSH_HASHELP | PSH_NOCONTEXTHELP;
    m_psh.nStartPage = iSelectPage;
    if (pParentWnd) m_hWndOwner = pParentWnd->m_hWnd;
}

CPropertySheet::~CPropertySheet() = default;

void CPropertySheet::AddPage(CPropertyPage* pPage) {
    pPage->m_pSheet = this;
    m_pages.push_back(pPage);
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    if (m_hWnd) {
        HWND hPage = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
        for (CPropertyPage* pPage : m_pages)
            if (pPage->m_hWnd && pPage->m_hWnd == hPage) return pPage;
        return nullptr;
    }
    return m_psh.nStartPage < m_pages.size() ? m_pages[m_psh.nStartPage] : nullptr;
}

int CPropertySheet::GetActiveIndex() const {
    CPropertyPage* pActive = GetActivePage();
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == pActive) return static_cast<int>(i);
    return -1;
}

BOOL CPropertySheet::SetActivePage(int nPage) {
    if (!m_hWnd) {
        m_psh.nStartPage = static_cast<UINT>(nPage);
        return TRUE;
    }
    return static_cast<BOOL>(SendMessage(PSM_SETCURSEL, static_cast<WPARAM>(nPage), 0));
}

BOOL CPropertySheet::OnInitDialog() {
    return TRUE;
}

int CALLBACK CPropertySheet::SheetCallback(HWND hWnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_pSheetInInit) {
        CPropertySheet* pSheet = g_pSheetInInit;
        g_pSheetInInit = nullptr;
        pSheet->SubclassWindow(hWnd);
        pSheet->OnInitDialog();
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal() {
    m_pageHeaders.clear();
    for (CPropertyPage* pPage : m_pages) m_pageHeaders.push_back(pPage->m_psp);
    m_psh.hwndParent = m_hWndOwner;
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pszCaption = m_strCaption;
    m_psh.nPages = static_cast<UINT>(m_pageHeaders.size());
    m_psh.ppsp = m_pageHeaders.data();
    m_psh.pfnCallback = &CPropertySheet::SheetCallback;

    g_pSheetInInit = this;
    INT_PTR result = ::PropertySheetW(&m_psh);
    g_pSheetInInit = nullptr;
    if (m_hWnd) Detach();
    m_pfnSuper = nullptr;
    if (result < 0) return -1;
    return result > 0 ? IDOK : IDCANCEL;
}

// ---------------------------------------------------------------------------
// CWaitCursor

CWaitCursor::CWaitCursor() : m_hPrevCursor(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}

CWaitCursor::~CWaitCursor() {
    ::SetCursor(m_hPrevCursor);
}
