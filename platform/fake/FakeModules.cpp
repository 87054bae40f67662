// Fake modules (LoadLibrary, GetProcAddress, ...) over a table that tests
// register, and activation contexts that only keep count.
#include "FakeInternal.h"

#include <cstring>

using namespace fakeplat::detail;

namespace {

struct Module {
    std::wstring strName;  // as registered
    HMODULE hModule = nullptr;
    std::vector<fakeplat::ModuleExport> exports;
    bool bPinned = false;      // loaded with the process, never unloaded
    std::wstring strFileName;  // set by SetModuleFileName; else derived from strName
    fakeplat::ModuleStats stats;
};

const HMODULE kMainModule = reinterpret_cast<HMODULE>(static_cast<ULONG_PTR>(0x400000));

std::vector<Module> g_modules;
std::vector<std::wstring> g_loadCalls;
std::wstring g_strMainPath;

std::vector<HANDLE> g_actCtxs;           // created, not yet released
std::vector<ULONG_PTR> g_activeCookies;  // innermost last
ULONG_PTR g_nNextCookie = 0;
fakeplat::ActCtxStats g_actStats;
DWORD g_dwFailCreateActCtx = 0;

std::wstring FilePart(const std::wstring& str) {
    const size_t pos = str.find_last_of(L"\\/");
    return pos == std::wstring::npos ? str : str.substr(pos + 1);
}

bool HasDir(const std::wstring& str) {
    return str.find_last_of(L"\\/:") != std::wstring::npos;
}

// A request without extension means ".dll"; a trailing dot means none.
std::wstring WithExtension(const std::wstring& str) {
    const std::wstring strFile = FilePart(str);
    if (!strFile.empty() && strFile.back() == L'.') return str.substr(0, str.size() - 1);
    if (strFile.find(L'.') == std::wstring::npos) return str + L".dll";
    return str;
}

bool Matches(const Module& m, const std::wstring& strRequest) {
    const std::wstring strName = WithExtension(m.strName);
    if (EqualNoCase(strName, strRequest)) return true;
    return (!HasDir(strName) || !HasDir(strRequest)) &&
           EqualNoCase(FilePart(strName), FilePart(strRequest));
}

Module* FindByNameLocked(const std::wstring& strRequest) {
    const std::wstring str = WithExtension(strRequest);
    for (auto& m : g_modules)
        if (Matches(m, str)) return &m;
    return nullptr;
}

Module* FindByHandleLocked(HMODULE h) {
    for (auto& m : g_modules)
        if (m.hModule == h) return &m;
    return nullptr;
}

bool IsLoaded(const Module& m) {
    return m.bPinned || m.stats.nRefCount > 0;
}

std::wstring PathOfLocked(const Module& m) {
    if (!m.strFileName.empty()) return m.strFileName;
    if (HasDir(m.strName)) return m.strName;
    return SystemDirectoryLocked() + L"\\" + m.strName;
}

HMODULE LoadLocked(const std::wstring& strName) {
    g_loadCalls.push_back(strName);
    Module* pModule = strName.empty() ? nullptr : FindByNameLocked(strName);
    if (!pModule) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++pModule->stats.nLoadCalls;
    ++pModule->stats.nRefCount;
    return pModule->hModule;
}

}  // namespace

