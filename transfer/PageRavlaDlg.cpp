#include "transfer/PageRavlaDlg.h"

#include <initializer_list>

#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "transfer/FirmwareInfoDlg.h"
#include "transfer/TransferKinds.h"

namespace {
// Buffer sizes in bytes, 50 and 512 where WCHAR is 2 bytes.
const DWORD kMaterialBytes = 25 * sizeof(WCHAR);
const DWORD kFirmwareInfoBytes = 256 * sizeof(WCHAR);
}  // namespace

// What differs between the two slots.
struct CPageRavlaDlg::CSlot {
    DWORD nMaterialItem;      // IvroGetRavlaText
    DWORD nFirmwareInfoItem;  // IvroGetVersionText
    DWORD nKind;              // transfer kind; it names the slot's filter and backup items
    int nWhich;               // CFirmwareInfoDlg::m_nWhich
    CString CPageRavlaDlg::*pMaterial;
    int nFirmwareId, nUpdateId, nSaveId;
};

const CPageRavlaDlg::CSlot CPageRavlaDlg::kSlots[2] = {
    {2, 1, TK_RAVLA_SLOT1, 1, &CPageRavlaDlg::m_strMaterial1, IDC_RAVLA1_FIRMWARE,
     IDC_RAVLA1_UPDATE, IDC_RAVLA1_SAVE},
    {3, 2, TK_RAVLA_SLOT2, 2, &CPageRavlaDlg::m_strMaterial2, IDC_RAVLA2_FIRMWARE,
     IDC_RAVLA2_UPDATE, IDC_RAVLA2_SAVE},
};

CPageRavlaDlg::CPageRavlaDlg() : CPropertyPage(IDD_PAGE_RAVLA) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageRavlaDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_RAVLA1_MATERIAL, m_strMaterial1);
    DDX_Text(pDX, IDC_RAVLA2_MATERIAL, m_strMaterial2);
}

BOOL CPageRavlaDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    for (const CSlot& slot : kSlots) ShowSlot(slot);
    UpdateData(FALSE);
    return bResult;
}

// A module whose material number reads is there: its firmware info decides
// about "Firmware..." and "Sichern...". An empty slot (50) greys all three
// buttons; other failures leave them as they were, except that the policy
// always holds for "Update...". Buttons disabled here stay disabled.
void CPageRavlaDlg::ShowSlot(const CSlot& slot) {
    CString& material = this->*slot.pMaterial;
    const BOOL bUpdateAllowed = !GetCplApp().m_bDisableFirmwareUpdate;
    if (ReadDeviceText(&IvroGetRavlaText, slot.nMaterialItem, kMaterialBytes, material)) {
        CString info;
        if (!ReadDeviceText(&IvroGetVersionText, slot.nFirmwareInfoItem, kFirmwareInfoBytes,
                            info)) {
            GetDlgItem(slot.nFirmwareId)->EnableWindow(FALSE);
            GetDlgItem(slot.nSaveId)->EnableWindow(FALSE);
        }
        GetDlgItem(slot.nUpdateId)->EnableWindow(bUpdateAllowed);
    } else if (::GetLastError() == ERROR_NOT_SUPPORTED) {
        material.LoadString(IDS_NOT_SUPPORTED);
        for (int nId : {slot.nFirmwareId, slot.nUpdateId, slot.nSaveId})
            GetDlgItem(nId)->EnableWindow(FALSE);
    } else {
        material = LoadStatusWord(::GetLastError());
        if (!bUpdateAllowed) GetDlgItem(slot.nUpdateId)->EnableWindow(FALSE);
    }
}

BEGIN_MESSAGE_MAP(CPageRavlaDlg, CPropertyPage)
ON_BN_CLICKED(IDC_RAVLA1_FIRMWARE, OnFirmware1)
ON_BN_CLICKED(IDC_RAVLA1_UPDATE, OnUpdate1)
ON_BN_CLICKED(IDC_RAVLA1_SAVE, OnSave1)
ON_BN_CLICKED(IDC_RAVLA2_FIRMWARE, OnFirmware2)
ON_BN_CLICKED(IDC_RAVLA2_UPDATE, OnUpdate2)
ON_BN_CLICKED(IDC_RAVLA2_SAVE, OnSave2)
END_MESSAGE_MAP()

void CPageRavlaDlg::OnFirmware1() {
    OnFirmware(kSlots[0]);
}

void CPageRavlaDlg::OnUpdate1() {
    RunRavlaTransfer(TRUE, kSlots[0]);
}

void CPageRavlaDlg::OnSave1() {
    RunRavlaTransfer(FALSE, kSlots[0]);
}

void CPageRavlaDlg::OnFirmware2() {
    OnFirmware(kSlots[1]);
}

void CPageRavlaDlg::OnUpdate2() {
    RunRavlaTransfer(TRUE, kSlots[1]);
}

void CPageRavlaDlg::OnSave2() {
    RunRavlaTransfer(FALSE, kSlots[1]);
}

void CPageRavlaDlg::OnFirmware(const CSlot& slot) {
    ShowFirmwareInfo(*GetUpdatedFlag(GetCplApp(), slot.nKind), slot.nWhich);
}

// The slot's kind gives the transfer its filter (with the module's own entry
// for a download), the backup name and the updated flag that a download sets.
INT_PTR CPageRavlaDlg::RunRavlaTransfer(BOOL bDownload, const CSlot& slot) {
    return StartTransfer(bDownload, slot.nKind);
}
