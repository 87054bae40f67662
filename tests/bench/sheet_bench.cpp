// sheet_bench PART [COUNT]: measurements of the real TmRoveVodore.cpl under
// Wine, printed as "key=value" lines for scripts/bench.sh. PART is one of:
//   latency [RUNS]   double-click to the sheet shown and painted, the median of
//                    RUNS (default 20) runs, beside a bare property sheet with
//                    the applet's own page templates and manifest, the two
//                    taking turns in the same process;
//   idle [SECONDS]   the CPU time the sheet's thread and the whole process use
//                    while each page is the active one and nobody touches it
//                    (default 20 s a page), and the timer messages it gets;
//   leaks [RUNS]     GDI objects, windows and heap blocks of the process before
//                    and after 1, 10 and RUNS (default 50) sheet runs (each
//                    visiting every page, then OK or Cancel in turn), for the
//                    applet and for the bare sheet; first for double-clicks
//                    that show nothing, the measuring alone.
// TM_BENCH_VERBOSE=1 prints the steps of each open and the top-level windows
// at each count of the resources; TM_BENCH_HEAPDIFF=1 prints the
// heap blocks that the 11th run of each kind kept.
// A benchmark, not a test: it checks only what its numbers need.
#include <windows.h>
#include <commctrl.h>
#include <cpl.h>
#include <prsht.h>

#include <algorithm>
#include <utility>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/wine/WineTest.h"

namespace {

using wt::CChecks;
using wt::PFN_CPLAPPLET;

const DWORD kWaitMs = 15000;

// The pages the applet shows on the simulator's default Marlet, in its tab order.
const UINT kPageTemplates[] = {
    IDD_PAGE_DISPLAY,      IDD_PAGE_KEYS, IDD_PAGE_LEDS,    IDD_PAGE_SWITCHES, IDD_PAGE_RAVLA,
    IDD_PAGE_TEMPERATURES, IDD_PAGE_USER, IDD_PAGE_FACTORY, IDD_PAGE_VERSIONS, IDD_PAGE_REPORT};

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double FileTimeMs(const FILETIME& time) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0;
}

