// The built help file TmRoveVodore.chm, opened with a CHM reader (chmls):
// every topic and anchor that the code names is in it, every context id of
// the applet's table has a popup text, and every link inside it resolves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "applet/Help.h"

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// UTF-8 umlauts and the like, which HTML Help would show as two characters:
// the build converts every text to windows-1252.
bool HasUtf8Letters(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const unsigned char next = static_cast<unsigned char>(text[i + 1]);
        if ((c == 0xC2 || c == 0xC3) && next >= 0x80 && next <= 0xBF) return true;
    }
    return false;
}

// The ids that a page's anchors and elements carry (id= or name=).
std::set<std::string> AnchorsOf(const std::string& html) {
    std::set<std::string> anchors;
    static const std::regex kAnchor("\\s(?:id|name)=\"([^\"]*)\"", std::regex::icase);
    for (std::sregex_iterator it(html.begin(), html.end(), kAnchor), end; it != end; ++it)
        anchors.insert((*it)[1]);
    return anchors;
}

// "::/html/X.htm#A" as the code writes it: every such text in the
// application sources, so that a topic added to the code is checked too.
std::set<std::string> TopicsNamedByCode() {
    std::set<std::string> topics;
    static const std::regex kTopic("\"::/([^\"]+)\"");
    for (const char* dir : {"applet", "pages", "transfer", "report"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(TM_SOURCE_DIR) / dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            const std::string text = ReadBytes(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), kTopic), end; it != end; ++it)
                topics.insert((*it)[1]);
        }
    }
    return topics;
}

// The popup texts as HTML Help reads them: ".topic NAME", then the lines up
// to the next one that starts with "."; every text of each name.
std::map<std::string, std::vector<std::string>> PopupTexts(const std::string& file) {
    std::map<std::string, std::vector<std::string>> texts;
    std::istringstream in(file);
    std::vector<std::string>* pCurrent = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 7, ".topic ") == 0) {
            pCurrent = &texts[line.substr(7)];
            pCurrent->emplace_back();
        } else if (!line.empty() && line[0] == '.') {
            pCurrent = nullptr;  // where HTML Help would end the text
            ADD_FAILURE() << "a line of the popup texts starts with \".\": " << line;
        } else if (pCurrent) {
            pCurrent->back() += line;
        }
    }
    return texts;
}

class HelpFileTest : public ::testing::Test {
protected:
    // Extracted once per process, in SetUp so that a failure fails the test.
    // chmls works on a private copy: it locks the file it reads, and the
    // tests of one build may run at the same time.
    void SetUp() override {
        if (!s_dir.empty()) return;
        char szTemplate[] = "/tmp/tm-help-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(szTemplate));
        s_work = szTemplate;
        const fs::path copy = s_work / "TmRoveVodore.chm";
        fs::copy_file(TM_HELP_FILE, copy);
        const std::string command = std::string("'") + TM_CHMLS + "' extractall '" + copy.string() +
                                    "' '" + (s_work / "chm").string() + "' >/dev/null 2>&1";
        ASSERT_EQ(0, std::system(command.c_str())) << command;
        s_dir = s_work / "chm";
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!s_work.empty()) fs::remove_all(s_work, ec);
    }
    static fs::path s_work;
    static fs::path s_dir;
};
fs::path HelpFileTest::s_work;
fs::path HelpFileTest::s_dir;

TEST_F(HelpFileTest, HasOnePopupTextForEveryContextId) {
    const auto texts = PopupTexts(ReadBytes(s_dir / "TmRoveVodoreHelp.txt"));
    // The header that names them: "#define NAME N" lines.
    const std::string header = ReadBytes(s_dir / "TmRoveVodoreHelp.h");
    static const std::regex kDefine("#define[ \t]+(\\w+)[ \t]+([0-9]+)");
    std::map<unsigned long, std::string> names;
    for (std::sregex_iterator it(header.begin(), header.end(), kDefine), end; it != end; ++it)
        EXPECT_TRUE(names.emplace(std::stoul((*it)[2]), (*it)[1]).second) << (*it)[0];

    std::set<unsigned long> ids;
    for (const DWORD* p = GetContextHelpIds(); p[0] != 0; p += 2) {
        EXPECT_EQ(p[0], p[1]) << "a control shows the text of another";
        if (!ids.insert(p[1]).second) continue;
        auto text = texts.find(names[p[1]]);
        ASSERT_NE(texts.end(), text) << "no popup text for context id " << p[1];
        EXPECT_EQ(1u, text->second.size()) << "context id " << p[1] << " has more than one text";
        EXPECT_GT(text->second.front().size(), 20u) << "context id " << p[1] << " has no real text";
    }
    for (const auto& name : names)
        EXPECT_EQ(1u, ids.count(name.first)) << "popup text " << name.second << " has no control";
    EXPECT_EQ(names.size(), texts.size()) << "popup texts without a context id";
}

// The links inside the file, and the topics and anchors the code names, all
// resolve; every text is windows-1252.
TEST_F(HelpFileTest, EveryLinkAndTopicResolvesAndEveryTextIsGermanWindows1252) {
    auto resolves = [&](const fs::path& from, const fs::path& base, const std::string& link) {
        ASSERT_EQ(std::string::npos, link.find(':')) << from << " links outside: " << link;
        const std::string path = link.substr(0, link.find('#'));
        const fs::path target = path.empty() ? from : (base / path).lexically_normal();
        ASSERT_TRUE(fs::is_regular_file(target)) << from << ": " << link << " is missing";
        if (link.find('#') == std::string::npos) return;
        EXPECT_EQ(1u, AnchorsOf(ReadBytes(target)).count(link.substr(link.find('#') + 1)))
            << from << ": no anchor for " << link;
    };
    const std::set<std::string> topics = TopicsNamedByCode();
    EXPECT_GE(topics.size(), 14u) << "the topics of every page and dialog";
    for (const std::string& topic : topics) resolves("the code", s_dir, topic);

    static const std::regex kLink(
        "\\s(?:href|src)=\"([^\"]*)\"|<param name=\"Local\" value=\"([^\"]*)\"", std::regex::icase);
    static const std::regex kUnquoted("\\s(?:href|src)=[^\"]", std::regex::icase);
    size_t nPages = 0;
    size_t nLinks = 0;
    for (const auto& entry : fs::recursive_directory_iterator(s_dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".htm" && ext != ".hhc" && ext != ".hhk" && ext != ".txt") continue;
        const std::string name = fs::relative(entry.path(), s_dir).string();
        const std::string text = ReadBytes(entry.path());
        EXPECT_FALSE(HasUtf8Letters(text)) << name << " is not windows-1252";
        if (ext == ".txt") continue;
        EXPECT_FALSE(std::regex_search(text, kUnquoted)) << name << " has an unquoted link";
        if (ext == ".htm") {
            ++nPages;
            EXPECT_NE(std::string::npos, text.find("charset=windows-1252")) << name;
        }
        // Links of the contents and index are relative to the file's root.
        const fs::path base = ext == ".htm" ? entry.path().parent_path() : s_dir;
        for (std::sregex_iterator it(text.begin(), text.end(), kLink), end; it != end; ++it) {
            ++nLinks;
            resolves(entry.path(), base, (*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
        }
    }
    EXPECT_GE(nPages, 13u);
    EXPECT_GT(nLinks, nPages);
}

}  // namespace
