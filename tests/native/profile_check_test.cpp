// Profile files that cannot be a profile and profiles with many bad lines, as
// the simulator and the tmivro_profile_check tool (run as a program) see them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "simulator/SimProfile.h"
#include "simulator/TmIvroSim.h"

namespace fs = std::filesystem;

namespace {

class ProfileCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tmivro_check_" + std::to_string(getpid()));
        fs::create_directories(m_dir);
        TmSimReset();
    }
    void TearDown() override {
        TmSimReset();
        std::error_code error;
        fs::remove_all(m_dir, error);
    }

    fs::path Write(const char* pszName, const std::string& strText) {
        fs::path path = m_dir / pszName;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << strText;
        return path;
    }

    static std::string ReadText(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    struct Run {
        int nExit;
        std::string strOut;
        std::string strErr;
    };

    // The checker as a user runs it.
    Run Check(const std::string& strProfile) {
        fs::path out = m_dir / "out.txt", err = m_dir / "err.txt";
        std::string strCommand = std::string("'") + TM_PROFILE_CHECK + "' '" + strProfile + "' >'" +
                                 out.string() + "' 2>'" + err.string() + "'";
        int nStatus = std::system(strCommand.c_str());
        return Run{WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1, ReadText(out), ReadText(err)};
    }

    fs::path m_dir;
};

std::vector<std::string> Lines(const std::string& strText) {
    std::vector<std::string> lines;
    std::istringstream in(strText);
    std::string strLine;
    while (std::getline(in, strLine)) lines.push_back(strLine);
    return lines;
}

bool AllPrintable(const std::string& strText) {
    return std::all_of(strText.begin(), strText.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c == '\n' || (c >= 0x20 && c != 0x7F);
    });
}

}  // namespace

TEST_F(ProfileCheckTest, OnlyAReadableRegularFileIsAProfile) {
    fs::path good = Write("good.profile", "device.type = 5\n");
    std::string strMissing = (m_dir / "missing.profile").string();
    std::string strDir = m_dir.string();

    Run run = Check(good.string());
    EXPECT_EQ(0, run.nExit);
    EXPECT_EQ(good.string() + ": ok, device type 5\n", run.strOut);

    // Said plainly, not as a malformed line 0; nothing on stdout.
    run = Check(strDir);
    EXPECT_EQ(1, run.nExit);
    EXPECT_EQ("cannot read " + strDir + ": is a directory\n", run.strErr);
    EXPECT_EQ("", run.strOut);
    run = Check(strMissing);
    EXPECT_EQ(1, run.nExit);
    EXPECT_EQ("cannot read " + strMissing + ": no such file\n", run.strErr);
    // A device would read as an empty profile, or never end.
    run = Check("/dev/null");
    EXPECT_EQ(1, run.nExit);
    EXPECT_EQ("cannot read /dev/null: not a regular file\n", run.strErr);

    // The simulator refuses the same way: no device, and the reason.
    EXPECT_FALSE(TmSimLoadProfileFile(m_dir.wstring().c_str()));
    EXPECT_FALSE(TmSimIsPresent());
    EXPECT_EQ("cannot read " + strDir + ": is a directory", TmSimLastProfileError());
    EXPECT_FALSE(TmSimLoadProfileFile((m_dir / "missing.profile").wstring().c_str()));
    EXPECT_EQ("cannot read " + strMissing + ": no such file", TmSimLastProfileError());
    EXPECT_TRUE(TmSimLoadProfileFile(good.wstring().c_str())) << TmSimLastProfileError();
    EXPECT_TRUE(TmSimIsPresent());
}

TEST_F(ProfileCheckTest, ManyBadLinesAreCountedAndShownPrintable) {
    // 30 bad lines: a bell, a terminal escape, a byte that is not UTF-8; the
    // umlaut is good UTF-8 and stays.
    std::string strProfile = "[display]\nbright\x07ness = 5\nkey\x1B[31m = 1\nk\xFF = 1\n";
    strProfile +=
        "[keys]\nGr\xC3\xB6\xC3\x9F"
        "e = 1\n";
    for (int i = 0; i < 26; ++i) strProfile += "junk line " + std::to_string(i) + "\n";
    fs::path path = Write("bad.profile", strProfile);

    Run run = Check(path.string());
    EXPECT_EQ(1, run.nExit);
    EXPECT_TRUE(AllPrintable(run.strErr)) << run.strErr;
    std::vector<std::string> lines = Lines(run.strErr);
    ASSERT_EQ(21u, lines.size()) << run.strErr;
    std::string strFile = path.string();
    EXPECT_EQ(strFile + ":2: bad key 'bright\\x07ness'", lines[0]);
    EXPECT_EQ(strFile + ":3: bad key 'key\\x1B[31m'", lines[1]);
    EXPECT_EQ(strFile + ":4: bad key 'k\\xFF'", lines[2]);
    EXPECT_EQ(strFile +
                  ":6: bad key 'Gr\xC3\xB6\xC3\x9F"
                  "e'",
              lines[3]);
    EXPECT_EQ(strFile + ":22: expected 'key = value'", lines[19]);
    EXPECT_EQ("... and 10 more errors", lines[20]);

    // The simulator's own report is cut the same way.
    EXPECT_FALSE(TmSimLoadProfileText(strProfile.c_str()));
    std::vector<std::string> reported = Lines(TmSimLastProfileError());
    ASSERT_EQ(21u, reported.size());
    EXPECT_EQ("<text>:2: bad key 'bright\\x07ness'", reported[0]);
    EXPECT_EQ("... and 10 more errors", reported[20]);

    // Exactly one more than shown: singular; up to the limit: no count.
    std::vector<tmsim::ProfileError> errors(21, tmsim::ProfileError{"p", 1, "bad"});
    EXPECT_EQ("... and 1 more error", Lines(tmsim::FormatErrors(errors)).back());
    errors.resize(20);
    EXPECT_EQ(20u, Lines(tmsim::FormatErrors(errors)).size());

    // A huge line is quoted in part only, and C1 controls are escaped whole.
    std::string strHuge = "[keys]\n" + std::string(100000, 'x') + "? = 1\n";
    std::vector<tmsim::ProfileError> huge;
    tmsim::DeviceState state = tmsim::DefaultState();
    std::vector<tmsim::ProfileEntry> entries;
    tmsim::ParseProfile(strHuge, "h", state, entries, huge);
    ASSERT_EQ(1u, huge.size());
    EXPECT_EQ("h:2: bad key '" + std::string(60, 'x') + "...'", huge[0].Format());
    EXPECT_EQ("a\\xC2\\x85b \xC3\xA4", tmsim::Printable("a\xC2\x85"
                                                        "b \xC3\xA4"));
}
