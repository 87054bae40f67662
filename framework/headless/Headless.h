// Test-side control of the headless window system (Linux only): what the
// user and the operating system would do, and what tests inspect.
//
// Threading: windows, timers, modal runs and drawing belong to the thread that
// drives the UI. MessageBoxW and PostMessageW may also be called from other
// threads (a transfer worker asks questions); their records are locked.
//
// Posted messages (PostMessageW) wait in one queue. They are delivered by
// PumpMessages(), by PeekMessageW/DispatchMessageW, and automatically by a
// modal run: once after the window is initialised (before the modal handler
// runs) and once after the handler returns.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace headless {

// Destroys every window and forgets every record, handler, timer, posted
// message, drawing and image; goes back to the default resource script.
void Reset();

// Reads dialogs, strings, icons and bitmaps from this resource script
// instead of the application's (empty path: back to the application's).
// Scripts are parsed once and stay cached.
void SetResourceScript(const std::string& rcPath);

// ---------------------------------------------------------------- modal runs

// While alive, the innermost handler receives each modal window (dialog box or
// property sheet) once it is initialised. It drives the window and should end
// it; if it does not, the backend cancels it (PSBTN_CANCEL or IDCANCEL) and,
// if it is still open, ends it by force. Without any handler a modal window is
// cancelled at once.
class ScopedModalHandler {
public:
    explicit ScopedModalHandler(std::function<void(HWND)> handler);
    ~ScopedModalHandler();
    ScopedModalHandler(const ScopedModalHandler&) = delete;
    ScopedModalHandler& operator=(const ScopedModalHandler&) = delete;

private:
    int m_nId;
};

struct ModalRun {
    HWND hwnd;
    bool sheet;               // property sheet (else dialog box)
    int templateId;           // dialog template id, 0 for a sheet
    std::wstring caption;     // caption when the run began
    bool handled;             // a handler received it
    bool cancelledByBackend;  // the handler left it open; the backend cancelled it
    bool forced;              // even the cancel left it open; ended by force
    INT_PTR result;
};
std::vector<ModalRun> ModalRuns();
bool IsModalEnded(HWND hwnd);  // EndDialog called / sheet closed (or window gone)

// ---------------------------------------------------------------- posted messages

int PumpMessages();  // delivers every queued message; returns how many
size_t PendingMessages();
// The mouse moves over the window; any thread. Queued like a posted message;
// when taken from the queue, the window sets the cursor first: WM_SETCURSOR
// (HTCLIENT, or HTERROR if its top-level window is disabled; a disabled child
// leaves it to its parent), then WM_MOUSEMOVE unless disabled. DefWindowProc
// asks a child's parent first, then sets the class cursor. False if no window.
bool MouseMove(HWND hwnd);

// ---------------------------------------------------------------- message boxes

struct MessageBoxRecord {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
    int answer;
};
// The handler answers every MessageBoxW while alive (innermost wins). Default
// answer: IDOK for MB_OK, IDNO for MB_YESNO, else IDCANCEL.
class ScopedMessageBoxHandler {
public:
    explicit ScopedMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler);
    ~ScopedMessageBoxHandler();
    ScopedMessageBoxHandler(const ScopedMessageBoxHandler&) = delete;
    ScopedMessageBoxHandler& operator=(const ScopedMessageBoxHandler&) = delete;

private:
    int m_nId;
};
std::vector<MessageBoxRecord> MessageBoxes();
void ClearMessageBoxes();

// ---------------------------------------------------------------- file dialogs

struct FileDialogRecord {
    bool save;
    HWND owner;
    std::vector<std::wstring> filter;  // description, pattern, description, pattern...
    DWORD filterIndex;
    std::wstring initialFile;  // lpstrFile on entry
    std::wstring initialDir;
    std::wstring defExt;
    std::wstring title;
    DWORD flags;
};
// Returns the chosen path, or nothing for Cancel. Default: Cancel.
class ScopedFileDialogHandler {
public:
    explicit ScopedFileDialogHandler(
        std::function<std::optional<std::wstring>(const FileDialogRecord&)> handler);
    ~ScopedFileDialogHandler();
    ScopedFileDialogHandler(const ScopedFileDialogHandler&) = delete;
    ScopedFileDialogHandler& operator=(const ScopedFileDialogHandler&) = delete;

private:
    int m_nId;
};
std::vector<FileDialogRecord> FileDialogs();
void ClearFileDialogs();

// ---------------------------------------------------------------- timers

struct TimerRecord {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
};
std::vector<TimerRecord> Timers();
bool HasTimer(HWND hwnd, UINT_PTR id);
// Delivers WM_TIMER (or calls the timer procedure) if that timer exists.
bool FireTimer(HWND hwnd, UINT_PTR id);
void FailSetTimer(bool fail);  // SetTimer returns 0 while set

