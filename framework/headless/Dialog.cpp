// Dialogs from resource templates, the dialog manager's default processing,
// modal runs driven by the test's handlers, message boxes, file dialogs.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <cwchar>
#include <cwctype>
#include <mutex>

namespace headless::detail {
namespace {

template <typename Fn>
struct HandlerStack {
    std::vector<std::pair<int, std::shared_ptr<Fn>>> entries;
    int nextId = 0;

    int Push(Fn fn) {
        entries.emplace_back(++nextId, std::make_shared<Fn>(std::move(fn)));
        return nextId;
    }
    void Remove(int id) {
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const auto& e) { return e.first == id; }),
                      entries.end());
    }
    std::shared_ptr<Fn> Innermost() const {
        return entries.empty() ? nullptr : entries.back().second;
    }
};

using ModalFn = std::function<void(HWND)>;
using BoxFn = std::function<int(const headless::MessageBoxRecord&)>;
using FileFn = std::function<std::optional<std::wstring>(const headless::FileDialogRecord&)>;

HandlerStack<ModalFn>& ModalHandlers() {
    static HandlerStack<ModalFn> s;
    return s;
}

std::vector<headless::ModalRun>& Runs() {
    static std::vector<headless::ModalRun> r;
    return r;
}

std::map<HWND, INT_PTR>& EndResults() {
    static std::map<HWND, INT_PTR> m;
    return m;
}

// Message boxes may come from a worker thread.
std::mutex g_boxMutex;
HandlerStack<BoxFn> g_boxHandlers;
std::vector<headless::MessageBoxRecord> g_boxes;

HandlerStack<FileFn> g_fileHandlers;
std::vector<headless::FileDialogRecord> g_files;
DWORD g_commDlgError = 0;

void CancelDialog(HWND hwnd) {
    HWND cancel = GetDlgItem(hwnd, IDCANCEL);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel));
}

bool ReturnsDirectly(UINT msg) {
    return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == 0x0039 ||
           msg == 0x002E || msg == 0x002F || msg == WM_QUERYDRAGICON || msg == WM_INITDIALOG;
}

}  // namespace

HWND CreateDialogFromTemplate(const DialogTemplate& t, HINSTANCE inst, HWND parent, DLGPROC proc,
                              LPARAM param, DWORD styleClear, DWORD styleSet, bool modal) {
    DWORD style = (t.style & ~styleClear) | styleSet;
    bool visible = (style & WS_VISIBLE) != 0;
    style &= ~WS_VISIBLE;
    DWORD exStyle = t.exStyle;
    if (style & DS_CONTEXTHELP) exStyle |= WS_EX_CONTEXTHELP;
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    if (style & DS_CONTROL) exStyle |= WS_EX_CONTROLPARENT;
    int cx = DluX(t.cx);
    int cy = DluY(t.cy);
    bool child = (style & WS_CHILD) != 0;
    HWND hwnd = CreateWindowInternal(exStyle, L"#32770", t.caption, style, 0, 0, 0, 0, parent, 0,
                                     inst, nullptr);
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (child) {
        SetClientSize(*w, DluX(t.x), DluY(t.y), cx, cy);
    } else {
        SetClientSize(*w, 0, 0, cx, cy);
        int wx = w->rect.right, wy = w->rect.bottom;
        SetClientSize(*w, (1024 - wx) / 2, (768 - wy) / 2, cx, cy);
    }
    w->templateId = t.id;
    w->modal = modal;
    w->dlgProc = proc;
    HFONT font = nullptr;
    if (style & DS_SETFONT) {
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        w->font = font;
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!Find(hwnd)) return nullptr;
    }
    for (const ControlTemplate& c : t.controls) {
        HWND ctl = CreateWindowInternal(c.exStyle, c.cls, c.text, c.style, DluX(c.x), DluY(c.y),
                                        DluX(c.cx), DluY(c.cy), hwnd, c.id, inst, nullptr);
        if (!ctl) {
            if (Find(hwnd)) DestroyWindow(hwnd);
            SetLastError(kErrCannotFindClass);
            return nullptr;
        }
        Window* cw = Find(ctl);
        if (cw->kind == Kind::Static && c.ordinal >= 0) {
            DWORD type = c.style & SS_TYPEMASK;
            if (type == SS_ICON) {
                UINT flags = LR_SHARED | ((c.style & SS_REALSIZEIMAGE) ? 0 : LR_DEFAULTSIZE);
                HANDLE icon =
                    LoadImageW(inst, MAKEINTRESOURCEW(c.ordinal), IMAGE_ICON, 0, 0, flags);
                if (icon) SendMessageW(ctl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
            } else if (type == SS_BITMAP) {
                HANDLE bm =
                    LoadImageW(inst, MAKEINTRESOURCEW(c.ordinal), IMAGE_BITMAP, 0, 0, LR_SHARED);
                if (bm) SendMessageW(ctl, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bm));
            }
        }
        if (font) SendMessageW(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND first = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    LRESULT setFocus = SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!Find(hwnd)) return nullptr;
    if (setFocus && first && Find(first)) SetFocus(first);
    if (visible && !Find(hwnd)->ended) ShowWindow(hwnd, SW_SHOWNORMAL);
    return Find(hwnd) ? hwnd : nullptr;
}

