// The TmIvro.dll simulator: its profile rules, the absent device, the buffer
// and text rules the pages rely on, faults, reloads and the call log.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

// A call's last error, 0 if it succeeded.
DWORD ErrorOf(const std::function<BOOL()>& call) {
    SetLastError(12345);
    return call() ? 0 : GetLastError();
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path TempPath(const char* pszName) {
    return fs::temp_directory_path() / ("tmivro_test_" + std::to_string(getpid()) + "_" + pszName);
}

}  // namespace

// The documented Ferrow is the test data's (which the sheet tests load).
TEST_F(SimulatorTest, DocumentedFerrowProfileIsTheTestData) {
    const std::string strDoc = ReadText(std::string(TM_SOURCE_DIR) + "/docs/simulator.md");
    const size_t nBegin = strDoc.find("```ini\n", strDoc.find("<!-- ferrow-example -->")) + 7;
    const std::string strFerrow = strDoc.substr(nBegin, strDoc.find("```\n", nBegin) - nBegin);
    EXPECT_EQ(ReadText(std::string(TM_SOURCE_DIR) + "/tests/data/ferrow.profile"), strFerrow);
}

TEST_F(SimulatorTest, GoodProfileSyntax) {
    ASSERT_TRUE(
        TmSimLoadProfileText("\xEF\xBB\xBF# comment line\r\n"
                             "device.type = 5   # a trailing comment\r\n"
                             "[keys]\n"
                             "matrix = 00 01 0203 04,05 06 07 \\\n"
                             "         08 09 0a 0B 0c 0D 0e 0F\n"
                             "codes_enabled = off\n"
                             "[version]\n"
                             "21 = \"T4 \\\"x\\\" # not a comment \\u00B0C\"\n"
                             "0 = absent\n"
                             "; an INI comment\n"
                             "[factory]\n"
                             "value.20 = hex: DE AD\n"
                             "[faults]\n"
                             "IvroGetSwitch = 121 after 1 item 0\n"))
        << TmSimLastProfileError();
    // Read back in profile syntax; keys not in the profile keep the default's.
    const std::pair<const char*, const char*> values[] = {
        {"device.type", "5"},
        {"keys.matrix", "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"},
        {"keys.codes_enabled", "0"},
        {"version.0", "absent"},
        {"factory.value.20", "hex: DE AD"},
        {"display.brightness", "80"},
    };
    for (const auto& [pszKey, pszValue] : values) EXPECT_EQ(pszValue, TmSimGetString(pszKey));
    WCHAR sz[64] = {};
    ASSERT_TRUE(IvroGetVersionText(21, sz, sizeof(sz)));
    EXPECT_STREQ(L"T4 \"x\" # not a comment \u00B0C", sz);
    BYTE ab[4] = {1, 2, 3, 4};
    ASSERT_TRUE(IvroGetFactoryValue(20, ab, 4));
    EXPECT_EQ(0, ab[2]);  // zeroed beyond the block
    EXPECT_EQ(0u, ErrorOf([&] { return IvroGetSwitch(0, ab, 1); }));
    EXPECT_EQ(121u, ErrorOf([&] { return IvroGetSwitch(0, ab, 1); }));
}

