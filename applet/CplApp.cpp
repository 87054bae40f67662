#include "applet/CplApp.h"

#include "applet/RepeatArrowButton.h"

#include <cwchar>

#ifdef _WIN32
// The linker's name for this module's own image. The loader hands the
// instance handle to DllMain only after the static objects (the application
// object among them) have been constructed.
extern "C" IMAGE_DOS_HEADER __ImageBase;
static HMODULE OwnModule() {
    return reinterpret_cast<HMODULE>(&__ImageBase);
}
#else
static HMODULE OwnModule() {
    return AfxGetInstanceHandle();
}
#endif

namespace {
const wchar_t kHelpFileName[] = L"TmRoveVodore.chm";

bool FileExists(const wchar_t* pszPath) {
    return ::GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
}

// The help file beside the applet's own module, or empty. Not the current
// directory: the file dialogs move it to wherever the user browses, and a
// help file can run script.
CString HelpFileBesideModule() {
    wchar_t szPath[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(OwnModule(), szPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CString();
    wchar_t* pszName = std::wcsrchr(szPath, L'\\');
    if (!pszName) return CString();
    pszName[1] = L'\0';
    CString path = CString(szPath) + kHelpFileName;
    return FileExists(path) ? path : CString();
}

// The help file in a directory that a Win32 query returns, or empty. A
// result of the buffer size or more is the size the query would have
// needed, with nothing written.
CString HelpFileIn(UINT(WINAPI* pfnGetDirectory)(LPWSTR, UINT), UINT nMaxChars,
                   const wchar_t* pszSeparator) {
    wchar_t szDir[MAX_PATH];
    UINT n = pfnGetDirectory(szDir, nMaxChars);
    if (n <= 1 || n >= nMaxChars) return CString();
    CString path = CString(szDir) + pszSeparator + kHelpFileName;
    return FileExists(path) ? path : CString();
}
}  // namespace

#ifdef _WIN32
// Constructed when the module is loaded. Native tests construct their own
// application object instead, as each load of the module would.
CCplApp theApp;
#endif

CCplApp& GetCplApp() {
    return *static_cast<CCplApp*>(AfxGetApp());
}

CCplApp::CCplApp()
    : m_bHelpAvailable(FALSE),
      m_bRestartRequired(FALSE),
      m_bPowerCycleRequired(FALSE),
      m_bDisableFirmwareUpdate(FALSE),
      m_bDisableKcfUpdate(FALSE),
      m_bDisableKeyLock(FALSE),
      m_bDisableBiosUpdate(FALSE),
      m_bDisableUserlogoUpdate(FALSE),
      m_nDeviceType(0),
      m_bBiosUpdated(FALSE),
      m_bRavlaSlot1Updated(FALSE),
      m_bRavlaSlot2Updated(FALSE),
      m_bFpgaUpdated(FALSE),
      m_bFpga1Updated(FALSE),
      m_bUserLogoUpdated(FALSE),
      m_bInitialized(FALSE) {
    SearchHelpFile();
    // A module load starts with the keyboard settings unread; natively each
    // test's application object stands for one load.
    CRepeatArrowButton::ResetKeyboardSettings();
}

void CCplApp::SearchHelpFile() {
    m_strHelpFile = HelpFileBesideModule();
    if (m_strHelpFile.IsEmpty())
        m_strHelpFile = HelpFileIn(&::GetWindowsDirectoryW, 228, L"\\Help\\");
    if (m_strHelpFile.IsEmpty()) m_strHelpFile = HelpFileIn(&::GetSystemDirectoryW, 244, L"\\");
    m_bHelpAvailable = !m_strHelpFile.IsEmpty();
}