INT_PTR RunModal(HWND hwnd, bool sheet, int templateId, INT_PTR forcedResult,
                 void (*cancel)(HWND)) {
    auto& runs = Runs();
    size_t idx = runs.size();
    Window* w = Find(hwnd);
    runs.push_back(
        headless::ModalRun{hwnd, sheet, templateId, w ? w->text : L"", false, false, false, 0});
    auto ended = [&] {
        Window* x = Find(hwnd);
        return !x || x->ended;
    };
    DeliverPosted();
    if (!ended()) {
        if (auto fn = ModalHandlers().Innermost()) {
            runs[idx].handled = true;
            (*fn)(hwnd);
        }
        DeliverPosted();
    }
    if (!ended()) {
        runs[idx].cancelledByBackend = true;
        cancel(hwnd);
        DeliverPosted();
    }
    if (!ended()) {
        runs[idx].forced = true;
        Window* x = Find(hwnd);
        x->ended = true;
        x->endResult = forcedResult;
        EndResults()[hwnd] = forcedResult;
    }
    auto r = EndResults().find(hwnd);
    INT_PTR result = r != EndResults().end() ? r->second : 0;
    if (r != EndResults().end()) EndResults().erase(r);
    runs[idx].result = result;
    return result;
}

void ResetDialogs() {
    ModalHandlers().entries.clear();
    Runs().clear();
    EndResults().clear();
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxHandlers.entries.clear();
    g_boxes.clear();
    g_fileHandlers.entries.clear();
    g_files.clear();
    g_commDlgError = 0;
}

}  // namespace headless::detail

using namespace headless::detail;

// ---------------------------------------------------------------- dialog manager

LRESULT WINAPI DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* d = Need(hwnd);
    if (!d) return 0;
    if (DLGPROC proc = d->dlgProc) {
        d->msgResult = 0;
        INT_PTR r = proc(hwnd, msg, wParam, lParam);
        d = Find(hwnd);
        if (r) {
            if (ReturnsDirectly(msg)) return r;
            return d ? d->msgResult : 0;
        }
        if (!d) return 0;
    }
    switch (msg) {
        case WM_CLOSE: {
            HWND cancel = GetDlgItem(hwnd, IDCANCEL);
            if (cancel && !IsWindowEnabled(cancel)) {
                MessageBeep(0);
                return 0;
            }
            // Windows posts this; sending it keeps the headless run synchronous.
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case WM_NEXTDLGCTL:
            if (LOWORD(lParam))
                SetFocus(reinterpret_cast<HWND>(wParam));
            else
                SetFocus(GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0));
            return 0;
        case DM_GETDEFID:
            return MAKELONG(d->defId, DC_HASDEFID);
        case DM_SETDEFID:
            d->defId = static_cast<int>(wParam);
            return TRUE;
        case WM_INITDIALOG:
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

HWND WINAPI CreateDialogParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc,
                               LPARAM param) {
    const DialogTemplate* t = FindDialog(name);
    if (!t) return nullptr;
    return CreateDialogFromTemplate(*t, inst, parent, proc, param, 0, 0, false);
}

INT_PTR WINAPI DialogBoxParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc,
                               LPARAM param) {
    const DialogTemplate* t = FindDialog(name);
    if (!t) return -1;
    int templateId = t->id;
    HWND owner = parent ? RootOf(parent) : nullptr;
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    HWND hwnd = CreateDialogFromTemplate(*t, inst, parent, proc, param, WS_CHILD, 0, true);
    if (!hwnd) {
        if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
        return -1;
    }
    if (!Find(hwnd)->ended) ShowWindow(hwnd, SW_SHOWNORMAL);
    INT_PTR result = RunModal(hwnd, false, templateId, IDCANCEL, CancelDialog);
    if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return result;
}

