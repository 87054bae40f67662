#include "applet/Help.h"

#include <cstring>
#include <cwchar>

#include "applet/CplApp.h"
#include "framework/AfxHandles.h"
#include "res/resource.h"

const wchar_t kTopicDisplay[] = L"::/html/ZuVereruDisplay.htm";
const wchar_t kTopicKeys[] = L"::/html/ZuVereruKeys.htm";
const wchar_t kTopicLeds[] = L"::/html/ZuVereruLeds.htm";
const wchar_t kTopicUserSettings[] = L"::/html/ZuVereruUserSettings.htm";
const wchar_t kTopicSwitches[] = L"::/html/ZuVereruSwitches.htm";
const wchar_t kTopicRavla[] = L"::/html/ZuVereruRavla.htm";
const wchar_t kTopicTemperatures[] = L"::/html/ZuVereruTemperatures.htm";
const wchar_t kTopicFactorySettings[] = L"::/html/ZuVereruFactorySettings.htm";
const wchar_t kTopicVersions[] = L"::/html/ZuVereruVersions.htm";
const wchar_t kTopicReport[] = L"::/html/ZuVereruReport.htm";
const wchar_t kTopicTransfer[] = L"::/html/ZuVereruKeys.htm#FileTransferDlg";
const wchar_t kTopicFirmwareInfo[] = L"::/html/ZuVereruVersion.htm";
const wchar_t kTopicKeyMatrix[] = L"::/html/ZuVereruKeys.htm#KeyMatrixDlg";
const wchar_t kTopicReportView[] = L"::/html/ZuVereruReport.htm#ReportDlg";

namespace {

const UINT kHhDisplayTopic = 0x0000;
const UINT kHhTpHelpWmHelp = 0x0011;
const UINT kHhCloseAll = 0x0012;
const wchar_t kPopupFile[] = L"::/TmRoveVodoreHelp.txt";

// Popup help ids: every help context id equals its control id.
const DWORD kContextHelpIds[] = {
    1135, 1135, 1136, 1136, 1137, 1137, 1138, 1138, 1139, 1139, 1140, 1140, 1141, 1141, 1142,
    1142, 1143, 1143, 1144, 1144, 1145, 1145, 1146, 1146, 1147, 1147, 1149, 1149, 1150, 1150,
    1151, 1151, 1152, 1152, 1153, 1153, 1154, 1154, 1155, 1155, 1156, 1156, 1157, 1157, 1158,
    1158, 1159, 1159, 1160, 1160, 1161, 1161, 1162, 1162, 1163, 1163, 1164, 1164, 1165, 1165,
    1166, 1166, 1168, 1168, 1172, 1172, 1173, 1173, 1174, 1174, 1175, 1175, 1176, 1176, 1177,
    1177, 1178, 1178, 1180, 1180, 1182, 1182, 1183, 1183, 1184, 1184, 1185, 1185, 1186, 1186,
    1187, 1187, 1190, 1190, 1241, 1241, 1192, 1192, 1193, 1193, 1194, 1194, 1195, 1195, 1196,
    1196, 1197, 1197, 1198, 1198, 1199, 1199, 1200, 1200, 1201, 1201, 1149, 1149, 1202, 1202,
    1204, 1204, 1205, 1205, 1206, 1206, 1209, 1209, 1211, 1211, 1217, 1217, 1012, 1012, 1191,
    1191, 1249, 1249, 1254, 1254, 1242, 1242, 1250, 1250, 1251, 1251, 1252, 1252, 1253, 1253,
    1255, 1255, 1256, 1256, 1257, 1257, 1258, 1258, 1259, 1259, 1260, 1260, 1261, 1261, 1262,
    1262, 1263, 1263, 1264, 1264, 1265, 1265, 1266, 1266, 1220, 1220, 1247, 1247, 1248, 1248,
    1243, 1243, 1244, 1244, 1245, 1245, 1246, 1246, 1272, 1272, 1274, 1274, 1275, 1275, 1276,
    1276, 1277, 1277, 1267, 1267, 1268, 1268, 1280, 1280, 1281, 1281, 1282, 1282, 0,    0};

bool HasPopupHelp(int nCtrlId) {
    if (nCtrlId == IDOK || nCtrlId == IDCANCEL) return true;
    for (const DWORD* p = kContextHelpIds; p[0] != 0; p += 2)
        if (static_cast<int>(p[0]) == nCtrlId) return true;
    return false;
}

typedef HWND(WINAPI* HtmlHelpWProc)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The HTML Help control, once bound, stays loaded until the process ends:
// freeing it when this module unloads would run its clean-up under the
// loader lock. A failed binding is not retried.
struct CHtmlHelpBinding {
    HMODULE hModule = nullptr;
    HtmlHelpWProc pfn = nullptr;
    bool bTried = false;
    bool bShown = false;  // a help window or popup may be open
};

CHtmlHelpBinding& Binding() {
    static CHtmlHelpBinding binding;
    return binding;
}

// The control from the system directory only, never by a bare name that
// the search path could answer from elsewhere.
HMODULE LoadSystemHtmlHelp() {
    wchar_t szPath[MAX_PATH];
    const wchar_t kName[] = L"\\hhctrl.ocx";
    UINT n = ::GetSystemDirectoryW(szPath, MAX_PATH);
    if (n == 0 || n + _countof(kName) > MAX_PATH) return nullptr;
    std::wcscat(szPath, kName);
    return ::LoadLibraryW(szPath);
}

// The module registered for the HTML Help control's class, as an ANSI path.
bool RegisteredHtmlHelpModule(char (&szPath)[261]) {
    CRegKeyHandle key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT,
                        "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
                        KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD dwType = 0;
    DWORD cb = 260;
    if (::RegQueryValueExA(key.Get(), nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szPath),
                           &cb) != ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return false;
    // The stored text need not be terminated.
    szPath[cb < 260 ? cb : 260] = '\0';
    return szPath[0] != '\0';
}

void BindHtmlHelp(CHtmlHelpBinding& binding) {
    binding.bTried = true;
    char szPath[261];
    CModuleHandle module;
    if (RegisteredHtmlHelpModule(szPath)) module.Reset(::LoadLibraryA(szPath));
    if (!module) module.Reset(LoadSystemHtmlHelp());
    if (!module) return;
    FARPROC pfn = ::GetProcAddress(module.Get(), MAKEINTRESOURCEA(15));
    if (!pfn) return;
    binding.pfn = reinterpret_cast<HtmlHelpWProc>(reinterpret_cast<void*>(pfn));
    binding.hModule = module.Release();
}

}  // namespace

