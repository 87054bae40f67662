// Small helpers of the Wine end-to-end test programs: check counting, window
// search and inspection from a driver thread or process, screenshots.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <dlgs.h>
#include <prsht.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "res/resource.h"
#include "simulator/TmIvroSim.h"

namespace wt {

// UTF-16 takes at most three UTF-8 bytes a unit, UTF-8 at most one UTF-16 unit a byte.
inline std::string Utf8(const std::wstring& strText) {
    std::string strOut(strText.size() * 3, '\0');
    strOut.resize(static_cast<size_t>(
        ::WideCharToMultiByte(CP_UTF8, 0, strText.c_str(), static_cast<int>(strText.size()),
                              &strOut[0], static_cast<int>(strOut.size()), nullptr, nullptr)));
    return strOut;
}

inline std::wstring Wide(const std::string& strText) {
    std::wstring strOut(strText.size(), L'\0');
    strOut.resize(static_cast<size_t>(
        ::MultiByteToWideChar(CP_UTF8, 0, strText.c_str(), static_cast<int>(strText.size()),
                              &strOut[0], static_cast<int>(strOut.size()))));
    return strOut;
}

// Counts checks and prints one line per check; the last line of a program is
// "N passed, M failed", which the scripts read. Both test threads report.
class CChecks {
public:
    bool Check(bool bOk, const char* pszFormat, ...) {
        va_list args;
        va_start(args, pszFormat);
        Print(bOk ? &m_nPassed : &m_nFailed, bOk ? "ok:   " : "FAIL: ", pszFormat, args);
        va_end(args);
        return bOk;
    }

    // Context for a failure: what was actually seen.
    void Note(const char* pszFormat, ...) {
        va_list args;
        va_start(args, pszFormat);
        Print(nullptr, "       ", pszFormat, args);
        va_end(args);
    }

    int Finish() {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::printf("%d passed, %d failed\n", m_nPassed, m_nFailed);
        std::fflush(stdout);
        return m_nFailed == 0 && m_nPassed > 0 ? 0 : 1;
    }

private:
    void Print(int* pnCount, const char* pszPrefix, const char* pszFormat, va_list args) {
        char szText[2048];
        std::vsnprintf(szText, sizeof(szText), pszFormat, args);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (pnCount) ++*pnCount;
        std::printf("%s%s\n", pszPrefix, szText);
        std::fflush(stdout);
    }

    std::mutex m_mutex;
    int m_nPassed = 0;
    int m_nFailed = 0;
};

// Polls until the condition holds or the time is up; every wait is bounded.
inline bool WaitFor(DWORD dwTimeoutMs, const std::function<bool()>& condition) {
    ULONGLONG nEnd = ::GetTickCount64() + dwTimeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= nEnd) return false;
        ::Sleep(50);
    }
}

// The whole text of a window, however long (an edit holding a report).
// Bounded, so a hung window cannot stop the driver.
inline std::wstring WindowText(HWND hWnd) {
    DWORD_PTR nLength = 0, nCopied = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &nLength);
    std::wstring strText(nLength + 1, L'\0');
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, strText.size(), reinterpret_cast<LPARAM>(&strText[0]),
                          SMTO_ABORTIFHUNG, 5000, &nCopied);
    strText.resize(std::min(nCopied, nLength));
    return strText;
}

inline std::wstring ClassName(HWND hWnd) {
    wchar_t szClass[256] = L"";
    ::GetClassNameW(hWnd, szClass, _countof(szClass));
    return szClass;
}

inline std::wstring ControlText(HWND hDlg, int nId) {
    HWND hControl = ::GetDlgItem(hDlg, nId);
    return hControl ? WindowText(hControl) : std::wstring();
}

inline BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

