#include "pages/PageLedsDlg.h"

#include <initializer_list>

#include "applet/ErrorText.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const BYTE kMaxLed = 127;
const BYTE kMinLayer = 1;
const BYTE kMaxLayer = 4;
const BYTE kStateCount = 4;
const int kNoState = -1;

// The radio button of each LED state: off, slow and fast blinking, on.
const int kStateButtons[kStateCount] = {IDC_LED_OFF, IDC_LED_SLOW, IDC_LED_FAST, IDC_LED_ON};

}  // namespace

CPageLedsDlg::CPageLedsDlg()
    : CPropertyPage(IDD_PAGE_LEDS),
      m_nLayer(1),
      m_nLed(0),
      m_bAllLeds(FALSE),
      m_nState(0),
      m_aSavedLayers(),
      m_pLayerStart(&m_ownLayerStart) {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageLedsDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    // With all LEDs chosen, number and layer mean nothing and are not checked.
    // Only values that passed the check are kept: the automatic layer change
    // still sends the layer when all LEDs are chosen.
    if (!m_bAllLeds) {
        BYTE nLayer = m_nLayer;
        DDX_Text(pDX, IDC_LED_LAYER, nLayer);
        DDV_MinMaxUInt(pDX, nLayer, kMinLayer, kMaxLayer);
        BYTE nLed = m_nLed;
        DDX_Text(pDX, IDC_LED_NUMBER, nLed);
        DDV_MinMaxUInt(pDX, nLed, 0, kMaxLed);
        m_nLayer = nLayer;
        m_nLed = nLed;
    }
    DDX_Check(pDX, IDC_LED_ALL, m_bAllLeds);
}

BOOL CPageLedsDlg::OnSetActive() {
    const bool bFirst = IsFirstSetActive();
    BOOL bResult = CPropertyPage::OnSetActive();
    if (bFirst) {
        for (int nLayer = 0; nLayer < kLayers; ++nLayer) {
            CSavedLayer& saved = m_aSavedLayers[nLayer];
            saved.bValid =
                IvroGetLedMatrix(static_cast<DWORD>(nLayer), saved.abMatrix, sizeof(saved.abMatrix))
                    ? TRUE
                    : FALSE;
        }
    }
    UpdateData(FALSE);
    RefreshLedState();
    return bResult;
}

void CPageLedsDlg::OnCancel() {
    m_pLayerStart->Restore();
    for (int nLayer = 0; nLayer < kLayers; ++nLayer) {
        const CSavedLayer& saved = m_aSavedLayers[nLayer];
        if (saved.bValid)
            IvroSetLedMatrix(static_cast<DWORD>(nLayer), saved.abMatrix, sizeof(saved.abMatrix));
    }
    CPropertyPage::OnCancel();
}

BEGIN_MESSAGE_MAP(CPageLedsDlg, CPropertyPage)
ON_EN_CHANGE(IDC_LED_NUMBER, OnChangeLed)
ON_EN_CHANGE(IDC_LED_LAYER, OnChangeLayer)
ON_BN_CLICKED(IDC_LED_OFF, OnStateOff)
ON_BN_CLICKED(IDC_LED_SLOW, OnStateSlow)
ON_BN_CLICKED(IDC_LED_FAST, OnStateFast)
ON_BN_CLICKED(IDC_LED_ON, OnStateOn)
ON_BN_CLICKED(IDC_LED_ALL, OnAllLeds)
END_MESSAGE_MAP()

// Typing a number or layer shows that LED's state; the fields' texts before
// the first activation are the constructor's and not worth a query. A text
// above 255 is not taken modulo 256: it names no LED at all.
void CPageLedsDlg::OnChangeLed() {
    if (IsFirstSetActive()) return;
    BOOL bNumber = FALSE;
    UINT nValue = GetDlgItemInt(IDC_LED_NUMBER, &bNumber, FALSE);
    if (!bNumber || nValue > kMaxLed) return;
    m_nLed = static_cast<BYTE>(nValue);
    RefreshLedState();
}

