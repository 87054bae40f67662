// The "Info über" dialog: versions of the applet, the driver package and
// the device-access modules.
#pragma once

#include "framework/Afx.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    BOOL OnInitDialog() override;
};
