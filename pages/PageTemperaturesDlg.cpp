#include "pages/PageTemperaturesDlg.h"

#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshMs = 1000;
const DWORD kSensorCpu = 0;
const DWORD kSensorBoard = 1;
}  // namespace

CPageTemperaturesDlg::CPageTemperaturesDlg()
    : CPropertyPage(IDD_PAGE_TEMPERATURES),
      m_nCpuTemperature(0),
      m_nBoardTemperature(0),
      m_nTimer(0) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageTemperaturesDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_TEMP_CPU, m_nCpuTemperature);
    DDX_Text(pDX, IDC_TEMP_BOARD, m_nBoardTemperature);
}

BOOL CPageTemperaturesDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    Refresh();
    if (!m_nTimer) {
        m_nTimer = SetTimer(kRefreshTimer, kRefreshMs);
        if (!m_nTimer) AfxMessageBox(IDS_TIMER_FAILED, MB_OK | MB_ICONSTOP);
    }
    return bResult;
}

BOOL CPageTemperaturesDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult && m_nTimer) {
        KillTimer(m_nTimer);
        m_nTimer = 0;
    }
    return bResult;
}

BEGIN_MESSAGE_MAP(CPageTemperaturesDlg, CPropertyPage)
ON_WM_TIMER()
END_MESSAGE_MAP()

void CPageTemperaturesDlg::OnTimer(UINT_PTR) {
    Refresh();
    Default();
}

void CPageTemperaturesDlg::Refresh() {
    // The device reports signed degrees Celsius in one byte.
    signed char nValue = 0;
    if (IvroGetTemperature(kSensorCpu, &nValue, sizeof(nValue))) m_nCpuTemperature = nValue;
    if (IvroGetTemperature(kSensorBoard, &nValue, sizeof(nValue))) m_nBoardTemperature = nValue;
    UpdateData(FALSE);
}
