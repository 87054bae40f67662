// A known PC for report tests: fixed clock, names, memory, registry, module
// files and WERUNTIME.INI, plus a sheet that carries the report page.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "AppletTestEnv.h"
#include "report/PageReportDlg.h"

namespace reporttest {

const wchar_t kProcessorKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const wchar_t kBiosKey[] = L"HARDWARE\\IVRO\\Bios";
const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const wchar_t kDriverKey[] = L"SOFTWARE\\Tolmek_Zerozureri\\IVRO\\Driver";
const wchar_t kSystem32[] = L"C:\\Windows\\system32";

// Each line followed by "\r\n".
inline std::wstring Lines(std::initializer_list<const wchar_t*> lines) {
    std::wstring text;
    for (const wchar_t* pszLine : lines) text += std::wstring(pszLine) + L"\r\n";
    return text;
}

inline SYSTEMTIME Utc(WORD wYear, WORD wMonth, WORD wDay, WORD wHour, WORD wMinute, WORD wSecond) {
    return SYSTEMTIME{wYear, wMonth, 0, wDay, wHour, wMinute, wSecond, 0};
}

inline void AddModule(const std::wstring& strName, size_t nBytes, const SYSTEMTIME& stWrite,
                      std::vector<std::pair<std::wstring, std::wstring>> version) {
    const std::wstring strPath = std::wstring(kSystem32) + strName;
    fakeplat::AddFile(strPath, std::vector<BYTE>(nBytes, 0x4D));
    if (!version.empty())
        fakeplat::SetFileVersionInfo(strPath, fakeplat::MakeVersionInfo(0x0407, 1200, version));
    fakeplat::SetFileWriteTime(strPath, stWrite);
}

// User "service" on PANEL01 with Windows XP Professional SP2, one hour east
// of UTC, on Friday, 4 December 2026, 10:08:11 UTC.
inline void SetUpKnownMachine() {
    fakeplat::SetNow(Utc(2026, 12, 4, 10, 8, 11));
    fakeplat::SetTimeZoneBias(-60);
    fakeplat::SetUserName(L"service");
    fakeplat::SetComputerName(L"PANEL01");
    MEMORYSTATUSEX memory = {};
    memory.ullTotalPhys = 2147483648ull;
    memory.ullAvailPhys = 1234567890ull;
    memory.ullTotalVirtual = 2147352576ull;
    memory.ullAvailVirtual = 2000000000ull;
    fakeplat::SetMemoryStatus(memory);

    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString",
                           L"   Intel(R) Atom(TM) CPU E3845 @ 1.91GHz");
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kProcessorKey, L"Identifier",
                           L"x86 Family 6 Model 55 Stepping 8");
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kProcessorKey, L"VendorIdentifier", L"GenuineIntel");
    fakeplat::SetRegDword(HKEY_LOCAL_MACHINE, kProcessorKey, L"~MHz", 1910);
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kBiosKey, L"VersionID", L"T4.12-0042");

    fakeplat::SetOsVersion(fakeplat::MakeOsVersion(5, 1, 2600, VER_PLATFORM_WIN32_NT,
                                                   L"Service Pack 2", 0, VER_NT_WORKSTATION));
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"ProductId",
                           L"76487-OEM-0011903-00102");
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"RegisteredOrganization",
                           L"Tolmek");
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"RegisteredOwner", L"Service");
    fakeplat::SetEnvironment(L"SystemDrive", L"D:");
    fakeplat::AddFile(L"D:\\WERUNTIME.INI", std::string("[Runtime]\r\nVersion=3.1\r\n"));
    fakeplat::AddFile(L"C:\\WERUNTIME.INI", std::string("[Not this one]\r\n"));

    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kDriverKey, L"Version", L"4.2.0");
    AddModule(L"\\TmRoveVodore.cpl", 300, Utc(2026, 11, 20, 8, 30, 0),
              {{L"FileVersion", L"2.01"},
               {L"ProductName", L"Control Center"},
               {L"ProductVersion", L"2.01"}});
    AddModule(L"\\TmIvro.dll", 1024, Utc(2025, 1, 2, 3, 4, 5),
              {{L"FileVersion", L"1.0.3"}, {L"ProductVersion", L"1.0"}});
    AddModule(L"\\Drivers\\TmIvroDrv.sys", 4096, Utc(2024, 6, 30, 23, 59, 59), {});
    AddModule(L"\\TmKvcSvc.exe", 70000, Utc(2023, 2, 3, 4, 5, 6),
              {{L"FileVersion", L"3.4"},
               {L"ProductName", L"KVC Service"},
               {L"ProductVersion", L"3.4.0"}});
}

// Runs a sheet with the report page alone, built after the device type is
// known; fn gets the page's window.
inline void RunReportPage(const std::function<void(HWND)>& fn) {
    CPageReportDlg page;
    CPropertySheet sheet(L"Test");
    sheet.AddPage(&page);
    headless::ScopedModalHandler handler([&](HWND hSheet) {
        fn(headless::ActivePage(hSheet));
        headless::PressCancel(hSheet);
    });
    sheet.DoModal();
}

// Clicks "Bericht anzeigen..." and returns what the view shows; fn, if
// given, drives the view before it is closed with OK.
inline std::wstring ShowReport(HWND hPage, const std::function<void(HWND)>& fn = nullptr) {
    std::wstring text;
    headless::ScopedModalHandler view([&](HWND hView) {
        text = headless::TextOf(GetDlgItem(hView, 1265));
        if (fn) fn(hView);
        headless::PressOk(hView);
    });
    EXPECT_TRUE(headless::Click(GetDlgItem(hPage, 1264)));
    return text;
}

// A Marlet on the known machine.
class ReportTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule().m_nDeviceType = 4;
        SetUpKnownMachine();
    }
};

}  // namespace reporttest
