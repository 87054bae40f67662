// Path display helpers of the light-weight shell library. Text widths come
// from the window system's GetTextExtentPoint32W (the headless backend).
#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <string>

namespace {

const wchar_t kEllipsis[] = L"...";

class CTextMeasure {
public:
    explicit CTextMeasure(HDC hDC)
        : m_hOwnDC(hDC ? nullptr : GetDC(nullptr)), m_hDC(hDC ? hDC : m_hOwnDC) {}
    ~CTextMeasure() {
        if (m_hOwnDC) ReleaseDC(nullptr, m_hOwnDC);
    }
    CTextMeasure(const CTextMeasure&) = delete;
    CTextMeasure& operator=(const CTextMeasure&) = delete;

    UINT Width(const std::wstring& str) const {
        SIZE size = {0, 0};
        if (!GetTextExtentPoint32W(m_hDC, str.c_str(), static_cast<int>(str.size()), &size))
            return 0;
        return size.cx > 0 ? static_cast<UINT>(size.cx) : 0;
    }

private:
    HDC m_hOwnDC;
    HDC m_hDC;
};

void Store(LPWSTR pszPath, const std::wstring& str) {
    std::wmemcpy(pszPath, str.c_str(), str.size() + 1);
}

}  // namespace

extern "C" BOOL WINAPI PathCompactPathW(HDC hDC, LPWSTR pszPath, UINT dx) {
    if (!pszPath) return FALSE;
    const std::wstring strPath(pszPath);
    CTextMeasure measure(hDC);
    if (measure.Width(strPath) <= dx) return TRUE;

    // The file name with the separator before it stays whole as long as it can.
    size_t nName = strPath.find_last_of(L"\\/");
    if (nName != std::wstring::npos && nName > 0) {
        const std::wstring strName = strPath.substr(nName);
        for (size_t nKeep = nName; nKeep > 0; --nKeep) {
            std::wstring strTry = strPath.substr(0, nKeep) + kEllipsis + strName;
            if (strTry.size() < MAX_PATH && measure.Width(strTry) <= dx) {
                Store(pszPath, strTry);
                return TRUE;
            }
        }
        if (strName.size() + 3 < MAX_PATH && measure.Width(kEllipsis + strName) <= dx) {
            Store(pszPath, kEllipsis + strName);
            return TRUE;
        }
    }

    // Only the start of the file name (or of a path without separators) fits.
    const std::wstring strName = nName == std::wstring::npos ? strPath : strPath.substr(nName + 1);
    for (size_t nKeep = std::min<size_t>(strName.size(), MAX_PATH - 4); nKeep > 0; --nKeep) {
        std::wstring strTry = strName.substr(0, nKeep) + kEllipsis;
        if (measure.Width(strTry) <= dx) {
            Store(pszPath, strTry);
            return TRUE;
        }
    }
    std::wstring strDots;
    while (strDots.size() < 3 && measure.Width(strDots + L".") <= dx) strDots += L'.';
    Store(pszPath, strDots);
    return FALSE;
}
