// Threads and events on the standard library, waiting, and CloseHandle.
#include "FakeInternal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

using namespace fakeplat::detail;

namespace {

std::atomic<DWORD> g_nNextThreadId{1000};
DWORD g_dwFailCreateThread = 0;  // guarded by the state mutex
thread_local DWORD t_dwThreadId = 0;

// Something WaitForSingleObject can wait for.
struct Waitable : KernelObject {
    std::mutex mutex;
    std::condition_variable cv;
    bool bSignaled = false;
    bool bManualReset = true;

    // Waits until signaled or the time is up; consumes an auto-reset signal.
    bool Wait(DWORD dwMilliseconds) {
        std::unique_lock<std::mutex> lock(mutex);
        const auto ready = [this] { return bSignaled; };
        if (dwMilliseconds == INFINITE)
            cv.wait(lock, ready);
        else if (!cv.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), ready))
            return false;
        if (!bManualReset) bSignaled = false;
        return true;
    }
    void Signal(bool bOn) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            bSignaled = bOn;
        }
        if (bOn) cv.notify_all();
    }
};

struct ThreadState : Waitable {
    DWORD dwExitCode = STILL_ACTIVE;
};

// The handle owns the thread; closing the last handle of a running thread
// lets it run on, as on Windows.
struct ThreadHandle : KernelObject {
    std::shared_ptr<ThreadState> pState;
    std::thread thread;

    ~ThreadHandle() override {
        if (!thread.joinable()) return;
        bool bDone;
        {
            std::lock_guard<std::mutex> lock(pState->mutex);
            bDone = pState->bSignaled;
        }
        if (bDone)
            thread.join();
        else
            thread.detach();
    }
};

struct EventHandle : Waitable {};

}  // namespace

DWORD WINAPI GetCurrentThreadId(void) {
    if (!t_dwThreadId) t_dwThreadId = g_nNextThreadId.fetch_add(4);
    return t_dwThreadId;
}

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    (void)lpThreadAttributes;
    (void)dwStackSize;
    if (!lpStartAddress || (dwCreationFlags & CREATE_SUSPENDED)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        Lock lock(StateMutex());
        if (g_dwFailCreateThread) {
            SetLastError(g_dwFailCreateThread);
            return nullptr;
        }
    }
    auto pHandle = std::make_shared<ThreadHandle>();
    auto pState = std::make_shared<ThreadState>();
    pState->bManualReset = true;
    pHandle->pState = pState;
    const DWORD dwId = g_nNextThreadId.fetch_add(4);
    if (lpThreadId) *lpThreadId = dwId;
    HANDLE h;
    {
        Lock lock(StateMutex());
        h = AddHandleLocked(pHandle);
        pHandle->thread = std::thread([pState, lpStartAddress, lpParameter, dwId] {
            t_dwThreadId = dwId;
            const DWORD dwExit = lpStartAddress(lpParameter);
            {
                std::lock_guard<std::mutex> lock(pState->mutex);
                pState->dwExitCode = dwExit;
            }
            pState->Signal(true);
        });
    }
    return h;
}

namespace fakeplat {

void FailCreateThread(DWORD dwError) {
    Lock lock(StateMutex());
    g_dwFailCreateThread = dwError;
}

namespace detail {
void ResetThreadsLocked() {
    g_dwFailCreateThread = 0;
}
}  // namespace detail

}  // namespace fakeplat

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    std::shared_ptr<ThreadHandle> pHandle;
    {
        Lock lock(StateMutex());
        pHandle = FindHandleAsLocked<ThreadHandle>(hThread);
    }
    if (!pHandle || !lpExitCode) {
        SetLastError(pHandle ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(pHandle->pState->mutex);
    *lpExitCode = pHandle->pState->dwExitCode;
    return TRUE;
}

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCWSTR lpName) {
    (void)lpEventAttributes;
    if (lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);  // named events are not faked
        return nullptr;
    }
    auto pEvent = std::make_shared<EventHandle>();
    pEvent->bManualReset = bManualReset != FALSE;
    pEvent->bSignaled = bInitialState != FALSE;
    Lock lock(StateMutex());
    SetLastError(ERROR_SUCCESS);
    return AddHandleLocked(pEvent);
}

namespace {

BOOL SignalEvent(HANDLE hEvent, bool bOn) {
    std::shared_ptr<EventHandle> pEvent;
    {
        Lock lock(StateMutex());
        pEvent = FindHandleAsLocked<EventHandle>(hEvent);
    }
    if (!pEvent) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    pEvent->Signal(bOn);
    return TRUE;
}

}  // namespace

BOOL WINAPI SetEvent(HANDLE hEvent) {
    return SignalEvent(hEvent, true);
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    return SignalEvent(hEvent, false);
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    std::shared_ptr<Waitable> pWaitable;
    {
        Lock lock(StateMutex());
        auto pObject = FindHandleLocked(hHandle);
        if (auto pThread = std::dynamic_pointer_cast<ThreadHandle>(pObject))
            pWaitable = pThread->pState;
        else
            pWaitable = std::dynamic_pointer_cast<Waitable>(pObject);
    }
    if (!pWaitable) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return pWaitable->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (hObject == GetCurrentProcess()) return TRUE;  // pseudo handle
    std::shared_ptr<KernelObject> pObject;
    {
        Lock lock(StateMutex());
        pObject = FindHandleLocked(hObject);
        if (!pObject) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        pObject->OnCloseLocked();
        RemoveHandleLocked(hObject);
    }
    // Released outside the lock: a thread object may join its thread.
    pObject.reset();
    return TRUE;
}
