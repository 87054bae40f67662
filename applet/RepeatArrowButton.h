// An owner-drawn arrow button that, while held down, steps the number in a
// buddy edit field at the user's keyboard repeat delay and rate. A single
// click is an ordinary button click for the parent.
#pragma once

#include "framework/Afx.h"
#include "framework/AfxHandles.h"

struct CBitmapTraits {
    static HBITMAP Invalid() { return nullptr; }
    static void Close(HBITMAP h) { ::DeleteObject(h); }
};
struct CMemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
using CBitmapHandle = CUniqueHandle<HBITMAP, CBitmapTraits>;
using CMemoryDcHandle = CUniqueHandle<HDC, CMemoryDcTraits>;

class CRepeatArrowButton : public CButton {
public:
    CRepeatArrowButton();
    ~CRepeatArrowButton() override;

    // Sets the field to step and its limits, the direction (TRUE: up, right
    // arrow) and takes the keyboard's repeat delay and rate.
    void Configure(CWnd* pBuddy, int nMinimum, int nMaximum, BOOL bUp);

    // The user's keyboard repeat delay (ms) and rate (steps per second), read
    // from the registry at the first call after the module was loaded.
    static void GetKeyboardSettings(UINT& nDelayMs, UINT& nRate);
    // Forgets what was read, as unloading the module does; the application
    // object calls it when it is constructed.
    static void ResetKeyboardSettings();
    // Milliseconds between two steps at a rate; never 0.
    static UINT RepeatPeriod(UINT nRate);

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    void OnLButtonDown(UINT nFlags, POINT point);
    void OnLButtonDblClk(UINT nFlags, POINT point);
    void OnLButtonUp(UINT nFlags, POINT point);
    void OnTimer(UINT_PTR nIDEvent);
    void OnCaptureChanged(CWnd* pWnd);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    void StartRepeat();
    void StopRepeat();
    void StepBuddy();

    UINT m_nRate;   // 0: not configured, no repetition
    UINT m_nDelay;  // ms from the press to the first step
    BOOL m_bUp;     // up = increase (right arrow)
    int m_nMaximum;
    int m_nMinimum;
    HWND m_hWndBuddy;         // the field to step; none until configured
    UINT_PTR m_nTimerId;      // running repeat timer, 0 when none
    CBitmapHandle m_bitmap;   // loaded at the first drawing
    CMemoryDcHandle m_memDC;  // created at the first drawing
};
