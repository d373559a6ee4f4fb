#pragma once
// The window layer's owning handles, one line per kind, and scopes for device contexts. The
// template comes from the platform layer, which owns kernel and file handles too.
#include <windows.h>

#include "platform/win32/uniquehandle.h"

namespace kivo {

using UniqueWindow = UniqueHandle<HWND, DestroyWindow>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenu>;
using UniqueIcon = UniqueHandle<HICON, DestroyIcon>;
using UniqueDC = UniqueHandle<HDC, DeleteDC>;
using UniqueGdiObject = UniqueHandle<HGDIOBJ, DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
using UniquePen = UniqueHandle<HPEN, DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObject>;
using UniqueRegion = UniqueHandle<HRGN, DeleteObject>;

// A device context of a window (null: the screen) for the length of a scope.
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

// BeginPaint/EndPaint for the length of a WM_PAINT handler.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC get() const { return dc_; }
    const RECT& Dirty() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A memory DC compatible with another, for drawing off screen.
class MemoryDC {
public:
    explicit MemoryDC(HDC like) : dc_(CreateCompatibleDC(like)) {}
    HDC get() const { return dc_.get(); }

private:
    UniqueDC dc_;
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

// Fills a rectangle with a colour through the DC's own brush: no brush to make or to free.
inline void FillSolid(HDC dc, const RECT& box, COLORREF color) {
    const COLORREF before = SetDCBrushColor(dc, color);
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetDCBrushColor(dc, before);
}

} // namespace kivo
