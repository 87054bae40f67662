// The common file dialogs in the framework's form.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "framework/AfxString.h"

class CWnd;

// Open or Save As dialog over GetOpenFileNameW / GetSaveFileNameW. The filter
// is the framework's text "description|pattern|...||"; the dialog is owned
// by the parent window, or without one by the active window.
class CFileDialog {
public:
    explicit CFileDialog(BOOL bOpenFileDialog, const wchar_t* pszDefExt = nullptr,
                         const wchar_t* pszFileName = nullptr,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         const wchar_t* pszFilter = nullptr, CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK with the chosen path, or IDCANCEL (also when the dialog failed).
    INT_PTR DoModal();
    CString GetPathName() const;

    OPENFILENAMEW m_ofn;

    // Characters of the path buffer, terminator included.
    static constexpr DWORD kMaxPath = MAX_PATH + 1;

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    CString m_strDefExt;
    std::vector<wchar_t> m_filter;  // pairs of terminated texts, ended by an empty one
    wchar_t m_szFileName[kMaxPath];
};
