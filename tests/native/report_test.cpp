// The system report, compared as whole texts on known machines and devices.
#include <fstream>
#include <iterator>
#include <set>

#include "ReportTestEnv.h"
#include "report/Report.h"

using reporttest::Lines;

namespace {

using reporttest::ReportTest;

// The whole report of the known Marlet, as saved in tests/data (UTF-8, one
// "\n" a line; trailing blanks belong to the hex dumps).
std::wstring MarletReport() {
    std::ifstream file(TM_SOURCE_DIR "/tests/data/report-marlet.txt", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::wstring text(bytes.size(), L'\0');
    text.resize(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                                          static_cast<int>(bytes.size()), &text[0],
                                                          static_cast<int>(text.size()))));
    std::wstring crlf;
    for (wchar_t ch : text) crlf += ch == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, ch);
    return crlf;
}

// Replaces the lines from the one that starts with pszFrom (searched after
// the previous edit) up to the line pszUntil ("": a blank line), or the
// first line alone.
struct Edit {
    const wchar_t* pszFrom;
    const wchar_t* pszUntil;
    std::wstring strLines;
};

std::wstring Edited(std::wstring text, const std::vector<Edit>& edits) {
    size_t nPos = 0;
    for (const Edit& edit : edits) {
        const size_t nFrom = text.find(L"\r\n" + std::wstring(edit.pszFrom), nPos);
        size_t nEnd = text.find(L"\r\n", nFrom + 2);
        if (edit.pszUntil && nFrom != std::wstring::npos)
            nEnd = text.find(L"\r\n" + std::wstring(edit.pszUntil) + L"\r\n", nEnd);
        if (nFrom == std::wstring::npos || nEnd == std::wstring::npos) {
            ADD_FAILURE() << "no lines to edit at " << testing::PrintToString(edit.pszFrom);
            break;
        }
        text.replace(nFrom + 2, nEnd - nFrom, edit.strLines);
        nPos = nFrom + edit.strLines.size();
    }
    return text;
}

struct ReportCase {
    const char* pszName;
    void (*setUp)(CCplApp& app);
    size_t nDeviceCalls;
    std::vector<Edit> edits;
};

class ReportTextTest : public ReportTest, public testing::WithParamInterface<ReportCase> {};