class CHandle {
public:
    explicit CHandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~CHandle() {
        if (m_hHandle) ::CloseHandle(m_hHandle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    HANDLE Get() const { return m_hHandle; }

private:
    HANDLE m_hHandle;
};

// The applet's module and entry point, for the two stand-ins below.
HMODULE g_hApplet = nullptr;
PFN_CPLAPPLET g_pfnApplet = nullptr;
// When the host thread entered CPL_DBLCLK, for the driver thread.
std::atomic<double> g_dStartMs{0.0};

// The applet's entry point, noting when the double-click starts.
LONG APIENTRY TimedApplet(HWND hWnd, UINT uMsg, LPARAM lParam1, LPARAM lParam2) {
    if (uMsg == CPL_DBLCLK) g_dStartMs = NowMs();
    return g_pfnApplet(hWnd, uMsg, lParam1, lParam2);
}

INT_PTR CALLBACK BarePageProc(HWND, UINT uMsg, WPARAM, LPARAM) {
    return uMsg == WM_INITDIALOG;
}

// The applet's manifest (common controls 6), active while the sheet runs,
// as the applet activates it.
class CAppletManifest {
public:
    CAppletManifest() {
        ACTCTXW context = {};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = g_hApplet;
        context.lpResourceName = MAKEINTRESOURCEW(123);
        m_hContext = ::CreateActCtxW(&context);
        if (m_hContext != INVALID_HANDLE_VALUE && !::ActivateActCtx(m_hContext, &m_nCookie))
            m_nCookie = 0;
    }
    ~CAppletManifest() {
        if (m_nCookie) ::DeactivateActCtx(0, m_nCookie);
        if (m_hContext != INVALID_HANDLE_VALUE) ::ReleaseActCtx(m_hContext);
    }
    CAppletManifest(const CAppletManifest&) = delete;
    CAppletManifest& operator=(const CAppletManifest&) = delete;
    bool IsActive() const { return m_nCookie != 0; }

private:
    HANDLE m_hContext = INVALID_HANDLE_VALUE;
    ULONG_PTR m_nCookie = 0;
};

bool g_bBareManifest = false;

// A double-click that shows nothing: the measuring machinery alone.
LONG APIENTRY NoSheetApplet(HWND, UINT, LPARAM, LPARAM) {
    return 1;
}

// A double-click that opens a bare property sheet: the same page templates,
// control classes and manifest as the applet's sheet, and no code behind them.
LONG APIENTRY BareSheetApplet(HWND hWnd, UINT uMsg, LPARAM, LPARAM) {
    if (uMsg != CPL_DBLCLK) return 1;
    g_dStartMs = NowMs();
    CAppletManifest manifest;
    g_bBareManifest = manifest.IsActive();
    INITCOMMONCONTROLSEX icc = {sizeof(icc),
                                ICC_BAR_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    std::vector<PROPSHEETPAGEW> pages;
    for (UINT nTemplate : kPageTemplates) {
        PROPSHEETPAGEW page = {};
        page.dwSize = sizeof(page);
        page.dwFlags = PSP_DEFAULT | PSP_HASHELP;
        page.hInstance = g_hApplet;
        page.pszTemplate = MAKEINTRESOURCEW(nTemplate);
        page.pfnDlgProc = &BarePageProc;
        pages.push_back(page);
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
    header.hwndParent = hWnd;
    header.hInstance = g_hApplet;
    header.pszCaption = L"Bare sheet";
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    ::PropertySheetW(&header);
    return 1;
}

// Nothing of the window or its visible children is left to paint.
bool IsPainted(HWND hWnd) {
    if (::GetUpdateRect(hWnd, nullptr, FALSE)) return false;
    for (HWND hChild : wt::ChildWindows(hWnd))
        if (::IsWindowVisible(hChild) && ::GetUpdateRect(hChild, nullptr, FALSE)) return false;
    return true;
}

// The time from the double-click to the sheet shown with its first page and
// painted; negative if that does not happen in time. Polls every millisecond.
double WaitShownMs(DWORD dwHostThread, HWND& hSheet) {
    double dEnd = NowMs() + kWaitMs;
    hSheet = nullptr;
    double dFound = 0, dPage = 0;
    int nUnpainted = 0;
    while (NowMs() < dEnd) {
        if (!hSheet) {
            hSheet = wt::FindDialog(dwHostThread, true, nullptr);
            if (hSheet) dFound = NowMs() - g_dStartMs;
        }
        if (hSheet) {
            HWND hPage = wt::CurrentPage(hSheet);
            if (hPage && ::IsWindowVisible(hPage)) {
                if (!dPage) dPage = NowMs() - g_dStartMs;
                if (IsPainted(hSheet)) {
                    double dPainted = NowMs() - g_dStartMs;
                    if (std::getenv("TM_BENCH_VERBOSE"))
                        std::printf(
                            "open: sheet shown %.1f ms, its page %.1f ms, painted %.1f ms "
                            "(%d polls with paint pending)\n",
                            dFound, dPage, dPainted, nUnpainted);
                    return dPainted;
                }
                ++nUnpainted;
            }
        }
        ::Sleep(1);
    }
    return -1.0;
}

void CancelAndWait(HWND hSheet) {
    ::PostMessageW(hSheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); });
}

double Median(std::vector<double> values) {
    if (values.empty()) return -1.0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// One timed sheet run; the tab titles of the sheet if asked for.
double TimedRun(CChecks& checks, PFN_CPLAPPLET pfnRun, HWND hHost,
                std::vector<std::wstring>* pTitles = nullptr) {
    double dMs = -1.0;
    wt::DoubleClickApplet(checks, pfnRun, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = nullptr;
        dMs = WaitShownMs(dwHostThread, hSheet);
        if (!hSheet) return;
        if (pTitles) *pTitles = wt::TabTitles(hSheet);
        CancelAndWait(hSheet);
    });
    return dMs;
}

void PrintStats(const char* pszName, const std::vector<double>& times) {
    double dMin = times.empty() ? -1.0 : *std::min_element(times.begin(), times.end());
    double dMax = times.empty() ? -1.0 : *std::max_element(times.begin(), times.end());
    std::printf("latency %s runs=%u median_ms=%.1f min_ms=%.1f max_ms=%.1f\n", pszName,
                static_cast<unsigned>(times.size()), Median(times), dMin, dMax);
}

int Latency(CChecks& checks, HWND hHost, int nRuns) {
    // One run of each first, not counted: the first loads comctl32's classes,
    // fonts and the X11 driver's caches.
    std::vector<std::wstring> appletTitles, bareTitles;
    bool bOk = TimedRun(checks, &TimedApplet, hHost, &appletTitles) > 0;
    bOk &= TimedRun(checks, &BareSheetApplet, hHost, &bareTitles) > 0;
    if (!checks.Check(bOk, "both sheets open")) return checks.Finish();
    checks.Check(g_bBareManifest, "the bare sheet runs with the applet's manifest active");
    checks.Check(appletTitles == bareTitles, "both sheets have the same %u pages (%s | %s)",
                 static_cast<unsigned>(appletTitles.size()), wt::JoinTitles(appletTitles).c_str(),
                 wt::JoinTitles(bareTitles).c_str());

    std::vector<double> applet, bare;
    for (int i = 0; i < nRuns; ++i) {
        // Turn about, so that neither always comes first.
        for (int j = 0; j < 2; ++j) {
            bool bApplet = (i + j) % 2 == 0;
            double dMs = TimedRun(checks, bApplet ? &TimedApplet : &BareSheetApplet, hHost);
            if (dMs > 0) (bApplet ? applet : bare).push_back(dMs);
            ::Sleep(100);
        }
    }
    checks.Check(static_cast<int>(applet.size()) == nRuns && static_cast<int>(bare.size()) == nRuns,
                 "every run shows its sheet (%u and %u of %d)",
                 static_cast<unsigned>(applet.size()), static_cast<unsigned>(bare.size()), nRuns);
    PrintStats("applet", applet);
    PrintStats("bare", bare);
    std::printf("latency ratio=%.2f\n", Median(applet) / Median(bare));
    return checks.Finish();
}

// Counts the timer messages the sheet's thread takes from its queue.
std::atomic<long> g_nTimerMessages{0};

LRESULT CALLBACK CountTimers(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HC_ACTION && wParam == PM_REMOVE &&
        reinterpret_cast<const MSG*>(lParam)->message == WM_TIMER)
        ++g_nTimerMessages;
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

class CHook {
public:
    CHook(int nType, HOOKPROC pfnHook, DWORD dwThreadId)
        : m_hHook(::SetWindowsHookExW(nType, pfnHook, nullptr, dwThreadId)) {}
    ~CHook() {
        if (m_hHook) ::UnhookWindowsHookEx(m_hHook);
    }
    CHook(const CHook&) = delete;
    CHook& operator=(const CHook&) = delete;
    bool IsSet() const { return m_hHook != nullptr; }

private:
    HHOOK m_hHook;
};

double ThreadCpuMs(HANDLE hThread) {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(hThread, &created, &exited, &kernel, &user)) return -1.0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1.0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

int Idle(CChecks& checks, HWND hHost, DWORD dwIdleMs) {
    wt::DoubleClickApplet(checks, &TimedApplet, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
        if (!checks.Check(hSheet != nullptr, "the sheet opens")) return;
        CHandle thread(::OpenThread(THREAD_QUERY_INFORMATION, FALSE, dwHostThread));
        CHook hook(WH_GETMESSAGE, &CountTimers, dwHostThread);
        checks.Check(thread.Get() && hook.IsSet(), "the sheet's thread is watched");
        std::vector<std::wstring> titles = wt::TabTitles(hSheet);
        for (int i = 0; i < static_cast<int>(titles.size()); ++i) {
            if (!wt::SelectTab(hSheet, i, kWaitMs)) {
                checks.Check(false, "page %d is shown", i);
                continue;
            }
            // What the page does when it is shown is not idle work.
            ::Sleep(1000);
            g_nTimerMessages = 0;
            double dThread = ThreadCpuMs(thread.Get());
            double dProcess = ProcessCpuMs();
            double dStart = NowMs();
            ::Sleep(dwIdleMs);
            double dWall = NowMs() - dStart;
            double dThreadUsed = ThreadCpuMs(thread.Get()) - dThread;
            double dProcessUsed = ProcessCpuMs() - dProcess;
            std::printf(
                "idle page=\"%s\" wall_ms=%.0f thread_cpu_ms=%.0f process_cpu_ms=%.0f "
                "timer_messages=%ld\n",
                wt::Utf8(titles[static_cast<size_t>(i)]).c_str(), dWall, dThreadUsed, dProcessUsed,
                g_nTimerMessages.load());
            std::fflush(stdout);
        }
        CancelAndWait(hSheet);
    });
    return checks.Finish();
}

// GDI objects of the process. Wine's GetGuiResources is a stub that returns
// 0; there every live object's handle table slot is probed instead (Wine
// takes a handle with the upper word 0 as the slot's current object).
DWORD GdiObjects() {
    DWORD nCount = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (nCount) return nCount;
    for (ULONG_PTR nSlot = 1; nSlot < 0x10000; ++nSlot)
        nCount += ::GetObjectType(reinterpret_cast<HGDIOBJ>(nSlot)) != 0;
    return nCount;
}

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam) {
    DWORD dwProcess = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == ::GetCurrentProcessId() && std::getenv("TM_BENCH_VERBOSE"))
        std::printf("window \"%s\" \"%s\" with %u children\n",
                    wt::Utf8(wt::ClassName(hWnd)).c_str(), wt::Utf8(wt::WindowText(hWnd)).c_str(),
                    static_cast<unsigned>(wt::ChildWindows(hWnd).size()));
    if (dwProcess == ::GetCurrentProcessId())
        *reinterpret_cast<DWORD*>(lParam) += 1 + static_cast<DWORD>(wt::ChildWindows(hWnd).size());
    return TRUE;
}

