// The string table as text: every id has one text, so no message is empty.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

const std::string kResDir = std::string(TM_SOURCE_DIR) + "/res/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(Resources, EveryStringIdHasExactlyOneText) {
    const std::string header = ReadFile(kResDir + "resource.h");
    const std::string rc = ReadFile(kResDir + "TmRoveVodore.rc");
    // Without it windres reads the UTF-8 texts as ANSI and every umlaut breaks.
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);

    std::map<std::string, int> ids;
    std::map<int, std::string> nameOfId;
    const std::regex define(R"(#define\s+(IDS_\w+)\s+(\d+))");
    for (std::sregex_iterator it(header.begin(), header.end(), define), end; it != end; ++it) {
        const std::string name = (*it)[1];
        const int id = std::stoi((*it)[2]);
        ids.emplace(name, id);
        EXPECT_TRUE(nameOfId.emplace(id, name).second)
            << name << " reuses id " << id << " of " << nameOfId[id];
    }
    ASSERT_FALSE(ids.empty());

    // The entries of the STRINGTABLE blocks, one a line.
    std::set<std::string> texts;
    std::istringstream lines(rc);
    std::string line;
    bool bInTable = false;
    const std::regex entry(R"re(^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$)re");
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch m;
        if (line == "STRINGTABLE" || line == "END") {
            bInTable = line != "END";
        } else if (bInTable && std::regex_match(line, m, entry)) {
            EXPECT_TRUE(ids.count(m[1])) << m[1] << " is not defined in resource.h";
            EXPECT_TRUE(texts.insert(m[1]).second) << m[1] << " has two texts";
            EXPECT_NE("", m[2]) << m[1];
        }
    }
    for (const auto& [name, id] : ids) EXPECT_TRUE(texts.count(name)) << name << " has no text";
}

}  // namespace
