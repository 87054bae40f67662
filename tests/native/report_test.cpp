// The system report, compared as whole texts on known machines and devices.
#include <algorithm>
#include <set>

#include "ReportTestEnv.h"
#include "report/Report.h"

using reporttest::Lines;

namespace {

class ReportTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        LoadModule().m_nDeviceType = 4;
        reporttest::SetUpKnownMachine();
    }

    static std::wstring ReportOfPage() {
        std::wstring text;
        reporttest::RunReportPage([&](HWND hPage) { text = reporttest::ShowReport(hPage); });
        return text;
    }
};

TEST(HexDump, SixteenThirtyTwoAndTwoHundredFiftySixBytes) {
    BYTE block[256];
    for (int i = 0; i < 256; ++i) block[i] = static_cast<BYTE>(i);
    CString dump = L"old text";

    AppendHexDump(block, 16, dump, FALSE);
    EXPECT_EQ(L"  \r\n0x00: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", dump.Str());

    AppendHexDump(block + 0x20, 16, dump, TRUE);
    EXPECT_EQ(L"  \r\n0x00: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F .!\"#$%&'()*+,-./",
              dump.Str());

    AppendHexDump(block + 0x70, 32, dump, FALSE);
    EXPECT_EQ(
        L"   \r\n0x00: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F"
        L" \r\n0x10: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F",
        dump.Str());

    // Blanks, control characters and bytes from 128 on are dots.
    AppendHexDump(block + 0x70, 32, dump, TRUE);
    EXPECT_EQ(
        L"   \r\n0x00: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F pqrstuvwxyz{|}~."
        L" \r\n0x10: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F ................",
        dump.Str());

    // 256 bytes: sixteen lines; two blanks end every line but the last two.
    AppendHexDump(block, 256, dump, TRUE);
    std::wstring expected =
        L"   "
        L"\r\n0x00: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ................  "
        L"\r\n0x10: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ................  "
        L"\r\n0x20: 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F .!\"#$%&'()*+,-./  "
        L"\r\n0x30: 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F 0123456789:;<=>?  "
        L"\r\n0x40: 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F @ABCDEFGHIJKLMNO  "
        L"\r\n0x50: 50 51 52 53 54 55 56 57 58 59 5A 5B 5C 5D 5E 5F PQRSTUVWXYZ[\\]^_  "
        L"\r\n0x60: 60 61 62 63 64 65 66 67 68 69 6A 6B 6C 6D 6E 6F `abcdefghijklmno  "
        L"\r\n0x70: 70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F pqrstuvwxyz{|}~.  "
        L"\r\n0x80: 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F ................  "
        L"\r\n0x90: 90 91 92 93 94 95 96 97 98 99 9A 9B 9C 9D 9E 9F ................  "
        L"\r\n0xA0: A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ................  "
        L"\r\n0xB0: B0 B1 B2 B3 B4 B5 B6 B7 B8 B9 BA BB BC BD BE BF ................  "
        L"\r\n0xC0: C0 C1 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF ................  "
        L"\r\n0xD0: D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF ................  "
        L"\r\n0xE0: E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF ................ "
        L"\r\n0xF0: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ................";
    EXPECT_EQ(expected, dump.Str());

    // A count that ends inside a line pads the hex part, so the characters
    // stay in their column.
    AppendHexDump(block + 0x41, 3, dump, TRUE);
    EXPECT_EQ(L" \r\n0x00: 41 42 43" + std::wstring(13 * 3, L' ') + L" ABC", dump.Str());
    AppendHexDump(block, 0, dump, TRUE);
    EXPECT_EQ(L"", dump.Str());
}

