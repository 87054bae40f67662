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

// Brightness and contrast work alike: their controls, device operations and
// members, so that one body of code serves both.
struct CPageDisplayDlg::CValueInfo {
    int nGroup, nIcon, nAuto, nField, nDownLabel, nUpLabel, nDown, nUp, nSlider;
    BOOL(WINAPI* pfnGet)(BYTE*);
    BOOL(WINAPI* pfnGetFactory)(BYTE*);
    BOOL(WINAPI* pfnSet)(BYTE);
    UINT nIdsSetFailed;
    CRepeatArrowButton CPageDisplayDlg::*pDownButton;
    CRepeatArrowButton CPageDisplayDlg::*pUpButton;
    BYTE CPageDisplayDlg::*pnValue;
    BYTE CPageDisplayDlg::*pnInitial;
    BOOL CPageDisplayDlg::*pbInitial;
    BYTE CPageDisplayDlg::*pnSet;
    BOOL CPageDisplayDlg::*pbSet;
    BYTE CPageDisplayDlg::*pnFactory;
    BOOL CPageDisplayDlg::*pbFactory;
};

const CPageDisplayDlg::CValueInfo CPageDisplayDlg::kBrightness = {
    IDC_BRIGHTNESS_GROUP,
    IDC_BRIGHTNESS_ICON,
    IDC_BRIGHTNESS_AUTO,
    IDC_BRIGHTNESS_VALUE,
    IDC_BRIGHTNESS_LOW,
    IDC_BRIGHTNESS_HIGH,
    IDC_BRIGHTNESS_DOWN,
    IDC_BRIGHTNESS_UP,
    IDC_BRIGHTNESS_SLIDER,
    &IvroGetBrightness,
    &IvroGetFactoryBrightness,
    &IvroSetBrightness,
    IDS_CANNOT_SET_BRIGHTNESS,
    &CPageDisplayDlg::m_btnBrightnessDown,
    &CPageDisplayDlg::m_btnBrightnessUp,
    &CPageDisplayDlg::m_nBrightness,
    &CPageDisplayDlg::m_nInitialBrightness,
    &CPageDisplayDlg::m_bInitialBrightness,
    &CPageDisplayDlg::m_nSetBrightness,
    &CPageDisplayDlg::m_bBrightnessSet,
    &CPageDisplayDlg::m_nFactoryBrightness,
    &CPageDisplayDlg::m_bFactoryBrightness,
};

const CPageDisplayDlg::CValueInfo CPageDisplayDlg::kContrast = {
    IDC_CONTRAST_GROUP,
    IDC_CONTRAST_ICON,
    IDC_CONTRAST_AUTO,
    IDC_CONTRAST_VALUE,
    IDC_CONTRAST_MIN,
    IDC_CONTRAST_MAX,
    IDC_CONTRAST_DOWN,
    IDC_CONTRAST_UP,
    IDC_CONTRAST_SLIDER,
    &IvroGetContrast,
    &IvroGetFactoryContrast,
    &IvroSetContrast,
    IDS_CANNOT_SET_CONTRAST,
    &CPageDisplayDlg::m_btnContrastDown,
    &CPageDisplayDlg::m_btnContrastUp,
    &CPageDisplayDlg::m_nContrast,
    &CPageDisplayDlg::m_nInitialContrast,
    &CPageDisplayDlg::m_bInitialContrast,
    &CPageDisplayDlg::m_nSetContrast,
    &CPageDisplayDlg::m_bContrastSet,
    &CPageDisplayDlg::m_nFactoryContrast,
    &CPageDisplayDlg::m_bFactoryContrast,
};

