// The "Bericht" page: which sections the system report holds, and the
// button that generates it and shows it in the report view.
#pragma once

#include "framework/Afx.h"
#include "report/Report.h"

class CPageReportDlg : public CPropertyPage {
public:
    CPageReportDlg();

    // Selection flags, 1 = section selected; they live as long as the sheet.
    BOOL m_bIvronet;
    BOOL m_bBios;
    BOOL m_bMemory;
    BOOL m_bFactory;
    BOOL m_bDisplay;
    BOOL m_bFirmware;
    BOOL m_bKeyConfig;
    BOOL m_bKeysLeds;
    BOOL m_bTemperatures;
    BOOL m_bSwitches;
    BOOL m_bCpu;
    BOOL m_bWindows;
    BOOL m_bRavla;
    BOOL m_bUser;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    void OnSetAll();
    void OnClearAll();
    void OnShowReport();
    DECLARE_MESSAGE_MAP()

private:
    void SetAllFlags(BOOL bSelected);
    CReportSections Sections() const;
};
