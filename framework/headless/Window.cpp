// Windows as objects: handles, creation and destruction, messages, window
// data, hierarchy, text, state, geometry, timers and the posted queue.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <algorithm>
#include <cwctype>
#include <deque>
#include <mutex>
#include <set>

namespace headless::detail {
namespace {

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
};

struct Posted {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool mouse = false;  // mouse input (MouseMove), not a posted message
};

struct State {
    std::map<HWND, std::unique_ptr<Window>> windows;  // handle order = creation order
    std::vector<std::unique_ptr<Window>> graveyard;   // destroyed, kept for in-flight pointers
    uintptr_t nextHandle = 0x10000;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    HWND foreground = nullptr;
    HWND desktop = nullptr;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7F00;
    bool failSetTimer = false;
    std::map<std::wstring, WNDCLASSW> classes;  // lower-case name
    std::map<std::wstring, UINT> registeredMessages;
};

State& S() {
    static State s;
    return s;
}

// Handles that PostMessageW (any thread) may target.
std::mutex g_postMutex;
std::set<HWND> g_liveHandles;
std::deque<Posted> g_posted;

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

int CopyText(const std::wstring& text, LPWSTR buf, int cch) {
    if (!buf || cch <= 0) return 0;
    int n = std::min(static_cast<int>(text.size()), cch - 1);
    std::copy(text.begin(), text.begin() + n, buf);
    buf[n] = L'\0';
    return n;
}

struct Insets {
    int border = 0;
    int caption = 0;
};

Insets InsetsOf(const Window& w) {
    Insets in;
    if ((w.style & WS_CAPTION) == WS_CAPTION) {
        in.border = 3;
        in.caption = 20;
    } else if ((w.style & WS_DLGFRAME) || (IsDialogClass(w) && (w.style & DS_MODALFRAME))) {
        in.border = 3;
    } else if (w.style & WS_BORDER) {
        in.border = 1;
    }
    if (w.exStyle & WS_EX_CLIENTEDGE) in.border += 2;
    return in;
}

POINT ClientOrigin(HWND hwnd) {
    POINT pt{0, 0};
    for (Window* w = Find(hwnd); w; w = Find(w->parent)) {
        Insets in = InsetsOf(*w);
        pt.x += w->rect.left + in.border;
        pt.y += w->rect.top + in.border + in.caption;
        if (!(w->style & WS_CHILD)) break;
    }
    return pt;
}

void RemoveWindow(HWND hwnd) {
    State& s = S();
    auto it = s.windows.find(hwnd);
    if (it == s.windows.end()) return;
    Window& w = *it->second;
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [&](const Timer& t) { return t.hwnd == hwnd; }),
                   s.timers.end());
    if (s.focus == hwnd) s.focus = nullptr;
    if (s.capture == hwnd) s.capture = nullptr;
    // The system activates the owner of a window that goes away.
    if (s.active == hwnd) s.active = Find(w.owner) ? w.owner : nullptr;
    if (s.foreground == hwnd) s.foreground = nullptr;
    if (Window* p = Find(w.parent)) {
        p->children.erase(std::remove(p->children.begin(), p->children.end(), hwnd),
                          p->children.end());
    }
    if (w.sysMenu) DestroyMenuOf(w.sysMenu);
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_liveHandles.erase(hwnd);
    }
    s.graveyard.push_back(std::move(it->second));
    s.windows.erase(it);
}

void SendDestroy(HWND hwnd) {
    if (!Find(hwnd)) return;
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    Window* w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) {
        if (Window* c = Find(k)) c->destroying = true;
        SendDestroy(k);
    }
}

void SendNcDestroy(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) SendNcDestroy(k);
    if (Find(hwnd)) SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    RemoveWindow(hwnd);
}

// The cursor a window shows over its client area: its class's.
HCURSOR ClassCursor(const Window& w) {
    auto it = S().classes.find(Lower(w.className));
    if (it != S().classes.end()) return it->second.hCursor;
    return LoadCursorW(nullptr, w.kind == Kind::Edit ? IDC_IBEAM : IDC_ARROW);
}

