// Turning an error code into text for the user.
#pragma once

#include "framework/Afx.h"

// The system's text for an error code, without a trailing line break. The
// text lives in one buffer shared by all callers until the next call.
const wchar_t* GetSystemErrorText(DWORD dwError);

// The string id of the short status word that a field shows when its value
// could not be read: "(keine)", "Timeout", "Busy" or "Fehler".
UINT GetStatusWordId(DWORD dwError);

// The status word itself, loaded.
CString LoadStatusWord(DWORD dwError);

// Shows the string nIDS, a line break and the system text of the thread's
// last error. Call it right after the failed operation.
void ShowDeviceError(UINT nIDS);
