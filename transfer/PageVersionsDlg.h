// The "Versionen" page: BIOS, SMC and KVC versions; update, backup and
// firmware info of the BIOS and the on-board FPGAs.
#pragma once

#include "framework/Afx.h"

class CPageVersionsDlg : public CPropertyPage {
public:
    CPageVersionsDlg();

    CString m_strBiosVersion;
    CString m_strSmcVersion;
    CString m_strKvcVersion;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    void OnBiosUpdate();
    void OnBiosSave();
    void OnFpgaFirmware();
    void OnFpgaUpdate();
    void OnFpgaSave();
    void OnFpga1Firmware();
    void OnFpga1Update();
    void OnFpga1Save();
    void OnInfo();
    DECLARE_MESSAGE_MAP()

private:
    void ShowFpgaRow(DWORD nStatusItem, DWORD nInfoItem, int nFirmwareId, int nUpdateId,
                     int nSaveId);
};
