// The application framework: application object, windows with static message
// maps, dialogs with data exchange, property pages and the modal property
// sheet. Written against Win32 only; on Linux the headless backend provides
// that API in memory.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <map>
#include <memory>
#include <vector>

#include "framework/AfxString.h"

class CWnd;
class CDataExchange;

// ---------------------------------------------------------------------------
// Application object and module state

class CWinApp {
public:
    explicit CWinApp(const wchar_t* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The caption of every framework message box.
    const wchar_t* m_pszAppName;
    void SetAppName(const wchar_t* pszName);

private:
    CString m_strAppName;
    CWinApp* m_pPrevApp;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxGetInstanceHandle();
void AfxSetResourceHandle(HINSTANCE hInstance);

int AfxMessageBox(const wchar_t* pszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);

// ---------------------------------------------------------------------------
// Static message maps
//
// An entry binds a message (and for WM_COMMAND a notification code and a
// control id range) to a thunk that calls the handler with its own signature.

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;
    UINT nCode;
    UINT nID;
    UINT nLastID;
    LRESULT (*pfnThunk)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

namespace afx_thunk {
template <class T, void (T::*F)()>
LRESULT Void(CWnd* p, WPARAM, LPARAM) {
    (static_cast<T*>(p)->*F)();
    return 0;
}
template <class T, void (T::*F)(UINT_PTR)>
LRESULT Timer(CWnd* p, WPARAM w, LPARAM) {
    (static_cast<T*>(p)->*F)(static_cast<UINT_PTR>(w));
    return 0;
}
template <class T, void (T::*F)(UINT, LPARAM)>
LRESULT SysCommand(CWnd* p, WPARAM w, LPARAM l) {
    (static_cast<T*>(p)->*F)(static_cast<UINT>(w), l);
    return 0;
}
template <class T, BOOL (T::*F)(HELPINFO*)>
LRESULT HelpInfo(CWnd* p, WPARAM, LPARAM l) {
    return (static_cast<T*>(p)->*F)(reinterpret_cast<HELPINFO*>(l));
}
template <class T, HCURSOR (T::*F)()>
LRESULT QueryDragIcon(CWnd* p, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((static_cast<T*>(p)->*F)());
}
template <class T, HBRUSH (T::*F)(HDC, CWnd*, UINT), UINT nCtlColor>
LRESULT CtlColor(CWnd* p, WPARAM w, LPARAM l);
template <class T, LRESULT (T::*F)(WPARAM, LPARAM)>
LRESULT Message(CWnd* p, WPARAM w, LPARAM l) {
    return (static_cast<T*>(p)->*F)(w, l);
}
template <class T, void (T::*F)(UINT, UINT, CWnd*)>
LRESULT Scroll(CWnd* p, WPARAM w, LPARAM l);
template <class T, void (T::*F)(UINT, POINT)>
LRESULT Mouse(CWnd* p, WPARAM w, LPARAM l) {
    // Client coordinates are signed 16-bit values.
    POINT pt = {static_cast<SHORT>(LOWORD(l)), static_cast<SHORT>(HIWORD(l))};
    (static_cast<T*>(p)->*F)(static_cast<UINT>(w), pt);
    return 0;
}
template <class T, void (T::*F)(CWnd*)>
LRESULT CaptureChanged(CWnd* p, WPARAM w, LPARAM l);
}  // namespace afx_thunk

#define DECLARE_MESSAGE_MAP()                     \
protected:                                        \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)          \
    const AFX_MSGMAP* theClass::GetMessageMap() const { \
        return GetThisMessageMap();                     \
    }                                                   \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {   \
        typedef theClass ThisClass;                     \
        typedef baseClass TheBaseClass;                 \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                         \
    { 0, 0, 0, 0, nullptr }                                                                       \
    }                                                                                             \
    ;                                                                                             \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                           \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, 0, (UINT)(id), (UINT)(id), &afx_thunk::Void<ThisClass, &ThisClass::memberFxn>},
#define ON_CONTROL(code, id, memberFxn)                \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), \
     &afx_thunk::Void<ThisClass, &ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, &afx_thunk::Timer<ThisClass, &ThisClass::OnTimer>},
#define ON_WM_SYSCOMMAND() \
    {WM_SYSCOMMAND, 0, 0, 0, &afx_thunk::SysCommand<ThisClass, &ThisClass::OnSysCommand>},
#define ON_WM_HELPINFO() \
    {WM_HELP, 0, 0, 0, &afx_thunk::HelpInfo<ThisClass, &ThisClass::OnHelpInfo>},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, &afx_thunk::Void<ThisClass, &ThisClass::OnPaint>},
