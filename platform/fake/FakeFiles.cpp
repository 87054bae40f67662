// Fake file system: files and directories in memory, file handles, version
// resources. Paths are case-insensitive; "\\" and "/" separate components.
#include "FakeInternal.h"

#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>

using namespace fakeplat::detail;

namespace {

struct FileData {
    std::vector<BYTE> bytes;
    DWORD dwAttributes = FILE_ATTRIBUTE_ARCHIVE;
    FILETIME ftCreation{}, ftLastAccess{}, ftLastWrite{};
    std::optional<fakeplat::VersionInfo> version;
    // Open handles, for the sharing checks.
    int nReaders = 0, nWriters = 0, nDenyRead = 0, nDenyWrite = 0, nDenyDelete = 0;
};

struct FsNode {
    std::wstring strPath;             // full path as created
    std::shared_ptr<FileData> pFile;  // null: directory
};

std::map<std::wstring, FsNode> g_nodes;  // key: upper-case full path
std::wstring g_strCurrentDir;
std::map<std::wstring, DWORD> g_failCreate;
// Upper-case full path -> (largest size a write may reach, error beyond it).
std::map<std::wstring, std::pair<ULONGLONG, DWORD>> g_writeLimits;
// The number GetTempFileNameW tries next; Windows starts from the clock.
UINT g_nNextTempUnique = 0;

const wchar_t kDefaultCurrentDir[] = L"C:\\Users\\user";

bool HasBadChars(const std::wstring& str) {
    for (size_t i = 0; i < str.size(); ++i) {
        const wchar_t ch = str[i];
        if (ch == L'*' || ch == L'?' || ch == L'<' || ch == L'>' || ch == L'|' || ch == L'"' ||
            (ch < 32))
            return true;
        if (ch == L':' && i != 1) return true;
    }
    return false;
}

// Full path ("X:\\a\\b", root "X:\\") of a name, resolved against the fake
// current directory; empty when the name is not a valid path.
std::wstring FullPathLocked(const std::wstring& strIn) {
    std::wstring str(strIn);
    for (auto& ch : str)
        if (ch == L'/') ch = L'\\';
    if (str.empty()) return L"";
    const std::wstring& cwd = g_strCurrentDir;
    std::wstring strDrive;
    std::wstring strRest;
    if (str.size() >= 2 && str[1] == L':') {
        strDrive = str.substr(0, 2);
        strRest = str.substr(2);
        if (strRest.empty() || strRest[0] != L'\\') {
            // Drive-relative: against the current directory on that drive.
            if (EqualNoCase(strDrive, cwd.substr(0, 2)))
                strRest = cwd.substr(2) + L"\\" + strRest;
            else
                strRest = L"\\" + strRest;
        }
    } else if (str[0] == L'\\') {
        if (str.size() > 1 && str[1] == L'\\') return L"";  // UNC names are not supported
        strDrive = cwd.substr(0, 2);
        strRest = str;
    } else {
        strDrive = cwd.substr(0, 2);
        strRest = cwd.substr(2) + L"\\" + str;
    }
    if (HasBadChars(strRest)) return L"";
    std::vector<std::wstring> parts;
    std::wstring cur;
    auto flush = [&]() {
        if (cur == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (cur != L"." && !cur.empty()) {
            // Windows drops trailing dots and blanks of a component.
            while (!cur.empty() && (cur.back() == L'.' || cur.back() == L' ')) cur.pop_back();
            if (!cur.empty()) parts.push_back(cur);
        }
        cur.clear();
    };
    for (wchar_t ch : strRest) {
        if (ch == L'\\')
            flush();
        else
            cur += ch;
    }
    flush();
    std::wstring out = strDrive;
    out[0] = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(out[0])));
    if (parts.empty()) return out + L"\\";
    for (const auto& p : parts) out += L"\\" + p;
    return out;
}

std::wstring ParentOf(const std::wstring& strFull) {
    const size_t pos = strFull.rfind(L'\\');
    if (pos == std::wstring::npos || pos <= 2) return strFull.substr(0, 3);
    return strFull.substr(0, pos);
}

bool IsRootPath(const std::wstring& strFull) {
    return strFull.size() == 3;
}

FsNode* FindNodeLocked(const std::wstring& strFull) {
    auto it = g_nodes.find(Upper(strFull));
    return it == g_nodes.end() ? nullptr : &it->second;
}

bool DirExistsLocked(const std::wstring& strFull) {
    const FsNode* pNode = FindNodeLocked(strFull);
    return pNode && !pNode->pFile;
}

