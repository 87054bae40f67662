// Fake process token, privileges and ExitWindowsEx: calls are recorded, and
// nothing is ever shut down.
#include "FakeInternal.h"

#include <set>

using namespace fakeplat::detail;

namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const DWORD kShutdownLuid = 19;

struct TokenObject : KernelObject {
    DWORD dwAccess = 0;
};

const struct {
    const wchar_t* pszName;
    DWORD dwLuid;
} kPrivileges[] = {
    {L"SeCreateTokenPrivilege", 2},
    {L"SeAssignPrimaryTokenPrivilege", 3},
    {L"SeLockMemoryPrivilege", 4},
    {L"SeIncreaseQuotaPrivilege", 5},
    {L"SeMachineAccountPrivilege", 6},
    {L"SeTcbPrivilege", 7},
    {L"SeSecurityPrivilege", 8},
    {L"SeTakeOwnershipPrivilege", 9},
    {L"SeLoadDriverPrivilege", 10},
    {L"SeSystemProfilePrivilege", 11},
    {L"SeSystemtimePrivilege", 12},
    {L"SeProfileSingleProcessPrivilege", 13},
    {L"SeIncreaseBasePriorityPrivilege", 14},
    {L"SeCreatePagefilePrivilege", 15},
    {L"SeCreatePermanentPrivilege", 16},
    {L"SeBackupPrivilege", 17},
    {L"SeRestorePrivilege", 18},
    {L"SeShutdownPrivilege", kShutdownLuid},
    {L"SeDebugPrivilege", 20},
    {L"SeAuditPrivilege", 21},
    {L"SeSystemEnvironmentPrivilege", 22},
    {L"SeChangeNotifyPrivilege", 23},
    {L"SeRemoteShutdownPrivilege", 24},
    {L"SeUndockPrivilege", 25},
    {L"SeManageVolumePrivilege", 28},
    {L"SeImpersonatePrivilege", 29},
    {L"SeCreateGlobalPrivilege", 30},
    {L"SeIncreaseWorkingSetPrivilege", 33},
    {L"SeTimeZonePrivilege", 34},
};

fakeplat::ShutdownLog g_log;
std::set<DWORD> g_held;     // privileges of the process token
std::set<DWORD> g_enabled;  // of those, enabled
DWORD g_dwFailOpenToken = 0;
DWORD g_dwFailExitWindows = 0;

}  // namespace

namespace fakeplat {
namespace detail {

void ResetSecurityLocked() {
    g_log = ShutdownLog{};
    // A standard interactive user.
    g_held = {kShutdownLuid, 23, 25, 33, 34};
    g_enabled = {23};
    g_dwFailOpenToken = 0;
    g_dwFailExitWindows = 0;
}

}  // namespace detail

ShutdownLog Shutdown() {
    Lock lock(StateMutex());
    return g_log;
}

LUID ShutdownPrivilegeLuid() {
    LUID luid{};
    luid.LowPart = kShutdownLuid;
    return luid;
}

bool ShutdownPrivilegeEnabled() {
    Lock lock(StateMutex());
    return g_enabled.count(kShutdownLuid) != 0;
}

void FailOpenProcessToken(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailOpenToken = dwError;
}

void SetShutdownPrivilegeHeld(bool bHeld) {
    Lock lock(StateMutex());
    if (bHeld) {
        g_held.insert(kShutdownLuid);
    } else {
        g_held.erase(kShutdownLuid);
        g_enabled.erase(kShutdownLuid);
    }
}

void FailExitWindows(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailExitWindows = dwError;
}

}  // namespace fakeplat

HANDLE WINAPI GetCurrentProcess(void) {
    return kCurrentProcess;
}

