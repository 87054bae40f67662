// The "Bericht" dialog: the generated report in an editable box, and saving
// what the box shows as UTF-16LE text.
#pragma once

#include "framework/Afx.h"

class CReportViewDlg : public CDialog {
public:
    CReportViewDlg();

    CString m_strReport;
    // Proposed file name, owned by the caller; must outlive the modal run.
    const wchar_t* m_pszDefaultFileName;

    BOOL OnInitDialog() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnSaveAs();
    BOOL OnHelpInfo(HELPINFO* pHelpInfo);
    DECLARE_MESSAGE_MAP()
};
