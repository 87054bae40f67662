// Help under Wine, against the real TmRoveVodore.cpl: with the help file
// installed in the Windows Help folder (as scripts/wine-env.sh does) the
// sheet offers help and shows each page's topic in that file; without it
// the sheet offers none. The help file is looked for beside the applet
// (never in the current directory, which the file dialogs move to wherever
// the user browses), and a dialog over the sheet answers a help request
// once, with its own topic. hhspy.dll, registered as the HTML Help control,
// records the calls the applet makes.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "tests/wine/WineTest.h"

namespace {

const wchar_t kOwnFolder[] = L"C:\\tmhelp";
const wchar_t kPlantedFolder[] = L"C:\\tmplanted";
const wchar_t kHelpName[] = L"\\TmRoveVodore.chm";
const wchar_t kHtmlHelpKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const DWORD kWaitMs = 15000;
const int kIdFpgaFirmware = 1156;
const int kIdFirmwareStatus = 1163;
const UINT kHhDisplayTopic = 0x00;
const UINT kHhTpHelpWmHelp = 0x11;
const UINT kHhCloseAll = 0x12;
const wchar_t kNoContextHelp[] = L"F\u00FCr dieses Feld ist keine Kontexthilfe vorhanden.";
const UINT kHelpCommand = 0x20;
const int kIdBrightnessSlider = 1154;

// The topic of each page in the help file.
const struct {
    const wchar_t* pszTab;
    const wchar_t* pszTopic;
} kPageTopics[] = {{L"Display", L"ZuVereruDisplay.htm"},
                   {L"Tasten", L"ZuVereruKeys.htm"},
                   {L"LEDs", L"ZuVereruLeds.htm"},
                   {L"Schalter", L"ZuVereruSwitches.htm"},
                   {L"Ravla", L"ZuVereruRavla.htm"},
                   {L"Temperaturen", L"ZuVereruTemperatures.htm"},
                   {L"Anwendereinstellungen", L"ZuVereruUserSettings.htm"},
                   {L"Fabrikseinstellungen", L"ZuVereruFactorySettings.htm"},
                   {L"Versionen", L"ZuVereruVersions.htm"},
                   {L"Bericht", L"ZuVereruReport.htm"}};

using wt::CChecks;
using wt::CLibrary;
using wt::PFN_CPLAPPLET;

typedef DWORD(WINAPI* PFN_HHSPYCALLCOUNT)();
typedef BOOL(WINAPI* PFN_HHSPYGETCALL)(DWORD, HWND*, UINT*, LPWSTR, DWORD);
typedef void(WINAPI* PFN_HHSPYRESET)();

struct CHelpCall {
    HWND hWnd;
    UINT uCommand;
    std::wstring strFile;
};

// hhspy.dll beside this program, loaded here so that the applet's load of
// the registered path binds the same module.
class CSpy {
public:
    CSpy() : m_library(SpyPath().c_str()) {
        HMODULE hModule = m_library.Get();
        if (!hModule) return;
        m_pfnCount = reinterpret_cast<PFN_HHSPYCALLCOUNT>(
            reinterpret_cast<void (*)()>(::GetProcAddress(hModule, "HhSpyCallCount")));
        m_pfnGet = reinterpret_cast<PFN_HHSPYGETCALL>(
            reinterpret_cast<void (*)()>(::GetProcAddress(hModule, "HhSpyGetCall")));
        m_pfnReset = reinterpret_cast<PFN_HHSPYRESET>(
            reinterpret_cast<void (*)()>(::GetProcAddress(hModule, "HhSpyReset")));
    }
    bool IsLoaded() const { return m_pfnCount && m_pfnGet && m_pfnReset; }
    static std::wstring SpyPath() {
        wchar_t szPath[MAX_PATH] = L"";
        DWORD n = ::GetModuleFileNameW(nullptr, szPath, MAX_PATH);
        std::wstring strPath(szPath, n);
        return strPath.substr(0, strPath.find_last_of(L'\\') + 1) + L"hhspy.dll";
    }
    std::vector<CHelpCall> Calls() const {
        std::vector<CHelpCall> calls;
        DWORD nCount = m_pfnCount();
        for (DWORD i = 0; i < nCount; ++i) {
            CHelpCall call{nullptr, 0, std::wstring()};
            wchar_t szFile[MAX_PATH * 2] = L"";
            if (m_pfnGet(i, &call.hWnd, &call.uCommand, szFile, _countof(szFile))) {
                call.strFile = szFile;
                calls.push_back(call);
            }
        }
        return calls;
    }
    void Reset() const { m_pfnReset(); }

private:
    CLibrary m_library;
    PFN_HHSPYCALLCOUNT m_pfnCount = nullptr;
    PFN_HHSPYGETCALL m_pfnGet = nullptr;
    PFN_HHSPYRESET m_pfnReset = nullptr;
};

// Registers the spy as the HTML Help control for as long as it lives, then
// puts back what was there.
class CSpyRegistration {
public:
    explicit CSpyRegistration(const std::wstring& strSpyPath) {
        HKEY hKey = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpKey, 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &hKey,
                              nullptr) != ERROR_SUCCESS)
            return;
        m_hKey = hKey;
        wchar_t szOld[MAX_PATH] = L"";
        DWORD cb = sizeof(szOld) - sizeof(wchar_t);
        DWORD dwType = 0;
        m_bHadValue = ::RegQueryValueExW(m_hKey, nullptr, nullptr, &dwType,
                                         reinterpret_cast<BYTE*>(szOld), &cb) == ERROR_SUCCESS;
        m_strOld = szOld;
        m_bSet = SetValue(strSpyPath);
    }
    ~CSpyRegistration() {
        if (!m_hKey) return;
        if (m_bHadValue)
            SetValue(m_strOld);
        else
            ::RegDeleteValueW(m_hKey, nullptr);
        ::RegCloseKey(m_hKey);
    }
    CSpyRegistration(const CSpyRegistration&) = delete;
    CSpyRegistration& operator=(const CSpyRegistration&) = delete;
    bool IsSet() const { return m_bSet; }