// Mouse input on its way out of the queue, as the system handles it: the
// window under the mouse sets the cursor (WM_SETCURSOR) before the mouse
// message is delivered. A disabled child leaves the input to its parent; a
// disabled top-level window gets HTERROR and no mouse message.
bool TakeMouse(Posted& p) {
    Window* w = Find(p.hwnd);
    if (!w) return false;
    Window* root = Find(RootOf(p.hwnd));
    if (root && (root->style & WS_DISABLED)) {
        w = root;
    } else {
        while ((w->style & WS_CHILD) && (w->style & WS_DISABLED) && Find(w->parent))
            w = Find(w->parent);
    }
    const bool disabled = (w->style & WS_DISABLED) != 0;
    p.hwnd = w->hwnd;
    const WORD hit = static_cast<WORD>(disabled ? HTERROR : HTCLIENT);
    SendMessageW(p.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(p.hwnd),
                 MAKELPARAM(hit, static_cast<WORD>(p.msg)));
    return !disabled && Find(p.hwnd);
}

WNDPROC BuiltinProc(Kind kind) {
    switch (kind) {
        case Kind::Edit:
            return EditProc;
        case Kind::Button:
            return ButtonProc;
        case Kind::Static:
            return StaticProc;
        case Kind::Trackbar:
            return TrackbarProc;
        case Kind::Progress:
            return ProgressProc;
        case Kind::ComboBox:
            return ComboProc;
        case Kind::Tab:
            return TabProc;
        case Kind::Dialog:
            return DefDlgProcW;
        case Kind::Generic:
            break;
    }
    return DefWindowProcW;
}

bool KindOfClass(const std::wstring& lower, Kind* kind) {
    static const std::map<std::wstring, Kind> builtin = {
        {L"edit", Kind::Edit},
        {L"button", Kind::Button},
        {L"static", Kind::Static},
        {L"msctls_trackbar32", Kind::Trackbar},
        {L"msctls_progress32", Kind::Progress},
        {L"combobox", Kind::ComboBox},
        {L"systabcontrol32", Kind::Tab},
        {L"#32770", Kind::Dialog},
    };
    auto it = builtin.find(lower);
    if (it == builtin.end()) return false;
    *kind = it->second;
    return true;
}

std::wstring ClassNameFrom(LPCWSTR cls) {
    if (!cls) return L"";
    if (IS_INTRESOURCE(cls)) {
        if (reinterpret_cast<ULONG_PTR>(cls) == 0x8002) return L"#32770";
        return L"";
    }
    return cls;
}

}  // namespace

Window* Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto& w = S().windows;
    auto it = w.find(hwnd);
    return it == w.end() ? nullptr : it->second.get();
}

Window* Need(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) SetLastError(kErrInvalidWindowHandle);
    return w;
}

bool IsDialogClass(const Window& w) {
    return w.kind == Kind::Dialog;
}

void NotifyParent(HWND ctl, WORD code) {
    Window* w = Find(ctl);
    if (!w || !w->parent) return;
    SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(w->id, code), reinterpret_cast<LPARAM>(ctl));
}

HWND RootOf(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && (w->style & WS_CHILD) && Find(w->parent)) w = Find(w->parent);
    return w ? w->hwnd : nullptr;
}

void SetClientSize(Window& w, int x, int y, int cx, int cy) {
    Insets in = InsetsOf(w);
    w.rect = RECT{x, y, x + cx + 2 * in.border, y + cy + 2 * in.border + in.caption};
}