// Windows of the process: top-level, message-only and all their children.
DWORD Windows() {
    DWORD nCount = 0;
    ::EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&nCount));
    for (HWND hWnd = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hWnd;
         hWnd = ::FindWindowExW(HWND_MESSAGE, hWnd, nullptr, nullptr))
        CountWindow(hWnd, reinterpret_cast<LPARAM>(&nCount));
    return nCount;
}

// Opens the sheet, shows every page, then presses OK or Cancel.
void VisitAndClose(CChecks& checks, PFN_CPLAPPLET pfnRun, HWND hHost, bool bOk, int& nFailed) {
    wt::DoubleClickApplet(checks, pfnRun, hHost, [&](DWORD dwHostThread, HANDLE) {
        HWND hSheet = wt::WaitForSheet(dwHostThread, kWaitMs);
        if (!hSheet) {
            ++nFailed;
            return;
        }
        int nTabs = wt::TabCount(hSheet);
        for (int i = 0; i < nTabs; ++i)
            if (!wt::SelectTab(hSheet, i, kWaitMs)) ++nFailed;
        ::PostMessageW(hSheet, PSM_PRESSBUTTON, bOk ? PSBTN_OK : PSBTN_CANCEL, 0);
        if (!wt::WaitFor(kWaitMs, [&] { return !::IsWindow(hSheet); })) ++nFailed;
    });
}

