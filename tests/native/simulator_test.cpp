// Tests of the TmIvro.dll simulator: profile parsing, the absent device, text
// and buffer rules, fault injection, state changes, reloads, the call log and
// concurrent use.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/TmIvro.h"
#include "simulator/SimProfile.h"
#include "simulator/TmIvroSim.h"

namespace fs = std::filesystem;

namespace {

class SimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        TmSimReset();
        ASSERT_TRUE(TmSimSet("temperature.drift", "0"));
        ASSERT_TRUE(TmSimSet("keys.demo_interval", "0"));
    }
    void TearDown() override { TmSimReset(); }
};

// A call's result and last error, for compact expectations.
struct Outcome {
    BOOL bResult;
    DWORD dwError;
};

template <typename F>
Outcome Call(F&& f) {
    SetLastError(12345);
    BOOL bResult = f();
    return Outcome{bResult, bResult ? 0 : GetLastError()};
}

#define EXPECT_FAILS_WITH(expr, code)                     \
    do {                                                  \
        Outcome outcome = Call([&] { return (expr); });   \
        EXPECT_FALSE(outcome.bResult) << #expr;           \
        EXPECT_EQ(DWORD(code), outcome.dwError) << #expr; \
    } while (0)

std::wstring VersionText(DWORD dwItem) {
    WCHAR sz[128] = {};
    if (!IvroGetVersionText(dwItem, sz, sizeof(sz))) return L"<failed>";
    return sz;
}

int CpuTemperature() {
    BYTE b = 0;
    EXPECT_TRUE(IvroGetTemperature(0, &b, 1));
    return static_cast<signed char>(b);
}

BYTE Brightness() {
    BYTE b = 0xEE;
    EXPECT_TRUE(IvroGetBrightness(&b));
    return b;
}

void WriteTextFile(const fs::path& path, const std::string& strText) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << strText;
}

fs::path TempPath(const char* pszName) {
    return fs::temp_directory_path() / ("tmivro_test_" + std::to_string(getpid()) + "_" + pszName);
}

std::vector<tmsim::ProfileError> ParseErrors(const std::string& strText) {
    tmsim::DeviceState state = tmsim::DefaultState();
    std::vector<tmsim::ProfileEntry> entries;
    std::vector<tmsim::ProfileError> errors;
    tmsim::ParseProfile(strText, "t.profile", state, entries, errors);
    return errors;
}

// The profile example of docs/simulator.md, the block after its marker.
std::string DocumentedFerrowProfile() {
    std::ifstream in(std::string(TM_SOURCE_DIR) + "/docs/simulator.md");
    std::stringstream text;
    text << in.rdbuf();
    std::string strDoc = text.str();
    size_t nMarker = strDoc.find("<!-- ferrow-example -->");
    if (nMarker == std::string::npos) return "";
    size_t nBegin = strDoc.find("```ini\n", nMarker);
    size_t nEnd = strDoc.find("```\n", nBegin + 7);
    if (nBegin == std::string::npos || nEnd == std::string::npos) return "";
    return strDoc.substr(nBegin + 7, nEnd - nBegin - 7);
}

}  // namespace

TEST_F(SimulatorTest, EmbeddedDefaultIsAFullyEquippedMarletWithoutFpga1) {
    std::vector<tmsim::ProfileError> errors = ParseErrors(tmsim::DefaultProfileText());
    ASSERT_TRUE(errors.empty()) << errors[0].Format();
    EXPECT_TRUE(TmSimIsPresent());
    DWORD dwType = 0;
    ASSERT_TRUE(IvroGetDeviceType(&dwType));
    EXPECT_EQ(4u, dwType);
    BYTE bKeys = 0, bLeds = 0;
    EXPECT_TRUE(IvroGetKeyCount(&bKeys));
    EXPECT_TRUE(IvroGetLedCount(&bLeds));
    EXPECT_GT(bKeys, 0);
    EXPECT_GT(bLeds, 0);

    BYTE bStatus = 0;
    WCHAR sz[64];
    EXPECT_TRUE(IvroGetFirmwareValue(12, &bStatus, 1));  // FPGA
    EXPECT_TRUE(IvroGetVersionText(0, sz, sizeof(sz)));
    EXPECT_TRUE(IvroGetRavlaText(2, sz, sizeof(sz)));  // slot 1
    EXPECT_TRUE(IvroGetRavlaText(3, sz, sizeof(sz)));  // slot 2
    EXPECT_FAILS_WITH(IvroGetFirmwareValue(15, &bStatus, 1), 50);
    DWORD dwSize = 0;
    EXPECT_FAILS_WITH(IvroGetFirmwareValue(11, &dwSize, 4), 50);
    EXPECT_FAILS_WITH(IvroGetVersionText(3, sz, sizeof(sz)), 50);
    EXPECT_FAILS_WITH(IvroGetVersionText(7, sz, sizeof(sz)), 50);
    EXPECT_FAILS_WITH(IvroGetRavlaText(23, sz, sizeof(sz)), 50);

    // What the pages read at activation is there.
    EXPECT_NE(L"<failed>", VersionText(21));
    BYTE bUserLed = 0;
    EXPECT_TRUE(IvroGetUserLed(&bUserLed));
    WORD wMode = 0;
    EXPECT_TRUE(IvroGetUserLogoValue(1, &wMode, 2));
    EXPECT_EQ(0x101, wMode);
}

