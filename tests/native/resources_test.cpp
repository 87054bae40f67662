// Checks of the resource script as text: the invariants that keep users from
// seeing empty or wrong messages and missing icons.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kResDir = std::string(TM_SOURCE_DIR) + "/res/";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Undoes the rc escapes used in the script: \n, \t, \\ and "".
std::string Unescape(const std::string& quoted) {
    std::string out;
    for (size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 1 < quoted.size()) {
            char n = quoted[++i];
            out += n == 'n' ? '\n' : n == 't' ? '\t' : n;
        } else if (c == '"' && i + 1 < quoted.size() && quoted[i + 1] == '"') {
            out += '"';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

struct StringEntry {
    std::string name;
    std::string text;
};

std::vector<StringEntry> StringTable(const std::string& rc) {
    std::vector<StringEntry> entries;
    std::istringstream lines(rc);
    std::string line;
    bool inTable = false;
    const std::regex entry(R"re(^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$)re");
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "STRINGTABLE") {
            inTable = true;
        } else if (inTable && line == "END") {
            inTable = false;
        } else if (inTable) {
            std::smatch m;
            if (std::regex_match(line, m, entry)) entries.push_back({m[1], Unescape(m[2])});
        }
    }
    return entries;
}

TEST(Resources, EveryStringIdHasExactlyOneText) {
    const std::string header = ReadFile(kResDir + "resource.h");
    const std::string rc = ReadFile(kResDir + "TmRoveVodore.rc");
    ASSERT_FALSE(header.empty());
    ASSERT_FALSE(rc.empty());
    // Without it windres reads the UTF-8 texts as ANSI and every umlaut breaks.
    EXPECT_NE(rc.find("#pragma code_page(65001)"), std::string::npos);

    std::map<std::string, int> ids;
    std::map<int, std::string> nameOfId;
    const std::regex define(R"(#define\s+(IDS_\w+)\s+(\d+))");
    for (std::sregex_iterator it(header.begin(), header.end(), define), end; it != end; ++it) {
        const std::string name = (*it)[1];
        const int id = std::stoi((*it)[2]);
        EXPECT_TRUE(ids.emplace(name, id).second) << name << " defined twice";
        EXPECT_TRUE(nameOfId.emplace(id, name).second)
            << name << " reuses id " << id << " of " << nameOfId[id];
        EXPECT_GE(id, 1001) << name;
        EXPECT_LE(id, 1166) << name;
    }
    ASSERT_FALSE(ids.empty());

    std::map<std::string, std::string> textOf;
    for (const StringEntry& e : StringTable(rc)) {
        EXPECT_TRUE(ids.count(e.name)) << e.name << " is not defined in resource.h";
        EXPECT_TRUE(textOf.emplace(e.name, e.text).second) << e.name << " has two texts";
        EXPECT_FALSE(e.text.empty()) << e.name;
    }
    for (const auto& [name, id] : ids) EXPECT_TRUE(textOf.count(name)) << name << " has no text";

    auto text = [&](int id) { return nameOfId.count(id) ? textOf[nameOfId[id]] : std::string(); };
    EXPECT_EQ(text(1051), "Das verwendete System ist kein Tolmek Gerät.");
    EXPECT_EQ(text(1016),
              "Sie müssen Ihr System neu starten, damit die Änderungen wirksam werden.\n\n"
              "Wollen Sie jetzt neu starten?");
    EXPECT_EQ(text(1139),
              "Sie müssen die Stromversorgung des PC aus/einschalten, damit die Änderungen "
              "wirksam werden.\n\nWollen Sie jetzt ausschalten?");
    EXPECT_EQ(text(1135), "Ein Timer kann nicht gestartet werden.");
}

TEST(Resources, ReferencedFilesExist) {
    const std::string rc = ReadFile(kResDir + "TmRoveVodore.rc");
    const std::regex fileRef(R"re(^\s*\w+\s+(ICON|BITMAP|24)\s+"([^"]+)"\s*$)re");
    std::istringstream lines(rc);
    std::string line;
    std::set<std::string> kinds;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, fileRef)) continue;
        kinds.insert(m[1]);
        EXPECT_TRUE(std::filesystem::is_regular_file(kResDir + m[2].str())) << m[2];
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"ICON", "BITMAP", "24"}));
}

}  // namespace