// ---------------------------------------------------------------- user actions

bool Click(HWND button);  // BM_CLICK; false if the button is disabled or gone
void MouseDown(HWND button);
void MouseUp(HWND button, bool inside = true);  // released outside: no click
void DoubleClick(HWND button);                  // down, up, double-click, up
// Replaces an edit's text as a user would (focus, typing limit, EN_CHANGE);
// false if the edit is disabled or read-only.
bool Type(HWND edit, const std::wstring& text);
// Moves a trackbar's thumb and notifies the parent: TB_THUMBPOSITION then
// TB_ENDTRACK (WM_HSCROLL, or WM_VSCROLL for TBS_VERT). False if disabled.
bool SlideTo(HWND trackbar, int pos);
// A keyboard step (TB_LINEUP, TB_LINEDOWN, TB_PAGEUP, TB_PAGEDOWN, TB_TOP,
// TB_BOTTOM) followed by TB_ENDTRACK.
bool StepSlider(HWND trackbar, UINT code);
bool SelectComboItem(HWND combo, int index);  // CB_SETCURSEL + CBN_SELCHANGE
// F1 on a control: WM_HELP with a HELPINFO for it, to the control; unhandled
// help goes up to the parent (child) or owner (top-level), as on Windows.
LRESULT PressF1(HWND ctl);
LRESULT SysCommand(HWND hwnd, UINT cmd);
void SetIconic(HWND hwnd, bool iconic);
// Invalidates and sends WM_PAINT. Statics and edits ask their parent for
// colours (WM_CTLCOLORSTATIC / WM_CTLCOLOREDIT) and record DrawText or
// DrawIconEx; owner-drawn buttons send WM_DRAWITEM to their parent.
void Paint(HWND hwnd);

// ---------------------------------------------------------------- inspection

HWND FindChild(HWND parent, int id);  // depth-first, any level below parent
std::wstring TextOf(HWND hwnd);
std::wstring ClassOf(HWND hwnd);
int TemplateIdOf(HWND dialog);  // 0 if not made from a template
bool IsChecked(HWND button);
int SliderPos(HWND trackbar);
int ProgressPos(HWND progress);

// ---------------------------------------------------------------- property sheets

std::vector<std::wstring> SheetTabTitles(HWND sheet);
HWND ActivePage(HWND sheet);
int ActivePageIndex(HWND sheet);
bool SelectPage(HWND sheet, int index);  // as a tab click; false if refused
// A click on the IDOK / IDCANCEL button of a sheet or dialog (the WM_COMMAND
// if there is no such button). Returns whether the window has ended.
bool PressOk(HWND wnd);
bool PressCancel(HWND wnd);
bool SheetChanged(HWND sheet);  // some page sent PSM_CHANGED and not PSM_UNCHANGED

// ---------------------------------------------------------------- images, drawing, menus

struct ImageInfo {
    UINT type;       // IMAGE_ICON, IMAGE_BITMAP, IMAGE_CURSOR
    int resourceId;  // resource id (system icons: 32512...)
    bool system;     // loaded with a NULL module (system icon or cursor)
    bool shared;     // LR_SHARED / LoadIconW: never destroyed
    int cx, cy;
};
std::optional<ImageInfo> ImageOf(HANDLE image);  // nothing if unknown or destroyed
int LiveObjectCount();  // created, non-shared GDI objects and icons not yet freed

struct DrawCall {
    std::string op;  // "FillRect", "DrawIcon", "DrawIconEx", "BitBlt", "DrawEdge",
                     // "DrawFocusRect", "DrawText", "TextOut"
    HDC hdc;
    HWND hwnd;       // window the DC belongs to (NULL for memory DCs)
    RECT rect;       // FillRect / DrawEdge / DrawFocusRect / DrawText; x,y,cx,cy for others
    HANDLE image;    // icon, or the bitmap selected into the source DC
    COLORREF color;  // brush colour for FillRect
    COLORREF textColor, bkColor;  // the DC's colours at the time of the call
    UINT flags;   // DrawEdge edge, DrawIconEx flags, BitBlt raster op, DrawText format
    UINT flags2;  // DrawEdge BF_ flags
    std::wstring text;
};
std::vector<DrawCall> DrawCalls();
void ClearDrawCalls();
void SetSysColor(int index, COLORREF color);

struct MenuItem {
    UINT flags;
    UINT_PTR id;
    std::wstring text;
};
std::vector<MenuItem> MenuItems(HMENU menu);

}  // namespace headless