// The Marlet as the known machine has it, and the same report where values
// fail or are missing: each failure is written in place of its value.
const ReportCase kReportCases[] = {
    // BIOS 3, firmware 4 + 4 + 4 + 2, key configuration 6, factory 11,
    // temperatures 3, switches 2, display 9, keys and LEDs 9, Ravla 4, user 5.
    {"Marlet", [](CCplApp&) {}, 66, {}},
    {"FerrowWithFailures",
     [](CCplApp& app) {
         app.m_nDeviceType = 5;
         fakeplat::FailComputerName(ERROR_ACCESS_DENIED);
         fakeplat::SetTimeZoneBias(0);
         fakeplat::FailRegOpen(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, ERROR_ACCESS_DENIED);
         fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kBiosKey);
         fakeplat::SetOsVersion(
             fakeplat::MakeOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT, L"Service Pack 1"));
         fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kCurrentVersionKey);
         fakeplat::SetEnvironment(L"SystemDrive", std::nullopt);
         // A line saved as UTF-16, and no line end at the end.
         std::string strIni = "[Runtime]\r\n";
         for (char ch : std::string("Mode=2\r\n")) strIni += std::string(1, ch) + '\0';
         fakeplat::AddFile(L"C:\\WERUNTIME.INI", strIni + "Build=7");
         fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kDriverKey);
         fakeplat::SetSystemDirectory(L"");
         for (const char* pszSetting :
              {"device.type=5", "device.wmi_mode=1", "parts.fpga1=yes",
               "version.3=\"FPGA FRW 1.00\"", "firmware.11=131072", "firmware.15=5",
               "firmware.12=9", "keys.config_valid=0", "keys.config_info.2=\"\"", "keys.layer=2",
               "keys.layer_mode=1", "switches.write_protect=1", "leds.count=0",
               "user.logo_value.1=0x105"}) {
             const std::string strSetting = pszSetting;
             const size_t nIs = strSetting.find('=');
             ASSERT_TRUE(
                 TmSimSet(strSetting.substr(0, nIs).c_str(), strSetting.substr(nIs + 1).c_str()));
         }
     },
     54,
     {{L"Created by", L"",
       Lines({L"Created by service on Access is denied. on Fri Dec 04 10:08:11 2026",
              L"Device type: Ferrow K2"})},
      {L"CPU name:", L"", Lines({L"Access is denied."})},
      {L"BIOS version ID:", nullptr,
       Lines({L"BIOS version ID: The system cannot find the file specified."})},
      {L"Boot status:", L"--- Baseboard Firmware ---",
       Lines({L"Boot status: 9 = Unknown", L"", L"--- FPGA1 Firmware ---", L"",
              L"Info: FPGA FRW 1.00", L"Extended info: The request is not supported.",
              L"Size: 131072 bytes", L"Boot status: 5 = Boot OK", L""})},
      {L"Version:", L"",
       Lines({L"Version: Microsoft Windows 7 Service Pack 1 (Build 7601)",
              L"The system cannot find the file specified."})},
      {L"Version=3.1", nullptr, Lines({L"Mode=2", L"Build=7"})},
      {L"Registered version:", L"", Lines({L"Registered version: (none)"})},
      {L"Modules:", L"", Lines({L"Modules:"})},
      {L"State:", nullptr, Lines({L"State: Invalid"})},
      {L"User info:", L"",
       Lines({L"User info: (none)", L"Key layer: 2", L"Key layer mode: 1 = Toggle"})},
      {L"CPU:", nullptr, Lines({L"CPU: 47 \u00B0C (read via WMI)"})},
      {L"Write Protect:", nullptr, Lines({L"Write Protect: On"})},
      {L"Count: 32", L"", Lines({L"Count: 0"})},
      {L"--- Ravla Slot 1 ---", L"--- User Boot Logo ---", L""},
      {L"VGA mode:", nullptr, Lines({L"VGA mode: 105h = 1024x768 pixels (XGA)"})}}},
    {"RegistryValuesMissingOrOfAnotherType",
     [](CCplApp&) {
         using reporttest::kProcessorKey;
         fakeplat::DeleteRegValue(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString");
         fakeplat::FailRegQuery(HKEY_LOCAL_MACHINE, kProcessorKey, L"Identifier",
                                ERROR_ACCESS_DENIED);
         fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, kProcessorKey, L"~MHz", {0x76, 0x07, 0, 0});
         // Larger than the 512 bytes the BIOS value is read into.
         fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, reporttest::kBiosKey, L"VersionID",
                                std::vector<BYTE>(513, 0x41));
         fakeplat::FailGetVersionEx(true, true);
         fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, reporttest::kCurrentVersionKey, L"ProductId",
                                {1, 2, 3, 4});
         fakeplat::RemoveFile(L"D:\\WERUNTIME.INI");
         fakeplat::SetRegDword(HKEY_LOCAL_MACHINE, reporttest::kDriverKey, L"Version", 4);
     },
     66,
     {{L"CPU name:", L"CPU vendor: GenuineIntel",
       Lines({L"CPU name: (not available)", L"CPU ID: Access is denied."})},
      {L"CPU speed:", nullptr, Lines({L"CPU speed: The specified datatype is invalid."})},
      {L"BIOS version ID:", nullptr, Lines({L"BIOS version ID: Fail"})},
      {L"Version:", nullptr, Lines({L"Version: Fail"})},
      {L"Product ID:", nullptr, Lines({L"Product ID: The specified datatype is invalid."})},
      {L"WERUNTIME.INI:", L"--- Ivronet ---", Lines({L"WERUNTIME.INI: Not present", L""})},
      {L"Registered version:", nullptr, Lines({L"Registered version: (none)"})}}},
    // A 32-bit applet on 64-bit Windows reads its own files from the 32-bit
    // system folder (here without the applet) and the driver package from
    // the real one; all are shown under the system folder's name.
    {"ThirtyTwoBitAppletOnSixtyFourBitWindows",
     [](CCplApp&) {
         fakeplat::SetWow64(true);
         fakeplat::AddFile(L"C:\\Windows\\SysWOW64\\TmIvro.dll", std::vector<BYTE>(512, 0));
     },
     66,
     {{L"C:\\Windows\\system32\\TmRoveVodore.cpl", L"C:\\Windows\\system32\\Drivers\\TmIvroDrv.sys",
       Lines({L"C:\\Windows\\system32\\TmRoveVodore.cpl",
              L"  The system cannot find the file specified.", L"C:\\Windows\\system32\\TmIvro.dll",
              L"  Modified at: 2026-12-04 10:08:11", L"  File size: 512 bytes"})}}},
};

