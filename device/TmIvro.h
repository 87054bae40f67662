// The device-access library TmIvro.dll: 45 operations, imported by ordinal.
//
// Conventions every caller relies on:
// - Each operation returns a BOOL, nonzero on success. On failure the reason is
//   the thread's last error; read it with GetLastError() right after the call.
//   50 = the item or function does not exist on this device; 2, 120, 1168 =
//   nothing there; 121 and 1460 = time-out; 170 = device busy.
// - Selector operations take (item, buffer, size in bytes) and fill that many
//   bytes. Text operations fill WCHAR text; the size is in bytes and the text
//   is NOT guaranteed to be terminated when it fills the buffer.
// - The transfer operations block until the transfer ends and call the
//   progress callback on the calling thread; a callback result of 0 stops the
//   transfer, which then fails with ERROR_CANCELLED (1223).
// - The library accepts calls from several threads at once.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Progress callback of the transfer operations: percent 0..100 and the
// caller's context. Return nonzero to go on, 0 to stop.
typedef BOOL(CALLBACK* TransferProgressProc)(DWORD dwPercent, void* pContext);

// System
BOOL WINAPI IvroGetDeviceType(DWORD* pdwType);  // 4 Marlet, 5 Ferrow
BOOL WINAPI IvroSetWmiMode(BOOL bEnable);
BOOL WINAPI IvroGetWmiMode(DWORD* pdwMode);  // nonzero: CPU temperature via WMI

// Presence of keys and LEDs
BOOL WINAPI IvroGetKeyCount(BYTE* pbCount);
BOOL WINAPI IvroGetLedCount(BYTE* pbCount);

// Display (percent values)
BOOL WINAPI IvroGetDisplayType(BYTE* pbType);
BOOL WINAPI IvroGetBrightness(BYTE* pbPercent);
BOOL WINAPI IvroSetBrightness(BYTE bPercent);
BOOL WINAPI IvroGetDefaultBrightness(BYTE* pbPercent);
BOOL WINAPI IvroSetDefaultBrightness(BYTE bPercent);
BOOL WINAPI IvroGetFactoryBrightness(BYTE* pbPercent);
BOOL WINAPI IvroGetContrast(BYTE* pbPercent);
BOOL WINAPI IvroSetContrast(BYTE bPercent);
BOOL WINAPI IvroGetDefaultContrast(BYTE* pbPercent);
BOOL WINAPI IvroSetDefaultContrast(BYTE bPercent);
BOOL WINAPI IvroGetFactoryContrast(BYTE* pbPercent);

// Temperatures (sensor 0 CPU, 1 board I/O; signed byte) and switches
// (item 0 mode/node byte, item 1 write-protect DWORD)
BOOL WINAPI IvroGetTemperature(DWORD dwSensor, void* pBuffer, DWORD cbSize);
BOOL WINAPI IvroGetSwitch(DWORD dwItem, void* pBuffer, DWORD cbSize);

// Factory data
BOOL WINAPI IvroGetFactoryValue(DWORD dwItem, void* pBuffer, DWORD cbSize);
BOOL WINAPI IvroGetFactoryText(DWORD dwItem, WCHAR* pszText, DWORD cbSize);

// Keys (layers 0..3 as the device counts them)
BOOL WINAPI IvroGetKeyCodesEnabled(DWORD* pdwEnabled);
BOOL WINAPI IvroSetKeyCodesEnabled(BOOL bEnable);
BOOL WINAPI IvroGetKeyLayer(BYTE* pbLayer);
BOOL WINAPI IvroSetKeyLayer(BYTE bLayer);
BOOL WINAPI IvroGetKeyLayerMode(BYTE* pbMode);               // 0 Shift, 1 Toggle, 2 One-Shot
BOOL WINAPI IvroGetKeyMatrix(BYTE* pbMatrix, DWORD cbSize);  // 16 bytes
BOOL WINAPI IvroGetKeySwitches(BYTE* pbSwitches, DWORD cbSize);
BOOL WINAPI IvroGetKeyConfigValid(DWORD* pdwValid);
BOOL WINAPI IvroGetKeyConfigInfo(DWORD dwItem, WCHAR* pszText, DWORD cbSize);

// LEDs
BOOL WINAPI IvroGetLedState(BYTE bLayer, BYTE bLed, BYTE* pbState);
BOOL WINAPI IvroSetLedState(BYTE bLayer, BYTE bLed, BYTE bState);
BOOL WINAPI IvroGetLedMatrix(DWORD dwLayer, BYTE* pbMatrix, DWORD cbSize);  // 32 bytes
BOOL WINAPI IvroSetLedMatrix(DWORD dwLayer, const BYTE* pbMatrix, DWORD cbSize);
BOOL WINAPI IvroSetAllLeds(BYTE bState);

// Firmware and versions
BOOL WINAPI IvroGetFirmwareValue(DWORD dwItem, void* pBuffer, DWORD cbSize);
BOOL WINAPI IvroGetVersionText(DWORD dwItem, WCHAR* pszText, DWORD cbSize);
BOOL WINAPI IvroGetRavlaText(DWORD dwItem, WCHAR* pszText, DWORD cbSize);

// Transfers
BOOL WINAPI IvroDownloadFile(const WCHAR* pszPath, DWORD dwKind, TransferProgressProc pfnProgress,
                             void* pContext);
BOOL WINAPI IvroUploadFile(const WCHAR* pszPath, DWORD dwKind, TransferProgressProc pfnProgress,
                           void* pContext);
BOOL WINAPI IvroGetTransferInfo(DWORD dwItem, DWORD* pdwValue, DWORD cbSize);

// User settings
BOOL WINAPI IvroGetUserLed(BYTE* pbState);  // 3 = on
BOOL WINAPI IvroSetUserLed(BYTE bState);
BOOL WINAPI IvroGetUserSerialId(DWORD* pdwId);
BOOL WINAPI IvroGetUserLogoText(DWORD dwItem, WCHAR* pszText, DWORD cbSize);
BOOL WINAPI IvroGetUserLogoValue(DWORD dwItem, void* pBuffer, DWORD cbSize);

#ifdef __cplusplus
}
#endif
