// Owners of Win32 handles: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <utility>

template <class T, class Traits>
class CUniqueHandle {
public:
    CUniqueHandle() = default;
    explicit CUniqueHandle(T h) : m_h(h) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept
        : m_h(std::exchange(other.m_h, Traits::Invalid())) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            m_h = std::exchange(other.m_h, Traits::Invalid());
        }
        return *this;
    }

    T Get() const { return m_h; }
    explicit operator bool() const { return m_h != Traits::Invalid(); }
    // Address for Win32 calls that return a new handle; closes the old one.
    T* Receive() {
        Reset();
        return &m_h;
    }
    void Reset(T h = Traits::Invalid()) {
        if (m_h != Traits::Invalid()) Traits::Close(m_h);
        m_h = h;
    }
    T Release() { return std::exchange(m_h, Traits::Invalid()); }

private:
    T m_h = Traits::Invalid();
};

struct CKernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct CRegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct CModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct CLocalMemTraits {
    static wchar_t* Invalid() { return nullptr; }
    static void Close(wchar_t* p) { ::LocalFree(p); }
};

using CHandle = CUniqueHandle<HANDLE, CKernelHandleTraits>;
using CRegKeyHandle = CUniqueHandle<HKEY, CRegKeyTraits>;
using CModuleHandle = CUniqueHandle<HMODULE, CModuleTraits>;
using CLocalText = CUniqueHandle<wchar_t*, CLocalMemTraits>;
