#include "pages/KeyMatrixDlg.h"

#include <cstring>

#include "applet/CplApp.h"
#include "applet/ErrorText.h"
#include "applet/Help.h"
#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const UINT kRefreshMs = 250;
const DWORD kColumnBytes = 8;
}  // namespace

CKeyMatrixDlg::CKeyMatrixDlg()
    : CDialog(IDD_KEY_MATRIX), m_nTimerId(0), m_abMatrix(), m_bShowingStatus(false) {}

CKeyMatrixDlg::~CKeyMatrixDlg() = default;

void CKeyMatrixDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MATRIX_LOW, m_wndLow);
    DDX_Control(pDX, IDC_MATRIX_HIGH, m_wndHigh);
    DDX_Text(pDX, IDC_MATRIX_FIRST, m_strFirstKey);
}

BOOL CKeyMatrixDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (GetCplApp().m_bHelpAvailable) ModifyStyleEx(0, WS_EX_CONTEXTHELP, SWP_FRAMECHANGED);
    RefreshMatrix(TRUE);
    StartPollTimer(this, m_nTimerId, kRefreshMs);
    return TRUE;
}

BEGIN_MESSAGE_MAP(CKeyMatrixDlg, CDialog)
ON_WM_TIMER()
ON_WM_HELPINFO()
ON_WM_DESTROY()
END_MESSAGE_MAP()

void CKeyMatrixDlg::OnTimer(UINT_PTR) {
    RefreshMatrix(FALSE);
    Default();
}

BOOL CKeyMatrixDlg::OnHelpInfo(HELPINFO* pHelpInfo) {
    ShowHelp(m_hWnd, pHelpInfo, kTopicKeyMatrix);
    // Not passed on: the sheet behind would answer it again with its own topic.
    return TRUE;
}

void CKeyMatrixDlg::OnDestroy() {
    StopPollTimer(this, m_nTimerId);
    Default();
}

void CKeyMatrixDlg::RefreshMatrix(BOOL bForce) {
    BYTE abMatrix[kMatrixBytes] = {};
    if (!IvroGetKeyMatrix(abMatrix, kMatrixBytes)) {
        CString status = LoadStatusWord(::GetLastError());
        m_wndLow.SetWindowText(status);
        m_wndHigh.SetWindowText(status);
        m_bShowingStatus = true;
    } else if (bForce || m_bShowingStatus || std::memcmp(abMatrix, m_abMatrix, kMatrixBytes) != 0) {
        // Also after a failed read: the status word must not outlive it
        // when the device answers with the matrix shown before.
        std::memcpy(m_abMatrix, abMatrix, kMatrixBytes);
        m_wndLow.SetWindowText(FormatColumn(m_abMatrix, 0));
        m_wndHigh.SetWindowText(FormatColumn(m_abMatrix, kColumnBytes));
        m_strFirstKey = FormatFirstKey(m_abMatrix);
        m_bShowingStatus = false;
    }
    UpdateData(FALSE);
}

CString CKeyMatrixDlg::FormatColumn(const BYTE* pbMatrix, DWORD nFirst) {
    CString text;
    for (DWORD nByte = nFirst; nByte < nFirst + kColumnBytes; ++nByte) {
        for (int nBit = 7; nBit >= 0; --nBit) {
            text += (pbMatrix[nByte] >> nBit) & 1 ? L"1" : L"0";
            if (nBit > 0) text += L" ";
        }
        text += L"\n";
    }
    return text;
}

CString CKeyMatrixDlg::FormatFirstKey(const BYTE* pbMatrix) {
    CString text;
    for (UINT nByte = 0; nByte < kMatrixBytes; ++nByte) {
        for (int nBit = 7; nBit >= 0; --nBit) {
            if (!((pbMatrix[nByte] >> nBit) & 1)) continue;
            UINT nPosition = nByte * 8 + static_cast<UINT>(nBit);
            text.Format(L"%u.%u (%u)", nPosition / 8, nPosition % 8, nPosition);
            return text;
        }
    }
    return text;
}