TEST_F(ReportTest, MarletWithEverySectionOnAKnownMachine) {
    // The head shows local time (UTC + 1 h); module times stay in UTC.
    const std::wstring expected = Lines({
        L"*** Tolmek Control Center Report ***",
        L"",
        L"Created by service on PANEL01 on Fri Dec 04 11:08:11 2026",
        L"Device type: Marlet K2",
        L"",
        L"--- CPU ---",
        L"",
        L"CPU name: Intel(R) Atom(TM) CPU E3845 @ 1.91GHz",
        L"CPU ID: x86 Family 6 Model 55 Stepping 8",
        L"CPU vendor: GenuineIntel",
        L"CPU speed: 1910 MHz",
        L"",
        L"--- Memory ---",
        L"",
        L"Program memory: 2097152 KB  (free: 1205632 KB)",
        L"Virtual memory: 2097024 KB  (free: 1953125 KB)",
        L"",
        L"--- BIOS ---",
        L"",
        L"Tolmek version: T4.12",
        L"Date: 2023-01-12",
        L"Core version: Core 8.0.1",
        L"BIOS version ID: T4.12-0042",
        L"",
        L"--- FPGA Firmware ---",
        L"",
        L"Info: FPGA MRL 1.07",
        L"Extended info: Dev=\"MRL\" Fct=\"F\" Var=\"07\" Use=\"pci\" Built 2023-03-02",
        L"Size: 524288 bytes",
        L"Boot status: 5 = Boot OK",
        L"",
        L"--- Ravla Slot 1 Firmware ---",
        L"",
        L"Info: Ravla CAN 2.01",
        L"Extended info: Dev=\"RCAN\" Fct=\"_\" Var=\"2\" Use=\"pci\"",
        L"Size: 262144 bytes",
        L"Boot status: 5 = Boot OK",
        L"",
        L"--- Ravla Slot 2 Firmware ---",
        L"",
        L"Info: Ravla DIO 1.12",
        L"Extended info: Dev=\"RDIO\" Fct=\"_\" Var=\"1\" Use=\"pci\"",
        L"Size: 262144 bytes",
        L"Boot status: 5 = Boot OK",
        L"",
        L"--- Baseboard Firmware ---",
        L"",
        L"KVC version: KVC 1.9.0",
        L"SMC version: SMC 3.4.1",
        L"",
        L"--- Windows ---",
        L"",
        L"Version: Microsoft Windows XP Professional Service Pack 2 (Build 2600)",
        L"Product ID: 76487-OEM-0011903-00102",
        L"Registered organization: Tolmek",
        L"Registered owner: Service",
        L"",
        L"WERUNTIME.INI: ",
        L"[Runtime]",
        L"Version=3.1",
        L"",
        L"",
        L"--- Ivronet ---",
        L"",
        L"Registered version: 4.2.0",
        L"",
        L"Modules:",
        L"C:\\Windows\\system32\\TmRoveVodore.cpl",
        L"  File version: 2.01",
        L"  Product version: Control Center 2.01",
        L"  Modified at: 2026-11-20 08:30:00",
        L"  File size: 300 bytes",
        L"C:\\Windows\\system32\\TmIvro.dll",
        L"  File version: 1.0.3",
        L"  Product version: ? 1.0",
        L"  Modified at: 2025-01-02 03:04:05",
        L"  File size: 1024 bytes",
        L"C:\\Windows\\system32\\Drivers\\TmIvroDrv.sys",
        L"  Modified at: 2024-06-30 23:59:59",
        L"  File size: 4096 bytes",
        L"C:\\Windows\\system32\\Drivers\\TmBiosDrv.sys",
        L"  The system cannot find the file specified.",
        L"C:\\Windows\\system32\\Drivers\\TmOrlDrv.sys",
        L"  The system cannot find the file specified.",
        L"C:\\Windows\\system32\\Drivers\\TmFlashDrv.sys",
        L"  The system cannot find the file specified.",
        L"C:\\Windows\\system32\\Drivers\\TmXcmosDrv.sys",
        L"  The system cannot find the file specified.",
        L"C:\\Windows\\system32\\TmKvcSvc.exe",
        L"  File version: 3.4",
        L"  Product version: KVC Service 3.4.0",
        L"  Modified at: 2023-02-03 04:05:06",
        L"  File size: 70000 bytes",
        L"",
        L"--- Key Configuration ---",
        L"",
        L"State: Valid",
        L"Version: KCF 2.10",
        L"Build date: 2023-05-17",
        L"User info: Standard layout",
        L"Key layer: 0",
        L"Key layer mode: 0 = Shift",
        L"",
        L"--- Factory Settings ---",
        L"",
        L"Version: 6",
        L"Device ID: 00001A2Bh",
        L"Compatibility ID: 0012h",
        L"Model number: MRL15T-A",
        L"Brightness (min/def/max): 00h 50h 64h",
        L"Contrast (min/def/max): 00h 32h 64h",
        L"Settings data:    ",
        L"0x00: 54 4D 53 45 54 55 50 00 06 01 50 32 00 01 00 00 TMSETUP...P2....  ",
        L"0x10: 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ................  ",
        L"0x20: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x30: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x40: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x50: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x60: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x70: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x80: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0x90: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0xA0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0xB0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0xC0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0xD0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................  ",
        L"0xE0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................ ",
        L"0xF0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF ................",
        L"",
        L"--- Temperatures ---",
        L"",
        L"CPU: 47 \u00B0C",
        L"I/O: 36 \u00B0C",
        L"",
        L"--- Switches ---",
        L"",
        L"Mode/Node: 12h",
        L"Write Protect: Off",
        L"",
        L"--- Display ---",
        L"",
        L"Type: 21h",
        L"Resolution: 1024x768",
        L"Brightness: 80 % (factory: 100 %, default: 80 %)",
        L"Contrast: 50 % (factory: 50 %, default: 50 %)",
        L"",
        L"--- Keys ---",
        L"",
        L"Count: 36",
        L"Enabled: Yes",
        L"Switches: 00h",
        L"Matrix:   ",
        L"0x00: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        L"",
        L"--- LEDs ---",
        L"",
        L"Count: 32",
        L"Matrix, layer 1:    ",
        L"0x00: 27 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ",
        L"0x10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        L"Matrix, layer 2:    ",
        L"0x00: 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ",
        L"0x10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        L"Matrix, layer 3:    ",
        L"0x00: 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 00 ",
        L"0x10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        L"Matrix, layer 4:    ",
        L"0x00: 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 00 ",
        L"0x10: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
        L"",
        L"--- Ravla Slot 1 ---",
        L"",
        L"Model number: RCAN-0200",
        L"Device ID: RCAN",
        L"",
        L"--- Ravla Slot 2 ---",
        L"",
        L"Model number: RDIO-0112",
        L"Device ID: RDIO",
        L"",
        L"--- User Boot Logo ---",
        L"",
        L"Info: TMLOGO.BMP 640x480",
        L"VGA mode: 101h = 640x480 pixels (VGA)",
        L"Size: 153600 bytes",
        L"",
        L"--- User Settings ---",
        L"",
        L"User serial ID: 00001A2Bh",
        L"User LED: 0",
        L"",
        L"*** Report end ***",
    });
    EXPECT_EQ(expected, ReportOfPage());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
    EXPECT_TRUE(headless::MessageBoxes().empty());
}

