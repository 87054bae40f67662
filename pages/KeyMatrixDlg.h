// The "Tastenmatrix" dialog: the raw state of the panel keys, one bit per
// key, refreshed every 250 ms.
#pragma once

#include "framework/Afx.h"

class CKeyMatrixDlg : public CDialog {
public:
    CKeyMatrixDlg();
    ~CKeyMatrixDlg() override;

    static constexpr DWORD kMatrixBytes = 16;

    CWnd m_wndLow;   // bytes 0..7
    CWnd m_wndHigh;  // bytes 8..15
    CString m_strFirstKey;
    UINT_PTR m_nTimerId;
    BYTE m_abMatrix[kMatrixBytes];

    BOOL OnInitDialog() override;

    // Reads the matrix; redraws the columns when forced, when it changed, or
    // when the columns show a status word from a failed read.
    void RefreshMatrix(BOOL bForce);

    // Bytes nFirst..nFirst+7 as eight rows of bits, most significant first.
    static CString FormatColumn(const BYTE* pbMatrix, DWORD nFirst);
    // The first pressed key as "byte.bit (position)", empty if none.
    static CString FormatFirstKey(const BYTE* pbMatrix);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    // The columns show a status word instead of the stored matrix.
    bool m_bShowingStatus;
};
