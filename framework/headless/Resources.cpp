// The resource script as the module's resources: string table, dialog
// templates, icons and bitmaps, read from the .rc and its resource.h. Only the
// subset the project writes is accepted; anything else fails loudly with
// file:line, as the resource compiler would.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace headless::detail {
namespace {

#ifdef TM_RC_PATH
const char* const kDefaultScript = TM_RC_PATH;
#else
const char* const kDefaultScript = "";
#endif

struct ImageResource {
    int id = 0;
    std::string file;
};

struct ResourceSet {
    std::string path;
    std::map<UINT, std::wstring> strings;
    std::map<int, DialogTemplate> dialogs;
    std::map<std::wstring, DialogTemplate> namedDialogs;
    std::map<int, std::string> icons;
    std::map<int, std::string> bitmaps;
    std::map<std::wstring, ImageResource> namedIcons;
    std::map<std::wstring, ImageResource> namedBitmaps;
};

std::map<std::string, std::unique_ptr<ResourceSet>>& Cache() {
    static std::map<std::string, std::unique_ptr<ResourceSet>> cache;
    return cache;
}

std::string& CurrentPath() {
    static std::string path = kDefaultScript;
    return path;
}

// ---------------------------------------------------------------- text helpers

std::wstring FromUtf8(const std::string& s) {
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= s.size() + (extra ? 0 : 1)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        unsigned long cp = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + static_cast<size_t>(k)]) & 0x3F);
        out += static_cast<wchar_t>(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::wstring Upper(const std::string& s) {
    std::wstring out;
    for (char c : s) out += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::wstring Upper(std::wstring s) {
    for (auto& c : s)
        if (c < 128) c = static_cast<wchar_t>(std::toupper(static_cast<int>(c)));
    return s;
}

// ---------------------------------------------------------------- lexer

enum class Tok { Ident, Number, String, Punct };

struct Token {
    Tok kind;
    std::string text;  // identifier, punctuation, or the decoded UTF-8 string
    long value = 0;
};

class Parser {
public:
    explicit Parser(ResourceSet& rs) : m_rs(rs) {}

    void ParseScript(const std::string& path);

private:
    [[noreturn]] void Fail(const std::string& msg) const {
        throw std::runtime_error(m_strFile + ":" + std::to_string(m_nLine) + ": " + msg);
    }

    std::vector<Token> Lex(const std::string& line);
    bool NextStatement(std::vector<Token>* toks);
    void ReadHeader(const std::string& path);
    long Eval(const std::vector<Token>& t, size_t* pos, long base = 0);
    long Primary(const std::vector<Token>& t, size_t* pos);
    long Symbol(const std::string& name);
    void Expect(const std::vector<Token>& t, size_t* pos, const char* punct);
    std::string StringAt(const std::vector<Token>& t, size_t* pos);
    bool ResolveName(const Token& tok, int* id);
    void StringTable();
    void Dialog(const std::vector<Token>& head);
    void SkipBlock();
    void ExpectKeyword(const char* word);

    ResourceSet& m_rs;
    std::string m_strFile;
    std::string m_strDir;
    std::vector<std::string> m_lines;
    size_t m_nNext = 0;
    int m_nLine = 0;
    std::map<std::string, std::string> m_defines;  // from resource.h, evaluated lazily
    std::map<std::string, bool> m_evaluating;
};

std::vector<Token> Parser::Lex(const std::string& line) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else if (c == '"') {
            std::string s;
            ++i;
            for (;;) {
                if (i >= line.size()) Fail("unterminated string");
                char d = line[i++];
                if (d == '"') {
                    if (i < line.size() && line[i] == '"') {
                        s += '"';
                        ++i;
                        continue;
                    }
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size()) Fail("unterminated string");
                    char e = line[i++];
                    switch (e) {
                        case 'n':
                            s += '\n';
                            break;
                        case 't':
                            s += '\t';
                            break;
                        case 'r':
                            s += '\r';
                            break;
                        case '\\':
                            s += '\\';
                            break;
                        case '"':
                            s += '"';
                            break;
                        default:
                            Fail(std::string("unsupported escape \\") + e);
                    }
                    continue;
                }
                s += d;
            }
            out.push_back(Token{Tok::String, s, 0});
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t j = i;
            while (j < line.size() && std::isalnum(static_cast<unsigned char>(line[j]))) ++j;
            std::string num = line.substr(i, j - i);
            while (!num.empty() && (num.back() == 'L' || num.back() == 'l' || num.back() == 'U' ||
                                    num.back() == 'u'))
                num.pop_back();
            char* end = nullptr;
            unsigned long v = std::strtoul(num.c_str(), &end, 0);
            if (num.empty() || *end) Fail("bad number '" + line.substr(i, j - i) + "'");
            out.push_back(Token{Tok::Number, num, static_cast<long>(static_cast<int32_t>(v))});
            i = j;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '#') {
            size_t j = i + 1;
            while (j < line.size() &&
                   (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '_'))
                ++j;
            out.push_back(Token{Tok::Ident, line.substr(i, j - i), 0});
            i = j;
        } else if (std::string(",|()-+<>.").find(c) != std::string::npos) {
            out.push_back(Token{Tok::Punct, std::string(1, c), 0});
            ++i;
        } else {
            Fail(std::string("unexpected character '") + c + "'");
        }
    }
    return out;
}

