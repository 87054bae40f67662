#include "pages/PageDisplayDlg.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "applet/ErrorText.h"
#include "applet/PollTimer.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const UINT kRefreshMs = 250;
const int kMinPercent = 0;
const int kMaxPercent = 100;

const CPageDisplayDlg::CValue::CIds kBrightnessIds = {
    IDC_BRIGHTNESS_GROUP, IDC_BRIGHTNESS_ICON, IDC_BRIGHTNESS_AUTO,
    IDC_BRIGHTNESS_VALUE, IDC_BRIGHTNESS_LOW,  IDC_BRIGHTNESS_HIGH,
    IDC_BRIGHTNESS_DOWN,  IDC_BRIGHTNESS_UP,   IDC_BRIGHTNESS_SLIDER,
};
const CPageDisplayDlg::CValue::COps kBrightnessOps = {
    &IvroGetBrightness,        &IvroGetFactoryBrightness, &IvroSetBrightness,
    &IvroSetDefaultBrightness, IDS_CANNOT_SET_BRIGHTNESS,
};
const CPageDisplayDlg::CValue::CIds kContrastIds = {
    IDC_CONTRAST_GROUP, IDC_CONTRAST_ICON, IDC_CONTRAST_AUTO, IDC_CONTRAST_VALUE,  IDC_CONTRAST_MIN,
    IDC_CONTRAST_MAX,   IDC_CONTRAST_DOWN, IDC_CONTRAST_UP,   IDC_CONTRAST_SLIDER,
};
const CPageDisplayDlg::CValue::COps kContrastOps = {
    &IvroGetContrast,        &IvroGetFactoryContrast, &IvroSetContrast,
    &IvroSetDefaultContrast, IDS_CANNOT_SET_CONTRAST,
};

// A whole text (blanks around allowed) as a decimal number.
bool ParseDecimal(const CString& text, long& nValue) {
    const wchar_t* psz = text;
    while (std::iswspace(static_cast<wint_t>(*psz))) ++psz;
    wchar_t* pszEnd = nullptr;
    errno = 0;
    nValue = std::wcstol(psz, &pszEnd, 10);
    if (pszEnd == psz || errno == ERANGE) return false;
    while (std::iswspace(static_cast<wint_t>(*pszEnd))) ++pszEnd;
    return *pszEnd == L'\0';
}

// Sets a flag for as long as it lives.
class CFlagScope {
public:
    explicit CFlagScope(bool& bFlag) : m_bFlag(bFlag), m_bOld(bFlag) { bFlag = true; }
    ~CFlagScope() { m_bFlag = m_bOld; }
    CFlagScope(const CFlagScope&) = delete;
    CFlagScope& operator=(const CFlagScope&) = delete;

private:
    bool& m_bFlag;
    bool m_bOld;
};
}  // namespace

CPageDisplayDlg::CPageDisplayDlg()
    : CPropertyPage(IDD_PAGE_DISPLAY),
      m_brightness(kBrightnessIds, kBrightnessOps),
      m_contrast(kContrastIds, kContrastOps),
      m_nTimerId(0),
      m_bShowingValues(false) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageDisplayDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, m_contrast.m_ids.nUp, m_contrast.m_btnUp);
    DDX_Control(pDX, m_contrast.m_ids.nDown, m_contrast.m_btnDown);
    DDX_Control(pDX, m_brightness.m_ids.nUp, m_brightness.m_btnUp);
    DDX_Control(pDX, m_brightness.m_ids.nDown, m_brightness.m_btnDown);
    DDX_Text(pDX, m_brightness.m_ids.nField, m_brightness.m_nValue);
    DDX_Text(pDX, m_contrast.m_ids.nField, m_contrast.m_nValue);
}

// ---------------------------------------------------------------------------
// Activation

BOOL CPageDisplayDlg::OnSetActive() {
    const bool bFirst = IsFirstSetActive();
    BOOL bResult;
    {
        // Later activations put the members back into the fields.
        CFlagScope showing(m_bShowingValues);
        bResult = CPropertyPage::OnSetActive();
    }
    if (bFirst) {
        InitSlider(m_brightness);
        InitSlider(m_contrast);
    }
    ConfigureArrows(m_brightness);
    ConfigureArrows(m_contrast);
    ReadAtActivation(m_brightness, bFirst);
    ReadAtActivation(m_contrast, bFirst);
    {
        CFlagScope showing(m_bShowingValues);
        UpdateData(FALSE);
    }
    // Auto as read: the device has the factory value already, so only the
    // manual controls are locked or unlocked; nothing is written.
    for (const CValue* pValue : {&m_brightness, &m_contrast})
        if (GetDlgItem(pValue->m_ids.nGroup)->IsWindowEnabled()) EnableManual(*pValue);
    StartPollTimer(this, m_nTimerId, kRefreshMs);
    return bResult;
}

