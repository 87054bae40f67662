// Fake platform core: state lock, handle table, Reset, last error, system
// message texts, local memory, string helpers and code pages.
#include "FakeInternal.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>

namespace fakeplat {
namespace detail {

namespace {

std::map<HANDLE, std::shared_ptr<KernelObject>>& Handles() {
    static std::map<HANDLE, std::shared_ptr<KernelObject>> s_handles;
    return s_handles;
}

ULONG_PTR g_nNextHandle = 0x1000;

// Windows' own English texts of the system message table.
const std::map<DWORD, std::wstring>& BuiltinMessages() {
    static const std::map<DWORD, std::wstring> s_texts = {
        {0, L"The operation completed successfully.\r\n"},
        {1, L"Incorrect function.\r\n"},
        {2, L"The system cannot find the file specified.\r\n"},
        {3, L"The system cannot find the path specified.\r\n"},
        {4, L"The system cannot open the file.\r\n"},
        {5, L"Access is denied.\r\n"},
        {6, L"The handle is invalid.\r\n"},
        {8, L"Not enough memory resources are available to process this command.\r\n"},
        {11, L"An attempt was made to load a program with an incorrect format.\r\n"},
        {12, L"The access code is invalid.\r\n"},
        {13, L"The data is invalid.\r\n"},
        {14, L"Not enough memory resources are available to complete this operation.\r\n"},
        {15, L"The system cannot find the drive specified.\r\n"},
        {18, L"There are no more files.\r\n"},
        {19, L"The media is write protected.\r\n"},
        {21, L"The device is not ready.\r\n"},
        {23, L"Data error (cyclic redundancy check).\r\n"},
        {24, L"The program issued a command but the command length is incorrect.\r\n"},
        {31, L"A device attached to the system is not functioning.\r\n"},
        {32,
         L"The process cannot access the file because it is being used by another process.\r\n"},
        {38, L"Reached the end of the file.\r\n"},
        {39, L"The disk is full.\r\n"},
        {50, L"The request is not supported.\r\n"},
        {80, L"The file exists.\r\n"},
        {87, L"The parameter is incorrect.\r\n"},
        {111, L"The file name is too long.\r\n"},
        {112, L"There is not enough space on the disk.\r\n"},
        {120, L"This function is not supported on this system.\r\n"},
        {121, L"The semaphore timeout period has expired.\r\n"},
        {122, L"The data area passed to a system call is too small.\r\n"},
        {123, L"The filename, directory name, or volume label syntax is incorrect.\r\n"},
        {126, L"The specified module could not be found.\r\n"},
        {127, L"The specified procedure could not be found.\r\n"},
        {131,
         L"An attempt was made to move the file pointer before the beginning of the file.\r\n"},
        {145, L"The directory is not empty.\r\n"},
        {160, L"One or more arguments are not correct.\r\n"},
        {161, L"The specified path is invalid.\r\n"},
        {170, L"The requested resource is in use.\r\n"},
        {183, L"Cannot create a file when that file already exists.\r\n"},
        {193, L"%1 is not a valid Win32 application.\r\n"},
        {203, L"The system could not find the environment option that was entered.\r\n"},
        {206, L"The filename or extension is too long.\r\n"},
        {234, L"More data is available.\r\n"},
        {258, L"The wait operation timed out.\r\n"},
        {259, L"No more data is available.\r\n"},
        {267, L"The directory name is invalid.\r\n"},
        {317,
         L"The system cannot find message text for message number 0x%1 in the message file for "
         L"%2.\r\n"},
        {487, L"Attempt to access invalid address.\r\n"},
        {534, L"Arithmetic result exceeded 32 bits.\r\n"},
        {995,
         L"The I/O operation has been aborted because of either a thread exit or an application "
         L"request.\r\n"},
        {997, L"Overlapped I/O operation is in progress.\r\n"},
        {998, L"Invalid access to memory location.\r\n"},
        {1004, L"Invalid flags.\r\n"},
        {1008, L"An attempt was made to reference a token that does not exist.\r\n"},
        {1009, L"The configuration registry database is corrupt.\r\n"},
        {1010, L"The configuration registry key is invalid.\r\n"},
        {1011, L"The configuration registry key could not be opened.\r\n"},
        {1012, L"The configuration registry key could not be read.\r\n"},
        {1018,
         L"Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
        {1115, L"A system shutdown is in progress.\r\n"},
        {1117, L"The request could not be performed because of an I/O device error.\r\n"},
        {1167, L"The device is not connected.\r\n"},
        {1168, L"Element not found.\r\n"},
        {1223, L"The operation was canceled by the user.\r\n"},
        {1235, L"The request was aborted.\r\n"},
        {1300, L"Not all privileges or groups referenced are assigned to the caller.\r\n"},
        {1313, L"A specified privilege does not exist.\r\n"},
        {1314, L"A required privilege is not held by the client.\r\n"},
        {1359, L"An internal error occurred.\r\n"},
        {1392, L"The file or directory is corrupted and unreadable.\r\n"},
        {1400, L"Invalid window handle.\r\n"},
        {1450, L"Insufficient system resources exist to complete the requested service.\r\n"},
        {1460, L"This operation returned because the timeout period expired.\r\n"},
        {1784, L"The supplied user buffer is not valid for the requested operation.\r\n"},
        {1804, L"The specified datatype is invalid.\r\n"},
        {1812, L"The specified image file did not contain a resource section.\r\n"},
        {1813, L"The specified resource type cannot be found in the image file.\r\n"},
        {1814, L"The specified resource name cannot be found in the image file.\r\n"},
        {1815, L"The specified resource language ID cannot be found in the image file.\r\n"},
    };
    return s_texts;
}

std::map<DWORD, std::optional<std::wstring>> g_messageOverrides;
std::map<void*, std::unique_ptr<BYTE[]>> g_localBlocks;

thread_local DWORD t_dwLastError = 0;

}  // namespace

std::mutex& StateMutex() {
    static std::mutex s_mutex;
    return s_mutex;
}

std::wstring Upper(const std::wstring& str) {
    std::wstring out(str);
    for (auto& ch : out) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
    return out;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return Upper(a) == Upper(b);
}

std::wstring FromNarrow(const char* psz) {
    std::wstring out;
    for (; psz && *psz; ++psz) out += static_cast<wchar_t>(static_cast<unsigned char>(*psz));
    return out;
}

std::string ToUtf8(const std::wstring& str) {
    std::string out;
    for (wchar_t wc : str) {
        auto cp = static_cast<uint32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool CopyToBuffer(const std::wstring& str, LPWSTR pBuffer, size_t nSize) {
    if (!pBuffer || nSize <= str.size()) return false;
    std::memcpy(pBuffer, str.c_str(), (str.size() + 1) * sizeof(WCHAR));
    return true;
}

HANDLE AddHandleLocked(std::shared_ptr<KernelObject> pObject) {
    auto h = reinterpret_cast<HANDLE>(NextHandleValueLocked());
    Handles()[h] = std::move(pObject);
    return h;
}

std::shared_ptr<KernelObject> FindHandleLocked(HANDLE h) {
    auto it = Handles().find(h);
    return it == Handles().end() ? nullptr : it->second;
}

void RemoveHandleLocked(HANDLE h) {
    Handles().erase(h);
}

ULONG_PTR NextHandleValueLocked() {
    g_nNextHandle += 4;
    return g_nNextHandle;
}

std::vector<std::shared_ptr<KernelObject>> TakeHandlesLocked() {
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (auto& entry : Handles()) objects.push_back(std::move(entry.second));
    Handles().clear();
    return objects;
}

void ResetCoreLocked() {
    g_messageOverrides.clear();
}

}  // namespace detail

using namespace detail;

void Reset() {
    std::vector<std::shared_ptr<KernelObject>> handles;
    {
        Lock lock(StateMutex());
        handles = TakeHandlesLocked();
        ResetCoreLocked();
        ResetRegistryLocked();
        ResetFilesLocked();
        ResetSystemLocked();
        ResetSecurityLocked();
        ResetModulesLocked();
        ResetThreadsLocked();
    }
    handles.clear();
    t_dwLastError = 0;
}

void SetSystemMessage(DWORD dwCode, std::optional<std::wstring> text) {
    Lock lock(StateMutex());
    g_messageOverrides[dwCode] = std::move(text);
}

int LocalAllocCount() {
    Lock lock(StateMutex());
    return static_cast<int>(g_localBlocks.size());
}

int OpenHandleCount() {
    Lock lock(StateMutex());
    return static_cast<int>(Handles().size());
}

}  // namespace fakeplat

using namespace fakeplat::detail;

DWORD WINAPI GetLastError(void) {
    return t_dwLastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    t_dwLastError = dwErrCode;
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (uFlags & ~static_cast<UINT>(LMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // movable memory is not needed here
        return nullptr;
    }
    // Always zeroed: a fake should not hand out indeterminate bytes.
    auto block = std::make_unique<BYTE[]>(uBytes ? uBytes : 1);
    void* p = block.get();
    Lock lock(StateMutex());
    g_localBlocks[p] = std::move(block);
    return p;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    std::unique_ptr<BYTE[]> block;
    {
        Lock lock(StateMutex());
        auto it = g_localBlocks.find(hMem);
        if (it == g_localBlocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
        block = std::move(it->second);
        g_localBlocks.erase(it);
    }
    return nullptr;
}

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPWSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)Arguments;
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ||
        (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE))) {
        SetLastError(ERROR_INVALID_PARAMETER);  // only the system table is faked
        return 0;
    }
    if (!lpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WORD wPrimary = PRIMARYLANGID(dwLanguageId);
    if (dwLanguageId != 0 && wPrimary != LANG_NEUTRAL && wPrimary != LANG_ENGLISH) {
        SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
        return 0;
    }
    std::wstring strText;
    {
        Lock lock(StateMutex());
        auto over = g_messageOverrides.find(dwMessageId);
        if (over != g_messageOverrides.end()) {
            if (!over->second) {
                SetLastError(ERROR_MR_MID_NOT_FOUND);
                return 0;
            }
            strText = *over->second;
        } else {
            auto it = BuiltinMessages().find(dwMessageId);
            if (it == BuiltinMessages().end()) {
                SetLastError(ERROR_MR_MID_NOT_FOUND);
                return 0;
            }
            strText = it->second;
        }
    }
    if (!(dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) && strText.find(L'%') != std::wstring::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);  // inserts are not formatted by the fake
        return 0;
    }
    if ((dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) == FORMAT_MESSAGE_MAX_WIDTH_MASK) {
        // Line breaks of the message text become blanks.
        std::wstring strFlat;
        for (size_t i = 0; i < strText.size(); ++i) {
            if (strText[i] == L'\r' && i + 1 < strText.size() && strText[i + 1] == L'\n') {
                strFlat += L' ';
                ++i;
            } else {
                strFlat += strText[i];
            }
        }
        strText = strFlat;
    }
    const auto nLen = static_cast<DWORD>(strText.size());
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        const DWORD nChars = nLen + 1 > nSize ? nLen + 1 : nSize;
        auto* pText = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, nChars * sizeof(WCHAR)));
        if (!pText) return 0;
        std::memcpy(pText, strText.c_str(), (nLen + 1) * sizeof(WCHAR));
        *reinterpret_cast<LPWSTR*>(lpBuffer) = pText;
        return nLen;
    }
    if (!CopyToBuffer(strText, lpBuffer, nSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return nLen;
}

int WINAPI lstrlenW(LPCWSTR lpString) {
    return lpString ? static_cast<int>(std::wcslen(lpString)) : 0;
}

int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
    const std::wstring a = lpString1 ? lpString1 : L"";
    const std::wstring b = lpString2 ? lpString2 : L"";
    return a < b ? -1 : (b < a ? 1 : 0);
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
    const std::wstring a = Upper(lpString1 ? lpString1 : L"");
    const std::wstring b = Upper(lpString2 ? lpString2 : L"");
    return a < b ? -1 : (b < a ? 1 : 0);
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength) {
    if (!lpString1 || iMaxLength <= 0) return lpString1;
    int i = 0;
    for (; lpString2 && i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
    lpString1[i] = L'\0';
    return lpString1;
}

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) return -1;
    long long llProduct = static_cast<long long>(nNumber) * nNumerator;
    long long llDen = nDenominator;
    if (llDen < 0) {
        llProduct = -llProduct;
        llDen = -llDen;
    }
    // Rounds half away from zero, as Windows does.
    const long long llResult =
        llProduct >= 0 ? (llProduct + llDen / 2) / llDen : (llProduct - llDen / 2) / llDen;
    if (llResult > INT_MAX || llResult < INT_MIN) return -1;
    return static_cast<int>(llResult);
}