#define ON_WM_QUERYDRAGICON() \
    {WM_QUERYDRAGICON, 0, 0, 0, &afx_thunk::QueryDragIcon<ThisClass, &ThisClass::OnQueryDragIcon>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &afx_thunk::Void<ThisClass, &ThisClass::OnDestroy>},
// HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) for every WM_CTLCOLOR* message.
#define TM_CTLCOLOR_ENTRY(msg, n) \
    {msg, 0, 0, 0, &afx_thunk::CtlColor<ThisClass, &ThisClass::OnCtlColor, n>},
#define ON_WM_CTLCOLOR()                                        \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORMSGBOX, CTLCOLOR_MSGBOX)       \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLOREDIT, CTLCOLOR_EDIT)           \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORLISTBOX, CTLCOLOR_LISTBOX)     \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORBTN, CTLCOLOR_BTN)             \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORDLG, CTLCOLOR_DLG)             \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORSCROLLBAR, CTLCOLOR_SCROLLBAR) \
    TM_CTLCOLOR_ENTRY(WM_CTLCOLORSTATIC, CTLCOLOR_STATIC)
#define ON_WM_HSCROLL() {WM_HSCROLL, 0, 0, 0, &afx_thunk::Scroll<ThisClass, &ThisClass::OnHScroll>},
#define ON_WM_VSCROLL() {WM_VSCROLL, 0, 0, 0, &afx_thunk::Scroll<ThisClass, &ThisClass::OnVScroll>},
#define ON_WM_LBUTTONDOWN() \
    {WM_LBUTTONDOWN, 0, 0, 0, &afx_thunk::Mouse<ThisClass, &ThisClass::OnLButtonDown>},
#define ON_WM_LBUTTONDBLCLK() \
    {WM_LBUTTONDBLCLK, 0, 0, 0, &afx_thunk::Mouse<ThisClass, &ThisClass::OnLButtonDblClk>},
#define ON_WM_LBUTTONUP() \
    {WM_LBUTTONUP, 0, 0, 0, &afx_thunk::Mouse<ThisClass, &ThisClass::OnLButtonUp>},
#define ON_WM_CAPTURECHANGED()   \
    {WM_CAPTURECHANGED, 0, 0, 0, \
     &afx_thunk::CaptureChanged<ThisClass, &ThisClass::OnCaptureChanged>},
#define ON_MESSAGE(message, memberFxn) \
    {(UINT)(message), 0, 0, 0, &afx_thunk::Message<ThisClass, &ThisClass::memberFxn>},

// ---------------------------------------------------------------------------
// Windows

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The framework object of a window it created or wraps (nullptr if none).
    static CWnd* FromHandlePermanent(HWND hWnd);
    void Attach(HWND hWnd);
    HWND Detach();

    // Child control of a dialog; the wrapper lives as long as this window.
    CWnd* GetDlgItem(int nID) const;

    void SetWindowText(const wchar_t* pszText);
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsIconic() const;
    void SetDlgItemText(int nID, const wchar_t* pszText);
    int GetDlgItemText(int nID, CString& rString) const;
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE);
    UINT GetDlgItemInt(int nID, BOOL* pbTranslated = nullptr, BOOL bSigned = TRUE) const;
    void CheckDlgButton(int nID, UINT nCheck);
    UINT IsDlgButtonChecked(int nID) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    DWORD GetExStyle() const;
    HMENU GetSystemMenu(BOOL bRevert) const;
    void GetClientRect(LPRECT lpRect) const;
    void Invalidate(BOOL bErase = TRUE);
    HICON GetIcon(BOOL bBigIcon) const;
    CWnd* SetFocus();
    CWnd* GetParent() const;
    int MessageBox(const wchar_t* pszText, const wchar_t* pszCaption = nullptr, UINT nType = MB_OK);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Message processing. Handlers reach the default processing through
    // Default(): the window procedure this one replaced, or for a dialog
    // procedure the dialog manager.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // A message the parent reflects back to this control (WM_DRAWITEM);
    // TRUE if handled, with the parent's result in *pResult.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void DoDataExchange(CDataExchange* pDX);
    // The default colours of a WM_CTLCOLOR* message, set into hDC at once, so
    // that a handler can change them before it returns the brush.
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor);

    // Replaces the window procedure of an existing window by the framework's.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    virtual void PostNcDestroy() {}

    WNDPROC m_pfnSuper = nullptr;  // window procedure replaced by SubclassWindow
    bool m_bDialogProc = false;    // messages come through a dialog procedure
    bool m_bDefaultRequested = false;

    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Shared body of the dialog procedures; pAttach is the object that a
    // WM_INITDIALOG belongs to.
    static INT_PTR DialogProcImpl(CWnd* pAttach, HWND hWnd, UINT message, WPARAM wParam,
                                  LPARAM lParam);
    friend class CPropertySheet;

