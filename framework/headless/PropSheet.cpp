// Property sheets: a dialog window with a tab control, OK / Cancel / Apply /
// Help buttons and child page dialogs created on first activation, with the
// PSN_ notifications and PSM_ messages of the common controls.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <set>

namespace headless::detail {

constexpr int kTabId = 12320;  // the common controls' ids
constexpr int kApplyId = 12321;

struct SheetPage {
    HPROPSHEETPAGE hpage = nullptr;
    HWND hwnd = nullptr;
    std::wstring title;
    int templateId = 0;
};

struct SheetData {
    DWORD flags = 0;
    std::vector<SheetPage> pages;
    int active = -1;
    HWND tab = nullptr;
    std::set<HWND> changed;
    INT_PTR restart = 0;
    RECT pageRect{};
};

namespace {

struct PageData {
    std::vector<unsigned char> bytes;  // the caller's PROPSHEETPAGEW, extra data included
    PROPSHEETPAGEW* psp() { return reinterpret_cast<PROPSHEETPAGEW*>(bytes.data()); }
};

std::map<HPROPSHEETPAGE, std::unique_ptr<PageData>>& Pages() {
    static std::map<HPROPSHEETPAGE, std::unique_ptr<PageData>> pages;
    return pages;
}

uintptr_t g_nextPage = 0x60000000;

PageData* PageOf(HPROPSHEETPAGE h) {
    auto it = Pages().find(h);
    return it == Pages().end() ? nullptr : it->second.get();
}

SheetData* SheetOf(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->sheet.get() : nullptr;
}

std::wstring TextOrString(HINSTANCE inst, LPCWSTR s) {
    if (!s) return L"";
    if (!IS_INTRESOURCE(s)) return s;
    LPCWSTR res = nullptr;
    int n = LoadStringW(inst, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(s)),
                        reinterpret_cast<LPWSTR>(&res), 0);
    return n > 0 ? std::wstring(res, static_cast<size_t>(n)) : L"";
}

LRESULT Notify(HWND sheet, HWND page, UINT code, LPARAM lParam) {
    if (!Find(page)) return 0;
    PSHNOTIFY psn{NMHDR{sheet, 0, code}, lParam};
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&psn));
}

HWND PageHwnd(HWND sheet, int index) {
    SheetData* s = SheetOf(sheet);
    if (!s || index < 0 || index >= static_cast<int>(s->pages.size())) return nullptr;
    return s->pages[static_cast<size_t>(index)].hwnd;
}

bool CreatePage(HWND sheet, int index) {
    SheetData* s = SheetOf(sheet);
    PageData* pd = s ? PageOf(s->pages[static_cast<size_t>(index)].hpage) : nullptr;
    if (!pd) return false;
    PROPSHEETPAGEW* psp = pd->psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
        !psp->pfnCallback(nullptr, PSPCB_CREATE, psp))
        return false;
    const DialogTemplate* t = FindDialog(psp->pszTemplate);
    if (!t) return false;
    // Pages become borderless children of the sheet, as the common controls do it.
    HWND page = CreateDialogFromTemplate(*t, psp->hInstance, sheet, psp->pfnDlgProc,
                                         reinterpret_cast<LPARAM>(psp),
                                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DISABLED |
                                             WS_VISIBLE | WS_THICKFRAME | DS_MODALFRAME,
                                         WS_CHILD | WS_TABSTOP | DS_CONTROL | DS_3DLOOK, false);
    s = SheetOf(sheet);
    if (!page || !s) return false;
    Find(page)->rect = s->pageRect;
    s->pages[static_cast<size_t>(index)].hwnd = page;
    return true;
}