void AddDirsLocked(const std::wstring& strFull) {
    std::wstring str = strFull;
    while (true) {
        auto& node = g_nodes[Upper(str)];
        if (node.strPath.empty()) node.strPath = str;
        if (IsRootPath(str)) break;
        str = ParentOf(str);
    }
}

// The error of a missing path: the file or its directory is missing.
DWORD MissingErrorLocked(const std::wstring& strFull) {
    return DirExistsLocked(ParentOf(strFull)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

bool StartsWithDir(const std::wstring& strUpper, const std::wstring& strDirUpper) {
    return strUpper.compare(0, strDirUpper.size(), strDirUpper) == 0 &&
           (strUpper.size() == strDirUpper.size() || strUpper[strDirUpper.size()] == L'\\');
}

// What a 32-bit program on 64-bit Windows reaches under a full path.
std::wstring RedirectedLocked(const std::wstring& strFull) {
    const std::wstring strWindows = WindowsDirectoryLocked();
    if (!Wow64Locked() || strWindows.empty()) return strFull;
    const std::wstring strUpper = Upper(strFull);
    const std::wstring strSystem = Upper(strWindows + L"\\System32");
    const std::wstring strNative = Upper(strWindows + L"\\Sysnative");
    if (StartsWithDir(strUpper, strNative))
        return strWindows + L"\\System32" + strFull.substr(strNative.size());
    if (!StartsWithDir(strUpper, strSystem)) return strFull;
    const std::wstring strRest = strUpper.substr(strSystem.size());
    for (const wchar_t* pszExempt : {L"\\CATROOT", L"\\CATROOT2", L"\\DRIVERSTORE",
                                     L"\\DRIVERS\\ETC", L"\\LOGFILES", L"\\SPOOL"}) {
        if (StartsWithDir(strRest, pszExempt)) return strFull;
    }
    return strWindows + L"\\SysWOW64" + strFull.substr(strSystem.size());
}

// The full path a Win32 file function works on, or empty with the error:
// an invalid name, a path too long without the "\\?\\" prefix.
std::wstring ApiPathLocked(LPCWSTR lpName, DWORD& rdwError) {
    const std::wstring strFull = FullPathLocked(lpName ? lpName : L"");
    if (strFull.empty()) {
        rdwError = lpName && *lpName ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND;
        return strFull;
    }
    if (strFull.size() >= MAX_PATH) {
        rdwError = ERROR_PATH_NOT_FOUND;
        return std::wstring();
    }
    return RedirectedLocked(strFull);
}

std::shared_ptr<FileData> NewFileLocked(std::vector<BYTE> bytes, DWORD dwAttributes) {
    auto pFile = std::make_shared<FileData>();
    pFile->bytes = std::move(bytes);
    pFile->dwAttributes = dwAttributes ? dwAttributes : FILE_ATTRIBUTE_NORMAL;
    pFile->ftCreation = pFile->ftLastAccess = pFile->ftLastWrite = ToFileTime(NowFileTimeLocked());
    return pFile;
}

struct FileHandle : KernelObject {
    std::shared_ptr<FileData> pFile;  // null: a directory opened for its attributes
    bool bRead = false, bWrite = false;
    bool bShareRead = false, bShareWrite = false, bShareDelete = false;
    ULONGLONG ullPos = 0;
    std::wstring strKey;  // upper-case full path

    void OnCloseLocked() override {
        if (!pFile) return;
        pFile->nReaders -= bRead;
        pFile->nWriters -= bWrite;
        pFile->nDenyRead -= (bRead || bWrite) && !bShareRead;
        pFile->nDenyWrite -= (bRead || bWrite) && !bShareWrite;
        pFile->nDenyDelete -= (bRead || bWrite) && !bShareDelete;
    }
};

// ---- version resource block: "TMVI", total size, entry count, entries of
// (key chars incl. terminator, value bytes, reported length, key, value),
// each part padded to 4 bytes.

const DWORD kVersionMagic = 0x49564D54;  // "TMVI"

size_t Pad4(size_t n) {
    return (n + 3) & ~size_t(3);
}

void PutDword(std::vector<BYTE>& out, DWORD dw) {
    const size_t pos = out.size();
    out.resize(pos + sizeof(DWORD));
    std::memcpy(out.data() + pos, &dw, sizeof(DWORD));
}

void PutEntry(std::vector<BYTE>& out, const std::wstring& strKey, const void* pValue, size_t cb,
              DWORD dwReportLen) {
    const std::wstring strUpper = Upper(strKey);
    PutDword(out, static_cast<DWORD>(strUpper.size() + 1));
    PutDword(out, static_cast<DWORD>(cb));
    PutDword(out, dwReportLen);
    const size_t pos = out.size();
    out.resize(pos + Pad4((strUpper.size() + 1) * sizeof(WCHAR)));
    std::memcpy(out.data() + pos, strUpper.c_str(), (strUpper.size() + 1) * sizeof(WCHAR));
    const size_t posValue = out.size();
    out.resize(posValue + Pad4(cb));
    if (cb) std::memcpy(out.data() + posValue, pValue, cb);
}

std::vector<BYTE> BuildVersionBlock(const fakeplat::VersionInfo& info) {
    std::vector<BYTE> out;
    PutDword(out, kVersionMagic);
    PutDword(out, 0);  // total size, set below
    PutDword(out, 0);  // entry count, set below
    DWORD nEntries = 0;
    if (info.fixed) {
        PutEntry(out, L"", &*info.fixed, sizeof(VS_FIXEDFILEINFO), sizeof(VS_FIXEDFILEINFO));
        ++nEntries;
    }
    if (!info.translations.empty()) {
        std::vector<DWORD> pairs;
        for (const auto& t : info.translations)
            pairs.push_back(static_cast<DWORD>(MAKELONG(t.first, t.second)));
        PutEntry(out, L"VarFileInfo\\Translation", pairs.data(), pairs.size() * sizeof(DWORD),
                 static_cast<DWORD>(pairs.size() * sizeof(DWORD)));
        ++nEntries;
    }
    for (const auto& table : info.tables) {
        for (const auto& value : table.values) {
            const std::wstring strKey = L"StringFileInfo\\" + table.strBlock + L"\\" + value.first;
            // Length in characters with terminator; 0 for an empty text.
            const auto nLen =
                static_cast<DWORD>(value.second.empty() ? 0 : value.second.size() + 1);
            PutEntry(out, strKey, value.second.c_str(), (value.second.size() + 1) * sizeof(WCHAR),
                     nLen);
            ++nEntries;
        }
    }
    const auto nTotal = static_cast<DWORD>(out.size());
    std::memcpy(out.data() + 4, &nTotal, sizeof(DWORD));
    std::memcpy(out.data() + 8, &nEntries, sizeof(DWORD));
    return out;
}

DWORD GetDword(const BYTE* p) {
    DWORD dw;
    std::memcpy(&dw, p, sizeof(DWORD));
    return dw;
}

std::shared_ptr<FileData> FindFileLocked(LPCWSTR lpFileName, DWORD& dwError) {
    const std::wstring strFull = ApiPathLocked(lpFileName, dwError);
    if (strFull.empty()) return nullptr;
    const FsNode* pNode = FindNodeLocked(strFull);
    if (!pNode) {
        dwError = MissingErrorLocked(strFull);
        return nullptr;
    }
    if (!pNode->pFile) {
        dwError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return pNode->pFile;
}

}  // namespace

namespace fakeplat {
namespace detail {

void ResetFilesLocked() {
    g_nodes.clear();
    g_failCreate.clear();
    g_writeLimits.clear();
    g_nNextTempUnique = 0x3A7C;
    g_strCurrentDir = kDefaultCurrentDir;
    AddDirsLocked(L"C:\\Windows\\system32");
    AddDirsLocked(L"C:\\Windows\\Help");
    AddDirsLocked(kDefaultCurrentDir);
}

}  // namespace detail

void AddFile(const std::wstring& strPath, std::vector<BYTE> bytes, DWORD dwAttributes) {
    Lock lock(StateMutex());
    const std::wstring strFull = FullPathLocked(strPath);
    if (strFull.empty() || IsRootPath(strFull)) return;
    AddDirsLocked(ParentOf(strFull));
    g_nodes[Upper(strFull)] = FsNode{strFull, NewFileLocked(std::move(bytes), dwAttributes)};
}

void AddFile(const std::wstring& strPath, const std::string& strBytes, DWORD dwAttributes) {
    AddFile(strPath, std::vector<BYTE>(strBytes.begin(), strBytes.end()), dwAttributes);
}

void AddDirectory(const std::wstring& strPath) {
    Lock lock(StateMutex());
    const std::wstring strFull = FullPathLocked(strPath);
    if (!strFull.empty()) AddDirsLocked(strFull);
}

void RemoveFile(const std::wstring& strPath) {
    Lock lock(StateMutex());
    const std::wstring strUpper = Upper(FullPathLocked(strPath));
    if (strUpper.empty()) return;
    g_nodes.erase(strUpper);
    // A directory goes with everything below it.
    const std::wstring strPrefix = strUpper.back() == L'\\' ? strUpper : strUpper + L"\\";
    auto it = g_nodes.lower_bound(strPrefix);
    while (it != g_nodes.end() && it->first.compare(0, strPrefix.size(), strPrefix) == 0)
        it = g_nodes.erase(it);
}

std::optional<std::vector<BYTE>> FileContents(const std::wstring& strPath) {
    Lock lock(StateMutex());
    const FsNode* pNode = FindNodeLocked(FullPathLocked(strPath));
    if (!pNode || !pNode->pFile) return std::nullopt;
    return pNode->pFile->bytes;
}

bool SetFileWriteTime(const std::wstring& strPath, const SYSTEMTIME& stUtc) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&stUtc, &ft)) return false;
    Lock lock(StateMutex());
    FsNode* pNode = FindNodeLocked(FullPathLocked(strPath));
    if (!pNode || !pNode->pFile) return false;
    pNode->pFile->ftCreation = pNode->pFile->ftLastAccess = pNode->pFile->ftLastWrite = ft;
    return true;
}

