#include "applet/Policies.h"

#include "framework/AfxHandles.h"

namespace {

// A policy value counts only as a 4-byte REG_DWORD; then nonzero sets it.
BOOL ReadPolicy(HKEY hKey, const wchar_t* pszName) {
    DWORD dwType = 0;
    DWORD dwValue = 0;
    DWORD cb = sizeof(dwValue);
    if (::RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue),
                           &cb) != ERROR_SUCCESS ||
        dwType != REG_DWORD || cb != sizeof(dwValue))
        return FALSE;
    return dwValue != 0;
}

}  // namespace

CPolicyValues ReadPolicyValues() {
    CPolicyValues values = {};
    CRegKeyHandle key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\IVRO", 0, KEY_QUERY_VALUE,
                        key.Receive()) != ERROR_SUCCESS)
        return values;
    values.bUseWmi = ReadPolicy(key.Get(), L"UseWmi");
    values.bDisableFirmwareUpdate = ReadPolicy(key.Get(), L"DisableFirmwareUpdate");
    values.bDisableKcfUpdate = ReadPolicy(key.Get(), L"DisableKcfUpdate");
    values.bDisableKeyLock = ReadPolicy(key.Get(), L"DisableKeyLock");
    values.bDisableBiosUpdate = ReadPolicy(key.Get(), L"DisableBiosUpdate");
    values.bDisableUserlogoUpdate = ReadPolicy(key.Get(), L"DisableUserlogoUpdate");
    return values;
}
