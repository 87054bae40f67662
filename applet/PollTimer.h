// The refresh timer of a page or dialog that polls the device: window timer
// 1, running only while the window is the active one.
#pragma once

#include "framework/Afx.h"

// Starts the timer unless one runs (nTimer != 0); a timer that cannot be
// started is reported with message 1135 and nTimer stays 0.
void StartPollTimer(CWnd* pWnd, UINT_PTR& nTimer, UINT nElapseMs);

// Stops the timer if one runs and sets nTimer to 0.
void StopPollTimer(CWnd* pWnd, UINT_PTR& nTimer);
