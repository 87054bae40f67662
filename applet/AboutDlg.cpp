#include "applet/AboutDlg.h"

#include "applet/ErrorText.h"
#include "applet/FileVersion.h"
#include "framework/AfxHandles.h"
#include "res/resource.h"

namespace {

const wchar_t* const kModules[] = {
    L"\\TmIvro.dll",
    L"\\Drivers\\TmIvroDrv.sys",
    L"\\Drivers\\TmBiosDrv.sys",
    L"\\Drivers\\TmOrlDrv.sys",
    L"\\Drivers\\TmFlashDrv.sys",
    L"\\Drivers\\TmXcmosDrv.sys",
    L"\\TmKvcSvc.exe",
};

const DWORD kMaxPath = 520;  // 519 characters and the terminator

// The installed driver package's version, a REG_SZ of at most 256 characters
// (512 bytes on Windows). A missing or mistyped value gives the registry
// error's text and FALSE.
BOOL ReadDriverVersion(CString& rText) {
    constexpr DWORD kVersionChars = 256;
    CRegKeyHandle key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tolmek_Zerozureri\\IVRO\\Driver", 0,
                        KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return FALSE;
    // One zero element more than the query may fill: the value need not be terminated.
    wchar_t szValue[kVersionChars + 1] = {};
    DWORD dwType = 0;
    DWORD cb = kVersionChars * sizeof(WCHAR);
    LONG lResult = ::RegQueryValueExW(key.Get(), L"Version", nullptr, &dwType,
                                      reinterpret_cast<BYTE*>(szValue), &cb);
    if (lResult == ERROR_SUCCESS && dwType != REG_SZ) lResult = ERROR_INVALID_DATATYPE;
    if (lResult != ERROR_SUCCESS) {
        rText = GetSystemErrorText(static_cast<DWORD>(lResult));
        return FALSE;
    }
    rText = szValue;
    return TRUE;
}

}  // namespace

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUT) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CString title, name;
    GetWindowText(title);
    name.LoadString(IDS_APPLET_NAME);
    SetWindowText(title + L" " + name);

    wchar_t szPath[kMaxPath];
    DWORD n = ::GetModuleFileNameW(AfxGetResourceHandle(), szPath, kMaxPath);
    CString version;
    if (n > 0 && n < kMaxPath && GetFileVersionText(szPath, version, TRUE))
        SetDlgItemText(IDC_ABOUT_APPLET, version);

    CString driver;
    if (!ReadDriverVersion(driver)) driver.LoadString(IDS_STATUS_NONE);
    CString label;
    GetDlgItemText(IDC_ABOUT_DRIVER, label);
    SetDlgItemText(IDC_ABOUT_DRIVER, label + driver);

    UINT nDir = ::GetSystemDirectoryW(szPath, kMaxPath);
    if (nDir > 0 && nDir < kMaxPath) {
        CString list;
        for (const wchar_t* pszModule : kModules) {
            if (GetFileVersionText(CString(szPath) + pszModule, version, TRUE))
                list += version + L"\r\n";
        }
        SetDlgItemText(IDC_ABOUT_MODULES, list);
    }
    return TRUE;
}