const DWORD* GetContextHelpIds() {
    return kContextHelpIds;
}

HWND CallHtmlHelp(HWND hWndCaller, const wchar_t* pszFile, UINT uCommand, DWORD_PTR dwData) {
    CHtmlHelpBinding& binding = Binding();
    if (!binding.bTried) BindHtmlHelp(binding);
    if (!binding.pfn) return nullptr;
    binding.bShown = true;
    return binding.pfn(hWndCaller, pszFile, uCommand, dwData);
}

void CloseHelpWindows() {
    CHtmlHelpBinding& binding = Binding();
    if (!binding.pfn || !binding.bShown) return;
    binding.bShown = false;
    binding.pfn(nullptr, nullptr, kHhCloseAll, 0);
}

void ResetHtmlHelpBinding() {
    CHtmlHelpBinding& binding = Binding();
    if (binding.hModule) ::FreeLibrary(binding.hModule);
    binding = CHtmlHelpBinding();
}

void ShowHelp(HWND hWndOwner, const HELPINFO* pHelpInfo, const wchar_t* pszTopic) {
    const CCplApp& app = GetCplApp();
    if (!app.m_bHelpAvailable) return;
    CString path = app.m_strHelpFile;

    if (pHelpInfo) {
        if (HasPopupHelp(pHelpInfo->iCtrlId)) {
            if (pHelpInfo->iContextType != HELPINFO_WINDOW) return;
            path += kPopupFile;
            CallHtmlHelp(static_cast<HWND>(pHelpInfo->hItemHandle), path, kHhTpHelpWmHelp,
                         reinterpret_cast<DWORD_PTR>(kContextHelpIds));
            return;
        }
        if (AfxMessageBox(IDS_NO_CONTEXT_HELP, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    }
    if (pszTopic) path += pszTopic;
    CallHtmlHelp(hWndOwner, path, kHhDisplayTopic, 0);
}
