// The "Temperaturen" page: CPU and board temperatures, refreshed every second.
#pragma once

#include "framework/Afx.h"

class CPageTemperaturesDlg : public CPropertyPage {
public:
    CPageTemperaturesDlg();

    int m_nCpuTemperature;
    int m_nBoardTemperature;
    UINT_PTR m_nTimer;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
    void Refresh();
};