private:
    bool SetValue(const std::wstring& strValue) {
        return ::RegSetValueExW(
                   m_hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                   static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    HKEY m_hKey = nullptr;
    bool m_bHadValue = false;
    bool m_bSet = false;
    std::wstring m_strOld;
};

bool MakeFile(const std::wstring& strPath) {
    wt::CFile file(strPath);
    const char szText[] = "not a real help file";
    return file.IsOpen() && file.Write(szText, sizeof(szText) - 1);
}

// Sends WM_HELP for a control of hWnd as F1 on it would, from a thread of
// its own: the answer may be a modal question that the caller must answer.
class CHelpRequest {
public:
    CHelpRequest(HWND hWnd, int nCtrlId, HWND hItem = nullptr) : m_info() {
        m_info.cbSize = sizeof(m_info);
        m_info.iContextType = HELPINFO_WINDOW;
        m_info.iCtrlId = nCtrlId;
        m_info.hItemHandle = hItem ? hItem : ::GetDlgItem(hWnd, nCtrlId);
        if (!m_info.hItemHandle) m_info.hItemHandle = hWnd;
        m_thread = std::thread(
            [this, hWnd] { ::SendMessageW(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&m_info)); });
    }
    ~CHelpRequest() { m_thread.join(); }
    CHelpRequest(const CHelpRequest&) = delete;
    CHelpRequest& operator=(const CHelpRequest&) = delete;

private:
    HELPINFO m_info;
    std::thread m_thread;
};

// The question "no context help" boxes shown while the request is answered;
// each is answered with bYes for the first and No for any further one.
int AnswerQuestions(DWORD dwHostThread, bool bYes) {
    int nShown = 0;
    for (;;) {
        HWND hBox = nullptr;
        bool bFound = wt::WaitFor(nShown == 0 ? kWaitMs : 1500, [&] {
            hBox = wt::FindDialog(dwHostThread, false, nullptr);
            return hBox && wt::MessageBoxText(hBox).find(kNoContextHelp) == 0;
        });
        if (!bFound) return nShown;
        ++nShown;
        ::PostMessageW(hBox, WM_COMMAND, nShown == 1 && bYes ? IDYES : IDNO, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hBox); });
    }
}

// The help file as scripts/wine-env.sh installs it: in the Windows Help
// folder, where the applet looks after its own folder.
std::wstring InstalledHelpFile() {
    wchar_t szDir[MAX_PATH] = L"";
    UINT n = ::GetWindowsDirectoryW(szDir, MAX_PATH);
    return std::wstring(szDir, n < MAX_PATH ? n : 0) + L"\\Help" + kHelpName;
}

bool SameText(const std::wstring& strA, const std::wstring& strB) {
    return ::lstrcmpiW(strA.c_str(), strB.c_str()) == 0;
}

