#include "pages/PageKeysDlg.h"

#include "applet/CplApp.h"
#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "pages/KeyMatrixDlg.h"
#include "res/resource.h"
#include "transfer/TransferKinds.h"

namespace {
const UINT kRefreshMs = 250;
const BYTE kFirstLayer = 1;
const BYTE kLastLayer = 4;
const DWORD kInfoBytes = 512 * sizeof(WCHAR);  // 1024 bytes on Windows
const COLORREF kInvalidColor = RGB(255, 0, 0);

enum KcfInfoItem : DWORD { kInfoVersion = 0, kInfoDate = 1, kInfoUser = 2 };

// One line of the info box: the text, or why it could not be read.
CString ReadInfoLine(DWORD dwItem) {
    CString text;
    if (!ReadDeviceText(&IvroGetKeyConfigInfo, dwItem, kInfoBytes, text))
        return GetSystemErrorText(::GetLastError());
    if (dwItem == kInfoUser && text.IsEmpty()) text.LoadString(IDS_STATUS_NONE);
    return text;
}

// Puts the texts in place of the format's "%s" in order ("%%" is a "%").
// Device texts are never used as a format themselves.
CString FormatTexts(const CString& format, std::initializer_list<const wchar_t*> texts) {
    CString out;
    auto next = texts.begin();
    for (const wchar_t* p = format; *p; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            if (next != texts.end()) out += *next++;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'%') {
            out += L'%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}
}  // namespace

CPageKeysDlg::CPageKeysDlg()
    : CPropertyPage(IDD_PAGE_KEYS),
      m_nLayer(1),
      m_bKeyLock(FALSE),
      m_nTimerId(0),
      m_bConfigValid(0),
      m_bStatusValid(false),
      m_pLayerStart(&m_ownLayerStart) {
    // Like every page: a page with this flag would bring back the sheet's
    // Help button.
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageKeysDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    // A field the device's layer read has disabled cannot be corrected by the
    // user, so it must not keep the page from being left. Only a layer that
    // passed the check is kept.
    if (!pDX->m_bSaveAndValidate || GetDlgItem(IDC_KEY_LAYER)->IsWindowEnabled()) {
        BYTE nLayer = m_nLayer;
        DDX_Text(pDX, IDC_KEY_LAYER, nLayer);
        DDV_MinMaxByte(pDX, nLayer, kFirstLayer, kLastLayer);
        m_nLayer = nLayer;
    }
    DDX_Check(pDX, IDC_KEY_LOCK, m_bKeyLock);
    DDX_Text(pDX, IDC_KEY_STATUS, m_strStatus);
}

// ---------------------------------------------------------------------------
// Activation and timer

BOOL CPageKeysDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    const CCplApp& app = GetCplApp();

    BYTE nLayer = 0;
    if (IvroGetKeyLayer(&nLayer)) {
        m_nLayer = static_cast<BYTE>(nLayer + 1);
        m_pLayerStart->Found(nLayer);
        SetDlgItemInt(IDC_KEY_LAYER_CURRENT, m_nLayer, TRUE);
        EnableControls({IDC_KEY_LAYER, IDC_KEY_APPLY}, TRUE);
    } else {
        EnableControls({IDC_KEY_LAYER, IDC_KEY_APPLY}, FALSE);
    }

    m_strStatus = ReadStatus();
    EnableControls({IDC_KEY_INFO, IDC_KEY_SAVE}, m_bConfigValid != 0);
    GetDlgItem(IDC_KEY_UPDATE)->EnableWindow(!app.m_bDisableKcfUpdate);

    DWORD dwEnabled = 0;
    if (IvroGetKeyCodesEnabled(&dwEnabled)) m_bKeyLock = dwEnabled ? FALSE : TRUE;
    GetDlgItem(IDC_KEY_LOCK)->EnableWindow(!app.m_bDisableKeyLock);

    UpdateData(FALSE);
    StartPollTimer(this, m_nTimerId, kRefreshMs);
    return bResult;
}

BOOL CPageKeysDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult) StopPollTimer(this, m_nTimerId);
    return bResult;
}

// The first layer read is set again; a layer set since stays set on OK.
void CPageKeysDlg::OnCancel() {
    m_pLayerStart->Restore();
    CPropertyPage::OnCancel();
}

CString CPageKeysDlg::ReadStatus() {
    DWORD dwValid = 0;
    CString status;
    if (IvroGetKeyConfigValid(&dwValid)) {
        m_bConfigValid = dwValid;
        status.LoadString(dwValid ? IDS_KCF_VALID : IDS_KCF_INVALID);
        m_bStatusValid = dwValid != 0;
    } else {
        // The buttons keep following the last known state.
        status = LoadStatusWord(::GetLastError());
        m_bStatusValid = false;
    }
    return status;
}

BEGIN_MESSAGE_MAP(CPageKeysDlg, CPropertyPage)
ON_WM_TIMER()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_KEY_APPLY, OnApplyLayer)
ON_BN_CLICKED(IDC_KEY_LOCK, OnKeyLock)
ON_BN_CLICKED(IDC_KEY_INFO, OnKcfInfo)
ON_BN_CLICKED(IDC_KEY_UPDATE, OnUpdateKcf)
ON_BN_CLICKED(IDC_KEY_SAVE, OnSaveKcf)
ON_BN_CLICKED(IDC_KEY_SHOW, OnShowMatrix)
END_MESSAGE_MAP()