BOOL WINAPI EndDialog(HWND hwnd, INT_PTR result) {
    Window* w = Need(hwnd);
    if (!w) return FALSE;
    w->ended = true;
    w->endResult = result;
    EndResults()[hwnd] = result;
    ShowWindow(hwnd, SW_HIDE);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND dlg, int id) {
    Window* d = Need(dlg);
    if (!d) return nullptr;
    for (HWND k : d->children) {
        Window* c = Find(k);
        if (c && c->id == id) return k;
    }
    SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

int WINAPI GetDlgCtrlID(HWND hwnd) {
    Window* w = Need(hwnd);
    return w ? w->id : 0;
}

LRESULT WINAPI SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND ctl = GetDlgItem(dlg, id);
    return ctl ? SendMessageW(ctl, msg, wParam, lParam) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND dlg, int id, LPCWSTR text) {
    HWND ctl = GetDlgItem(dlg, id);
    return ctl ? SetWindowTextW(ctl, text) : FALSE;
}

UINT WINAPI GetDlgItemTextW(HWND dlg, int id, LPWSTR buf, int cch) {
    HWND ctl = GetDlgItem(dlg, id);
    if (!ctl) {
        if (buf && cch > 0) buf[0] = L'\0';
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(ctl, buf, cch));
}

BOOL WINAPI SetDlgItemInt(HWND dlg, int id, UINT value, BOOL isSigned) {
    wchar_t buf[16];
    if (isSigned)
        std::swprintf(buf, 16, L"%d", static_cast<int>(value));
    else
        std::swprintf(buf, 16, L"%u", value);
    return SetDlgItemTextW(dlg, id, buf);
}

UINT WINAPI GetDlgItemInt(HWND dlg, int id, BOOL* translated, BOOL isSigned) {
    // As user32: leading blanks and a sign are accepted, conversion stops at
    // the first non-digit; no digits or a value out of range fail.
    if (translated) *translated = FALSE;
    wchar_t buf[64];
    HWND ctl = GetDlgItem(dlg, id);
    if (!ctl) return 0;
    GetWindowTextW(ctl, buf, 64);
    const wchar_t* p = buf;
    while (*p == L' ' || *p == L'\t') ++p;
    bool negative = false;
    if (*p == L'-' || *p == L'+') negative = *p++ == L'-';
    if (!std::iswdigit(static_cast<wint_t>(*p))) return 0;
    unsigned long long v = 0;
    while (std::iswdigit(static_cast<wint_t>(*p))) {
        v = v * 10 + static_cast<unsigned>(*p++ - L'0');
        if (v > 0xFFFFFFFFull) return 0;
    }
    UINT result;
    if (isSigned) {
        if (negative ? v > 0x80000000ull : v > 0x7FFFFFFFull) return 0;
        result =
            static_cast<UINT>(negative ? -static_cast<long long>(v) : static_cast<long long>(v));
    } else {
        result = static_cast<UINT>(negative ? 0u - static_cast<UINT>(v) : static_cast<UINT>(v));
    }
    if (translated) *translated = TRUE;
    return result;
}

BOOL WINAPI MapDialogRect(HWND dlg, LPRECT rc) {
    if (!Need(dlg) || !rc) return FALSE;
    *rc = RECT{DluX(rc->left), DluY(rc->top), DluX(rc->right), DluY(rc->bottom)};
    return TRUE;
}

LONG WINAPI GetDialogBaseUnits(void) {
    return MAKELONG(8, 16);
}

BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* icc) {
    return (icc && icc->dwSize == sizeof(INITCOMMONCONTROLSEX)) ? TRUE : FALSE;
}

void WINAPI InitCommonControls(void) {}

// ---------------------------------------------------------------- message boxes

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    headless::MessageBoxRecord rec{owner, text ? text : L"", caption ? caption : L"Fehler", type,
                                   0};
    std::shared_ptr<BoxFn> handler;
    {
        std::lock_guard<std::mutex> lock(g_boxMutex);
        handler = g_boxHandlers.Innermost();
    }
    if (handler) {
        rec.answer = (*handler)(rec);
    } else {
        switch (type & MB_TYPEMASK) {
            case MB_OK:
                rec.answer = IDOK;
                break;
            case MB_YESNO:
                rec.answer = IDNO;
                break;
            case MB_ABORTRETRYIGNORE:
                rec.answer = IDABORT;
                break;
            default:
                rec.answer = IDCANCEL;
                break;
        }
    }
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxes.push_back(rec);
    return rec.answer;
}

BOOL WINAPI MessageBeep(UINT) {
    return TRUE;
}

// ---------------------------------------------------------------- file dialogs

