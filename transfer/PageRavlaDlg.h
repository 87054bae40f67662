// The "Ravla" page: the modules in the two expansion slots, their firmware
// info, firmware download and backup.
#pragma once

#include "framework/Afx.h"

class CPageRavlaDlg : public CPropertyPage {
public:
    CPageRavlaDlg();

    CString m_strMaterial1;
    CString m_strMaterial2;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnSetActive() override;
    void OnFirmware1();
    void OnUpdate1();
    void OnSave1();
    void OnFirmware2();
    void OnUpdate2();
    void OnSave2();
    DECLARE_MESSAGE_MAP()

private:
    struct CSlot;
    static const CSlot kSlots[2];

    void ShowSlot(const CSlot& slot);
    void OnFirmware(const CSlot& slot);
    INT_PTR RunRavlaTransfer(BOOL bDownload, const CSlot& slot);
};
