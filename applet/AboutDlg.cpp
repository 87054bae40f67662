#include "applet/AboutDlg.h"

#include "applet/ErrorText.h"
#include "applet/FileVersion.h"
#include "applet/SystemFiles.h"
#include "framework/AfxHandles.h"
#include "res/resource.h"

namespace {

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

    CSystemFolder folder;
    if (folder.Load()) {
        // Every file but the applet, which heads the dialog.
        CString list;
        for (size_t i = 1; i < _countof(g_systemFiles); ++i) {
            if (GetFileVersionText(folder.ReadPath(g_systemFiles[i]), version, TRUE))
                list += version + L"\r\n";
        }
        SetDlgItemText(IDC_ABOUT_MODULES, list);
    }
    return TRUE;
}
