// Head and the sections about the PC and its software: CPU, memory, BIOS,
// Windows and the installed driver modules.
#include <time.h>

#include <cwchar>
#include <vector>

#include "applet/DeviceText.h"
#include "applet/FileVersion.h"
#include "applet/SystemFiles.h"
#include "device/TmIvro.h"
#include "framework/AfxHandles.h"
#include "report/Report.h"

using report::AppendHeader;
using report::AppendLine;
using report::FailureText;
using report::LastErrorText;

namespace {

// Buffer sizes in bytes: a value of any type gets 512; texts get 512 and 255
// where WCHAR is 2 bytes.
const DWORD kValueBytes = 512;
const DWORD kTextBytes = 256 * sizeof(WCHAR);
const DWORD kProductTypeBytes = 127 * sizeof(WCHAR) + 1;

const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const wchar_t kBiosKey[] = L"HARDWARE\\IVRO\\Bios";
const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kProductOptionsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kHotfixKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
const wchar_t kDriverKey[] = L"SOFTWARE\\Tolmek_Zerozureri\\IVRO\\Driver";

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n' || ch == L'\v' || ch == L'\f';
}

CString TrimLeft(const CString& text) {
    int i = 0;
    while (i < text.GetLength() && IsBlank(text[i])) ++i;
    return text.Mid(i);
}

HKEY OpenKey(const wchar_t* pszPath, LONG& rlResult, CRegKeyHandle& rKey) {
    rlResult = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszPath, 0, KEY_QUERY_VALUE, rKey.Receive());
    return rlResult == ERROR_SUCCESS ? rKey.Get() : nullptr;
}

// Reads a value of any type into cbMax bytes and returns it as text; the
// value need not be terminated. Returns the registry's result.
LONG QueryValue(HKEY hKey, const wchar_t* pszName, DWORD cbMax, DWORD& rdwType, DWORD& rcbData,
                CString& rText) {
    std::vector<BYTE> buffer(cbMax + sizeof(wchar_t), 0);
    rdwType = REG_NONE;
    rcbData = cbMax;
    LONG lResult = ::RegQueryValueExW(hKey, pszName, nullptr, &rdwType, buffer.data(), &rcbData);
    if (lResult == ERROR_SUCCESS) {
        const wchar_t* psz = reinterpret_cast<const wchar_t*>(buffer.data());
        size_t nMax = (rcbData < cbMax ? rcbData : cbMax) / sizeof(wchar_t);
        rText = CString(psz, static_cast<int>(wcsnlen(psz, nMax)));
    }
    return lResult;
}

// A string value. A value of another type is a failure of its own, so that
// the line never shows the system's success message as its failure.
LONG QueryString(HKEY hKey, const wchar_t* pszName, CString& rText, DWORD cbMax = kTextBytes) {
    DWORD dwType = 0;
    DWORD cbData = 0;
    LONG lResult = QueryValue(hKey, pszName, cbMax, dwType, cbData, rText);
    if (lResult == ERROR_SUCCESS && dwType != REG_SZ) lResult = ERROR_INVALID_DATATYPE;
    if (lResult != ERROR_SUCCESS) rText.Empty();
    return lResult;
}

CString StringOrFailure(HKEY hKey, const wchar_t* pszName) {
    CString value;
    LONG lResult = QueryString(hKey, pszName, value);
    return lResult == ERROR_SUCCESS ? value : FailureText(static_cast<DWORD>(lResult));
}

CString VersionTextOrFailure(DWORD dwItem) {
    CString text;
    if (!ReadDeviceText(&IvroGetVersionText, dwItem, kTextBytes, text)) return LastErrorText();
    return text;
}

// The local time as the runtime's ctime writes it, without its line feed.
CString CurrentTimeText() {
    auto now = _time64(nullptr);
    const wchar_t* psz = _wctime64(&now);
    CString text(psz ? psz : L"");
    int n = text.GetLength();
    while (n > 0 && text[n - 1] == L'\n') --n;
    return text.Left(n);
}