// Next non-empty statement; a line ending in ',' or '|' continues on the next.
bool Parser::NextStatement(std::vector<Token>* toks) {
    toks->clear();
    while (m_nNext < m_lines.size()) {
        const std::string& raw = m_lines[m_nNext++];
        if (toks->empty()) m_nLine = static_cast<int>(m_nNext);
        std::vector<Token> t = Lex(raw);
        toks->insert(toks->end(), t.begin(), t.end());
        if (toks->empty()) continue;
        const Token& last = toks->back();
        if (last.kind == Tok::Punct && (last.text == "," || last.text == "|")) continue;
        return true;
    }
    if (!toks->empty()) Fail("statement continues past the end of the file");
    return false;
}

void Parser::ReadHeader(const std::string& path) {
    std::ifstream in(path);
    if (!in) Fail("cannot open included header " + path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string directive, name;
        ls >> directive >> name;
        if (directive != "#define" || name.empty() || name.find('(') != std::string::npos) continue;
        std::string rest;
        std::getline(ls, rest);
        if (auto c = rest.find("//"); c != std::string::npos) rest.erase(c);
        m_defines[name] = rest;
    }
}

const std::map<std::string, long>& Builtins() {
#define TM_SYM(x) \
    { #x, static_cast < long>(static_cast <int32_t>(x)) }
    static const std::map<std::string, long> table = {
        TM_SYM(WS_OVERLAPPED),
        TM_SYM(WS_POPUP),
        TM_SYM(WS_CHILD),
        TM_SYM(WS_MINIMIZE),
        TM_SYM(WS_VISIBLE),
        TM_SYM(WS_DISABLED),
        TM_SYM(WS_CLIPSIBLINGS),
        TM_SYM(WS_CLIPCHILDREN),
        TM_SYM(WS_MAXIMIZE),
        TM_SYM(WS_CAPTION),
        TM_SYM(WS_BORDER),
        TM_SYM(WS_DLGFRAME),
        TM_SYM(WS_VSCROLL),
        TM_SYM(WS_HSCROLL),
        TM_SYM(WS_SYSMENU),
        TM_SYM(WS_THICKFRAME),
        TM_SYM(WS_GROUP),
        TM_SYM(WS_TABSTOP),
        TM_SYM(WS_MINIMIZEBOX),
        TM_SYM(WS_MAXIMIZEBOX),
        TM_SYM(WS_POPUPWINDOW),
        TM_SYM(WS_OVERLAPPEDWINDOW),
        TM_SYM(WS_EX_DLGMODALFRAME),
        TM_SYM(WS_EX_NOPARENTNOTIFY),
        TM_SYM(WS_EX_TOPMOST),
        TM_SYM(WS_EX_TRANSPARENT),
        TM_SYM(WS_EX_TOOLWINDOW),
        TM_SYM(WS_EX_WINDOWEDGE),
        TM_SYM(WS_EX_CLIENTEDGE),
        TM_SYM(WS_EX_CONTEXTHELP),
        TM_SYM(WS_EX_RIGHT),
        TM_SYM(WS_EX_CONTROLPARENT),
        TM_SYM(WS_EX_STATICEDGE),
        TM_SYM(WS_EX_APPWINDOW),
        TM_SYM(DS_ABSALIGN),
        TM_SYM(DS_SYSMODAL),
        TM_SYM(DS_3DLOOK),
        TM_SYM(DS_FIXEDSYS),
        TM_SYM(DS_NOFAILCREATE),
        TM_SYM(DS_LOCALEDIT),
        TM_SYM(DS_SETFONT),
        TM_SYM(DS_MODALFRAME),
        TM_SYM(DS_NOIDLEMSG),
        TM_SYM(DS_SETFOREGROUND),
        TM_SYM(DS_CONTROL),
        TM_SYM(DS_CENTER),
        TM_SYM(DS_CENTERMOUSE),
        TM_SYM(DS_CONTEXTHELP),
        TM_SYM(DS_SHELLFONT),
        TM_SYM(SS_LEFT),
        TM_SYM(SS_CENTER),
        TM_SYM(SS_RIGHT),
        TM_SYM(SS_ICON),
        TM_SYM(SS_BLACKRECT),
        TM_SYM(SS_GRAYRECT),
        TM_SYM(SS_WHITERECT),
        TM_SYM(SS_BLACKFRAME),
        TM_SYM(SS_GRAYFRAME),
        TM_SYM(SS_WHITEFRAME),
        TM_SYM(SS_SIMPLE),
        TM_SYM(SS_LEFTNOWORDWRAP),
        TM_SYM(SS_OWNERDRAW),
        TM_SYM(SS_BITMAP),
        TM_SYM(SS_ETCHEDHORZ),
        TM_SYM(SS_ETCHEDVERT),
        TM_SYM(SS_ETCHEDFRAME),
        TM_SYM(SS_REALSIZECONTROL),
        TM_SYM(SS_NOPREFIX),
        TM_SYM(SS_NOTIFY),
        TM_SYM(SS_CENTERIMAGE),
        TM_SYM(SS_RIGHTJUST),
        TM_SYM(SS_REALSIZEIMAGE),
        TM_SYM(SS_SUNKEN),
        TM_SYM(SS_EDITCONTROL),
        TM_SYM(SS_ENDELLIPSIS),
        TM_SYM(SS_PATHELLIPSIS),
        TM_SYM(SS_WORDELLIPSIS),
        TM_SYM(ES_LEFT),
        TM_SYM(ES_CENTER),
        TM_SYM(ES_RIGHT),
        TM_SYM(ES_MULTILINE),
        TM_SYM(ES_UPPERCASE),
        TM_SYM(ES_LOWERCASE),
        TM_SYM(ES_PASSWORD),
        TM_SYM(ES_AUTOVSCROLL),
        TM_SYM(ES_AUTOHSCROLL),
        TM_SYM(ES_NOHIDESEL),
        TM_SYM(ES_OEMCONVERT),
        TM_SYM(ES_READONLY),
        TM_SYM(ES_WANTRETURN),
        TM_SYM(ES_NUMBER),
        TM_SYM(BS_PUSHBUTTON),
        TM_SYM(BS_DEFPUSHBUTTON),
        TM_SYM(BS_CHECKBOX),
        TM_SYM(BS_AUTOCHECKBOX),
        TM_SYM(BS_RADIOBUTTON),
        TM_SYM(BS_3STATE),
        TM_SYM(BS_AUTO3STATE),
        TM_SYM(BS_GROUPBOX),
        TM_SYM(BS_AUTORADIOBUTTON),
        TM_SYM(BS_OWNERDRAW),
        TM_SYM(BS_LEFTTEXT),
        TM_SYM(BS_TEXT),
        TM_SYM(BS_ICON),
        TM_SYM(BS_BITMAP),
        TM_SYM(BS_LEFT),
        TM_SYM(BS_RIGHT),
        TM_SYM(BS_CENTER),
        TM_SYM(BS_TOP),
        TM_SYM(BS_BOTTOM),
        TM_SYM(BS_VCENTER),
        TM_SYM(BS_PUSHLIKE),
        TM_SYM(BS_MULTILINE),
        TM_SYM(BS_NOTIFY),
        TM_SYM(BS_FLAT),
        TM_SYM(TBS_AUTOTICKS),
        TM_SYM(TBS_VERT),
        TM_SYM(TBS_HORZ),
        TM_SYM(TBS_TOP),
        TM_SYM(TBS_BOTTOM),
        TM_SYM(TBS_LEFT),
        TM_SYM(TBS_RIGHT),
        TM_SYM(TBS_BOTH),
        TM_SYM(TBS_NOTICKS),
        TM_SYM(TBS_ENABLESELRANGE),
        TM_SYM(TBS_FIXEDLENGTH),
        TM_SYM(TBS_NOTHUMB),
        TM_SYM(TBS_TOOLTIPS),
        TM_SYM(TBS_REVERSED),
        TM_SYM(TBS_DOWNISLEFT),
        TM_SYM(PBS_SMOOTH),
        TM_SYM(PBS_VERTICAL),
        TM_SYM(PBS_MARQUEE),
        TM_SYM(CBS_SIMPLE),
        TM_SYM(CBS_DROPDOWN),
        TM_SYM(CBS_DROPDOWNLIST),
        TM_SYM(CBS_OWNERDRAWFIXED),
        TM_SYM(CBS_OWNERDRAWVARIABLE),
        TM_SYM(CBS_AUTOHSCROLL),
        TM_SYM(CBS_OEMCONVERT),
        TM_SYM(CBS_SORT),
        TM_SYM(CBS_HASSTRINGS),
        TM_SYM(CBS_NOINTEGRALHEIGHT),
        TM_SYM(CBS_DISABLENOSCROLL),
        TM_SYM(CBS_UPPERCASE),
        TM_SYM(CBS_LOWERCASE),
        TM_SYM(IDOK),
        TM_SYM(IDCANCEL),
        TM_SYM(IDABORT),
        TM_SYM(IDRETRY),
        TM_SYM(IDIGNORE),
        TM_SYM(IDYES),
        TM_SYM(IDNO),
        TM_SYM(IDCLOSE),
        TM_SYM(IDHELP),
        TM_SYM(IDC_STATIC),
        {"RT_MANIFEST", 24},
        {"VS_VERSION_INFO", 1},
    };
#undef TM_SYM
    return table;
}

long Parser::Symbol(const std::string& name) {
    auto d = m_defines.find(name);
    if (d != m_defines.end()) {
        if (m_evaluating[name]) Fail("recursive definition of " + name);
        m_evaluating[name] = true;
        std::vector<Token> t = Lex(d->second);
        size_t pos = 0;
        if (t.empty()) Fail("empty definition of " + name);
        long v = Eval(t, &pos);
        m_evaluating[name] = false;
        return v;
    }
    auto b = Builtins().find(name);
    if (b == Builtins().end()) Fail("unknown symbol " + name);
    return b->second;
}

long Parser::Primary(const std::vector<Token>& t, size_t* pos) {
    if (*pos >= t.size()) Fail("expression expected");
    const Token& tok = t[(*pos)++];
    if (tok.kind == Tok::Number) return tok.value;
    if (tok.kind == Tok::Ident) return Symbol(tok.text);
    if (tok.kind == Tok::Punct && tok.text == "-") return -Primary(t, pos);
    if (tok.kind == Tok::Punct && tok.text == "(") {
        long v = Eval(t, pos);
        Expect(t, pos, ")");
        return v;
    }
    Fail("unexpected '" + tok.text + "' in expression");
}

// a | b | NOT c ...: bits or'ed into (or, with NOT, cleared from) base.
long Parser::Eval(const std::vector<Token>& t, size_t* pos, long base) {
    long acc = base;
    for (;;) {
        bool negate = false;
        if (*pos < t.size() && t[*pos].kind == Tok::Ident && t[*pos].text == "NOT") {
            negate = true;
            ++*pos;
        }
        long v = Primary(t, pos);
        while (*pos < t.size() && t[*pos].kind == Tok::Punct && t[*pos].text == "+") {
            ++*pos;
            v += Primary(t, pos);
        }
        acc = negate ? (acc & ~v) : (acc | v);
        if (*pos < t.size() && t[*pos].kind == Tok::Punct && t[*pos].text == "|") {
            ++*pos;
            continue;
        }
        return acc;
    }
}

void Parser::Expect(const std::vector<Token>& t, size_t* pos, const char* punct) {
    if (*pos >= t.size() || t[*pos].kind != Tok::Punct || t[*pos].text != punct)
        Fail(std::string("'") + punct + "' expected");
    ++*pos;
}

std::string Parser::StringAt(const std::vector<Token>& t, size_t* pos) {
    if (*pos >= t.size() || t[*pos].kind != Tok::String) Fail("string expected");
    return t[(*pos)++].text;
}

bool Parser::ResolveName(const Token& tok, int* id) {
    if (tok.kind == Tok::Number) {
        *id = static_cast<int>(tok.value);
        return true;
    }
    if (m_defines.count(tok.text) || Builtins().count(tok.text)) {
        *id = static_cast<int>(Symbol(tok.text));
        return true;
    }
    return false;
}

void Parser::ExpectKeyword(const char* word) {
    std::vector<Token> t;
    if (!NextStatement(&t) || t.size() != 1 || t[0].text != word)
        Fail(std::string(word) + " expected");
}

void Parser::StringTable() {
    ExpectKeyword("BEGIN");
    std::vector<Token> t;
    for (;;) {
        if (!NextStatement(&t)) Fail("END of STRINGTABLE missing");
        if (t.size() == 1 && t[0].kind == Tok::Ident && t[0].text == "END") return;
        size_t pos = 0;
        long id = Primary(t, &pos);
        if (pos < t.size() && t[pos].kind == Tok::Punct && t[pos].text == ",") ++pos;
        std::string text = StringAt(t, &pos);
        if (pos != t.size()) Fail("unexpected text after string");
        if (id < 0 || id > 0xFFFF) Fail("string id out of range");
        if (!m_rs.strings.emplace(static_cast<UINT>(id), FromUtf8(text)).second)
            Fail("duplicate string id " + std::to_string(id));
    }
}

void Parser::Dialog(const std::vector<Token>& head) {
    DialogTemplate d;
    size_t pos = 2;
    d.x = static_cast<int>(Eval(head, &pos));
    Expect(head, &pos, ",");
    d.y = static_cast<int>(Eval(head, &pos));
    Expect(head, &pos, ",");
    d.cx = static_cast<int>(Eval(head, &pos));
    Expect(head, &pos, ",");
    d.cy = static_cast<int>(Eval(head, &pos));
    if (pos != head.size()) Fail("unexpected text after the dialog size");
    d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    bool caption = false;
    bool font = false;
    std::vector<Token> t;
    for (;;) {
        if (!NextStatement(&t)) Fail("BEGIN of dialog missing");
        const std::string& kw = t[0].text;
        pos = 1;
        if (kw == "BEGIN" && t.size() == 1) break;
        if (kw == "STYLE") {
            d.style = static_cast<DWORD>(Eval(t, &pos));
        } else if (kw == "EXSTYLE") {
            d.exStyle = static_cast<DWORD>(Eval(t, &pos));
        } else if (kw == "CAPTION") {
            d.caption = FromUtf8(StringAt(t, &pos));
            caption = true;
        } else if (kw == "FONT") {
            Eval(t, &pos);
            Expect(t, &pos, ",");
            StringAt(t, &pos);
            while (pos < t.size()) {
                Expect(t, &pos, ",");
                Eval(t, &pos);
            }
            font = true;
        } else {
            Fail("unsupported dialog statement " + kw);
        }
        if (pos != t.size()) Fail("unexpected text after " + kw);
    }
    // As the resource compiler does.
    if (caption) d.style |= WS_CAPTION;
    if (font) d.style |= DS_SETFONT;
    for (;;) {
        if (!NextStatement(&t)) Fail("END of dialog missing");
        if (t.size() == 1 && t[0].text == "END") break;
        if (t[0].kind != Tok::Ident || t[0].text != "CONTROL")
            Fail("unsupported dialog item " + t[0].text + " (only CONTROL)");
        ControlTemplate c;
        pos = 1;
        if (pos < t.size() && t[pos].kind == Tok::String)
            c.text = FromUtf8(t[pos++].text);
        else
            c.ordinal = static_cast<int>(Eval(t, &pos));
        Expect(t, &pos, ",");
        c.id = static_cast<int>(Eval(t, &pos));
        Expect(t, &pos, ",");
        if (pos < t.size() && t[pos].kind == Tok::Ident)
            c.cls = FromUtf8(t[pos++].text);
        else
            c.cls = FromUtf8(StringAt(t, &pos));
        Expect(t, &pos, ",");
        c.style = static_cast<DWORD>(Eval(t, &pos, WS_CHILD | WS_VISIBLE));
        int* geo[] = {&c.x, &c.y, &c.cx, &c.cy};
        for (int* g : geo) {
            Expect(t, &pos, ",");
            *g = static_cast<int>(Eval(t, &pos));
        }
        if (pos < t.size()) {
            Expect(t, &pos, ",");
            c.exStyle = static_cast<DWORD>(Eval(t, &pos));
        }
        if (pos != t.size()) Fail("unexpected text after CONTROL");
        d.controls.push_back(c);
    }
    int id = 0;
    if (ResolveName(head[0], &id)) {
        d.id = id;
        if (!m_rs.dialogs.emplace(id, d).second) Fail("duplicate dialog " + head[0].text);
    } else {
        d.name = Upper(head[0].text);
        m_rs.namedDialogs[d.name] = d;
    }
}

void Parser::SkipBlock() {
    int depth = 0;
    std::vector<Token> t;
    while (NextStatement(&t)) {
        if (t.size() == 1 && t[0].text == "BEGIN") ++depth;
        if (t.size() == 1 && t[0].text == "END" && --depth == 0) return;
    }
    Fail("END of block missing");
}

void Parser::ParseScript(const std::string& path) {
    m_strFile = path;
    auto slash = path.find_last_of('/');
    m_strDir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open resource script '" + path + "'");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_lines.push_back(line);
    }
    if (!m_lines.empty() && m_lines[0].compare(0, 3, "\xEF\xBB\xBF") == 0) m_lines[0].erase(0, 3);
    std::vector<Token> t;
    while (NextStatement(&t)) {
        const Token& first = t[0];
        if (first.text == "#include") {
            if (t.size() == 2 && t[1].kind == Tok::String) {
                ReadHeader(m_strDir + "/" + t[1].text);
            } else if (!(t.size() >= 3 && t[1].text == "<")) {
                Fail("bad #include");
            }
        } else if (first.text == "#pragma") {
            if (t.size() != 5 || t[1].text != "code_page" || t[3].text != "65001")
                Fail("only #pragma code_page(65001) is supported");
        } else if (first.text == "LANGUAGE") {
            continue;
        } else if (first.text == "STRINGTABLE") {
            StringTable();
        } else if (t.size() >= 2 && (t[1].text == "DIALOGEX" || t[1].text == "DIALOG")) {
            Dialog(t);
        } else if (t.size() >= 2 && t[1].text == "VERSIONINFO") {
            SkipBlock();
        } else if (t.size() == 3 && t[2].kind == Tok::String &&
                   (t[1].text == "ICON" || t[1].text == "BITMAP")) {
            std::string file = m_strDir + "/" + t[2].text;
            int id = 0;
            bool icon = t[1].text == "ICON";
            if (ResolveName(first, &id)) {
                (icon ? m_rs.icons : m_rs.bitmaps)[id] = file;
            } else {
                (icon ? m_rs.namedIcons : m_rs.namedBitmaps)[Upper(first.text)] =
                    ImageResource{0, file};
            }
        } else if (t.size() == 3 && t[2].kind == Tok::String &&
                   (t[1].text == "24" || t[1].text == "RT_MANIFEST")) {
            continue;
        } else {
            Fail("unsupported statement '" + first.text + "'");
        }
    }
}

