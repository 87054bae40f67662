// Help under Wine, against the real TmRoveVodore.cpl copied into a folder
// of its own with its help file beside it: the applet binds the HTML Help
// control registered in the registry (hhspy.dll here, which records the
// calls), and WM_HELP from a real control reaches the sheet, which answers
// once. The native help tests cover the rest.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <cstdint>
#include <string>

#include "tests/wine/WineTest.h"

namespace {

const wchar_t kFolder[] = L"C:\\tmhelp";
const wchar_t kHtmlHelpKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const DWORD kWaitMs = 15000;

typedef void(WINAPI* PFN_HHSPYTAKE)(LPWSTR, DWORD);

std::wstring SpyPath() {
    wchar_t szPath[MAX_PATH] = L"";
    std::wstring strPath(szPath, ::GetModuleFileNameW(nullptr, szPath, MAX_PATH));
    return strPath.substr(0, strPath.find_last_of(L'\\') + 1) + L"hhspy.dll";
}

// A call as hhspy.dll records it.
std::wstring Call(HWND hWnd, UINT uCommand, const std::wstring& strFile) {
    return std::to_wstring(reinterpret_cast<std::uintptr_t>(hWnd)) + L" " +
           std::to_wstring(uCommand) + L" " + strFile + L"\n";
}

// Registers strPath as the HTML Help control.
bool Register(const std::wstring& strPath) {
    const DWORD cb = static_cast<DWORD>((strPath.size() + 1) * sizeof(wchar_t));
    return ::RegSetKeyValueW(HKEY_CLASSES_ROOT, kHtmlHelpKey, nullptr, REG_SZ, strPath.c_str(),
                             cb) == ERROR_SUCCESS;
}

void CheckHelp(wt::CChecks& checks, PFN_HHSPYTAKE pfnTake, HWND hHost) {
    ::CreateDirectoryW(kFolder, nullptr);
    const std::wstring strApplet = std::wstring(kFolder) + L"\\TmRoveVodore.cpl";
    const std::wstring strHelp = std::wstring(kFolder) + L"\\TmRoveVodore.chm";
    checks.Check(::CopyFileW(wt::kAppletPath, strApplet.c_str(), FALSE) &&
                     wt::WriteWholeFile(strHelp, "", 0),
                 "the applet with a help file beside it in %s", wt::Utf8(kFolder).c_str());
    wt::CLoadedApplet applet(strApplet.c_str());
    const wt::PFN_CPLAPPLET pfnApplet = applet.m_pfnApplet;
    if (!applet.CheckLoaded(checks)) return;
    // The calls since the last look are exactly strCalls.
    auto expect = [&](const std::wstring& strCalls, const char* pszWhat) {
        wchar_t szSeen[4096] = L"";
        pfnTake(szSeen, _countof(szSeen));
        checks.Check(strCalls == szSeen, "%s (saw %s)", pszWhat, wt::OneLine(szSeen).c_str());
    };
    pfnApplet(hHost, CPL_INIT, 0, 0);
    wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread);
        if (!checks.Check(hSheet != nullptr, "the sheet opens")) return;
        checks.Check((::GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0,
                     "the sheet has the \"?\" button");
        // F1 on a field goes through the real page to the sheet, which
        // shows the field's popup text once.
        HWND hSlider = ::GetDlgItem(wt::CurrentPage(hSheet), 1154);
        HELPINFO info = {sizeof(HELPINFO), HELPINFO_WINDOW, 1154, hSlider, 0, {0, 0}};
        ::SendMessageW(hSlider, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        expect(Call(hSlider, 0x11, strHelp + L"::/TmRoveVodoreHelp.txt"),
               "F1 on the brightness slider shows its popup text");
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); });
    });
    expect(Call(nullptr, 0x12, L""), "closing the sheet closes the help windows");
    pfnApplet(hHost, CPL_EXIT, 0, 0);
}

}  // namespace

int wmain() {
    wt::CChecks checks;
    // Loaded here first, so that the applet's load of the registered path
    // binds this same module.
    wt::COwned<HMODULE> spy(::LoadLibraryW(SpyPath().c_str()), ::FreeLibrary);
    auto pfnTake = reinterpret_cast<PFN_HHSPYTAKE>(reinterpret_cast<void (*)()>(
        spy.Get() ? ::GetProcAddress(spy.Get(), "HhSpyTake") : nullptr));
    // Put back afterwards: the other tests use the prefix's own control.
    wchar_t szOld[MAX_PATH] = L"";
    DWORD cb = sizeof(szOld);
    const bool bHadOld = ::RegGetValueW(HKEY_CLASSES_ROOT, kHtmlHelpKey, nullptr, RRF_RT_REG_SZ,
                                        nullptr, szOld, &cb) == ERROR_SUCCESS;
    if (checks.Check(pfnTake && Register(SpyPath()),
                     "hhspy.dll loads and is registered as the HTML Help control")) {
        wt::CHostWindow host;
        CheckHelp(checks, pfnTake, host.Get());
    }
    if (bHadOld)
        Register(szOld);
    else
        ::RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kHtmlHelpKey, nullptr);
    return checks.Finish();
}
