// The "Display" page: the panel's brightness and contrast, changed live on
// the device; OK makes the last values set the defaults, Cancel puts back
// the values found when the page was first shown.
#pragma once

#include <initializer_list>

#include "applet/RepeatArrowButton.h"
#include "framework/Afx.h"

class CPageDisplayDlg : public CPropertyPage {
public:
    CPageDisplayDlg();

    CRepeatArrowButton m_btnContrastUp;
    CRepeatArrowButton m_btnContrastDown;
    CRepeatArrowButton m_btnBrightnessUp;
    CRepeatArrowButton m_btnBrightnessDown;

    BYTE m_nBrightness;
    BYTE m_nContrast;
    UINT_PTR m_nTimerId;
    BYTE m_nInitialBrightness;
    BYTE m_nInitialContrast;
    BOOL m_bInitialBrightness;
    BOOL m_bInitialContrast;
    BYTE m_nSetBrightness;
    BYTE m_nSetContrast;
    BOOL m_bBrightnessSet;
    BOOL m_bContrastSet;
    BYTE m_nFactoryContrast;
    BYTE m_nFactoryBrightness;
    // The factory value was read at the last activation; without it Auto
    // is unavailable and nothing compares with or sets a factory value.
    BOOL m_bFactoryContrast;
    BOOL m_bFactoryBrightness;
    // The page is writing a field itself: the change handler must not send
    // the value to the device again.
    bool m_bShowingValues;

    BOOL SetBrightness(BYTE nValue);
    BOOL SetContrast(BYTE nValue);
    void ShowBrightness(BYTE nValue);
    void ShowContrast(BYTE nValue);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent);
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    void OnAutoBrightness();
    void OnAutoContrast();
    void OnBrightnessDown();
    void OnBrightnessUp();
    void OnContrastDown();
    void OnContrastUp();
    void OnChangeBrightness();
    void OnChangeContrast();
    DECLARE_MESSAGE_MAP()

private:
    struct CValueInfo;
    static const CValueInfo kBrightness;
    static const CValueInfo kContrast;

    void InitSlider(const CValueInfo& info);
    void ConfigureArrows(const CValueInfo& info);
    void ReadAtActivation(const CValueInfo& info, bool bFirst);
    void OnAuto(const CValueInfo& info);
    void EnableManual(const CValueInfo& info);
    void Step(const CValueInfo& info, int nDelta);
    void OnChangeField(const CValueInfo& info);
    void Refresh(const CValueInfo& info);
    BOOL SetValue(const CValueInfo& info, BYTE nValue);
    void Remember(const CValueInfo& info, BYTE nValue);
    void ShowValue(const CValueInfo& info, BYTE nValue);
    void EnableControls(std::initializer_list<int> ids, BOOL bEnable);
};