namespace {

BOOL RunFileDialog(LPOPENFILENAMEW ofn, bool save) {
    g_commDlgError = 0;
    if (!ofn || ofn->lStructSize < offsetof(OPENFILENAMEW, pvReserved)) {
        g_commDlgError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    headless::FileDialogRecord rec{};
    rec.save = save;
    rec.owner = ofn->hwndOwner;
    for (const wchar_t* p = ofn->lpstrFilter; p && *p; p += std::wcslen(p) + 1)
        rec.filter.emplace_back(p);
    rec.filterIndex = ofn->nFilterIndex;
    rec.initialFile = ofn->lpstrFile ? ofn->lpstrFile : L"";
    rec.initialDir = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"";
    rec.defExt = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"";
    rec.title = ofn->lpstrTitle ? ofn->lpstrTitle : L"";
    rec.flags = ofn->Flags;
    std::shared_ptr<FileFn> handler = g_fileHandlers.Innermost();
    g_files.push_back(rec);
    std::optional<std::wstring> answer = handler ? (*handler)(rec) : std::nullopt;
    if (!answer) return FALSE;
    std::wstring path = *answer;
    size_t name = path.find_last_of(L"\\/");
    name = name == std::wstring::npos ? 0 : name + 1;
    size_t dot = path.find_last_of(L'.');
    if ((dot == std::wstring::npos || dot < name) && !rec.defExt.empty()) {
        path += L"." + rec.defExt;
        dot = path.find_last_of(L'.');
    }
    if (!ofn->lpstrFile || path.size() + 1 > ofn->nMaxFile) {
        g_commDlgError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(path.begin(), path.end(), ofn->lpstrFile);
    ofn->lpstrFile[path.size()] = L'\0';
    ofn->nFileOffset = static_cast<WORD>(name);
    ofn->nFileExtension =
        (dot == std::wstring::npos || dot < name) ? 0 : static_cast<WORD>(dot + 1);
    if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
        std::wstring title = path.substr(name).substr(0, ofn->nMaxFileTitle - 1);
        std::copy(title.begin(), title.end(), ofn->lpstrFileTitle);
        ofn->lpstrFileTitle[title.size()] = L'\0';
    }
    return TRUE;
}

}  // namespace

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW ofn) {
    return RunFileDialog(ofn, false);
}
BOOL WINAPI GetSaveFileNameW(LPOPENFILENAMEW ofn) {
    return RunFileDialog(ofn, true);
}
DWORD WINAPI CommDlgExtendedError(void) {
    return g_commDlgError;
}

// ---------------------------------------------------------------- test API

namespace headless {

ScopedModalHandler::ScopedModalHandler(std::function<void(HWND)> handler)
    : m_nId(ModalHandlers().Push(std::move(handler))) {}
ScopedModalHandler::~ScopedModalHandler() {
    ModalHandlers().Remove(m_nId);
}

std::vector<ModalRun> ModalRuns() {
    return Runs();
}

bool IsModalEnded(HWND hwnd) {
    Window* w = Find(hwnd);
    return !w || w->ended;
}

ScopedMessageBoxHandler::ScopedMessageBoxHandler(std::function<int(const MessageBoxRecord&)> h) {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    m_nId = g_boxHandlers.Push(std::move(h));
}
ScopedMessageBoxHandler::~ScopedMessageBoxHandler() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxHandlers.Remove(m_nId);
}

std::vector<MessageBoxRecord> MessageBoxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    return g_boxes;
}

void ClearMessageBoxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxes.clear();
}

ScopedFileDialogHandler::ScopedFileDialogHandler(
    std::function<std::optional<std::wstring>(const FileDialogRecord&)> handler)
    : m_nId(g_fileHandlers.Push(std::move(handler))) {}
ScopedFileDialogHandler::~ScopedFileDialogHandler() {
    g_fileHandlers.Remove(m_nId);
}

std::vector<FileDialogRecord> FileDialogs() {
    return g_files;
}
void ClearFileDialogs() {
    g_files.clear();
}

bool PressOk(HWND wnd) {
    // As the user: a click on the button (sheets included).
    if (!Find(wnd)) return true;
    if (HWND ok = GetDlgItem(wnd, IDOK))
        Click(ok);
    else
        SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return IsModalEnded(wnd);
}

bool PressCancel(HWND wnd) {
    // As the user: a click on the button (sheets included).
    if (!Find(wnd)) return true;
    if (HWND cancel = GetDlgItem(wnd, IDCANCEL))
        Click(cancel);
    else
        SendMessageW(wnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return IsModalEnded(wnd);
}

}  // namespace headless
