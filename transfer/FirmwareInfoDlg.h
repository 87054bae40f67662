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