TEST_P(ReportTextTest, ReadsEachValueOnceAndWritesFailuresInPlace) {
    GetParam().setUp(*m_pApp);
    std::wstring text;
    reporttest::RunReportPage([&](HWND hPage) { text = reporttest::ShowReport(hPage); });
    EXPECT_EQ(Edited(MarletReport(), GetParam().edits), text);
    const std::vector<std::string> calls = TmSimCallLogLines();
    EXPECT_EQ(GetParam().nDeviceCalls, calls.size());
    EXPECT_EQ(calls.size(), std::set<std::string>(calls.begin(), calls.end()).size());
    for (const std::string& call : calls) EXPECT_EQ(0u, call.rfind("IvroGet", 0)) << call;
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Machines, ReportTextTest, testing::ValuesIn(kReportCases),
                         [](const testing::TestParamInfo<ReportCase>& info) {
                             return std::string(info.param.pszName);
                         });

// No section: the title, the head and the end, without a device call. Any
// other device type is named as not supported; an unreadable user name is
// replaced by its reason.
TEST_F(ReportTest, NoSectionGivesTitleHeadAndEnd) {
    fakeplat::FailUserName(ERROR_NOT_ENOUGH_MEMORY);
    CString report, fileName = L"old.txt";
    BuildReport(CReportSections{}, 7, report, fileName);
    EXPECT_EQ(Lines({L"*** Tolmek Control Center Report ***", L"",
                     L"Created by Not enough memory resources are available to process this "
                     L"command. on PANEL01 on Fri Dec 04 11:08:11 2026",
                     L"Device type: (not supported)", L"", L"*** Report end ***"}),
              report.Str());
    EXPECT_TRUE(TmSimCallLogLines().empty());
    EXPECT_EQ(L"PANEL01.txt", fileName.Str());
    // Without a computer name the save proposes no name.
    fakeplat::FailComputerName(ERROR_ACCESS_DENIED);
    AppendReportHead(report, 4, fileName);
    EXPECT_EQ(L"", fileName.Str());
}