TEST_F(ReportTest, FerrowWithFailuresWritesEachInPlaceOfItsValue) {
    m_pApp->m_nDeviceType = 5;
    fakeplat::FailComputerName(ERROR_ACCESS_DENIED);
    fakeplat::SetTimeZoneBias(0);
    fakeplat::DeleteRegValue(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, L"ProcessorNameString");
    fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kBiosKey);
    fakeplat::SetOsVersion(
        fakeplat::MakeOsVersion(6, 1, 7601, VER_PLATFORM_WIN32_NT, L"Service Pack 1"));
    fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kCurrentVersionKey);
    fakeplat::SetEnvironment(L"SystemDrive", std::nullopt);
    fakeplat::AddFile(L"C:\\WERUNTIME.INI", std::string("Build=7"));
    fakeplat::DeleteRegKey(HKEY_LOCAL_MACHINE, reporttest::kDriverKey);
    fakeplat::SetSystemDirectory(L"");

    ASSERT_TRUE(TmSimSet("device.type", "5"));
    ASSERT_TRUE(TmSimSet("device.wmi_mode", "1"));
    ASSERT_TRUE(TmSimSet("parts.fpga1", "yes"));
    ASSERT_TRUE(TmSimSet("version.3", "\"FPGA FRW 1.00\""));
    ASSERT_TRUE(TmSimSet("firmware.11", "131072"));
    ASSERT_TRUE(TmSimSet("firmware.15", "5"));
    ASSERT_TRUE(TmSimSet("firmware.12", "9"));
    ASSERT_TRUE(TmSimSet("keys.config_valid", "0"));
    ASSERT_TRUE(TmSimSet("keys.config_info.2", "\"\""));
    ASSERT_TRUE(TmSimSet("keys.layer", "2"));
    ASSERT_TRUE(TmSimSet("keys.layer_mode", "1"));
    ASSERT_TRUE(TmSimSet("switches.write_protect", "1"));
    ASSERT_TRUE(TmSimSet("leds.count", "0"));
    ASSERT_TRUE(TmSimSet("user.logo_value.1", "0x105"));
    TmSimInjectFault("IvroGetTemperature", ERROR_BUSY, 0, 0);
    TmSimInjectFault("IvroGetKeyCount", ERROR_SEM_TIMEOUT, 0, TMSIM_ANY_ITEM);
    TmSimInjectFault("IvroGetFactoryValue", ERROR_BUSY, 0, 6);
    TmSimInjectFault("IvroGetFactoryValue", ERROR_NOT_SUPPORTED, 0, 17);
    TmSimInjectFault("IvroGetBrightness", ERROR_BUSY, 0, TMSIM_ANY_ITEM);

    const std::wstring expected = Lines({
        L"*** Tolmek Control Center Report ***",
        L"",
        L"Created by service on Access is denied. on Fri Dec 04 10:08:11 2026",
        L"Device type: Ferrow K2",
        L"",
        L"--- CPU ---",
        L"",
        L"CPU name: (not available)",
        L"CPU ID: x86 Family 6 Model 55 Stepping 8",
        L"CPU vendor: GenuineIntel",
        L"CPU speed: 1910 MHz",
        L"",
        L"--- Memory ---",
        L"",
        L"Program memory: 2097152 KB  (free: 1205632 KB)",
        L"Virtual memory: 2097024 KB  (free: 1953125 KB)",
        L"",
        L"--- BIOS ---",
        L"",
        L"Tolmek version: T4.12",
        L"Date: 2023-01-12",
        L"Core version: Core 8.0.1",
        L"BIOS version ID: The system cannot find the file specified.",
        L"",
        L"--- FPGA Firmware ---",
        L"",
        L"Info: FPGA MRL 1.07",
        L"Extended info: Dev=\"MRL\" Fct=\"F\" Var=\"07\" Use=\"pci\" Built 2023-03-02",
        L"Size: 524288 bytes",
        L"Boot status: 9 = Unknown",
        L"",
        L"--- FPGA1 Firmware ---",
        L"",
        L"Info: FPGA FRW 1.00",
        L"Extended info: The request is not supported.",
        L"Size: 131072 bytes",
        L"Boot status: 5 = Boot OK",
        L"",
        L"--- Baseboard Firmware ---",
        L"",
        L"KVC version: KVC 1.9.0",
        L"SMC version: SMC 3.4.1",
        L"",
        L"--- Windows ---",
        L"",
        L"Version: Microsoft Windows 7 Service Pack 1 (Build 7601)",
        L"The system cannot find the file specified.",
        L"",
        L"WERUNTIME.INI: ",
        L"Build=7",
        L"",
        L"",
        L"--- Ivronet ---",
        L"",
        L"Registered version: (none)",
        L"",
        L"Modules:",
        L"",
        L"--- Key Configuration ---",
        L"",
        L"State: Invalid",
        L"Version: KCF 2.10",
        L"Build date: 2023-05-17",
        L"User info: (none)",
        L"Key layer: 2",
        L"Key layer mode: 1 = Toggle",
        L"",
        L"--- Factory Settings ---",
        L"",
        L"Version: 6",
        L"Device ID: 00001A2Bh",
        L"Compatibility ID: 0012h",
        L"Model number: MRL15T-A",
        L"Brightness (min/def/max): The requested resource is in use.",
        L"Contrast (min/def/max): 00h 32h 64h",
        L"Settings data: The request is not supported.",
        L"",
        L"--- Temperatures ---",
        L"",
        L"CPU: The requested resource is in use. (read via WMI)",
        L"I/O: 36 \u00B0C",
        L"",
        L"--- Switches ---",
        L"",
        L"Mode/Node: 12h",
        L"Write Protect: On",
        L"",
        L"--- Display ---",
        L"",
        L"Type: 21h",
        L"Resolution: 1024x768",
        L"Brightness: The requested resource is in use.",
        L"Contrast: 50 % (factory: 50 %, default: 50 %)",
        L"",
        L"--- Keys ---",
        L"",
        L"Count: This operation returned because the timeout period expired.",
        L"",
        L"--- LEDs ---",
        L"",
        L"Count: 0",
        L"",
        L"--- User Boot Logo ---",
        L"",
        L"Info: TMLOGO.BMP 640x480",
        L"VGA mode: 105h = 1024x768 pixels (XGA)",
        L"Size: 153600 bytes",
        L"",
        L"--- User Settings ---",
        L"",
        L"User serial ID: 00001A2Bh",
        L"User LED: 0",
        L"",
        L"*** Report end ***",
    });
    EXPECT_EQ(expected, ReportOfPage());

    // The failed minimum ends its triple; the failed count reads no keys.
    EXPECT_EQ(0u, CallsOf("IvroGetFactoryValue item=7").size());
    EXPECT_TRUE(CallsOf("IvroGetKeyCodesEnabled").empty());
    EXPECT_TRUE(CallsOf("IvroGetFactoryBrightness").empty());
    EXPECT_TRUE(CallsOf("IvroGetRavlaText").empty());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
    EXPECT_EQ(0, fakeplat::OpenHandleCount());
}

