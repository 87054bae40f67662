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
    // Either page may change the key layer; Cancel puts back the first one.
    m_pageKeys.ShareKeyLayerStart(&m_keyLayerStart);
    m_pageLeds.ShareKeyLayerStart(&m_keyLayerStart);
    AddPages();
}

void CCplPropertySheet::AddPages() {
    // The order of the calls is the tab order; the first page added is shown first.
    AddPage(&m_pageDisplay);
    // A failed count means no keys, silently.
    BYTE nKeys = 0;
    if (IvroGetKeyCount(&nKeys) && nKeys > 0) AddPage(&m_pageKeys);
    // A failed count query counts as no LEDs.
    BYTE nLeds = 0;
    if (IvroGetLedCount(&nLeds) && nLeds > 0) AddPage(&m_pageLeds);
    AddPage(&m_pageSwitches);
    // A Ferrow has no expansion slots.
    if (GetCplApp().m_nDeviceType != CCplApp::kDeviceFerrow) AddPage(&m_pageRavla);
    AddPage(&m_pageTemperatures);
    AddPage(&m_pageUser);
    AddPage(&m_pageFactory);
    AddPage(&m_pageVersions);
    AddPage(&m_pageReport);  // always the last page
}

const wchar_t* CCplPropertySheet::ActivePageTopic() const {
    struct PageTopic {
        const CPropertyPage* pPage;
        const wchar_t* pszTopic;
    };
    // clang-format off
    const PageTopic topics[] = {
        {&m_pageDisplay, kTopicDisplay},
        {&m_pageKeys, kTopicKeys},
        {&m_pageLeds, kTopicLeds},
        {&m_pageSwitches, kTopicSwitches},
        {&m_pageRavla, kTopicRavla},
        {&m_pageTemperatures, kTopicTemperatures},
        {&m_pageUser, kTopicUserSettings},
        {&m_pageFactory, kTopicFactorySettings},
        {&m_pageVersions, kTopicVersions},
        {&m_pageReport, kTopicReport},
    };
    // clang-format on
    const CPropertyPage* pActive = GetActivePage();
    for (const PageTopic& topic : topics)
        if (pActive == topic.pPage) return topic.pszTopic;
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
