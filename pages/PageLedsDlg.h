// The "LEDs" page: one LED of one layer, or all LEDs, switched off, blinking
// or on at once; Cancel puts back the four layers as the page first found them.
#pragma once

#include "framework/Afx.h"
#include "pages/KeyLayerStart.h"

class CPageLedsDlg : public CPropertyPage {
public:
    CPageLedsDlg();

    // The sheet's record of the first key layer, shared with the Keys page;
    // without one the page keeps its own.
    void ShareKeyLayerStart(CKeyLayerStart* pStart) { m_pLayerStart = pStart; }

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
    bool FieldInRange(int nId, UINT nMin, UINT nMax) const;

    CKeyLayerStart m_ownLayerStart;
    CKeyLayerStart* m_pLayerStart;
};
