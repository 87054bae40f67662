// The Control Panel entry point and the sheet run of a double-click.
#include <windows.h>
#include <cpl.h>

#include <cstring>

#include "applet/CplApp.h"
#include "applet/Help.h"
#include "applet/CplPropertySheet.h"
#include "applet/Policies.h"
#include "device/TmIvro.h"
#include "framework/AfxHandles.h"
#include "res/resource.h"

// The host takes dwSize as the structure's size; cpl.h packs it to bytes.
#if defined(_WIN64)
static_assert(sizeof(NEWCPLINFOW) == 476, "NEWCPLINFOW is 476 bytes in a 64-bit build");
#elif defined(_WIN32)
static_assert(sizeof(NEWCPLINFOW) == 468, "NEWCPLINFOW is 468 bytes in a 32-bit build");
#endif

namespace {

struct CAppletIdentity {
    UINT nIcon;
    UINT nName;
    UINT nInfo;
    UINT nCaption;
};

CAppletIdentity IdentityOf(DWORD nDeviceType) {
    switch (nDeviceType) {
        case CCplApp::kDeviceMarlet:
            return {IDI_MARLET, IDS_APPLET_NAME_MARLET, IDS_APPLET_INFO_MARLET, IDS_CAPTION_MARLET};
        case CCplApp::kDeviceFerrow:
            return {IDI_FERROW, IDS_APPLET_NAME_FERROW, IDS_APPLET_INFO_FERROW, IDS_CAPTION_FERROW};
        default:
            return {IDI_APPLET, IDS_APPLET_NAME, IDS_APPLET_INFO, IDS_APPLET_NAME};
    }
}

bool IsMakersDevice(DWORD nDeviceType) {
    return nDeviceType == CCplApp::kDeviceMarlet || nDeviceType == CCplApp::kDeviceFerrow;
}

// Reads the per-user policies into the application object; returns "UseWmi".
bool ReadPolicies(CCplApp& app) {
    const CPolicyValues values = ReadPolicyValues();
    app.m_bDisableFirmwareUpdate = values.bDisableFirmwareUpdate;
    app.m_bDisableKcfUpdate = values.bDisableKcfUpdate;
    app.m_bDisableKeyLock = values.bDisableKeyLock;
    app.m_bDisableBiosUpdate = values.bDisableBiosUpdate;
    app.m_bDisableUserlogoUpdate = values.bDisableUserlogoUpdate;
    return values.bUseWmi != FALSE;
}

// Powers off or restarts the PC; a refusal is reported, never fatal.
void ShutdownSystem(UINT uFlags) {
    CHandle token;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                           token.Receive())) {
        TOKEN_PRIVILEGES privileges = {};
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        if (::LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege",
                                    &privileges.Privileges[0].Luid))
            ::AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
    }
    if (!::ExitWindowsEx(uFlags, 0)) AfxMessageBox(IDS_CANNOT_RESTART, MB_OK | MB_ICONSTOP);
}

// Keeps the module's own manifest (common controls 6) active for its
// lifetime, since not every Control Panel host activates it.
class CManifestActivation {
public:
    CManifestActivation() {
        ACTCTXW context = {};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = AfxGetResourceHandle();
        context.lpResourceName = MAKEINTRESOURCEW(123);
        m_hContext = ::CreateActCtxW(&context);
        if (m_hContext != INVALID_HANDLE_VALUE && !::ActivateActCtx(m_hContext, &m_nCookie))
            m_nCookie = 0;
    }
    ~CManifestActivation() {
        if (m_nCookie) ::DeactivateActCtx(0, m_nCookie);
        if (m_hContext != INVALID_HANDLE_VALUE) ::ReleaseActCtx(m_hContext);
    }
    CManifestActivation(const CManifestActivation&) = delete;
    CManifestActivation& operator=(const CManifestActivation&) = delete;

private:
    HANDLE m_hContext = INVALID_HANDLE_VALUE;
    ULONG_PTR m_nCookie = 0;
};

void RunSheet(CCplApp& app, HWND hWndOwner) {
    CManifestActivation manifest;
    if (!IsMakersDevice(app.m_nDeviceType)) AfxMessageBox(IDS_NOT_A_DEVICE, MB_OK | MB_ICONSTOP);

    INITCOMMONCONTROLSEX icc = {sizeof(icc),
                                ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);

    CString caption;
    caption.LoadString(IdentityOf(app.m_nDeviceType).nCaption);
    // The pages are chosen here, before the library may switch to WMI.
    CCplPropertySheet sheet(caption, hWndOwner);

    bool bUseWmi = ReadPolicies(app);
    if (bUseWmi) IvroSetWmiMode(TRUE);
    sheet.DoModal();
    CloseHelpWindows();
    if (bUseWmi) IvroSetWmiMode(FALSE);

    const UINT nQuestionStyle = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND;
    if (app.m_bPowerCycleRequired) {
        if (AfxMessageBox(IDS_ASK_POWER_CYCLE, nQuestionStyle) == IDYES)
            ShutdownSystem(EWX_POWEROFF);
    } else if (app.m_bRestartRequired) {
        if (AfxMessageBox(IDS_ASK_RESTART, nQuestionStyle) == IDYES) ShutdownSystem(EWX_REBOOT);
    }
}

}  // namespace

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM /*lParam1*/, LPARAM lParam2) {
    CCplApp& app = GetCplApp();
    switch (uMsg) {
        case CPL_INIT:
            if (app.m_bInitialized) return 0;
            app.m_bInitialized = TRUE;
            IvroGetDeviceType(&app.m_nDeviceType);
            return 1;
        case CPL_GETCOUNT:
            return 1;
        case CPL_INQUIRE: {
            CPLINFO* pInfo = reinterpret_cast<CPLINFO*>(lParam2);
            bool bKnown = IsMakersDevice(app.m_nDeviceType);
            CAppletIdentity identity = IdentityOf(app.m_nDeviceType);
            pInfo->idIcon = bKnown ? static_cast<int>(identity.nIcon) : 0;
            pInfo->idName = bKnown ? static_cast<int>(identity.nName) : 0;
            pInfo->idInfo = bKnown ? static_cast<int>(identity.nInfo) : 0;
            pInfo->lData = 0;
            return 1;
        }
        case CPL_DBLCLK: {
            CString name;
            name.LoadString(IdentityOf(app.m_nDeviceType).nName);
            app.SetAppName(name);
            RunSheet(app, hWndCpl);
            return 1;
        }
        case CPL_EXIT:
            app.m_bInitialized = FALSE;
            return 1;
        case CPL_NEWINQUIRE: {
            // The structure's real size: 468 bytes only in a 32-bit build.
            NEWCPLINFOW* pInfo = reinterpret_cast<NEWCPLINFOW*>(lParam2);
            std::memset(pInfo, 0, sizeof(*pInfo));
            pInfo->dwSize = sizeof(*pInfo);
            CAppletIdentity identity = IdentityOf(app.m_nDeviceType);
            HINSTANCE hInstance = AfxGetResourceHandle();
            pInfo->hIcon = static_cast<HICON>(
                ::LoadImageW(hInstance, MAKEINTRESOURCEW(identity.nIcon), IMAGE_ICON, 48, 48, 0));
            ::LoadStringW(hInstance, identity.nName, pInfo->szName, _countof(pInfo->szName));
            ::LoadStringW(hInstance, identity.nInfo, pInfo->szInfo, _countof(pInfo->szInfo));
            return 1;
        }
        default:  // CPL_SELECT, CPL_STOP, CPL_STARTWPARMS*, anything else
            return 0;
    }
}