TEST_F(SimulatorTest, GoodProfileSyntax) {
    const char* pszProfile =
        "\xEF\xBB\xBF# comment line\r\n"
        "device.type = 5   # a top-level key with a trailing comment\r\n"
        "[parts]\n"
        "ravla1 = no\n"
        "fpga1 = yes\n"
        "[temperature]\n"
        "cpu = -10\n"
        "io = 0x7F\n"
        "[keys]\n"
        "matrix = 00 01 0203 04,05 06 07 \\\n"
        "         08 09 0a 0B 0c 0D 0e 0F\n"
        "codes_enabled = off\n"
        "[version]\n"
        "3 = \"FPGA1 \\\"x\\\" # not a comment \\u00B0C\"\n"
        "21 = absent\n"
        "[factory]\n"
        "value.2 = 0xFFFFFFFF\n"
        "value.20 = hex: DE AD\n"
        "; an INI comment\n"
        "[faults]\n"
        "IvroGetSwitch = 170 item 1\n"
        "IvroGetSwitch = 121 after 1 item 0\n";
    ASSERT_TRUE(TmSimLoadProfileText(pszProfile)) << TmSimLastProfileError();
    EXPECT_EQ("", TmSimLastProfileError());

    DWORD dwType = 0;
    IvroGetDeviceType(&dwType);
    EXPECT_EQ(5u, dwType);
    EXPECT_EQ(-10, CpuTemperature());
    WCHAR sz[64];
    EXPECT_FAILS_WITH(IvroGetRavlaText(2, sz, sizeof(sz)), 50);
    EXPECT_EQ(L"FPGA1 \"x\" # not a comment \u00B0C", VersionText(3));
    EXPECT_EQ(L"<failed>", VersionText(21));
    BYTE abMatrix[16];
    // Without the default profile's key demo the matrix is the profile's.
    ASSERT_TRUE(TmSimSet("keys.demo_interval", "0"));
    ASSERT_TRUE(IvroGetKeyMatrix(abMatrix, 16));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(i, abMatrix[i]);
    DWORD dwEnabled = 1;
    EXPECT_TRUE(IvroGetKeyCodesEnabled(&dwEnabled));
    EXPECT_EQ(0u, dwEnabled);
    BYTE abBlock[4] = {1, 2, 3, 4};
    ASSERT_TRUE(IvroGetFactoryValue(20, abBlock, 4));
    EXPECT_EQ(0xDE, abBlock[0]);
    EXPECT_EQ(0xAD, abBlock[1]);
    EXPECT_EQ(0, abBlock[2]);  // zeroed beyond the block

    // Keys not in the profile keep the embedded default's values.
    EXPECT_EQ(80, Brightness());

    // The [faults] lines are active.
    DWORD dwSwitch = 0;
    BYTE bSwitch = 0;
    EXPECT_FAILS_WITH(IvroGetSwitch(1, &dwSwitch, 4), 170);
    EXPECT_TRUE(IvroGetSwitch(0, &bSwitch, 1));
    EXPECT_FAILS_WITH(IvroGetSwitch(0, &bSwitch, 1), 121);

    // TmSimGet formats values back in profile syntax.
    EXPECT_EQ("-10", TmSimGetString("temperature.cpu"));
    EXPECT_EQ("no", TmSimGetString("parts.ravla1"));
    EXPECT_EQ("absent", TmSimGetString("version.21"));
    EXPECT_EQ("hex: DE AD", TmSimGetString("factory.value.20"));
    EXPECT_EQ(
        "\"FPGA1 \\\"x\\\" # not a comment \xC2\xB0"
        "C\"",
        TmSimGetString("version.3"));
    EXPECT_EQ("", TmSimGetString("display.nonsense"));
}

