#include "pages/PageFactoryDlg.h"

#include "applet/DeviceText.h"
#include "applet/ErrorText.h"
#include "device/TmIvro.h"
#include "res/resource.h"

namespace {
const DWORD kItemVersion = 1;
const DWORD kItemMaterialNo = 14;
const DWORD kMaterialNoBytes = 512 * sizeof(WCHAR);  // 1024 bytes on Windows
// The material number is stored from this version of the factory data on.
const DWORD kFirstVersionWithMaterialNo = 6;

// The material number is a text item of the factory values.
BOOL WINAPI GetFactoryValueText(DWORD dwItem, WCHAR* pszText, DWORD cbSize) {
    return IvroGetFactoryValue(dwItem, pszText, cbSize);
}
}  // namespace

// One numeric factory item: selector, size in bytes and the field it fills.
struct CPageFactoryDlg::CItem {
    DWORD nSelector;
    DWORD cbSize;
    CString CPageFactoryDlg::*pField;
};

// In the order in which the page reads them.
const CPageFactoryDlg::CItem CPageFactoryDlg::kItems[] = {
    {kItemVersion, 1, &CPageFactoryDlg::m_strVersion}, {2, 2, &CPageFactoryDlg::m_strDeviceId},
    {3, 1, &CPageFactoryDlg::m_strCompatId},           {5, 1, &CPageFactoryDlg::m_strBrightnessMin},
    {4, 1, &CPageFactoryDlg::m_strDisplayId},          {6, 1, &CPageFactoryDlg::m_strBrightnessDef},
    {7, 1, &CPageFactoryDlg::m_strBrightnessMax},      {8, 1, &CPageFactoryDlg::m_strContrastMin},
    {9, 1, &CPageFactoryDlg::m_strContrastDef},        {10, 1, &CPageFactoryDlg::m_strContrastMax},
};

CPageFactoryDlg::CPageFactoryDlg()
    : CPropertyPage(IDD_PAGE_FACTORY),
      m_strDisplayId(L"?"),
      m_strVersion(L"?"),
      m_strDeviceId(L"?"),
      m_strContrastMin(L"?"),
      m_strContrastMax(L"?"),
      m_strContrastDef(L"?"),
      m_strCompatId(L"?"),
      m_strBrightnessMin(L"?"),
      m_strBrightnessMax(L"?"),
      m_strBrightnessDef(L"?") {
    m_psp.dwFlags &= ~PSP_HASHELP;
}

void CPageFactoryDlg::DoDataExchange(CDataExchange* pDX) {
    CPropertyPage::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FACTORY_DISPLAY_ID, m_strDisplayId);
    DDX_Text(pDX, IDC_FACTORY_VERSION, m_strVersion);
    DDX_Text(pDX, IDC_FACTORY_DEVICE_ID, m_strDeviceId);
    DDX_Text(pDX, IDC_FACTORY_CONTRAST_MIN, m_strContrastMin);
    DDX_Text(pDX, IDC_FACTORY_CONTRAST_MAX, m_strContrastMax);
    DDX_Text(pDX, IDC_FACTORY_CONTRAST_DEF, m_strContrastDef);
    DDX_Text(pDX, IDC_FACTORY_COMPAT_ID, m_strCompatId);
    DDX_Text(pDX, IDC_FACTORY_BRIGHTNESS_MIN, m_strBrightnessMin);
    DDX_Text(pDX, IDC_FACTORY_BRIGHTNESS_MAX, m_strBrightnessMax);
    DDX_Text(pDX, IDC_FACTORY_BRIGHTNESS_DEF, m_strBrightnessDef);
    DDX_Text(pDX, IDC_FACTORY_MATERIAL, m_strMaterialNo);
}

BOOL CPageFactoryDlg::OnSetActive() {
    BOOL bResult = CPropertyPage::OnSetActive();
    DWORD nVersion = 0;
    for (const CItem& item : kItems) {
        BYTE abValue[2] = {0, 0};
        if (!IvroGetFactoryValue(item.nSelector, abValue, item.cbSize)) continue;
        // Little-endian, unsigned; a failed read keeps the last text.
        DWORD nValue = abValue[0] | (item.cbSize > 1 ? static_cast<DWORD>(abValue[1]) << 8 : 0);
        (this->*item.pField).Format(item.cbSize > 1 ? L"%04X" : L"%02X", nValue);
        if (item.nSelector == kItemVersion) nVersion = nValue;
    }

    if (nVersion < kFirstVersionWithMaterialNo) {
        m_strMaterialNo.Empty();
        GetDlgItem(IDC_FACTORY_MATERIAL_LABEL)->EnableWindow(FALSE);
        GetDlgItem(IDC_FACTORY_MATERIAL)->EnableWindow(FALSE);
    } else {
        m_strMaterialNo =
            ReadDeviceTextOrStatus(&GetFactoryValueText, kItemMaterialNo, kMaterialNoBytes);
    }
    UpdateData(FALSE);
    return bResult;
}