// The "&Hilfe" item of the sheet's system menu, if there is one.
bool HasHelpMenuItem(HWND hSheet) {
    HMENU hMenu = ::GetSystemMenu(hSheet, FALSE);
    wchar_t szText[64] = L"";
    return hMenu &&
           ::GetMenuStringW(hMenu, kHelpCommand, szText, _countof(szText), MF_BYCOMMAND) > 0 &&
           std::wstring(szText) == L"&Hilfe";
}

// The installed help file moved out of the way for as long as this lives.
class CHelpFileAside {
public:
    explicit CHelpFileAside(const std::wstring& strPath)
        : m_strPath(strPath), m_strAside(strPath + L".aside") {
        m_bMoved = ::MoveFileExW(m_strPath.c_str(), m_strAside.c_str(),
                                 MOVEFILE_REPLACE_EXISTING) != FALSE;
    }
    ~CHelpFileAside() {
        if (m_bMoved)
            ::MoveFileExW(m_strAside.c_str(), m_strPath.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    CHelpFileAside(const CHelpFileAside&) = delete;
    CHelpFileAside& operator=(const CHelpFileAside&) = delete;
    bool IsMoved() const { return m_bMoved; }

private:
    std::wstring m_strPath;
    std::wstring m_strAside;
    bool m_bMoved = false;
};

// Phase 1: the help file installed in the Windows Help folder. The sheet
// offers help, F1 and "&Hilfe" show the active page's topic in that file,
// F1 on a field shows its popup text from that file.
void CheckInstalledHelpFile(CChecks& checks, const CSpy& spy, HWND hHost) {
    const std::wstring strHelp = InstalledHelpFile();
    const std::vector<BYTE> abHelp = wt::ReadWholeFile(strHelp);
    if (!checks.Check(abHelp.size() > 4 && std::equal(abHelp.begin(), abHelp.begin() + 4, "ITSF"),
                      "installed: %s is a compiled help file (%u bytes)", wt::Utf8(strHelp).c_str(),
                      static_cast<unsigned>(abHelp.size())))
        return;
    wchar_t szSystem[MAX_PATH] = L"";
    ::GetSystemDirectoryW(szSystem, MAX_PATH);
    checks.Check(::GetFileAttributesW((std::wstring(szSystem) + kHelpName).c_str()) ==
                     INVALID_FILE_ATTRIBUTES,
                 "installed: none beside the applet, so the Help folder's is the one to find");
    CLibrary applet(wt::kAppletPath);
    PFN_CPLAPPLET pfnApplet = wt::AppletEntry(applet);
    if (!checks.Check(pfnApplet != nullptr, "installed: the applet loads")) return;
    pfnApplet(hHost, CPL_INIT, 0, 0);
    spy.Reset();
    wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread);
        if (!checks.Check(hSheet != nullptr, "installed: the sheet opens")) return;
        checks.Check((::GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0,
                     "installed: the sheet has the \"?\" button");
        checks.Check(HasHelpMenuItem(hSheet), "installed: the system menu has \"&Hilfe\"");
        const int nTabId = ::GetDlgCtrlID(wt::SheetTab(hSheet));
        const std::vector<std::wstring> titles = wt::TabTitles(hSheet);
        for (size_t i = 0; i < titles.size(); ++i) {
            const wchar_t* pszTopic = nullptr;
            for (const auto& page : kPageTopics)
                if (titles[i] == page.pszTab) pszTopic = page.pszTopic;
            const std::string strTab = wt::Utf8(titles[i]);
            HWND hPage = wt::SelectTab(hSheet, static_cast<int>(i));
            if (!checks.Check(pszTopic && hPage, "installed: page %s has a topic", strTab.c_str()))
                continue;
            const std::wstring strTopic = strHelp + L"::/html/" + pszTopic;

            // F1 on the page (the tab has no popup text): the question, then the topic.
            spy.Reset();
            int nQuestions = 0;
            {
                CHelpRequest f1(hSheet, nTabId);
                nQuestions = AnswerQuestions(dwHostThread, true);
            }
            std::vector<CHelpCall> calls = spy.Calls();
            checks.Check(nQuestions == 1 && calls.size() == 1 &&
                             calls[0].uCommand == kHhDisplayTopic && calls[0].hWnd == hSheet &&
                             SameText(calls[0].strFile, strTopic),
                         "installed: F1 on page %s shows %s (saw %d questions, %u calls%s%s)",
                         strTab.c_str(), wt::Utf8(strTopic).c_str(), nQuestions,
                         static_cast<unsigned>(calls.size()), calls.empty() ? "" : ", first ",
                         calls.empty() ? "" : wt::Utf8(calls[0].strFile).c_str());

            // "&Hilfe": the topic, without a question.
            spy.Reset();
            DWORD_PTR nResult = 0;
            ::SendMessageTimeoutW(hSheet, WM_SYSCOMMAND, kHelpCommand, 0, SMTO_BLOCK, kWaitMs,
                                  &nResult);
            calls = spy.Calls();
            checks.Check(calls.size() == 1 && calls[0].uCommand == kHhDisplayTopic &&
                             SameText(calls[0].strFile, strTopic),
                         "installed: \"&Hilfe\" on page %s shows its topic (saw %u calls)",
                         strTab.c_str(), static_cast<unsigned>(calls.size()));

            if (titles[i] != L"Display") continue;
            // F1 on a field with popup help: its text from the installed file.
            HWND hSlider = ::GetDlgItem(hPage, kIdBrightnessSlider);
            spy.Reset();
            { CHelpRequest f1(hSheet, kIdBrightnessSlider, hSlider); }
            calls = spy.Calls();
            checks.Check(calls.size() == 1 && calls[0].uCommand == kHhTpHelpWmHelp &&
                             calls[0].hWnd == hSlider &&
                             SameText(calls[0].strFile, strHelp + L"::/TmRoveVodoreHelp.txt"),
                         "installed: F1 on the brightness slider shows its popup text (saw %u "
                         "calls%s%s)",
                         static_cast<unsigned>(calls.size()), calls.empty() ? "" : ", first ",
                         calls.empty() ? "" : wt::Utf8(calls[0].strFile).c_str());
        }
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); });
    });
    pfnApplet(hHost, CPL_EXIT, 0, 0);
}

