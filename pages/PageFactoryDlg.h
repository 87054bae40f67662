// The "Fabrikseinstellungen" page: the data stored in the device at
// production, read at every activation.
#pragma once

#include "framework/Afx.h"

class CPageFactoryDlg : public CPropertyPage {
public:
    CPageFactoryDlg();

    CString m_strDisplayId;
    CString m_strVersion;
    CString m_strDeviceId;
    CString m_strContrastMin;
    CString m_strContrastMax;
    CString m_strContrastDef;
    CString m_strCompatId;
    CString m_strBrightnessMin;
    CString m_strBrightnessMax;
    CString m_strBrightnessDef;
    CString m_strMaterialNo;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;

private:
    struct CItem;
    static const CItem kItems[];
};