namespace fakeplat {
namespace detail {

void ResetModulesLocked() {
    g_modules.clear();
    g_loadCalls.clear();
    g_strMainPath = L"C:\\Windows\\System32\\control.exe";
    g_actCtxs.clear();
    g_activeCookies.clear();
    g_actStats = ActCtxStats{};
    g_dwFailCreateActCtx = 0;
}

}  // namespace detail

HMODULE RegisterModule(const std::wstring& strName, std::vector<ModuleExport> exports,
                       bool bLoaded) {
    Lock lock(StateMutex());
    Module m;
    m.strName = strName;
    m.hModule = reinterpret_cast<HMODULE>(NextHandleValueLocked() << 16);
    m.exports = std::move(exports);
    m.bPinned = bLoaded;
    g_modules.push_back(std::move(m));
    return g_modules.back().hModule;
}

ModuleStats ModuleStatsOf(const std::wstring& strName) {
    Lock lock(StateMutex());
    const Module* pModule = FindByNameLocked(strName);
    return pModule ? pModule->stats : ModuleStats{};
}

std::vector<std::wstring> LoadLibraryCalls() {
    Lock lock(StateMutex());
    return g_loadCalls;
}

HMODULE MainModule() {
    return kMainModule;
}

void SetModuleFileName(HMODULE hModule, const std::wstring& strPath) {
    Lock lock(StateMutex());
    if (!hModule || hModule == kMainModule) {
        g_strMainPath = strPath;
    } else if (Module* pModule = FindByHandleLocked(hModule)) {
        pModule->strFileName = strPath;
    }
}

ActCtxStats ActCtx() {
    Lock lock(StateMutex());
    ActCtxStats stats = g_actStats;
    stats.nActive = static_cast<int>(g_activeCookies.size());
    return stats;
}

void FailCreateActCtx(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailCreateActCtx = dwError;
}

}  // namespace fakeplat

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Lock lock(StateMutex());
    return LoadLocked(lpLibFileName);
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Lock lock(StateMutex());
    return LoadLocked(FromNarrow(lpLibFileName));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    Lock lock(StateMutex());
    Module* pModule = FindByHandleLocked(hLibModule);
    if (!pModule || !IsLoaded(*pModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (pModule->stats.nRefCount > 0) {
        --pModule->stats.nRefCount;
        ++pModule->stats.nFreeCalls;
    }
    return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    Lock lock(StateMutex());
    if (!hModule || hModule == kMainModule) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const Module* pModule = FindByHandleLocked(hModule);
    if (!pModule || !IsLoaded(*pModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const bool bOrdinal = IS_INTRESOURCE(lpProcName);
    const auto wOrdinal = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpProcName));
    for (const auto& e : pModule->exports) {
        if (bOrdinal ? (wOrdinal != 0 && e.wOrdinal == wOrdinal)
                     : (!e.strName.empty() && e.strName == lpProcName))
            return e.pfn;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName) {
    if (!lpModuleName) return kMainModule;
    Lock lock(StateMutex());
    const Module* pModule = FindByNameLocked(lpModuleName);
    if (!pModule || !IsLoaded(*pModule)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return pModule->hModule;
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    Lock lock(StateMutex());
    std::wstring strPath;
    if (!hModule || hModule == kMainModule) {
        strPath = g_strMainPath;
    } else {
        const Module* pModule = FindByHandleLocked(hModule);
        if (!pModule || !IsLoaded(*pModule)) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        strPath = PathOfLocked(*pModule);
    }
    if (CopyToBuffer(strPath, lpFilename, nSize)) return static_cast<DWORD>(strPath.size());
    // Truncated and terminated; the result is the buffer size.
    if (lpFilename && nSize) {
        std::memcpy(lpFilename, strPath.c_str(), (nSize - 1) * sizeof(WCHAR));
        lpFilename[nSize - 1] = L'\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

HANDLE WINAPI CreateActCtxW(PCACTCTXW pActCtx) {
    if (!pActCtx || pActCtx->cbSize < sizeof(ACTCTXW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    Lock lock(StateMutex());
    fakeplat::ActCtxRequest request{};
    request.dwFlags = pActCtx->dwFlags;
    if (pActCtx->lpSource) request.strSource = pActCtx->lpSource;
    if (pActCtx->dwFlags & ACTCTX_FLAG_RESOURCE_NAME_VALID) {
        if (IS_INTRESOURCE(pActCtx->lpResourceName))
            request.nResourceId = reinterpret_cast<ULONG_PTR>(pActCtx->lpResourceName);
        else
            request.strResourceName = pActCtx->lpResourceName;
    }
    if (pActCtx->dwFlags & ACTCTX_FLAG_HMODULE_VALID) request.hModule = pActCtx->hModule;
    g_actStats.requests.push_back(request);
    if (g_dwFailCreateActCtx) {
        SetLastError(g_dwFailCreateActCtx);
        return INVALID_HANDLE_VALUE;
    }
    if (!(pActCtx->dwFlags & ACTCTX_FLAG_HMODULE_VALID) && !pActCtx->lpSource) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    ++g_actStats.nCreated;
    const auto h = reinterpret_cast<HANDLE>(NextHandleValueLocked());
    g_actCtxs.push_back(h);
    return h;
}

BOOL WINAPI ActivateActCtx(HANDLE hActCtx, ULONG_PTR* lpCookie) {
    if (!lpCookie) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    bool bKnown = hActCtx == nullptr;  // null activates the process default
    for (HANDLE h : g_actCtxs) bKnown = bKnown || h == hActCtx;
    if (!bKnown) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpCookie = ++g_nNextCookie;
    g_activeCookies.push_back(*lpCookie);
    ++g_actStats.nActivations;
    return TRUE;
}

BOOL WINAPI DeactivateActCtx(DWORD dwFlags, ULONG_PTR ulCookie) {
    Lock lock(StateMutex());
    auto it = g_activeCookies.end();
    for (auto c = g_activeCookies.begin(); c != g_activeCookies.end(); ++c)
        if (*c == ulCookie) it = c;
    const bool bInnermost = !g_activeCookies.empty() && g_activeCookies.back() == ulCookie;
    if (it == g_activeCookies.end() ||
        (!bInnermost && !(dwFlags & DEACTIVATE_ACTCTX_FLAG_FORCE_EARLY_DEACTIVATION))) {
        // Windows raises an exception here; the fake counts the fault.
        ++g_actStats.nBadDeactivations;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    g_activeCookies.erase(it, g_activeCookies.end());
    ++g_actStats.nDeactivations;
    return TRUE;
}

void WINAPI ReleaseActCtx(HANDLE hActCtx) {
    Lock lock(StateMutex());
    for (auto it = g_actCtxs.begin(); it != g_actCtxs.end(); ++it) {
        if (*it == hActCtx) {
            ++g_actStats.nReleased;
            g_actCtxs.erase(it);
            return;
        }
    }
}