TEST_F(ReportTest, NoSectionGivesTitleHeadAndEnd) {
    std::wstring text;
    reporttest::RunReportPage([&](HWND hPage) {
        EXPECT_TRUE(headless::Click(GetDlgItem(hPage, 1263)));
        text = reporttest::ShowReport(hPage);
    });
    EXPECT_EQ(Lines({L"*** Tolmek Control Center Report ***", L"",
                     L"Created by service on PANEL01 on Fri Dec 04 11:08:11 2026",
                     L"Device type: Marlet K2", L"", L"*** Report end ***"}),
              text);
    EXPECT_TRUE(TmSimCallLogLines().empty());

    // Any other device type is named as not supported; an unreadable user
    // name is replaced by its reason.
    fakeplat::FailUserName(ERROR_NOT_ENOUGH_MEMORY);
    CString report, fileName;
    BuildReport(CReportSections{}, 7, report, fileName);
    EXPECT_EQ(Lines({L"*** Tolmek Control Center Report ***", L"",
                     L"Created by Not enough memory resources are available to process this "
                     L"command. on PANEL01 on Fri Dec 04 11:08:11 2026",
                     L"Device type: (not supported)", L"", L"*** Report end ***"}),
              report.Str());
    EXPECT_EQ(L"PANEL01.txt", fileName.Str());
}