TEST_F(SimulatorTest, EachMalformedLineIsReportedWithLineAndReason) {
    struct Case {
        const char* pszText;
        int nLine;
        const char* pszReason;
    };
    const Case cases[] = {
        {"[display]\nbrightnes = 5\n", 2, "unknown key 'display.brightnes'"},
        {"display.brightness = 5x\n", 1, "bad number '5x'"},
        {"display.brightness = 101\n", 1, "value 101 out of range 0..100"},
        {"temperature.cpu = -129\n", 1, "out of range -128..127"},
        {"# x\nfactory.value.1 = 256\n", 2, "out of range for 1 byte(s)"},
        {"factory.value.3 = 0x10000\n", 1, "out of range for 2 byte(s)"},
        {"keys.matrix = 00 11 zz\n", 1, "bad hex byte 'zz'"},
        {"keys.matrix = 00 11 2\n", 1, "bad hex byte '2'"},
        {"keys.matrix = 00 11\n", 1, "expected 16 bytes, got 2"},
        {"\n\nversion.21 = \"T4.12\n", 3, "unterminated quote"},
        {"version.21 = T4.12\n", 1, "expected a quoted text"},
        {"version.21 = \"T4\" x\n", 1, "text after the closing quote"},
        {"version.21 = \"\xC3\x28\"\n", 1, "not valid UTF-8"},
        {"[bogus]\nx = 1\n", 1, "unknown section [bogus]"},
        {"[display\n", 1, "bad section header"},
        {"display.brightness 5\n", 1, "expected 'key = value'"},
        {"device.type = 4\ndevice.type = 5\n", 2, "duplicate key 'device.type' (first at line 1)"},
        {"parts.fpga = maybe\n", 1, "expected yes or no"},
        {"[faults]\nIvroGetNothing = 50\n", 2, "unknown operation 'IvroGetNothing'"},
        {"[faults]\nIvroGetBrightness = 50 item 1\n", 2, "IvroGetBrightness takes no item"},
        {"[faults]\nIvroGetTemperature = 50 later 2\n", 2, "bad fault"},
    };
    for (const Case& c : cases) {
        std::vector<tmsim::ProfileError> errors = ParseErrors(c.pszText);
        ASSERT_EQ(1u, errors.size()) << c.pszText;
        EXPECT_EQ(c.nLine, errors[0].m_nLine) << c.pszText;
        EXPECT_NE(std::string::npos, errors[0].m_strReason.find(c.pszReason))
            << c.pszText << " gave " << errors[0].m_strReason;
    }

    // Every bad line is reported, in the form file:line: reason.
    ASSERT_FALSE(TmSimLoadProfileText("device.type = 5\nkeys.layer = 4\n[x]\n"));
    EXPECT_EQ("<text>:2: value 4 out of range 0..3\n<text>:3: unknown section [x]",
              TmSimLastProfileError());
}

TEST_F(SimulatorTest, MalformedProfileMakesTheDeviceAbsentUntilAGoodOneLoads) {
    ASSERT_FALSE(TmSimLoadProfileText("device.type = 5\ndisplay.contrast = -1\n"));
    EXPECT_FALSE(TmSimIsPresent());

    // Nothing of the good first line is in effect: every operation fails with 2.
    DWORD dw = 0;
    BYTE b = 0;
    WCHAR sz[16];
    EXPECT_FAILS_WITH(IvroGetDeviceType(&dw), 2);
    EXPECT_FAILS_WITH(IvroGetBrightness(&b), 2);
    EXPECT_FAILS_WITH(IvroSetBrightness(50), 2);
    EXPECT_FAILS_WITH(IvroGetVersionText(21, sz, sizeof(sz)), 2);
    EXPECT_FAILS_WITH(IvroGetTransferInfo(0, &dw, 4), 2);
    EXPECT_FALSE(TmSimSet("display.brightness", "10"));
    EXPECT_EQ("", TmSimGetString("display.brightness"));

    ASSERT_TRUE(TmSimLoadProfileText("device.type = 5\n"));
    EXPECT_TRUE(TmSimIsPresent());
    EXPECT_TRUE(IvroGetDeviceType(&dw));
    EXPECT_EQ(5u, dw);

    // A profile file that cannot be read is an absent device too.
    EXPECT_FALSE(TmSimLoadProfileFile(L"/nonexistent/dir/none.profile"));
    EXPECT_FALSE(TmSimIsPresent());
    EXPECT_EQ("cannot read /nonexistent/dir/none.profile: no such file", TmSimLastProfileError());
}