TEST_F(ReportTest, WindowsVersionNamesEveryKnownSystem) {
    struct Case {
        OSVERSIONINFOEXW version;
        const wchar_t* pszText;  // nullptr: the step fails
        // Without the extended fields the edition comes from the product options.
        const wchar_t* pszProductType = nullptr;
    };
    using fakeplat::MakeOsVersion;
    const DWORD kNt = VER_PLATFORM_WIN32_NT;
    const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
    const OSVERSIONINFOEXW k2000 = MakeOsVersion(5, 0, 2195, kNt, L"Service Pack 1");
    const OSVERSIONINFOEXW k2008 = MakeOsVersion(6, 1, 7601, kNt, L"Service Pack 1");
    // 255 bytes hold 126 characters and the terminator.
    const std::wstring strLongest(126, L'X'), strTooLong(127, L'X');
    const Case cases[] = {
        {MakeOsVersion(3, 10, 0, VER_PLATFORM_WIN32s), L"Microsoft Win32s"},
        {MakeOsVersion(4, 0, 950, k9x, L" C"), L"Microsoft Windows 95 OSR2 "},
        {MakeOsVersion(4, 0, 950, k9x, L" A"), L"Microsoft Windows 95 "},
        {MakeOsVersion(4, 10, 2222, k9x, L" A"), L"Microsoft Windows 98 SE "},
        {MakeOsVersion(4, 90, 3000, k9x), L"Microsoft Windows Millennium Edition"},
        {MakeOsVersion(3, 0, 0, k9x), L""},
        {MakeOsVersion(4, 0, 1381, kNt, L"Service Pack 5"),
         L"Microsoft Windows NT Workstation 4.0 Service Pack 5 (Build 1381)"},
        {MakeOsVersion(4, 0, 1381, kNt, L"", VER_SUITE_ENTERPRISE, VER_NT_SERVER),
         L"Microsoft Windows NT Server 4.0, Enterprise Edition  (Build 1381)"},
        {MakeOsVersion(5, 0, 2195, kNt, L"Service Pack 4", VER_SUITE_ENTERPRISE, VER_NT_SERVER),
         L"Microsoft Windows 2000 Advanced Server Service Pack 4 (Build 2195)"},
        {MakeOsVersion(5, 0, 2195, kNt, L"", VER_SUITE_DATACENTER, VER_NT_DOMAIN_CONTROLLER),
         L"Microsoft Windows 2000 Datacenter Server  (Build 2195)"},
        {MakeOsVersion(5, 1, 0x0A280A28, kNt, L"", VER_SUITE_PERSONAL),
         L"Microsoft Windows XP Home Edition  (Build 2600)"},
        {MakeOsVersion(5, 2, 3790, kNt, L"", VER_SUITE_BLADE, VER_NT_SERVER),
         L"Microsoft Windows Server 2003, Web Edition  (Build 3790)"},
        {MakeOsVersion(5, 2, 3790, kNt, L"Service Pack 1", VER_SUITE_BLADE | VER_SUITE_TERMINAL,
                       VER_NT_SERVER),
         L"Microsoft Windows Server 2003, Standard Edition Service Pack 1 (Build 3790)"},
        {MakeOsVersion(5, 2, 3790, kNt, L"", 0, 4),
         L"Microsoft Windows Server 2003,  (Build 3790)"},
        {MakeOsVersion(6, 1, 7601, kNt, L"Service Pack 1", VER_SUITE_SINGLEUSERTS),
         L"Microsoft Windows 7 Service Pack 1 (Build 7601)"},
        {MakeOsVersion(6, 0, 6000, kNt, L"", VER_SUITE_PERSONAL),
         L"Microsoft Windows Vista Home  (Build 6000)"},
        {MakeOsVersion(10, 0, 19045, kNt), L"Microsoft Windows 10  (Build 19045)"},
        {MakeOsVersion(10, 0, 22631, kNt), L"Microsoft Windows 11  (Build 22631)"},
        {MakeOsVersion(6, 4, 9841, kNt), L"Microsoft Windows 6.4  (Build 9841)"},
        {MakeOsVersion(6, 1, 7601, kNt, L"Service Pack 1", VER_SUITE_ENTERPRISE, VER_NT_SERVER),
         L"Microsoft Windows Server 2008 R2 Enterprise Service Pack 1 (Build 7601)"},
        {MakeOsVersion(10, 0, 20348, kNt, L"", VER_SUITE_DATACENTER, VER_NT_DOMAIN_CONTROLLER),
         L"Microsoft Windows Server 2022 Datacenter  (Build 20348)"},
        {MakeOsVersion(10, 0, 17763, kNt, L"", VER_SUITE_ENTERPRISE, VER_NT_SERVER),
         L"Microsoft Windows Server 2019  (Build 17763)"},
        {MakeOsVersion(5, 1, 2600, 3), nullptr},
        {k2000, L"Microsoft Windows 2000 Server 5.0 Service Pack 1 (Build 2195)", L"LanmanNT"},
        {k2000, L"Microsoft Windows 2000 5.0 Service Pack 1 (Build 2195)", L"Appliance"},
        {k2000, L"Microsoft Windows 2000 5.0 Service Pack 1 (Build 2195)", strLongest.c_str()},
        {k2000, nullptr, strTooLong.c_str()},
        {k2008, nullptr, strTooLong.c_str()},
        {k2008, L"Microsoft Windows Server 2008 R2 Service Pack 1 (Build 7601)", L"ServerNT"},
    };
    const wchar_t kOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    for (const Case& c : cases) {
        fakeplat::SetOsVersion(c.version);
        fakeplat::FailGetVersionEx(c.pszProductType != nullptr, false);
        if (c.pszProductType)
            fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", c.pszProductType);
        CString text = L"old";
        EXPECT_EQ(c.pszText != nullptr, GetWindowsVersionText(text) != FALSE);
        EXPECT_EQ(c.pszText ? c.pszText : L"", text.Str()) << c.version.dwMajorVersion;
    }

    // Service Pack 6 is 6a when its hotfix is installed.
    fakeplat::FailGetVersionEx(false, false);
    fakeplat::SetOsVersion(MakeOsVersion(4, 0, 1381, kNt, L"service pack 6"));
    CString text;
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows NT Workstation 4.0 service pack 6 (Build 1381)", text.Str());
    fakeplat::CreateRegKey(HKEY_LOCAL_MACHINE,
                           L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009");
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)", text.Str());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

}  // namespace
