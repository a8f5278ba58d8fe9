// One owner for every Windows handle: a small move-only wrapper that closes what it holds.
#pragma once

#include <windows.h>

namespace plug {

// Owns a value of type T that is released with Close and is empty when it equals Invalid().
template <typename T, typename Traits>
class UniqueAny {
public:
    UniqueAny() noexcept : m_value(Traits::Invalid()) {}
    explicit UniqueAny(T value) noexcept : m_value(value) {}
    ~UniqueAny() { Reset(); }

    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : m_value(other.Detach()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    T Get() const noexcept { return m_value; }
    // For APIs that take an array of handles (a wait on one handle).
    const T* GetAddressOf() const noexcept { return &m_value; }
    bool IsValid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Takes ownership of value, releasing whatever was held before.
    void Attach(T value) noexcept
    {
        Reset();
        m_value = value;
    }
    // Gives up ownership without releasing.
    T Detach() noexcept
    {
        T value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    void Reset() noexcept
    {
        if (IsValid())
            Traits::Close(m_value);
        m_value = Traits::Invalid();
    }
    // For APIs that return a handle through an out-parameter.
    T* Put() noexcept
    {
        Reset();
        return &m_value;
    }

private:
    T m_value;
};

struct HandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct HKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct SCHandleTraits {
    static SC_HANDLE Invalid() { return nullptr; }
    static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
template <typename G>
struct GdiObjectTraits {
    static G Invalid() { return nullptr; }
    static void Close(G h) { ::DeleteObject(h); }
};
struct MemoryDCTraits {
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct LocalMemoryTraits {
    static HLOCAL Invalid() { return nullptr; }
    static void Close(HLOCAL h) { ::LocalFree(h); }
};

using UniqueHandle = UniqueAny<HANDLE, HandleTraits>;   // events, processes, threads, mutexes
using UniqueFile = UniqueAny<HANDLE, FileHandleTraits>; // CreateFile results, pipes
using UniqueHKey = UniqueAny<HKEY, HKeyTraits>;
using UniqueSCHandle = UniqueAny<SC_HANDLE, SCHandleTraits>;
using UniqueModule = UniqueAny<HMODULE, ModuleTraits>;
using UniqueBitmap = UniqueAny<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueAny<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueAny<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniqueRegion = UniqueAny<HRGN, GdiObjectTraits<HRGN>>;
using UniqueMemoryDC = UniqueAny<HDC, MemoryDCTraits>;
using UniqueFind = UniqueAny<HANDLE, FindHandleTraits>;
using UniqueLocalMemory = UniqueAny<HLOCAL, LocalMemoryTraits>; // LocalAlloc results (security descriptors)

// A device context obtained with GetDC, released with ReleaseDC on the same window.
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDC()
    {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects a GDI object into a DC and restores the previous one when it goes out of scope.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectObjectScope()
    {
        if (m_previous)
            ::SelectObject(m_dc, m_previous);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace plug
