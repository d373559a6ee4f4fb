#pragma once
// The hidden application window and the program's message loop.
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "win32/window.h"

namespace kivo {

// The hidden top-level application window of class "TApplication" whose text is the application
// title (executable file name up to its first '.', every character after the first lower-cased).
//
// Notes for the main window:
// - Call SetMainWindow once the main window exists; Minimize/Restore/IsMinimized act on it.
// - On WM_SYSCOMMAND with SC_MINIMIZE the main window calls TApplication::Minimize() (and does
//   not pass the command on): it minimizes the main window and then calls OnMinimize.
// - Every top-level window receives WM_QUERYENDSESSION and WM_ENDSESSION. Answer the first with
//   TRUE; on WM_ENDSESSION with wParam TRUE call EndSession(), which ends the process at once
//   without any further log line.
// - WM_CLOSE sent to the application window (taskkill without /f) is passed on to the main window.
// - When the application window is activated from outside (a second copy), a visible main window
//   is brought to the front; a hidden one stays hidden.
class TApplication {
public:
    static TApplication& Instance();

    // Registers the "TApplication" class and creates the hidden window. Safe to call twice.
    void Initialize(HINSTANCE instance);
    HWND Hwnd() const;
    HINSTANCE InstanceHandle() const { return instance_; }
    const std::string& Title() const { return title_; }

    HWND MainWindow() const { return mainWindow_; }
    void SetMainWindow(HWND window) { mainWindow_ = window; }

    // The application's minimize handler, called after the main window was minimized.
    std::function<void()> OnMinimize;
    // A second copy asks the running one for its window (ShowRequestMessage, posted to the
    // application window).
    std::function<void()> OnShowRequest;
    static UINT ShowRequestMessage();
    void Minimize();
    void Restore();
    bool IsMinimized() const;

    // Message loop until Terminate; returns the quit message's exit code. A top-level window with
    // the WS_EX_CONTROLPARENT style gets dialog keys (Tab, Alt+letter) through IsDialogMessage.
    int Run();
    // Pumps every waiting message without blocking. Returns false once the quit message was seen.
    bool ProcessMessages();
    void Terminate(); // PostQuitMessage(0)
    bool Terminated() const { return terminated_; }

    // Top-level error display for a failure no handler caught; the loop goes on. Every window's
    // GuardedCall ends here once the application exists.
    void HandleException(const std::exception& e);
    // The owner of a dialog shown now: the active window while it is visible, else the hidden
    // application window (so a box of a hidden program gets no taskbar button of its own).
    HWND DialogOwner() const;

    // Log-off or shut-down agreed: the process ends here and now.
    [[noreturn]] void EndSession();

private:
    class AppWindow;
    TApplication();
    ~TApplication();

    HINSTANCE instance_ = nullptr;
    std::unique_ptr<AppWindow> window_;
    HWND mainWindow_ = nullptr;
    std::string title_;
    bool terminated_ = false;
};

// The full path of the running executable, however long.
std::string ModuleFileName();

// "C:\dir\kivoklok.exe" -> "kivoklok"; "KIVO.Klok.exe" -> "Kivo".
std::string ApplicationTitleFromPath(const std::string& exePath);

} // namespace kivo