void CPageLedsDlg::OnChangeLayer() {
    if (IsFirstSetActive()) return;
    BOOL bNumber = FALSE;
    UINT nValue = GetDlgItemInt(IDC_LED_LAYER, &bNumber, FALSE);
    if (!bNumber || nValue < kMinLayer || nValue > kMaxLayer) return;
    m_nLayer = static_cast<BYTE>(nValue);
    RefreshLedState();
}

void CPageLedsDlg::OnStateOff() {
    ApplyLedState(0);
}

void CPageLedsDlg::OnStateSlow() {
    ApplyLedState(1);
}

void CPageLedsDlg::OnStateFast() {
    ApplyLedState(2);
}

void CPageLedsDlg::OnStateOn() {
    ApplyLedState(3);
}

void CPageLedsDlg::OnAllLeds() {
    m_bAllLeds = IsDlgButtonChecked(IDC_LED_ALL) == BST_CHECKED;
    for (int nId : {IDC_LED_NUMBER_LABEL, IDC_LED_NUMBER, IDC_LED_LAYER_LABEL, IDC_LED_LAYER,
                    IDC_LED_AUTO_LAYER})
        GetDlgItem(nId)->EnableWindow(!m_bAllLeds);
    // Back to one LED: its own state, not the one chosen for all.
    if (!m_bAllLeds) RefreshLedState();
}

// The state of the chosen LED; a failed query or an unknown state leaves
// the buttons alone.
void CPageLedsDlg::RefreshLedState() {
    if (IsDlgButtonChecked(IDC_LED_ALL) == BST_CHECKED) return;
    BYTE nState = 0;
    if (!IvroGetLedState(static_cast<BYTE>(m_nLayer - 1), m_nLed, &nState)) return;
    if (nState < kStateCount) ShowState(nState);
}

void CPageLedsDlg::ApplyLedState(BYTE nState) {
    m_nState = nState;
    // The radio button is already checked; whenever nothing is switched it
    // must go back to what the device has.
    if (!UpdateData(TRUE)) {
        ShowDeviceState();
        return;
    }
    if (IsDlgButtonChecked(IDC_LED_AUTO_LAYER) == BST_CHECKED) {
        m_pLayerStart->BeforeChange();
        if (!IvroSetKeyLayer(static_cast<BYTE>(m_nLayer - 1))) {
            ShowDeviceError(IDS_CANNOT_SET_KEY_LAYER);
            ShowDeviceState();
            return;
        }
    }
    if (IsDlgButtonChecked(IDC_LED_ALL) == BST_CHECKED) {
        if (!IvroSetAllLeds(m_nState)) {
            ShowDeviceError(IDS_CANNOT_SET_LEDS);
            ShowDeviceState();
        }
    } else if (!IvroSetLedState(static_cast<BYTE>(m_nLayer - 1), m_nLed, m_nState)) {
        ShowDeviceError(IDS_CANNOT_SET_LED);
        ShowDeviceState();
    }
}

void CPageLedsDlg::ShowState(int nState) {
    for (BYTE i = 0; i < kStateCount; ++i)
        CheckDlgButton(kStateButtons[i], i == nState ? BST_CHECKED : BST_UNCHECKED);
}

// After a switch that did not happen: the state the device reports for the
// chosen LED, or no state at all when there is none to tell (all LEDs, an
// LED or layer out of range in its field, a failed query). Fields in range
// are what m_nLed and m_nLayer hold: their change handlers took them.
void CPageLedsDlg::ShowDeviceState() {
    BYTE nState = 0;
    if (IsDlgButtonChecked(IDC_LED_ALL) != BST_CHECKED &&
        FieldInRange(IDC_LED_NUMBER, 0, kMaxLed) &&
        FieldInRange(IDC_LED_LAYER, kMinLayer, kMaxLayer) &&
        IvroGetLedState(static_cast<BYTE>(m_nLayer - 1), m_nLed, &nState) && nState < kStateCount) {
        ShowState(nState);
        return;
    }
    ShowState(kNoState);
}

bool CPageLedsDlg::FieldInRange(int nId, UINT nMin, UINT nMax) const {
    BOOL bNumber = FALSE;
    UINT nValue = GetDlgItemInt(nId, &bNumber, FALSE);
    return bNumber && nValue >= nMin && nValue <= nMax;
}
