#pragma once
// Owning wrappers for Win32 handles: one template, one small traits struct per handle kind.
#include <windows.h>

#include <utility>

namespace kivo {

template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct WindowTraits {
    using Handle = HWND;
    static HWND Invalid() { return nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
};
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct FontTraits {
    using Handle = HFONT;
    static HFONT Invalid() { return nullptr; }
    static void Close(HFONT h) { DeleteObject(h); }
};
struct IconTraits {
    using Handle = HICON;
    static HICON Invalid() { return nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static HMENU Invalid() { return nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }
};
struct KernelTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueFont = UniqueHandle<FontTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueKernelHandle = UniqueHandle<KernelTraits>;

// A device context of a window for the length of a scope.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a DC for the length of a scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace kivo