DWORD WINAPI GetCurrentProcessId(void) {
    return 4242;
}

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle) {
    if (!TokenHandle) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    Lock lock(StateMutex());
    ++g_log.nOpenTokenCalls;
    g_log.dwTokenAccess = DesiredAccess;
    if (ProcessHandle != kCurrentProcess) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (g_dwFailOpenToken) {
        SetLastError(g_dwFailOpenToken);
        return FALSE;
    }
    auto pToken = std::make_shared<TokenObject>();
    pToken->dwAccess =
        DesiredAccess & (GENERIC_ALL | MAXIMUM_ALLOWED) ? TOKEN_ALL_ACCESS : DesiredAccess;
    *TokenHandle = AddHandleLocked(pToken);
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueW(LPCWSTR lpSystemName, LPCWSTR lpName, PLUID lpLuid) {
    if (!lpName || !lpLuid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    (void)lpSystemName;
    Lock lock(StateMutex());
    g_log.lookedUp.push_back(lpName);
    for (const auto& p : kPrivileges) {
        if (EqualNoCase(p.pszName, lpName)) {
            lpLuid->LowPart = p.dwLuid;
            lpLuid->HighPart = 0;
            return TRUE;
        }
    }
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE TokenHandle, BOOL DisableAllPrivileges,
                                  PTOKEN_PRIVILEGES NewState, DWORD BufferLength,
                                  PTOKEN_PRIVILEGES PreviousState, PDWORD ReturnLength) {
    if (!DisableAllPrivileges && !NewState) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    auto pToken = FindHandleAsLocked<TokenObject>(TokenHandle);
    if (!pToken) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(pToken->dwAccess & TOKEN_ADJUST_PRIVILEGES)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // The entries to change, with their new state.
    std::vector<LUID_AND_ATTRIBUTES> changes;
    if (DisableAllPrivileges) {
        for (DWORD luid : g_enabled) {
            LUID_AND_ATTRIBUTES la{};
            la.Luid.LowPart = luid;
            changes.push_back(la);
        }
    } else {
        for (DWORD i = 0; i < NewState->PrivilegeCount; ++i)
            changes.push_back(NewState->Privileges[i]);
    }
    if (PreviousState) {
        const DWORD cbNeeded = static_cast<DWORD>(sizeof(TOKEN_PRIVILEGES) +
                                                  (changes.empty() ? 0 : changes.size() - 1) *
                                                      sizeof(LUID_AND_ATTRIBUTES));
        if (ReturnLength) *ReturnLength = cbNeeded;
        if (BufferLength < cbNeeded) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        PreviousState->PrivilegeCount = 0;
    }
    bool bNotAll = false;
    for (const auto& change : changes) {
        const DWORD luid = change.Luid.LowPart;
        if (!DisableAllPrivileges) g_log.adjustments.push_back({change.Luid, change.Attributes});
        if (change.Luid.HighPart != 0 || !g_held.count(luid)) {
            bNotAll = true;
            continue;
        }
        if (PreviousState) {
            LUID_AND_ATTRIBUTES& prev = PreviousState->Privileges[PreviousState->PrivilegeCount++];
            prev.Luid = change.Luid;
            prev.Attributes = g_enabled.count(luid) ? SE_PRIVILEGE_ENABLED : 0;
        }
        if (change.Attributes & SE_PRIVILEGE_REMOVED) {
            g_held.erase(luid);
            g_enabled.erase(luid);
        } else if (change.Attributes & SE_PRIVILEGE_ENABLED) {
            g_enabled.insert(luid);
        } else {
            g_enabled.erase(luid);
        }
    }
    // Succeeds even when some privilege is not held; the last error tells.
    SetLastError(bNotAll ? ERROR_NOT_ALL_ASSIGNED : ERROR_SUCCESS);
    return TRUE;
}

BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
    Lock lock(StateMutex());
    DWORD dwError = g_dwFailExitWindows;
    const bool bNeedsPrivilege = (uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
    if (!dwError && bNeedsPrivilege && !g_enabled.count(kShutdownLuid))
        dwError = ERROR_PRIVILEGE_NOT_HELD;
    g_log.exitCalls.push_back({uFlags, dwReason, dwError ? FALSE : TRUE});
    if (dwError) {
        SetLastError(dwError);
        return FALSE;
    }
    return TRUE;
}
