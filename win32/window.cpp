#include "win32/window.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo {

namespace {

UncaughtExceptionHandler uncaughtHandler = nullptr;

constexpr UINT_PTR kHookId = 1;

[[noreturn]] void ThrowCreationError() {
    throw KivoError("Error creating window: " + LastErrorText());
}

// The DPI a window of ours made inside or over `window` is laid out at: of our own windows what
// they are laid out at, of others what Windows says.
int DpiOf(HWND window) {
    if (!window) return SystemDpi();
    if (Window* ours = Window::FromHwnd(GetAncestor(window, GA_ROOT))) return ours->Dpi();
    return WindowsDpi(window);
}

BOOL CALLBACK CollectOurWindow(HWND window, LPARAM list) {
    if (Window* ours = Window::FromHwnd(window))
        reinterpret_cast<std::vector<Window*>*>(list)->push_back(ours);
    return TRUE;
}

} // namespace

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
    return text;
}

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
    wc.hbrBackground = info.background.Brush();
    if (info.iconResource) {
        wc.hIcon = LoadIconA(instance, info.iconResource);
        if (!wc.hIcon) wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    }
    wc.lpszClassName = info.name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowCreationError();
}

Window::Window(HWND owner) : dpi_(DpiOf(owner)) {}

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
    const bool child = (style & WS_CHILD) != 0;
    if (child) dpi_ = DpiOf(parent);
    HWND hwnd = CreateWindowExA(exStyle, info.name, caption, style, x, y, width, height, parent,
                                menu, GetModuleHandleA(nullptr), this);
    if (!hwnd) ThrowCreationError();
    // A window of its own may have come up on a monitor of another DPI than it was laid out for;
    // one over an owner of ours stands on the owner's monitor.
    const bool overOurs = parent && FromHwnd(GetAncestor(parent, GA_ROOT));
    const int actual = child || overOurs ? dpi_ : WindowsDpi(hwnd);
    if (actual != dpi_) {
        // Nothing inside is made yet, so only the window's own size follows; a hidden helper
        // window without a size has none to follow.
        const int before = std::exchange(dpi_, actual);
        RECT client;
        GetClientRect(hwnd, &client);
        if (!IsRectEmpty(&client))
            SetClientSize(MulDiv(client.right, actual, before),
                          MulDiv(client.bottom, actual, before));
    }
    return hwnd;
}

void Window::ApplyDpi(int dpi, const RECT& suggested) {
    std::vector<Window*> inside;
    EnumChildWindows(hwnd_, CollectOurWindow, reinterpret_cast<LPARAM>(&inside));
    dpi_ = dpi;
    for (Window* w : inside) w->dpi_ = dpi;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (Window* w : inside) w->OnDpiChanged();
    OnDpiChanged();
}

void Window::SetBackgroundColor(OwnColor color) {
    background_ = color;
    MakeBackgroundBrush();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Window::MakeBackgroundBrush() {
    if (!background_) return;
    backgroundColor_ = Resolve(*background_);
    backgroundBrush_.reset(CreateSolidBrush(backgroundColor_));
}

void Window::FollowColors() {
    std::vector<Window*> inside;
    EnumChildWindows(hwnd_, CollectOurWindow, reinterpret_cast<LPARAM>(&inside));
    // The system's controls keep the colours they read until they are told.
    EnumChildWindows(
        hwnd_,
        [](HWND child, LPARAM) {
            if (!FromHwnd(child)) SendMessageA(child, WM_SYSCOLORCHANGE, 0, 0);
            return TRUE;
        },
        0);
    for (Window* w : inside) {
        w->MakeBackgroundBrush();
        w->OnColorsChanged();
    }
    MakeBackgroundBrush();
    OnColorsChanged();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

HBRUSH Window::BackgroundBrush() const {
    return backgroundBrush_ ? backgroundBrush_.get() : GetSysColorBrush(COLOR_BTNFACE);
}

SIZE OuterSize(SIZE client, DWORD style, DWORD exStyle, bool menu, int dpi) {
    // Where Windows has it, the frame's metrics at that DPI rather than the system's.
    using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        SystemFunction<AdjustForDpiFn>("user32.dll", "AdjustWindowRectExForDpi");
    RECT frame{0, 0, client.cx, client.cy};
    if (!adjustForDpi || !adjustForDpi(&frame, style, menu, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, style, menu, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Window::SetClientSize(int width, int height) {
    const SIZE outer = OuterSize(
        {width, height}, static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongPtrA(hwnd_, GWL_EXSTYLE)), GetMenu(hwnd_) != nullptr, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A frame drawn otherwise than reckoned (a menu bar that wraps, a frame Windows keeps at
    // another DPI): corrected once by what is missing.
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.right == width && client.bottom == height) return;
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.cx + width - client.right,
                 outer.cy + height - client.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Window::RestoreFocus() {
    HWND back = std::exchange(lastFocus_, nullptr);
    if (!(back && IsChild(hwnd_, back) && IsWindowVisible(back) && IsWindowEnabled(back)))
        back = DefaultFocus();
    if (!back) return false;
    SetFocus(back);
    return true;
}

bool Window::BaseMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const bool topLevel = !(GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD);
    switch (message) {
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_SYSCOLORCHANGE:
        if (topLevel) FollowColors();
        return false;
    case WM_SETTINGCHANGE:
        if (topLevel && wParam == SPI_SETHIGHCONTRAST) FollowColors();
        return false;
    case WM_ERASEBKGND:
        if (!background_) return false;
        {
            RECT client;
            GetClientRect(hwnd_, &client);
            FillSolid(reinterpret_cast<HDC>(wParam), client, backgroundColor_);
        }
        result = 1;
        return true;
    case WM_ACTIVATE:
        if (!topLevel) return false;
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            lastFocus_ = focus && IsChild(hwnd_, focus) ? focus : nullptr;
            return false;
        }
        if (HIWORD(wParam)) return false; // minimized: no control to give the keyboard to
        // Coming back, the keyboard goes to the control it left, else to the default one; a
        // control that has it keeps it.
        return IsChild(hwnd_, GetFocus()) || RestoreFocus();
    case WM_SETFOCUS:
        // The window itself got the keyboard: it belongs on a control.
        return topLevel && RestoreFocus();
    }
    return false;
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
    GuardedCall([&] {
        if (!self->BaseMessage(message, wParam, lParam, result))
            result = self->OnMessage(message, wParam, lParam);
    });

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