HWND CreateWindowInternal(DWORD exStyle, const std::wstring& cls, const std::wstring& text,
                          DWORD style, int x, int y, int cx, int cy, HWND parent, int id,
                          HINSTANCE inst, LPVOID param) {
    State& s = S();
    std::wstring lower = Lower(cls);
    Kind kind = Kind::Generic;
    WNDPROC proc = nullptr;
    if (KindOfClass(lower, &kind)) {
        proc = BuiltinProc(kind);
    } else {
        auto it = s.classes.find(lower);
        if (it == s.classes.end()) {
            SetLastError(kErrCannotFindClass);
            return nullptr;
        }
        proc = it->second.lpfnWndProc;
    }
    if (parent && !Find(parent)) {
        SetLastError(kErrInvalidWindowHandle);
        return nullptr;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    HWND hwnd = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 4;
    w->hwnd = hwnd;
    w->kind = kind;
    w->className = cls;
    w->style = style;
    w->exStyle = exStyle;
    w->text = text;
    w->wndProc = proc;
    w->hInstance = inst;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = id;
    } else {
        w->owner = parent ? RootOf(parent) : nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 100;
    if (cx == CW_USEDEFAULT) cx = cy = 300;
    w->rect = RECT{x, y, x + cx, y + cy};
    if (kind == Kind::Trackbar) w->pageSize = 20;
    s.windows.emplace(hwnd, std::move(w));
    if (Window* p = Find(parent); p && (style & WS_CHILD)) p->children.push_back(hwnd);
    {
        std::lock_guard<std::mutex> lock(g_postMutex);
        g_liveHandles.insert(hwnd);
    }
    CREATESTRUCTW cs{param,
                     inst,
                     reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                     parent,
                     cy,
                     cx,
                     y,
                     x,
                     static_cast<LONG>(style),
                     text.c_str(),
                     cls.c_str(),
                     exStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        if (Find(hwnd)) DestroyWindow(hwnd);
        return nullptr;
    }
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        if (Find(hwnd)) DestroyWindow(hwnd);
        return nullptr;
    }
    return Find(hwnd) ? hwnd : nullptr;
}

void DeliverPosted() {
    for (;;) {
        Posted p;
        {
            std::lock_guard<std::mutex> lock(g_postMutex);
            if (g_posted.empty()) return;
            p = g_posted.front();
            g_posted.pop_front();
        }
        if (p.mouse && !TakeMouse(p)) continue;
        if (!p.hwnd || Find(p.hwnd)) {
            MSG m{p.hwnd, p.msg, p.wParam, p.lParam, 0, {0, 0}};
            if (p.hwnd) DispatchMessageW(&m);
        }
    }
}

void ResetWindows() {
    // Windows left over from an earlier test are dropped without messages:
    // the objects behind their procedures may be gone already.
    State& s = S();
    s.windows.clear();
    s.graveyard.clear();
    s.focus = s.capture = s.active = s.foreground = s.desktop = nullptr;
    s.timers.clear();
    s.failSetTimer = false;
    s.classes.clear();
    std::lock_guard<std::mutex> lock(g_postMutex);
    g_liveHandles.clear();
    g_posted.clear();
}

}  // namespace headless::detail

using namespace headless::detail;

// ---------------------------------------------------------------- classes, creation

ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring lower = Lower(wc->lpszClassName);
    Kind kind;
    if (KindOfClass(lower, &kind) || S().classes.count(lower)) {
        SetLastError(1410);  // ERROR_CLASS_ALREADY_EXISTS
        return 0;
    }
    S().classes[lower] = *wc;
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE) {
    if (!name || IS_INTRESOURCE(name)) return FALSE;
    return S().classes.erase(Lower(name)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y,
                            int cx, int cy, HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    return CreateWindowInternal(exStyle, ClassNameFrom(cls), name ? name : L"", style, x, y, cx, cy,
                                parent, static_cast<int>(reinterpret_cast<intptr_t>(menu)), inst,
                                param);
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    if (w->destroying) return TRUE;
    w->destroying = true;
    w->style &= ~WS_VISIBLE;
    // Owned windows go first, as on Windows.
    std::vector<HWND> owned;
    for (auto& [h, o] : S().windows)
        if (o->owner == hwnd && !(o->style & WS_CHILD)) owned.push_back(h);
    for (HWND h : owned)
        if (Find(h)) DestroyWindow(h);
    SendDestroy(hwnd);
    SendNcDestroy(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    return Find(hwnd) ? TRUE : FALSE;
}

BOOL WINAPI IsChild(HWND parent, HWND hwnd) {
    for (Window* w = Find(hwnd); w && (w->style & WS_CHILD); w = Find(w->parent))
        if (w->parent == parent) return TRUE;
    return FALSE;
}

int WINAPI GetClassNameW(HWND hwnd, LPWSTR buf, int cch) {
    Window* w = Need(hwnd);
    return w ? CopyText(w->className, buf, cch) : 0;
}

// ---------------------------------------------------------------- messages

LRESULT WINAPI SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Need(hwnd);
    if (!w) return 0;
    WNDPROC proc = w->wndProc;
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

BOOL WINAPI PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard<std::mutex> lock(g_postMutex);
    if (hwnd && !g_liveHandles.count(hwnd)) {
        SetLastError(kErrInvalidWindowHandle);
        return FALSE;
    }
    g_posted.push_back(Posted{hwnd, msg, wParam, lParam});
    return TRUE;
}

void WINAPI PostQuitMessage(int code) {
    PostMessageW(nullptr, WM_QUIT, code, 0);
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND hwnd, UINT first, UINT last, UINT remove) {
    for (;;) {
        Posted p;
        {
            std::lock_guard<std::mutex> lock(g_postMutex);
            auto it = std::find_if(g_posted.begin(), g_posted.end(), [&](const Posted& q) {
                if (hwnd && q.hwnd != hwnd) return false;
                return !(first || last) || (q.msg >= first && q.msg <= last);
            });
            if (it == g_posted.end()) return FALSE;
            p = *it;
            if (remove & PM_REMOVE) g_posted.erase(it);
        }
        // WM_SETCURSOR is sent outside the queue's lock.
        if (p.mouse && (remove & PM_REMOVE) && !TakeMouse(p)) continue;
        if (msg) *msg = MSG{p.hwnd, p.msg, p.wParam, p.lParam, 0, {0, 0}};
        return TRUE;
    }
}

BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
    if (!msg || !Find(msg->hwnd)) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, 0);
        return 0;
    }
    return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI IsDialogMessageW(HWND, LPMSG) {
    return FALSE;
}

