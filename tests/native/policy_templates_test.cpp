// The Group Policy templates in policy/: well-formed XML in the documented
// administrative-template shape, every reference resolved in both languages,
// and each policy writing exactly what the applet reads, as the applet shows
// by reading it.
#include <cpl.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "AppletTestEnv.h"

extern "C" LONG APIENTRY CPlApplet(HWND hWndCpl, UINT uMsg, LPARAM lParam1, LPARAM lParam2);

namespace {

const char kPolicyNamespace[] =
    "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions";

// ------------------------------------------------------------ a strict little XML reader

struct CXmlElement {
    std::string strName;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<CXmlElement> children;
    std::string strText;  // character data of this element, entities resolved

    const std::string* Attribute(const std::string& strKey) const {
        for (const auto& a : attributes)
            if (a.first == strKey) return &a.second;
        return nullptr;
    }
    std::string Get(const std::string& strKey) const {
        const std::string* p = Attribute(strKey);
        return p ? *p : std::string();
    }
    std::vector<const CXmlElement*> All(const std::string& strChild) const {
        std::vector<const CXmlElement*> found;
        for (const CXmlElement& c : children)
            if (c.strName == strChild) found.push_back(&c);
        return found;
    }
    const CXmlElement* First(const std::string& strChild) const {
        auto found = All(strChild);
        return found.empty() ? nullptr : found[0];
    }
};

// Well-formedness as far as these files need it: declaration, UTF-8, one
// root, matched tags, quoted unique attributes, known entities, declared
// namespace prefixes; no DTD. Any fault ends the reading with m_strError.
class CXmlReader {
public:
    explicit CXmlReader(std::string strDoc) : m_s(std::move(strDoc)) {}

    bool Read(CXmlElement& root) {
        if (!ValidUtf8()) return Fail("not UTF-8");
        if (m_s.compare(0, 3, "\xEF\xBB\xBF") == 0) m_i = 3;
        if (m_s.compare(m_i, 6, "<?xml ") != 0) return Fail("no XML declaration first");
        size_t nEnd = m_s.find("?>", m_i);
        if (nEnd == std::string::npos) return Fail("unterminated XML declaration");
        std::string strDecl = m_s.substr(m_i, nEnd - m_i);
        if (strDecl.find("version=\"1.0\"") == std::string::npos ||
            strDecl.find("encoding=\"utf-8\"") == std::string::npos)
            return Fail("declaration without version 1.0 and encoding utf-8");
        m_i = nEnd + 2;
        if (!Misc()) return false;
        if (m_i >= m_s.size() || m_s[m_i] != '<') return Fail("no root element");
        if (!Element(root, {{"xml", "http://www.w3.org/XML/1998/namespace"}})) return false;
        if (!Misc()) return false;
        return m_i == m_s.size() || Fail("content after the root element");
    }

    std::string m_strError;

private:
    using Namespaces = std::map<std::string, std::string>;

    bool Fail(const std::string& strWhy) {
        if (m_strError.empty())
            m_strError = strWhy + " (line " +
                         std::to_string(1 + std::count(m_s.begin(), m_s.begin() + m_i, '\n')) + ")";
        return false;
    }

    bool ValidUtf8() const {
        for (size_t i = 0; i < m_s.size();) {
            auto c = static_cast<unsigned char>(m_s[i]);
            size_t n = c < 0x80         ? 0
                       : (c >> 5) == 6  ? 1
                       : (c >> 4) == 14 ? 2
                       : (c >> 3) == 30 ? 3
                                        : 9;
            if (n == 9 || (c >= 0x80 && c < 0xC2) || i + n >= m_s.size()) return false;
            for (size_t k = 1; k <= n; ++k)
                if ((static_cast<unsigned char>(m_s[i + k]) >> 6) != 2) return false;
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
            i += n + 1;
        }
        return true;
    }

    static bool NameStart(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
    }
    static bool NameChar(char c) {
        return NameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }
    void Space() {
        while (m_i < m_s.size() && std::string(" \t\r\n").find(m_s[m_i]) != std::string::npos)
            ++m_i;
    }
    bool Name(std::string& strName) {
        if (m_i >= m_s.size() || !NameStart(m_s[m_i])) return Fail("a name expected");
        size_t nStart = m_i;
        while (m_i < m_s.size() && NameChar(m_s[m_i])) ++m_i;
        strName = m_s.substr(nStart, m_i - nStart);
        return true;
    }