void CPageDisplayDlg::InitSlider(CValue& value) {
    const int nSlider = value.m_ids.nSlider;
    SendDlgItemMessage(nSlider, TBM_SETRANGE, FALSE, MAKELPARAM(kMinPercent, kMaxPercent));
    SendDlgItemMessage(nSlider, TBM_SETTICFREQ, 10, 0);
    // The slider places its buddies at its ends.
    SendDlgItemMessage(nSlider, TBM_SETBUDDY, TRUE,
                       reinterpret_cast<LPARAM>(value.m_btnDown.GetSafeHwnd()));
    SendDlgItemMessage(nSlider, TBM_SETBUDDY, FALSE,
                       reinterpret_cast<LPARAM>(value.m_btnUp.GetSafeHwnd()));
}

void CPageDisplayDlg::ConfigureArrows(CValue& value) {
    CWnd* pField = GetDlgItem(value.m_ids.nField);
    value.m_btnDown.Configure(pField, kMinPercent, kMaxPercent, FALSE);
    value.m_btnUp.Configure(pField, kMinPercent, kMaxPercent, TRUE);
}

void CPageDisplayDlg::ReadAtActivation(CValue& value, bool bFirst) {
    const CValue::CIds& ids = value.m_ids;
    BYTE nValue = 0;
    if (!value.m_ops.pfnGet(&nValue)) {
        EnableControls({ids.nGroup, ids.nIcon, ids.nAuto, ids.nField, ids.nDownLabel, ids.nUpLabel,
                        ids.nUp, ids.nDown, ids.nSlider},
                       FALSE);
    } else {
        value.m_nValue = nValue;
        BYTE nFactory = 0;
        if (value.m_ops.pfnGetFactory(&nFactory)) {
            value.m_nFactory = nFactory;
            value.m_bFactory = TRUE;
            CheckDlgButton(ids.nAuto, nValue == nFactory ? BST_CHECKED : BST_UNCHECKED);
            // Available again unless the whole group is out of order.
            GetDlgItem(ids.nAuto)->EnableWindow(GetDlgItem(ids.nGroup)->IsWindowEnabled());
        } else {
            // No known factory value: nothing to compare with or to set.
            value.m_bFactory = FALSE;
            CheckDlgButton(ids.nAuto, BST_UNCHECKED);
            GetDlgItem(ids.nAuto)->EnableWindow(FALSE);
        }
        if (bFirst) {
            value.m_nInitial = nValue;
            value.m_bInitial = TRUE;
        }
    }
    SendDlgItemMessage(ids.nSlider, TBM_SETPOS, TRUE, value.m_nValue);
}

BOOL CPageDisplayDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult) StopPollTimer(this, m_nTimerId);
    return bResult;
}

BEGIN_MESSAGE_MAP(CPageDisplayDlg, CPropertyPage)
ON_WM_TIMER()
ON_WM_HSCROLL()
ON_BN_CLICKED(IDC_BRIGHTNESS_AUTO, OnAutoBrightness)
ON_BN_CLICKED(IDC_CONTRAST_AUTO, OnAutoContrast)
ON_BN_CLICKED(IDC_BRIGHTNESS_DOWN, OnBrightnessDown)
ON_BN_CLICKED(IDC_BRIGHTNESS_UP, OnBrightnessUp)
ON_BN_CLICKED(IDC_CONTRAST_DOWN, OnContrastDown)
ON_BN_CLICKED(IDC_CONTRAST_UP, OnContrastUp)
ON_EN_CHANGE(IDC_BRIGHTNESS_VALUE, OnChangeBrightness)
ON_EN_CHANGE(IDC_CONTRAST_VALUE, OnChangeContrast)
END_MESSAGE_MAP()

// ---------------------------------------------------------------------------
// Timer

void CPageDisplayDlg::OnTimer(UINT_PTR) {
    Refresh(m_brightness);
    Refresh(m_contrast);
    Default();
}

// Shows a value changed elsewhere; a value other than the factory value
// unchecks Auto. The timer never checks it.
void CPageDisplayDlg::Refresh(CValue& value) {
    BYTE nValue = 0;
    if (!value.m_ops.pfnGet(&nValue)) return;
    ShowValue(value, nValue);
    if (!value.m_bFactory || nValue != value.m_nFactory) {
        CheckDlgButton(value.m_ids.nAuto, BST_UNCHECKED);
        EnableManual(value);
    }
}

// ---------------------------------------------------------------------------
// Slider, Auto, arrows and value fields

void CPageDisplayDlg::OnHScroll(UINT, UINT, CWnd* pScrollBar) {
    HWND hBar = pScrollBar ? pScrollBar->GetSafeHwnd() : nullptr;
    for (CValue* pValue : {&m_brightness, &m_contrast}) {
        const int nSlider = pValue->m_ids.nSlider;
        if (!hBar || hBar != ::GetDlgItem(m_hWnd, nSlider)) continue;
        LRESULT nPos = SendDlgItemMessage(nSlider, TBM_GETPOS);
        if (nPos < kMinPercent || nPos > kMaxPercent) continue;
        BYTE nValue = static_cast<BYTE>(nPos);
        if (SetValue(*pValue, nValue)) ShowValue(*pValue, nValue);
    }
    Default();
}

