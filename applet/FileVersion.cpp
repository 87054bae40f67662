#include "applet/FileVersion.h"

#include <cwchar>

namespace {
struct CTranslation {
    WORD wLanguage;
    WORD wCodePage;
};
}  // namespace

BOOL CFileVersionInfo::Load(const wchar_t* pszPath) {
    m_info.clear();
    m_strPrefix.Empty();
    DWORD dwHandle = 0;
    DWORD cbInfo = ::GetFileVersionInfoSizeW(pszPath, &dwHandle);
    if (cbInfo == 0) return FALSE;
    std::vector<BYTE> info(cbInfo);
    if (!::GetFileVersionInfoW(pszPath, 0, cbInfo, info.data())) return FALSE;

    void* pTranslation = nullptr;
    UINT cbTranslation = 0;
    if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &pTranslation,
                          &cbTranslation) ||
        cbTranslation < sizeof(CTranslation))
        return FALSE;
    const CTranslation* pFirst = static_cast<const CTranslation*>(pTranslation);
    m_strPrefix.Format(L"\\StringFileInfo\\%04x%04x\\", pFirst->wLanguage, pFirst->wCodePage);
    m_info = std::move(info);
    return TRUE;
}

CString CFileVersionInfo::Value(const wchar_t* pszName) const {
    void* pValue = nullptr;
    UINT nChars = 0;
    if (m_info.empty() ||
        !::VerQueryValueW(m_info.data(), m_strPrefix + pszName, &pValue, &nChars) || !pValue)
        return CString(L"?");
    const wchar_t* psz = static_cast<const wchar_t*>(pValue);
    return CString(psz, static_cast<int>(wcsnlen(psz, nChars)));
}

BOOL GetFileVersionText(const wchar_t* pszPath, CString& rText, BOOL bLongForm) {
    rText.Empty();
    CFileVersionInfo info;
    if (!info.Load(pszPath)) return FALSE;
    if (bLongForm)
        rText.Format(L"%ls (%ls) %ls\r\n%ls\r\n", info.Value(L"FileDescription").GetString(),
                     info.Value(L"OriginalFilename").GetString(),
                     info.Value(L"FileVersion").GetString(),
                     info.Value(L"LegalCopyright").GetString());
    else
        rText = info.Value(L"FileVersion");
    return TRUE;
}