typedef std::vector<std::pair<ULONG_PTR, DWORD>> CHeapBlocks;

// Address and size of every busy heap block, sorted; at most nMax of them.
CHeapBlocks HeapBlocks(size_t nMax) {
    CHeapBlocks blocks;
    blocks.reserve(nMax);
    std::vector<HANDLE> heaps(256);
    DWORD nHeaps = ::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    heaps.resize(std::min<size_t>(nHeaps, heaps.size()));
    for (HANDLE hHeap : heaps) {
        if (!::HeapLock(hHeap)) continue;
        PROCESS_HEAP_ENTRY entry = {};
        // No allocation while the heap is walked: the room is reserved. The
        // walk's own two blocks are not counted.
        while (::HeapWalk(hHeap, &entry))
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && blocks.size() < nMax &&
                entry.lpData != blocks.data() && entry.lpData != heaps.data())
                blocks.emplace_back(reinterpret_cast<ULONG_PTR>(entry.lpData), entry.cbData);
        ::HeapUnlock(hHeap);
    }
    std::sort(blocks.begin(), blocks.end());
    return blocks;
}

struct CHeapUse {
    size_t nBlocks = 0;
    size_t cbBytes = 0;
};

// Busy blocks of every heap of the process.
CHeapUse HeapUse() {
    CHeapUse use;
    for (const auto& block : HeapBlocks(200000)) {
        ++use.nBlocks;
        use.cbBytes += block.second;
    }
    return use;
}

// The blocks in after that were not in before, with their first bytes: what
// one run kept (TM_BENCH_HEAPDIFF=1, for hunting a leak).
void PrintNewBlocks(const CHeapBlocks& before, const CHeapBlocks& after) {
    for (const auto& block : after) {
        if (std::binary_search(before.begin(), before.end(), block)) continue;
        const unsigned char* pb = reinterpret_cast<const unsigned char*>(block.first);
        std::printf("kept block %p, %lu bytes:", reinterpret_cast<void*>(block.first),
                    static_cast<unsigned long>(block.second));
        for (DWORD i = 0; i < block.second && i < 32; ++i) std::printf(" %02x", pb[i]);
        std::printf("\n");
    }
}

