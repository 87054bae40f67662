// Version texts of files, from their version resources.
#pragma once

#include <vector>

#include "framework/Afx.h"

// The version resource of one file: the strings of its first translation.
class CFileVersionInfo {
public:
    // FALSE when the file has no readable version resource or no translation.
    BOOL Load(const wchar_t* pszPath);
    // A string of the first translation's table, "?" when it is missing.
    CString Value(const wchar_t* pszName) const;

private:
    std::vector<BYTE> m_info;
    CString m_strPrefix;
};

// The long form "description (recorded file name) version\r\nlegal notice\r\n"
// or, short, only the file version; a missing value counts as "?". FALSE
// (with an empty text) when the file has no readable version resource.
BOOL GetFileVersionText(const wchar_t* pszPath, CString& rText, BOOL bLongForm);