// Layer and status as the device has them now; the layer input, the lock
// box and "Update..." are the user's and stay as they are.
void CPageKeysDlg::OnTimer(UINT_PTR) {
    BYTE nLayer = 0;
    const BOOL bLayer = IvroGetKeyLayer(&nLayer);
    // The first read may only now succeed: the input is usable from here on.
    if (bLayer) m_pLayerStart->Found(nLayer);
    const int nShown = bLayer ? nLayer + 1 : 0;
    BOOL bTranslated = FALSE;
    if (static_cast<int>(GetDlgItemInt(IDC_KEY_LAYER_CURRENT, &bTranslated, TRUE)) != nShown ||
        !bTranslated)
        SetDlgItemInt(IDC_KEY_LAYER_CURRENT, static_cast<UINT>(nShown), TRUE);
    EnableControls({IDC_KEY_LAYER, IDC_KEY_APPLY}, bLayer);

    CString status = ReadStatus();
    if (status != m_strStatus) {
        m_strStatus = status;
        SetDlgItemText(IDC_KEY_STATUS, m_strStatus);
        EnableControls({IDC_KEY_INFO, IDC_KEY_SAVE}, m_bConfigValid != 0);
    }
    Default();
}

// Only the status field, and only while it is red, gets colours from here:
// everything else is left to the dialog manager, which draws a themed page
// behind labels, boxes and group frames.
HBRUSH CPageKeysDlg::OnCtlColor(HDC hDC, CWnd* pWnd, UINT nCtlColor) {
    if (m_bStatusValid || !pWnd || ::GetDlgCtrlID(pWnd->m_hWnd) != IDC_KEY_STATUS) {
        Default();
        return nullptr;
    }
    HBRUSH hBrush = CPropertyPage::OnCtlColor(hDC, pWnd, nCtlColor);
    ::SetTextColor(hDC, kInvalidColor);
    return hBrush;
}

// ---------------------------------------------------------------------------
// Layer and lock

void CPageKeysDlg::OnApplyLayer() {
    if (!UpdateData(TRUE)) return;
    m_pLayerStart->BeforeChange();
    if (!IvroSetKeyLayer(static_cast<BYTE>(m_nLayer - 1)))
        ShowDeviceError(IDS_CANNOT_SET_KEY_LAYER);
}

void CPageKeysDlg::OnKeyLock() {
    const BOOL bLock = IsDlgButtonChecked(IDC_KEY_LOCK) == BST_CHECKED;
    if (IvroSetKeyCodesEnabled(bLock ? FALSE : TRUE)) {
        m_bKeyLock = bLock;
        return;
    }
    ShowDeviceError(bLock ? IDS_CANNOT_DISABLE_KEYS : IDS_CANNOT_ENABLE_KEYS);
    ShowKeyLock();
}

// The box shows what the device does, not what was asked of it; when the
// device cannot tell, the state before the switch.
void CPageKeysDlg::ShowKeyLock() {
    DWORD dwEnabled = 0;
    if (IvroGetKeyCodesEnabled(&dwEnabled)) m_bKeyLock = dwEnabled ? FALSE : TRUE;
    CheckDlgButton(IDC_KEY_LOCK, m_bKeyLock ? BST_CHECKED : BST_UNCHECKED);
}

// ---------------------------------------------------------------------------
// Key configuration

void CPageKeysDlg::OnKcfInfo() {
    CString version = ReadInfoLine(kInfoVersion);
    CString date = ReadInfoLine(kInfoDate);
    CString user = ReadInfoLine(kInfoUser);
    CString format, caption;
    format.LoadString(IDS_KCF_INFO);
    caption.LoadString(IDS_KCF_INFO_CAPTION);
    MessageBox(FormatTexts(format, {version, date, user}), caption, MB_OK | MB_ICONINFORMATION);
}

void CPageKeysDlg::OnUpdateKcf() {
    StartTransfer(TRUE, TK_KCF);
}

void CPageKeysDlg::OnSaveKcf() {
    StartTransfer(FALSE, TK_KCF);
}

// The keys must not act on Windows while the user presses them to look at
// the matrix; delivery is switched back on only if this switched it off.
// When the device refused to switch it off, it still delivers: switching it
// on again would only fail a second time, with a second message.
void CPageKeysDlg::OnShowMatrix() {
    DWORD dwEnabled = 0;
    if (!IvroGetKeyCodesEnabled(&dwEnabled)) dwEnabled = 0;
    BOOL bSwitchedOff = FALSE;
    if (dwEnabled) {
        if (m_bConfigValid &&
            AfxMessageBox(IDS_ASK_KEY_MATRIX, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
            return;
        bSwitchedOff = IvroSetKeyCodesEnabled(FALSE);
        if (!bSwitchedOff) {
            ShowDeviceError(IDS_CANNOT_DISABLE_KEYS);
            ShowKeyLock();
        }
    }
    CKeyMatrixDlg dlg;
    dlg.DoModal();
    if (bSwitchedOff && !IvroSetKeyCodesEnabled(TRUE)) {
        // The keys now deliver nothing: the lock box must say so.
        ShowDeviceError(IDS_CANNOT_ENABLE_KEYS);
        ShowKeyLock();
    }
}

void CPageKeysDlg::EnableControls(std::initializer_list<int> ids, BOOL bEnable) {
    for (int nId : ids)
        if (CWnd* pControl = GetDlgItem(nId)) pControl->EnableWindow(bEnable);
}
