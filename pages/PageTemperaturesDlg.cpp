#include "pages/PageTemperaturesDlg.h"

#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
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
    StartPollTimer(this, m_nTimer, kRefreshMs);
    return bResult;
}

BOOL CPageTemperaturesDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult) StopPollTimer(this, m_nTimer);
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