void FailCreateFile(const std::wstring& strPath, DWORD dwError) {
    Lock lock(StateMutex());
    const std::wstring strKey = Upper(FullPathLocked(strPath));
    if (dwError)
        g_failCreate[strKey] = dwError;
    else
        g_failCreate.erase(strKey);
}

void FailWriteFile(const std::wstring& strPath, ULONGLONG ullMaxSize, DWORD dwError) {
    Lock lock(StateMutex());
    const std::wstring strKey = Upper(FullPathLocked(strPath));
    if (dwError)
        g_writeLimits[strKey] = {ullMaxSize, dwError};
    else
        g_writeLimits.erase(strKey);
}

std::vector<std::wstring> FilesIn(const std::wstring& strDir) {
    Lock lock(StateMutex());
    const std::wstring strFull = FullPathLocked(strDir);
    std::vector<std::wstring> names;
    if (strFull.empty()) return names;
    const std::wstring strPrefix = Upper(IsRootPath(strFull) ? strFull : strFull + L"\\");
    for (auto it = g_nodes.lower_bound(strPrefix);
         it != g_nodes.end() && it->first.compare(0, strPrefix.size(), strPrefix) == 0; ++it) {
        if (it->first.find(L'\\', strPrefix.size()) == std::wstring::npos)
            names.push_back(it->second.strPath.substr(strPrefix.size()));
    }
    return names;
}

