// Reading the texts that the device-access library writes into a caller's
// buffer. A text that fills the buffer comes back without a terminating
// zero, so it is never read as a C string in place.
#pragma once

#include "framework/Afx.h"

typedef BOOL(WINAPI* DeviceTextProc)(DWORD dwItem, WCHAR* pszText, DWORD cbSize);

// Calls pfnRead for dwItem with a buffer of cbBuffer bytes and returns the
// text, cut at the buffer's end. On failure returns FALSE with the thread's
// last error as the library left it.
BOOL ReadDeviceText(DeviceTextProc pfnRead, DWORD dwItem, DWORD cbBuffer, CString& rText);

// The text, or when it cannot be read the status word of the reason
// ("(keine)", "Timeout", "Busy", "Fehler"), as a field shows it.
CString ReadDeviceTextOrStatus(DeviceTextProc pfnRead, DWORD dwItem, DWORD cbBuffer);
