// The application object: the only state that outlives a sheet run.
#pragma once

#include "framework/Afx.h"

class CCplApp : public CWinApp {
public:
    CCplApp();

    BOOL m_bHelpAvailable;
    BOOL m_bRestartRequired;
    BOOL m_bPowerCycleRequired;
    BOOL m_bDisableFirmwareUpdate;
    BOOL m_bDisableKcfUpdate;
    BOOL m_bDisableKeyLock;
    BOOL m_bDisableBiosUpdate;
    BOOL m_bDisableUserlogoUpdate;
    DWORD m_nDeviceType;
    BOOL m_bBiosUpdated;
    BOOL m_bRavlaSlot1Updated;
    BOOL m_bRavlaSlot2Updated;
    BOOL m_bFpgaUpdated;
    BOOL m_bFpga1Updated;
    BOOL m_bUserLogoUpdated;
    CString m_strHelpFile;
    BOOL m_bInitialized;

    // Device families reported by the device-access library.
    static constexpr DWORD kDeviceMarlet = 4;
    static constexpr DWORD kDeviceFerrow = 5;

private:
    void SearchHelpFile();
};

// The application object of this module (the one constructed last).
CCplApp& GetCplApp();
