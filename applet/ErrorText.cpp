#include "applet/ErrorText.h"

#include <cwchar>

#include "framework/Afx.h"
#include "framework/AfxHandles.h"
#include "res/resource.h"

const wchar_t* GetSystemErrorText(DWORD dwError) {
    static wchar_t s_szText[1024];
    // The semaphore time-out of the driver means the device did not answer.
    if (dwError == ERROR_SEM_TIMEOUT) dwError = ERROR_TIMEOUT;

    CLocalText text;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, dwError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(text.Receive()), 0, nullptr);
    // No text for the code: an empty text rather than the previous caller's.
    s_szText[0] = L'\0';
    if (n == 0 || !text) return s_szText;

    size_t len = std::wcslen(text.Get());
    if (len >= _countof(s_szText)) len = _countof(s_szText) - 1;
    std::wmemcpy(s_szText, text.Get(), len);
    s_szText[len] = L'\0';
    if (len > 0 && s_szText[len - 1] == L'\n') s_szText[--len] = L'\0';
    if (len > 0 && s_szText[len - 1] == L'\r') s_szText[--len] = L'\0';
    return s_szText;
}

UINT GetStatusWordId(DWORD dwError) {
    switch (dwError) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_NOT_SUPPORTED:
        case ERROR_CALL_NOT_IMPLEMENTED:
        case ERROR_NOT_FOUND:
            return IDS_STATUS_NONE;
        case ERROR_SEM_TIMEOUT:
        case ERROR_TIMEOUT:
            return IDS_STATUS_TIMEOUT;
        case ERROR_BUSY:
            return IDS_STATUS_BUSY;
        default:
            return IDS_STATUS_ERROR;
    }
}

CString LoadStatusWord(DWORD dwError) {
    CString word;
    word.LoadString(GetStatusWordId(dwError));
    return word;
}

void ShowDeviceError(UINT nIDS) {
    DWORD dwError = ::GetLastError();
    CString text;
    text.LoadString(nIDS);
    text += L"\n";
    text += GetSystemErrorText(dwError);
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}