void ShowPage(HWND sheet, int index) {
    SheetData* s = SheetOf(sheet);
    if (!s) return;
    HWND old = PageHwnd(sheet, s->active);
    HWND now = PageHwnd(sheet, index);
    s->active = index;
    if (old && old != now) ShowWindow(old, SW_HIDE);
    if (now) ShowWindow(now, SW_SHOW);
    if ((s = SheetOf(sheet)) == nullptr) return;
    if (s->tab) SendMessageW(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (HWND help = GetDlgItem(sheet, IDHELP)) {
        PageData* pd = PageOf(s->pages[static_cast<size_t>(index)].hpage);
        EnableWindow(help, pd && (pd->psp()->dwFlags & PSP_HASHELP) ? TRUE : FALSE);
    }
}

// PSN_KILLACTIVE to the active page: may it be left?
bool CanLeave(HWND sheet) {
    SheetData* s = SheetOf(sheet);
    if (!s) return false;
    HWND page = PageHwnd(sheet, s->active);
    return !page || Notify(sheet, page, PSN_KILLACTIVE, 0) == 0;
}

bool SetCurSel(HWND sheet, int index, HPROPSHEETPAGE hpage, bool killActive) {
    SheetData* s = SheetOf(sheet);
    if (!s) return false;
    int n = static_cast<int>(s->pages.size());
    if (hpage) {
        index = -1;
        for (int i = 0; i < n; ++i)
            if (s->pages[static_cast<size_t>(i)].hpage == hpage) index = i;
    }
    if (index < 0 || index >= n) return false;
    if (killActive && !CanLeave(sheet)) return false;
    for (int guard = 0; guard <= n; ++guard) {
        if (!PageHwnd(sheet, index) && !CreatePage(sheet, index)) return false;
        LRESULT r = Notify(sheet, PageHwnd(sheet, index), PSN_SETACTIVE, 0);
        if ((s = SheetOf(sheet)) == nullptr) return false;
        if (r == 0) break;
        if (r == -1) {
            // Refused: the next page is offered instead, as the common controls do.
            if (++index >= n) {
                index = n - 1;
                break;
            }
            continue;
        }
        for (int i = 0; i < n; ++i)
            if (s->pages[static_cast<size_t>(i)].templateId == static_cast<int>(r)) index = i;
    }
    ShowPage(sheet, index);
    return true;
}

bool Apply(HWND sheet, LPARAM lParam) {
    if (!CanLeave(sheet)) return false;
    SheetData* s = SheetOf(sheet);
    for (size_t i = 0; s && i < s->pages.size(); ++i) {
        HWND page = s->pages[i].hwnd;
        if (!page) continue;
        LRESULT r = Notify(sheet, page, PSN_APPLY, lParam);
        if (r == PSNRET_INVALID) ShowPage(sheet, static_cast<int>(i));
        if (r == PSNRET_INVALID || r == PSNRET_INVALID_NOCHANGEPAGE) return false;
        s = SheetOf(sheet);
    }
    if ((s = SheetOf(sheet)) != nullptr) s->changed.clear();
    if (HWND apply = GetDlgItem(sheet, kApplyId)) EnableWindow(apply, FALSE);
    return true;
}

void CancelSheet(HWND sheet, LPARAM closeBox) {
    SheetData* s = SheetOf(sheet);
    if (!s) return;
    if (Notify(sheet, PageHwnd(sheet, s->active), PSN_QUERYCANCEL, 0)) return;
    for (size_t i = 0; (s = SheetOf(sheet)) != nullptr && i < s->pages.size(); ++i)
        if (s->pages[i].hwnd) Notify(sheet, s->pages[i].hwnd, PSN_RESET, closeBox);
    if (IsWindow(sheet)) EndDialog(sheet, 0);
}

void DoCommand(HWND sheet, int id) {
    SheetData* s = SheetOf(sheet);
    if (!s) return;
    switch (id) {
        case IDOK:
            if (Apply(sheet, TRUE) && (s = SheetOf(sheet)) != nullptr)
                EndDialog(sheet, s->restart ? s->restart : 1);
            break;
        case IDCANCEL:
            CancelSheet(sheet, FALSE);
            break;
        case kApplyId:
            Apply(sheet, FALSE);
            break;
        case IDHELP:
            Notify(sheet, PageHwnd(sheet, s->active), PSN_HELP, 0);
            break;
        default:
            break;
    }
}

void AddPage(HWND sheet, HPROPSHEETPAGE hpage, const std::wstring& title, int templateId) {
    SheetData* s = SheetOf(sheet);
    s->pages.push_back(SheetPage{hpage, nullptr, title, templateId});
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(title.c_str());
    SendMessageW(s->tab, TCM_INSERTITEMW, s->pages.size() - 1, reinterpret_cast<LPARAM>(&item));
}

bool PageTitle(HPROPSHEETPAGE h, std::wstring* title, int* templateId, int* cx, int* cy) {
    PageData* pd = PageOf(h);
    if (!pd) return false;
    PROPSHEETPAGEW* psp = pd->psp();
    const DialogTemplate* t = FindDialog(psp->pszTemplate);
    if (!t) return false;
    *title =
        (psp->dwFlags & PSP_USETITLE) ? TextOrString(psp->hInstance, psp->pszTitle) : t->caption;
    *templateId = t->id;
    *cx = DluX(t->cx);
    *cy = DluY(t->cy);
    return true;
}

INT_PTR CALLBACK SheetDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    SheetData* s = SheetOf(hwnd);
    if (!s) return FALSE;
    auto result = [hwnd](LRESULT r) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, r);
        return TRUE;
    };
    int n = static_cast<int>(s->pages.size());
    switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ||
                LOWORD(wParam) == kApplyId || LOWORD(wParam) == IDHELP) {
                DoCommand(hwnd, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            CancelSheet(hwnd, TRUE);
            return TRUE;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                CancelSheet(hwnd, TRUE);
                return TRUE;
            }
            return FALSE;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lParam);
            if (!hdr || hdr->hwndFrom != s->tab) return FALSE;
            if (hdr->code == TCN_SELCHANGING) return result(CanLeave(hwnd) ? FALSE : TRUE);
            if (hdr->code == TCN_SELCHANGE) {
                int index = static_cast<int>(SendMessageW(s->tab, TCM_GETCURSEL, 0, 0));
                SetCurSel(hwnd, index, nullptr, false);
                return result(0);
            }
            return FALSE;
        }
        case PSM_SETCURSEL:
            return result(SetCurSel(hwnd, static_cast<int>(wParam),
                                    reinterpret_cast<HPROPSHEETPAGE>(lParam), true));
        case PSM_SETCURSELID:
            for (int i = 0; i < n; ++i)
                if (s->pages[static_cast<size_t>(i)].templateId == static_cast<int>(lParam))
                    return result(SetCurSel(hwnd, i, nullptr, true));
            return result(FALSE);
        case PSM_ADDPAGE: {
            std::wstring title;
            int id, cx, cy;
            auto h = reinterpret_cast<HPROPSHEETPAGE>(lParam);
            if (!PageTitle(h, &title, &id, &cx, &cy)) return result(FALSE);
            AddPage(hwnd, h, title, id);
            return result(TRUE);
        }
        case PSM_CHANGED:
            s->changed.insert(reinterpret_cast<HWND>(wParam));
            if (HWND apply = GetDlgItem(hwnd, kApplyId)) EnableWindow(apply, TRUE);
            return result(0);
        case PSM_UNCHANGED:
            s->changed.erase(reinterpret_cast<HWND>(wParam));
            if (HWND apply = GetDlgItem(hwnd, kApplyId); apply && s->changed.empty())
                EnableWindow(apply, FALSE);
            return result(0);
        case PSM_RESTARTWINDOWS:
            s->restart |= ID_PSRESTARTWINDOWS;
            return result(0);
        case PSM_REBOOTSYSTEM:
            s->restart |= ID_PSREBOOTSYSTEM;
            return result(0);
        case PSM_CANCELTOCLOSE:
            if (HWND cancel = GetDlgItem(hwnd, IDCANCEL)) EnableWindow(cancel, FALSE);
            if (HWND ok = GetDlgItem(hwnd, IDOK)) SetWindowTextW(ok, L"Schließen");
            return result(0);
        case PSM_QUERYSIBLINGS:
            for (int i = 0; i < n; ++i) {
                HWND page = PageHwnd(hwnd, i);
                if (!page) continue;
                if (LRESULT r = SendMessageW(page, PSM_QUERYSIBLINGS, wParam, lParam))
                    return result(r);
            }
            return result(0);
        case PSM_APPLY:
            return result(Apply(hwnd, FALSE));
        case PSM_SETTITLEW: {
            Window* w = Find(hwnd);
            SetWindowTextW(
                hwnd, TextOrString(w ? w->hInstance : nullptr, reinterpret_cast<LPCWSTR>(lParam))
                          .c_str());
            return result(0);
        }
        case PSM_PRESSBUTTON:
            switch (wParam) {
                case PSBTN_OK:
                    DoCommand(hwnd, IDOK);
                    break;
                case PSBTN_CANCEL:
                    DoCommand(hwnd, IDCANCEL);
                    break;
                case PSBTN_APPLYNOW:
                    DoCommand(hwnd, kApplyId);
                    break;
                case PSBTN_HELP:
                    DoCommand(hwnd, IDHELP);
                    break;
                default:
                    break;
            }
            return result(0);
        case PSM_GETTABCONTROL:
            return result(reinterpret_cast<LRESULT>(s->tab));
        case PSM_GETCURRENTPAGEHWND:
            return result(reinterpret_cast<LRESULT>(PageHwnd(hwnd, s->active)));
        case PSM_INDEXTOHWND:
            return result(reinterpret_cast<LRESULT>(PageHwnd(hwnd, static_cast<int>(wParam))));
        case PSM_HWNDTOINDEX:
            for (int i = 0; i < n; ++i)
                if (wParam &&
                    s->pages[static_cast<size_t>(i)].hwnd == reinterpret_cast<HWND>(wParam))
                    return result(i);
            return result(-1);
        case PSM_INDEXTOPAGE:
            return result(
                wParam < s->pages.size() ? reinterpret_cast<LRESULT>(s->pages[wParam].hpage) : 0);
        case PSM_PAGETOINDEX:
            for (int i = 0; i < n; ++i)
                if (s->pages[static_cast<size_t>(i)].hpage ==
                    reinterpret_cast<HPROPSHEETPAGE>(lParam))
                    return result(i);
            return result(-1);
        case PSM_IDTOINDEX:
            for (int i = 0; i < n; ++i)
                if (s->pages[static_cast<size_t>(i)].templateId == static_cast<int>(lParam))
                    return result(i);
            return result(-1);
        case PSM_INDEXTOID:
            return result(wParam < s->pages.size() ? s->pages[wParam].templateId : 0);
        case PSM_ISDIALOGMESSAGE:
            return result(FALSE);
        default:
            return FALSE;
    }
}

