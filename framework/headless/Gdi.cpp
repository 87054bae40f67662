// GDI, images, cursors and menus as records: objects are fake handles that
// remember what they are; drawing is logged for tests to inspect.
#include "framework/headless/Headless.h"
#include "framework/headless/Internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <stdexcept>
#include <tuple>

namespace headless::detail {
namespace {

enum class Obj { Icon, Cursor, Bitmap, Brush, Pen, Font, Palette, DC };

struct GdiObject {
    Obj kind = Obj::Brush;
    int resourceId = 0;
    bool system = false;
    bool shared = false;  // stock, system colour brush, LR_SHARED image
    int cx = 0, cy = 0, bpp = 1;
    COLORREF color = 0;
    // Device contexts
    HWND hwnd = nullptr;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    HGDIOBJ selected[4] = {};  // bitmap, brush, pen, font
};

struct MenuData {
    std::vector<headless::MenuItem> items;
};

struct Gdi {
    std::map<uintptr_t, GdiObject> objects;
    uintptr_t next = 0x40000000;
    std::map<int, HGDIOBJ> stock;
    std::map<int, HBRUSH> sysBrushes;
    std::map<std::tuple<UINT, bool, int, int, int>, HANDLE> sharedImages;
    std::map<HMENU, MenuData> menus;
    uintptr_t nextMenu = 0x50000000;
    std::vector<headless::DrawCall> draws;
    std::map<int, COLORREF> sysColors;
    HCURSOR cursor = nullptr;
};

Gdi& G() {
    static Gdi g;
    return g;
}

HANDLE NewObject(const GdiObject& o) {
    Gdi& g = G();
    uintptr_t h = g.next;
    g.next += 4;
    g.objects[h] = o;
    return reinterpret_cast<HANDLE>(h);
}

GdiObject* FindObj(const void* h) {
    auto& objs = G().objects;
    auto it = objs.find(reinterpret_cast<uintptr_t>(h));
    return it == objs.end() ? nullptr : &it->second;
}

GdiObject* DcOf(HDC hdc) {
    GdiObject* o = FindObj(hdc);
    return (o && o->kind == Obj::DC) ? o : nullptr;
}

COLORREF DefaultSysColor(int index) {
    static const COLORREF colors[] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
        RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
        RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
        RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
        RGB(255, 255, 225),
    };
    if (index < 0 || index >= static_cast<int>(sizeof(colors) / sizeof(colors[0]))) return 0;
    return colors[index];
}

DWORD ReadLE(const unsigned char* p, int n) {
    DWORD v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Size of the first image of an .ico file (32 x 32 if unreadable).
void IconFileSize(const std::string& file, int* cx, int* cy) {
    *cx = *cy = 32;
    std::ifstream in(file, std::ios::binary);
    unsigned char h[8] = {};
    if (in.read(reinterpret_cast<char*>(h), sizeof(h)) && ReadLE(h + 2, 2) == 1) {
        *cx = h[6] ? h[6] : 256;
        *cy = h[7] ? h[7] : 256;
    }
}

void BitmapFileSize(const std::string& file, int* cx, int* cy, int* bpp) {
    std::ifstream in(file, std::ios::binary);
    unsigned char h[30] = {};
    if (!in.read(reinterpret_cast<char*>(h), sizeof(h)) || h[0] != 'B' || h[1] != 'M')
        throw std::runtime_error("cannot read bitmap resource file '" + file + "'");
    if (ReadLE(h + 14, 4) == 12) {
        *cx = static_cast<int>(ReadLE(h + 18, 2));
        *cy = static_cast<int>(ReadLE(h + 20, 2));
        *bpp = static_cast<int>(ReadLE(h + 24, 2));
    } else {
        *cx = static_cast<int32_t>(ReadLE(h + 18, 4));
        *cy = std::abs(static_cast<int32_t>(ReadLE(h + 22, 4)));
        *bpp = static_cast<int>(ReadLE(h + 28, 2));
    }
}

void Record(const char* op, HDC hdc, const RECT& rc, HANDLE image, UINT flags, UINT flags2 = 0,
            COLORREF color = 0, const std::wstring& text = L"") {
    GdiObject* dc = DcOf(hdc);
    headless::DrawCall c;
    c.op = op;
    c.hdc = hdc;
    c.hwnd = dc ? dc->hwnd : nullptr;
    c.rect = rc;
    c.image = image;
    c.color = color;
    c.textColor = dc ? dc->textColor : 0;
    c.bkColor = dc ? dc->bkColor : 0;
    c.flags = flags;
    c.flags2 = flags2;
    c.text = text;
    G().draws.push_back(c);
}

HDC NewDC(HWND hwnd) {
    GdiObject o;
    o.kind = Obj::DC;
    o.hwnd = hwnd;
    o.selected[0] = nullptr;
    o.selected[1] = GetStockObject(WHITE_BRUSH);
    o.selected[2] = GetStockObject(BLACK_PEN);
    o.selected[3] = GetStockObject(SYSTEM_FONT);
    return static_cast<HDC>(NewObject(o));
}

int SlotOf(Obj kind) {
    switch (kind) {
        case Obj::Bitmap:
            return 0;
        case Obj::Brush:
            return 1;
        case Obj::Pen:
            return 2;
        case Obj::Font:
            return 3;
        default:
            return -1;
    }
}

bool IsSelectedSomewhere(HGDIOBJ h) {
    for (auto& [k, o] : G().objects)
        if (o.kind == Obj::DC)
            for (HGDIOBJ s : o.selected)
                if (s == h) return true;
    return false;
}

bool ValidSystemId(UINT type, int id) {
    if (type == IMAGE_ICON) return id >= 32512 && id <= 32518;
    if (type == IMAGE_CURSOR) return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651);
    return false;
}

}  // namespace

