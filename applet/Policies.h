// The per-user settings that administrators set under HKEY_CURRENT_USER
// "Control Panel\IVRO"; read only, never written.
#pragma once

#include "framework/Afx.h"

struct CPolicyValues {
    BOOL bUseWmi;
    BOOL bDisableFirmwareUpdate;
    BOOL bDisableKcfUpdate;
    BOOL bDisableKeyLock;
    BOOL bDisableBiosUpdate;
    BOOL bDisableUserlogoUpdate;
};

// The values as they are now; a missing key or value, or one that is not a
// 4-byte REG_DWORD, counts as 0.
CPolicyValues ReadPolicyValues();
