#include "transfer/FirmwareInfoDlg.h"

#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "applet/Help.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {

const DWORD kTextBytes = 256 * sizeof(WCHAR);  // 512 bytes on Windows
const DWORD kExtInfoItemOffset = 4;
const DWORD kBootStatusItemOffset = 12;

bool IsRavlaSlot(int nWhich) {
    return nWhich == 1 || nWhich == 2;
}

UINT BootStatusText(BYTE bStatus, int nWhich) {
    static const UINT kTexts[] = {IDS_BOOT_NO_FIRMWARE,  IDS_BOOT_BAD_FIRMWARE_SIZE,
                                  IDS_BOOT_NO_FPGA,      IDS_BOOT_NOT_POSSIBLE,
                                  IDS_BOOT_FAILED,       IDS_BOOT_OK,
                                  IDS_BOOT_OLD_FIRMWARE, IDS_BOOT_WRONG_FIRMWARE,
                                  IDS_BOOT_DISABLED};
    if (bStatus == 2 && IsRavlaSlot(nWhich)) return IDS_BOOT_NO_RAVLA_MODULE;
    return bStatus < _countof(kTexts) ? kTexts[bStatus] : IDS_BOOT_UNKNOWN;
}

UINT TitleSuffix(int nWhich) {
    switch (nWhich) {
        case 1:
            return IDS_FIRMWARE_RAVLA_SLOT1;
        case 2:
            return IDS_FIRMWARE_RAVLA_SLOT2;
        case 3:
            return IDS_FIRMWARE_ONBOARD_FPGA1;
        default:
            return IDS_FIRMWARE_ONBOARD_FPGA;
    }
}

// A version text of the device, or the status word of why it is missing.
CString VersionTextOrStatus(DWORD dwItem) {
    return ReadDeviceTextOrStatus(&IvroGetVersionText, dwItem, kTextBytes);
}

}  // namespace

CFirmwareInfoDlg::CFirmwareInfoDlg() : CDialog(IDD_FIRMWARE_INFO), m_nWhich(0) {}

void CFirmwareInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FW_INFO, m_strInfo);
    DDX_Text(pDX, IDC_FW_STATUS, m_strStatus);
    DDX_Text(pDX, IDC_FW_EXTINFO, m_strExtInfo);
}

BOOL CFirmwareInfoDlg::OnInitDialog() {
    const DWORD dwWhich = static_cast<DWORD>(m_nWhich);
    m_strInfo = VersionTextOrStatus(dwWhich);

    BYTE bStatus = 0;
    if (IvroGetFirmwareValue(kBootStatusItemOffset + dwWhich, &bStatus, sizeof(bStatus)))
        m_strStatus.LoadString(BootStatusText(bStatus, m_nWhich));
    else
        m_strStatus = LoadStatusWord(::GetLastError());

    m_strExtInfo = VersionTextOrStatus(kExtInfoItemOffset + dwWhich);

    CString title, suffix;
    GetWindowText(title);
    suffix.LoadString(TitleSuffix(m_nWhich));
    SetWindowText(title + L" - " + suffix);

    CDialog::OnInitDialog();
    if (GetCplApp().m_bHelpAvailable) ModifyStyleEx(0, WS_EX_CONTEXTHELP, SWP_FRAMECHANGED);
    return TRUE;
}

BEGIN_MESSAGE_MAP(CFirmwareInfoDlg, CDialog)
ON_WM_HELPINFO()
END_MESSAGE_MAP()

BOOL CFirmwareInfoDlg::OnHelpInfo(HELPINFO* pHelpInfo) {
    ShowHelp(m_hWnd, pHelpInfo, kTopicFirmwareInfo);
    // Not passed on: the owner would answer it again with its own topic.
    return TRUE;
}

void ShowFirmwareInfo(BOOL bUpdated, int nWhich) {
    if (bUpdated) AfxMessageBox(IDS_DATA_UPDATED_BEFORE, MB_OK);
    CFirmwareInfoDlg dialog;
    dialog.m_nWhich = nWhich;
    dialog.DoModal();
}