void PrintResources(const char* pszName, int nRuns) {
    CHeapUse heap = HeapUse();
    std::printf("resources sheet=%s runs=%d gdi=%lu windows=%lu heap_blocks=%lu heap_bytes=%lu\n",
                pszName, nRuns, static_cast<unsigned long>(GdiObjects()),
                static_cast<unsigned long>(Windows()), static_cast<unsigned long>(heap.nBlocks),
                static_cast<unsigned long>(heap.cbBytes));
    std::fflush(stdout);
}

void LeakRuns(CChecks& checks, const char* pszName, PFN_CPLAPPLET pfnRun, HWND hHost, int nRuns,
              const wt::CSimulator& simulator) {
    int nFailed = 0;
    simulator.m_pfnClearCallLog();
    PrintResources(pszName, 0);
    for (int nRun = 1; nRun <= nRuns; ++nRun) {
        // One run late enough for Wine's caches to be full.
        bool bDiff = nRun == 11 && std::getenv("TM_BENCH_HEAPDIFF");
        CHeapBlocks before;
        if (bDiff) before = HeapBlocks(200000);
        VisitAndClose(checks, pfnRun, hHost, nRun % 2 == 0, nFailed);
        if (bDiff) {
            std::printf("heap blocks that %s run %d kept:\n", pszName, nRun);
            PrintNewBlocks(before, HeapBlocks(200000));
        }
        // The simulator keeps the last calls; its log is not the applet's.
        simulator.m_pfnClearCallLog();
        if (nRun == 1 || nRun == 10 || nRun == nRuns) PrintResources(pszName, nRun);
    }
    checks.Check(nFailed == 0, "%s: %d runs, every page shown and the sheet closed (%d failures)",
                 pszName, nRuns, nFailed);
}

int Leaks(CChecks& checks, HWND hHost, int nRuns, const wt::CSimulator& simulator) {
    // One window and one GDI object that the counts must see.
    DWORD nWindows = Windows();
    DWORD nGdi = GdiObjects();
    {
        wt::CGdiObject brush(::CreateSolidBrush(RGB(1, 2, 3)));
        wt::CWindow window(::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, hHost,
                                             nullptr, nullptr, nullptr));
        checks.Check(GdiObjects() == nGdi + 1 && Windows() == nWindows + 1,
                     "the counts see one more brush and one more window (%lu->%lu, %lu->%lu)",
                     static_cast<unsigned long>(nGdi), static_cast<unsigned long>(GdiObjects()),
                     static_cast<unsigned long>(nWindows), static_cast<unsigned long>(Windows()));
    }
    // The double-click and its driver thread alone, without a sheet.
    PrintResources("harness", 0);
    for (int nRun = 1; nRun <= nRuns; ++nRun) {
        wt::DoubleClickApplet(checks, &NoSheetApplet, hHost, [&](DWORD, HANDLE) {});
        if (nRun == 1 || nRun == 10 || nRun == nRuns) PrintResources("harness", nRun);
    }
    LeakRuns(checks, "applet", &TimedApplet, hHost, nRuns, simulator);
    LeakRuns(checks, "bare", &BareSheetApplet, hHost, nRuns, simulator);
    return checks.Finish();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    CChecks checks;
    std::wstring strPart = argc > 1 ? argv[1] : L"";
    int nCount = argc > 2 ? static_cast<int>(std::wcstol(argv[2], nullptr, 10)) : 0;
    wt::CLoadedApplet applet;
    if (!applet.CheckLoaded(checks)) return checks.Finish();
    g_hApplet = applet.m_library.Get();
    g_pfnApplet = applet.m_pfnApplet;
    wt::CHostWindow host;
    g_pfnApplet(host.Get(), CPL_INIT, 0, 0);
    int nResult;
    if (strPart == L"latency")
        nResult = Latency(checks, host.Get(), nCount > 0 ? nCount : 20);
    else if (strPart == L"idle")
        nResult = Idle(checks, host.Get(), static_cast<DWORD>(nCount > 0 ? nCount : 20) * 1000);
    else if (strPart == L"leaks")
        nResult = Leaks(checks, host.Get(), nCount > 1 ? nCount : 50, applet.m_simulator);
    else {
        std::fprintf(stderr, "usage: sheet_bench latency|idle|leaks [COUNT]\n");
        return 2;
    }
    g_pfnApplet(host.Get(), CPL_EXIT, 0, 0);
    return nResult;
}
