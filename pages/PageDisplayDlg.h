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

    // Brightness and contrast work alike: each is one of these, with the
    // controls and device operations that serve it and what the page knows
    // of it. Values are percent, the same unit in field, slider and device.
    struct CValue {
        struct CIds {
            int nGroup, nIcon, nAuto, nField, nDownLabel, nUpLabel, nDown, nUp, nSlider;
        };
        struct COps {
            BOOL(WINAPI* pfnGet)(BYTE*);
            BOOL(WINAPI* pfnGetFactory)(BYTE*);
            BOOL(WINAPI* pfnSet)(BYTE);
            BOOL(WINAPI* pfnSetDefault)(BYTE);
            UINT nIdsSetFailed;  // the message when a set fails
        };
        CValue(const CIds& ids, const COps& ops) : m_ids(ids), m_ops(ops) {}

        const CIds m_ids;
        const COps m_ops;
        CRepeatArrowButton m_btnDown;
        CRepeatArrowButton m_btnUp;
        BYTE m_nValue = 50;  // exchanged with the field
        // Read at the first activation; Cancel sets it again.
        BYTE m_nInitial = 0;
        BOOL m_bInitial = FALSE;
        // The last value the page set; OK makes it the default.
        BYTE m_nSet = 0;
        BOOL m_bSet = FALSE;
        // Read at each activation; without it Auto is unavailable and
        // nothing compares with or sets a factory value.
        BYTE m_nFactory = 0;
        BOOL m_bFactory = FALSE;

        // A value the user set and the device took.
        void Remember(BYTE nValue) {
            m_nValue = nValue;
            m_nSet = nValue;
            m_bSet = TRUE;
        }
    };

    CValue m_brightness;
    CValue m_contrast;
    UINT_PTR m_nTimerId;
    // The page is writing a field itself: the change handler must not send
    // the value to the device again.
    bool m_bShowingValues;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
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
    void OnOK() override;
    void OnCancel() override;
    DECLARE_MESSAGE_MAP()

private:
    void InitSlider(CValue& value);
    void ConfigureArrows(CValue& value);
    void ReadAtActivation(CValue& value, bool bFirst);
    void Refresh(CValue& value);
    void OnAuto(CValue& value);
    void EnableManual(const CValue& value);
    void Step(CValue& value, int nDelta);
    void OnChangeField(CValue& value);
    BOOL SetValue(CValue& value, BYTE nValue);
    void ShowValue(const CValue& value, BYTE nValue);
    void EnableControls(std::initializer_list<int> ids, BOOL bEnable);
};
