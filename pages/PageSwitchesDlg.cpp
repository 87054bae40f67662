#include "pages/PageSwitchesDlg.h"

#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const UINT kRefreshMs = 250;
const DWORD kItemModeNode = 0;

CString Digit(unsigned nValue) {
    CString text;
    text.Format(L"%X", nValue);
    return text;
}

BOOL ReadPosition(BYTE& nPosition) {
    return IvroGetSwitch(kItemModeNode, &nPosition, sizeof(nPosition));
}
}  // namespace

CPageSwitchesDlg::CPageSwitchesDlg()
    : CPropertyPage(IDD_PAGE_SWITCHES), m_strLow(L"?"), m_strHigh(L"?"), m_nTimer(0) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageSwitchesDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_SWITCH_LOW, m_strLow);
    DDX_Text(pDX, IDC_SWITCH_HIGH, m_strHigh);
}

BOOL CPageSwitchesDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    BYTE nPosition = 0;
    if (ReadPosition(nPosition)) {
        m_strLow = Digit(nPosition & 0x0F);
        m_strHigh = Digit(nPosition >> 4);
        ShowMeaning(nPosition);
    }
    UpdateData(FALSE);
    StartPollTimer(this, m_nTimer, kRefreshMs);
    return bResult;
}

BOOL CPageSwitchesDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult) StopPollTimer(this, m_nTimer);
    return bResult;
}

BEGIN_MESSAGE_MAP(CPageSwitchesDlg, CPropertyPage)
ON_WM_TIMER()
END_MESSAGE_MAP()

void CPageSwitchesDlg::OnTimer(UINT_PTR) {
    Refresh();
    Default();
}

// Only a digit that changed is written into its field.
void CPageSwitchesDlg::Refresh() {
    BYTE nPosition = 0;
    if (!ReadPosition(nPosition)) return;
    CString low = Digit(nPosition & 0x0F);
    if (low != m_strLow) {
        m_strLow = low;
        SetDlgItemText(IDC_SWITCH_LOW, m_strLow);
    }
    CString high = Digit(nPosition >> 4);
    if (high != m_strHigh) {
        m_strHigh = high;
        SetDlgItemText(IDC_SWITCH_HIGH, m_strHigh);
    }
    ShowMeaning(nPosition);
}

void CPageSwitchesDlg::ShowMeaning(BYTE nPosition) {
    CString meaning;
    if (nPosition == 0) meaning.LoadString(IDS_SERVICE_MODE_ACTIVE);
    SetDlgItemText(IDC_SWITCH_MEANING, meaning);
}
