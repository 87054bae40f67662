// The Group Policy templates in policy/: well-formed XML, every reference
// resolved in both languages, and each policy writing exactly what the
// applet reads, as the applet shows by reading it.
#include <cpl.h>

#include <algorithm>
#include <cstdlib>
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

// Well-formed XML in its declared encoding, as a real parser sees it.
bool WellFormed(const std::string& strRelative) {
    const std::string command = std::string("'") + TM_XMLLINT + "' --noout '" + TM_SOURCE_DIR +
                                "/policy/" + strRelative + "'";
    return std::system(command.c_str()) == 0;
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
    EXPECT_TRUE(WellFormed("TmRoveVodore.admx"));
    for (const std::string language : {"de-DE", "en-US"}) {
        const std::string adml = ReadPolicyFile(language + "/TmRoveVodore.adml");
        EXPECT_TRUE(WellFormed(language + "/TmRoveVodore.adml"));
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