// Phase 2: no help file but one in the current directory. It must not be taken.
void CheckPlantedFileIsIgnored(CChecks& checks, const CSpy& spy, HWND hHost) {
    ::CreateDirectoryW(kPlantedFolder, nullptr);
    checks.Check(MakeFile(std::wstring(kPlantedFolder) + kHelpName),
                 "planted: a help file in the current directory");
    ::SetCurrentDirectoryW(kPlantedFolder);
    CLibrary applet(wt::kAppletPath);
    PFN_CPLAPPLET pfnApplet = wt::AppletEntry(applet);
    if (!checks.Check(pfnApplet != nullptr, "planted: the applet loads")) return;
    pfnApplet(hHost, CPL_INIT, 0, 0);
    spy.Reset();
    wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread);
        if (!checks.Check(hSheet != nullptr, "planted: the sheet opens")) return;
        LONG_PTR nExStyle = ::GetWindowLongPtrW(hSheet, GWL_EXSTYLE);
        checks.Check((nExStyle & WS_EX_CONTEXTHELP) == 0,
                     "planted: no help offered, no \"?\" button on the sheet");
        checks.Check(!HasHelpMenuItem(hSheet), "planted: no \"&Hilfe\" in the system menu");
        { CHelpRequest f1(hSheet, 1); }
        { CHelpRequest f1(hSheet, ::GetDlgCtrlID(wt::SheetTab(hSheet))); }
        DWORD_PTR nResult = 0;
        ::SendMessageTimeoutW(hSheet, WM_SYSCOMMAND, kHelpCommand, 0, SMTO_BLOCK, kWaitMs,
                              &nResult);
        checks.Check(spy.Calls().empty(), "planted: F1 opens nothing (saw %u help calls)",
                     static_cast<unsigned>(spy.Calls().size()));
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); });
    });
    pfnApplet(hHost, CPL_EXIT, 0, 0);
    ::SetCurrentDirectoryW(L"C:\\");
}

