#include "report/ReportViewDlg.h"

#include "applet/CplApp.h"
#include "applet/ErrorText.h"
#include "applet/Help.h"
#include "framework/AfxDlgs.h"
#include "report/ReportFile.h"
#include "res/resource.h"

CReportViewDlg::CReportViewDlg() : CDialog(IDD_REPORT_VIEW), m_pszDefaultFileName(nullptr) {}

void CReportViewDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_REPORT_TEXT, m_strReport);
}

BOOL CReportViewDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (GetCplApp().m_bHelpAvailable) ModifyStyleEx(0, WS_EX_CONTEXTHELP, SWP_FRAMECHANGED);
    // Focus on OK, so the report is not shown all selected.
    GetDlgItem(IDOK)->SetFocus();
    return FALSE;
}

BEGIN_MESSAGE_MAP(CReportViewDlg, CDialog)
ON_BN_CLICKED(IDC_REPORT_SAVE_AS, OnSaveAs)
ON_WM_HELPINFO()
END_MESSAGE_MAP()

void CReportViewDlg::OnSaveAs() {
    CString filter;
    filter.LoadString(IDS_FILTER_TXT);
    CFileDialog dialog(FALSE, L"txt", m_pszDefaultFileName, OFN_OVERWRITEPROMPT, filter);
    if (dialog.DoModal() != IDOK) return;
    // The box's text as it is now: the user was told the report can be
    // edited and saved.
    UpdateData(TRUE);
    if (UINT nIDS = SaveReportText(dialog.GetPathName(), m_strReport)) ShowDeviceError(nIDS);
}

BOOL CReportViewDlg::OnHelpInfo(HELPINFO* pHelpInfo) {
    ShowHelp(m_hWnd, pHelpInfo, kTopicReportView);
    // Not passed on: the sheet behind would answer it again with its own topic.
    return TRUE;
}