void CPageDisplayDlg::OnAutoBrightness() {
    OnAuto(m_brightness);
}

void CPageDisplayDlg::OnAutoContrast() {
    OnAuto(m_contrast);
}

// Auto is the factory value: ticking it sets that value and locks the manual
// controls; unticking only unlocks them.
void CPageDisplayDlg::OnAuto(CValue& value) {
    EnableManual(value);
    if (IsDlgButtonChecked(value.m_ids.nAuto) == BST_CHECKED && value.m_bFactory) {
        BYTE nFactory = value.m_nFactory;
        if (SetValue(value, nFactory)) ShowValue(value, nFactory);
    }
}

void CPageDisplayDlg::EnableManual(const CValue& value) {
    const CValue::CIds& ids = value.m_ids;
    EnableControls({ids.nField, ids.nDownLabel, ids.nUpLabel, ids.nDown, ids.nUp, ids.nSlider},
                   IsDlgButtonChecked(ids.nAuto) != BST_CHECKED);
}

void CPageDisplayDlg::OnBrightnessDown() {
    Step(m_brightness, -1);
}

void CPageDisplayDlg::OnBrightnessUp() {
    Step(m_brightness, +1);
}

void CPageDisplayDlg::OnContrastDown() {
    Step(m_contrast, -1);
}

void CPageDisplayDlg::OnContrastUp() {
    Step(m_contrast, +1);
}

// One step from the slider's position, within 0..100.
void CPageDisplayDlg::Step(CValue& value, int nDelta) {
    int nPos = static_cast<int>(SendDlgItemMessage(value.m_ids.nSlider, TBM_GETPOS));
    int nNew = nPos + nDelta;
    if (nNew < kMinPercent || nNew > kMaxPercent) return;
    if (SetValue(value, static_cast<BYTE>(nNew))) ShowValue(value, static_cast<BYTE>(nNew));
}

void CPageDisplayDlg::OnChangeBrightness() {
    OnChangeField(m_brightness);
}

void CPageDisplayDlg::OnChangeContrast() {
    OnChangeField(m_contrast);
}

// The text a held arrow steps into the field goes to the device and moves
// the slider; it is the user's setting as much as a click. The page's own
// writes of the field show what the device has already, so they stay here.
// Before the first activation the field only holds the constructor's value.
void CPageDisplayDlg::OnChangeField(CValue& value) {
    if (IsFirstSetActive() || m_bShowingValues) return;
    CString text;
    GetDlgItemText(value.m_ids.nField, text);
    long nValue = 0;
    if (!ParseDecimal(text, nValue) || nValue < kMinPercent || nValue > kMaxPercent) return;
    // Silent: the next tick shows the device's value again.
    const BYTE nNew = static_cast<BYTE>(nValue);
    if (!value.m_ops.pfnSet(nNew)) return;
    value.Remember(nNew);
    SendDlgItemMessage(value.m_ids.nSlider, TBM_SETPOS, TRUE, nNew);
}

// ---------------------------------------------------------------------------
// Device and controls

BOOL CPageDisplayDlg::SetValue(CValue& value, BYTE nValue) {
    if (!value.m_ops.pfnSet(nValue)) {
        ShowDeviceError(value.m_ops.nIdsSetFailed);
        return FALSE;
    }
    value.Remember(nValue);
    return TRUE;
}

// Field and slider show a value the device has. The field's text changes
// only when it differs, so the timer's refresh leaves it alone; the slider
// is moved here, not through the field, so it follows also when the text
// already stood (after a held step the device refused).
void CPageDisplayDlg::ShowValue(const CValue& value, BYTE nValue) {
    CString text;
    text.Format(L"%u", static_cast<UINT>(nValue));
    {
        CFlagScope showing(m_bShowingValues);
        AfxSetWindowText(::GetDlgItem(m_hWnd, value.m_ids.nField), text);
    }
    if (SendDlgItemMessage(value.m_ids.nSlider, TBM_GETPOS) != nValue)
        SendDlgItemMessage(value.m_ids.nSlider, TBM_SETPOS, TRUE, nValue);
}

void CPageDisplayDlg::EnableControls(std::initializer_list<int> ids, BOOL bEnable) {
    for (int nId : ids)
        if (CWnd* pControl = GetDlgItem(nId)) pControl->EnableWindow(bEnable);
}

// ---------------------------------------------------------------------------
// Closing the sheet

// OK: the last values the page set become the device's defaults.
void CPageDisplayDlg::OnOK() {
    for (const CValue* pValue : {&m_brightness, &m_contrast})
        if (pValue->m_bSet) pValue->m_ops.pfnSetDefault(pValue->m_nSet);
    CPropertyPage::OnOK();
}

// Cancel: the values found at the first activation return.
void CPageDisplayDlg::OnCancel() {
    for (const CValue* pValue : {&m_brightness, &m_contrast})
        if (pValue->m_bInitial) pValue->m_ops.pfnSet(pValue->m_nInitial);
    CPropertyPage::OnCancel();
}