void CancelForModal(HWND sheet) {
    SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace

void ResetSheets() {
    Pages().clear();
}

}  // namespace headless::detail

using namespace headless::detail;

HPROPSHEETPAGE WINAPI CreatePropertySheetPageW(LPCPROPSHEETPAGEW psp) {
    constexpr DWORD kMinSize = offsetof(PROPSHEETPAGEW, pcRefParent) + sizeof(UINT*);
    if (!psp || psp->dwSize < kMinSize || (psp->dwFlags & PSP_DLGINDIRECT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto pd = std::make_unique<PageData>();
    pd->bytes.assign(std::max<size_t>(psp->dwSize, sizeof(PROPSHEETPAGEW)), 0);
    std::memcpy(pd->bytes.data(), psp, psp->dwSize);
    auto h = reinterpret_cast<HPROPSHEETPAGE>(g_nextPage);
    g_nextPage += 4;
    PROPSHEETPAGEW* copy = pd->psp();
    Pages().emplace(h, std::move(pd));
    if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback)
        copy->pfnCallback(nullptr, PSPCB_ADDREF, copy);
    return h;
}

BOOL WINAPI DestroyPropertySheetPage(HPROPSHEETPAGE h) {
    auto it = Pages().find(h);
    if (it == Pages().end()) return FALSE;
    std::unique_ptr<PageData> pd = std::move(it->second);
    Pages().erase(it);
    PROPSHEETPAGEW* psp = pd->psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback)
        psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
    return TRUE;
}

