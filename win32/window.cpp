#include "win32/window.h"

#include "algemeen/errors.h"
#include "platform/files.h"
#include "win32/application.h"

namespace kivo {

void RegisterWindowClass(const WindowClassInfo& info, WNDPROC proc) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    if (GetClassInfoExA(instance, info.name, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.style = info.style;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = info.cursor ? info.cursor : LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = info.background;
    if (info.iconResource) wc.hIcon = LoadIconA(instance, info.iconResource);
    wc.lpszClassName = info.name;
    RegisterClassExA(&wc);
}

Window::~Window() {
    DestroyHwnd();
}

void Window::DestroyHwnd() {
    if (hwnd_) DestroyWindow(hwnd_); // WM_NCDESTROY clears hwnd_
    hwnd_ = nullptr;
}

Window* Window::FromHwnd(HWND hwnd) {
    if (!hwnd) return nullptr;
    WNDPROC proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    if (proc != &Window::Procedure) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

HWND Window::CreateWindowOf(const WindowClassInfo& info, DWORD exStyle, const char* caption,
                            DWORD style, int x, int y, int width, int height, HWND parent,
                            HMENU menu) {
    RegisterWindowClass(info, &Window::Procedure);
    HWND hwnd = CreateWindowExA(exStyle, info.name, caption, style, x, y, width, height, parent,
                                menu, GetModuleHandleA(nullptr), this);
    if (!hwnd) throw KivoError("Error creating window: " + LastErrorText());
    return hwnd;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultMessage(message, wParam, lParam);
}

LRESULT Window::DefaultMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self) {
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    GuardedCall([&] { result = self->OnMessage(message, wParam, lParam); });

    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        GuardedCall([&] { self->OnFinalMessage(); });
    }
    return result;
}

} // namespace kivo
