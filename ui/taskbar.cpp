#include "ui/taskbar.h"

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {
enum MouseButton { mbLeft, mbRight, mbMiddle };
}

TWinTaskbar::TWinTaskbar(HWND mainWindow) : mainWindow_(mainWindow) {
    NotifyIcon = [](DWORD message, NOTIFYICONDATAA* data) {
        return Shell_NotifyIconA(message, data);
    };
    // Never shown; it only receives the shell's notifications.
    WindowClassInfo info;
    info.name = CallbackClassName;
    info.background = nullptr;
    CreateWindowOf(info, WS_EX_TOOLWINDOW, "", WS_POPUP, 0, 0, 0, 0, nullptr);
    // The shell broadcasts this when its taskbar was (re)created: the icon must be added again.
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");

    // The first, smallest form of the record: the same on every call.
    data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data_.hWnd = Hwnd();
    data_.uID = 0;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = CallbackMessage;
    data_.hIcon = nullptr;
    data_.szTip[0] = '\0';
}

TWinTaskbar::~TWinTaskbar() {
    SetShowIcon(false);
    if (Hwnd()) KillTimer(Hwnd(), RetryTimerId);
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

bool TWinTaskbar::ShowBalloon(const std::string& title, const std::string& text) {
    if (!IconAdded()) return false;
    // The balloon needs the longer form of the record; the icon's own calls keep the first.
    NOTIFYICONDATAA balloon{};
    balloon.cbSize = sizeof balloon;
    balloon.hWnd = data_.hWnd;
    balloon.uID = data_.uID;
    balloon.uFlags = NIF_INFO;
    balloon.dwInfoFlags = NIIF_WARNING | NIIF_RESPECT_QUIET_TIME;
    auto copy = [](char* to, std::size_t size, const std::string& from) {
        const std::size_t n = std::min(from.size(), size - 1);
        std::memcpy(to, from.data(), n);
        to[n] = '\0';
    };
    copy(balloon.szInfoTitle, sizeof balloon.szInfoTitle, title);
    copy(balloon.szInfo, sizeof balloon.szInfo, text);
    return NotifyIcon(NIM_MODIFY, &balloon) != FALSE;
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
        if (Hwnd()) KillTimer(Hwnd(), RetryTimerId);
        NotifyIcon(NIM_DELETE, &data_);
    }
}

// The icon is the only way back to a hidden window, so a refused add is tried again on a timer.
// A shell that timed out may have added it after all; then a modify succeeds and that counts.
void TWinTaskbar::AddIcon() {
    data_.hIcon = icon_;
    if (NotifyIcon(NIM_ADD, &data_) || NotifyIcon(NIM_MODIFY, &data_)) {
        addRetries_ = 0;
        KillTimer(Hwnd(), RetryTimerId);
        if (OnIconAdded) OnIconAdded();
        return;
    }
    data_.hIcon = nullptr;
    if (addRetries_ < MaxAddRetries) {
        SetTimer(Hwnd(), RetryTimerId, RetryIntervalMs, nullptr);
    } else {
        KillTimer(Hwnd(), RetryTimerId);
    }
}

LRESULT TWinTaskbar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
            KillTimer(Hwnd(), RetryTimerId);
        }
        return 0;
    }
    if (message != CallbackMessage) return DefaultMessage(message, wParam, lParam);
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
    case NIN_BALLOONUSERCLICK:
        if (OnBalloonClick) OnBalloonClick();
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
