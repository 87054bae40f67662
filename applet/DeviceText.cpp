#include "applet/DeviceText.h"

#include <vector>

#include "applet/ErrorText.h"

BOOL ReadDeviceText(DeviceTextProc pfnRead, DWORD dwItem, DWORD cbBuffer, CString& rText) {
    const size_t nChars = cbBuffer / sizeof(WCHAR);
    // One element more than the library may fill, always zero.
    std::vector<WCHAR> buffer(nChars + 1, L'\0');
    if (!pfnRead(dwItem, buffer.data(), static_cast<DWORD>(nChars * sizeof(WCHAR)))) return FALSE;
    rText = buffer.data();
    return TRUE;
}

CString ReadDeviceTextOrStatus(DeviceTextProc pfnRead, DWORD dwItem, DWORD cbBuffer) {
    CString text;
    if (!ReadDeviceText(pfnRead, dwItem, cbBuffer, text)) return LoadStatusWord(::GetLastError());
    return text;
}