TEST_F(SimulatorTest, TextsAreCutAtTheBufferSizeWithoutTermination) {
    ASSERT_TRUE(TmSimSet("version.21", "\"ABCDE\""));
    WCHAR sz[8];

    // Longer than the buffer: three characters, no terminator.
    std::fill(std::begin(sz), std::end(sz), L'#');
    ASSERT_TRUE(IvroGetVersionText(21, sz, 3 * sizeof(WCHAR)));
    EXPECT_EQ(L"ABC###", std::wstring(sz, 6));

    // Exactly as long as the buffer: still no terminator.
    std::fill(std::begin(sz), std::end(sz), L'#');
    ASSERT_TRUE(IvroGetVersionText(21, sz, 5 * sizeof(WCHAR)));
    EXPECT_EQ(L"ABCDE#", std::wstring(sz, 6));

    // Shorter: terminated, nothing written after the terminator.
    std::fill(std::begin(sz), std::end(sz), L'#');
    ASSERT_TRUE(IvroGetVersionText(21, sz, 6 * sizeof(WCHAR)));
    EXPECT_EQ(std::wstring(L"ABCDE\0#", 7), std::wstring(sz, 7));

    // An odd byte count counts whole characters only.
    std::fill(std::begin(sz), std::end(sz), L'#');
    ASSERT_TRUE(IvroGetVersionText(21, sz, 2 * sizeof(WCHAR) + 1));
    EXPECT_EQ(L"AB#", std::wstring(sz, 3));

    EXPECT_FAILS_WITH(IvroGetVersionText(21, sz, sizeof(WCHAR) - 1), 122);
    EXPECT_FAILS_WITH(IvroGetVersionText(21, nullptr, sizeof(sz)), 87);
    EXPECT_FAILS_WITH(IvroGetVersionText(99, sz, sizeof(sz)), 50);
}

TEST_F(SimulatorTest, SelectorValuesFillExactlyTheBytesAsked) {
    ASSERT_TRUE(TmSimSet("temperature.cpu", "-10"));
    BYTE ab[8];
    std::fill(std::begin(ab), std::end(ab), 0xCC);
    ASSERT_TRUE(IvroGetTemperature(0, ab, 1));
    EXPECT_EQ(0xF6, ab[0]);
    EXPECT_EQ(0xCC, ab[1]);
    DWORD dw = 0;
    ASSERT_TRUE(IvroGetTemperature(0, &dw, 4));
    EXPECT_EQ(0xFFFFFFF6u, dw);  // sign-extended
    EXPECT_FAILS_WITH(IvroGetTemperature(0, ab, 0), 122);
    EXPECT_FAILS_WITH(IvroGetTemperature(0, ab, 3), 87);
    EXPECT_FAILS_WITH(IvroGetTemperature(2, ab, 1), 87);
    EXPECT_FAILS_WITH(IvroGetTemperature(0, nullptr, 1), 87);

    // The device id is read with 2 bytes by one caller and 4 by another.
    ASSERT_TRUE(TmSimSet("factory.value.2", "0x00001A2B"));
    std::fill(std::begin(ab), std::end(ab), 0xCC);
    ASSERT_TRUE(IvroGetFactoryValue(2, ab, 2));
    EXPECT_EQ(0x2B, ab[0]);
    EXPECT_EQ(0x1A, ab[1]);
    EXPECT_EQ(0xCC, ab[2]);
    ASSERT_TRUE(IvroGetFactoryValue(2, &dw, 4));
    EXPECT_EQ(0x1A2Bu, dw);

    // A block needs room for all of it.
    BYTE abSettings[256];
    EXPECT_TRUE(IvroGetFactoryValue(17, abSettings, sizeof(abSettings)));
    EXPECT_FAILS_WITH(IvroGetFactoryValue(17, abSettings, 255), 122);
    EXPECT_FAILS_WITH(IvroGetKeyMatrix(abSettings, 15), 122);
    EXPECT_FAILS_WITH(IvroGetLedMatrix(0, abSettings, 31), 122);
    EXPECT_FAILS_WITH(IvroGetFactoryValue(99, &dw, 4), 50);
}

