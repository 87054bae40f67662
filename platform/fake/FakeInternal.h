// Shared internals of the fake platform. One mutex guards all fake state;
// functions named ...Locked expect it to be held by the caller.
#pragma once

#include "FakePlatform.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fakeplat {
namespace detail {

std::mutex& StateMutex();
using Lock = std::lock_guard<std::mutex>;

// Case folding for names and paths (Windows compares them case-insensitively).
std::wstring Upper(const std::wstring& str);
bool EqualNoCase(const std::wstring& a, const std::wstring& b);
std::wstring FromNarrow(const char* psz);  // Latin-1
std::string ToUtf8(const std::wstring& str);

// Copies str with terminator into a caller buffer of nSize characters.
// Returns false (writing nothing) when it does not fit.
bool CopyToBuffer(const std::wstring& str, LPWSTR pBuffer, size_t nSize);

// Kernel handle table: files, tokens, threads, events.
struct KernelObject {
    virtual ~KernelObject() = default;
    // Called under the state lock when the handle is closed.
    virtual void OnCloseLocked() {}
};
HANDLE AddHandleLocked(std::shared_ptr<KernelObject> pObject);
std::shared_ptr<KernelObject> FindHandleLocked(HANDLE h);
void RemoveHandleLocked(HANDLE h);
template <class T>
std::shared_ptr<T> FindHandleAsLocked(HANDLE h) {
    return std::dynamic_pointer_cast<T>(FindHandleLocked(h));
}
// Unique values for all fake handles (kernel, registry, modules, contexts).
ULONG_PTR NextHandleValueLocked();

// Clock.
ULONGLONG NowFileTimeLocked();  // 100 ns since 1601, UTC
FILETIME ToFileTime(ULONGLONG ull);
ULONGLONG FromFileTime(const FILETIME& ft);
std::wstring SystemDirectoryLocked();
std::wstring WindowsDirectoryLocked();
// Whether the process is a 32-bit program on 64-bit Windows, whose file
// names below the system folder the file system redirects.
bool Wow64Locked();

// Per-area resets, run under the lock by fakeplat::Reset().
void ResetCoreLocked();
void ResetRegistryLocked();
void ResetFilesLocked();
void ResetSystemLocked();
void ResetSecurityLocked();
void ResetModulesLocked();
void ResetThreadsLocked();
// Empties the handle table and returns its objects, to be released after the
// lock is dropped (thread objects join or detach their threads).
std::vector<std::shared_ptr<KernelObject>> TakeHandlesLocked();

}  // namespace detail
}  // namespace fakeplat
