#include "framework/AfxString.h"

#include <cwchar>
#include <cwctype>
#include <vector>

#include "framework/AfxWin.h"

int CString::Find(wchar_t ch, int nStart) const {
    if (nStart < 0 || nStart > GetLength()) return -1;
    size_t pos = m_str.find(ch, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* psz, int nStart) const {
    if (!psz || nStart < 0 || nStart > GetLength()) return -1;
    size_t pos = m_str.find(psz, static_cast<size_t>(nStart));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int nCount) const {
    if (nCount < 0) nCount = 0;
    return CString(m_str.substr(0, static_cast<size_t>(nCount)));
}

CString CString::Mid(int nFirst) const {
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const {
    if (nFirst < 0) nFirst = 0;
    if (nFirst >= GetLength() || nCount <= 0) return CString();
    return CString(m_str.substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount)));
}

void CString::MakeUpper() {
    for (wchar_t& ch : m_str) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
}

void CString::Format(const wchar_t* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const wchar_t* pszFormat, va_list args) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), pszFormat, copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            m_str.assign(buffer.data(), static_cast<size_t>(n));
            return;
        }
        // vswprintf reports -1 both for "too small" and for encoding errors;
        // give up at a size no formatted message of ours reaches.
        if (buffer.size() >= (1u << 20)) {
            m_str.clear();
            return;
        }
        buffer.resize(buffer.size() * 4);
    }
}

BOOL CString::LoadString(UINT nID) {
    std::vector<wchar_t> buffer(512);
    for (;;) {
        int n = ::LoadStringW(AfxGetResourceHandle(), nID, buffer.data(),
                              static_cast<int>(buffer.size()));
        if (n <= 0) {
            m_str.clear();
            return FALSE;
        }
        if (static_cast<size_t>(n) < buffer.size() - 1) {
            m_str.assign(buffer.data(), static_cast<size_t>(n));
            return TRUE;
        }
        buffer.resize(buffer.size() * 4);
    }
}

wchar_t* CString::GetBuffer(int nMinLength) {
    if (nMinLength < 0) nMinLength = 0;
    if (m_str.size() < static_cast<size_t>(nMinLength))
        m_str.resize(static_cast<size_t>(nMinLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength) {
    if (nNewLength < 0) {
        size_t n = 0;
        while (n < m_str.size() && m_str[n] != L'\0') ++n;
        m_str.resize(n);
    } else if (static_cast<size_t>(nNewLength) <= m_str.size()) {
        m_str.resize(static_cast<size_t>(nNewLength));
    }
}

CString AfxFormatStrings(const wchar_t* pszFormat, const wchar_t* const* rgpsz, int nString) {
    std::wstring out;
    for (const wchar_t* p = pszFormat ? pszFormat : L""; *p; ++p) {
        if (p[0] == L'%' && p[1] >= L'1' && p[1] <= L'9') {
            int i = p[1] - L'1';
            if (i < nString && rgpsz[i]) out += rgpsz[i];
            ++p;
        } else {
            out += *p;
        }
    }
    return CString(out);
}

void AfxFormatString1(CString& rString, UINT nIDS, const wchar_t* psz1) {
    CString format;
    format.LoadString(nIDS);
    rString = AfxFormatStrings(format, &psz1, 1);
}

void AfxFormatString2(CString& rString, UINT nIDS, const wchar_t* psz1, const wchar_t* psz2) {
    CString format;
    format.LoadString(nIDS);
    const wchar_t* args[2] = {psz1, psz2};
    rString = AfxFormatStrings(format, args, 2);
}