// The file's path as shown, its facts as read where it really is.
void AppendModule(CString& rReport, const CString& shown, const CString& path) {
    rReport += shown + L"\r\n";
    if (::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
        rReport += L"  " + LastErrorText() + L"\r\n";
        return;
    }
    CFileVersionInfo version;
    if (version.Load(path)) {
        AppendLine(rReport, L"  File version: ", version.Value(L"FileVersion"));
        CString product;
        product.Format(L"%ls %ls", version.Value(L"ProductName").GetString(),
                       version.Value(L"ProductVersion").GetString());
        AppendLine(rReport, L"  Product version: ", product);
    }
    HANDLE hFile = ::CreateFileW(path, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;
    CHandle file(hFile);
    FILETIME ftWrite;
    SYSTEMTIME st;
    if (::GetFileTime(file.Get(), nullptr, nullptr, &ftWrite) &&
        ::FileTimeToSystemTime(&ftWrite, &st)) {
        CString line;
        line.Format(L"  Modified at: %04u-%02u-%02u %02u:%02u:%02u\r\n",
                    static_cast<unsigned>(st.wYear), static_cast<unsigned>(st.wMonth),
                    static_cast<unsigned>(st.wDay), static_cast<unsigned>(st.wHour),
                    static_cast<unsigned>(st.wMinute), static_cast<unsigned>(st.wSecond));
        rReport += line;
    }
    ::SetLastError(ERROR_SUCCESS);
    DWORD dwSize = ::GetFileSize(file.Get(), nullptr);
    if (dwSize != INVALID_FILE_SIZE || ::GetLastError() == ERROR_SUCCESS) {
        CString line;
        line.Format(L"  File size: %lu bytes\r\n", static_cast<unsigned long>(dwSize));
        rReport += line;
    }
}

// "\r\n" + every line of the file, or "Not present" when it does not open.
// The file is 8-bit text; each byte stands for the character of that code.
// Zero bytes (a line saved as UTF-16) are left out: the report box and
// everything after it would end at the first one. A program that keeps the
// file open for writing must not hide it.
void AppendTextFile(CString& rReport, const CString& path) {
    HANDLE hFile =
        ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        rReport += L"Not present";
        return;
    }
    CHandle file(hFile);
    rReport += L"\r\n";
    CString line;
    bool bPending = false;
    BYTE buffer[4096];
    DWORD cbRead = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0) {
        for (DWORD i = 0; i < cbRead; ++i) {
            if (buffer[i] == '\n') {
                int n = line.GetLength();
                if (n > 0 && line[n - 1] == L'\r') line = line.Left(n - 1);
                rReport += line + L"\r\n";
                line.Empty();
                bPending = false;
            } else if (buffer[i] != 0) {
                line += static_cast<wchar_t>(buffer[i]);
                bPending = true;
            }
        }
    }
    if (bPending) rReport += line + L"\r\n";
}

// Edition of an NT system whose version query had no extended fields, from
// the product options in the registry; FALSE when they cannot be read.
BOOL AppendEditionFromRegistry(CString& rText, const OSVERSIONINFOEXW& osvi) {
    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kProductOptionsKey, lResult, key);
    if (!hKey) return FALSE;
    CString type;
    if (QueryString(hKey, L"ProductType", type, kProductTypeBytes) != ERROR_SUCCESS) return FALSE;
    if (::lstrcmpiW(type, L"WINNT") == 0)
        rText += L"Workstation ";
    else if (::lstrcmpiW(type, L"LANMANNT") == 0)
        rText += L"Server ";
    else if (::lstrcmpiW(type, L"SERVERNT") == 0)
        rText += L"Advanced Server ";
    CString version;
    version.Format(L"%d.%d ", static_cast<int>(osvi.dwMajorVersion),
                   static_cast<int>(osvi.dwMinorVersion));
    rText += version;
    return TRUE;
}

void AppendEdition(CString& rText, const OSVERSIONINFOEXW& osvi) {
    const DWORD nMajor = osvi.dwMajorVersion;
    const DWORD nMinor = osvi.dwMinorVersion;
    const WORD wSuite = osvi.wSuiteMask;
    if (osvi.wProductType == VER_NT_WORKSTATION) {
        if (nMajor == 4)
            rText += L"Workstation 4.0 ";
        else if (wSuite & VER_SUITE_PERSONAL)
            rText += L"Home Edition ";
        else
            rText += L"Professional ";
    } else if (osvi.wProductType == VER_NT_DOMAIN_CONTROLLER ||
               osvi.wProductType == VER_NT_SERVER) {
        if (nMajor == 5 && nMinor == 2) {
            if (wSuite & VER_SUITE_DATACENTER)
                rText += L"Datacenter Edition ";
            else if (wSuite & VER_SUITE_ENTERPRISE)
                rText += L"Enterprise Edition ";
            else if (wSuite == VER_SUITE_BLADE)
                rText += L"Web Edition ";
            else
                rText += L"Standard Edition ";
        } else if (nMajor == 5 && nMinor == 0) {
            if (wSuite & VER_SUITE_DATACENTER)
                rText += L"Datacenter Server ";
            else if (wSuite & VER_SUITE_ENTERPRISE)
                rText += L"Advanced Server ";
            else
                rText += L"Server ";
        } else {
            rText += (wSuite & VER_SUITE_ENTERPRISE) ? L"Server 4.0, Enterprise Edition "
                                                     : L"Server 4.0 ";
        }
    }
}