void SetCurrentDirectory(const std::wstring& strPath) {
    Lock lock(StateMutex());
    const std::wstring strFull = FullPathLocked(strPath);
    if (!strFull.empty()) g_strCurrentDir = strFull;
}

VersionInfo MakeVersionInfo(WORD wLanguage, WORD wCodePage,
                            std::vector<std::pair<std::wstring, std::wstring>> values) {
    VersionInfo info;
    info.translations.emplace_back(wLanguage, wCodePage);
    wchar_t szBlock[16];
    std::swprintf(szBlock, 16, L"%04x%04x", wLanguage, wCodePage);
    info.tables.push_back(VersionStringTable{szBlock, std::move(values)});
    return info;
}

void SetFileVersionInfo(const std::wstring& strPath, const VersionInfo& info) {
    {
        Lock lock(StateMutex());
        FsNode* pNode = FindNodeLocked(FullPathLocked(strPath));
        if (pNode && pNode->pFile) {
            pNode->pFile->version = info;
            return;
        }
    }
    AddFile(strPath, std::vector<BYTE>(64, 0));
    Lock lock(StateMutex());
    FsNode* pNode = FindNodeLocked(FullPathLocked(strPath));
    if (pNode && pNode->pFile) pNode->pFile->version = info;
}

}  // namespace fakeplat

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(lpFileName, GetFileExInfoStandard, &data))
        return INVALID_FILE_ATTRIBUTES;
    return data.dwFileAttributes;
}