namespace {

void DecodeUtf8(const unsigned char* p, size_t n, std::wstring& out) {
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        uint32_t cp = 0;
        size_t nMore = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            nMore = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            nMore = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            nMore = 3;
        } else {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        if (nMore && i + nMore >= n) {
            out += static_cast<wchar_t>(0xFFFD);
            break;
        }
        bool bOk = true;
        for (size_t k = 1; k <= nMore; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                bOk = false;
                break;
            }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!bOk) {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += nMore + 1;
    }
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    (void)dwFlags;
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 ||
        (CodePage != CP_ACP && CodePage != CP_OEMCP && CodePage != CP_UTF8)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : size_t(cbMultiByte);
    const auto* p = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::wstring out;
    if (CodePage == CP_UTF8) {
        DecodeUtf8(p, n, out);
    } else {
        for (size_t i = 0; i < n; ++i) out += static_cast<wchar_t>(p[i]);
    }
    if (cchWideChar == 0) return static_cast<int>(out.size());
    if (!lpWideCharStr || out.size() > size_t(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
    return static_cast<int>(out.size());
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar) {
    (void)dwFlags;
    if (!lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0 ||
        (CodePage != CP_ACP && CodePage != CP_OEMCP && CodePage != CP_UTF8) ||
        (CodePage == CP_UTF8 && (lpDefaultChar || lpUsedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n = cchWideChar < 0 ? std::wcslen(lpWideCharStr) + 1 : size_t(cchWideChar);
    const std::wstring in(lpWideCharStr, n);
    std::string out;
    BOOL bUsedDefault = FALSE;
    if (CodePage == CP_UTF8) {
        out = ToUtf8(in);
    } else {
        const char chDefault = lpDefaultChar ? *lpDefaultChar : '?';
        for (wchar_t wc : in) {
            if (static_cast<uint32_t>(wc) <= 0xFF) {
                out += static_cast<char>(static_cast<unsigned char>(wc));
            } else {
                out += chDefault;
                bUsedDefault = TRUE;
            }
        }
    }
    if (lpUsedDefaultChar) *lpUsedDefaultChar = bUsedDefault;
    if (cbMultiByte == 0) return static_cast<int>(out.size());
    if (!lpMultiByteStr || out.size() > size_t(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return static_cast<int>(out.size());
}

namespace {

bool DebugOutputEnabled() {
    const char* psz = std::getenv("TM_DEBUG");
    return psz && *psz;
}

}  // namespace

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
    if (lpOutputString && DebugOutputEnabled()) {
        std::fputs(ToUtf8(lpOutputString).c_str(), stderr);
    }
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
    if (lpOutputString && DebugOutputEnabled()) std::fputs(lpOutputString, stderr);
}
