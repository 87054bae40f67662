#include "applet/FileVersion.h"

#include <cwchar>
#include <vector>

namespace {
struct CTranslation {
    WORD wLanguage;
    WORD wCodePage;
};
}  // namespace

BOOL GetFileVersionText(const wchar_t* pszPath, CString& rText, BOOL bLongForm) {
    rText.Empty();
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
    CString prefix;
    prefix.Format(L"\\StringFileInfo\\%04x%04x\\", pFirst->wLanguage, pFirst->wCodePage);

    auto value = [&](const wchar_t* pszName) {
        void* pValue = nullptr;
        UINT nChars = 0;
        if (!::VerQueryValueW(info.data(), prefix + pszName, &pValue, &nChars) || !pValue)
            return CString(L"?");
        const wchar_t* psz = static_cast<const wchar_t*>(pValue);
        return CString(psz, static_cast<int>(wcsnlen(psz, nChars)));
    };
    if (bLongForm)
        rText.Format(L"%ls (%ls) %ls\r\n%ls\r\n", value(L"FileDescription").GetString(),
                     value(L"OriginalFilename").GetString(), value(L"FileVersion").GetString(),
                     value(L"LegalCopyright").GetString());
    else
        rText = value(L"FileVersion");
    return TRUE;
}
