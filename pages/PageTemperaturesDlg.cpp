#include "pages/PageTemperaturesDlg.h"

#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const UINT kRefreshMs = 1000;
const DWORD kSensorCpu = 0;
const DWORD kSensorBoard = 1;
}  // namespace

CPageTemperaturesDlg::CPageTemperaturesDlg() : CPropertyPage(IDD_PAGE_TEMPERATURES), m_nTimer(0) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageTemperaturesDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    // Read-only fields: shown, never read back.
    if (pDX->m_bSaveAndValidate) return;
    ExchangeReading(pDX, IDC_TEMP_CPU, m_cpu);
    ExchangeReading(pDX, IDC_TEMP_BOARD, m_board);
}

void CPageTemperaturesDlg::ExchangeReading(CDataExchange* pDX, int nIdc, const CReading& reading) {
    CString text = L"?";
    if (reading.bRead) text.Format(L"%d", reading.nDegrees);
    DDX_Text(pDX, nIdc, text);
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
    Read(kSensorCpu, m_cpu);
    Read(kSensorBoard, m_board);
    UpdateData(FALSE);
}

// A failed read keeps the last good value.
void CPageTemperaturesDlg::Read(DWORD nSensor, CReading& reading) {
    // The device reports signed degrees Celsius in one byte.
    signed char nValue = 0;
    if (!IvroGetTemperature(nSensor, &nValue, sizeof(nValue))) return;
    reading.nDegrees = nValue;
    reading.bRead = true;
}
