// Fake system information and clocks: directories, environment, user and
// computer names, memory status, OS version, wall clock and tick count.
#include "FakeInternal.h"

#include <chrono>
#include <cstring>
#include <cwchar>
#include <thread>

using namespace fakeplat::detail;

namespace {

const ULONGLONG kTicksPerMs = 10000;
const ULONGLONG kTicksPerSecond = 10000000;
const long long kDaysFrom1601To1970 = 134774;

std::wstring g_strWindowsDir;
std::wstring g_strSystemDir;
std::vector<std::pair<std::wstring, std::wstring>> g_environment;
std::wstring g_strComputerName;
std::wstring g_strUserName;
DWORD g_dwFailComputerName = 0;
DWORD g_dwFailUserName = 0;
MEMORYSTATUSEX g_memory{};
OSVERSIONINFOEXW g_version{};
bool g_bFailVersionEx = false;
bool g_bFailVersionBasic = false;
bool g_bWow64 = false;
std::optional<ULONGLONG> g_frozenNow;  // FILETIME value
LONG g_lBiasMinutes = 0;
std::optional<ULONGLONG> g_frozenTick;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

unsigned DaysInMonth(unsigned y, unsigned m) {
    static const unsigned s_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
    return s_days[m - 1];
}

ULONGLONG RealNowFileTime() {
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<ULONGLONG>(ns / 100) +
           static_cast<ULONGLONG>(kDaysFrom1601To1970) * 86400 * kTicksPerSecond;
}

ULONGLONG RealTickMs() {
    using namespace std::chrono;
    static const auto s_start = steady_clock::now();
    // Start as after an hour of uptime.
    return 3600000 + static_cast<ULONGLONG>(
                         duration_cast<milliseconds>(steady_clock::now() - s_start).count());
}

ULONGLONG TickMs() {
    Lock lock(StateMutex());
    return g_frozenTick ? *g_frozenTick : RealTickMs();
}

const std::pair<std::wstring, std::wstring>* FindEnvLocked(const std::wstring& strName) {
    for (const auto& entry : g_environment)
        if (EqualNoCase(entry.first, strName)) return &entry;
    return nullptr;
}

void SetEnvLocked(const std::wstring& strName, const std::optional<std::wstring>& value) {
    for (auto it = g_environment.begin(); it != g_environment.end(); ++it) {
        if (EqualNoCase(it->first, strName)) {
            if (value)
                it->second = *value;
            else
                g_environment.erase(it);
            return;
        }
    }
    if (value) g_environment.emplace_back(strName, *value);
}

UINT DirectoryResult(const std::wstring& strDir, LPWSTR lpBuffer, UINT uSize) {
    if (strDir.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    if (!CopyToBuffer(strDir, lpBuffer, uSize)) return static_cast<UINT>(strDir.size() + 1);
    return static_cast<UINT>(strDir.size());
}

}  // namespace

namespace fakeplat {
namespace detail {

ULONGLONG NowFileTimeLocked() {
    return g_frozenNow ? *g_frozenNow : RealNowFileTime();
}

FILETIME ToFileTime(ULONGLONG ull) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ull);
    ft.dwHighDateTime = static_cast<DWORD>(ull >> 32);
    return ft;
}

ULONGLONG FromFileTime(const FILETIME& ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

std::wstring SystemDirectoryLocked() {
    return g_strSystemDir;
}

std::wstring WindowsDirectoryLocked() {
    return g_strWindowsDir;
}

bool Wow64Locked() {
    return g_bWow64;
}

void ResetSystemLocked() {
    g_strWindowsDir = L"C:\\Windows";
    g_strSystemDir = L"C:\\Windows\\system32";
    g_environment = {
        {L"SystemDrive", L"C:"},
        {L"SystemRoot", L"C:\\Windows"},
        {L"windir", L"C:\\Windows"},
        {L"USERNAME", L"user"},
        {L"COMPUTERNAME", L"PANEL01"},
        {L"USERPROFILE", L"C:\\Users\\user"},
        {L"TEMP", L"C:\\Users\\user\\AppData\\Local\\Temp"},
        {L"TMP", L"C:\\Users\\user\\AppData\\Local\\Temp"},
    };
    g_strComputerName = L"PANEL01";
    g_strUserName = L"user";
    g_dwFailComputerName = 0;
    g_dwFailUserName = 0;
    g_memory = MEMORYSTATUSEX{};
    g_memory.dwLength = sizeof(MEMORYSTATUSEX);
    g_memory.dwMemoryLoad = 40;
    g_memory.ullTotalPhys = 4ull << 30;
    g_memory.ullAvailPhys = 2560ull << 20;
    g_memory.ullTotalPageFile = 8ull << 30;
    g_memory.ullAvailPageFile = 6ull << 30;
    g_memory.ullTotalVirtual = 0x7FFE0000ull;
    g_memory.ullAvailVirtual = 0x7A000000ull;
    g_version = MakeOsVersion(6, 2, 9200, VER_PLATFORM_WIN32_NT, L"", VER_SUITE_SINGLEUSERTS,
                              VER_NT_WORKSTATION);
    g_bFailVersionEx = false;
    g_bFailVersionBasic = false;
    g_bWow64 = false;
    g_frozenNow.reset();
    g_lBiasMinutes = 0;
    g_frozenTick.reset();
}

}  // namespace detail

void SetWindowsDirectory(const std::wstring& strPath) {
    Lock lock(StateMutex());
    g_strWindowsDir = strPath;
}

void SetSystemDirectory(const std::wstring& strPath) {
    Lock lock(StateMutex());
    g_strSystemDir = strPath;
}

void SetWow64(bool bWow64) {
    Lock lock(StateMutex());
    g_bWow64 = bWow64;
}

void SetEnvironment(const std::wstring& strName, std::optional<std::wstring> value) {
    Lock lock(StateMutex());
    SetEnvLocked(strName, value);
}

void SetComputerName(const std::wstring& strName) {
    Lock lock(StateMutex());
    g_strComputerName = strName;
}

void FailComputerName(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailComputerName = dwError;
}

void SetUserName(const std::wstring& strName) {
    Lock lock(StateMutex());
    g_strUserName = strName;
}

void FailUserName(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailUserName = dwError;
}

void SetMemoryStatus(const MEMORYSTATUSEX& status) {
    Lock lock(StateMutex());
    g_memory = status;
    g_memory.dwLength = sizeof(MEMORYSTATUSEX);
}

void SetOsVersion(const OSVERSIONINFOEXW& version) {
    Lock lock(StateMutex());
    g_version = version;
}

OSVERSIONINFOEXW MakeOsVersion(DWORD dwMajor, DWORD dwMinor, DWORD dwBuild, DWORD dwPlatformId,
                               const std::wstring& strCsd, WORD wSuiteMask, BYTE bProductType) {
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    v.dwMajorVersion = dwMajor;
    v.dwMinorVersion = dwMinor;
    v.dwBuildNumber = dwBuild;
    v.dwPlatformId = dwPlatformId;
    const size_t n = strCsd.size() < 127 ? strCsd.size() : 127;
    std::memcpy(v.szCSDVersion, strCsd.c_str(), n * sizeof(WCHAR));
    v.wSuiteMask = wSuiteMask;
    v.wProductType = bProductType;
    return v;
}

void FailGetVersionEx(bool bExtended, bool bBasic) {
    Lock lock(StateMutex());
    g_bFailVersionEx = bExtended;
    g_bFailVersionBasic = bBasic;
}

void SetNow(std::optional<SYSTEMTIME> stUtc) {
    std::optional<ULONGLONG> now;
    if (stUtc) {
        FILETIME ft;
        if (SystemTimeToFileTime(&*stUtc, &ft)) now = FromFileTime(ft);
    }
    Lock lock(StateMutex());
    g_frozenNow = now;
}

void SetTimeZoneBias(LONG lBiasMinutes) {
    Lock lock(StateMutex());
    g_lBiasMinutes = lBiasMinutes;
}

void SetTickCount(std::optional<ULONGLONG> ullMilliseconds) {
    Lock lock(StateMutex());
    g_frozenTick = ullMilliseconds;
}

void AdvanceTickCount(ULONGLONG ullMilliseconds) {
    Lock lock(StateMutex());
    g_frozenTick = (g_frozenTick ? *g_frozenTick : RealTickMs()) + ullMilliseconds;
}

}  // namespace fakeplat