void ResetGdi() {
    Gdi& g = G();
    g.objects.clear();
    g.stock.clear();
    g.sysBrushes.clear();
    g.sharedImages.clear();
    g.menus.clear();
    g.draws.clear();
    g.sysColors.clear();
    g.cursor = nullptr;
}

void DestroyMenuOf(HMENU menu) {
    G().menus.erase(menu);
}

}  // namespace headless::detail

using namespace headless::detail;

// ---------------------------------------------------------------- images

HANDLE WINAPI LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name || type > IMAGE_CURSOR || (flags & LR_LOADFROMFILE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    GdiObject o;
    o.kind = type == IMAGE_ICON ? Obj::Icon : type == IMAGE_CURSOR ? Obj::Cursor : Obj::Bitmap;
    // A NULL module names the system's icons and cursors; other ids are looked
    // up in the resource script whatever the module handle.
    o.system = inst == nullptr && IS_INTRESOURCE(name) &&
               ValidSystemId(type, static_cast<int>(reinterpret_cast<ULONG_PTR>(name)));
    o.shared = (flags & LR_SHARED) != 0;
    std::string file;
    if (o.system) {
        o.resourceId = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    } else if (type == IMAGE_CURSOR || !FindImageFile(type, name, &o.resourceId, &file)) {
        SetLastError(kErrResourceNameNotFound);
        return nullptr;
    }
    if (type == IMAGE_BITMAP) {
        BitmapFileSize(file, &o.cx, &o.cy, &o.bpp);
        if (cx) o.cx = cx;
        if (cy) o.cy = cy;
    } else {
        int fileCx = 32, fileCy = 32;
        if (!file.empty()) IconFileSize(file, &fileCx, &fileCy);
        bool byDefault = (flags & LR_DEFAULTSIZE) != 0;
        o.cx = cx ? cx : (byDefault ? GetSystemMetrics(SM_CXICON) : fileCx);
        o.cy = cy ? cy : (byDefault ? GetSystemMetrics(SM_CYICON) : fileCy);
        o.bpp = 32;
    }
    if (o.shared) {
        auto key = std::make_tuple(type, o.system, o.resourceId, o.cx, o.cy);
        auto& cache = G().sharedImages;
        auto it = cache.find(key);
        if (it != cache.end() && FindObj(it->second)) return it->second;
        HANDLE h = NewObject(o);
        cache[key] = h;
        return h;
    }
    return NewObject(o);
}

