#include "ui/taskbar.h"

#include <algorithm>
#include <cstring>

#include "win32/application.h"

namespace kivo {

namespace {
enum MouseButton { mbLeft, mbRight, mbMiddle };
}

TWinTaskbar::TWinTaskbar(HWND mainWindow) : mainWindow_(mainWindow) {
    NotifyIcon = [](DWORD message, NOTIFYICONDATAA* data) {
        return Shell_NotifyIconA(message, data);
    };
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    if (!GetClassInfoExA(instance, CallbackClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance;
        wc.lpszClassName = CallbackClassName;
        RegisterClassExA(&wc);
    }
    // Never shown; it only receives the shell's notifications.
    callback_ = CreateWindowExA(WS_EX_TOOLWINDOW, CallbackClassName, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, this);
    // The shell broadcasts this when its taskbar was (re)created: the icon must be added again.
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");

    // The first, smallest form of the record: the same on every call.
    data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data_.hWnd = callback_;
    data_.uID = 0;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = CallbackMessage;
    data_.hIcon = nullptr;
    data_.szTip[0] = '\0';
}

TWinTaskbar::~TWinTaskbar() {
    SetShowIcon(false);
    if (callback_) {
        KillTimer(callback_, RetryTimerId);
        SetWindowLongPtrA(callback_, GWLP_USERDATA, 0);
        DestroyWindow(callback_);
    }
}

void TWinTaskbar::SetHint(const std::string& hint) {
    if (hint != hint_) {
        // The tip holds 63 characters and the closing zero; a longer hint is cut.
        std::size_t n = std::min(hint.size(), sizeof data_.szTip - 1);
        std::memcpy(data_.szTip, hint.data(), n);
        data_.szTip[n] = '\0';
        UpdateTrayIcon();
    }
    hint_ = hint;
}

void TWinTaskbar::SetShowIcon(bool show) {
    showIcon_ = show;
    UpdateTrayIcon();
}

void TWinTaskbar::UpdateTrayIcon() {
    if (showIcon_ && icon_) {
        if (!data_.hIcon) {
            AddIcon();
        } else {
            data_.hIcon = icon_;
            NotifyIcon(NIM_MODIFY, &data_);
        }
    } else {
        data_.hIcon = nullptr;
        if (callback_) KillTimer(callback_, RetryTimerId);
        NotifyIcon(NIM_DELETE, &data_);
    }
}

// The icon is the only way back to a hidden window, so a refused add is tried again on a timer.
// A shell that timed out may have added it after all; then a modify succeeds and that counts.
void TWinTaskbar::AddIcon() {
    data_.hIcon = icon_;
    if (NotifyIcon(NIM_ADD, &data_) || NotifyIcon(NIM_MODIFY, &data_)) {
        addRetries_ = 0;
        KillTimer(callback_, RetryTimerId);
        return;
    }
    data_.hIcon = nullptr;
    if (addRetries_ < MaxAddRetries) {
        SetTimer(callback_, RetryTimerId, RetryIntervalMs, nullptr);
    } else {
        KillTimer(callback_, RetryTimerId);
    }
}

LRESULT CALLBACK TWinTaskbar::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TWinTaskbar*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self || message == WM_NCCREATE) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    GuardedCall([&] { result = self->Handle(message, wParam, lParam); });
    return result;
}

LRESULT TWinTaskbar::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    POINT at{};
    GetCursorPos(&at);
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (showIcon_ && icon_) {
            data_.hIcon = nullptr;
            addRetries_ = 0;
            AddIcon();
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == RetryTimerId) {
        ++addRetries_;
        if (showIcon_ && icon_ && !data_.hIcon) {
            AddIcon();
        } else {
            KillTimer(callback_, RetryTimerId);
        }
        return 0;
    }
    if (message != CallbackMessage) return DefWindowProcA(callback_, message, wParam, lParam);
    switch (static_cast<UINT>(lParam)) {
    case WM_MOUSEMOVE:
        break; // nothing is assigned to a move
    case WM_LBUTTONDOWN:
        MouseDown(mbLeft, at);
        break;
    case WM_LBUTTONUP:
        MouseUp(mbLeft);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, at);
        break;
    case WM_RBUTTONUP:
        MouseUp(mbRight);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, at);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle);
        break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        DblClick();
        break;
    default:
        break;
    }
    return 0;
}

void TWinTaskbar::DblClick() {
    if (!OnDblClick) return;
    dblClickSeen_ = true;
    SetForegroundWindow(mainWindow_);
    OnDblClick();
}

void TWinTaskbar::MouseDown(int button, POINT at) {
    if (button == mbRight) ShowTrayMenu(at);
}

void TWinTaskbar::MouseUp(int button) {
    if (button != mbLeft) return;
    // The release that follows a double click is not a click.
    if (dblClickSeen_) {
        dblClickSeen_ = false;
    } else {
        Click();
    }
}

void TWinTaskbar::Click() {
    if (!OnClick) return;
    SetForegroundWindow(mainWindow_);
    OnClick();
}

void TWinTaskbar::ShowTrayMenu(POINT at) {
    if (!PopUpMenu) return;
    // The menu closes on a click elsewhere only when its owner is in the foreground.
    SetForegroundWindow(mainWindow_);
    TrackPopupMenu(PopUpMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                   mainWindow_, nullptr);
    PostMessageA(mainWindow_, WM_USER, 0, 0);
}

} // namespace kivo
