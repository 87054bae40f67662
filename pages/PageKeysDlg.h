// The "Tasten" page: the key configuration in the device (status, info,
// update, backup, key-code lock), the key layer and the key matrix dialog.
#pragma once

#include <initializer_list>

#include "framework/Afx.h"
#include "pages/KeyLayerStart.h"

class CPageKeysDlg : public CPropertyPage {
public:
    CPageKeysDlg();

    // The sheet's record of the first key layer, shared with the LEDs page;
    // without one the page keeps its own.
    void ShareKeyLayerStart(CKeyLayerStart* pStart) { m_pLayerStart = pStart; }

    BYTE m_nLayer;  // shown 1-based; the device counts from 0
    CString m_strStatus;
    BOOL m_bKeyLock;
    UINT_PTR m_nTimerId;
    DWORD m_bConfigValid;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    BOOL OnKillActive() override;
    void OnCancel() override;
    void OnTimer(UINT_PTR nIDEvent);
    HBRUSH OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor);
    void OnApplyLayer();
    void OnKeyLock();
    void OnKcfInfo();
    void OnUpdateKcf();
    void OnSaveKcf();
    void OnShowMatrix();
    DECLARE_MESSAGE_MAP()

private:
    // Reads whether the configuration is valid; returns "Gültig",
    // "Ungültig" or the status word of a failed read.
    CString ReadStatus();
    void EnableControls(std::initializer_list<int> ids, BOOL bEnable);
    // The lock box as the device has it, after a switch that failed.
    void ShowKeyLock();

    // The status field shows "Gültig"; anything else is drawn in red.
    bool m_bStatusValid;
    CKeyLayerStart m_ownLayerStart;
    CKeyLayerStart* m_pLayerStart;
};