CPageDisplayDlg::CPageDisplayDlg()
    : CPropertyPage(IDD_PAGE_DISPLAY),
      m_nBrightness(50),
      m_nContrast(50),
      m_nTimerId(0),
      m_nInitialBrightness(0),
      m_nInitialContrast(0),
      m_bInitialBrightness(FALSE),
      m_bInitialContrast(FALSE),
      m_nSetBrightness(0),
      m_nSetContrast(0),
      m_bBrightnessSet(FALSE),
      m_bContrastSet(FALSE),
      m_nFactoryContrast(0),
      m_nFactoryBrightness(0),
      m_bFactoryContrast(FALSE),
      m_bFactoryBrightness(FALSE),
      m_bShowingValues(false) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageDisplayDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_CONTRAST_UP, m_btnContrastUp);
    DDX_Control(pDX, IDC_CONTRAST_DOWN, m_btnContrastDown);
    DDX_Control(pDX, IDC_BRIGHTNESS_UP, m_btnBrightnessUp);
    DDX_Control(pDX, IDC_BRIGHTNESS_DOWN, m_btnBrightnessDown);
    DDX_Text(pDX, IDC_BRIGHTNESS_VALUE, m_nBrightness);
    DDX_Text(pDX, IDC_CONTRAST_VALUE, m_nContrast);
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
        InitSlider(kBrightness);
        InitSlider(kContrast);
    }
    ConfigureArrows(kBrightness);
    ConfigureArrows(kContrast);
    ReadAtActivation(kBrightness, bFirst);
    ReadAtActivation(kContrast, bFirst);
    {
        CFlagScope showing(m_bShowingValues);
        UpdateData(FALSE);
    }
    // Auto as read: the device has the factory value already, so only the
    // manual controls are locked or unlocked; nothing is written.
    if (GetDlgItem(IDC_BRIGHTNESS_GROUP)->IsWindowEnabled()) EnableManual(kBrightness);
    if (GetDlgItem(IDC_CONTRAST_GROUP)->IsWindowEnabled()) EnableManual(kContrast);
    StartPollTimer(this, m_nTimerId, kRefreshMs);
    return bResult;
}

BOOL CPageDisplayDlg::OnKillActive() {
    BOOL bResult = CPropertyPage::OnKillActive();
    if (bResult) StopPollTimer(this, m_nTimerId);
    return bResult;
}

void CPageDisplayDlg::OnOK() {
    if (m_bBrightnessSet) IvroSetDefaultBrightness(m_nSetBrightness);
    if (m_bContrastSet) IvroSetDefaultContrast(m_nSetContrast);
    CPropertyPage::OnOK();
}

void CPageDisplayDlg::OnCancel() {
    if (m_bInitialBrightness) IvroSetBrightness(m_nInitialBrightness);
    if (m_bInitialContrast) IvroSetContrast(m_nInitialContrast);
    CPropertyPage::OnCancel();
}

void CPageDisplayDlg::InitSlider(const CValueInfo& info) {
    SendDlgItemMessage(info.nSlider, TBM_SETRANGE, FALSE, MAKELPARAM(kMinPercent, kMaxPercent));
    SendDlgItemMessage(info.nSlider, TBM_SETTICFREQ, 10, 0);
    // The slider places its buddies at its ends.
    SendDlgItemMessage(info.nSlider, TBM_SETBUDDY, TRUE,
                       reinterpret_cast<LPARAM>((this->*info.pDownButton).GetSafeHwnd()));
    SendDlgItemMessage(info.nSlider, TBM_SETBUDDY, FALSE,
                       reinterpret_cast<LPARAM>((this->*info.pUpButton).GetSafeHwnd()));
}

void CPageDisplayDlg::ConfigureArrows(const CValueInfo& info) {
    CWnd* pField = GetDlgItem(info.nField);
    (this->*info.pDownButton).Configure(pField, kMinPercent, kMaxPercent, FALSE);
    (this->*info.pUpButton).Configure(pField, kMinPercent, kMaxPercent, TRUE);
}

