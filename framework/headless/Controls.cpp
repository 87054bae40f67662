// The standard controls, as far as the application depends on their
// behaviour: edit, button, static, trackbar, progress bar, combo box, tab.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <algorithm>
#include <cwctype>

namespace headless::detail {
namespace {

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

bool Checkable(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
           type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
}

std::wstring Lower(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

int CopyOut(const std::wstring& s, LPWSTR buf) {
    if (!buf) return -1;
    std::copy(s.begin(), s.end(), buf);
    buf[s.size()] = L'\0';
    return static_cast<int>(s.size());
}

// Paints a text or icon control as Windows does: the parent chooses the
// colours through WM_CTLCOLOR*, then the text (or icon) is drawn with them.
void PaintControl(HWND hwnd, UINT ctlColorMsg) {
    Window* w = Find(hwnd);
    if (!w) return;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (w->parent)
        SendMessageW(w->parent, ctlColorMsg, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(hwnd));
    if ((w = Find(hwnd)) != nullptr) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        DWORD type = w->style & SS_TYPEMASK;
        if (w->kind == Kind::Static && type == SS_ICON) {
            if (w->icon)
                DrawIconEx(dc, 0, 0, static_cast<HICON>(w->icon), 0, 0, 0, nullptr, DI_NORMAL);
        } else if (w->kind == Kind::Edit || type <= SS_RIGHT || type == SS_SIMPLE ||
                   type == SS_LEFTNOWORDWRAP) {
            DrawTextW(dc, w->text.c_str(), -1, &rc, DT_LEFT | DT_NOPREFIX);
        }
    }
    EndPaint(hwnd, &ps);
}

void EditChanged(HWND hwnd) {
    NotifyParent(hwnd, EN_UPDATE);
    NotifyParent(hwnd, EN_CHANGE);
}

// The controls of hwnd's group: from the previous WS_GROUP control (or the
// first) up to, not including, the next WS_GROUP control.
std::vector<HWND> GroupOf(HWND hwnd) {
    std::vector<HWND> group;
    Window* w = Find(hwnd);
    Window* p = w ? Find(w->parent) : nullptr;
    if (!p) return group;
    const auto& kids = p->children;
    auto self = std::find(kids.begin(), kids.end(), hwnd);
    if (self == kids.end()) return group;
    auto first = self;
    while (first != kids.begin()) {
        Window* c = Find(*first);
        if (c && (c->style & WS_GROUP)) break;
        --first;
    }
    for (auto it = first; it != kids.end(); ++it) {
        Window* c = Find(*it);
        if (it != first && c && (c->style & WS_GROUP)) break;
        group.push_back(*it);
    }
    return group;
}

void ButtonClicked(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    switch (w->style & BS_TYPEMASK) {
        case BS_AUTOCHECKBOX:
            SendMessageW(hwnd, BM_SETCHECK, w->check ? BST_UNCHECKED : BST_CHECKED, 0);
            break;
        case BS_AUTO3STATE:
            SendMessageW(hwnd, BM_SETCHECK, (w->check + 1) % 3, 0);
            break;
        case BS_AUTORADIOBUTTON:
            for (HWND sib : GroupOf(hwnd)) {
                Window* s = Find(sib);
                if (sib != hwnd && s && s->kind == Kind::Button &&
                    (s->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON && (s->style & WS_VISIBLE) &&
                    !(s->style & WS_DISABLED))
                    SendMessageW(sib, BM_SETCHECK, BST_UNCHECKED, 0);
            }
            SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
            break;
        default:
            break;
    }
    NotifyParent(hwnd, BN_CLICKED);
}

}  // namespace

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    DWORD len = static_cast<DWORD>(w->text.size());
    switch (msg) {
        case WM_SETTEXT:
            // Windows notifies a text set by program too; nothing is filtered.
            DefWindowProcW(hwnd, msg, wParam, lParam);
            w->modified = false;
            w->selStart = w->selEnd = 0;
            EditChanged(hwnd);
            return TRUE;
        case WM_GETDLGCODE:
            return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        case WM_SETFOCUS:
            NotifyParent(hwnd, EN_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            NotifyParent(hwnd, EN_KILLFOCUS);
            return 0;
        case EM_SETREADONLY:
            if (wParam)
                w->style |= ES_READONLY;
            else
                w->style &= ~ES_READONLY;
            return TRUE;
        case EM_LIMITTEXT:
            w->limit = wParam ? static_cast<UINT>(wParam)
                              : ((w->style & ES_MULTILINE) ? 0xFFFFFFFFu : 0x7FFFFFFEu);
            return 0;
        case EM_GETLIMITTEXT:
            return w->limit;
        case EM_SETSEL: {
            int start = static_cast<int>(wParam);
            int end = static_cast<int>(lParam);
            if (start == -1) {
                w->selStart = w->selEnd;
                return 0;
            }
            if (end < 0 || static_cast<DWORD>(end) > len) end = static_cast<int>(len);
            if (start < 0 || static_cast<DWORD>(start) > len) start = static_cast<int>(len);
            if (start > end) std::swap(start, end);
            w->selStart = static_cast<DWORD>(start);
            w->selEnd = static_cast<DWORD>(end);
            return 0;
        }
        case EM_GETSEL:
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = w->selStart;
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = w->selEnd;
            return (w->selStart > 0xFFFF || w->selEnd > 0xFFFF) ? -1
                                                                : MAKELONG(w->selStart, w->selEnd);
        case EM_REPLACESEL: {
            std::wstring add = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            DWORD s = std::min(w->selStart, len);
            DWORD e = std::min(std::max(w->selEnd, s), len);
            w->text.replace(s, e - s, add);
            w->selStart = w->selEnd = s + static_cast<DWORD>(add.size());
            w->modified = true;
            EditChanged(hwnd);
            return 0;
        }
        case EM_GETMODIFY:
            return w->modified ? TRUE : FALSE;
        case EM_SETMODIFY:
            w->modified = wParam != 0;
            return 0;
        case EM_GETLINECOUNT:
            return 1 + std::count(w->text.begin(), w->text.end(), L'\n');
        case EM_SCROLLCARET:
        case EM_LINESCROLL:
            return TRUE;
        case WM_PAINT:
            // Read-only and disabled edits are coloured like statics.
            PaintControl(hwnd, (w->style & (ES_READONLY | WS_DISABLED)) ? WM_CTLCOLORSTATIC
                                                                        : WM_CTLCOLOREDIT);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    DWORD type = w->style & BS_TYPEMASK;
    switch (msg) {
        case WM_GETDLGCODE:
            if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return DLGC_RADIOBUTTON;
            if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
            return DLGC_BUTTON | (type == BS_PUSHBUTTON ? DLGC_UNDEFPUSHBUTTON : 0);
        case BM_GETCHECK:
            return Checkable(type) ? w->check : BST_UNCHECKED;
        case BM_SETCHECK:
            if (Checkable(type)) {
                int maxState = (type == BS_3STATE || type == BS_AUTO3STATE) ? 2 : 1;
                w->check = std::min(static_cast<int>(wParam), maxState);
                w->invalid = true;
            }
            return 0;
        case BM_GETSTATE:
            return w->check | (w->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
        case BM_SETSTATE:
            w->pushed = wParam != 0;
            return 0;
        case BM_SETSTYLE:
            w->style = (w->style & 0xFFFF0000u) | LOWORD(wParam);
            return 0;
        case BM_CLICK:
            // A user cannot click a disabled button.
            if (w->style & WS_DISABLED) return 0;
            SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
            return 0;
        case BM_SETIMAGE: {
            HANDLE old = w->buttonImage;
            w->buttonImage = reinterpret_cast<HANDLE>(lParam);
            return reinterpret_cast<LRESULT>(old);
        }
        case BM_GETIMAGE:
            return reinterpret_cast<LRESULT>(w->buttonImage);
        case WM_LBUTTONDBLCLK:
            // The second press of a double-click: these kinds only report it
            // and stay unpushed, so their release clicks nothing.
            if ((w->style & BS_NOTIFY) || type == BS_RADIOBUTTON || type == BS_USERBUTTON ||
                type == BS_OWNERDRAW) {
                NotifyParent(hwnd, BN_DOUBLECLICKED);
                return 0;
            }
            [[fallthrough]];
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            SetCapture(hwnd);
            if (Window* again = Find(hwnd)) again->pushed = true;
            return 0;
        case WM_LBUTTONUP: {
            if (!w->pushed) return 0;
            w->pushed = false;
            ReleaseCapture();
            RECT rc;
            GetClientRect(hwnd, &rc);
            POINT pt{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
            if (PtInRect(&rc, pt)) ButtonClicked(hwnd);
            return 0;
        }
        case WM_PAINT:
            if (type == BS_OWNERDRAW) {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd, &ps);
                DRAWITEMSTRUCT dis{};
                dis.CtlType = ODT_BUTTON;
                dis.CtlID = static_cast<UINT>(w->id);
                dis.itemAction = ODA_DRAWENTIRE;
                dis.itemState = (w->pushed ? ODS_SELECTED : 0) |
                                ((w->style & WS_DISABLED) ? ODS_DISABLED : 0) |
                                (GetFocus() == hwnd ? ODS_FOCUS : 0);
                dis.hwndItem = hwnd;
                dis.hDC = dc;
                GetClientRect(hwnd, &dis.rcItem);
                if (w->parent)
                    SendMessageW(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id),
                                 reinterpret_cast<LPARAM>(&dis));
                EndPaint(hwnd, &ps);
                return 0;
            }
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_GETDLGCODE:
            return DLGC_STATIC;
        case STM_SETICON: {
            HANDLE old = w->icon;
            w->icon = reinterpret_cast<HANDLE>(wParam);
            w->invalid = true;
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETICON:
            return reinterpret_cast<LRESULT>(w->icon);
        case STM_SETIMAGE: {
            HANDLE& slot = wParam == IMAGE_BITMAP ? w->bitmap : w->icon;
            HANDLE old = slot;
            slot = reinterpret_cast<HANDLE>(lParam);
            w->invalid = true;
            return reinterpret_cast<LRESULT>(old);
        }
        case STM_GETIMAGE:
            return reinterpret_cast<LRESULT>(wParam == IMAGE_BITMAP ? w->bitmap : w->icon);
        case WM_PAINT:
            PaintControl(hwnd, WM_CTLCOLORSTATIC);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case TBM_GETPOS:
            return w->pos;
        case TBM_GETRANGEMIN:
            return w->rangeMin;
        case TBM_GETRANGEMAX:
            return w->rangeMax;
        case TBM_SETPOS:
            w->pos = Clamp(static_cast<int>(lParam), w->rangeMin, w->rangeMax);
            if (wParam) w->invalid = true;
            return 0;
        case TBM_SETRANGE:
            w->rangeMin = static_cast<SHORT>(LOWORD(lParam));
            w->rangeMax = static_cast<SHORT>(HIWORD(lParam));
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return 0;
        case TBM_SETRANGEMIN:
            w->rangeMin = static_cast<int>(lParam);
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return 0;
        case TBM_SETRANGEMAX:
            w->rangeMax = static_cast<int>(lParam);
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return 0;
        case TBM_SETTICFREQ:
            w->ticFreq = static_cast<int>(wParam);
            return 0;
        case TBM_GETNUMTICS: {
            // Both ends and, with automatic ticks, one at every frequency step between.
            if (w->style & TBS_NOTICKS) return 0;
            int span = w->rangeMax - w->rangeMin;
            bool bAuto = (w->style & TBS_AUTOTICKS) && w->ticFreq > 0 && span > 0;
            return (bAuto ? (span - 1) / w->ticFreq : 0) + 2;
        }
        case TBM_SETTIC:
            return TRUE;
        case TBM_CLEARTICS:
            return 0;
        case TBM_SETPAGESIZE: {
            int old = w->pageSize;
            w->pageSize = static_cast<int>(lParam);
            return old;
        }
        case TBM_GETPAGESIZE:
            return w->pageSize;
        case TBM_SETLINESIZE: {
            int old = w->lineSize;
            w->lineSize = static_cast<int>(lParam);
            return old;
        }
        case TBM_GETLINESIZE:
            return w->lineSize;
        case TBM_SETBUDDY: {
            HWND& slot = wParam ? w->buddyLeft : w->buddyRight;
            HWND old = slot;
            slot = reinterpret_cast<HWND>(lParam);
            return reinterpret_cast<LRESULT>(old);
        }
        case TBM_GETBUDDY:
            return reinterpret_cast<LRESULT>(wParam ? w->buddyLeft : w->buddyRight);
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    LRESULT oldRange = MAKELONG(w->rangeMin, w->rangeMax);
    int old = w->pos;
    switch (msg) {
        case PBM_SETRANGE:
            w->rangeMin = LOWORD(lParam);
            w->rangeMax = HIWORD(lParam);
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return oldRange;
        case PBM_SETRANGE32:
            w->rangeMin = static_cast<int>(wParam);
            w->rangeMax = static_cast<int>(lParam);
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return oldRange;
        case PBM_GETRANGE:
            if (lParam) *reinterpret_cast<PBRANGE*>(lParam) = PBRANGE{w->rangeMin, w->rangeMax};
            return wParam ? w->rangeMin : w->rangeMax;
        case PBM_SETPOS:
            w->pos = Clamp(static_cast<int>(wParam), w->rangeMin, w->rangeMax);
            return old;
        case PBM_DELTAPOS:
            w->pos = Clamp(w->pos + static_cast<int>(wParam), w->rangeMin, w->rangeMax);
            return old;
        case PBM_SETSTEP: {
            int oldStep = w->step;
            w->step = static_cast<int>(wParam);
            return oldStep;
        }
        case PBM_STEPIT:
            w->pos += w->step;
            if (w->pos > w->rangeMax && w->rangeMax > w->rangeMin)
                w->pos = (w->pos - w->rangeMin) % (w->rangeMax - w->rangeMin) + w->rangeMin;
            w->pos = Clamp(w->pos, w->rangeMin, w->rangeMax);
            return old;
        case PBM_GETPOS:
            return w->pos;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    int count = static_cast<int>(w->items.size());
    int index = static_cast<int>(wParam);
    auto text = [&]() { return std::wstring(lParam ? reinterpret_cast<LPCWSTR>(lParam) : L""); };
    switch (msg) {
        case CB_ADDSTRING:
        case CB_INSERTSTRING: {
            std::wstring s = text();
            int at = count;
            if (msg == CB_INSERTSTRING) {
                if (index > count) return CB_ERR;
                if (index >= 0) at = index;
            } else if (w->style & CBS_SORT) {
                at = 0;
                while (at < count && Lower(w->items[static_cast<size_t>(at)]) <= Lower(s)) ++at;
            }
            w->items.insert(w->items.begin() + at, s);
            w->itemData.insert(w->itemData.begin() + at, 0);
            if (w->curSel >= at) ++w->curSel;
            return at;
        }
        case CB_DELETESTRING:
            if (index < 0 || index >= count) return CB_ERR;
            w->items.erase(w->items.begin() + index);
            w->itemData.erase(w->itemData.begin() + index);
            if (w->curSel == index)
                w->curSel = -1;
            else if (w->curSel > index)
                --w->curSel;
            return count - 1;
        case CB_GETCOUNT:
            return count;
        case CB_GETCURSEL:
            return w->curSel;
        case CB_SETCURSEL:
            if (index < 0 || index >= count) {
                w->curSel = -1;
                w->text.clear();
                return CB_ERR;
            }
            w->curSel = index;
            w->text = w->items[static_cast<size_t>(index)];
            return index;
        case CB_GETLBTEXT:
            if (index < 0 || index >= count) return CB_ERR;
            return CopyOut(w->items[static_cast<size_t>(index)], reinterpret_cast<LPWSTR>(lParam));
        case CB_GETLBTEXTLEN:
            if (index < 0 || index >= count) return CB_ERR;
            return static_cast<LRESULT>(w->items[static_cast<size_t>(index)].size());
        case CB_RESETCONTENT:
            w->items.clear();
            w->itemData.clear();
            w->curSel = -1;
            w->text.clear();
            return 0;
        case CB_SETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            w->itemData[static_cast<size_t>(index)] = lParam;
            return 0;
        case CB_GETITEMDATA:
            if (index < 0 || index >= count) return CB_ERR;
            return w->itemData[static_cast<size_t>(index)];
        case CB_FINDSTRING:
        case CB_FINDSTRINGEXACT: {
            std::wstring s = Lower(text());
            for (int i = 0; i < count; ++i) {
                int at = (index + 1 + i) % std::max(count, 1);
                if (index < 0) at = i;
                std::wstring item = Lower(w->items[static_cast<size_t>(at)]);
                if (msg == CB_FINDSTRINGEXACT ? item == s : item.compare(0, s.size(), s) == 0)
                    return at;
            }
            return CB_ERR;
        }
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

LRESULT CALLBACK TabProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    int count = static_cast<int>(w->items.size());
    int index = static_cast<int>(wParam);
    auto* item = reinterpret_cast<TCITEMW*>(lParam);
    switch (msg) {
        case TCM_GETITEMCOUNT:
            return count;
        case TCM_INSERTITEMW: {
            if (!item || index < 0) return -1;
            int at = std::min(index, count);
            w->items.insert(w->items.begin() + at,
                            (item->mask & TCIF_TEXT) && item->pszText ? item->pszText : L"");
            w->itemData.insert(w->itemData.begin() + at, item->lParam);
            if (w->curSel < 0) w->curSel = 0;
            return at;
        }
        case TCM_SETITEMW:
            if (!item || index < 0 || index >= count) return FALSE;
            if ((item->mask & TCIF_TEXT) && item->pszText)
                w->items[static_cast<size_t>(index)] = item->pszText;
            if (item->mask & TCIF_PARAM) w->itemData[static_cast<size_t>(index)] = item->lParam;
            return TRUE;
        case TCM_GETITEMW:
            if (!item || index < 0 || index >= count) return FALSE;
            if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
                const std::wstring& s = w->items[static_cast<size_t>(index)];
                size_t n = std::min(s.size(), static_cast<size_t>(item->cchTextMax - 1));
                std::copy(s.begin(), s.begin() + static_cast<long>(n), item->pszText);
                item->pszText[n] = L'\0';
            }
            if (item->mask & TCIF_PARAM) item->lParam = w->itemData[static_cast<size_t>(index)];
            return TRUE;
        case TCM_DELETEITEM:
            if (index < 0 || index >= count) return FALSE;
            w->items.erase(w->items.begin() + index);
            w->itemData.erase(w->itemData.begin() + index);
            if (w->curSel >= static_cast<int>(w->items.size()))
                w->curSel = static_cast<int>(w->items.size()) - 1;
            return TRUE;
        case TCM_DELETEALLITEMS:
            w->items.clear();
            w->itemData.clear();
            w->curSel = -1;
            return TRUE;
        case TCM_GETCURSEL:
            return w->curSel;
        case TCM_SETCURSEL: {
            int old = w->curSel;
            if (index < 0 || index >= count) return -1;
            w->curSel = index;
            return old;
        }
        case TCM_ADJUSTRECT:
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace headless::detail

using namespace headless::detail;

// ---------------------------------------------------------------- dialog item helpers

BOOL WINAPI CheckDlgButton(HWND dlg, int id, UINT check) {
    HWND b = GetDlgItem(dlg, id);
    if (!b) return FALSE;
    SendMessageW(b, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dlg, int id) {
    HWND b = GetDlgItem(dlg, id);
    return b ? static_cast<UINT>(SendMessageW(b, BM_GETCHECK, 0, 0)) : 0;
}

BOOL WINAPI CheckRadioButton(HWND dlg, int first, int last, int check) {
    if (!Need(dlg)) return FALSE;
    for (int id = first; id <= last; ++id)
        if (HWND b = GetDlgItem(dlg, id))
            SendMessageW(b, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

HWND WINAPI GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous) {
    if (!Need(dlg)) return nullptr;
    std::vector<HWND> group = GroupOf(ctl);
    if (group.empty()) return ctl;
    auto it = std::find(group.begin(), group.end(), ctl);
    for (size_t i = 1; i <= group.size(); ++i) {
        size_t at = static_cast<size_t>(it - group.begin());
        at = previous ? (at + group.size() - i) % group.size() : (at + i) % group.size();
        Window* c = Find(group[at]);
        if (c && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) return group[at];
    }
    return ctl;
}

HWND WINAPI GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous) {
    Window* d = Need(dlg);
    if (!d || d->children.empty()) return nullptr;
    const auto& kids = d->children;
    auto it = std::find(kids.begin(), kids.end(), ctl);
    size_t start = it == kids.end() ? (previous ? 0 : kids.size() - 1)
                                    : static_cast<size_t>(it - kids.begin());
    for (size_t i = 1; i <= kids.size(); ++i) {
        size_t at = previous ? (start + kids.size() - i) % kids.size() : (start + i) % kids.size();
        Window* c = Find(kids[at]);
        if (c && (c->style & WS_TABSTOP) && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED))
            return kids[at];
    }
    return ctl;
}

// ---------------------------------------------------------------- test API

namespace headless {

bool Click(HWND button) {
    Window* w = Find(button);
    if (!w || (w->style & WS_DISABLED)) return false;
    SendMessageW(button, BM_CLICK, 0, 0);
    return true;
}

void MouseDown(HWND button) {
    Window* w = Find(button);
    if (w && !(w->style & WS_DISABLED)) SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, 0);
}

void MouseUp(HWND button, bool inside) {
    if (!Find(button)) return;
    SendMessageW(button, WM_LBUTTONUP, 0, inside ? 0 : MAKELPARAM(-5, -5));
}

void DoubleClick(HWND button) {
    // What the system sends for two quick clicks on a window whose class
    // asks for double-clicks, as buttons do.
    MouseDown(button);
    MouseUp(button);
    Window* w = Find(button);
    if (w && !(w->style & WS_DISABLED)) SendMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
    MouseUp(button);
}

bool Type(HWND edit, const std::wstring& text) {
    Window* w = Find(edit);
    if (!w || (w->style & (WS_DISABLED | ES_READONLY))) return false;
    SetFocus(edit);
    w = Find(edit);
    if (!w) return false;
    std::wstring typed = text.substr(0, w->limit);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    if ((w = Find(edit)) != nullptr) {
        w->modified = true;
        w->selStart = w->selEnd = static_cast<DWORD>(w->text.size());
    }
    return true;
}

namespace {
void NotifyScroll(HWND trackbar, WORD code, int pos) {
    Window* w = Find(trackbar);
    if (!w || !w->parent) return;
    UINT msg = (w->style & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    HWND parent = w->parent;
    SendMessageW(parent, msg, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(trackbar));
    SendMessageW(parent, msg, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(trackbar));
}
}  // namespace

bool SlideTo(HWND trackbar, int pos) {
    Window* w = Find(trackbar);
    if (!w || (w->style & WS_DISABLED)) return false;
    SendMessageW(trackbar, TBM_SETPOS, TRUE, pos);
    NotifyScroll(trackbar, TB_THUMBPOSITION,
                 static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0)));
    return true;
}

bool StepSlider(HWND trackbar, UINT code) {
    Window* w = Find(trackbar);
    if (!w || (w->style & WS_DISABLED)) return false;
    int pos = w->pos;
    switch (code) {
        case TB_LINEUP:
            pos -= w->lineSize;
            break;
        case TB_LINEDOWN:
            pos += w->lineSize;
            break;
        case TB_PAGEUP:
            pos -= w->pageSize;
            break;
        case TB_PAGEDOWN:
            pos += w->pageSize;
            break;
        case TB_TOP:
            pos = w->rangeMin;
            break;
        case TB_BOTTOM:
            pos = w->rangeMax;
            break;
        default:
            return false;
    }
    SendMessageW(trackbar, TBM_SETPOS, TRUE, pos);
    NotifyScroll(trackbar, static_cast<WORD>(code), 0);
    return true;
}

bool SelectComboItem(HWND combo, int index) {
    Window* w = Find(combo);
    if (!w || (w->style & WS_DISABLED)) return false;
    if (SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
    NotifyParent(combo, CBN_SELCHANGE);
    return true;
}

bool IsChecked(HWND button) {
    return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int SliderPos(HWND trackbar) {
    return static_cast<int>(SendMessageW(trackbar, TBM_GETPOS, 0, 0));
}

int ProgressPos(HWND progress) {
    return static_cast<int>(SendMessageW(progress, PBM_GETPOS, 0, 0));
}

}  // namespace headless