const ResourceSet& Current() {
    const std::string& path = CurrentPath();
    auto& cache = Cache();
    auto it = cache.find(path);
    if (it != cache.end()) return *it->second;
    if (path.empty()) throw std::runtime_error("no resource script configured (TM_RC_PATH)");
    auto rs = std::make_unique<ResourceSet>();
    rs->path = path;
    Parser(*rs).ParseScript(path);
    return *cache.emplace(path, std::move(rs)).first->second;
}

}  // namespace

const DialogTemplate* FindDialog(LPCWSTR name) {
    const ResourceSet& rs = Current();
    if (!name) return nullptr;
    if (IS_INTRESOURCE(name)) {
        auto it = rs.dialogs.find(static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
        if (it != rs.dialogs.end()) return &it->second;
    } else if (name[0] == L'#') {
        auto it = rs.dialogs.find(static_cast<int>(std::wcstol(name + 1, nullptr, 10)));
        if (it != rs.dialogs.end()) return &it->second;
    } else {
        auto it = rs.namedDialogs.find(Upper(std::wstring(name)));
        if (it != rs.namedDialogs.end()) return &it->second;
    }
    SetLastError(kErrResourceNameNotFound);
    return nullptr;
}

bool FindImageFile(UINT type, LPCWSTR name, int* id, std::string* file) {
    const ResourceSet& rs = Current();
    if (!name) return false;
    const auto& byId = type == IMAGE_BITMAP ? rs.bitmaps : rs.icons;
    const auto& byName = type == IMAGE_BITMAP ? rs.namedBitmaps : rs.namedIcons;
    if (IS_INTRESOURCE(name)) {
        *id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
        auto it = byId.find(*id);
        if (it == byId.end()) return false;
        *file = it->second;
        return true;
    }
    auto it = byName.find(Upper(std::wstring(name)));
    if (it == byName.end()) return false;
    *id = 0;
    *file = it->second.file;
    return true;
}

int DluX(int x) {
    return (x * 6 + 2) / 4;
}
int DluY(int y) {
    return (y * 13 + 4) / 8;
}

}  // namespace headless::detail

using namespace headless::detail;

int WINAPI LoadStringW(HINSTANCE, UINT id, LPWSTR buf, int cch) {
    if (!buf) return 0;
    const ResourceSet& rs = Current();
    auto it = rs.strings.find(id);
    if (cch == 0) {
        // A read-only pointer to the resource itself.
        *reinterpret_cast<LPCWSTR*>(buf) = it == rs.strings.end() ? nullptr : it->second.c_str();
        return it == rs.strings.end() ? 0 : static_cast<int>(it->second.size());
    }
    if (it == rs.strings.end()) {
        buf[0] = L'\0';
        SetLastError(kErrResourceNameNotFound);
        return 0;
    }
    int n = std::min(static_cast<int>(it->second.size()), cch - 1);
    std::copy(it->second.begin(), it->second.begin() + n, buf);
    buf[n] = L'\0';
    return n;
}

namespace headless {

void SetResourceScript(const std::string& rcPath) {
    CurrentPath() = rcPath.empty() ? std::string(kDefaultScript) : rcPath;
}

}  // namespace headless