UINT WINAPI RegisterWindowMessageW(LPCWSTR name) {
    if (!name) return 0;
    auto& m = S().registeredMessages;
    auto it = m.find(Lower(name));
    if (it != m.end()) return it->second;
    UINT id = 0xC100 + static_cast<UINT>(m.size());
    m.emplace(Lower(name), id);
    return id;
}

LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Need(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE:
            return TRUE;
        case WM_SETTEXT:
            w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return TRUE;
        case WM_GETTEXT:
            return CopyText(w->text, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    SendMessageW(hwnd, WM_CLOSE, 0, 0);
                    break;
                case SC_MINIMIZE:
                    ShowWindow(hwnd, SW_MINIMIZE);
                    break;
                case SC_RESTORE:
                    ShowWindow(hwnd, SW_RESTORE);
                    break;
                default:
                    break;
            }
            return 0;
        case WM_SETCURSOR: {
            // A child lets its parent choose first.
            if ((w->style & WS_CHILD) && w->parent &&
                SendMessageW(w->parent, WM_SETCURSOR, wParam, lParam))
                return TRUE;
            w = Find(hwnd);
            // A parent asked for its child's cursor leaves it to the child.
            if (!w || reinterpret_cast<HWND>(wParam) != hwnd) return FALSE;
            const short hit = static_cast<short>(LOWORD(lParam));
            const UINT mouse = HIWORD(lParam);
            if (hit == HTERROR && (mouse == WM_LBUTTONDOWN || mouse == WM_RBUTTONDOWN))
                MessageBeep(0);
            HCURSOR cursor = hit == HTCLIENT ? ClassCursor(*w) : LoadCursorW(nullptr, IDC_ARROW);
            if (!cursor) return FALSE;
            SetCursor(cursor);
            return TRUE;
        }
        case WM_HELP:
        case WM_CONTEXTMENU: {
            // Children pass help up to their parent, top-level windows to their owner.
            HWND up = (w->style & WS_CHILD) ? w->parent : w->owner;
            return up ? SendMessageW(up, msg, wParam, lParam) : 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
        case WM_ICONERASEBKGND:
            return 1;
        case WM_SETICON: {
            HICON old = wParam == ICON_BIG ? w->iconBig : w->iconSmall;
            (wParam == ICON_BIG ? w->iconBig : w->iconSmall) = reinterpret_cast<HICON>(lParam);
            return reinterpret_cast<LRESULT>(old);
        }
        case WM_GETICON:
            return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->iconBig : w->iconSmall);
        case WM_SETFONT:
            w->font = reinterpret_cast<HFONT>(wParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(w->font);
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORSCROLLBAR:
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- window data

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    Window* w = Need(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->wndProc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->hInstance);
        case GWLP_HWNDPARENT:
            return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
        case GWLP_ID:
            return w->id;
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWLP_USERDATA:
            return w->userData;
        default:
            break;
    }
    if (IsDialogClass(*w)) {
        if (index == DWLP_MSGRESULT) return w->msgResult;
        if (index == DWLP_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dlgProc);
        if (index == DWLP_USER) return w->dlgUser;
    }
    SetLastError(kErrInvalidIndex);
    return 0;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    Window* w = Need(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
        case GWLP_WNDPROC:
            w->wndProc = reinterpret_cast<WNDPROC>(value);
            return old;
        case GWLP_HINSTANCE:
            w->hInstance = reinterpret_cast<HINSTANCE>(value);
            return old;
        case GWLP_HWNDPARENT:
            if (!(w->style & WS_CHILD)) w->owner = reinterpret_cast<HWND>(value);
            return old;
        case GWLP_ID:
            w->id = static_cast<int>(value);
            return old;
        case GWL_STYLE:
            w->style = static_cast<DWORD>(value);
            return old;
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            return old;
        case GWLP_USERDATA:
            w->userData = value;
            return old;
        default:
            break;
    }
    if (IsDialogClass(*w)) {
        if (index == DWLP_MSGRESULT) {
            w->msgResult = value;
            return old;
        }
        if (index == DWLP_DLGPROC) {
            w->dlgProc = reinterpret_cast<DLGPROC>(value);
            return old;
        }
        if (index == DWLP_USER) {
            w->dlgUser = value;
            return old;
        }
    }
    SetLastError(kErrInvalidIndex);
    return 0;
}

