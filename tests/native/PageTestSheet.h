// A sheet with one page under test and a second page to leave it for, the
// way the applet's sheet shows pages.
#pragma once

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "AppletTestEnv.h"
#include "pages/PageTemperaturesDlg.h"
#include "res/resource.h"

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

// Ticks a transfer dialog until it has finished (its button offers to close).
inline void WaitForTransfer(HWND hDlg) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    HWND hButton = GetDlgItem(hDlg, IDC_TRANSFER_BUTTON);
    while (headless::TextOf(hButton) != L"Schlie\u00DFen" && !headless::IsModalEnded(hDlg) &&
           std::chrono::steady_clock::now() < deadline) {
        headless::FireTimer(hDlg, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Opens a new sheet with the page, runs fn(sheet, page) and closes the sheet
// with OK or Cancel. Dialogs that the page opens are recorded by template id
// in *pOpened and go to onDialog, or else are closed with OK, a transfer
// dialog once it has finished.
template <class TPage>
void RunPageSheet(const std::function<void(HWND hSheet, HWND hPage)>& fn, bool bOk = false,
                  std::vector<int>* pOpened = nullptr,
                  const std::function<void(HWND hDlg)>& onDialog = nullptr) {
    CPageTestSheet<TPage> sheet;
    headless::ScopedModalHandler handler([&](HWND hWnd) {
        if (!headless::ModalRuns().back().sheet) {
            int nTemplate = headless::TemplateIdOf(hWnd);
            if (pOpened) pOpened->push_back(nTemplate);
            if (onDialog) return onDialog(hWnd);
            if (nTemplate == IDD_TRANSFER) WaitForTransfer(hWnd);
            headless::PressOk(hWnd);
            return;
        }
        fn(hWnd, headless::ActivePage(hWnd));
        if (bOk)
            headless::PressOk(hWnd);
        else
            headless::PressCancel(hWnd);
    });
    sheet.DoModal();
}

inline std::wstring ItemText(HWND hPage, int nId) {
    return headless::TextOf(GetDlgItem(hPage, nId));
}

inline bool ItemEnabled(HWND hPage, int nId) {
    return IsWindowEnabled(GetDlgItem(hPage, nId)) != FALSE;
}