// Phase 3: the applet in a folder of its own with its help file beside it.
void CheckDialogHelpOverTheSheet(CChecks& checks, const CSpy& spy, HWND hHost) {
    ::CreateDirectoryW(kOwnFolder, nullptr);
    const std::wstring strApplet = std::wstring(kOwnFolder) + L"\\TmRoveVodore.cpl";
    const std::wstring strHelp = std::wstring(kOwnFolder) + kHelpName;
    // Another one in the Windows Help folder, which comes later in the search.
    const std::wstring strWindowsHelp = std::wstring(L"C:\\windows\\help") + kHelpName;
    ::CreateDirectoryW(L"C:\\windows\\help", nullptr);
    checks.Check(::CopyFileW(wt::kAppletPath, strApplet.c_str(), FALSE) != FALSE &&
                     MakeFile(strHelp) && MakeFile(strWindowsHelp),
                 "own folder: the applet with its help file beside it");
    CLibrary applet(strApplet.c_str());
    PFN_CPLAPPLET pfnApplet = wt::AppletEntry(applet);
    if (!checks.Check(pfnApplet != nullptr, "own folder: the applet loads")) return;
    pfnApplet(hHost, CPL_INIT, 0, 0);
    spy.Reset();
    wt::DoubleClickApplet(checks, pfnApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread);
        if (!checks.Check(hSheet != nullptr, "own folder: the sheet opens")) return;
        checks.Check((::GetWindowLongPtrW(hSheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0,
                     "own folder: help found, the sheet has the \"?\" button");
        HWND hPage = wt::SelectTab(hSheet, wt::TabIndex(hSheet, L"Versionen"));
        if (!checks.Check(hPage != nullptr, "own folder: the Versions page")) return;
        ::PostMessageW(::GetDlgItem(hPage, kIdFpgaFirmware), BM_CLICK, 0, 0);
        HWND hDlg = nullptr;
        if (!checks.Check(wt::WaitFor(kWaitMs,
                                      [&] {
                                          hDlg = wt::FindDialog(dwHostThread, false, nullptr);
                                          return hDlg &&
                                                 wt::WindowText(hDlg).find(L"Firmware") == 0;
                                      }),
                          "own folder: \"Firmware...\" opens the firmware info"))
            return;
        checks.Check(::GetWindow(hDlg, GW_OWNER) == hSheet,
                     "the firmware info is owned by the sheet");

        // A control with popup help: one popup request.
        spy.Reset();
        { CHelpRequest f1(hDlg, kIdFirmwareStatus); }
        std::vector<CHelpCall> calls = spy.Calls();
        checks.Check(calls.size() == 1 && calls[0].uCommand == kHhTpHelpWmHelp,
                     "F1 on a field of the firmware info: one popup (saw %u calls)",
                     static_cast<unsigned>(calls.size()));
        checks.Check(!calls.empty() && calls[0].strFile == strHelp + L"::/TmRoveVodoreHelp.txt",
                     "the help file beside the applet is the one used (saw %s)",
                     calls.empty() ? "none" : wt::Utf8(calls[0].strFile).c_str());

        // One without: one question, then the dialog's own topic, once.
        spy.Reset();
        int nQuestions = 0;
        {
            CHelpRequest f1(hDlg, 1110);
            nQuestions = AnswerQuestions(dwHostThread, true);
        }
        checks.Check(nQuestions == 1, "F1 elsewhere asks once whether to show the topic (saw %d)",
                     nQuestions);
        calls = spy.Calls();
        const std::wstring strTopic = L"::/html/ZuVereruVersion.htm";
        checks.Check(calls.size() == 1 && calls[0].uCommand == kHhDisplayTopic &&
                         calls[0].hWnd == hDlg && calls[0].strFile.size() > strTopic.size() &&
                         calls[0].strFile.compare(calls[0].strFile.size() - strTopic.size(),
                                                  strTopic.size(), strTopic) == 0,
                     "Yes shows the firmware info's topic, not the page's (saw %u calls%s%s)",
                     static_cast<unsigned>(calls.size()), calls.empty() ? "" : ", first ",
                     calls.empty() ? "" : wt::Utf8(calls[0].strFile).c_str());
        ::PostMessageW(hDlg, WM_COMMAND, IDOK, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hDlg); });
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); });
    });
    std::vector<CHelpCall> calls = spy.Calls();
    checks.Check(!calls.empty() && calls.back().uCommand == kHhCloseAll,
                 "closing the sheet closes the help windows it opened");
    pfnApplet(hHost, CPL_EXIT, 0, 0);
    ::DeleteFileW(strWindowsHelp.c_str());
}

}  // namespace

int wmain() {
    CChecks checks;
    CSpy spy;
    if (!checks.Check(spy.IsLoaded(), "hhspy.dll loads beside the test")) return checks.Finish();
    CSpyRegistration registration(CSpy::SpyPath());
    if (!checks.Check(registration.IsSet(), "hhspy.dll is registered as the HTML Help control"))
        return checks.Finish();
    wt::CHostWindow host;
    CheckInstalledHelpFile(checks, spy, host.Get());
    {
        CHelpFileAside aside(InstalledHelpFile());
        if (checks.Check(aside.IsMoved(), "the installed help file moved aside")) {
            CheckPlantedFileIsIgnored(checks, spy, host.Get());
            CheckDialogHelpOverTheSheet(checks, spy, host.Get());
        }
    }
    checks.Check(::GetFileAttributesW(InstalledHelpFile().c_str()) != INVALID_FILE_ATTRIBUTES,
                 "the installed help file is back in place");
    return checks.Finish();
}
