// The "LEDs" page: one LED of one layer, or all LEDs, switched off, blinking
// or on at once; Cancel puts back the four layers as the page first found them.
#pragma once

#include "framework/Afx.h"

class CPageLedsDlg : public CPropertyPage {
public:
    CPageLedsDlg();

    static constexpr int kLayers = 4;
    static constexpr DWORD kMatrixBytes = 32;

    // One layer's LED matrix as read at the first activation.
    struct CSavedLayer {
        BYTE abMatrix[kMatrixBytes];
        BOOL bValid;
    };

    BYTE m_nLayer;  // 1-based, as the page shows it
    BYTE m_nLed;
    BOOL m_bAllLeds;
    BYTE m_nState;
    CSavedLayer m_aSavedLayers[kLayers];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    void OnCancel() override;
    void OnChangeLed();
    void OnChangeLayer();
    void OnStateOff();
    void OnStateSlow();
    void OnStateFast();
    void OnStateOn();
    void OnAllLeds();
    DECLARE_MESSAGE_MAP()

private:
    void RefreshLedState();
    void ApplyLedState(BYTE nState);
    void ShowState(int nState);
    void ShowDeviceState();
};
