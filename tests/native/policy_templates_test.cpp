// The Group Policy templates in policy/: well-formed XML, every reference
// resolved in both languages, and each policy writing exactly what the
// applet reads, as the applet shows by reading it.
#include <cpl.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "AppletTestEnv.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

// No '<' and no '&' outside an entity that XML predefines.
bool ValidText(const std::string& str) {
    static const std::regex kEntity("&(amp|lt|gt|quot|apos);");
    return str.find('<') == std::string::npos &&
           std::count(str.begin(), str.end(), '&') ==
               std::distance(std::sregex_iterator(str.begin(), str.end(), kEntity),
                             std::sregex_iterator());
}

// Each lead byte followed by as many continuation bytes as it announces.
bool ValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 0 : c >= 0xC2 && c < 0xF5 ? 1 + (c >= 0xE0) + (c >= 0xF0) : 9;
        if (n == 9 || i + n >= s.size()) return false;
        for (size_t k = 0; k < n; ++k)
            if ((static_cast<unsigned char>(s[++i]) >> 6) != 2) return false;
    }
    return true;
}

// Well-formed as far as these files go: valid UTF-8, the declaration first,
// one root, matched tags, double-quoted unique attributes, only the
// predefined entities, no "--" in comments.
bool WellFormed(const std::string& s) {
    static const std::regex kTag(
        "<!--(?:[^-]|-[^-])*-->|<(/?)([\\w:.-]+)((?:\\s+[\\w:.-]+\\s*=\\s*\"[^\"]*\")*)\\s*(/?)>");
    static const std::regex kAttribute("([\\w:.-]+)\\s*=\\s*\"([^\"]*)\"");
    const std::string kDecl = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    if (!ValidUtf8(s) || s.compare(0, kDecl.size(), kDecl) != 0) return false;
    std::vector<std::string> open;
    bool bRoot = false;
    auto it = s.cbegin() + kDecl.size();
    for (std::smatch m; std::regex_search(it, s.cend(), m, kTag); it = m[0].second) {
        const std::string strText = m.prefix();
        if (!ValidText(strText)) return false;
        if (open.empty() && strText.find_first_not_of(" \t\r\n") != std::string::npos) return false;
        if (!m[2].matched) continue;  // a comment
        if (m[1] == "/") {
            if (open.empty() || open.back() != m[2]) return false;
            open.pop_back();
            continue;
        }
        if (open.empty() && bRoot) return false;
        bRoot = true;
        std::set<std::string> names;
        const std::string strAttributes = m[3];
        for (std::sregex_iterator a(strAttributes.begin(), strAttributes.end(), kAttribute), end;
             a != end; ++a)
            if (!ValidText((*a)[2]) || !names.insert((*a)[1]).second) return false;
        if (m[4] != "/") open.push_back(m[2]);
    }
    return open.empty() && bRoot &&
           std::string(it, s.cend()).find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string ReadPolicyFile(const std::string& strRelative) {
    std::ifstream file(std::string(TM_SOURCE_DIR) + "/policy/" + strRelative, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Group 1 of every match of strPattern in strText.
std::set<std::string> AllOf(const std::string& strText, const std::string& strPattern) {
    std::set<std::string> found;
    const std::regex pattern(strPattern);
    for (std::sregex_iterator it(strText.begin(), strText.end(), pattern), end; it != end; ++it)
        found.insert((*it)[1]);
    return found;
}

std::wstring Wide(const std::string& str) {
    return std::wstring(str.begin(), str.end());
}

class PolicyTemplatesTest : public AppletTest {
protected:
    // What a sheet run left: the five flags and whether the WMI path was used.
    std::vector<bool> RunSheet() {
        LoadModule();
        CPlApplet(nullptr, CPL_INIT, 0, 0);
        TmSimClearCallLog();
        headless::ScopedModalHandler handler([](HWND hWnd) {
            if (headless::ModalRuns().back().sheet) headless::PressCancel(hWnd);
        });
        CPlApplet(nullptr, CPL_DBLCLK, 0, 0);
        return {m_pApp->m_bDisableFirmwareUpdate != FALSE, m_pApp->m_bDisableKcfUpdate != FALSE,
                m_pApp->m_bDisableKeyLock != FALSE,        m_pApp->m_bDisableBiosUpdate != FALSE,
                m_pApp->m_bDisableUserlogoUpdate != FALSE, !CallsOf("IvroSetWmiMode").empty()};
    }

    const std::string m_admx = ReadPolicyFile("TmRoveVodore.admx");
};

TEST_F(PolicyTemplatesTest, AreWellFormedAndDefineEveryReferenceInBothLanguages) {
    EXPECT_TRUE(WellFormed(m_admx));
    for (const std::string language : {"de-DE", "en-US"}) {
        const std::string adml = ReadPolicyFile(language + "/TmRoveVodore.adml");
        EXPECT_TRUE(WellFormed(adml)) << language;
        for (const std::string kind : {"string", "presentation"})
            EXPECT_EQ(AllOf(m_admx, "\\$\\(" + kind + "\\.(\\w+)\\)"),
                      AllOf(adml, "<" + kind + " id=\"(\\w+)\""))
                << language << ": the " << kind << "s referenced, no more and no fewer";
    }
}

TEST_F(PolicyTemplatesTest, EachPolicyWritesExactlyWhatTheAppletReads) {
    struct CPolicy {
        std::string strName, strKey, strValueName;
        std::map<std::string, DWORD> values;  // "enabled", "disabled"
    };
    // <decimal> is what Group Policy writes as REG_DWORD, the type the applet takes.
    static const std::regex kPolicy("<policy\\s([^>]*)>([\\s\\S]*?)</policy>");
    static const std::regex kValue(
        "<(enabled|disabled)Value>\\s*<decimal value=\"([0-9]+)\"\\s*/>\\s*</\\1Value>");
    std::vector<CPolicy> policies;
    for (std::sregex_iterator p(m_admx.begin(), m_admx.end(), kPolicy), end; p != end; ++p) {
        const std::string strAttributes = (*p)[1], strBody = (*p)[2];
        auto attribute = [&](const std::string& strName) {
            const auto found = AllOf(strAttributes, "\\b" + strName + "=\"([^\"]*)\"");
            return found.empty() ? std::string() : *found.begin();
        };
        CPolicy policy = {attribute("name"), attribute("key"), attribute("valueName"), {}};
        for (std::sregex_iterator v(strBody.begin(), strBody.end(), kValue); v != end; ++v)
            policy.values[(*v)[1]] = std::stoul((*v)[2]);
        ASSERT_EQ(2u, policy.values.size()) << policy.strName;
        policies.push_back(policy);
    }
    ASSERT_FALSE(policies.empty());

    // The values the applet asks for: every query under HKEY_CURRENT_USER in a sheet run.
    fakeplat::CreateRegKey(HKEY_CURRENT_USER, Wide(policies[0].strKey));
    const std::vector<bool> unset = RunSheet();
    std::set<std::pair<std::wstring, std::wstring>> read, templated;
    for (const fakeplat::RegQueryCall& call : fakeplat::RegQueryCalls())
        if (call.hRoot == HKEY_CURRENT_USER) read.insert({call.strPath, call.strName});
    for (const CPolicy& policy : policies)
        templated.insert({Wide(policy.strKey), Wide(policy.strValueName)});
    EXPECT_EQ(read, templated) << "a policy for every value the applet reads, and no other";

    // Each policy, enabled, changes one thing of its own; disabled, nothing.
    std::set<size_t> effects;
    for (const CPolicy& policy : policies) {
        SCOPED_TRACE(policy.strName);
        fakeplat::DeleteRegKey(HKEY_CURRENT_USER, Wide(policy.strKey));
        fakeplat::SetRegDword(HKEY_CURRENT_USER, Wide(policy.strKey), Wide(policy.strValueName),
                              policy.values.at("enabled"));
        const std::vector<bool> enabled = RunSheet();
        size_t nChanged = 0;
        for (size_t i = 0; i < enabled.size(); ++i)
            if (enabled[i] != unset[i]) {
                ++nChanged;
                EXPECT_TRUE(effects.insert(i).second) << "effect " << i << " of another policy";
            }
        EXPECT_EQ(1u, nChanged);
        fakeplat::SetRegDword(HKEY_CURRENT_USER, Wide(policy.strKey), Wide(policy.strValueName),
                              policy.values.at("disabled"));
        EXPECT_EQ(unset, RunSheet());
    }
    EXPECT_EQ(unset.size(), effects.size()) << "every setting of the applet has its policy";
}

}  // namespace
