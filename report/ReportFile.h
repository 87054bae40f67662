// Saving a report: UTF-16LE text without byte-order mark, as the report view
// and the report tool write it.
#pragma once

#include "framework/Afx.h"

// Writes the text to a new or replaced file and leaves no partly written
// file behind. Shows nothing: returns 0 when saved, else the id of the
// message that says what failed (IDS_CANNOT_CREATE_FILE or
// IDS_CANNOT_WRITE_FILE) with the system's reason as the thread's last error.
UINT SaveReportText(const wchar_t* pszPath, const CString& text);