// Whether a system of version 6 or later is a server, from the product
// type; without the extended fields from the product options. FALSE when
// neither can be read.
BOOL IsServerProduct(const OSVERSIONINFOEXW& osvi, BOOL bExtended, BOOL& rbServer) {
    if (bExtended) {
        rbServer = osvi.wProductType != VER_NT_WORKSTATION;
        return TRUE;
    }
    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kProductOptionsKey, lResult, key);
    CString type;
    if (!hKey || QueryString(hKey, L"ProductType", type, kProductTypeBytes) != ERROR_SUCCESS)
        return FALSE;
    rbServer = ::lstrcmpiW(type, L"WINNT") != 0;
    return TRUE;
}

// The product of version 6 or later. Windows 11 and the servers since 2016
// kept version 10.0 and differ by their build numbers.
CString ModernProductName(DWORD nMajor, DWORD nMinor, DWORD nBuild, BOOL bServer) {
    struct CProduct {
        DWORD nMajor, nMinor, nFirstBuild;
        const wchar_t* pszWorkstation;
        const wchar_t* pszServer;
    };
    static const CProduct kProducts[] = {
        {10, 0, 26100, L"11", L"Server 2025"}, {10, 0, 22000, L"11", L"Server 2022"},
        {10, 0, 20348, L"10", L"Server 2022"}, {10, 0, 17763, L"10", L"Server 2019"},
        {10, 0, 0, L"10", L"Server 2016"},     {6, 3, 0, L"8.1", L"Server 2012 R2"},
        {6, 2, 0, L"8", L"Server 2012"},       {6, 1, 0, L"7", L"Server 2008 R2"},
        {6, 0, 0, L"Vista", L"Server 2008"},
    };
    CString name;
    for (const CProduct& product : kProducts) {
        if (product.nMajor == nMajor && product.nMinor == nMinor && nBuild >= product.nFirstBuild) {
            name.Format(L"Microsoft Windows %ls ",
                        bServer ? product.pszServer : product.pszWorkstation);
            return name;
        }
    }
    // A version not known yet: named by its numbers.
    name.Format(L"Microsoft Windows %ls%u.%u ", bServer ? L"Server " : L"",
                static_cast<unsigned>(nMajor), static_cast<unsigned>(nMinor));
    return name;
}

// The edition where the suite mask tells it for certain: the home editions,
// and the servers' Datacenter and (until 2008 R2, the last to have one)
// Enterprise editions. Professional, Ultimate and the rest it does not tell.
void AppendModernEdition(CString& rText, const OSVERSIONINFOEXW& osvi, BOOL bServer) {
    const bool bEnterpriseKnown = osvi.dwMajorVersion == 6 && osvi.dwMinorVersion <= 1;
    if (!bServer) {
        if (osvi.wSuiteMask & VER_SUITE_PERSONAL) rText += L"Home ";
    } else if (osvi.wSuiteMask & VER_SUITE_DATACENTER) {
        rText += L"Datacenter ";
    } else if (bEnterpriseKnown && (osvi.wSuiteMask & VER_SUITE_ENTERPRISE)) {
        rText += L"Enterprise ";
    }
}

CString ServicePackAndBuild(const OSVERSIONINFOEXW& osvi) {
    CString build;
    build.Format(L"%ls (Build %d)", osvi.szCSDVersion,
                 static_cast<int>(osvi.dwBuildNumber & 0xFFFF));
    return build;
}