// ------------------------------------------------------------ time

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime || lpFileTime->dwHighDateTime >= 0x80000000u) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const ULONGLONG ull = FromFileTime(*lpFileTime);
    const ULONGLONG ullSeconds = ull / kTicksPerSecond;
    const auto llDays = static_cast<long long>(ullSeconds / 86400) - kDaysFrom1601To1970;
    const auto nSecOfDay = static_cast<unsigned>(ullSeconds % 86400);
    long long y;
    unsigned m, d;
    CivilFromDays(llDays, y, m, d);
    lpSystemTime->wYear = static_cast<WORD>(y);
    lpSystemTime->wMonth = static_cast<WORD>(m);
    lpSystemTime->wDay = static_cast<WORD>(d);
    lpSystemTime->wDayOfWeek = static_cast<WORD>(((llDays % 7) + 7 + 4) % 7);  // 1970-01-01: Thu
    lpSystemTime->wHour = static_cast<WORD>(nSecOfDay / 3600);
    lpSystemTime->wMinute = static_cast<WORD>(nSecOfDay / 60 % 60);
    lpSystemTime->wSecond = static_cast<WORD>(nSecOfDay % 60);
    lpSystemTime->wMilliseconds = static_cast<WORD>(ull % kTicksPerSecond / kTicksPerMs);
    return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
    if (!lpSystemTime || !lpFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const SYSTEMTIME& st = *lpSystemTime;
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59 || st.wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const long long llDays = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kDaysFrom1601To1970;
    const ULONGLONG ullSeconds =
        static_cast<ULONGLONG>(llDays) * 86400 + st.wHour * 3600u + st.wMinute * 60u + st.wSecond;
    *lpFileTime = ToFileTime(ullSeconds * kTicksPerSecond + st.wMilliseconds * kTicksPerMs);
    return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
    if (!lpFileTime || !lpLocalFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LONG lBias;
    {
        Lock lock(StateMutex());
        lBias = g_lBiasMinutes;
    }
    const auto llShift =
        static_cast<long long>(lBias) * 60 * static_cast<long long>(kTicksPerSecond);
    *lpLocalFileTime = ToFileTime(FromFileTime(*lpFileTime) - static_cast<ULONGLONG>(llShift));
    return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
    const ULONGLONG a = FromFileTime(*lpFileTime1);
    const ULONGLONG b = FromFileTime(*lpFileTime2);
    return a < b ? -1 : (a > b ? 1 : 0);
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    Lock lock(StateMutex());
    *lpSystemTimeAsFileTime = ToFileTime(NowFileTimeLocked());
}

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    FileTimeToSystemTime(&ft, lpSystemTime);
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    FILETIME ft, ftLocal;
    GetSystemTimeAsFileTime(&ft);
    FileTimeToLocalFileTime(&ft, &ftLocal);
    FileTimeToSystemTime(&ftLocal, lpSystemTime);
}

