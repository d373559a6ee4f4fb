#pragma once
// The program's icon in the notification area and what the mouse does on it.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>
#include <string>

#include "win32/window.h"

namespace kivo {

// The hidden callback window that receives the shell's notifications is this object's window.
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
    // the icon is not in the notification area. False when the shell did not take it.
    bool ShowBalloon(const std::string& title, const std::string& text);

    HWND CallbackWindow() const { return Hwnd(); }
    const NOTIFYICONDATAA& NotifyData() const { return data_; }
    // True while the icon is in the notification area.
    bool IconAdded() const { return data_.hIcon != nullptr; }
    bool DblClickSeen() const { return dblClickSeen_; }

    // The shell call; tests replace it to watch or refuse the calls.
    std::function<BOOL(DWORD, NOTIFYICONDATAA*)> NotifyIcon;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void UpdateTrayIcon();
    void AddIcon();
    void DblClick();
    void MouseDown(int button, POINT at);
    void MouseUp(int button);
    void Click();
    void ShowTrayMenu(POINT at);

    HWND mainWindow_;
    UINT taskbarCreated_ = 0;
    NOTIFYICONDATAA data_{};
    std::string hint_;
    HICON icon_ = nullptr;
    bool showIcon_ = false;
    bool dblClickSeen_ = false;
    int addRetries_ = 0;
};

} // namespace kivo