BOOL WINAPI GetFileAttributesExW(LPCWSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId,
                                 LPVOID lpFileInformation) {
    if (!lpFileName || fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    const std::wstring strFull = ApiPathLocked(lpFileName, dwError);
    if (strFull.empty()) {
        SetLastError(dwError);
        return FALSE;
    }
    const FsNode* pNode = FindNodeLocked(strFull);
    if (!pNode) {
        SetLastError(MissingErrorLocked(strFull));
        return FALSE;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (pNode->pFile) {
        const FileData& file = *pNode->pFile;
        data.dwFileAttributes = file.dwAttributes;
        data.ftCreationTime = file.ftCreation;
        data.ftLastAccessTime = file.ftLastAccess;
        data.ftLastWriteTime = file.ftLastWrite;
        data.nFileSizeHigh = static_cast<DWORD>(file.bytes.size() >> 32);
        data.nFileSizeLow = static_cast<DWORD>(file.bytes.size());
    } else {
        data.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    }
    std::memcpy(lpFileInformation, &data, sizeof(data));
    return TRUE;
}

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (!lpFileName || dwCreationDisposition < CREATE_NEW ||
        dwCreationDisposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    Lock lock(StateMutex());
    DWORD dwPathError = ERROR_SUCCESS;
    const std::wstring strFull = ApiPathLocked(lpFileName, dwPathError);
    if (strFull.empty()) {
        SetLastError(dwPathError);
        return INVALID_HANDLE_VALUE;
    }
    auto fail = g_failCreate.find(Upper(strFull));
    if (fail != g_failCreate.end()) {
        SetLastError(fail->second);
        return INVALID_HANDLE_VALUE;
    }
    auto pHandle = std::make_shared<FileHandle>();
    pHandle->strKey = Upper(strFull);
    pHandle->bRead = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0;
    pHandle->bWrite =
        (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    pHandle->bShareRead = (dwShareMode & FILE_SHARE_READ) != 0;
    pHandle->bShareWrite = (dwShareMode & FILE_SHARE_WRITE) != 0;
    pHandle->bShareDelete = (dwShareMode & FILE_SHARE_DELETE) != 0;

    FsNode* pNode = FindNodeLocked(strFull);
    DWORD dwResultError = ERROR_SUCCESS;
    if (pNode && !pNode->pFile) {
        // A directory: only for its attributes and times.
        if (!(dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || pHandle->bWrite ||
            dwCreationDisposition != OPEN_EXISTING) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        SetLastError(ERROR_SUCCESS);
        return AddHandleLocked(pHandle);
    }
    if (pNode) {
        FileData& file = *pNode->pFile;
        if (dwCreationDisposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        const bool bTruncate =
            dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING;
        if ((file.dwAttributes & FILE_ATTRIBUTE_READONLY) && (pHandle->bWrite || bTruncate)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        const bool bData = pHandle->bRead || pHandle->bWrite;
        if (bData &&
            ((pHandle->bRead && file.nDenyRead) || (pHandle->bWrite && file.nDenyWrite) ||
             (file.nReaders && !pHandle->bShareRead) || (file.nWriters && !pHandle->bShareWrite))) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        if (dwCreationDisposition == TRUNCATE_EXISTING && !pHandle->bWrite) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        if (bTruncate) {
            file.bytes.clear();
            file.ftLastWrite = ToFileTime(NowFileTimeLocked());
        }
        if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
            dwResultError = ERROR_ALREADY_EXISTS;
        pHandle->pFile = pNode->pFile;
    } else {
        if (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING) {
            SetLastError(MissingErrorLocked(strFull));
            return INVALID_HANDLE_VALUE;
        }
        if (!DirExistsLocked(ParentOf(strFull)) || IsRootPath(strFull)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        // New files always carry the archive bit.
        const DWORD dwAttributes =
            (dwFlagsAndAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY)) |
            FILE_ATTRIBUTE_ARCHIVE;
        auto pFile = NewFileLocked({}, dwAttributes);
        g_nodes[Upper(strFull)] = FsNode{strFull, pFile};
        pHandle->pFile = pFile;
    }
    FileData& file = *pHandle->pFile;
    file.nReaders += pHandle->bRead;
    file.nWriters += pHandle->bWrite;
    file.nDenyRead += (pHandle->bRead || pHandle->bWrite) && !pHandle->bShareRead;
    file.nDenyWrite += (pHandle->bRead || pHandle->bWrite) && !pHandle->bShareWrite;
    file.nDenyDelete += (pHandle->bRead || pHandle->bWrite) && !pHandle->bShareDelete;
    SetLastError(dwResultError);
    return AddHandleLocked(pHandle);
}

namespace {

// The file behind a handle; sets the last error and returns null if none.
std::shared_ptr<FileHandle> FileOfLocked(HANDLE hFile) {
    auto pHandle = FindHandleAsLocked<FileHandle>(hFile);
    if (!pHandle) SetLastError(ERROR_INVALID_HANDLE);
    return pHandle;
}

}  // namespace

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (!lpNumberOfBytesRead || lpOverlapped || (!lpBuffer && nNumberOfBytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // only synchronous reads are faked
        return FALSE;
    }
    *lpNumberOfBytesRead = 0;
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    if (!pHandle->pFile || !pHandle->bRead) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const auto& bytes = pHandle->pFile->bytes;
    if (pHandle->ullPos < bytes.size()) {
        const ULONGLONG ullAvail = bytes.size() - pHandle->ullPos;
        const auto n =
            static_cast<DWORD>(ullAvail < nNumberOfBytesToRead ? ullAvail : nNumberOfBytesToRead);
        if (n) std::memcpy(lpBuffer, bytes.data() + pHandle->ullPos, n);
        pHandle->ullPos += n;
        *lpNumberOfBytesRead = n;
    }
    return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (!lpNumberOfBytesWritten || lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpNumberOfBytesWritten = 0;
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    if (!pHandle->pFile || !pHandle->bWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto& bytes = pHandle->pFile->bytes;
    // A full disk takes what fits, then fails.
    DWORD dwError = ERROR_SUCCESS;
    auto limit = g_writeLimits.find(pHandle->strKey);
    for (std::wstring strDir = pHandle->strKey;
         limit == g_writeLimits.end() && !IsRootPath(strDir);) {
        strDir = ParentOf(strDir);
        limit = g_writeLimits.find(strDir);
    }
    if (limit != g_writeLimits.end() &&
        pHandle->ullPos + nNumberOfBytesToWrite > limit->second.first) {
        dwError = limit->second.second;
        nNumberOfBytesToWrite = pHandle->ullPos < limit->second.first
                                    ? static_cast<DWORD>(limit->second.first - pHandle->ullPos)
                                    : 0;
    }
    const ULONGLONG ullEnd = pHandle->ullPos + nNumberOfBytesToWrite;
    if (ullEnd > bytes.size()) bytes.resize(static_cast<size_t>(ullEnd));
    if (nNumberOfBytesToWrite)
        std::memcpy(bytes.data() + pHandle->ullPos, lpBuffer, nNumberOfBytesToWrite);
    pHandle->ullPos = ullEnd;
    pHandle->pFile->ftLastWrite = ToFileTime(NowFileTimeLocked());
    *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    if (!lpFileSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    lpFileSize->QuadPart = pHandle->pFile ? static_cast<LONGLONG>(pHandle->pFile->bytes.size()) : 0;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(hFile, &li)) return INVALID_FILE_SIZE;
    const auto ull = static_cast<ULONGLONG>(li.QuadPart);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(ull >> 32);
    // A size whose low part equals the failure value is told apart by the
    // last error, as on Windows.
    if (static_cast<DWORD>(ull) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(ull);
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove,
                             PLARGE_INTEGER lpNewFilePointer, DWORD dwMoveMethod) {
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    LONGLONG llBase = 0;
    if (dwMoveMethod == FILE_CURRENT)
        llBase = static_cast<LONGLONG>(pHandle->ullPos);
    else if (dwMoveMethod == FILE_END)
        llBase = pHandle->pFile ? static_cast<LONGLONG>(pHandle->pFile->bytes.size()) : 0;
    else if (dwMoveMethod != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONGLONG llNew = llBase + liDistanceToMove.QuadPart;
    if (llNew < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return FALSE;
    }
    pHandle->ullPos = static_cast<ULONGLONG>(llNew);
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = llNew;
    return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
    LARGE_INTEGER liMove, liNew;
    if (lpDistanceToMoveHigh)
        liMove.QuadPart = static_cast<LONGLONG>(
            (static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
            static_cast<DWORD>(lDistanceToMove));
    else
        liMove.QuadPart = lDistanceToMove;
    if (!SetFilePointerEx(hFile, liMove, &liNew, dwMoveMethod)) return INVALID_SET_FILE_POINTER;
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(liNew.QuadPart) >> 32);
    if (static_cast<DWORD>(liNew.QuadPart) == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(liNew.QuadPart);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    if (!pHandle->pFile || !pHandle->bWrite) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    pHandle->pFile->bytes.resize(static_cast<size_t>(pHandle->ullPos));
    pHandle->pFile->ftLastWrite = ToFileTime(NowFileTimeLocked());
    return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    Lock lock(StateMutex());
    return FileOfLocked(hFile) ? TRUE : FALSE;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
    Lock lock(StateMutex());
    auto pHandle = FileOfLocked(hFile);
    if (!pHandle) return FALSE;
    if (!pHandle->pFile) {
        const FILETIME ft{};
        if (lpCreationTime) *lpCreationTime = ft;
        if (lpLastAccessTime) *lpLastAccessTime = ft;
        if (lpLastWriteTime) *lpLastWriteTime = ft;
        return TRUE;
    }
    if (lpCreationTime) *lpCreationTime = pHandle->pFile->ftCreation;
    if (lpLastAccessTime) *lpLastAccessTime = pHandle->pFile->ftLastAccess;
    if (lpLastWriteTime) *lpLastWriteTime = pHandle->pFile->ftLastWrite;
    return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    auto pFile = FindFileLocked(lpFileName, dwError);
    if (!pFile) {
        SetLastError(dwError);
        return FALSE;
    }
    if (pFile->dwAttributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (pFile->nReaders || pFile->nWriters) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    g_nodes.erase(Upper(ApiPathLocked(lpFileName, dwError)));
    return TRUE;
}

// Files only, on the one in-memory volume; the copy flag is not needed.
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    auto pFile = FindFileLocked(lpExistingFileName, dwError);
    if (!pFile) {
        SetLastError(dwError);
        return FALSE;
    }
    if (pFile->nReaders || pFile->nWriters) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    const std::wstring strTarget = ApiPathLocked(lpNewFileName, dwError);
    if (strTarget.empty() || IsRootPath(strTarget)) {
        SetLastError(strTarget.empty() ? dwError : ERROR_INVALID_NAME);
        return FALSE;
    }
    if (!DirExistsLocked(ParentOf(strTarget))) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (const FsNode* pTarget = FindNodeLocked(strTarget)) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (!pTarget->pFile || (pTarget->pFile->dwAttributes & FILE_ATTRIBUTE_READONLY)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (pTarget->pFile->nReaders || pTarget->pFile->nWriters) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return FALSE;
        }
    }
    g_nodes.erase(Upper(ApiPathLocked(lpExistingFileName, dwError)));
    g_nodes[Upper(strTarget)] = FsNode{strTarget, pFile};
    return TRUE;
}

// As on Windows: "<path>\\<first three characters of the prefix><hex>.tmp";
// with uUnique 0 the first free number is taken and the file is created.
UINT WINAPI GetTempFileNameW(LPCWSTR lpPathName, LPCWSTR lpPrefixString, UINT uUnique,
                             LPWSTR lpTempFileName) {
    if (!lpPathName || !lpTempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring strDir(lpPathName);
    if (strDir.size() > MAX_PATH - 14) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    if (strDir.empty() || strDir.back() != L'\\') strDir += L'\\';
    const std::wstring strPrefix = std::wstring(lpPrefixString ? lpPrefixString : L"").substr(0, 3);
    auto nameOf = [&](UINT nUnique) {
        wchar_t szNumber[16];
        std::swprintf(szNumber, 16, L"%X", nUnique & 0xFFFF);
        return strDir + strPrefix + szNumber + L".tmp";
    };
    Lock lock(StateMutex());
    if (uUnique) {
        const std::wstring strName = nameOf(uUnique);
        CopyToBuffer(strName, lpTempFileName, MAX_PATH);
        return uUnique & 0xFFFF;
    }
    DWORD dwError = ERROR_SUCCESS;
    const std::wstring strFullDir = ApiPathLocked(strDir.c_str(), dwError);
    if (strFullDir.empty()) {
        SetLastError(dwError);
        return 0;
    }
    if (!DirExistsLocked(strFullDir)) {
        SetLastError(FindNodeLocked(strFullDir) ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND);
        return 0;
    }
    for (UINT nTries = 0; nTries < 0xFFFF; ++nTries) {
        const UINT nUnique = g_nNextTempUnique;
        g_nNextTempUnique = nUnique % 0xFFFF + 1;
        const std::wstring strName = nameOf(nUnique);
        const std::wstring strFull = ApiPathLocked(strName.c_str(), dwError);
        if (strFull.empty()) {
            SetLastError(dwError);
            return 0;
        }
        if (FindNodeLocked(strFull)) continue;
        g_nodes[Upper(strFull)] = FsNode{strFull, NewFileLocked({}, FILE_ATTRIBUTE_ARCHIVE)};
        CopyToBuffer(strName, lpTempFileName, MAX_PATH);
        return nUnique;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

// The replacement's data under the replaced file's name, which keeps its
// attributes and creation time (and, on Windows, its security). The
// replaced file is opened for reading and deletion, sharing everything.
BOOL WINAPI ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName,
                         LPCWSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                         LPVOID lpReserved) {
    (void)dwReplaceFlags;
    if (lpExclude || lpReserved) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    const std::wstring strReplaced = ApiPathLocked(lpReplacedFileName, dwError);
    auto pReplaced = FindFileLocked(lpReplacedFileName, dwError);
    if (!pReplaced) {
        SetLastError(dwError);
        return FALSE;
    }
    const std::wstring strReplacement = ApiPathLocked(lpReplacementFileName, dwError);
    auto pReplacement = FindFileLocked(lpReplacementFileName, dwError);
    if (!pReplacement) {
        SetLastError(dwError);
        return FALSE;
    }
    if (pReplaced->dwAttributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    for (const auto& pFile : {pReplaced, pReplacement}) {
        if (pFile->nDenyRead || pFile->nDenyDelete) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return FALSE;
        }
    }
    if (lpBackupFileName) {
        const std::wstring strBackup = ApiPathLocked(lpBackupFileName, dwError);
        const FsNode* pBackup = strBackup.empty() ? nullptr : FindNodeLocked(strBackup);
        if (strBackup.empty() || !DirExistsLocked(ParentOf(strBackup)) ||
            (pBackup &&
             (!pBackup->pFile || (pBackup->pFile->dwAttributes & FILE_ATTRIBUTE_READONLY)))) {
            SetLastError(ERROR_UNABLE_TO_REMOVE_REPLACED);
            return FALSE;
        }
        g_nodes[Upper(strBackup)] = FsNode{strBackup, pReplaced};
    }
    pReplacement->dwAttributes = pReplaced->dwAttributes;
    pReplacement->ftCreation = pReplaced->ftCreation;
    const std::wstring strName = FindNodeLocked(strReplaced)->strPath;
    g_nodes.erase(Upper(strReplacement));
    g_nodes[Upper(strReplaced)] = FsNode{strName, pReplacement};
    return TRUE;
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    const std::wstring strFull = ApiPathLocked(lpPathName, dwError);
    if (strFull.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (FindNodeLocked(strFull)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!DirExistsLocked(ParentOf(strFull))) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    g_nodes[Upper(strFull)] = FsNode{strFull, nullptr};
    return TRUE;
}

DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
    Lock lock(StateMutex());
    if (!CopyToBuffer(g_strCurrentDir, lpBuffer, nBufferLength))
        return static_cast<DWORD>(g_strCurrentDir.size() + 1);
    return static_cast<DWORD>(g_strCurrentDir.size());
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName) {
    Lock lock(StateMutex());
    const std::wstring strFull = FullPathLocked(lpPathName ? lpPathName : L"");
    if (strFull.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const FsNode* pNode = FindNodeLocked(strFull);
    if (!pNode) {
        SetLastError(MissingErrorLocked(strFull));
        return FALSE;
    }
    if (pNode->pFile) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    g_strCurrentDir = pNode->strPath;
    return TRUE;
}

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    auto pFile = FindFileLocked(lptstrFilename, dwError);
    if (!pFile) {
        SetLastError(dwError);
        return 0;
    }
    if (!pFile->version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(BuildVersionBlock(*pFile->version).size());
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                LPVOID lpData) {
    (void)dwHandle;
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Lock lock(StateMutex());
    DWORD dwError = ERROR_SUCCESS;
    auto pFile = FindFileLocked(lptstrFilename, dwError);
    if (!pFile) {
        SetLastError(dwError);
        return FALSE;
    }
    if (!pFile->version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    // Like Windows, copies what fits; the caller is expected to pass the size
    // from GetFileVersionInfoSizeW.
    const std::vector<BYTE> block = BuildVersionBlock(*pFile->version);
    std::memcpy(lpData, block.data(), block.size() < dwLen ? block.size() : dwLen);
    return TRUE;
}

BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer) return FALSE;
    const auto* p = static_cast<const BYTE*>(pBlock);
    if (GetDword(p) != kVersionMagic) return FALSE;
    std::wstring strKey(lpSubBlock);
    while (!strKey.empty() && strKey[0] == L'\\') strKey.erase(0, 1);
    while (!strKey.empty() && strKey.back() == L'\\') strKey.pop_back();
    strKey = Upper(strKey);
    const DWORD nTotal = GetDword(p + 4);
    const DWORD nEntries = GetDword(p + 8);
    size_t pos = 12;
    for (DWORD i = 0; i < nEntries && pos + 12 <= nTotal; ++i) {
        const DWORD nKeyChars = GetDword(p + pos);
        const DWORD cbValue = GetDword(p + pos + 4);
        const DWORD nReport = GetDword(p + pos + 8);
        const size_t posKey = pos + 12;
        const size_t posValue = posKey + Pad4(nKeyChars * sizeof(WCHAR));
        std::wstring strEntry(nKeyChars - 1, L'\0');
        std::memcpy(&strEntry[0], p + posKey, (nKeyChars - 1) * sizeof(WCHAR));
        if (strEntry == strKey) {
            *lplpBuffer = const_cast<BYTE*>(p + posValue);
            if (puLen) *puLen = nReport;
            return TRUE;
        }
        pos = posValue + Pad4(cbValue);
    }
    return FALSE;
}
