// Version texts of files, from their version resources.
#pragma once

#include "framework/Afx.h"

// The long form "description (recorded file name) version\r\nlegal notice\r\n"
// or, short, only the file version; a missing value counts as "?". FALSE
// (with an empty text) when the file has no readable version resource.
BOOL GetFileVersionText(const wchar_t* pszPath, CString& rText, BOOL bLongForm);
