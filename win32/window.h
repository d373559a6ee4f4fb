#pragma once
// The one window base of the program: every window class registers through it, gets its object
// back from GWLP_USERDATA and handles its messages in one member, under one exception policy.
#include <windows.h>

namespace kivo {

// How a window class looks; registered once per class name and module.
struct WindowClassInfo {
    const char* name = nullptr;
    UINT style = 0;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    HCURSOR cursor = nullptr;           // null: the arrow
    const char* iconResource = nullptr; // e.g. "MAINICON"; null: no icon
};

// Registers the class unless this module already has it (a second registration is harmless).
void RegisterWindowClass(const WindowClassInfo& info, WNDPROC proc);

// Base of every window object. The object owns its HWND: destroying the object destroys the
// window. The window's own destruction (DestroyWindow, WM_CLOSE's default) detaches the object:
// no message reaches it after WM_NCDESTROY, and OnFinalMessage runs last.
//
// Exception policy: a failure escaping OnMessage goes once to the top-level error display
// (GuardedCall) and the message counts as handled with the result 0; the window stays usable.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return hwnd_; }

    // The object of a window made through this base; null for other windows.
    static Window* FromHwnd(HWND hwnd);

protected:
    // Registers `info` (once) and creates the window with this object attached. Throws KivoError
    // "Error creating window: <reason>" when Windows refuses.
    HWND CreateWindowOf(const WindowClassInfo& info, DWORD exStyle, const char* caption,
                        DWORD style, int x, int y, int width, int height, HWND parent,
                        HMENU menu = nullptr);

    // The one message handler of the window; the default passes everything to DefaultMessage.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What Windows does with a message the window does not handle itself.
    LRESULT DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called after the window's last message (WM_NCDESTROY); a window that frees itself
    // (`delete this`) does it here.
    virtual void OnFinalMessage() {}

    // Destroys the window now (no-op without one).
    void DestroyHwnd();

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
};

} // namespace kivo
