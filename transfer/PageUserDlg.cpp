#include "transfer/PageUserDlg.h"

#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "device/TmIvro.h"
#include "res/resource.h"
#include "transfer/TransferKinds.h"

namespace {
const DWORD kItemLogoInfo = 0;
const DWORD kItemLogoMode = 1;
const DWORD kLogoInfoBytes = 256 * sizeof(WCHAR);  // 512 bytes on Windows
const BYTE kUserLedOn = 3;
const BYTE kUserLedOff = 0;

struct ModeText {
    WORD nMode;
    UINT nIds;
};
const ModeText kModeTexts[] = {
    {0x121, IDS_DISPLAY_MODE_QVGA},
    {0x101, IDS_DISPLAY_MODE_VGA},
    {0x103, IDS_DISPLAY_MODE_SVGA},
    {0x105, IDS_DISPLAY_MODE_XGA},
};

CString ResolutionText(WORD nMode) {
    CString text;
    for (const ModeText& mode : kModeTexts) {
        if (mode.nMode == nMode) {
            text.LoadString(mode.nIds);
            return text;
        }
    }
    CString format;
    format.LoadString(IDS_DISPLAY_MODE_UNKNOWN);
    text.Format(format, static_cast<UINT>(nMode));
    return text;
}
}  // namespace

CPageUserDlg::CPageUserDlg()
    : CPropertyPage(IDD_PAGE_USER),
      m_bUserLed(FALSE),
      m_bUserLedAtStart(FALSE),
      m_bUserLedSaved(FALSE) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageUserDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_USER_LOGO_INFO, m_strLogoInfo);
    DDX_Text(pDX, IDC_USER_LOGO_RESOLUTION, m_strLogoResolution);
    DDX_Control(pDX, IDC_USER_LED, m_btnUserLed);
    DDX_Check(pDX, IDC_USER_LED, m_bUserLed);
    DDX_Text(pDX, IDC_USER_SERIAL_ID, m_strSerialId);
}

BOOL CPageUserDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();

    if (!ReadDeviceText(&IvroGetUserLogoText, kItemLogoInfo, kLogoInfoBytes, m_strLogoInfo)) {
        m_strLogoInfo = LoadStatusWord(::GetLastError());
        GetDlgItem(IDC_USER_LOGO_SAVE)->EnableWindow(FALSE);
    }
    GetDlgItem(IDC_USER_LOGO_UPDATE)->EnableWindow(!GetCplApp().m_bDisableUserlogoUpdate);

    WORD nMode = 0;
    if (IvroGetUserLogoValue(kItemLogoMode, &nMode, sizeof(nMode)))
        m_strLogoResolution = ResolutionText(nMode);
    else
        m_strLogoResolution = LoadStatusWord(::GetLastError());

    BYTE nLed = 0;
    if (IvroGetUserLed(&nLed)) {
        m_bUserLed = nLed == kUserLedOn;
        m_btnUserLed.EnableWindow(TRUE);
        // What Cancel puts back: the first state the page could read.
        if (!m_bUserLedSaved) {
            m_bUserLedAtStart = m_bUserLed;
            m_bUserLedSaved = TRUE;
        }
    } else if (::GetLastError() == ERROR_NOT_SUPPORTED) {
        m_btnUserLed.EnableWindow(FALSE);
    }

    DWORD nSerialId = 0;
    if (IvroGetUserSerialId(&nSerialId))
        m_strSerialId.Format(L"%08X", static_cast<UINT>(nSerialId));
    else
        m_strSerialId = LoadStatusWord(::GetLastError());

    UpdateData(FALSE);
    return bResult;
}

void CPageUserDlg::OnCancel() {
    if (m_bUserLedSaved) IvroSetUserLed(m_bUserLedAtStart ? kUserLedOn : kUserLedOff);
    CPropertyPage::OnCancel();
}

BEGIN_MESSAGE_MAP(CPageUserDlg, CPropertyPage)
ON_BN_CLICKED(IDC_USER_LOGO_UPDATE, OnLogoUpdate)
ON_BN_CLICKED(IDC_USER_LOGO_SAVE, OnLogoSave)
ON_BN_CLICKED(IDC_USER_LED, OnUserLed)
END_MESSAGE_MAP()

void CPageUserDlg::OnLogoUpdate() {
    StartTransfer(TRUE, TK_USERLOGO);
}

void CPageUserDlg::OnLogoSave() {
    StartTransfer(FALSE, TK_USERLOGO);
}

void CPageUserDlg::OnUserLed() {
    const BOOL bWanted = m_btnUserLed.SendMessage(BM_GETCHECK) == BST_CHECKED;
    if (IvroSetUserLed(bWanted ? kUserLedOn : kUserLedOff)) {
        m_bUserLed = bWanted;
        return;
    }
    ShowDeviceError(IDS_CANNOT_SET_USER_LED);
    // The box shows what the LED does, not what was asked of it.
    BYTE nLed = 0;
    if (IvroGetUserLed(&nLed)) m_bUserLed = nLed == kUserLedOn;
    m_btnUserLed.SendMessage(BM_SETCHECK, m_bUserLed ? BST_CHECKED : BST_UNCHECKED);
}
