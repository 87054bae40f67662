#include "applet/CplPropertySheet.h"

#include "applet/CplApp.h"
#include "applet/Help.h"
#include "device/TmIvro.h"
#include "res/resource.h"

CCplPropertySheet::CCplPropertySheet(const wchar_t* pszCaption, HWND hWndOwner)
    : CPropertySheet(pszCaption) {
    SetOwnerWindow(hWndOwner);
    m_psh.dwFlags |= PSH_NOAPPLYNOW;
    m_psh.dwFlags &= ~(PSH_HASHELP | PSH_USEHICON | PSH_USEICONID);
    AddPages();
}

void CCplPropertySheet::AddPages() {
    // The order of the calls is the tab order; the first page added is shown first.
    AddPage(&m_pageDisplay);
    // A failed count means no keys, silently.
    BYTE nKeys = 0;
    if (IvroGetKeyCount(&nKeys) && nKeys > 0) AddPage(&m_pageKeys);
    AddPage(&m_pageTemperatures);
    AddPage(&m_pageVersions);
}

const wchar_t* CCplPropertySheet::ActivePageTopic() const {
    const CPropertyPage* pActive = GetActivePage();
    if (pActive == &m_pageDisplay) return kTopicDisplay;
    if (pActive == &m_pageKeys) return kTopicKeys;
    if (pActive == &m_pageTemperatures) return kTopicTemperatures;
    if (pActive == &m_pageVersions) return kTopicVersions;
    return nullptr;
}

BOOL CCplPropertySheet::OnInitDialog() {
    const CCplApp& app = GetCplApp();
    if (app.m_bHelpAvailable) ModifyStyleEx(0, WS_EX_CONTEXTHELP, SWP_FRAMECHANGED);
    BOOL bResult = CPropertySheet::OnInitDialog();

    HMENU hMenu = GetSystemMenu(FALSE);
    if (hMenu && app.m_bHelpAvailable) {
        CString text;
        text.LoadString(IDS_HELP_MENU);
        ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(hMenu, MF_STRING, kHelpCommand, text);
    }
    return bResult;
}

BEGIN_MESSAGE_MAP(CCplPropertySheet, CPropertySheet)
ON_WM_SYSCOMMAND()
ON_WM_HELPINFO()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

void CCplPropertySheet::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == kHelpCommand)
        ShowHelp(m_hWnd, nullptr, ActivePageTopic());
    else
        Default();
}

BOOL CCplPropertySheet::OnHelpInfo(HELPINFO* pHelpInfo) {
    ShowHelp(m_hWnd, pHelpInfo, ActivePageTopic());
    return static_cast<BOOL>(Default());
}

void CCplPropertySheet::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc.GetSafeHdc(), x, y, GetIcon(TRUE));
}

HCURSOR CCplPropertySheet::OnQueryDragIcon() {
    return static_cast<HCURSOR>(GetIcon(TRUE));
}