LONG WINAPI GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG WINAPI SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL WINAPI SetPropW(HWND hwnd, LPCWSTR name, HANDLE data) {
    Window* w = Need(hwnd);
    if (!w || !name) return FALSE;
    w->props[IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name] =
        data;
    return TRUE;
}

HANDLE WINAPI GetPropW(HWND hwnd, LPCWSTR name) {
    Window* w = Find(hwnd);
    if (!w || !name) return nullptr;
    auto it = w->props.find(
        IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name);
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE WINAPI RemovePropW(HWND hwnd, LPCWSTR name) {
    HANDLE old = GetPropW(hwnd, name);
    if (Window* w = Find(hwnd); w && name)
        w->props.erase(IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                            : name);
    return old;
}

// ---------------------------------------------------------------- hierarchy

HWND WINAPI GetParent(HWND hwnd) {
    Window* w = Need(hwnd);
    if (!w) return nullptr;
    if (w->style & WS_CHILD) return w->parent;
    return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WINAPI SetParent(HWND child, HWND parent) {
    Window* w = Need(child);
    if (!w || (parent && !Need(parent))) return nullptr;
    HWND old = (w->style & WS_CHILD) ? w->parent : GetDesktopWindow();
    if (Window* p = Find(w->parent))
        p->children.erase(std::remove(p->children.begin(), p->children.end(), child),
                          p->children.end());
    if (parent && parent != S().desktop) {
        w->parent = parent;
        w->style |= WS_CHILD;
        w->style &= ~WS_POPUP;
        Find(parent)->children.push_back(child);
    } else {
        w->parent = nullptr;
        w->style &= ~WS_CHILD;
    }
    return old;
}

HWND WINAPI GetWindow(HWND hwnd, UINT cmd) {
    Window* w = Need(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_OWNER) return (w->style & WS_CHILD) ? nullptr : w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_ENABLEDPOPUP) return nullptr;
    std::vector<HWND> siblings;
    if (Window* p = Find(w->parent); p && (w->style & WS_CHILD)) {
        siblings = p->children;
    } else {
        for (auto& [h, o] : S().windows)
            if (!(o->style & WS_CHILD) && h != S().desktop) siblings.push_back(h);
    }
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (cmd) {
        case GW_HWNDFIRST:
            return siblings.front();
        case GW_HWNDLAST:
            return siblings.back();
        case GW_HWNDNEXT:
            return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : *(it + 1);
        case GW_HWNDPREV:
            return (it == siblings.end() || it == siblings.begin()) ? nullptr : *(it - 1);
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

HWND WINAPI GetAncestor(HWND hwnd, UINT flags) {
    Window* w = Need(hwnd);
    if (!w) return nullptr;
    switch (flags) {
        case GA_PARENT:
            return (w->style & WS_CHILD) ? w->parent : GetDesktopWindow();
        case GA_ROOT:
            return RootOf(hwnd);
        case GA_ROOTOWNER: {
            HWND h = RootOf(hwnd);
            while (Window* r = Find(h)) {
                if (!r->owner) break;
                h = RootOf(r->owner);
            }
            return h;
        }
        default:
            return nullptr;
    }
}

HWND WINAPI GetDesktopWindow(void) {
    State& s = S();
    if (!Find(s.desktop)) {
        s.desktop = CreateWindowInternal(0, L"#32770", L"", WS_VISIBLE | WS_POPUP, 0, 0, 1024, 768,
                                         nullptr, 0, nullptr, nullptr);
    }
    return s.desktop;
}

BOOL WINAPI EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
    Window* w = Need(parent);
    if (!w || !proc) return FALSE;
    std::vector<HWND> kids = w->children;
    for (HWND k : kids) {
        if (!Find(k)) continue;
        if (!proc(k, lParam)) return FALSE;
        if (Find(k) && !EnumChildWindows(k, proc, lParam)) return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------- text

BOOL WINAPI SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!Need(hwnd)) return FALSE;
    return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) ? TRUE
                                                                                          : FALSE;
}

int WINAPI GetWindowTextW(HWND hwnd, LPWSTR buf, int cch) {
    if (buf && cch > 0) buf[0] = L'\0';
    if (!Need(hwnd)) return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, cch, reinterpret_cast<LPARAM>(buf)));
}