TEST_F(ReportTest, FullReportReadsEveryDeviceValueExactlyOnce) {
    ReportOfPage();
    std::vector<std::string> calls = TmSimCallLogLines();
    // BIOS 3, firmware 4 + 4 + 4 + 2, key configuration 6, factory 11,
    // temperatures 3, switches 2, display 9, keys and LEDs 9, Ravla 4, user 5.
    EXPECT_EQ(66u, calls.size());
    std::set<std::string> distinct(calls.begin(), calls.end());
    EXPECT_EQ(calls.size(), distinct.size());
    for (const std::string& call : calls) EXPECT_EQ(0u, call.rfind("IvroGet", 0)) << call;
}

TEST_F(ReportTest, RegistryValuesOfAnotherTypeShowATypeError) {
    const wchar_t kTypeError[] = L"The specified datatype is invalid.";
    fakeplat::SetRegDword(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, L"ProcessorNameString", 7);
    fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, L"~MHz",
                           {0x76, 0x07, 0, 0});
    fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, reporttest::kCurrentVersionKey, L"ProductId",
                           {1, 2, 3, 4});
    fakeplat::SetRegDword(HKEY_LOCAL_MACHINE, reporttest::kDriverKey, L"Version", 4);
    // Larger than the 512 bytes the BIOS value is read into.
    fakeplat::SetRegBinary(HKEY_LOCAL_MACHINE, reporttest::kBiosKey, L"VersionID",
                           std::vector<BYTE>(513, 0x41));
    fakeplat::FailRegQuery(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, L"Identifier",
                           ERROR_ACCESS_DENIED);

    CString report;
    AppendCpuSection(report);
    AppendBiosSection(report);
    AppendWindowsSection(report);
    AppendIvronetSection(report);
    const std::wstring text = report.Str();
    auto has = [&text](const std::wstring& line) {
        return text.find(L"\r\n" + line + L"\r\n") != std::wstring::npos;
    };
    EXPECT_TRUE(has(L"CPU name: " + std::wstring(kTypeError))) << text;
    EXPECT_TRUE(has(L"CPU ID: Access is denied."));
    EXPECT_TRUE(has(L"CPU speed: " + std::wstring(kTypeError)));
    EXPECT_TRUE(has(L"BIOS version ID: Fail"));
    EXPECT_TRUE(has(L"Product ID: " + std::wstring(kTypeError)));
    EXPECT_TRUE(has(L"Registered version: (none)"));
    EXPECT_EQ(std::wstring::npos, text.find(L"The operation completed successfully."));

    // A processor key that does not open ends the section with its reason.
    fakeplat::FailRegOpen(HKEY_LOCAL_MACHINE, reporttest::kProcessorKey, ERROR_ACCESS_DENIED);
    report.Empty();
    AppendCpuSection(report);
    EXPECT_EQ(L"\r\n--- CPU ---\r\n\r\nAccess is denied.\r\n", report.Str());
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