TEST_F(SimulatorTest, FaultsFireAlwaysAfterNCallsOrForOneItem) {
    BYTE b = 0;
    ASSERT_TRUE(TmSimInjectFault("IvroGetBrightness", 121, 0, TMSIM_ANY_ITEM));
    EXPECT_FAILS_WITH(IvroGetBrightness(&b), 121);
    EXPECT_FAILS_WITH(IvroGetBrightness(&b), 121);
    EXPECT_TRUE(IvroGetContrast(&b));
    TmSimClearFaults();
    EXPECT_TRUE(IvroGetBrightness(&b));

    // After two successful calls, then for good; failed calls do not count.
    ASSERT_TRUE(TmSimInjectFault("IvroSetBrightness", 1460, 2, TMSIM_ANY_ITEM));
    EXPECT_FAILS_WITH(IvroSetBrightness(101), 87);
    EXPECT_TRUE(IvroSetBrightness(10));
    EXPECT_TRUE(IvroSetBrightness(11));
    EXPECT_FAILS_WITH(IvroSetBrightness(12), 1460);
    EXPECT_FAILS_WITH(IvroSetBrightness(13), 1460);
    EXPECT_EQ(11, Brightness());
    TmSimClearFaults();

    // Only for sensor 1; the count is per matching call.
    ASSERT_TRUE(TmSimInjectFault("IvroGetTemperature", 170, 1, 1));
    EXPECT_TRUE(IvroGetTemperature(0, &b, 1));
    EXPECT_TRUE(IvroGetTemperature(1, &b, 1));
    EXPECT_TRUE(IvroGetTemperature(0, &b, 1));
    EXPECT_FAILS_WITH(IvroGetTemperature(1, &b, 1), 170);
    TmSimClearFaults();

    // "times" ends a rule; "*" hits every operation.
    ASSERT_TRUE(TmSimSet("faults.IvroGetKeyLayer", "121 times 2"));
    EXPECT_FAILS_WITH(IvroGetKeyLayer(&b), 121);
    EXPECT_FAILS_WITH(IvroGetKeyLayer(&b), 121);
    EXPECT_TRUE(IvroGetKeyLayer(&b));
    ASSERT_TRUE(TmSimInjectFault("*", 170, 0, TMSIM_ANY_ITEM));
    DWORD dw;
    EXPECT_FAILS_WITH(IvroGetDeviceType(&dw), 170);
    EXPECT_FAILS_WITH(IvroSetUserLed(3), 170);

    // Rules that can never match are refused.
    EXPECT_FALSE(TmSimInjectFault("IvroGetNothing", 50, 0, TMSIM_ANY_ITEM));
    EXPECT_FALSE(TmSimInjectFault("IvroGetBrightness", 50, 0, 1));
    EXPECT_FALSE(TmSimInjectFault("IvroGetBrightness", 0, 0, TMSIM_ANY_ITEM));
    EXPECT_FALSE(TmSimSet("faults.IvroGetBrightness", "121 after"));

    // Every operation of the table has an item or not as its rules expect.
    for (const tmsim::OperationInfo& op : tmsim::Operations()) {
        EXPECT_TRUE(TmSimInjectFault(op.m_pszName, 50, 0, TMSIM_ANY_ITEM)) << op.m_pszName;
        EXPECT_EQ(op.m_bHasItem, TmSimInjectFault(op.m_pszName, 50, 0, 3) != FALSE) << op.m_pszName;
    }
    EXPECT_EQ(45u, tmsim::Operations().size());
}