void CPageDisplayDlg::ReadAtActivation(const CValueInfo& info, bool bFirst) {
    BYTE nValue = 0;
    if (!info.pfnGet(&nValue)) {
        EnableControls({info.nGroup, info.nIcon, info.nAuto, info.nField, info.nDownLabel,
                        info.nUpLabel, info.nUp, info.nDown, info.nSlider},
                       FALSE);
    } else {
        this->*info.pnValue = nValue;
        BYTE nFactory = 0;
        if (info.pfnGetFactory(&nFactory)) {
            this->*info.pnFactory = nFactory;
            this->*info.pbFactory = TRUE;
            CheckDlgButton(info.nAuto, nValue == nFactory ? BST_CHECKED : BST_UNCHECKED);
            // Available again unless the whole group is out of order.
            GetDlgItem(info.nAuto)->EnableWindow(GetDlgItem(info.nGroup)->IsWindowEnabled());
        } else {
            // No known factory value: nothing to compare with or to set.
            this->*info.pbFactory = FALSE;
            CheckDlgButton(info.nAuto, BST_UNCHECKED);
            GetDlgItem(info.nAuto)->EnableWindow(FALSE);
        }
        if (bFirst) {
            this->*info.pnInitial = nValue;
            this->*info.pbInitial = TRUE;
        }
    }
    SendDlgItemMessage(info.nSlider, TBM_SETPOS, TRUE, this->*info.pnValue);
}

// ---------------------------------------------------------------------------
// Timer and slider

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

void CPageDisplayDlg::OnTimer(UINT_PTR) {
    Refresh(kBrightness);
    Refresh(kContrast);
    Default();
}

// Shows a value changed elsewhere; a value other than the factory value
// unchecks Auto. The timer never checks it.
void CPageDisplayDlg::Refresh(const CValueInfo& info) {
    BYTE nValue = 0;
    if (!info.pfnGet(&nValue)) return;
    ShowValue(info, nValue);
    if (!(this->*info.pbFactory) || nValue != this->*info.pnFactory) {
        CheckDlgButton(info.nAuto, BST_UNCHECKED);
        EnableManual(info);
    }
}

void CPageDisplayDlg::OnHScroll(UINT, UINT, CWnd* pScrollBar) {
    HWND hBar = pScrollBar ? pScrollBar->GetSafeHwnd() : nullptr;
    for (const CValueInfo* pInfo : {&kBrightness, &kContrast}) {
        if (!hBar || hBar != ::GetDlgItem(m_hWnd, pInfo->nSlider)) continue;
        LRESULT nPos = SendDlgItemMessage(pInfo->nSlider, TBM_GETPOS);
        if (nPos < kMinPercent || nPos > kMaxPercent) continue;
        BYTE nValue = static_cast<BYTE>(nPos);
        if (SetValue(*pInfo, nValue)) ShowValue(*pInfo, nValue);
    }
    Default();
}

// ---------------------------------------------------------------------------
// Auto, arrows and value fields

void CPageDisplayDlg::OnAutoBrightness() {
    OnAuto(kBrightness);
}

void CPageDisplayDlg::OnAutoContrast() {
    OnAuto(kContrast);
}

// Auto is the factory value: ticking it sets that value and locks the manual
// controls; unticking only unlocks them.
void CPageDisplayDlg::OnAuto(const CValueInfo& info) {
    EnableManual(info);
    if (IsDlgButtonChecked(info.nAuto) == BST_CHECKED && this->*info.pbFactory) {
        BYTE nFactory = this->*info.pnFactory;
        if (SetValue(info, nFactory)) ShowValue(info, nFactory);
    }
}

void CPageDisplayDlg::EnableManual(const CValueInfo& info) {
    EnableControls(
        {info.nField, info.nDownLabel, info.nUpLabel, info.nDown, info.nUp, info.nSlider},
        IsDlgButtonChecked(info.nAuto) != BST_CHECKED);
}

void CPageDisplayDlg::OnBrightnessDown() {
    Step(kBrightness, -1);
}