TEST_F(ReportTest, WindowsVersionNamesEveryKnownSystem) {
    struct Case {
        OSVERSIONINFOEXW version;
        const wchar_t* pszText;  // nullptr: the step fails
    };
    using fakeplat::MakeOsVersion;
    const DWORD kNt = VER_PLATFORM_WIN32_NT;
    const DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
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
    };
    for (const Case& c : cases) {
        fakeplat::SetOsVersion(c.version);
        CString text = L"old";
        BOOL bOk = GetWindowsVersionText(text);
        EXPECT_EQ(c.pszText != nullptr, bOk != FALSE) << c.version.dwMajorVersion;
        if (c.pszText) {
            EXPECT_EQ(c.pszText, text.Str());
        }
    }

    // Service Pack 6 is 6a when its hotfix is installed.
    const wchar_t kHotfix[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
    fakeplat::SetOsVersion(MakeOsVersion(4, 0, 1381, kNt, L"service pack 6"));
    CString text;
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows NT Workstation 4.0 service pack 6 (Build 1381)", text.Str());
    fakeplat::CreateRegKey(HKEY_LOCAL_MACHINE, kHotfix);
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)", text.Str());

    // Without the extended fields the edition comes from the product options.
    const wchar_t kOptions[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
    fakeplat::FailGetVersionEx(true, false);
    fakeplat::SetOsVersion(MakeOsVersion(5, 0, 2195, kNt, L"Service Pack 1"));
    EXPECT_FALSE(GetWindowsVersionText(text));
    EXPECT_EQ(L"", text.Str());
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", L"LanmanNT");
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows 2000 Server 5.0 Service Pack 1 (Build 2195)", text.Str());
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", L"Appliance");
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows 2000 5.0 Service Pack 1 (Build 2195)", text.Str());
    // 255 bytes hold 126 characters and the terminator.
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", std::wstring(126, L'X'));
    EXPECT_TRUE(GetWindowsVersionText(text));
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", std::wstring(127, L'X'));
    EXPECT_FALSE(GetWindowsVersionText(text));
    fakeplat::SetOsVersion(MakeOsVersion(6, 1, 7601, kNt, L"Service Pack 1"));
    EXPECT_FALSE(GetWindowsVersionText(text));
    fakeplat::SetRegString(HKEY_LOCAL_MACHINE, kOptions, L"ProductType", L"ServerNT");
    EXPECT_TRUE(GetWindowsVersionText(text));
    EXPECT_EQ(L"Microsoft Windows Server 2008 R2 Service Pack 1 (Build 7601)", text.Str());
    fakeplat::FailGetVersionEx(true, true);
    EXPECT_FALSE(GetWindowsVersionText(text));
    EXPECT_EQ(0, fakeplat::OpenRegKeyCount());
}