    // Comments, processing instructions and white space between elements.
    bool Misc() {
        for (;;) {
            Space();
            if (m_s.compare(m_i, 4, "<!--") == 0) {
                if (!Comment()) return false;
            } else if (m_s.compare(m_i, 2, "<?") == 0) {
                size_t nEnd = m_s.find("?>", m_i);
                if (nEnd == std::string::npos) return Fail("unterminated processing instruction");
                m_i = nEnd + 2;
            } else if (m_s.compare(m_i, 2, "<!") == 0) {
                return Fail("a document type declaration");
            } else {
                return true;
            }
        }
    }
    bool Comment() {
        size_t nEnd = m_s.find("--", m_i + 4);
        if (nEnd == std::string::npos || m_s.compare(nEnd, 3, "-->") != 0)
            return Fail("a comment with \"--\" or without its end");
        m_i = nEnd + 3;
        return true;
    }

    // Character data up to the next '<', with entities resolved.
    bool CharData(const std::string& strStop, std::string& strOut) {
        while (m_i < m_s.size() && strStop.find(m_s[m_i]) == std::string::npos) {
            char c = m_s[m_i];
            if (c == '<') return Fail("'<' in an attribute value");
            if (c == '>' && m_i >= 2 && m_s.compare(m_i - 2, 3, "]]>") == 0)
                return Fail("\"]]>\" in text");
            if (c != '&') {
                strOut += c;
                ++m_i;
                continue;
            }
            size_t nEnd = m_s.find(';', m_i);
            if (nEnd == std::string::npos || nEnd - m_i > 10) return Fail("a bare '&'");
            std::string strRef = m_s.substr(m_i + 1, nEnd - m_i - 1);
            static const std::map<std::string, char> kEntities = {
                {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
            auto it = kEntities.find(strRef);
            if (it != kEntities.end()) {
                strOut += it->second;
            } else if (strRef.size() > 1 && strRef[0] == '#') {
                bool bHex = strRef[1] == 'x';
                std::string strDigits = strRef.substr(bHex ? 2 : 1);
                if (strDigits.empty() ||
                    strDigits.find_first_not_of(bHex ? "0123456789abcdefABCDEF" : "0123456789") !=
                        std::string::npos)
                    return Fail("a bad character reference");
                strOut += '?';  // the code point itself matters to nobody here
            } else {
                return Fail("unknown entity &" + strRef + ";");
            }
            m_i = nEnd + 1;
        }
        return true;
    }

    static std::string Prefix(const std::string& strName) {
        size_t n = strName.find(':');
        return n == std::string::npos ? std::string() : strName.substr(0, n);
    }

    bool Element(CXmlElement& element, Namespaces namespaces) {
        ++m_i;  // '<'
        if (!Name(element.strName)) return false;
        std::set<std::string> seen;
        for (;;) {
            size_t nBefore = m_i;
            Space();
            if (m_s.compare(m_i, 2, "/>") == 0 || m_s.compare(m_i, 1, ">") == 0) break;
            if (m_i == nBefore) return Fail("no space before an attribute");
            std::string strKey, strValue;
            if (!Name(strKey)) return false;
            Space();
            if (m_s.compare(m_i, 1, "=") != 0) return Fail("'=' expected after " + strKey);
            ++m_i;
            Space();
            if (m_i >= m_s.size() || (m_s[m_i] != '"' && m_s[m_i] != '\''))
                return Fail("unquoted value of " + strKey);
            const char quote = m_s[m_i++];
            if (!CharData(std::string(1, quote), strValue)) return false;
            if (m_i >= m_s.size()) return Fail("unterminated value of " + strKey);
            ++m_i;
            if (!seen.insert(strKey).second) return Fail("attribute " + strKey + " twice");
            element.attributes.emplace_back(strKey, strValue);
            if (strKey == "xmlns") namespaces[""] = strValue;
            if (Prefix(strKey) == "xmlns") namespaces[strKey.substr(6)] = strValue;
        }
        for (const auto& a : element.attributes)
            if (!Prefix(a.first).empty() && Prefix(a.first) != "xmlns" &&
                !namespaces.count(Prefix(a.first)))
                return Fail("undeclared prefix of " + a.first);
        if (!Prefix(element.strName).empty() && !namespaces.count(Prefix(element.strName)))
            return Fail("undeclared namespace of " + element.strName);
        if (m_s.compare(m_i, 2, "/>") == 0) {
            m_i += 2;
            return true;
        }
        ++m_i;  // '>'
        for (;;) {
            if (!CharData("<", element.strText)) return false;
            if (m_i >= m_s.size()) return Fail("unclosed <" + element.strName + ">");
            if (m_s.compare(m_i, 2, "</") == 0) {
                m_i += 2;
                std::string strEnd;
                if (!Name(strEnd)) return false;
                Space();
                if (strEnd != element.strName || m_s.compare(m_i, 1, ">") != 0)
                    return Fail("</" + strEnd + "> closes <" + element.strName + ">");
                ++m_i;
                return true;
            }
            if (m_s.compare(m_i, 4, "<!--") == 0) {
                if (!Comment()) return false;
            } else if (m_s.compare(m_i, 9, "<![CDATA[") == 0) {
                size_t nEnd = m_s.find("]]>", m_i);
                if (nEnd == std::string::npos) return Fail("unterminated CDATA");
                element.strText += m_s.substr(m_i + 9, nEnd - m_i - 9);
                m_i = nEnd + 3;
            } else if (m_s.compare(m_i, 2, "<?") == 0 || m_s.compare(m_i, 2, "<!") == 0) {
                if (!Misc()) return false;
            } else {
                element.children.emplace_back();
                if (!Element(element.children.back(), namespaces)) return false;
            }
        }
    }

    std::string m_s;
    size_t m_i = 0;
};

std::string ReadFile(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool ParseXml(const std::string& strDoc, CXmlElement& root, std::string& strError) {
    CXmlReader reader(strDoc);
    bool bRead = reader.Read(root);
    strError = reader.m_strError;
    return bRead;
}

bool Parse(const std::string& strRelative, CXmlElement& root) {
    std::string strDoc = ReadFile(std::string(TM_SOURCE_DIR) + "/policy/" + strRelative);
    std::string strError;
    bool bRead = !strDoc.empty() && ParseXml(strDoc, root, strError);
    EXPECT_TRUE(bRead) << strRelative << ": " << (strDoc.empty() ? "missing" : strError);
    return bRead;
}

// "$(string.Id)" -> "Id" for the kind "string"; "" when it is no such reference.
std::string Reference(const std::string& strValue, const std::string& strKind) {
    const std::string strHead = "$(" + strKind + ".";
    if (strValue.compare(0, strHead.size(), strHead) != 0 || strValue.back() != ')') return "";
    return strValue.substr(strHead.size(), strValue.size() - strHead.size() - 1);
}

// Every reference of a kind in the attributes of the tree.
void CollectReferences(const CXmlElement& element, const std::string& strKind,
                       std::set<std::string>& ids) {
    for (const auto& a : element.attributes)
        if (a.second.compare(0, 2 + strKind.size() + 1, "$(" + strKind + ".") == 0) {
            std::string strId = Reference(a.second, strKind);
            EXPECT_FALSE(strId.empty()) << "malformed reference " << a.second;
            ids.insert(strId);
        }
    for (const CXmlElement& c : element.children) CollectReferences(c, strKind, ids);
}

bool IsRevision(const std::string& strValue) {
    size_t nDot = strValue.find('.');
    return nDot != std::string::npos && nDot > 0 && nDot + 1 < strValue.size() &&
           strValue.find_first_not_of("0123456789.") == std::string::npos &&
           strValue.find('.', nDot + 1) == std::string::npos;
}

// The one decimal value under enabledValue or disabledValue; -1 if it is not that.
long DecimalOf(const CXmlElement& policy, const std::string& strWhich) {
    const CXmlElement* pValue = policy.First(strWhich);
    if (!pValue || pValue->children.size() != 1 || pValue->children[0].strName != "decimal")
        return -1;
    const std::string strNumber = pValue->children[0].Get("value");
    if (strNumber.empty() || strNumber.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stol(strNumber);
}

struct CPolicy {
    std::string strName, strKey, strValueName;
    DWORD dwEnabled, dwDisabled;
};

std::wstring Wide(const std::string& strAscii) {
    return std::wstring(strAscii.begin(), strAscii.end());
}

std::string Upper(std::string str) {
    for (char& c : str)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return str;
}

TEST(PolicyXmlTest, TheReaderRefusesWhatIsNotWellFormed) {
    const char kDecl[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    const struct {
        std::string strDoc;
        const char* pszWhy;
    } kBad[] = {
        {"<a/>", "no XML declaration"},
        {kDecl + std::string("<a><b></a></b>"), "</a> closes <b>"},
        {kDecl + std::string("<a x=1/>"), "unquoted value of x"},
        {kDecl + std::string("<a x=\"1\" x=\"2\"/>"), "attribute x twice"},
        {kDecl + std::string("<a x=\"<\"/>"), "'<' in an attribute"},
        {kDecl + std::string("<a>&nbsp;</a>"), "unknown entity"},
        {kDecl + std::string("<a>R&D</a>"), "a bare '&'"},
        {kDecl + std::string("<a/><b/>"), "content after the root"},
        {kDecl + std::string("<a><!-- x -- y --></a>"), "a comment with"},
        {kDecl + std::string("<p:a/>"), "undeclared namespace of p:a"},
        {kDecl + std::string("<a>Gr\xFC\xDF"
                             "e</a>"),
         "not UTF-8"},  // Latin-1
        {kDecl + std::string("<a>"), "unclosed <a>"},
        {kDecl + std::string("<!DOCTYPE a><a/>"), "a document type declaration"},
    };
    for (const auto& bad : kBad) {
        CXmlElement root;
        std::string strError;
        EXPECT_FALSE(ParseXml(bad.strDoc, root, strError)) << bad.strDoc;
        EXPECT_NE(std::string::npos, strError.find(bad.pszWhy)) << bad.strDoc << ": " << strError;
    }
    CXmlElement root;
    std::string strError;
    ASSERT_TRUE(
        ParseXml("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- c -->\n"
                 "<p:a xmlns:p=\"u\" k='v &amp; w'><b>Gr\xC3\xBC&#223;e</b><c/></p:a>\n",
                 root, strError))
        << strError;
    EXPECT_EQ("v & w", root.Get("k"));
    ASSERT_EQ(2u, root.children.size());
}

// ------------------------------------------------------------ the templates

class PolicyTemplatesTest : public AppletTest {
protected:
    void SetUp() override {
        AppletTest::SetUp();
        m_bParsed = Parse("TmRoveVodore.admx", m_admx) &&
                    Parse("de-DE/TmRoveVodore.adml", m_languages["de-DE"]) &&
                    Parse("en-US/TmRoveVodore.adml", m_languages["en-US"]);
    }

    std::vector<CPolicy> Policies() const {
        std::vector<CPolicy> policies;
        const CXmlElement* pPolicies = m_admx.First("policies");
        if (!pPolicies) return policies;
        for (const CXmlElement* p : pPolicies->All("policy"))
            policies.push_back({p->Get("name"), p->Get("key"), p->Get("valueName"),
                                static_cast<DWORD>(DecimalOf(*p, "enabledValue")),
                                static_cast<DWORD>(DecimalOf(*p, "disabledValue"))});
        return policies;
    }

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

    bool m_bParsed = false;
    CXmlElement m_admx;
    std::map<std::string, CXmlElement> m_languages;
};

TEST_F(PolicyTemplatesTest, FollowTheTemplateSchemaAndDefineEveryReference) {
    ASSERT_TRUE(m_bParsed);
    EXPECT_EQ("policyDefinitions", m_admx.strName);
    EXPECT_EQ(kPolicyNamespace, m_admx.Get("xmlns"));
    EXPECT_TRUE(IsRevision(m_admx.Get("revision")) && IsRevision(m_admx.Get("schemaVersion")));
    const CXmlElement* pNamespaces = m_admx.First("policyNamespaces");
    const CXmlElement* pTarget = pNamespaces ? pNamespaces->First("target") : nullptr;
    ASSERT_NE(nullptr, pTarget);
    EXPECT_FALSE(pTarget->Get("prefix").empty() || pTarget->Get("namespace").empty());
    const CXmlElement* pResources = m_admx.First("resources");
    ASSERT_NE(nullptr, pResources);
    const std::string strMinRevision = pResources->Get("minRequiredRevision");
    EXPECT_TRUE(IsRevision(strMinRevision));

    // Local definitions only: a policy's references must resolve in this file.
    std::set<std::string> supported, categories;
    const CXmlElement* pSupported = m_admx.First("supportedOn");
    if (pSupported && pSupported->First("definitions"))
        for (const CXmlElement* d : pSupported->First("definitions")->All("definition"))
            supported.insert(d->Get("name"));
    if (m_admx.First("categories"))
        for (const CXmlElement* c : m_admx.First("categories")->All("category")) {
            categories.insert(c->Get("name"));
            EXPECT_EQ(nullptr, c->First("parentCategory")) << "a category of its own, at the top";
        }
    EXPECT_EQ(1u, categories.size());

    std::set<std::string> names;
    const std::vector<CPolicy> policies = Policies();
    ASSERT_FALSE(policies.empty());
    for (const CXmlElement* p : m_admx.First("policies")->All("policy")) {
        SCOPED_TRACE(p->Get("name"));
        EXPECT_TRUE(names.insert(p->Get("name")).second) << "policy names are unique";
        EXPECT_EQ("User", p->Get("class"));
        EXPECT_FALSE(Reference(p->Get("displayName"), "string").empty());
        EXPECT_FALSE(Reference(p->Get("explainText"), "string").empty());
        ASSERT_FALSE(p->children.empty());
        EXPECT_EQ("parentCategory", p->children[0].strName) << "parentCategory comes first";
        EXPECT_TRUE(categories.count(p->First("parentCategory")->Get("ref")));
        ASSERT_NE(nullptr, p->First("supportedOn"));
        EXPECT_TRUE(supported.count(p->First("supportedOn")->Get("ref")));
        EXPECT_EQ(1, DecimalOf(*p, "enabledValue"));
        EXPECT_EQ(0, DecimalOf(*p, "disabledValue"));
    }

    std::set<std::string> strings, presentations;
    CollectReferences(m_admx, "string", strings);
    CollectReferences(m_admx, "presentation", presentations);
    for (const auto& language : m_languages) {
        SCOPED_TRACE(language.first);
        const CXmlElement& adml = language.second;
        EXPECT_EQ("policyDefinitionResources", adml.strName);
        EXPECT_EQ(kPolicyNamespace, adml.Get("xmlns"));
        EXPECT_TRUE(IsRevision(adml.Get("revision")) && IsRevision(adml.Get("schemaVersion")));
        EXPECT_GE(std::stod(adml.Get("revision")), std::stod(strMinRevision));
        EXPECT_NE(nullptr, adml.First("displayName"));
        EXPECT_NE(nullptr, adml.First("description"));
        const CXmlElement* pTables = adml.First("resources");
        ASSERT_NE(nullptr, pTables);
        std::set<std::string> defined, definedPresentations;
        if (const CXmlElement* pTable = pTables->First("stringTable"))
            for (const CXmlElement* s : pTable->All("string")) {
                EXPECT_TRUE(defined.insert(s->Get("id")).second) << "string " << s->Get("id");
                EXPECT_FALSE(s->strText.empty()) << "string " << s->Get("id");
            }
        if (const CXmlElement* pTable = pTables->First("presentationTable"))
            for (const CXmlElement* s : pTable->All("presentation"))
                definedPresentations.insert(s->Get("id"));
        EXPECT_EQ(strings, defined) << "the strings referenced, no more and no fewer";
        EXPECT_EQ(presentations, definedPresentations);
    }
}

TEST_F(PolicyTemplatesTest, EachPolicyWritesExactlyWhatTheAppletReads) {
    ASSERT_TRUE(m_bParsed);
    const std::vector<CPolicy> policies = Policies();
    ASSERT_FALSE(policies.empty());
    for (const CXmlElement* p : m_admx.First("policies")->All("policy")) {
        // <decimal> is what Group Policy writes as REG_DWORD, the type the applet takes.
        EXPECT_EQ("decimal", p->First("enabledValue")->children[0].strName);
    }

    // The values the applet asks for: every query under HKEY_CURRENT_USER in a sheet run.
    fakeplat::CreateRegKey(HKEY_CURRENT_USER, Wide(policies[0].strKey));
    const std::vector<bool> unset = RunSheet();
    std::set<std::pair<std::string, std::string>> read, templated;
    for (const fakeplat::RegQueryCall& call : fakeplat::RegQueryCalls())
        if (call.hRoot == HKEY_CURRENT_USER)
            read.insert({Upper(std::string(call.strPath.begin(), call.strPath.end())),
                         std::string(call.strName.begin(), call.strName.end())});
    for (const CPolicy& policy : policies)
        templated.insert({Upper(policy.strKey), policy.strValueName});
    EXPECT_EQ(read, templated) << "a policy for every value the applet reads, and no other";

    // Each policy, enabled, changes one thing of its own; disabled, nothing.
    std::set<size_t> effects;
    for (const CPolicy& policy : policies) {
        SCOPED_TRACE(policy.strName);
        fakeplat::DeleteRegKey(HKEY_CURRENT_USER, Wide(policy.strKey));
        fakeplat::SetRegDword(HKEY_CURRENT_USER, Wide(policy.strKey), Wide(policy.strValueName),
                              policy.dwEnabled);
        const std::vector<bool> enabled = RunSheet();
        size_t nChanged = 0;
        for (size_t i = 0; i < enabled.size(); ++i)
            if (enabled[i] != unset[i]) {
                ++nChanged;
                EXPECT_TRUE(effects.insert(i).second) << "effect " << i << " of another policy";
            }
        EXPECT_EQ(1u, nChanged);
        fakeplat::SetRegDword(HKEY_CURRENT_USER, Wide(policy.strKey), Wide(policy.strValueName),
                              policy.dwDisabled);
        EXPECT_EQ(unset, RunSheet());
    }
    EXPECT_EQ(unset.size(), effects.size()) << "every setting of the applet has its policy";
}

}  // namespace
