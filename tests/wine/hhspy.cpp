// hhspy.dll stands in for the HTML Help control in the Wine tests: a test
// registers it as the control's module, and it records every HtmlHelpW call
// the applet makes (Wine's control shows no help content to look at).
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;
std::wstring g_strCalls;  // a line a call: window, command, file

}  // namespace

extern "C" {

// Export 15, as the control's own.
HWND WINAPI HtmlHelpW(HWND hWndCaller, LPCWSTR pszFile, UINT uCommand, DWORD_PTR) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_strCalls += std::to_wstring(reinterpret_cast<std::uintptr_t>(hWndCaller)) + L" " +
                  std::to_wstring(uCommand) + L" " + (pszFile ? pszFile : L"") + L"\n";
    return nullptr;
}

// The calls since the last take, cut to cchOut characters; then forgets them.
void WINAPI HhSpyTake(LPWSTR pszOut, DWORD cchOut) {
    std::lock_guard<std::mutex> lock(g_mutex);
    lstrcpynW(pszOut, g_strCalls.c_str(), static_cast<int>(cchOut));
    g_strCalls.clear();
}

}  // extern "C"