void CPageDisplayDlg::OnBrightnessUp() {
    Step(kBrightness, +1);
}

void CPageDisplayDlg::OnContrastDown() {
    Step(kContrast, -1);
}

void CPageDisplayDlg::OnContrastUp() {
    Step(kContrast, +1);
}

// One step from the slider's position, within 0..100.
void CPageDisplayDlg::Step(const CValueInfo& info, int nDelta) {
    int nPos = static_cast<int>(SendDlgItemMessage(info.nSlider, TBM_GETPOS));
    int nNew = nPos + nDelta;
    if (nNew < kMinPercent || nNew > kMaxPercent) return;
    if (SetValue(info, static_cast<BYTE>(nNew))) ShowValue(info, static_cast<BYTE>(nNew));
}

void CPageDisplayDlg::OnChangeBrightness() {
    OnChangeField(kBrightness);
}

void CPageDisplayDlg::OnChangeContrast() {
    OnChangeField(kContrast);
}

// The text a held arrow steps into the field goes to the device and moves
// the slider; it is the user's setting as much as a click. The page's own
// writes of the field show what the device has already, so they stay here.
// Before the first activation the field only holds the constructor's value.
void CPageDisplayDlg::OnChangeField(const CValueInfo& info) {
    if (IsFirstSetActive() || m_bShowingValues) return;
    CString text;
    GetDlgItemText(info.nField, text);
    long nValue = 0;
    if (!ParseDecimal(text, nValue) || nValue < kMinPercent || nValue > kMaxPercent) return;
    // Silent: the next tick shows the device's value again.
    const BYTE nNew = static_cast<BYTE>(nValue);
    if (!info.pfnSet(nNew)) return;
    Remember(info, nNew);
    SendDlgItemMessage(info.nSlider, TBM_SETPOS, TRUE, nNew);
}

// ---------------------------------------------------------------------------
// Device

BOOL CPageDisplayDlg::SetBrightness(BYTE nValue) {
    return SetValue(kBrightness, nValue);
}

BOOL CPageDisplayDlg::SetContrast(BYTE nValue) {
    return SetValue(kContrast, nValue);
}

void CPageDisplayDlg::ShowBrightness(BYTE nValue) {
    ShowValue(kBrightness, nValue);
}

void CPageDisplayDlg::ShowContrast(BYTE nValue) {
    ShowValue(kContrast, nValue);
}

BOOL CPageDisplayDlg::SetValue(const CValueInfo& info, BYTE nValue) {
    if (!info.pfnSet(nValue)) {
        ShowDeviceError(info.nIdsSetFailed);
        return FALSE;
    }
    Remember(info, nValue);
    return TRUE;
}

// A value the user set and the device took: OK makes the last one the default.
void CPageDisplayDlg::Remember(const CValueInfo& info, BYTE nValue) {
    this->*info.pnValue = nValue;
    this->*info.pnSet = nValue;
    this->*info.pbSet = TRUE;
}

// Field and slider show a value the device has. The field's text changes
// only when it differs, so the timer's refresh leaves it alone; the slider
// is moved here, not through the field, so it follows also when the text
// already stood (after a held step the device refused).
void CPageDisplayDlg::ShowValue(const CValueInfo& info, BYTE nValue) {
    CString text;
    text.Format(L"%u", static_cast<UINT>(nValue));
    {
        CFlagScope showing(m_bShowingValues);
        AfxSetWindowText(::GetDlgItem(m_hWnd, info.nField), text);
    }
    if (SendDlgItemMessage(info.nSlider, TBM_GETPOS) != nValue)
        SendDlgItemMessage(info.nSlider, TBM_SETPOS, TRUE, nValue);
}

void CPageDisplayDlg::EnableControls(std::initializer_list<int> ids, BOOL bEnable) {
    for (int nId : ids)
        if (CWnd* pControl = GetDlgItem(nId)) pControl->EnableWindow(bEnable);
}