TEST_F(SimulatorTest, SetOperationsChangeWhatGetOperationsReport) {
    BYTE b = 0;
    ASSERT_TRUE(IvroSetBrightness(100));
    EXPECT_EQ(100, Brightness());
    EXPECT_FAILS_WITH(IvroSetBrightness(101), 87);
    EXPECT_EQ(100, Brightness());
    ASSERT_TRUE(IvroSetContrast(0));
    ASSERT_TRUE(IvroGetContrast(&b));
    EXPECT_EQ(0, b);
    ASSERT_TRUE(IvroSetDefaultBrightness(42));
    ASSERT_TRUE(IvroGetDefaultBrightness(&b));
    EXPECT_EQ(42, b);
    ASSERT_TRUE(IvroSetDefaultContrast(43));
    ASSERT_TRUE(IvroGetDefaultContrast(&b));
    EXPECT_EQ(43, b);
    EXPECT_FAILS_WITH(IvroSetDefaultContrast(200), 87);
    ASSERT_TRUE(IvroGetFactoryBrightness(&b));
    EXPECT_EQ(100, b);  // the factory value does not move

    ASSERT_TRUE(IvroSetKeyLayer(3));
    ASSERT_TRUE(IvroGetKeyLayer(&b));
    EXPECT_EQ(3, b);
    EXPECT_FAILS_WITH(IvroSetKeyLayer(4), 87);
    DWORD dw = 1;
    ASSERT_TRUE(IvroSetKeyCodesEnabled(FALSE));
    ASSERT_TRUE(IvroGetKeyCodesEnabled(&dw));
    EXPECT_EQ(0u, dw);
    ASSERT_TRUE(IvroSetWmiMode(TRUE));
    ASSERT_TRUE(IvroGetWmiMode(&dw));
    EXPECT_NE(0u, dw);
    ASSERT_TRUE(IvroSetUserLed(3));
    ASSERT_TRUE(IvroGetUserLed(&b));
    EXPECT_EQ(3, b);
    EXPECT_FAILS_WITH(IvroSetUserLed(4), 87);

    // LED states and matrices are two views of the same bits.
    ASSERT_TRUE(IvroSetLedState(1, 5, 2));
    BYTE abMatrix[32];
    ASSERT_TRUE(IvroGetLedMatrix(1, abMatrix, 32));
    EXPECT_EQ(2 << 2, abMatrix[1] & (3 << 2));  // LED 5: byte 1, bits 2..3
    abMatrix[1] = 0x03 << 6;                    // LED 7 on, LED 5 off
    ASSERT_TRUE(IvroSetLedMatrix(1, abMatrix, 32));
    ASSERT_TRUE(IvroGetLedState(1, 7, &b));
    EXPECT_EQ(3, b);
    ASSERT_TRUE(IvroGetLedState(1, 5, &b));
    EXPECT_EQ(0, b);
    ASSERT_TRUE(IvroGetLedState(0, 7, &b));
    EXPECT_EQ(0, b);  // other layers untouched
    ASSERT_TRUE(IvroSetAllLeds(1));
    for (BYTE bLayer = 0; bLayer < 4; ++bLayer) {
        ASSERT_TRUE(IvroGetLedState(bLayer, 31, &b));
        EXPECT_EQ(1, b);
    }
    EXPECT_FAILS_WITH(IvroSetLedState(4, 0, 1), 87);
    EXPECT_FAILS_WITH(IvroSetLedState(0, 32, 1), 87);  // the default has 32 LEDs
    EXPECT_FAILS_WITH(IvroSetLedState(0, 0, 4), 87);
    EXPECT_FAILS_WITH(IvroSetAllLeds(4), 87);
    EXPECT_FAILS_WITH(IvroSetLedMatrix(0, abMatrix, 31), 87);
    EXPECT_FAILS_WITH(IvroSetLedMatrix(4, abMatrix, 32), 87);

    // Parts that are not there fail with 50.
    ASSERT_TRUE(TmSimSet("parts.user_led", "no"));
    EXPECT_FAILS_WITH(IvroSetUserLed(0), 50);
    ASSERT_TRUE(TmSimSet("leds.count", "0"));
    ASSERT_TRUE(IvroGetLedCount(&b));
    EXPECT_EQ(0, b);
    EXPECT_FAILS_WITH(IvroGetLedMatrix(0, abMatrix, 32), 50);
    ASSERT_TRUE(TmSimSet("parts.display", "no"));
    EXPECT_FAILS_WITH(IvroSetBrightness(10), 50);
}

