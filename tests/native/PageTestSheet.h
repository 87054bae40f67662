// A sheet with one page under test and a second page to leave it for, the
// way the applet's sheet shows pages.
#pragma once

#include <functional>

#include "AppletTestEnv.h"
#include "pages/PageTemperaturesDlg.h"

template <class TPage>
class CPageTestSheet : public CPropertySheet {
public:
    CPageTestSheet() : CPropertySheet(L"Test") {
        AddPage(&m_page);
        AddPage(&m_other);
    }
    TPage m_page;
    CPageTemperaturesDlg m_other;
};

// Opens a new sheet with the page, runs fn(sheet, page) and closes the sheet
// with OK or Cancel.
template <class TPage>
void RunPageSheet(const std::function<void(HWND hSheet, HWND hPage)>& fn, bool bOk = false) {
    CPageTestSheet<TPage> sheet;
    headless::ScopedModalHandler handler([&](HWND hSheet) {
        fn(hSheet, headless::ActivePage(hSheet));
        if (bOk)
            headless::PressOk(hSheet);
        else
            headless::PressCancel(hSheet);
    });
    sheet.DoModal();
}

inline std::wstring ItemText(HWND hPage, int nId) {
    return headless::TextOf(GetDlgItem(hPage, nId));
}

inline bool ItemEnabled(HWND hPage, int nId) {
    return IsWindowEnabled(GetDlgItem(hPage, nId)) != FALSE;
}