INT_PTR WINAPI PropertySheetW(LPCPROPSHEETHEADERW psh) {
    constexpr DWORD kMinSize = offsetof(PROPSHEETHEADERW, pfnCallback) + sizeof(void*);
    if (!psh || psh->dwSize < kMinSize || (psh->dwFlags & PSH_WIZARD) || psh->nPages == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::vector<HPROPSHEETPAGE> hpages;
    auto destroyPages = [&] {
        for (HPROPSHEETPAGE h : hpages) DestroyPropertySheetPage(h);
    };
    const auto* raw = reinterpret_cast<const unsigned char*>(psh->ppsp);
    for (UINT i = 0; i < psh->nPages; ++i) {
        if (psh->dwFlags & PSH_PROPSHEETPAGE) {
            // The array's stride is each page's dwSize (pages may carry extra data).
            const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(raw);
            HPROPSHEETPAGE h = CreatePropertySheetPageW(psp);
            if (!h) {
                destroyPages();
                return -1;
            }
            hpages.push_back(h);
            raw += psp->dwSize;
        } else {
            hpages.push_back(psh->phpage[i]);
        }
    }
    std::vector<SheetPage> pages;
    int maxCx = 0, maxCy = 0;
    for (HPROPSHEETPAGE h : hpages) {
        SheetPage p;
        int cx, cy;
        p.hpage = h;
        if (!PageTitle(h, &p.title, &p.templateId, &cx, &cy)) {
            destroyPages();
            return -1;
        }
        maxCx = std::max(maxCx, cx);
        maxCy = std::max(maxCy, cy);
        pages.push_back(p);
    }
    bool contextHelp = !(psh->dwFlags & PSH_NOCONTEXTHELP);
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT |
                  (contextHelp ? DS_CONTEXTHELP : 0);
    DWORD exStyle =
        WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | (contextHelp ? WS_EX_CONTEXTHELP : 0);
    HWND sheet =
        CreateWindowInternal(exStyle, L"#32770", TextOrString(psh->hInstance, psh->pszCaption),
                             style, 0, 0, 0, 0, psh->hwndParent, 0, psh->hInstance, nullptr);
    if (!sheet) {
        destroyPages();
        return -1;
    }
    auto data = std::make_shared<SheetData>();
    data->flags = psh->dwFlags;
    {
        Window* w = Find(sheet);
        w->sheet = data;
        w->dlgProc = SheetDlgProc;
        w->font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        int clientCx = maxCx + 22;
        int clientCy = maxCy + 32 + 11 + 23 + 11;
        SetClientSize(*w, 0, 0, clientCx, clientCy);
        SetClientSize(*w, (1024 - w->rect.right) / 2, (768 - w->rect.bottom) / 2, clientCx,
                      clientCy);
        data->pageRect = RECT{11, 32, 11 + maxCx, 32 + maxCy};
        data->tab = CreateWindowInternal(0, L"SysTabControl32", L"",
                                         WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 7, 7,
                                         maxCx + 8, maxCy + 29, sheet, kTabId, nullptr, nullptr);
        int y = clientCy - 11 - 23;
        int x = clientCx - 7;
        struct Btn {
            int id;
            const wchar_t* text;
            bool present;
            bool enabled;
        };
        const Btn buttons[] = {
            {IDHELP, L"Hilfe", (psh->dwFlags & PSH_HASHELP) != 0, true},
            {kApplyId, L"Ü&bernehmen", !(psh->dwFlags & PSH_NOAPPLYNOW), false},
            {IDCANCEL, L"Abbrechen", true, true},
            {IDOK, L"OK", true, true},
        };
        for (const Btn& b : buttons) {
            if (!b.present) continue;
            x -= 75;
            DWORD bs = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                       (b.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                       (b.enabled ? 0 : WS_DISABLED);
            CreateWindowInternal(0, L"Button", b.text, bs, x, y, 75, 23, sheet, b.id, nullptr,
                                 nullptr);
            x -= 6;
        }
    }
    // Buttons in tab order OK, Cancel, Apply, Help.
    if (Window* w = Find(sheet)) {
        std::vector<HWND> order{data->tab};
        for (int id : {IDOK, IDCANCEL, kApplyId, IDHELP})
            if (HWND b = GetDlgItem(sheet, id)) order.push_back(b);
        w->children = order;
    }
    for (const SheetPage& p : pages) AddPage(sheet, p.hpage, p.title, p.templateId);
    if (psh->dwFlags & PSH_USEHICON)
        SendMessageW(sheet, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(psh->hIcon));
    else if (psh->dwFlags & PSH_USEICONID)
        SendMessageW(sheet, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(LoadIconW(psh->hInstance, psh->pszIcon)));
    if ((psh->dwFlags & PSH_USECALLBACK) && psh->pfnCallback)
        psh->pfnCallback(sheet, PSCB_INITIALIZED, 0);
    int start = 0;
    if (psh->dwFlags & PSH_USEPSTARTPAGE) {
        for (size_t i = 0; psh->pStartPage && i < pages.size(); ++i)
            if (pages[i].title == psh->pStartPage) start = static_cast<int>(i);
    } else if (psh->nStartPage < psh->nPages) {
        start = static_cast<int>(psh->nStartPage);
    }
    if (IsWindow(sheet)) SetCurSel(sheet, start, nullptr, false);
    if (!IsWindow(sheet)) {
        destroyPages();
        return -1;
    }
    ShowWindow(sheet, SW_SHOWNORMAL);
    if (psh->dwFlags & PSH_MODELESS) return reinterpret_cast<INT_PTR>(sheet);

    HWND owner = psh->hwndParent ? RootOf(psh->hwndParent) : nullptr;
    bool reenable = owner && IsWindowEnabled(owner);
    if (reenable) EnableWindow(owner, FALSE);
    INT_PTR result = RunModal(sheet, true, 0, 0, CancelForModal);
    if (reenable && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(sheet)) DestroyWindow(sheet);
    for (const SheetPage& p : data->pages) DestroyPropertySheetPage(p.hpage);
    return result;
}

// ---------------------------------------------------------------- test API

namespace headless {

std::vector<std::wstring> SheetTabTitles(HWND sheet) {
    std::vector<std::wstring> titles;
    HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    int n = tab ? static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < n; ++i) {
        wchar_t buf[256] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = buf;
        item.cchTextMax = 256;
        SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        titles.emplace_back(buf);
    }
    return titles;
}

HWND ActivePage(HWND sheet) {
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

int ActivePageIndex(HWND sheet) {
    SheetData* s = SheetOf(sheet);
    return s ? s->active : -1;
}

bool SelectPage(HWND sheet, int index) {
    // The user's path: a click on a tab.
    SheetData* s = SheetOf(sheet);
    if (!s || !s->tab) return false;
    if (index == s->active) return true;
    HWND tab = s->tab;
    NMHDR hdr{tab, static_cast<UINT_PTR>(kTabId), TCN_SELCHANGING};
    if (SendMessageW(sheet, WM_NOTIFY, kTabId, reinterpret_cast<LPARAM>(&hdr))) return false;
    if (SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0) == -1) return false;
    hdr.code = TCN_SELCHANGE;
    SendMessageW(sheet, WM_NOTIFY, kTabId, reinterpret_cast<LPARAM>(&hdr));
    return ActivePageIndex(sheet) == index;
}

bool SheetChanged(HWND sheet) {
    SheetData* s = SheetOf(sheet);
    return s && !s->changed.empty();
}

}  // namespace headless
