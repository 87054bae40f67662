#include "transfer/PageVersionsDlg.h"

#include "applet/AboutDlg.h"
#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "transfer/FirmwareInfoDlg.h"
#include "transfer/TransferKinds.h"

namespace {

const DWORD kVersionBytes = 1024 * sizeof(WCHAR);  // 2048 bytes on Windows
const DWORD kItemFpgaInfo = 0;
const DWORD kItemFpga1Info = 3;
const DWORD kItemSmc = 16;
const DWORD kItemKvc = 17;
const DWORD kItemBios = 21;
const DWORD kItemFpgaStatus = 12;
const DWORD kItemFpga1Status = 15;
const int kWhichFpga = 0;
const int kWhichFpga1 = 3;

CString VersionOrStatus(DWORD dwItem) {
    return ReadDeviceTextOrStatus(&IvroGetVersionText, dwItem, kVersionBytes);
}

}  // namespace

CPageVersionsDlg::CPageVersionsDlg() : CPropertyPage(IDD_PAGE_VERSIONS) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageVersionsDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_VER_BIOS, m_strBiosVersion);
    DDX_Text(pDX, IDC_VER_SMC, m_strSmcVersion);
    DDX_Text(pDX, IDC_VER_KVC, m_strKvcVersion);
}

BOOL CPageVersionsDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    const CCplApp& app = GetCplApp();
    m_strBiosVersion = VersionOrStatus(kItemBios);
    GetDlgItem(IDC_VER_BIOS_UPDATE)->EnableWindow(!app.m_bDisableBiosUpdate);
    m_strSmcVersion = VersionOrStatus(kItemSmc);
    m_strKvcVersion = VersionOrStatus(kItemKvc);
    ShowFpgaRow(kItemFpgaStatus, kItemFpgaInfo, IDC_VER_FPGA_FIRMWARE, IDC_VER_FPGA_UPDATE,
                IDC_VER_FPGA_SAVE);
    ShowFpgaRow(kItemFpga1Status, kItemFpga1Info, IDC_VER_FPGA1_FIRMWARE, IDC_VER_FPGA1_UPDATE,
                IDC_VER_FPGA1_SAVE);
    UpdateData(FALSE);
    return bResult;
}

// The boot status read tells whether the FPGA exists; only its info text
// makes the firmware info and the backup usable. Buttons disabled here stay
// disabled while the page lives.
void CPageVersionsDlg::ShowFpgaRow(DWORD nStatusItem, DWORD nInfoItem, int nFirmwareId,
                                   int nUpdateId, int nSaveId) {
    BYTE bStatus = 0;
    if (IvroGetFirmwareValue(nStatusItem, &bStatus, sizeof(bStatus))) {
        CString info;
        if (!ReadDeviceText(&IvroGetVersionText, nInfoItem, kVersionBytes, info)) {
            GetDlgItem(nFirmwareId)->EnableWindow(FALSE);
            GetDlgItem(nSaveId)->EnableWindow(FALSE);
        }
        GetDlgItem(nUpdateId)->EnableWindow(!GetCplApp().m_bDisableFirmwareUpdate);
    } else if (::GetLastError() == ERROR_NOT_SUPPORTED) {
        GetDlgItem(nFirmwareId)->EnableWindow(FALSE);
        GetDlgItem(nUpdateId)->EnableWindow(FALSE);
        GetDlgItem(nSaveId)->EnableWindow(FALSE);
    }
    // The policy holds whatever the reads gave, a time-out included.
    if (GetCplApp().m_bDisableFirmwareUpdate) GetDlgItem(nUpdateId)->EnableWindow(FALSE);
}

BEGIN_MESSAGE_MAP(CPageVersionsDlg, CPropertyPage)
ON_BN_CLICKED(IDC_VER_BIOS_UPDATE, OnBiosUpdate)
ON_BN_CLICKED(IDC_VER_BIOS_SAVE, OnBiosSave)
ON_BN_CLICKED(IDC_VER_FPGA_FIRMWARE, OnFpgaFirmware)
ON_BN_CLICKED(IDC_VER_FPGA_UPDATE, OnFpgaUpdate)
ON_BN_CLICKED(IDC_VER_FPGA_SAVE, OnFpgaSave)
ON_BN_CLICKED(IDC_VER_FPGA1_FIRMWARE, OnFpga1Firmware)
ON_BN_CLICKED(IDC_VER_FPGA1_UPDATE, OnFpga1Update)
ON_BN_CLICKED(IDC_VER_FPGA1_SAVE, OnFpga1Save)
ON_BN_CLICKED(IDC_VER_INFO, OnInfo)
END_MESSAGE_MAP()

void CPageVersionsDlg::OnBiosUpdate() {
    StartTransfer(TRUE, TK_BIOS);
}

void CPageVersionsDlg::OnBiosSave() {
    StartTransfer(FALSE, TK_BIOS);
}

void CPageVersionsDlg::OnFpgaFirmware() {
    ShowFirmwareInfo(GetCplApp().m_bFpgaUpdated, kWhichFpga);
}

void CPageVersionsDlg::OnFpgaUpdate() {
    StartTransfer(TRUE, TK_FPGA);
}

void CPageVersionsDlg::OnFpgaSave() {
    StartTransfer(FALSE, TK_FPGA);
}

void CPageVersionsDlg::OnFpga1Firmware() {
    ShowFirmwareInfo(GetCplApp().m_bFpga1Updated, kWhichFpga1);
}

void CPageVersionsDlg::OnFpga1Update() {
    StartTransfer(TRUE, TK_FPGA1);
}

void CPageVersionsDlg::OnFpga1Save() {
    StartTransfer(FALSE, TK_FPGA1);
}

void CPageVersionsDlg::OnInfo() {
    CAboutDlg dialog;
    dialog.DoModal();
}
