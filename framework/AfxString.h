// CString: the framework's wide string, a thin layer over std::wstring.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const wchar_t* psz) : m_str(psz ? psz : L"") {}
    CString(const wchar_t* pch, int nLength) : m_str(pch, static_cast<size_t>(nLength)) {}
    CString(std::wstring str) : m_str(std::move(str)) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetString() const { return m_str.c_str(); }
    const std::wstring& Str() const { return m_str; }
    wchar_t operator[](int i) const { return m_str[static_cast<size_t>(i)]; }

    CString& operator=(const wchar_t* psz) {
        m_str = psz ? psz : L"";
        return *this;
    }
    CString& operator+=(const wchar_t* psz) {
        m_str += psz ? psz : L"";
        return *this;
    }
    CString& operator+=(const CString& s) {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(wchar_t ch) {
        m_str += ch;
        return *this;
    }
    friend CString operator+(const CString& a, const CString& b) {
        return CString(a.m_str + b.m_str);
    }
    friend CString operator+(const CString& a, const wchar_t* b) {
        return CString(a.m_str + (b ? b : L""));
    }
    friend CString operator+(const wchar_t* a, const CString& b) {
        return CString((a ? a : L"") + b.m_str);
    }
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.m_str == (b ? b : L""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }

    int Compare(const wchar_t* psz) const { return m_str.compare(psz ? psz : L""); }
    int Find(wchar_t ch, int nStart = 0) const;
    int Find(const wchar_t* psz, int nStart = 0) const;
    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    void MakeUpper();

    // Printf-style formatting; use %ls for wide strings (portable).
    void Format(const wchar_t* pszFormat, ...);
    void FormatV(const wchar_t* pszFormat, va_list args);
    // Loads a string-table text of the resource module; FALSE if there is none.
    BOOL LoadString(UINT nID);

    // Direct buffer access for Win32 calls that fill a text.
    wchar_t* GetBuffer(int nMinLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::wstring m_str;
};

// Replaces %1 .. %9 in a format text (the framework's message formatting).
CString AfxFormatStrings(const wchar_t* pszFormat, const wchar_t* const* rgpsz, int nString);
void AfxFormatString1(CString& rString, UINT nIDS, const wchar_t* psz1);
void AfxFormatString2(CString& rString, UINT nIDS, const wchar_t* psz1, const wchar_t* psz2);
