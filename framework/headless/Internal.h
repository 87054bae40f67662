// Shared internals of the headless window system. Not for tests or
// application code: use Headless.h and the Win32 API.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace headless::detail {

enum class Kind { Generic, Dialog, Edit, Button, Static, Trackbar, Progress, ComboBox, Tab };

struct SheetData;  // PropSheet.cpp

struct Window {
    HWND hwnd = nullptr;
    Kind kind = Kind::Generic;
    std::wstring className;
    HWND parent = nullptr;       // child windows
    HWND owner = nullptr;        // top-level windows
    std::vector<HWND> children;  // creation (= tab) order
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring text;
    RECT rect{};  // window rectangle: parent client coordinates (child) or screen
    WNDPROC wndProc = nullptr;
    HINSTANCE hInstance = nullptr;
    LONG_PTR userData = 0;
    std::map<std::wstring, HANDLE> props;
    bool destroying = false;
    bool iconic = false;
    bool invalid = false;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    HFONT font = nullptr;
    HMENU sysMenu = nullptr;

    // Dialogs
    DLGPROC dlgProc = nullptr;
    LONG_PTR msgResult = 0;
    LONG_PTR dlgUser = 0;
    int templateId = 0;
    bool modal = false;
    bool ended = false;
    INT_PTR endResult = 0;
    int defId = IDOK;
    std::shared_ptr<SheetData> sheet;

    // Buttons
    int check = BST_UNCHECKED;
    bool pushed = false;
    HANDLE buttonImage = nullptr;
    // Edits
    UINT limit = 30000;
    DWORD selStart = 0;
    DWORD selEnd = 0;
    bool modified = false;
    // Statics
    HANDLE icon = nullptr;
    HANDLE bitmap = nullptr;
    // Trackbars and progress bars
    int rangeMin = 0;
    int rangeMax = 100;
    int pos = 0;
    int step = 10;
    int lineSize = 1;
    int pageSize = 20;
    int ticFreq = 1;
    HWND buddyLeft = nullptr;
    HWND buddyRight = nullptr;
    // Combo boxes and tab controls
    std::vector<std::wstring> items;
    std::vector<LPARAM> itemData;
    int curSel = -1;
};

// Live window or nullptr (destroyed handles are never reused).
Window* Find(HWND hwnd);
// Same, but sets ERROR_INVALID_WINDOW_HANDLE when there is none.
Window* Need(HWND hwnd);
bool IsDialogClass(const Window& w);
// WM_COMMAND notification from a control to its parent.
void NotifyParent(HWND ctl, WORD code);
// Top-level window containing hwnd (hwnd itself if top-level).
HWND RootOf(HWND hwnd);
void SetClientSize(Window& w, int x, int y, int cx, int cy);
HWND CreateWindowInternal(DWORD exStyle, const std::wstring& cls, const std::wstring& text,
                          DWORD style, int x, int y, int cx, int cy, HWND parent, int id,
                          HINSTANCE inst, LPVOID param);
void DeliverPosted();
void ResetWindows();

// Control window procedures (Controls.cpp)
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabProc(HWND, UINT, WPARAM, LPARAM);

// Resource script (Resources.cpp)
struct ControlTemplate {
    std::wstring text;
    int ordinal = -1;  // text given as a resource id (icon of an SS_ICON static)
    int id = 0;
    std::wstring cls;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};
struct DialogTemplate {
    int id = 0;
    std::wstring name;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::wstring caption;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::vector<ControlTemplate> controls;
};
// By id (MAKEINTRESOURCEW) or by name; nullptr (ERROR_RESOURCE_NAME_NOT_FOUND) if missing.
const DialogTemplate* FindDialog(LPCWSTR name);
// Icon (IMAGE_ICON) or bitmap (IMAGE_BITMAP) resource: its id and file.
bool FindImageFile(UINT type, LPCWSTR name, int* id, std::string* file);
// Dialog units to pixels (Tahoma 8: base units 6 x 13).
int DluX(int x);
int DluY(int y);

// Dialogs (Dialog.cpp)
// Creates a dialog window from a template; style adjusted by clear/set masks
// (property pages). Sends WM_SETFONT and WM_INITDIALOG; nullptr on failure.
HWND CreateDialogFromTemplate(const DialogTemplate& t, HINSTANCE inst, HWND parent, DLGPROC proc,
                              LPARAM param, DWORD styleClear, DWORD styleSet, bool modal);
// Runs a modal window through the test's handlers, cancelling and forcing the
// end if needed; cancel() asks the window to cancel itself. Returns the
// EndDialog result (forcedResult when forced).
INT_PTR RunModal(HWND hwnd, bool sheet, int templateId, INT_PTR forcedResult, void (*cancel)(HWND));
void ResetDialogs();

// Property sheets (PropSheet.cpp)
void ResetSheets();
// GDI, images, menus (Gdi.cpp)
void ResetGdi();
void DestroyMenuOf(HMENU menu);

constexpr DWORD kErrInvalidWindowHandle = 1400;
constexpr DWORD kErrCannotFindClass = 1407;
constexpr DWORD kErrInvalidIndex = 1413;
constexpr DWORD kErrResourceNameNotFound = 1814;

}  // namespace headless::detail