inline std::vector<HWND> TopLevelWindows(DWORD dwThreadId) {
    std::vector<HWND> windows;
    if (dwThreadId)
        ::EnumThreadWindows(dwThreadId, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    else
        ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline std::vector<HWND> ChildWindows(HWND hParent) {
    std::vector<HWND> windows;
    ::EnumChildWindows(hParent, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline HWND SheetTab(HWND hSheet) {
    return ::FindWindowExW(hSheet, nullptr, WC_TABCONTROLW, nullptr);
}

inline bool IsDialog(HWND hWnd) {
    return ClassName(hWnd) == L"#32770" && ::IsWindowVisible(hWnd);
}

// A property sheet: a visible dialog with a tab control; a message box has none.
inline bool IsSheet(HWND hWnd) {
    return IsDialog(hWnd) && SheetTab(hWnd) != nullptr;
}

// The first visible top-level dialog of the thread (0: any thread) that fnIs accepts.
inline HWND FindDialogIf(DWORD dwThreadId, const std::function<bool(HWND)>& fnIs) {
    for (HWND hWnd : TopLevelWindows(dwThreadId))
        if (IsDialog(hWnd) && fnIs(hWnd)) return hWnd;
    return nullptr;
}

inline HWND FindDialog(DWORD dwThreadId, bool bSheet, const wchar_t* pszCaption) {
    return FindDialogIf(dwThreadId, [&](HWND hWnd) {
        return IsSheet(hWnd) == bSheet && (!pszCaption || WindowText(hWnd) == pszCaption);
    });
}

inline HWND CurrentPage(HWND hSheet) {
    DWORD_PTR nResult = 0;
    ::SendMessageTimeoutW(hSheet, PSM_GETCURRENTPAGEHWND, 0, 0, SMTO_ABORTIFHUNG, 5000, &nResult);
    return reinterpret_cast<HWND>(nResult);
}

inline int TabCount(HWND hSheet) {
    return static_cast<int>(::SendMessageW(SheetTab(hSheet), TCM_GETITEMCOUNT, 0, 0));
}

inline int CurrentTab(HWND hSheet) {
    HWND hTab = SheetTab(hSheet);
    return hTab ? static_cast<int>(::SendMessageW(hTab, TCM_GETCURSEL, 0, 0)) : -1;
}

// Tab titles; TCM_GETITEM passes a pointer, so only within the sheet's process.
inline std::vector<std::wstring> TabTitles(HWND hSheet) {
    std::vector<std::wstring> titles;
    HWND hTab = SheetTab(hSheet);
    for (int i = 0; i < TabCount(hSheet); ++i) {
        wchar_t szText[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = szText;
        item.cchTextMax = _countof(szText);
        ::SendMessageW(hTab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles.push_back(item.pszText ? item.pszText : L"");
    }
    return titles;
}

inline std::string JoinTitles(const std::vector<std::wstring>& titles) {
    std::string strOut;
    for (const std::wstring& strTitle : titles)
        strOut += (strOut.empty() ? "" : ", ") + Utf8(strTitle);
    return strOut;
}

// The sheet of the thread once it is shown, nullptr if it is not in time.
inline HWND WaitForSheet(DWORD dwThreadId, DWORD dwTimeoutMs = 15000) {
    HWND hSheet = nullptr;
    WaitFor(dwTimeoutMs,
            [&] { return (hSheet = FindDialog(dwThreadId, true, nullptr)) != nullptr; });
    return hSheet;
}

// Makes tab nIndex the current one and returns its page once it is shown,
// nullptr if it is not within the time.
inline HWND SelectTab(HWND hSheet, int nIndex, DWORD dwTimeoutMs = 15000) {
    if (nIndex < 0) return nullptr;
    if (CurrentTab(hSheet) != nIndex)
        ::SendMessageW(hSheet, PSM_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    HWND hPage = nullptr;
    WaitFor(dwTimeoutMs, [&] {
        hPage = CurrentPage(hSheet);
        return hPage && CurrentTab(hSheet) == nIndex;
    });
    return CurrentTab(hSheet) == nIndex ? hPage : nullptr;
}

// The same for the tab with this title.
inline HWND SelectTab(HWND hSheet, const wchar_t* pszTitle, DWORD dwTimeoutMs = 15000) {
    std::vector<std::wstring> titles = TabTitles(hSheet);
    auto it = std::find(titles.begin(), titles.end(), pszTitle);
    return SelectTab(hSheet, it == titles.end() ? -1 : static_cast<int>(it - titles.begin()),
                     dwTimeoutMs);
}

// The static control of a message box that holds its text.
const int kIdMessageText = 0xFFFF;

// The applet's message boxes on a Marlet are captioned with its name.
inline bool IsMarletMessageBox(HWND hWnd) {
    return WindowText(hWnd) == L"Control Center (Marlet)" &&
           ::GetDlgItem(hWnd, kIdMessageText) != nullptr;
}

// The transfer dialog: its button and its progress bar.
inline bool IsTransferDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, IDC_TRANSFER_BUTTON) && ::GetDlgItem(hWnd, IDC_TRANSFER_PROGRESS);
}

// The text of a message box (its static control 0xFFFF).
inline std::wstring MessageBoxText(HWND hBox) {
    return ControlText(hBox, kIdMessageText);
}

// Wine's Open and Save As dialogs: the file type combo box and a file name
// field, the edit edt1 or the combo box cmb13.
inline bool IsFileDialog(HWND hWnd) {
    return ::GetDlgItem(hWnd, cmb1) && (::GetDlgItem(hWnd, cmb13) || ::GetDlgItem(hWnd, edt1));
}

// Prints what is on the screen of the thread (0: every thread), for failures.
inline void DumpWindows(CChecks& checks, DWORD dwThreadId) {
    for (HWND hWnd : TopLevelWindows(dwThreadId)) {
        if (!::IsWindowVisible(hWnd)) continue;
        checks.Note("window %p class \"%s\" caption \"%s\"", static_cast<void*>(hWnd),
                    Utf8(ClassName(hWnd)).c_str(), Utf8(WindowText(hWnd)).c_str());
        for (HWND hChild : ChildWindows(hWnd)) {
            if (!::IsWindowVisible(hChild)) continue;
            checks.Note("  child id %d class \"%s\" text \"%s\"", ::GetDlgCtrlID(hChild),
                        Utf8(ClassName(hChild)).c_str(), Utf8(WindowText(hChild)).c_str());
        }
    }
}

// Owns a handle; the function given with it gives it back.
template <class T, class R = BOOL>
class COwned {
public:
    COwned(T hHandle, R(WINAPI* pfnClose)(T)) : m_hHandle(hHandle), m_pfnClose(pfnClose) {}
    ~COwned() {
        if (m_hHandle) m_pfnClose(m_hHandle);
    }
    COwned(const COwned&) = delete;
    COwned& operator=(const COwned&) = delete;
    T Get() const { return m_hHandle; }

private:
    T m_hHandle;
    R(WINAPI* m_pfnClose)(T);
};

class CGdiObject : public COwned<HGDIOBJ> {
public:
    explicit CGdiObject(HGDIOBJ hObject) : COwned(hObject, ::DeleteObject) {}
};

class CWindow : public COwned<HWND> {
public:
    explicit CWindow(HWND hWnd) : COwned(hWnd, ::DestroyWindow) {}
};

inline BOOL WINAPI ReleaseScreenDc(HDC hDc) {
    return ::ReleaseDC(nullptr, hDc);
}

// Writes the file whole, replacing what was there.
inline bool WriteWholeFile(const std::wstring& strPath, const void* pData, size_t cb) {
    std::ofstream file(Utf8(strPath), std::ios::binary);
    return file.write(static_cast<const char*>(pData), static_cast<std::streamsize>(cb)).good();
}

// Saves the window as it is on the screen, frame included, as a 24-bit BMP.
// Taken from the screen rather than with PrintWindow, which Wine does not
// implement for the non-client area.
inline bool SaveWindowBitmap(HWND hWnd, const std::wstring& strPath) {
    RECT rc;
    if (!::GetWindowRect(hWnd, &rc)) return false;
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0) return false;

    COwned<HDC> screen(::GetDC(nullptr), ReleaseScreenDc);
    COwned<HDC> memory(::CreateCompatibleDC(screen.Get()), ::DeleteDC);
    CGdiObject bitmap(::CreateCompatibleBitmap(screen.Get(), cx, cy));
    if (!screen.Get() || !memory.Get() || !bitmap.Get()) return false;
    HGDIOBJ hOld = ::SelectObject(memory.Get(), bitmap.Get());
    BOOL bCopied = ::BitBlt(memory.Get(), 0, 0, cx, cy, screen.Get(), rc.left, rc.top, SRCCOPY);
    ::SelectObject(memory.Get(), hOld);
    if (!bCopied) return false;

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = cx;
    info.biHeight = cy;  // bottom-up, as BMP files store it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(header) + sizeof(info);
    header.bfSize =
        header.bfOffBits + ((static_cast<DWORD>(cx) * 3 + 3) & ~3u) * static_cast<DWORD>(cy);
    std::vector<BYTE> abFile(header.bfSize);
    if (::GetDIBits(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), 0, static_cast<UINT>(cy),
                    &abFile[header.bfOffBits], reinterpret_cast<BITMAPINFO*>(&info),
                    DIB_RGB_COLORS) != cy)
        return false;
    std::memcpy(&abFile[0], &header, sizeof(header));
    std::memcpy(&abFile[sizeof(header)], &info, sizeof(info));
    return WriteWholeFile(strPath, abFile.data(), abFile.size());
}

// Brings the window to the front, active, and lets it paint before a screenshot.
inline void ShowForShot(HWND hWnd) {
    ::SetForegroundWindow(hWnd);
    // Without a window manager holding the X focus, Wine's virtual desktop
    // draws the foreground window's caption as inactive.
    DWORD_PTR nResult = 0;
    ::SendMessageTimeoutW(hWnd, WM_NCACTIVATE, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &nResult);
    ::RedrawWindow(hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(400);
}

// A text for the one-line check output: line breaks shown as \r and \n.
inline std::string OneLine(const std::wstring& strText) {
    std::string strOut;
    for (char ch : Utf8(strText))
        strOut += ch == '\r' ? std::string("\\r") : ch == '\n' ? "\\n" : std::string(1, ch);
    return strOut;
}

inline bool HasVisibleButton(HWND hDlg, int nId) {
    HWND hButton = ::GetDlgItem(hDlg, nId);
    return hButton && ::IsWindowVisible(hButton);
}

// Where the prefix keeps the applet, as the Control Panel finds it.
const wchar_t kAppletPath[] = L"C:\\windows\\system32\\TmRoveVodore.cpl";

// The applet's entry point.
typedef LONG(APIENTRY* PFN_CPLAPPLET)(HWND, UINT, LPARAM, LPARAM);

// Whatever went wrong, the host thread must get out of CPL_DBLCLK: every
// dialog of it still open is reported, then cancelled or answered No.
inline void CloseLeftovers(CChecks& checks, DWORD dwHostThread, HANDLE hDblClkDone,
                           DWORD dwWaitMs) {
    bool bDone = WaitFor(dwWaitMs, [&] {
        if (::WaitForSingleObject(hDblClkDone, 0) == WAIT_OBJECT_0) return true;
        for (HWND hWnd : TopLevelWindows(dwHostThread)) {
            if (!IsDialog(hWnd)) continue;
            checks.Check(false, "unexpected window \"%s\" is open; closing it",
                         Utf8(WindowText(hWnd)).c_str());
            DumpWindows(checks, dwHostThread);
            if (IsSheet(hWnd))
                ::PostMessageW(hWnd, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            else
                ::PostMessageW(hWnd, WM_COMMAND, HasVisibleButton(hWnd, IDNO) ? IDNO : IDCANCEL, 0);
            ::Sleep(500);
        }
        return false;
    });
    if (!bDone) {
        checks.Check(false, "CPL_DBLCLK did not return");
        DumpWindows(checks, dwHostThread);
        std::_Exit(checks.Finish());
    }
}

// One double-click of the applet: this thread is the host inside CPL_DBLCLK
// while fnDriver works the windows from a second thread; it gets the host
// thread and an event set once CPL_DBLCLK has returned. Whatever the driver
// left open is closed then.
inline LONG DoubleClickApplet(
    CChecks& checks, PFN_CPLAPPLET pfnApplet, HWND hHost,
    const std::function<void(DWORD dwHostThread, HANDLE hDone)>& fnDriver) {
    const DWORD dwHostThread = ::GetCurrentThreadId();
    COwned<HANDLE> done(::CreateEventW(nullptr, TRUE, FALSE, nullptr), ::CloseHandle);
    std::thread driver([&] {
        fnDriver(dwHostThread, done.Get());
        CloseLeftovers(checks, dwHostThread, done.Get(), 15000);
    });
    LONG nResult = pfnApplet(hHost, CPL_DBLCLK, 0, 0);
    ::SetEvent(done.Get());
    driver.join();
    return nResult;
}

// The Control Panel window the sheet belongs to.
class CHostWindow : public CWindow {
public:
    CHostWindow()
        : CWindow(::CreateWindowExW(0, L"STATIC", L"Control Panel", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                    100, nullptr, nullptr, nullptr, nullptr)) {}
};

// The driver thread's view of the dialogs the host thread shows besides the
// sheet: message boxes, file and transfer dialogs.
class CHostDriver {
protected:
    CHostDriver(CChecks& checks, DWORD dwHostThread, DWORD dwWaitMs)
        : m_checks(checks), m_dwHostThread(dwHostThread), m_dwWaitMs(dwWaitMs) {}

    HWND FindHostDialog(bool (*pfnIs)(HWND)) const {
        return FindDialogIf(m_dwHostThread,
                            [&](HWND hWnd) { return !IsSheet(hWnd) && pfnIs(hWnd); });
    }

    HWND WaitDialog(bool (*pfnIs)(HWND), const std::string& strWhat) {
        HWND hDlg = nullptr;
        bool bShown = WaitFor(m_dwWaitMs, [&] { return (hDlg = FindHostDialog(pfnIs)); });
        if (!m_checks.Check(bShown, "%s appears", strWhat.c_str())) DumpWindows(m_checks, 0);
        return bShown ? hDlg : nullptr;
    }

    bool WaitGone(HWND hWnd, const std::string& strWhat) {
        return m_checks.Check(WaitFor(m_dwWaitMs, [&] { return !::IsWindow(hWnd); }), "%s closes",
                              strWhat.c_str());
    }

    // A click as the mouse gives it: the button's own press and release.
    static void Click(HWND hDlg, int nId) {
        ::PostMessageW(::GetDlgItem(hDlg, nId), BM_CLICK, 0, 0);
    }

    static void Answer(HWND hBox, int nId) {
        ::PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hBox, nId)));
    }

    void CloseEverything(HANDLE hDblClkDone) {
        CloseLeftovers(m_checks, m_dwHostThread, hDblClkDone, m_dwWaitMs);
    }

    CChecks& m_checks;
    const DWORD m_dwHostThread;
    const DWORD m_dwWaitMs;
};

// The simulator's control functions, taken from the TmIvro.dll the applet loaded.
struct CSimulator {
    PFN_TMSIMRESET m_pfnReset = nullptr;
    PFN_TMSIMLOADPROFILETEXT m_pfnLoadProfileText = nullptr;
    PFN_TMSIMSET m_pfnSet = nullptr;
    PFN_TMSIMGET m_pfnGet = nullptr;
    PFN_TMSIMGETCALLLOG m_pfnGetCallLog = nullptr;
    PFN_TMSIMCLEARCALLLOG m_pfnClearCallLog = nullptr;

    bool Bind() {
        HMODULE hModule = ::GetModuleHandleW(L"TmIvro.dll");
        return hModule && Take(hModule, "TmSimReset", m_pfnReset) &&
               Take(hModule, "TmSimLoadProfileText", m_pfnLoadProfileText) &&
               Take(hModule, "TmSimSet", m_pfnSet) && Take(hModule, "TmSimGet", m_pfnGet) &&
               Take(hModule, "TmSimGetCallLog", m_pfnGetCallLog) &&
               Take(hModule, "TmSimClearCallLog", m_pfnClearCallLog);
    }
    bool Set(const char* pszKey, const char* pszValue) const {
        return m_pfnSet(pszKey, pszValue) != FALSE;
    }
    std::string Get(const char* pszKey) const {
        char szValue[256] = "";
        m_pfnGet(pszKey, szValue, sizeof(szValue));
        return szValue;
    }
    std::string CallLog() const {
        std::string strLog(m_pfnGetCallLog(nullptr, 0) + 1, '\0');
        DWORD dwLength = m_pfnGetCallLog(&strLog[0], static_cast<DWORD>(strLog.size()));
        strLog.resize(dwLength < strLog.size() ? dwLength : strLog.size() - 1);
        return strLog;
    }

private:
    // Through void(*)(): a direct cast trips -Wcast-function-type.
    template <class F>
    static bool Take(HMODULE hModule, const char* pszName, F& pfn) {
        pfn = reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(hModule, pszName)));
        return pfn != nullptr;
    }
};