int WINAPI GetWindowTextLengthW(HWND hwnd) {
    if (!Need(hwnd)) return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---------------------------------------------------------------- state

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable && wasDisabled) {
        w->style &= ~WS_DISABLED;
        SendMessageW(hwnd, WM_ENABLE, TRUE, 0);
    } else if (!enable && !wasDisabled) {
        w->style |= WS_DISABLED;
        HWND focus = S().focus;
        if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
        SendMessageW(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd) {
    Window* w = Need(hwnd);
    return (w && !(w->style & WS_DISABLED)) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hwnd, int cmd) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    bool show = cmd != SW_HIDE;
    if (cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE)
        w->iconic = true;
    if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) w->iconic = false;
    if (show != static_cast<bool>(wasVisible)) {
        SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
        if (Window* again = Find(hwnd)) {
            if (show)
                again->style |= WS_VISIBLE;
            else
                again->style &= ~WS_VISIBLE;
        }
    }
    // Showing a top-level window activates it, as a modal dialog or sheet
    // is activated when it appears; dialogs opened from it then get it as
    // their owner through GetActiveWindow.
    Window* shown = Find(hwnd);
    bool activates = cmd == SW_SHOWNORMAL || cmd == SW_SHOW || cmd == SW_RESTORE ||
                     cmd == SW_SHOWMAXIMIZED || cmd == SW_SHOWDEFAULT;
    if (shown && activates && !(shown->style & WS_CHILD)) S().active = hwnd;
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hwnd) {
    for (Window* w = Find(hwnd); w; w = Find(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return FALSE;
        if (!(w->style & WS_CHILD)) return TRUE;
    }
    return FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd) {
    Window* w = Find(hwnd);
    return (w && w->iconic) ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND) {
    return FALSE;
}

HWND WINAPI SetFocus(HWND hwnd) {
    State& s = S();
    if (hwnd && !Need(hwnd)) return nullptr;
    HWND old = Find(s.focus) ? s.focus : nullptr;
    if (old == hwnd) return old;
    s.focus = hwnd;
    if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && Find(hwnd) && s.focus == hwnd)
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND WINAPI GetFocus(void) {
    return Find(S().focus) ? S().focus : nullptr;
}

HWND WINAPI SetActiveWindow(HWND hwnd) {
    HWND old = Find(S().active) ? S().active : nullptr;
    if (hwnd && !Need(hwnd)) return nullptr;
    S().active = hwnd;
    return old;
}

HWND WINAPI GetActiveWindow(void) {
    return Find(S().active) ? S().active : nullptr;
}

BOOL WINAPI SetForegroundWindow(HWND hwnd) {
    if (!Need(hwnd)) return FALSE;
    S().foreground = hwnd;
    S().active = RootOf(hwnd);
    return TRUE;
}

HWND WINAPI GetForegroundWindow(void) {
    return Find(S().foreground) ? S().foreground : nullptr;
}

HWND WINAPI SetCapture(HWND hwnd) {
    HWND old = Find(S().capture) ? S().capture : nullptr;
    S().capture = Find(hwnd) ? hwnd : nullptr;
    return old;
}

BOOL WINAPI ReleaseCapture(void) {
    HWND old = Find(S().capture) ? S().capture : nullptr;
    S().capture = nullptr;
    if (old) SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND WINAPI GetCapture(void) {
    return Find(S().capture) ? S().capture : nullptr;
}

SHORT WINAPI GetKeyState(int) {
    return 0;
}

BOOL WINAPI GetCursorPos(LPPOINT pt) {
    if (!pt) return FALSE;
    *pt = POINT{0, 0};
    return TRUE;
}

// ---------------------------------------------------------------- geometry

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rc) {
    Window* w = Need(hwnd);
    if (!w || !rc) return FALSE;
    Insets in = InsetsOf(*w);
    LONG cx = std::max<LONG>(0, w->rect.right - w->rect.left - 2 * in.border);
    LONG cy = std::max<LONG>(0, w->rect.bottom - w->rect.top - 2 * in.border - in.caption);
    *rc = RECT{0, 0, cx, cy};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rc) {
    Window* w = Need(hwnd);
    if (!w || !rc) return FALSE;
    *rc = w->rect;
    if (w->style & WS_CHILD) {
        POINT o = ClientOrigin(w->parent);
        OffsetRect(rc, o.x, o.y);
    }
    return TRUE;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    RECT& r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        OffsetRect(&r, x - r.left, y - r.top);
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + cx;
        r.bottom = r.top + cy;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int cx, int cy, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER);
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT pt) {
    if (!Need(hwnd) || !pt) return FALSE;
    POINT o = ClientOrigin(hwnd);
    pt->x += o.x;
    pt->y += o.y;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT pt) {
    if (!Need(hwnd) || !pt) return FALSE;
    POINT o = ClientOrigin(hwnd);
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

int WINAPI MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    POINT a = from ? ClientOrigin(from) : POINT{0, 0};
    POINT b = to ? ClientOrigin(to) : POINT{0, 0};
    LONG dx = a.x - b.x;
    LONG dy = a.y - b.y;
    for (UINT i = 0; pts && i < count; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    if (!hwnd) return TRUE;  // the whole screen
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    w->invalid = true;
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT*) {
    if (Window* w = Find(hwnd)) w->invalid = false;
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    if (w->invalid && (w->style & WS_VISIBLE)) SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND hwnd, const RECT* rc, HRGN, UINT flags) {
    if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rc, FALSE);
    if (flags & RDW_VALIDATE) ValidateRect(hwnd, rc);
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return hwnd ? IsWindow(hwnd) : TRUE;
}