private:
    struct LastMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    LastMessage m_lastMsg = {0, 0, 0};
    mutable std::map<int, std::unique_ptr<CWnd>> m_children;
};

// A push button; an owner-drawn one draws itself in DrawItem, which the
// parent's WM_DRAWITEM reaches through OnChildNotify.
class CButton : public CWnd {
public:
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

// ---------------------------------------------------------------------------
// Data exchange and validation

class CUserException {};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    HWND LastControl() const { return m_hWndLastControl; }
    // Shows nothing itself: the caller has shown its prompt. Puts the focus
    // on the last control and ends the exchange.
    [[noreturn]] void Fail();

private:
    HWND m_hWndLastControl = nullptr;
    bool m_bEditLastControl = false;
};

void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, BYTE& value);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
void DDV_MinMaxByte(CDataExchange* pDX, BYTE value, BYTE minVal, BYTE maxVal);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);

// Sets a window's text only when it differs, so that unchanged values cause
// no change notification and no flicker.
void AfxSetWindowText(HWND hWnd, const wchar_t* pszNew);

// ---------------------------------------------------------------------------
// Dialogs

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    virtual BOOL OnInitDialog();

    UINT m_nIDHelp;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT nIDTemplate);
    PROPSHEETPAGEW m_psp;

    virtual BOOL OnSetActive();
    virtual BOOL OnKillActive();
    virtual BOOL OnApply();
    virtual void OnReset();
    virtual BOOL OnQueryCancel();
    void OnOK() override;
    void OnCancel() override;
    void SetModified(BOOL bChanged = TRUE);
    CPropertySheet* GetParentSheet() const { return m_pSheet; }

protected:
    // Before the page's first PSN_SETACTIVE (its dialog may already exist).
    bool IsFirstSetActive() const { return m_bFirstSetActive; }
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK AfxPageDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    CPropertySheet* m_pSheet = nullptr;
    bool m_bFirstSetActive = true;
};

class CPropertySheet : public CWnd {
public:
    CPropertySheet(const wchar_t* pszCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
    ~CPropertySheet() override;

    PROPSHEETHEADERW m_psh;

    void AddPage(CPropertyPage* pPage);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int nPage) const { return m_pages[static_cast<size_t>(nPage)]; }
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int nPage);
    void SetOwnerWindow(HWND hWndOwner) { m_hWndOwner = hWndOwner; }
    virtual INT_PTR DoModal();
    virtual BOOL OnInitDialog();

private:
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);
    CString m_strCaption;
    HWND m_hWndOwner = nullptr;
    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageHeaders;
};

// ---------------------------------------------------------------------------
// Helpers

// Shows the wait cursor for its lifetime.
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR m_hPrevCursor;
};

template <class T, void (T::*F)(UINT, UINT, CWnd*)>
LRESULT afx_thunk::Scroll(CWnd* p, WPARAM w, LPARAM l) {
    CWnd* pBar = CWnd::FromHandlePermanent(reinterpret_cast<HWND>(l));
    if (!pBar && l) pBar = p->GetDlgItem(GetDlgCtrlID(reinterpret_cast<HWND>(l)));
    (static_cast<T*>(p)->*F)(LOWORD(w), HIWORD(w), pBar);
    return 0;
}

template <class T, void (T::*F)(CWnd*)>
LRESULT afx_thunk::CaptureChanged(CWnd* p, WPARAM, LPARAM l) {
    (static_cast<T*>(p)->*F)(CWnd::FromHandlePermanent(reinterpret_cast<HWND>(l)));
    return 0;
}

// Painting device context of WM_PAINT for its lifetime.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd)
        : m_hWnd(pWnd->m_hWnd), m_ps(), m_hDC(::BeginPaint(m_hWnd, &m_ps)) {}
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;
    HDC GetSafeHdc() const { return m_hDC; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps;
    HDC m_hDC;
};

template <class T, HBRUSH (T::*F)(HDC, CWnd*, UINT), UINT nCtlColor>
LRESULT afx_thunk::CtlColor(CWnd* p, WPARAM w, LPARAM l) {
    HWND hCtl = reinterpret_cast<HWND>(l);
    CWnd* pCtl = CWnd::FromHandlePermanent(hCtl);
    if (!pCtl && hCtl) pCtl = p->GetDlgItem(GetDlgCtrlID(hCtl));
    return reinterpret_cast<LRESULT>(
        (static_cast<T*>(p)->*F)(reinterpret_cast<HDC>(w), pCtl, nCtlColor));
}