// The applet loaded as the Control Panel loads it (or from another path),
// its entry point, and the simulator's control functions from the TmIvro.dll
// it brought along.
struct CLoadedApplet {
    explicit CLoadedApplet(const wchar_t* pszPath = kAppletPath) : m_pszPath(pszPath) {}

    const wchar_t* m_pszPath;
    COwned<HMODULE> m_library{::LoadLibraryW(m_pszPath), ::FreeLibrary};
    DWORD m_dwError = m_library.Get() ? 0 : ::GetLastError();
    // Through void(*)(): a direct cast trips -Wcast-function-type.
    PFN_CPLAPPLET m_pfnApplet = reinterpret_cast<PFN_CPLAPPLET>(reinterpret_cast<void (*)()>(
        m_library.Get() ? ::GetProcAddress(m_library.Get(), "CPlApplet") : nullptr));
    CSimulator m_simulator;
    bool m_bBound = m_simulator.Bind();

    // The two checks of programs that need both to go on.
    bool CheckLoaded(CChecks& checks) const {
        if (!checks.Check(m_library.Get() != nullptr, "LoadLibraryW(%s) (last error %lu)",
                          Utf8(m_pszPath).c_str(), static_cast<unsigned long>(m_dwError)))
            return false;
        return checks.Check(m_pfnApplet && m_bBound,
                            "CPlApplet and the simulator's control functions");
    }
};

}  // namespace wt
