// hhspy.dll stands in for the HTML Help control in the Wine tests: a test
// registers it as the control's module, and it records every HtmlHelpW call
// the applet makes (Wine's control shows no help content to look at).
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

struct CCall {
    HWND hWnd;
    std::wstring strFile;
    UINT uCommand;
};

std::mutex g_mutex;
std::vector<CCall> g_calls;

}  // namespace

extern "C" {

// Export 15, as the control's own.
HWND WINAPI HtmlHelpW(HWND hWndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back({hWndCaller, pszFile ? pszFile : L"", uCommand});
    return nullptr;
}

DWORD WINAPI HhSpyCallCount() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<DWORD>(g_calls.size());
}

// Call nIndex: its window, command and file (cut to cchFile); FALSE if none.
BOOL WINAPI HhSpyGetCall(DWORD nIndex, HWND* phWnd, UINT* puCommand, LPWSTR pszFile,
                         DWORD cchFile) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (nIndex >= g_calls.size() || cchFile == 0) return FALSE;
    const CCall& call = g_calls[nIndex];
    *phWnd = call.hWnd;
    *puCommand = call.uCommand;
    lstrcpynW(pszFile, call.strFile.c_str(), static_cast<int>(cchFile));
    return TRUE;
}

void WINAPI HhSpyReset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.clear();
}

}  // extern "C"