BOOL GetNtVersionText(CString& rText, const OSVERSIONINFOEXW& osvi, BOOL bExtended) {
    const DWORD nMajor = osvi.dwMajorVersion;
    const DWORD nMinor = osvi.dwMinorVersion;
    if (nMajor > 5) {
        BOOL bServer = FALSE;
        if (!IsServerProduct(osvi, bExtended, bServer)) return FALSE;
        rText += ModernProductName(nMajor, nMinor, osvi.dwBuildNumber & 0xFFFF, bServer);
        if (bExtended) AppendModernEdition(rText, osvi, bServer);
        rText += ServicePackAndBuild(osvi);
        return TRUE;
    }
    if (nMajor == 5 && nMinor == 2)
        rText += L"Microsoft Windows Server 2003, ";
    else if (nMajor == 5 && nMinor == 1)
        rText += L"Microsoft Windows XP ";
    else if (nMajor == 5 && nMinor == 0)
        rText += L"Microsoft Windows 2000 ";
    else if (nMajor <= 4)
        rText += L"Microsoft Windows NT ";

    if (bExtended)
        AppendEdition(rText, osvi);
    else if (!AppendEditionFromRegistry(rText, osvi))
        return FALSE;

    CString build = ServicePackAndBuild(osvi);
    if (nMajor == 4 && ::lstrcmpiW(osvi.szCSDVersion, L"Service Pack 6") == 0) {
        CRegKeyHandle key;
        LONG lResult = 0;
        if (OpenKey(kHotfixKey, lResult, key))
            build.Format(L"Service Pack 6a (Build %d)",
                         static_cast<int>(osvi.dwBuildNumber & 0xFFFF));
    }
    rText += build;
    return TRUE;
}

}  // namespace

void AppendReportHead(CString& rReport, DWORD nDeviceType, CString& rDefaultFileName) {
    wchar_t szUser[257] = {};
    DWORD nUser = _countof(szUser);
    rReport += L"Created by ";
    rReport += ::GetUserNameW(szUser, &nUser) ? CString(szUser) : LastErrorText();

    wchar_t szComputer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD nComputer = _countof(szComputer);
    rReport += L" on ";
    if (::GetComputerNameW(szComputer, &nComputer)) {
        rReport += szComputer;
        rDefaultFileName.Format(L"%ls.txt", szComputer);
    } else {
        rReport += LastErrorText();
        rDefaultFileName.Empty();
    }
    rReport += L" on " + CurrentTimeText() + L"\r\n";

    const wchar_t* pszType = L"(not supported)";
    if (nDeviceType == 4)
        pszType = L"Marlet K2";
    else if (nDeviceType == 5)
        pszType = L"Ferrow K2";
    AppendLine(rReport, L"Device type: ", pszType);
}

void AppendCpuSection(CString& rReport) {
    AppendHeader(rReport, L"CPU");
    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kProcessorKey, lResult, key);
    if (!hKey) {
        rReport += FailureText(static_cast<DWORD>(lResult)) + L"\r\n";
        return;
    }
    CString name;
    lResult = QueryString(hKey, L"ProcessorNameString", name);
    if (lResult == ERROR_FILE_NOT_FOUND)
        name = L"(not available)";
    else if (lResult != ERROR_SUCCESS)
        name = FailureText(static_cast<DWORD>(lResult));
    else
        name = TrimLeft(name);
    AppendLine(rReport, L"CPU name: ", name);
    AppendLine(rReport, L"CPU ID: ", StringOrFailure(hKey, L"Identifier"));
    AppendLine(rReport, L"CPU vendor: ", StringOrFailure(hKey, L"VendorIdentifier"));

    DWORD dwMhz = 0;
    DWORD dwType = 0;
    DWORD cbData = sizeof(dwMhz);
    lResult = ::RegQueryValueExW(hKey, L"~MHz", nullptr, &dwType, reinterpret_cast<BYTE*>(&dwMhz),
                                 &cbData);
    if (lResult == ERROR_SUCCESS && (dwType != REG_DWORD || cbData != sizeof(dwMhz)))
        lResult = ERROR_INVALID_DATATYPE;
    CString speed;
    if (lResult == ERROR_SUCCESS)
        speed.Format(L"%u MHz", static_cast<unsigned>(dwMhz));
    else
        speed = FailureText(static_cast<DWORD>(lResult));
    AppendLine(rReport, L"CPU speed: ", TrimLeft(speed));
}

void AppendMemorySection(CString& rReport) {
    AppendHeader(rReport, L"Memory");
    // The 64-bit figures: a 64-bit process has terabytes of address space, and
    // a 32-bit one on a large machine more than 4 GB of memory.
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof(status);
    if (!::GlobalMemoryStatusEx(&status)) {
        const CString failure = LastErrorText();
        AppendLine(rReport, L"Program memory: ", failure);
        AppendLine(rReport, L"Virtual memory: ", failure);
        return;
    }
    CString value;
    value.Format(L"%llu KB  (free: %llu KB)",
                 static_cast<unsigned long long>(status.ullTotalPhys / 1024),
                 static_cast<unsigned long long>(status.ullAvailPhys / 1024));
    AppendLine(rReport, L"Program memory: ", value);
    value.Format(L"%llu KB  (free: %llu KB)",
                 static_cast<unsigned long long>(status.ullTotalVirtual / 1024),
                 static_cast<unsigned long long>(status.ullAvailVirtual / 1024));
    AppendLine(rReport, L"Virtual memory: ", value);
}

