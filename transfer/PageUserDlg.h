// The "Anwendereinstellungen" page: the user boot logo (info, resolution,
// update and backup), the user serial ID and the user LED, which is switched
// at once and put back when the sheet is cancelled.
#pragma once

#include "framework/Afx.h"

class CPageUserDlg : public CPropertyPage {
public:
    CPageUserDlg();

    CString m_strLogoInfo;
    CString m_strLogoResolution;
    CButton m_btnUserLed;
    BOOL m_bUserLed;
    CString m_strSerialId;
    BOOL m_bUserLedAtStart;
    BOOL m_bUserLedSaved;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    void OnCancel() override;
    void OnLogoUpdate();
    void OnLogoSave();
    void OnUserLed();
    DECLARE_MESSAGE_MAP()
};
