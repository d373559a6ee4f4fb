#pragma once
// The program's icon in the notification area and what the mouse does on it.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "win32/window.h"

namespace kivo {

// The program's icon at the size of the tray's icons for a DPI, scaled down from the largest
// picture the resource holds; the system's program icon when the resource has none.
UniqueIcon LoadTrayIcon(const char* resource, int dpi);

// A menu item's picture.
struct MenuPicture {
    UINT id;
    Glyph glyph;
};
// Gives the menu's items their pictures at a DPI, on the menu's colour. The bitmaps are kept in
// `pictures`; those they replace go once the menu holds the new ones.
void SetMenuPictures(HMENU menu, std::span<const MenuPicture> items, int dpi,
                     std::vector<UniqueBitmap>& pictures);

// The hidden callback window that receives the shell's notifications is this object's window.
// The icon asks for the shell's fourth way of telling (NOTIFYICON_VERSION_4), which also tells of
// the keyboard: Win+B and Enter on the icon does what a double click does, the menu key or
// Shift+F10 opens the menu as the right button does.
class TWinTaskbar : public Window {
public:
    static constexpr UINT CallbackMessage = WM_USER + 123; // 1147
    static constexpr const char* CallbackClassName = "TWinTaskbarCallback";
    // Retries of a refused add, every RetryIntervalMs, at most MaxAddRetries in a row.
    static constexpr UINT RetryTimerId = 1;
    static constexpr UINT RetryIntervalMs = 5000;
    static constexpr int MaxAddRetries = 120;

    // The owner is the main window; its handle is taken here.
    explicit TWinTaskbar(HWND mainWindow);
    ~TWinTaskbar() override; // removes the icon
    TWinTaskbar(const TWinTaskbar&) = delete;
    TWinTaskbar& operator=(const TWinTaskbar&) = delete;

    void SetHint(const std::string& hint);
    const std::string& Hint() const { return hint_; }
    void SetIcon(HICON icon) { icon_ = icon; } // not owned
    HICON Icon() const { return icon_; }
    // A new picture, given to the shell at once when the icon is there: the old one may go
    // afterwards.
    void ChangeIcon(HICON icon);
    void SetShowIcon(bool show);
    bool ShowIcon() const { return showIcon_; }
    HMENU PopUpMenu = nullptr; // not owned
    std::function<void()> OnDblClick;
    std::function<void()> OnClick;
    // A click on the balloon. Unassigned: skipped.
    std::function<void()> OnBalloonClick;
    // The icon was added to the notification area (again, after the shell's restart or a
    // refusal). Unassigned: skipped.
    std::function<void()> OnIconAdded;

    // A warning balloon at the icon, unless the user's quiet time holds it back; nothing while
    // the icon is not in the notification area. True when the shell took it.
    bool ShowBalloon(const std::string& title, const std::string& text);

    HWND CallbackWindow() const { return Hwnd(); }
    const NOTIFYICONDATAA& NotifyData() const { return data_; }
    // True while the icon is in the notification area.
    bool IconAdded() const { return data_.hIcon != nullptr; }
    bool DblClickSeen() const { return dblClickSeen_; }
    // True when the shell took the fourth version: the menu then follows WM_CONTEXTMENU, which
    // comes after the right button's release, not its press.
    bool Version4() const { return version4_; }

    // The shell call; tests replace it to watch or refuse the calls.
    std::function<BOOL(DWORD, NOTIFYICONDATAA*)> NotifyIcon;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void UpdateTrayIcon();
    void AddIcon();
    void DblClick();
    void KeySelect();
    void MouseDown(int button, POINT at);
    void MouseUp(int button);
    void Click();
    void Raise(const std::function<void()>& handler);
    void ShowTrayMenu(POINT at);

    HWND mainWindow_;
    UINT taskbarCreated_ = 0;
    NOTIFYICONDATAA data_{};
    std::string hint_;
    HICON icon_ = nullptr;
    bool showIcon_ = false;
    bool dblClickSeen_ = false;
    bool version4_ = false;
    int addRetries_ = 0;
};

} // namespace kivo