time_t _time64(time_t* pTime) {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const ULONGLONG ullEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601
    const ULONGLONG ull = FromFileTime(ft);
    const time_t t = ull >= ullEpoch ? static_cast<time_t>((ull - ullEpoch) / kTicksPerSecond) : 0;
    if (pTime) *pTime = t;
    return t;
}

wchar_t* _wctime64(const time_t* pTime) {
    thread_local wchar_t s_szText[26];
    if (!pTime || *pTime < 0) return nullptr;
    const ULONGLONG ullEpoch = 116444736000000000ULL;
    FILETIME ft = ToFileTime(ullEpoch + static_cast<ULONGLONG>(*pTime) * kTicksPerSecond);
    FILETIME ftLocal;
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&ft, &ftLocal) || !FileTimeToSystemTime(&ftLocal, &st))
        return nullptr;
    static const wchar_t* const kDays[] = {L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
    static const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                             L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    std::swprintf(s_szText, 26, L"%ls %ls %02u %02u:%02u:%02u %04u\n", kDays[st.wDayOfWeek % 7],
                  kMonths[(st.wMonth + 11) % 12], static_cast<unsigned>(st.wDay),
                  static_cast<unsigned>(st.wHour), static_cast<unsigned>(st.wMinute),
                  static_cast<unsigned>(st.wSecond), static_cast<unsigned>(st.wYear));
    return s_szText;
}

DWORD WINAPI GetTickCount(void) {
    return static_cast<DWORD>(TickMs());
}

