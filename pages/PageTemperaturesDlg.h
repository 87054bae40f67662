// The "Temperaturen" page: CPU and board temperatures, refreshed every second.
#pragma once

#include "framework/Afx.h"

class CPageTemperaturesDlg : public CPropertyPage {
public:
    CPageTemperaturesDlg();

    // The last good reading of a sensor, in degrees Celsius; "?" until the
    // device has answered once.
    struct CReading {
        int nDegrees = 0;
        bool bRead = false;
    };
    CReading m_cpu;
    CReading m_board;
    UINT_PTR m_nTimer;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    void OnTimer(UINT_PTR nIDEvent);
    DECLARE_MESSAGE_MAP()

private:
    void Refresh();
    void Read(DWORD nSensor, CReading& reading);
    static void ExchangeReading(CDataExchange* pDX, int nIdc, const CReading& reading);
};
