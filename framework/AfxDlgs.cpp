#include "framework/AfxDlgs.h"

#include <cwchar>

#include "framework/AfxWin.h"

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const wchar_t* pszDefExt, const wchar_t* pszFileName,
                         DWORD dwFlags, const wchar_t* pszFilter, CWnd* pParentWnd)
    : m_ofn(),
      m_bOpenFileDialog(bOpenFileDialog),
      m_pParentWnd(pParentWnd),
      m_strDefExt(pszDefExt),
      m_szFileName() {
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.Flags = dwFlags;
    if (pszFileName) {
        // A proposed name longer than the buffer is cut, never overrun.
        std::wcsncpy(m_szFileName, pszFileName, kMaxPath - 1);
        m_szFileName[kMaxPath - 1] = L'\0';
    }
    if (pszFilter && *pszFilter) {
        // "a|b|c|d||" becomes "a\0b\0c\0d\0\0".
        for (const wchar_t* p = pszFilter; *p; ++p) m_filter.push_back(*p == L'|' ? L'\0' : *p);
        m_filter.push_back(L'\0');
        m_filter.push_back(L'\0');
    }
}

INT_PTR CFileDialog::DoModal() {
    m_ofn.hwndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : ::GetActiveWindow();
    m_ofn.hInstance = AfxGetResourceHandle();
    m_ofn.lpstrFilter = m_filter.empty() ? nullptr : m_filter.data();
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = kMaxPath;
    m_ofn.lpstrDefExt = m_strDefExt.IsEmpty() ? nullptr : m_strDefExt.GetString();
    BOOL bResult = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return bResult ? IDOK : IDCANCEL;
}

CString CFileDialog::GetPathName() const {
    return CString(m_szFileName);
}