TEST_F(ReportTest, WindowsSectionWithoutRuntimeFile) {
    fakeplat::RemoveFile(L"D:\\WERUNTIME.INI");
    fakeplat::SetOsVersion(fakeplat::MakeOsVersion(5, 1, 2600, VER_PLATFORM_WIN32_NT));
    CString report;
    AppendWindowsSection(report);
    EXPECT_EQ(Lines({L"", L"--- Windows ---", L"",
                     L"Version: Microsoft Windows XP Professional  (Build 2600)",
                     L"Product ID: 76487-OEM-0011903-00102", L"Registered organization: Tolmek",
                     L"Registered owner: Service", L"", L"WERUNTIME.INI: Not present"}),
              report.Str());
}

// A line saved as UTF-16, and then a program that keeps the file open for
// writing: the other lines and everything after them still reach the box.
TEST_F(ReportTest, RuntimeFileWithZeroBytesHeldOpenForWriting) {
    std::string bytes = "[Runtime]\r\n";
    for (char ch : std::string("Mode=2\r\n")) bytes += std::string(1, ch) + '\0';
    bytes += "Version=3.1\r\n";
    fakeplat::AddFile(L"D:\\WERUNTIME.INI", bytes);
    const std::wstring strLines = Lines({L"WERUNTIME.INI: ", L"[Runtime]", L"Mode=2",
                                         L"Version=3.1", L"", L"", L"--- Ivronet ---"});
    const std::wstring strEnd = L"\r\n*** Report end ***\r\n";
    std::wstring text = ReportOfPage();
    EXPECT_NE(std::wstring::npos, text.find(strLines));
    ASSERT_GT(text.size(), strEnd.size());
    EXPECT_EQ(strEnd, text.substr(text.size() - strEnd.size()));

    HANDLE hWriter = CreateFileW(L"D:\\WERUNTIME.INI", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hWriter);
    text = ReportOfPage();
    CloseHandle(hWriter);
    EXPECT_NE(std::wstring::npos, text.find(strLines));
}

// A 32-bit applet on 64-bit Windows: the driver package is read from the real
// system folder, the applet's own library from the 32-bit one, and both are
// shown under the system folder's name.
TEST_F(ReportTest, ThirtyTwoBitAppletFindsTheDriversInTheRealSystemFolder) {
    fakeplat::SetWow64(true);
    fakeplat::AddFile(L"C:\\Windows\\SysWOW64\\TmIvro.dll", std::vector<BYTE>(512, 0));
    CString report;
    AppendIvronetSection(report);
    const std::wstring text = report.Str();
    EXPECT_NE(std::wstring::npos,
              text.find(Lines({L"C:\\Windows\\system32\\TmIvro.dll",
                               L"  Modified at: 2026-12-04 10:08:11", L"  File size: 512 bytes"})))
        << text;
    EXPECT_NE(std::wstring::npos,
              text.find(Lines({L"C:\\Windows\\system32\\Drivers\\TmIvroDrv.sys",
                               L"  Modified at: 2024-06-30 23:59:59", L"  File size: 4096 bytes",
                               L"C:\\Windows\\system32\\Drivers\\TmBiosDrv.sys",
                               L"  The system cannot find the file specified."})));
    EXPECT_NE(std::wstring::npos,
              text.find(Lines({L"C:\\Windows\\system32\\TmKvcSvc.exe", L"  File version: 3.4"})));
}

}  // namespace