ULONGLONG WINAPI GetTickCount64(void) {
    return TickMs();
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency) {
    lpFrequency->QuadPart = static_cast<LONGLONG>(kTicksPerSecond);
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount) {
    bool bFrozen;
    ULONGLONG ullTick;
    {
        Lock lock(StateMutex());
        bFrozen = g_frozenTick.has_value();
        ullTick = bFrozen ? *g_frozenTick : 0;
    }
    if (bFrozen) {
        lpPerformanceCount->QuadPart = static_cast<LONGLONG>(ullTick * kTicksPerMs);
    } else {
        using namespace std::chrono;
        lpPerformanceCount->QuadPart = static_cast<LONGLONG>(
            duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100);
    }
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
    {
        Lock lock(StateMutex());
        if (g_frozenTick) {
            *g_frozenTick += dwMilliseconds;
            dwMilliseconds = 0;
        }
    }
    if (dwMilliseconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
    else
        std::this_thread::yield();
}

// ------------------------------------------------------------ system information

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    Lock lock(StateMutex());
    return DirectoryResult(g_strWindowsDir, lpBuffer, uSize);
}

UINT WINAPI GetSystemWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    return GetWindowsDirectoryW(lpBuffer, uSize);
}

BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
    if (!Wow64Process) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    if (hProcess != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Lock lock(StateMutex());
    *Wow64Process = g_bWow64 ? TRUE : FALSE;
    return TRUE;
}

UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    Lock lock(StateMutex());
    return DirectoryResult(g_strSystemDir, lpBuffer, uSize);
}

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    if (!lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock(StateMutex());
    const auto* pEntry = FindEnvLocked(lpName);
    if (!pEntry) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    const std::wstring& strValue = pEntry->second;
    if (!CopyToBuffer(strValue, lpBuffer, nSize)) return static_cast<DWORD>(strValue.size() + 1);
    if (strValue.empty()) SetLastError(ERROR_SUCCESS);  // 0 is also the failure value
    return static_cast<DWORD>(strValue.size());
}

BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue) {
    if (!lpName || !*lpName || std::wcschr(lpName + 1, L'=')) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    if (!lpValue && !FindEnvLocked(lpName)) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return FALSE;
    }
    SetEnvLocked(lpName, lpValue ? std::optional<std::wstring>(lpValue) : std::nullopt);
    return TRUE;
}

BOOL WINAPI GetComputerNameW(LPWSTR lpBuffer, LPDWORD nSize) {
    if (!nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    if (g_dwFailComputerName) {
        SetLastError(g_dwFailComputerName);
        return FALSE;
    }
    if (!CopyToBuffer(g_strComputerName, lpBuffer, *nSize)) {
        *nSize = static_cast<DWORD>(g_strComputerName.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    *nSize = static_cast<DWORD>(g_strComputerName.size());
    return TRUE;
}

BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer) {
    if (!pcbBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    if (g_dwFailUserName) {
        SetLastError(g_dwFailUserName);
        return FALSE;
    }
    // In and out: characters including the terminator.
    if (!CopyToBuffer(g_strUserName, lpBuffer, *pcbBuffer)) {
        *pcbBuffer = static_cast<DWORD>(g_strUserName.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *pcbBuffer = static_cast<DWORD>(g_strUserName.size() + 1);
    return TRUE;
}

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
    Lock lock(StateMutex());
    lpBuffer->dwLength = sizeof(MEMORYSTATUS);
    lpBuffer->dwMemoryLoad = g_memory.dwMemoryLoad;
    lpBuffer->dwTotalPhys = static_cast<SIZE_T>(g_memory.ullTotalPhys);
    lpBuffer->dwAvailPhys = static_cast<SIZE_T>(g_memory.ullAvailPhys);
    lpBuffer->dwTotalPageFile = static_cast<SIZE_T>(g_memory.ullTotalPageFile);
    lpBuffer->dwAvailPageFile = static_cast<SIZE_T>(g_memory.ullAvailPageFile);
    lpBuffer->dwTotalVirtual = static_cast<SIZE_T>(g_memory.ullTotalVirtual);
    lpBuffer->dwAvailVirtual = static_cast<SIZE_T>(g_memory.ullAvailVirtual);
}

BOOL WINAPI GlobalMemoryStatusEx(LPMEMORYSTATUSEX lpBuffer) {
    if (!lpBuffer || lpBuffer->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    *lpBuffer = g_memory;
    return TRUE;
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    if (!lpVersionInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD dwSize = lpVersionInformation->dwOSVersionInfoSize;
    const bool bExtended = dwSize == sizeof(OSVERSIONINFOEXW);
    if (!bExtended && dwSize != sizeof(OSVERSIONINFOW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    Lock lock(StateMutex());
    if (bExtended ? g_bFailVersionEx : g_bFailVersionBasic) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    OSVERSIONINFOEXW v = g_version;
    v.dwOSVersionInfoSize = dwSize;
    std::memcpy(lpVersionInformation, &v, dwSize);
    return TRUE;
}
