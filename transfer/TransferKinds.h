// Transfer kinds and files: the kind codes, their display names and updated
// flags, file filters and proposed backup names, the check-result messages,
// and the start sequence shared by every "Update..." and "Sichern..." button.
#pragma once

#include "framework/Afx.h"

class CCplApp;

// Kind codes as the device-access library takes them.
constexpr DWORD TK_KCF = 0;
constexpr DWORD TK_BIOS = 7;
constexpr DWORD TK_FPGA = 8;
constexpr DWORD TK_RAVLA_SLOT1 = 9;
constexpr DWORD TK_RAVLA_SLOT2 = 10;
constexpr DWORD TK_FPGA1 = 11;
constexpr DWORD TK_USERLOGO = 12;

// The start sequence of a button: file dialog (with the kind's filter and,
// for an upload, its proposed name; message 1166 first when the kind was
// downloaded before), then the transfer dialog. A download that ends with
// IDOK sets the kind's updated flag. Returns the transfer dialog's result, or
// IDCANCEL when the user cancelled the file dialog.
INT_PTR StartTransfer(BOOL bDownload, DWORD nKind);

// What "%1" stands for in messages about the kind; "" for unknown codes.
const wchar_t* GetTransferKindName(DWORD nKind);

// The application's "downloaded since the module was loaded" flag of the
// kind, or nullptr for kinds without one (TK_KCF, unknown codes).
BOOL* GetUpdatedFlag(CCplApp& app, DWORD nKind);

// The file dialog's filter in the framework's "a|b|...||" form; downloads of
// FPGA, FPGA1 and Ravla firmware put the device's own entry first.
CString GetTransferFilter(BOOL bDownload, DWORD nKind);

// The file dialog's default extension ("kcf", "rom") or nullptr.
const wchar_t* GetTransferDefaultExtension(DWORD nKind);

// The proposed backup file name. Shows message 1166 first (and then reads
// nothing from the device) when the kind's updated flag is set.
CString GetProposedBackupName(DWORD nKind);

// The string id of a check result's message (IvroGetTransferInfo item 1 of a
// download, item 3 of an upload), 0 if the code has none.
UINT GetCheckResultTextId(BOOL bDownload, DWORD nCheckResult);

// Reads the attribute key="value" from an info text of nLength characters
// into pszField (room for nMax characters and a terminator). Only the key's
// first place counts, matched without regard to case. If it is missing or not
// followed directly by =", returns -1 and leaves pszField alone. Otherwise
// pszField gets the value up to the closing quote, cut to nMax characters,
// and the result is the key's position if the closing quote follows and the
// value is not empty, else -1.
int GetInfoAttribute(const wchar_t* pszText, int nLength, const wchar_t* pszKey, wchar_t* pszField,
                     int nMax);
