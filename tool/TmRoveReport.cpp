// TmRoveReport.exe: the applet's system report without any window, for
// scheduled tasks, remote shells and software distribution. Never shows a
// message box and never reads input.
#include <windows.h>

#include <string>
#include <vector>

#include "applet/CplApp.h"
#include "applet/ErrorText.h"
#include "applet/Policies.h"
#include "device/TmIvro.h"
#include "report/Report.h"
#include "report/ReportFile.h"
#include "res/resource.h"
#include "tool/ReportToolArgs.h"

namespace {

const int kExitWritten = 0;
const int kExitNoDevice = 1;
const int kExitBadArguments = 2;
const int kExitNotWritten = 3;

// A console shows the characters as they are; a pipe or file gets UTF-8.
BOOL WriteText(DWORD nStdHandle, const std::wstring& text) {
    HANDLE hOut = ::GetStdHandle(nStdHandle);
    if (hOut == INVALID_HANDLE_VALUE || hOut == nullptr) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD dwMode = 0;
    if (::GetConsoleMode(hOut, &dwMode)) {
        DWORD nWritten = 0;
        return ::WriteConsoleW(hOut, text.data(), static_cast<DWORD>(text.size()), &nWritten,
                               nullptr);
    }
    if (text.empty()) return TRUE;
    const int cb = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::vector<char> bytes(static_cast<size_t>(cb));
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), cb,
                          nullptr, nullptr);
    for (size_t nDone = 0; nDone < bytes.size();) {
        DWORD nWritten = 0;
        if (!::WriteFile(hOut, bytes.data() + nDone, static_cast<DWORD>(bytes.size() - nDone),
                         &nWritten, nullptr))
            return FALSE;
        if (nWritten == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return FALSE;
        }
        nDone += nWritten;
    }
    return TRUE;
}

void WriteError(const std::wstring& text) {
    WriteText(STD_ERROR_HANDLE, L"TmRoveReport: " + text + L"\r\n");
}

// The file's full name, so that a relative one is replaced as safely as one
// chosen in the save dialog.
std::wstring FullPath(const std::wstring& path) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    const DWORD nLength = ::GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (nLength == 0 || nLength >= n) return path;
    full.resize(nLength);
    return full;
}

bool IsMakersDevice(DWORD nDeviceType) {
    return nDeviceType == CCplApp::kDeviceMarlet || nDeviceType == CCplApp::kDeviceFerrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // No system dialog for a drive without medium or a crash either.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);

    CReportToolArgs args;
    std::wstring strError;
    if (!ParseReportToolArgs(argc, argv, args, strError)) {
        WriteError(strError);
        WriteText(STD_ERROR_HANDLE, L"\r\n" + ReportToolUsage());
        return kExitBadArguments;
    }
    if (args.bHelp) {
        WriteText(STD_OUTPUT_HANDLE, ReportToolUsage());
        return kExitWritten;
    }

    // As the applet: the device type first, then the WMI policy around the
    // report, and the Ravla slots only on the Marlet.
    DWORD nDeviceType = 0;
    IvroGetDeviceType(&nDeviceType);
    if (nDeviceType != CCplApp::kDeviceMarlet) args.sections.bRavla = FALSE;
    const BOOL bUseWmi = ReadPolicyValues().bUseWmi;
    if (bUseWmi) IvroSetWmiMode(TRUE);
    CString report;
    CString defaultFileName;
    BuildReport(args.sections, nDeviceType, report, defaultFileName);
    if (bUseWmi) IvroSetWmiMode(FALSE);

    if (args.strOut.empty()) {
        if (!WriteText(STD_OUTPUT_HANDLE, report.Str())) {
            WriteError(std::wstring(L"cannot write to standard output: ") +
                       GetSystemErrorText(::GetLastError()));
            return kExitNotWritten;
        }
    } else {
        const std::wstring path = FullPath(args.strOut);
        if (const UINT nFailure = SaveReportText(path.c_str(), report)) {
            const wchar_t* pszWhat =
                nFailure == IDS_CANNOT_CREATE_FILE ? L"cannot create " : L"cannot write ";
            WriteError(pszWhat + path + L": " + GetSystemErrorText(::GetLastError()));
            return kExitNotWritten;
        }
    }
    if (!IsMakersDevice(nDeviceType)) {
        WriteError(L"no Marlet or Ferrow panel found; the report says what could be read");
        return kExitNoDevice;
    }
    return kExitWritten;
}
