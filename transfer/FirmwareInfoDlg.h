// The "Firmware" dialog: info, boot status and extended info of one
// firmware as the device reports them.
#pragma once

#include "framework/Afx.h"

class CFirmwareInfoDlg : public CDialog {
public:
    CFirmwareInfoDlg();

    // 0 on-board FPGA, 1 Ravla slot 1, 2 Ravla slot 2, 3 on-board FPGA1.
    int m_nWhich;
    CString m_strInfo;
    CString m_strStatus;
    CString m_strExtInfo;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    DECLARE_MESSAGE_MAP()
};

// "Firmware..." of a page: message 1166 first when the firmware was
// downloaded since the module was loaded (the device still describes the old
// one), then the dialog for nWhich.
void ShowFirmwareInfo(BOOL bUpdated, int nWhich);
