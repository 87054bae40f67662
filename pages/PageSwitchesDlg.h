// The "Schalter" page: the position of the mode/node switch pair, refreshed
// four times a second.
#pragma once

#include "framework/Afx.h"

class CPageSwitchesDlg : public CPropertyPage {
public:
    CPageSwitchesDlg();

    CString m_strLow;
    CString m_strHigh;
    UINT_PTR m_nTimer;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
    void Refresh();
    void ShowMeaning(BYTE nPosition);
};
