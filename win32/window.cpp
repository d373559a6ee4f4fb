#include "win32/window.h"

#include <commctrl.h>

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo {

namespace {

UncaughtExceptionHandler uncaughtHandler = nullptr;

constexpr UINT_PTR kHookId = 1;

[[noreturn]] void ThrowCreationError() {
    throw KivoError("Error creating window: " + LastErrorText());
}

} // namespace

void SetUncaughtExceptionHandler(UncaughtExceptionHandler handler) {
    uncaughtHandler = handler;
}

void HandleUncaughtException(const std::exception& e) noexcept {
    try {
        if (uncaughtHandler)
            uncaughtHandler(e);
        else
            MessageBoxA(nullptr, e.what(), "", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    } catch (...) {
        // Nothing is left to tell the user with; the loop goes on.
    }
}

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
    if (info.iconResource) {
        wc.hIcon = LoadIconA(instance, info.iconResource);
        if (!wc.hIcon) wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    }
    wc.lpszClassName = info.name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowCreationError();
}

Window::~Window() {
    DestroyHwnd();
}

void Window::DestroyHwnd() {
    // WM_NCDESTROY clears hwnd_; a window that frees itself there is gone afterwards, so
    // nothing of the object is touched after DestroyWindow.
    if (hwnd_) DestroyWindow(hwnd_);
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
    if (!hwnd) ThrowCreationError();
    return hwnd;
}

RECT Window::Pixels(const Box& box) const {
    return {Scale(box.left), Scale(box.top), Scale(box.left + box.width),
            Scale(box.top + box.height)};
}

void Window::Place(HWND child, const Box& box, bool repaint) const {
    MoveWindow(child, Scale(box.left), Scale(box.top), Scale(box.width), Scale(box.height),
               repaint);
}

HWND Window::CreateChild(const ChildControl& control) {
    HWND child = CreateWindowExA(
        control.exStyle, control.className, control.text, WS_CHILD | control.style,
        Scale(control.box.left), Scale(control.box.top), Scale(control.box.width),
        Scale(control.box.height), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
        GetModuleHandleA(nullptr), nullptr);
    if (!child) ThrowCreationError();
    if (control.font)
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.font), FALSE);
    return child;
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

void ControlHook::Attach(HWND control, Handler handler) {
    Detach();
    if (!control) return;
    handler_ = std::move(handler);
    if (SetWindowSubclass(control, Procedure, kHookId, reinterpret_cast<DWORD_PTR>(this)))
        control_ = control;
}

void ControlHook::Detach() {
    if (control_) RemoveWindowSubclass(control_, Procedure, kHookId);
    control_ = nullptr;
}

LRESULT ControlHook::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(control_, message, wParam, lParam);
}

LRESULT CALLBACK ControlHook::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<ControlHook*>(data);
    if (message == WM_NCDESTROY) {
        self->Detach();
        return DefSubclassProc(hwnd, message, wParam, lParam);
    }
    if (!self->handler_) return DefSubclassProc(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    GuardedCall([&] { result = self->handler_(message, wParam, lParam); });
    return result;
}

namespace {

// A top-level window that takes part in dialog navigation (Tab, Alt+letter) by its own choice.
HWND DialogNavigationTarget(HWND window) {
    if (!window) return nullptr;
    HWND root = GetAncestor(window, GA_ROOT);
    if (!root) return nullptr;
    return (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) ? root : nullptr;
}

} // namespace

void DispatchWithDialogKeys(MSG& msg) {
    HWND target = DialogNavigationTarget(msg.hwnd);
    if (target && IsDialogMessageA(target, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool PumpWaitingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        DispatchWithDialogKeys(msg);
    }
    return true;
}

} // namespace kivo
