#include "report/PageReportDlg.h"

#include "applet/CplApp.h"
#include "report/ReportViewDlg.h"
#include "res/resource.h"

namespace {
// Only the Marlet has the Ravla expansion slots.
BOOL HasRavlaSlots() {
    return GetCplApp().m_nDeviceType == CCplApp::kDeviceMarlet;
}
}  // namespace

CPageReportDlg::CPageReportDlg() : CPropertyPage(IDD_PAGE_REPORT) {
    SetAllFlags(TRUE);
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageReportDlg::SetAllFlags(BOOL bSelected) {
    m_bIvronet = m_bBios = m_bMemory = m_bFactory = m_bDisplay = m_bFirmware = m_bKeyConfig =
        m_bKeysLeds = m_bTemperatures = m_bSwitches = m_bCpu = m_bWindows = m_bUser = bSelected;
    m_bRavla = bSelected && HasRavlaSlots();
}

CReportSections CPageReportDlg::Sections() const {
    return {m_bIvronet,  m_bBios,      m_bMemory,   m_bFactory,      m_bDisplay,
            m_bFirmware, m_bKeyConfig, m_bKeysLeds, m_bTemperatures, m_bSwitches,
            m_bCpu,      m_bWindows,   m_bRavla,    m_bUser};
}

void CPageReportDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Check(pDX, IDC_REPORT_IVRONET, m_bIvronet);
    DDX_Check(pDX, IDC_REPORT_BIOS, m_bBios);
    DDX_Check(pDX, IDC_REPORT_MEMORY, m_bMemory);
    DDX_Check(pDX, IDC_REPORT_FACTORY, m_bFactory);
    DDX_Check(pDX, IDC_REPORT_DISPLAY, m_bDisplay);
    DDX_Check(pDX, IDC_REPORT_FIRMWARE, m_bFirmware);
    DDX_Check(pDX, IDC_REPORT_KEY_CONFIG, m_bKeyConfig);
    DDX_Check(pDX, IDC_REPORT_KEYS_LEDS, m_bKeysLeds);
    DDX_Check(pDX, IDC_REPORT_TEMPERATURES, m_bTemperatures);
    DDX_Check(pDX, IDC_REPORT_SWITCHES, m_bSwitches);
    DDX_Check(pDX, IDC_REPORT_CPU, m_bCpu);
    DDX_Check(pDX, IDC_REPORT_WINDOWS, m_bWindows);
    DDX_Check(pDX, IDC_REPORT_RAVLA, m_bRavla);
    DDX_Check(pDX, IDC_REPORT_USER, m_bUser);
}

BOOL CPageReportDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    GetDlgItem(IDC_REPORT_RAVLA)->EnableWindow(HasRavlaSlots());
    return bResult;
}

BEGIN_MESSAGE_MAP(CPageReportDlg, CPropertyPage)
ON_BN_CLICKED(IDC_REPORT_SET_ALL, OnSetAll)
ON_BN_CLICKED(IDC_REPORT_CLEAR_ALL, OnClearAll)
ON_BN_CLICKED(IDC_REPORT_SHOW, OnShowReport)
END_MESSAGE_MAP()

void CPageReportDlg::OnSetAll() {
    SetAllFlags(TRUE);
    UpdateData(FALSE);
}

void CPageReportDlg::OnClearAll() {
    SetAllFlags(FALSE);
    UpdateData(FALSE);
}

void CPageReportDlg::OnShowReport() {
    if (!UpdateData(TRUE)) return;
    CReportViewDlg dialog;
    // Owned here: the view keeps a pointer to it while it runs.
    CString defaultFileName;
    {
        CWaitCursor wait;
        BuildReport(Sections(), GetCplApp().m_nDeviceType, dialog.m_strReport, defaultFileName);
    }
    dialog.m_pszDefaultFileName = defaultFileName;
    dialog.DoModal();
}