TEST_F(SimulatorTest, EachMalformedLineIsReportedAndTheDeviceIsAbsent) {
    const std::pair<const char*, const char*> cases[] = {
        {"[display]\nbrightnes = 5\n", ":2: unknown key 'display.brightnes'"},
        {"display.brightness = 5x\n", ":1: bad number '5x'"},
        {"keys.matrix = 00 11\n", ":1: expected 16 bytes, got 2"},
        {"\n\nversion.21 = \"T4.12\n", ":3: unterminated quote"},
        {"version.21 = \"\xC3\x28\"\n", ":1: text is not valid UTF-8"},
        {"display.brightness 5\n", ":1: expected 'key = value'"},
        {"device.type = 4\ndevice.type = 5\n", ":2: duplicate key 'device.type' (first at line 1)"},
        {"[faults]\nIvroGetTemperature = 50 later 2\n", ":2: bad fault"},
    };
    for (const auto& [pszText, pszError] : cases) {
        EXPECT_FALSE(TmSimLoadProfileText(pszText));
        EXPECT_NE(std::string::npos, TmSimLastProfileError().find(pszError))
            << pszText << " gave " << TmSimLastProfileError();
    }
    // Every bad line is reported, and nothing of the good ones is in effect:
    // every operation fails with 2 until a good profile loads.
    ASSERT_FALSE(TmSimLoadProfileText("device.type = 5\nkeys.layer = 4\n[x]\n"));
    EXPECT_EQ("<text>:2: value 4 out of range 0..3\n<text>:3: unknown section [x]",
              TmSimLastProfileError());
    DWORD dw = 0;
    EXPECT_EQ(2u, ErrorOf([&] { return IvroGetDeviceType(&dw); }));
    EXPECT_EQ(2u, ErrorOf([] { return IvroSetBrightness(50); }));
    EXPECT_FALSE(TmSimSet("display.brightness", "10"));
    ASSERT_TRUE(TmSimLoadProfileText("device.type = 5\n"));
    EXPECT_EQ(0u, ErrorOf([&] { return IvroGetDeviceType(&dw); }));
}

// Texts are cut at the buffer without a terminator, as the real library
// does; a block needs room for all of it.
TEST_F(SimulatorTest, BuffersAreFilledAsTheLibraryDoes) {
    ASSERT_TRUE(TmSimSet("version.21", "\"ABCDE\""));
    const std::pair<DWORD, std::wstring> texts[] = {
        {3 * sizeof(WCHAR), L"ABC####"},
        {5 * sizeof(WCHAR), L"ABCDE##"},
        {6 * sizeof(WCHAR), std::wstring(L"ABCDE\0#", 7)},
        {2 * sizeof(WCHAR) + 1, L"AB#####"},  // whole characters only
    };
    WCHAR sz[7];
    for (const auto& [cb, strExpected] : texts) {
        std::fill(std::begin(sz), std::end(sz), L'#');
        ASSERT_TRUE(IvroGetVersionText(21, sz, cb));
        EXPECT_EQ(strExpected, std::wstring(sz, 7)) << cb;
    }
    EXPECT_EQ(122u, ErrorOf([&] { return IvroGetVersionText(21, sz, sizeof(WCHAR) - 1); }));

    BYTE ab[256];
    EXPECT_EQ(0u, ErrorOf([&] { return IvroGetFactoryValue(17, ab, 256); }));
    EXPECT_EQ(122u, ErrorOf([&] { return IvroGetFactoryValue(17, ab, 255); }));
}

TEST_F(SimulatorTest, FaultsFireAfterNCallsForOneItemOrNTimes) {
    // After two successful calls, then for good; failed calls do not count.
    ASSERT_TRUE(TmSimInjectFault("IvroSetBrightness", 1460, 2, TMSIM_ANY_ITEM));
    const DWORD expected[] = {87, 0, 0, 1460, 1460};
    for (BYTE i = 0; i < 5; ++i)
        EXPECT_EQ(expected[i], ErrorOf([&] { return IvroSetBrightness(i ? 10 + i : 101); }));
    EXPECT_EQ("12", TmSimGetString("display.brightness"));
    // Only for sensor 1, counting its calls only; "times" ends a rule.
    ASSERT_TRUE(TmSimSet("faults.IvroGetTemperature", "170 after 1 item 1 times 1"));
    BYTE b = 0;
    for (const auto& [bSensor, dwError] : {std::pair<BYTE, DWORD>{1, 0}, {0, 0}, {1, 170}, {1, 0}})
        EXPECT_EQ(dwError, ErrorOf([&] { return IvroGetTemperature(bSensor, &b, 1); }));
    ASSERT_TRUE(TmSimInjectFault("*", 170, 0, TMSIM_ANY_ITEM));
    EXPECT_EQ(170u, ErrorOf([] { return IvroSetUserLed(3); }));
}