void AppendBiosSection(CString& rReport) {
    AppendHeader(rReport, L"BIOS");
    AppendLine(rReport, L"Tolmek version: ", VersionTextOrFailure(21));
    AppendLine(rReport, L"Date: ", VersionTextOrFailure(23));
    AppendLine(rReport, L"Core version: ", VersionTextOrFailure(22));

    CString value;
    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kBiosKey, lResult, key);
    if (hKey) {
        DWORD dwType = 0;
        DWORD cbData = 0;
        lResult = QueryValue(hKey, L"VersionID", kValueBytes, dwType, cbData, value);
    }
    // A value larger than the buffer reports its size and ERROR_MORE_DATA.
    if (lResult == ERROR_MORE_DATA)
        value = L"Fail";
    else if (lResult != ERROR_SUCCESS)
        value = FailureText(static_cast<DWORD>(lResult));
    AppendLine(rReport, L"BIOS version ID: ", value);
}

BOOL GetWindowsVersionText(CString& rText) {
    rText.Empty();
    OSVERSIONINFOEXW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    BOOL bExtended = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi));
    if (!bExtended) {
        osvi = OSVERSIONINFOEXW();
        osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&osvi))) return FALSE;
    }
    switch (osvi.dwPlatformId) {
        case VER_PLATFORM_WIN32s:
            rText = L"Microsoft Win32s";
            return TRUE;
        case VER_PLATFORM_WIN32_WINDOWS:
            if (osvi.dwMajorVersion != 4) return TRUE;
            if (osvi.dwMinorVersion == 0) {
                rText = L"Microsoft Windows 95 ";
                if (osvi.szCSDVersion[1] == L'C' || osvi.szCSDVersion[1] == L'B') rText += L"OSR2 ";
            } else if (osvi.dwMinorVersion == 10) {
                rText = L"Microsoft Windows 98 ";
                if (osvi.szCSDVersion[1] == L'A') rText += L"SE ";
            } else if (osvi.dwMinorVersion == 90) {
                rText = L"Microsoft Windows Millennium Edition";
            }
            return TRUE;
        case VER_PLATFORM_WIN32_NT:
            if (GetNtVersionText(rText, osvi, bExtended)) return TRUE;
            rText.Empty();
            return FALSE;
        default:
            return FALSE;
    }
}

void AppendWindowsSection(CString& rReport) {
    AppendHeader(rReport, L"Windows");
    CString version;
    if (!GetWindowsVersionText(version)) version = L"Fail";
    AppendLine(rReport, L"Version: ", version);

    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kCurrentVersionKey, lResult, key);
    if (hKey) {
        AppendLine(rReport, L"Product ID: ", StringOrFailure(hKey, L"ProductId"));
        AppendLine(rReport, L"Registered organization: ",
                   StringOrFailure(hKey, L"RegisteredOrganization"));
        AppendLine(rReport, L"Registered owner: ", StringOrFailure(hKey, L"RegisteredOwner"));
        key.Reset();
    } else {
        rReport += FailureText(static_cast<DWORD>(lResult)) + L"\r\n";
    }

    rReport += L"\r\nWERUNTIME.INI: ";
    wchar_t szDrive[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableW(L"SystemDrive", szDrive, _countof(szDrive));
    CString path = (n > 0 && n < _countof(szDrive)) ? CString(szDrive) : CString(L"C:");
    AppendTextFile(rReport, path + L"\\WERUNTIME.INI");
    rReport += L"\r\n";
}

void AppendIvronetSection(CString& rReport) {
    AppendHeader(rReport, L"Ivronet");
    CString version;
    CRegKeyHandle key;
    LONG lResult = 0;
    HKEY hKey = OpenKey(kDriverKey, lResult, key);
    if (!hKey || QueryString(hKey, L"Version", version) != ERROR_SUCCESS) version = L"(none)";
    key.Reset();
    rReport += L"Registered version: " + version + L"\r\n\r\n";
    rReport += L"Modules:\r\n";

    CSystemFolder folder;
    if (!folder.Load()) return;
    for (const CSystemFile& file : g_systemFiles)
        AppendModule(rReport, folder.ShownPath(file), folder.ReadPath(file));
}
