#include "win32/application.h"

#include "win32/dialogs.h"

namespace kivo {

namespace {

constexpr char kApplicationClass[] = "TApplication";

} // namespace

std::string ModuleFileName() {
    // A path that fills the buffer may have been cut: try again with more room.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size() || path.size() >= 65536) {
            path.resize(length < path.size() ? length : path.size());
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string ApplicationTitleFromPath(const std::string& exePath) {
    auto slash = exePath.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    auto dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name.size() > 1) CharLowerBuffA(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
}

// The hidden window: never shown; the main window carries the taskbar button, this one only
// carries the title by which a second copy finds us.
class TApplication::AppWindow : public Window {
public:
    explicit AppWindow(TApplication& app) : app_(app) {
        WindowClassInfo info;
        info.name = kApplicationClass;
        info.background = nullptr;
        info.iconResource = "MAINICON";
        CreateWindowOf(info, 0, app.title_.c_str(),
                       WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr);
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == ShowRequestMessage()) {
            if (app_.OnShowRequest) app_.OnShowRequest();
            return 0;
        }
        switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam) app_.EndSession();
            return 0;
        case WM_CLOSE:
            // A close request for the program is the main window's to decide.
            if (app_.mainWindow_) PostMessageA(app_.mainWindow_, WM_CLOSE, 0, 0);
            return 0;
        case WM_ACTIVATE:
            // Activated from outside (a second copy): pass it on to a visible main window.
            if (LOWORD(wParam) != WA_INACTIVE && app_.mainWindow_ &&
                IsWindowVisible(app_.mainWindow_) && IsWindowEnabled(app_.mainWindow_)) {
                SetForegroundWindow(app_.mainWindow_);
                return 0;
            }
            break;
        }
        return DefaultMessage(message, wParam, lParam);
    }

private:
    TApplication& app_;
};

TApplication::TApplication() : title_(ApplicationTitleFromPath(ModuleFileName())) {
    SetUncaughtExceptionHandler([](const std::exception& e) { Instance().HandleException(e); });
}

TApplication::~TApplication() {
    // The process ends with its windows; nothing is destroyed during static destruction.
    (void)window_.release();
}

UINT TApplication::ShowRequestMessage() {
    static const UINT message = RegisterWindowMessageA("KivoklokShowWindow");
    return message;
}

TApplication& TApplication::Instance() {
    static TApplication application;
    return application;
}

void TApplication::Initialize(HINSTANCE instance) {
    if (window_ && window_->Hwnd()) return;
    instance_ = instance ? instance : GetModuleHandleA(nullptr);
    title_ = ApplicationTitleFromPath(ModuleFileName());
    window_.reset();
    try {
        window_ = std::make_unique<AppWindow>(*this);
    } catch (const std::exception&) {
        // Without a desktop there is no window to find us by; the program goes on without.
    }
}

HWND TApplication::Hwnd() const {
    return window_ ? window_->Hwnd() : nullptr;
}

void TApplication::Minimize() {
    if (mainWindow_ && !IsIconic(mainWindow_)) ShowWindow(mainWindow_, SW_MINIMIZE);
    if (OnMinimize) OnMinimize();
}

void TApplication::Restore() {
    if (mainWindow_ && IsIconic(mainWindow_)) ShowWindow(mainWindow_, SW_RESTORE);
}

bool TApplication::IsMinimized() const {
    return mainWindow_ && IsIconic(mainWindow_);
}

int TApplication::Run() {
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) DispatchWithDialogKeys(msg);
    terminated_ = true;
    return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

bool TApplication::ProcessMessages() {
    if (PumpWaitingMessages()) return true;
    terminated_ = true;
    return false;
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(const std::exception& e) {
    try {
        ShowErrorDisplay(DialogOwner(), title_, e.what());
    } catch (...) {
        // Nothing is left to tell the user with; the loop goes on.
    }
}

HWND TApplication::DialogOwner() const {
    HWND active = GetActiveWindow();
    return active && IsWindowVisible(active) ? active : Hwnd();
}

void TApplication::EndSession() {
    ExitProcess(0);
}

} // namespace kivo