BOOL WINAPI SetRect(LPRECT rc, int l, int t, int r, int b) {
    if (!rc) return FALSE;
    *rc = RECT{l, t, r, b};
    return TRUE;
}

BOOL WINAPI SetRectEmpty(LPRECT rc) {
    return SetRect(rc, 0, 0, 0, 0);
}

BOOL WINAPI CopyRect(LPRECT dst, const RECT* src) {
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL WINAPI InflateRect(LPRECT rc, int dx, int dy) {
    if (!rc) return FALSE;
    rc->left -= dx;
    rc->right += dx;
    rc->top -= dy;
    rc->bottom += dy;
    return TRUE;
}

BOOL WINAPI OffsetRect(LPRECT rc, int dx, int dy) {
    if (!rc) return FALSE;
    rc->left += dx;
    rc->right += dx;
    rc->top += dy;
    rc->bottom += dy;
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT* rc) {
    return (!rc || rc->right <= rc->left || rc->bottom <= rc->top) ? TRUE : FALSE;
}

BOOL WINAPI PtInRect(const RECT* rc, POINT pt) {
    return (rc && pt.x >= rc->left && pt.x < rc->right && pt.y >= rc->top && pt.y < rc->bottom)
               ? TRUE
               : FALSE;
}

BOOL WINAPI EqualRect(const RECT* a, const RECT* b) {
    return (a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
            a->bottom == b->bottom)
               ? TRUE
               : FALSE;
}

BOOL WINAPI IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return 1024;
        case SM_CYSCREEN:
            return 768;
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return 17;
        case SM_CYCAPTION:
            return 20;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CXICON:
        case SM_CYICON:
        case SM_CXCURSOR:
        case SM_CYCURSOR:
            return 32;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- timers

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    State& s = S();
    if (hwnd && !Need(hwnd)) return 0;
    if (s.failSetTimer) {
        SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        return 0;
    }
    elapse = std::max<UINT>(elapse, 10);  // USER_TIMER_MINIMUM
    if (!hwnd) {
        auto it = std::find_if(s.timers.begin(), s.timers.end(),
                               [&](const Timer& t) { return !t.hwnd && t.id == id; });
        if (it == s.timers.end()) id = s.nextTimerId++;
    }
    for (Timer& t : s.timers) {
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            return hwnd ? (id ? id : 1) : id;
        }
    }
    s.timers.push_back(Timer{hwnd, id, elapse, proc});
    return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) {
    auto& timers = S().timers;
    auto it = std::find_if(timers.begin(), timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) {
        SetLastError(1402);  // ERROR_INVALID_TIMER... close enough: no such timer
        return FALSE;
    }
    timers.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------- test API

namespace headless {

void Reset() {
    ResetWindows();
    ResetDialogs();
    ResetSheets();
    ResetGdi();
    SetResourceScript("");
}

int PumpMessages() {
    int n = 0;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        ++n;
        if (m.hwnd) DispatchMessageW(&m);
    }
    return n;
}

bool MouseMove(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_postMutex);
    if (!g_liveHandles.count(hwnd)) return false;
    Posted p{hwnd, WM_MOUSEMOVE, 0, 0};
    p.mouse = true;
    g_posted.push_back(p);
    return true;
}