TEST_F(SimulatorTest, ControlCallsChangeTheRunningDevice) {
    ASSERT_TRUE(TmSimSet("temperature.cpu", "-10"));
    EXPECT_EQ(-10, CpuTemperature());
    ASSERT_TRUE(TmSimSet("switches.mode_node", "0x3A"));
    BYTE b = 0;
    ASSERT_TRUE(IvroGetSwitch(0, &b, 1));
    EXPECT_EQ(0x3A, b);
    ASSERT_TRUE(TmSimSet("keys.matrix", "00 00 20 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    BYTE abMatrix[16];
    ASSERT_TRUE(IvroGetKeyMatrix(abMatrix, 16));
    EXPECT_EQ(0x20, abMatrix[2]);
    ASSERT_TRUE(TmSimSet("device.type", "3"));
    DWORD dw = 0;
    ASSERT_TRUE(IvroGetDeviceType(&dw));
    EXPECT_EQ(3u, dw);
    ASSERT_TRUE(TmSimSet("parts.fpga1", "yes"));
    ASSERT_TRUE(TmSimSet("version.3", "\"FPGA1 2.0\""));
    EXPECT_EQ(L"FPGA1 2.0", VersionText(3));

    // A refused value leaves the device as it was.
    EXPECT_FALSE(TmSimSet("display.brightness", "150"));
    EXPECT_EQ("TmSimSet display.brightness: value 150 out of range 0..100",
              TmSimLastProfileError());
    EXPECT_EQ(80, Brightness());
    EXPECT_FALSE(TmSimSet("temperature.gpu", "1"));
    EXPECT_FALSE(TmSimSet("keys.matrix", "00"));
    ASSERT_TRUE(IvroGetKeyMatrix(abMatrix, 16));
    EXPECT_EQ(0x20, abMatrix[2]);

    // Drift stays within its bound around the set value.
    ASSERT_TRUE(TmSimSet("temperature.drift_interval", "100"));
    ASSERT_TRUE(TmSimSet("temperature.drift", "2"));
    ASSERT_TRUE(TmSimSet("temperature.cpu", "20"));
    for (int i = 0; i < 10; ++i) {
        int nTemperature = CpuTemperature();
        EXPECT_GE(nTemperature, 18);
        EXPECT_LE(nTemperature, 22);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(TmSimSet("temperature.drift", "0"));
    EXPECT_EQ(20, CpuTemperature());
}

TEST_F(SimulatorTest, ChangedProfileFileIsReloaded) {
    fs::path path = TempPath("reload.profile");
    WriteTextFile(
        path,
        "[display]\nbrightness = 50\n[switches]\nmode_node = 0x01\n[temperature]\ndrift = "
        "0\ncpu = 30\n");
    ASSERT_TRUE(TmSimLoadProfileFile(path.wstring().c_str())) << TmSimLastProfileError();
    ASSERT_TRUE(IvroSetBrightness(33));  // a run-time change of a value the file gives

    // Polls until the change shows (the file is looked at every 250 ms).
    auto waitForSwitch = [](BYTE bExpected) {
        BYTE b = 0;
        for (int i = 0; i < 100; ++i) {
            if (IvroGetSwitch(0, &b, 1) && b == bExpected) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    auto touch = [&](int nSeconds) {
        fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(nSeconds));
    };

    WriteTextFile(
        path,
        "[display]\nbrightness = 50\n[switches]\nmode_node = 0x02\n[temperature]\ndrift = "
        "0\ncpu = 30\n");
    touch(1);
    ASSERT_TRUE(waitForSwitch(0x02));
    EXPECT_EQ(33, Brightness());  // an unchanged line does not undo a run-time change
    EXPECT_EQ(30, CpuTemperature());

    // A malformed file keeps the running device with its previous values.
    WriteTextFile(
        path,
        "[display]\nbrightness = 50\n[switches]\nmode_node = 0x03\n[temperature]\ncpu = hot\n");
    touch(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    BYTE b = 0;
    ASSERT_TRUE(IvroGetSwitch(0, &b, 1));
    EXPECT_EQ(0x02, b);
    EXPECT_TRUE(TmSimIsPresent());
    EXPECT_NE(std::string::npos, TmSimLastProfileError().find(":6: bad number 'hot'"));

    // Fixed again: the changed lines apply.
    WriteTextFile(path, "[switches]\nmode_node = 0x04\n[temperature]\ndrift = 0\ncpu = 31\n");
    touch(3);
    ASSERT_TRUE(waitForSwitch(0x04));
    EXPECT_EQ(31, CpuTemperature());
    EXPECT_EQ("", TmSimLastProfileError());

    // After a reset the file is no longer watched.
    TmSimReset();
    WriteTextFile(path, "[switches]\nmode_node = 0x05\n");
    touch(4);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ASSERT_TRUE(IvroGetSwitch(0, &b, 1));
    EXPECT_EQ(0x12, b);  // the embedded default's
    fs::remove(path);
}

TEST_F(SimulatorTest, CallLogRecordsEveryCall) {
    fs::path logPath = TempPath("calls.log");
    fs::remove(logPath);
    setenv("TMIVRO_LOG", logPath.string().c_str(), 1);
    TmSimReset();  // the log variables are read here
    unsetenv("TMIVRO_LOG");

    BYTE b = 0;
    WCHAR sz[64];
    IvroSetBrightness(55);
    IvroSetBrightness(120);
    IvroGetVersionText(21, sz, sizeof(sz));
    IvroSetLedState(1, 5, 2);
    BYTE abMatrix[32] = {0x27};
    IvroSetLedMatrix(2, abMatrix, 32);
    TmSimInjectFault("IvroGetTemperature", 121, 0, 1);
    IvroGetTemperature(1, &b, 1);
    std::vector<std::string> expected = {
        "IvroSetBrightness value=55 -> 1 error=0",
        "IvroSetBrightness value=120 -> 0 error=87",
        "IvroGetVersionText item=21 size=" + std::to_string(sizeof(sz)) + " -> 1 error=0",
        "IvroSetLedState layer=1 led=5 state=2 -> 1 error=0",
        "IvroSetLedMatrix layer=2 size=32 data=27" + std::string(62, '0') + " -> 1 error=0",
        "IvroGetTemperature sensor=1 size=1 -> 0 error=121",
    };
    EXPECT_EQ(expected, TmSimCallLogLines());

    std::ifstream in(logPath);
    std::vector<std::string> fileLines;
    for (std::string strLine; std::getline(in, strLine);) fileLines.push_back(strLine);
    EXPECT_EQ(expected, fileLines);

    // A short buffer gets a terminated part; the result is the full length.
    char szShort[10];
    DWORD dwLength = TmSimGetCallLog(szShort, sizeof(szShort));
    EXPECT_GT(dwLength, 100u);
    EXPECT_STREQ("IvroSetBr", szShort);

    TmSimClearCallLog();
    EXPECT_TRUE(TmSimCallLogLines().empty());
    TmSimReset();
    fs::remove(logPath);
}

TEST_F(SimulatorTest, TwoThreadsCallAtOnce) {
    std::atomic<bool> bStop{false};
    std::atomic<int> nBadReads{0};
    // A transfer worker polls while the user-interface thread sets values and
    // tests change the device from outside.
    std::thread worker([&] {
        while (!bStop) {
            DWORD dw;
            BYTE b;
            if (!IvroGetTransferInfo(0, &dw, 4) || !IvroGetBrightness(&b) || b > 100) ++nBadReads;
            IvroGetTemperature(0, &b, 1);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        IvroSetBrightness(static_cast<BYTE>(i % 101));
        BYTE abMatrix[32] = {};
        IvroSetLedMatrix(static_cast<DWORD>(i % 4), abMatrix, 32);
        if (i % 100 == 0) {
            TmSimSet("temperature.cpu", std::to_string(i % 50).c_str());
            TmSimGetString("display.brightness");
            TmSimCallLogLines();
        }
    }
    bStop = true;
    worker.join();
    EXPECT_EQ(0, nBadReads);
    EXPECT_EQ(1999 % 101, Brightness());
}

TEST_F(SimulatorTest, DocumentedFerrowProfileIsValid) {
    std::string strProfile = DocumentedFerrowProfile();
    ASSERT_FALSE(strProfile.empty());
    ASSERT_TRUE(TmSimLoadProfileText(strProfile.c_str())) << TmSimLastProfileError();
    DWORD dwType = 0;
    ASSERT_TRUE(IvroGetDeviceType(&dwType));
    EXPECT_EQ(5u, dwType);
    WCHAR sz[64];
    BYTE bStatus = 0;
    EXPECT_FAILS_WITH(IvroGetRavlaText(2, sz, sizeof(sz)), 50);
    EXPECT_FAILS_WITH(IvroGetVersionText(2, sz, sizeof(sz)), 50);
    EXPECT_TRUE(IvroGetFirmwareValue(15, &bStatus, 1));
    EXPECT_TRUE(IvroGetVersionText(3, sz, sizeof(sz)));

    // The test data copy is the same profile.
    std::ifstream in(std::string(TM_SOURCE_DIR) + "/tests/data/ferrow.profile");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(strProfile, text.str());
}
