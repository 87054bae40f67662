#include "report/ReportFile.h"

#include <vector>

#include "framework/AfxHandles.h"
#include "res/resource.h"

namespace {

// The text as 16-bit little-endian code units; wider characters (where
// wchar_t has 32 bits) become surrogate pairs.
std::vector<BYTE> ToUtf16Le(const CString& text) {
    std::vector<BYTE> bytes;
    bytes.reserve(static_cast<size_t>(text.GetLength()) * 2);
    auto put = [&bytes](unsigned nUnit) {
        bytes.push_back(static_cast<BYTE>(nUnit & 0xFF));
        bytes.push_back(static_cast<BYTE>((nUnit >> 8) & 0xFF));
    };
    for (int i = 0; i < text.GetLength(); ++i) {
        const auto ch = static_cast<unsigned long>(text[i]);
        if (ch > 0xFFFF && ch <= 0x10FFFF) {
            put(0xD800 + ((ch - 0x10000) >> 10));
            put(0xDC00 + ((ch - 0x10000) & 0x3FF));
        } else {
            put(static_cast<unsigned>(ch & 0xFFFF));
        }
    }
    return bytes;
}

// Writes all bytes and closes the file; data still held back by the system
// can fail at closing too. FALSE with the reason as the last error.
BOOL WriteAndClose(CHandle& file, const std::vector<BYTE>& bytes) {
    const auto cbTotal = static_cast<DWORD>(bytes.size());
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(file.Get(), bytes.data(), cbTotal, &cbWritten, nullptr);
    if (bOk && cbWritten != cbTotal) {
        bOk = FALSE;
        ::SetLastError(ERROR_DISK_FULL);
    }
    if (bOk) bOk = ::CloseHandle(file.Release());
    if (!bOk) {
        const DWORD dwError = ::GetLastError();
        file.Reset();
        ::SetLastError(dwError);
    }
    return bOk;
}

// Creates or replaces the file with the bytes in one write. A write that
// fails leaves the file as far as it was written. Returns 0 or the failure's
// message id, as SaveReportText.
UINT WriteDirect(const wchar_t* pszPath, const std::vector<BYTE>& bytes) {
    HANDLE hFile = ::CreateFileW(pszPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return IDS_CANNOT_CREATE_FILE;
    CHandle file(hFile);
    return WriteAndClose(file, bytes) ? 0 : IDS_CANNOT_WRITE_FILE;
}

// Writes the bytes to a file the system names unique in the folder; TRUE
// with its name, FALSE (nothing left behind) when that cannot be done. A
// failed write of the data sets rbWriteFailed, with its reason as the last
// error.
BOOL WriteTempBeside(const CString& path, const std::vector<BYTE>& bytes, CString& rTemp,
                     BOOL& rbWriteFailed) {
    rbWriteFailed = FALSE;
    int nSlash = path.GetLength() - 1;
    while (nSlash >= 0 && path[nSlash] != L'\\') --nSlash;
    if (nSlash < 0) return FALSE;
    wchar_t szTemp[MAX_PATH] = {};
    if (!::GetTempFileNameW(path.Left(nSlash + 1), L"rep", 0, szTemp)) return FALSE;
    rTemp = szTemp;
    HANDLE hFile = ::CreateFileW(rTemp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    BOOL bOk = hFile != INVALID_HANDLE_VALUE;
    if (bOk) {
        CHandle file(hFile);
        bOk = WriteAndClose(file, bytes);
        rbWriteFailed = !bOk;
    }
    if (!bOk) {
        const DWORD dwError = ::GetLastError();
        ::DeleteFileW(rTemp);
        ::SetLastError(dwError);
    }
    return bOk;
}

}  // namespace

// The report goes to a file of a unique name in the target's folder first,
// which then takes the target's place: a failed save leaves the file that
// was there as it was, never a cut report that looks whole. The replacement
// keeps the old file's attributes and security. Where no such file can be
// made (a path at the length limit, a folder without room for one) or the
// system cannot replace the target with it, the target is written directly.
UINT SaveReportText(const wchar_t* pszPath, const CString& text) {
    const CString path(pszPath);
    const std::vector<BYTE> bytes = ToUtf16Le(text);
    // A folder of the file's name is never replaced (Wine's ReplaceFileW
    // would move it aside); creating the file there fails with the reason.
    const DWORD dwAttributes = ::GetFileAttributesW(pszPath);
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return WriteDirect(pszPath, bytes);
    CString temp;
    BOOL bWriteFailed = FALSE;
    if (!WriteTempBeside(path, bytes, temp, bWriteFailed)) {
        return bWriteFailed ? IDS_CANNOT_WRITE_FILE : WriteDirect(pszPath, bytes);
    }
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
        if (::MoveFileExW(temp, pszPath, MOVEFILE_WRITE_THROUGH)) return 0;
    } else if (::ReplaceFileW(pszPath, temp, nullptr, 0, nullptr, nullptr)) {
        return 0;
    } else if (::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
               ::GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
        // The old file has gone already; the new one still has its own name.
        if (::MoveFileExW(temp, pszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
    }
    ::DeleteFileW(temp);
    return WriteDirect(pszPath, bytes);
}