HICON WINAPI LoadIconW(HINSTANCE inst, LPCWSTR name) {
    return static_cast<HICON>(LoadImageW(inst, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HCURSOR WINAPI LoadCursorW(HINSTANCE inst, LPCWSTR name) {
    return static_cast<HCURSOR>(
        LoadImageW(inst, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HBITMAP WINAPI LoadBitmapW(HINSTANCE inst, LPCWSTR name) {
    return static_cast<HBITMAP>(LoadImageW(inst, name, IMAGE_BITMAP, 0, 0, 0));
}

HANDLE WINAPI CopyImage(HANDLE h, UINT, int cx, int cy, UINT) {
    GdiObject* o = FindObj(h);
    if (!o) return nullptr;
    GdiObject copy = *o;
    copy.shared = false;
    if (cx) copy.cx = cx;
    if (cy) copy.cy = cy;
    return NewObject(copy);
}

BOOL WINAPI DestroyIcon(HICON icon) {
    GdiObject* o = FindObj(icon);
    if (!o || (o->kind != Obj::Icon && o->kind != Obj::Cursor)) {
        SetLastError(1402);  // ERROR_INVALID_CURSOR_HANDLE
        return FALSE;
    }
    if (!o->shared) G().objects.erase(reinterpret_cast<uintptr_t>(icon));
    return TRUE;
}

BOOL WINAPI DestroyCursor(HCURSOR cursor) {
    return DestroyIcon(cursor);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    HCURSOR old = G().cursor;
    G().cursor = cursor;
    return old;
}

HCURSOR WINAPI GetCursor(void) {
    return G().cursor;
}

BOOL WINAPI GetIconInfo(HICON icon, PICONINFO info) {
    GdiObject* o = FindObj(icon);
    if (!o || !info || (o->kind != Obj::Icon && o->kind != Obj::Cursor)) return FALSE;
    GdiObject bm;
    bm.kind = Obj::Bitmap;
    bm.cx = o->cx;
    bm.cy = o->cy;
    info->fIcon = o->kind == Obj::Icon;
    info->xHotspot = static_cast<DWORD>(o->cx / 2);
    info->yHotspot = static_cast<DWORD>(o->cy / 2);
    info->hbmColor = static_cast<HBITMAP>(NewObject(bm));
    bm.bpp = 1;
    info->hbmMask = static_cast<HBITMAP>(NewObject(bm));
    return TRUE;
}

// ---------------------------------------------------------------- objects

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < 0 || i > DC_PEN || i == 9) return nullptr;
    auto& stock = G().stock;
    auto it = stock.find(i);
    if (it != stock.end()) return it->second;
    GdiObject o;
    o.shared = true;
    if (i <= NULL_BRUSH || i == DC_BRUSH) {
        static const COLORREF gray[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                        RGB(64, 64, 64),    RGB(0, 0, 0),       0};
        o.kind = Obj::Brush;
        o.color = i == DC_BRUSH ? RGB(255, 255, 255) : gray[i];
    } else if (i <= NULL_PEN || i == DC_PEN) {
        o.kind = Obj::Pen;
        o.color = i == WHITE_PEN ? RGB(255, 255, 255) : 0;
    } else if (i == DEFAULT_PALETTE) {
        o.kind = Obj::Palette;
    } else {
        o.kind = Obj::Font;
    }
    HGDIOBJ h = NewObject(o);
    stock[i] = h;
    return h;
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    GdiObject o;
    o.kind = Obj::Brush;
    o.color = color;
    return static_cast<HBRUSH>(NewObject(o));
}

DWORD WINAPI GetSysColor(int index) {
    auto& c = G().sysColors;
    auto it = c.find(index);
    return it != c.end() ? it->second : DefaultSysColor(index);
}

HBRUSH WINAPI GetSysColorBrush(int index) {
    auto& b = G().sysBrushes;
    auto it = b.find(index);
    if (it != b.end() && FindObj(it->second)) {
        FindObj(it->second)->color = GetSysColor(index);
        return it->second;
    }
    GdiObject o;
    o.kind = Obj::Brush;
    o.shared = true;
    o.color = GetSysColor(index);
    HBRUSH h = static_cast<HBRUSH>(NewObject(o));
    b[index] = h;
    return h;
}

BOOL WINAPI DeleteObject(HGDIOBJ h) {
    GdiObject* o = FindObj(h);
    if (!o || o->kind == Obj::DC || o->kind == Obj::Icon || o->kind == Obj::Cursor) return FALSE;
    if (o->shared) return TRUE;
    if (IsSelectedSomewhere(h)) return FALSE;  // still selected into a DC
    G().objects.erase(reinterpret_cast<uintptr_t>(h));
    return TRUE;
}

int WINAPI GetObjectW(HANDLE h, int c, LPVOID pv) {
    GdiObject* o = FindObj(h);
    if (!o || o->kind != Obj::Bitmap) return 0;
    if (!pv) return sizeof(BITMAP);
    if (c < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{};
    bm.bmWidth = o->cx;
    bm.bmHeight = o->cy;
    bm.bmWidthBytes = ((o->cx * o->bpp + 15) / 16) * 2;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(o->bpp);
    *static_cast<BITMAP*>(pv) = bm;
    return sizeof(BITMAP);
}

// ---------------------------------------------------------------- device contexts

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    Window* w = Need(hwnd);
    if (!w || !ps) return nullptr;
    *ps = PAINTSTRUCT{};
    ps->hdc = NewDC(hwnd);
    ps->fErase = TRUE;
    GetClientRect(hwnd, &ps->rcPaint);
    w->invalid = false;
    return ps->hdc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* ps) {
    if (ps && DcOf(ps->hdc)) G().objects.erase(reinterpret_cast<uintptr_t>(ps->hdc));
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd) {
    if (hwnd && !Need(hwnd)) return nullptr;
    return NewDC(hwnd);
}

int WINAPI ReleaseDC(HWND, HDC hdc) {
    if (!DcOf(hdc)) return 0;
    G().objects.erase(reinterpret_cast<uintptr_t>(hdc));
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC) {
    HDC dc = NewDC(nullptr);
    // A memory DC starts with a 1 x 1 monochrome bitmap.
    GdiObject bm;
    bm.kind = Obj::Bitmap;
    bm.shared = true;
    bm.cx = bm.cy = 1;
    DcOf(dc)->selected[0] = NewObject(bm);
    return dc;
}

BOOL WINAPI DeleteDC(HDC hdc) {
    GdiObject* dc = DcOf(hdc);
    if (!dc) return FALSE;
    G().objects.erase(reinterpret_cast<uintptr_t>(hdc));
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    GdiObject* dc = DcOf(hdc);
    GdiObject* o = FindObj(h);
    if (!dc || !o) return nullptr;
    int slot = SlotOf(o->kind);
    if (slot < 0) return nullptr;
    dc = DcOf(hdc);
    HGDIOBJ old = dc->selected[slot];
    dc->selected[slot] = h;
    return old;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
    GdiObject* dc = DcOf(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->textColor;
    dc->textColor = color;
    return old;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
    GdiObject* dc = DcOf(hdc);
    return dc ? dc->textColor : CLR_INVALID;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
    GdiObject* dc = DcOf(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF old = dc->bkColor;
    dc->bkColor = color;
    return old;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
    GdiObject* dc = DcOf(hdc);
    return dc ? dc->bkColor : CLR_INVALID;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
    GdiObject* dc = DcOf(hdc);
    if (!dc) return 0;
    int old = dc->bkMode;
    dc->bkMode = mode;
    return old;
}

int WINAPI GetDeviceCaps(HDC, int index) {
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case BITSPIXEL:
            return 32;
        case PLANES:
            return 1;
        default:
            return 0;
    }
}

// ---------------------------------------------------------------- drawing (recorded)

int WINAPI FillRect(HDC hdc, const RECT* rc, HBRUSH brush) {
    if (!DcOf(hdc) || !rc) return 0;
    COLORREF color = 0;
    uintptr_t b = reinterpret_cast<uintptr_t>(brush);
    if (b > 0 && b <= 31) {
        color = GetSysColor(static_cast<int>(b) - 1);  // (HBRUSH)(COLOR_x + 1)
    } else if (GdiObject* o = FindObj(brush); o && o->kind == Obj::Brush) {
        color = o->color;
    } else {
        return 0;
    }
    Record("FillRect", hdc, *rc, nullptr, 0, 0, color);
    return 1;
}

BOOL WINAPI DrawEdge(HDC hdc, LPRECT rc, UINT edge, UINT flags) {
    if (!DcOf(hdc) || !rc) return FALSE;
    Record("DrawEdge", hdc, *rc, nullptr, edge, flags);
    if (flags & BF_ADJUST) InflateRect(rc, -2, -2);
    return TRUE;
}

BOOL WINAPI DrawFocusRect(HDC hdc, const RECT* rc) {
    if (!DcOf(hdc) || !rc) return FALSE;
    Record("DrawFocusRect", hdc, *rc, nullptr, 0);
    return TRUE;
}

BOOL WINAPI DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH,
                       UINT flags) {
    GdiObject* o = FindObj(icon);
    if (!DcOf(hdc) || !o || (o->kind != Obj::Icon && o->kind != Obj::Cursor)) return FALSE;
    if (!cx) cx = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CXICON) : o->cx;
    if (!cy) cy = (flags & DI_DEFAULTSIZE) ? GetSystemMetrics(SM_CYICON) : o->cy;
    Record("DrawIconEx", hdc, RECT{x, y, x + cx, y + cy}, icon, flags);
    return TRUE;
}

BOOL WINAPI DrawIcon(HDC hdc, int x, int y, HICON icon) {
    GdiObject* o = FindObj(icon);
    if (!DcOf(hdc) || !o || (o->kind != Obj::Icon && o->kind != Obj::Cursor)) return FALSE;
    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    Record("DrawIcon", hdc, RECT{x, y, x + cx, y + cy}, icon, DI_NORMAL | DI_DEFAULTSIZE);
    return TRUE;
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC src, int, int, DWORD rop) {
    if (!DcOf(hdc)) return FALSE;
    GdiObject* s = DcOf(src);
    if (src && !s) return FALSE;
    Record("BitBlt", hdc, RECT{x, y, x + cx, y + cy}, s ? s->selected[0] : nullptr, rop);
    return TRUE;
}

namespace {
std::wstring TextArg(LPCWSTR s, int n) {
    if (!s) return L"";
    return n < 0 ? std::wstring(s) : std::wstring(s, static_cast<size_t>(n));
}
}  // namespace

BOOL WINAPI GetTextExtentPoint32W(HDC, LPCWSTR s, int c, LPSIZE size) {
    if (!size) return FALSE;
    size->cx = 6 * std::max(c, 0);
    size->cy = 13;
    (void)s;
    return TRUE;
}

int WINAPI DrawTextW(HDC hdc, LPCWSTR s, int n, LPRECT rc, UINT format) {
    if (!DcOf(hdc) || !rc) return 0;
    std::wstring text = TextArg(s, n);
    if (format & DT_CALCRECT) {
        rc->right = rc->left + 6 * static_cast<LONG>(text.size());
        rc->bottom = rc->top + 13;
        return 13;
    }
    Record("DrawText", hdc, *rc, nullptr, format, 0, 0, text);
    return 13;
}

BOOL WINAPI TextOutW(HDC hdc, int x, int y, LPCWSTR s, int c) {
    if (!DcOf(hdc)) return FALSE;
    std::wstring text = TextArg(s, c);
    Record("TextOut", hdc, RECT{x, y, x + 6 * static_cast<LONG>(text.size()), y + 13}, nullptr, 0,
           0, 0, text);
    return TRUE;
}

BOOL WINAPI GetTextMetricsW(HDC, LPTEXTMETRICW tm) {
    if (!tm) return FALSE;
    *tm = TEXTMETRICW{};
    tm->tmHeight = 13;
    tm->tmAscent = 11;
    tm->tmDescent = 2;
    tm->tmAveCharWidth = 6;
    tm->tmMaxCharWidth = 13;
    tm->tmWeight = 400;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x1F;
    tm->tmBreakChar = 0x20;
    return TRUE;
}

// ---------------------------------------------------------------- menus

namespace {

MenuData* MenuOf(HMENU menu) {
    auto& m = G().menus;
    auto it = m.find(menu);
    if (it == m.end()) {
        SetLastError(1401);  // ERROR_INVALID_MENU_HANDLE
        return nullptr;
    }
    return &it->second;
}

int IndexOf(MenuData& m, UINT item, UINT flags) {
    if (flags & MF_BYPOSITION) return item < m.items.size() ? static_cast<int>(item) : -1;
    for (size_t i = 0; i < m.items.size(); ++i)
        if (!(m.items[i].flags & (MF_SEPARATOR | MF_POPUP)) && m.items[i].id == item)
            return static_cast<int>(i);
    return -1;
}

}  // namespace

HMENU WINAPI GetSystemMenu(HWND hwnd, BOOL revert) {
    Window* w = Need(hwnd);
    if (!w || (w->style & WS_CHILD) || !(w->style & WS_SYSMENU)) return nullptr;
    if (revert) {
        if (w->sysMenu) DestroyMenuOf(w->sysMenu);
        w->sysMenu = nullptr;
        return nullptr;
    }
    if (!w->sysMenu) {
        Gdi& g = G();
        HMENU menu = reinterpret_cast<HMENU>(g.nextMenu);
        g.nextMenu += 4;
        MenuData& m = g.menus[menu];
        m.items.push_back(headless::MenuItem{MF_STRING, SC_MOVE, L"&Verschieben"});
        m.items.push_back(headless::MenuItem{MF_STRING, SC_CLOSE, L"&Schließen\tAlt+F4"});
        w->sysMenu = menu;
    }
    return w->sysMenu;
}

BOOL WINAPI InsertMenuW(HMENU menu, UINT pos, UINT flags, UINT_PTR id, LPCWSTR text) {
    MenuData* m = MenuOf(menu);
    if (!m) return FALSE;
    headless::MenuItem item{static_cast<UINT>(flags & ~MF_BYPOSITION), id,
                            (flags & MF_SEPARATOR) || !text ? L"" : text};
    int at = pos == static_cast<UINT>(-1) ? -1 : IndexOf(*m, pos, flags);
    if (at < 0)
        m->items.push_back(item);
    else
        m->items.insert(m->items.begin() + at, item);
    return TRUE;
}

BOOL WINAPI AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
    return InsertMenuW(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

BOOL WINAPI DeleteMenu(HMENU menu, UINT pos, UINT flags) {
    MenuData* m = MenuOf(menu);
    int at = m ? IndexOf(*m, pos, flags) : -1;
    if (at < 0) return FALSE;
    m->items.erase(m->items.begin() + at);
    return TRUE;
}

BOOL WINAPI RemoveMenu(HMENU menu, UINT pos, UINT flags) {
    return DeleteMenu(menu, pos, flags);
}

int WINAPI GetMenuItemCount(HMENU menu) {
    MenuData* m = MenuOf(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT WINAPI GetMenuItemID(HMENU menu, int pos) {
    MenuData* m = MenuOf(menu);
    if (!m || pos < 0 || pos >= static_cast<int>(m->items.size())) return static_cast<UINT>(-1);
    const auto& item = m->items[static_cast<size_t>(pos)];
    if (item.flags & MF_POPUP) return static_cast<UINT>(-1);
    return (item.flags & MF_SEPARATOR) ? 0 : static_cast<UINT>(item.id);
}

UINT WINAPI GetMenuState(HMENU menu, UINT id, UINT flags) {
    MenuData* m = MenuOf(menu);
    int at = m ? IndexOf(*m, id, flags) : -1;
    return at < 0 ? static_cast<UINT>(-1) : m->items[static_cast<size_t>(at)].flags;
}

int WINAPI GetMenuStringW(HMENU menu, UINT id, LPWSTR buf, int cch, UINT flags) {
    MenuData* m = MenuOf(menu);
    int at = m ? IndexOf(*m, id, flags) : -1;
    if (at < 0) {
        if (buf && cch > 0) buf[0] = L'\0';
        return 0;
    }
    const std::wstring& s = m->items[static_cast<size_t>(at)].text;
    if (!buf || cch <= 0) return static_cast<int>(s.size());
    int n = std::min(static_cast<int>(s.size()), cch - 1);
    std::copy(s.begin(), s.begin() + n, buf);
    buf[n] = L'\0';
    return n;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT id, UINT enable) {
    MenuData* m = MenuOf(menu);
    int at = m ? IndexOf(*m, id, enable) : -1;
    if (at < 0) return -1;
    UINT& f = m->items[static_cast<size_t>(at)].flags;
    UINT old = f & (MF_GRAYED | MF_DISABLED);
    f = (f & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(old);
}

// ---------------------------------------------------------------- wsprintfW

int WINAPIV wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    // Windows' %s / %c take the wide type in wide functions, the C library's
    // the narrow one: translate the format before formatting.
    std::wstring f;
    for (const wchar_t* p = format; p && *p; ++p) {
        f += *p;
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') {
            f += *p;
            continue;
        }
        while (*p && std::wcschr(L"-+ #0123456789.", *p)) f += *p++;
        bool narrow = false, wide = false;
        while (*p == L'h' || *p == L'l' || *p == L'I' || *p == L'w') {
            if (*p == L'h') narrow = true;
            if (*p == L'l' || *p == L'w') wide = true;
            if (*p == L'I' && p[1] == L'6' && p[2] == L'4') {
                f += L"ll";
                p += 3;
                continue;
            }
            if (*p == L'l') f += L'l';
            ++p;
        }
        if (!*p) break;
        if (*p == L's' || *p == L'c') {
            if (!narrow) f += L'l';
            f += *p;
        } else if (*p == L'S' || *p == L'C') {
            if (wide) f += L'l';
            f += static_cast<wchar_t>(*p - L'S' + L's');
        } else {
            f += *p;
        }
    }
    wchar_t out[1025];
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(out, 1025, f.c_str(), args);
    va_end(args);
    if (n < 0) n = 1024;
    out[n] = L'\0';
    if (buffer) std::copy(out, out + n + 1, buffer);
    return n;
}

// ---------------------------------------------------------------- test API

namespace headless {

std::optional<ImageInfo> ImageOf(HANDLE image) {
    GdiObject* o = FindObj(image);
    if (!o || (o->kind != Obj::Icon && o->kind != Obj::Cursor && o->kind != Obj::Bitmap))
        return std::nullopt;
    UINT type = o->kind == Obj::Icon     ? IMAGE_ICON
                : o->kind == Obj::Cursor ? IMAGE_CURSOR
                                         : IMAGE_BITMAP;
    return ImageInfo{type, o->resourceId, o->system, o->shared, o->cx, o->cy};
}

int LiveObjectCount() {
    int n = 0;
    for (auto& [h, o] : G().objects)
        if (!o.shared) ++n;
    return n;
}

std::vector<DrawCall> DrawCalls() {
    return G().draws;
}
void ClearDrawCalls() {
    G().draws.clear();
}
void SetSysColor(int index, COLORREF color) {
    G().sysColors[index] = color;
}

std::vector<MenuItem> MenuItems(HMENU menu) {
    auto& m = G().menus;
    auto it = m.find(menu);
    return it == m.end() ? std::vector<MenuItem>{} : it->second.items;
}

}  // namespace headless
