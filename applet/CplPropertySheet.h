// The applet's one window: the modal property sheet with the device pages.
#pragma once

#include "framework/Afx.h"
#include "pages/PageDisplayDlg.h"
#include "pages/KeyLayerStart.h"
#include "pages/PageFactoryDlg.h"
#include "pages/PageKeysDlg.h"
#include "pages/PageLedsDlg.h"
#include "pages/PageSwitchesDlg.h"
#include "pages/PageTemperaturesDlg.h"
#include "report/PageReportDlg.h"
#include "transfer/PageRavlaDlg.h"
#include "transfer/PageUserDlg.h"
#include "transfer/PageVersionsDlg.h"

class CCplPropertySheet : public CPropertySheet {
public:
    CCplPropertySheet(const wchar_t* pszCaption, HWND hWndOwner);

    // Member pages in construction order; AddPages decides the tab order.
    CPageDisplayDlg m_pageDisplay;
    CPageLedsDlg m_pageLeds;
    CPageKeysDlg m_pageKeys;
    CPageUserDlg m_pageUser;
    CPageSwitchesDlg m_pageSwitches;
    CPageRavlaDlg m_pageRavla;
    CPageTemperaturesDlg m_pageTemperatures;
    CPageFactoryDlg m_pageFactory;
    CPageVersionsDlg m_pageVersions;
    CPageReportDlg m_pageReport;

    // The key layer before the sheet changed it, for the Keys and LEDs pages.
    CKeyLayerStart m_keyLayerStart;

    BOOL OnInitDialog() override;

    // System menu command that shows the active page's help topic.
    static constexpr UINT kHelpCommand = 0x20;

protected:
    void OnSysCommand(UINT nID, LPARAM lParam);
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    DECLARE_MESSAGE_MAP()

private:
    void AddPages();
    const wchar_t* ActivePageTopic() const;
};
