#include "applet/PollTimer.h"

#include "res/resource.h"

namespace {
const UINT_PTR kPollTimerId = 1;
}

void StartPollTimer(CWnd* pWnd, UINT_PTR& nTimer, UINT nElapseMs) {
    if (nTimer) return;
    nTimer = pWnd->SetTimer(kPollTimerId, nElapseMs);
    if (!nTimer) AfxMessageBox(IDS_TIMER_FAILED, MB_OK | MB_ICONSTOP);
}

void StopPollTimer(CWnd* pWnd, UINT_PTR& nTimer) {
    if (!nTimer) return;
    pWnd->KillTimer(nTimer);
    nTimer = 0;
}
