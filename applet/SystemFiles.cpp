#include "applet/SystemFiles.h"

const CSystemFile g_systemFiles[8] = {
    {L"\\TmRoveVodore.cpl", FALSE},       {L"\\TmIvro.dll", FALSE},
    {L"\\Drivers\\TmIvroDrv.sys", TRUE},  {L"\\Drivers\\TmBiosDrv.sys", TRUE},
    {L"\\Drivers\\TmOrlDrv.sys", TRUE},   {L"\\Drivers\\TmFlashDrv.sys", TRUE},
    {L"\\Drivers\\TmXcmosDrv.sys", TRUE}, {L"\\TmKvcSvc.exe", TRUE},
};

namespace {

const UINT kMaxPath = 520;  // 519 characters and the terminator

// The real system folder as a 32-bit program on 64-bit Windows reaches it;
// empty for any other program, or where the alias is missing (64-bit
// Windows XP without its update).
CString NativeSystemFolder() {
    BOOL bWow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &bWow64) || !bWow64) return CString();
    wchar_t szWindows[kMaxPath];
    UINT n = ::GetSystemWindowsDirectoryW(szWindows, kMaxPath);
    if (n == 0 || n >= kMaxPath) return CString();
    CString dir = CString(szWindows) + L"\\Sysnative";
    const DWORD dwAttributes = ::GetFileAttributesW(dir);
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return CString();
    return dir;
}

}  // namespace

BOOL CSystemFolder::Load() {
    wchar_t szDir[kMaxPath];
    UINT n = ::GetSystemDirectoryW(szDir, kMaxPath);
    if (n == 0 || n >= kMaxPath) return FALSE;
    m_strDir = szDir;
    m_strNativeDir = NativeSystemFolder();
    return TRUE;
}

CString CSystemFolder::ShownPath(const CSystemFile& file) const {
    return m_strDir + file.pszName;
}

CString CSystemFolder::ReadPath(const CSystemFile& file) const {
    if (file.bDriverPackage && !m_strNativeDir.IsEmpty()) return m_strNativeDir + file.pszName;
    return ShownPath(file);
}
