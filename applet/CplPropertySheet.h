// The applet's one window: the modal property sheet with the device pages.
#pragma once

#include "framework/Afx.h"
#include "pages/PageDisplayDlg.h"
#include "pages/PageKeysDlg.h"
#include "pages/PageTemperaturesDlg.h"
#include "transfer/PageVersionsDlg.h"

class CCplPropertySheet : public CPropertySheet {
public:
    CCplPropertySheet(const wchar_t* pszCaption, HWND hWndOwner);

    // Member pages in construction order; AddPages decides the tab order.
    CPageDisplayDlg m_pageDisplay;
    CPageKeysDlg m_pageKeys;
    CPageTemperaturesDlg m_pageTemperatures;
    CPageVersionsDlg m_pageVersions;

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