size_t PendingMessages() {
    std::lock_guard<std::mutex> lock(g_postMutex);
    return g_posted.size();
}

std::vector<TimerRecord> Timers() {
    std::vector<TimerRecord> out;
    for (const Timer& t : S().timers) out.push_back(TimerRecord{t.hwnd, t.id, t.elapse});
    return out;
}

bool HasTimer(HWND hwnd, UINT_PTR id) {
    for (const Timer& t : S().timers)
        if (t.hwnd == hwnd && t.id == id) return true;
    return false;
}

bool FireTimer(HWND hwnd, UINT_PTR id) {
    for (const Timer& t : S().timers) {
        if (t.hwnd == hwnd && t.id == id) {
            MSG m{hwnd, WM_TIMER, id, reinterpret_cast<LPARAM>(t.proc), 0, {0, 0}};
            if (t.proc && !hwnd) {
                t.proc(nullptr, WM_TIMER, id, 0);
                return true;
            }
            DispatchMessageW(&m);
            return true;
        }
    }
    return false;
}

void FailSetTimer(bool fail) {
    S().failSetTimer = fail;
}

HWND FindChild(HWND parent, int id) {
    Window* w = Find(parent);
    if (!w) return nullptr;
    for (HWND k : w->children) {
        Window* c = Find(k);
        if (c && c->id == id) return k;
    }
    for (HWND k : w->children)
        if (HWND h = FindChild(k, id)) return h;
    return nullptr;
}

std::wstring TextOf(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd, &s[0], n + 1);
    s.resize(static_cast<size_t>(n));
    return s;
}

std::wstring ClassOf(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->className : std::wstring();
}

int TemplateIdOf(HWND dialog) {
    Window* w = Find(dialog);
    return w ? w->templateId : 0;
}

LRESULT PressF1(HWND ctl) {
    if (!Find(ctl)) return 0;
    HELPINFO hi{};
    hi.cbSize = sizeof(hi);
    hi.iContextType = HELPINFO_WINDOW;
    hi.iCtrlId = GetDlgCtrlID(ctl);
    hi.hItemHandle = ctl;
    hi.dwContextId = 0;
    GetCursorPos(&hi.MousePos);
    return SendMessageW(ctl, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
}

LRESULT SysCommand(HWND hwnd, UINT cmd) {
    return SendMessageW(hwnd, WM_SYSCOMMAND, cmd, 0);
}

void SetIconic(HWND hwnd, bool iconic) {
    if (Window* w = Find(hwnd)) w->iconic = iconic;
}

void Paint(HWND hwnd) {
    if (!Find(hwnd)) return;
    InvalidateRect(hwnd, nullptr, TRUE);
    SendMessageW(hwnd, WM_PAINT, 0, 0);
}

}  // namespace headless
