#include "ui/taskbar.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {

enum MouseButton { mbLeft, mbRight, mbMiddle };

int SmallIconSize(int dpi) {
    using ForDpiFn = int(WINAPI*)(int, UINT); // Windows 10 and later
    static const auto forDpi = SystemFunction<ForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
    if (forDpi) return forDpi(SM_CXSMICON, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(SM_CXSMICON), dpi, SystemDpi());
}

} // namespace

UniqueIcon LoadTrayIcon(const char* resource, int dpi) {
    using MetricFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    using ScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
    // comctl32 before version 6 has neither.
    static const auto metric = SystemFunction<MetricFn>("comctl32.dll", "LoadIconMetric");
    static const auto scaleDown =
        SystemFunction<ScaleDownFn>("comctl32.dll", "LoadIconWithScaleDown");
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const std::wstring name(resource, resource + std::strlen(resource));
    const int size = SmallIconSize(dpi);
    HICON icon = nullptr;
    // The tray's size is the small icons' size: at the system's DPI what LoadIconMetric gives,
    // at another the same metric for that DPI.
    if (dpi == SystemDpi() && metric) {
        if (FAILED(metric(instance, name.c_str(), LIM_SMALL, &icon))) icon = nullptr;
    } else if (scaleDown) {
        if (FAILED(scaleDown(instance, name.c_str(), size, size, &icon))) icon = nullptr;
    }
    if (!icon) icon = static_cast<HICON>(LoadImageA(instance, resource, IMAGE_ICON, size, size, 0));
    if (!icon)
        icon = static_cast<HICON>(
            CopyImage(LoadIcon(nullptr, IDI_APPLICATION), IMAGE_ICON, size, size, 0));
    return UniqueIcon(icon);
}

void SetMenuPictures(HMENU menu, std::span<const MenuPicture> items, int dpi,
                     std::vector<UniqueBitmap>& pictures) {
    std::vector<UniqueBitmap> made;
    for (const MenuPicture& item : items) {
        const UniqueBitmap& bitmap = made.emplace_back(MakeGlyphBitmap(item.glyph, dpi));
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_BITMAP;
        info.hbmpItem = bitmap.get();
        SetMenuItemInfoA(menu, item.id, FALSE, &info);
    }
    pictures = std::move(made);
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

    // The whole record, which the fourth version asks for: the same on every call. That version
    // shows the tip only when asked to.
    data_.cbSize = sizeof data_;
    data_.hWnd = Hwnd();
    data_.uID = 0;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    data_.uCallbackMessage = CallbackMessage;
    data_.uVersion = NOTIFYICON_VERSION_4;
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

void TWinTaskbar::ChangeIcon(HICON icon) {
    icon_ = icon;
    if (IconAdded()) UpdateTrayIcon();
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
        // Asked after every add: a new taskbar starts from the first version. One that refuses
        // keeps it, and the mouse messages as they were.
        version4_ = NotifyIcon(NIM_SETVERSION, &data_) != FALSE;
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
    POINT cursor{};
    GetCursorPos(&cursor);
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
    // The fourth version puts the event in the low word and the icon's place (where the mouse or
    // the keyboard acted) in wParam; the first puts only the mouse message in lParam.
    const POINT anchor{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
    const POINT at = version4_ ? anchor : cursor;
    switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU: // the right button's release, the menu key or Shift+F10
        ShowTrayMenu(anchor);
        break;
    case NIN_KEYSELECT: // Enter or Space on the icon
        KeySelect();
        break;
    case NIN_SELECT: // a click, whose release was told already
        break;
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

// The main window comes to the front with what the event opens.
void TWinTaskbar::Raise(const std::function<void()>& handler) {
    if (!handler) return;
    SetForegroundWindow(mainWindow_);
    handler();
}

void TWinTaskbar::DblClick() {
    if (OnDblClick) dblClickSeen_ = true;
    Raise(OnDblClick);
}

// The keyboard's double click; no release follows it.
void TWinTaskbar::KeySelect() {
    Raise(OnDblClick);
}

void TWinTaskbar::MouseDown(int button, POINT at) {
    // Under the fourth version WM_CONTEXTMENU follows, and the menu opens once.
    if (button == mbRight && !version4_) ShowTrayMenu(at);
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
    Raise(OnClick);
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
