// MsgWaitForMultipleObjects: a wait for kernel objects that a posted message
// also ends. The headless queue has no wake-up signal, so it is polled.
#include "framework/headless/Headless.h"

#include <chrono>
#include <thread>

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    for (;;) {
        DWORD nSignaled = 0;
        for (DWORD i = 0; i < nCount; ++i) {
            DWORD dwResult = WaitForSingleObject(pHandles[i], 0);
            if (dwResult == WAIT_FAILED) return WAIT_FAILED;
            if (dwResult != WAIT_OBJECT_0) continue;
            if (!fWaitAll) return WAIT_OBJECT_0 + i;
            ++nSignaled;
        }
        if (fWaitAll && nCount > 0 && nSignaled == nCount) return WAIT_OBJECT_0;
        if ((dwWakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) && headless::PendingMessages() > 0)
            return WAIT_OBJECT_0 + nCount;
        if (dwMilliseconds != INFINITE && Clock::now() >= deadline) return WAIT_TIMEOUT;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