TEST_F(SimulatorTest, ChangedProfileFileIsReloaded) {
    const fs::path path = TempPath("reload.profile");
    const std::string strStart = "[display]\nbrightness = 50\n[switches]\n";
    int nTouch = 0;
    // Writes the file and polls until the change shows (the file is looked at every 250 ms).
    auto change = [&](const std::string& strText, const std::function<bool()>& shown) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << strText;
        fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(++nTouch));
        for (int i = 0; i < 100 && !shown(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return shown();
    };
    auto modeNode = [](BYTE bExpected) {
        return [bExpected] {
            BYTE b = 0;
            return IvroGetSwitch(0, &b, 1) && b == bExpected;
        };
    };
    std::ofstream(path) << strStart << "mode_node = 0x01\n";
    ASSERT_TRUE(TmSimLoadProfileFile(path.wstring().c_str())) << TmSimLastProfileError();
    ASSERT_TRUE(IvroSetBrightness(33));  // a run-time change of a value the file gives
    ASSERT_TRUE(change(strStart + "mode_node = 0x02\n", modeNode(0x02)));
    // An unchanged line does not undo a run-time change.
    EXPECT_EQ("33", TmSimGetString("display.brightness"));
    // A malformed file keeps the running device with its previous values.
    ASSERT_TRUE(change(strStart + "mode_node = 0x03\ncpu = 1\n", [] {
        DWORD dw;  // device calls look at the file
        return IvroGetDeviceType(&dw) && !TmSimLastProfileError().empty();
    }));
    EXPECT_NE(std::string::npos, TmSimLastProfileError().find(":5: unknown key"));
    EXPECT_TRUE(modeNode(0x02)());
    // Mended, it is taken again.
    ASSERT_TRUE(change(strStart + "mode_node = 0x04\n", modeNode(0x04)));
    fs::remove(path);
}

// The checker, run as a user runs it; reasons are printable (a bell, a
// terminal escape and a byte that is not UTF-8 escaped, good UTF-8 kept),
// quoted in part only, and counted beyond the first 20.
TEST(ProfileCheckTest, BadProfilesAreRefusedWithPrintableCountedReasons) {
    const fs::path err = TempPath("check.err"), path = TempPath("bad.profile");
    auto check = [&](const std::string& strProfile) {
        const std::string strCommand = std::string("'") + TM_PROFILE_CHECK + "' '" + strProfile +
                                       "' >/dev/null 2>'" + err.string() + "'";
        const int nStatus = std::system(strCommand.c_str());
        return std::make_pair(WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, ReadText(err));
    };
    // A device would read as an empty profile, or never end.
    EXPECT_EQ(std::make_pair(1, std::string("cannot read /dev/null: not a regular file\n")),
              check("/dev/null"));

    std::string strProfile = "[display]\nbright\x07ness = 5\nkey\x1B[31m = 1\nk\xFF = 1\n";
    strProfile += "[keys]\nGr\xC3\xBC\xC3\x9F = 1\n" + std::string(100, 'x') + "? = 1\n";
    for (int i = 0; i < 25; ++i) strProfile += "junk line " + std::to_string(i) + "\n";
    std::ofstream(path, std::ios::binary) << strProfile;
    const std::string strFile = path.string();
    const auto [nExit, strErr] = check(strFile);
    EXPECT_EQ(1, nExit);
    EXPECT_EQ(0u, strErr.find(strFile + ":2: bad key 'bright\\x07ness'\n" + strFile +
                              ":3: bad key 'key\\x1B[31m'\n" + strFile + ":4: bad key 'k\\xFF'\n" +
                              strFile + ":6: bad key 'Gr\xC3\xBC\xC3\x9F'\n" + strFile +
                              ":7: bad key '" + std::string(60, 'x') + "...'\n"))
        << strErr;
    const std::string strTail = ":22: expected 'key = value'\n... and 10 more errors\n";
    EXPECT_EQ(strErr.size() - strTail.size(), strErr.rfind(strTail)) << strErr;
    fs::remove(path);
    fs::remove(err);
}
