#include "win32/application.h"

#include "win32/dialogs.h"

namespace kivo {

namespace {

constexpr char kApplicationClass[] = "TApplication";

std::string ModuleFileName() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, length);
}

// A top-level window that takes part in dialog navigation (Tab, Alt+letter) by its own choice.
HWND DialogNavigationTarget(HWND window) {
    if (!window) return nullptr;
    HWND root = GetAncestor(window, GA_ROOT);
    if (!root) return nullptr;
    return (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) ? root : nullptr;
}

} // namespace

std::string ApplicationTitleFromPath(const std::string& exePath) {
    auto slash = exePath.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    auto dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    if (name.size() > 1) CharLowerBuffA(name.data() + 1, static_cast<DWORD>(name.size() - 1));
    return name;
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
    if (handle_) return;
    instance_ = instance ? instance : GetModuleHandleA(nullptr);
    title_ = ApplicationTitleFromPath(ModuleFileName());

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, "MAINICON");
    if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = kApplicationClass;
    RegisterClassExA(&wc); // a second registration fails harmlessly

    // Never shown: the main window carries the taskbar button; this one only carries the title by
    // which a second copy finds us.
    handle_ = CreateWindowExA(0, kApplicationClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                              nullptr, nullptr, instance_, nullptr);
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
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
        HWND target = DialogNavigationTarget(msg.hwnd);
        if (target && IsDialogMessageA(target, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    terminated_ = true;
    return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

bool TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for the loop that owns the program's end.
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        HWND target = DialogNavigationTarget(msg.hwnd);
        if (target && IsDialogMessageA(target, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::HandleException(const std::exception& e) {
    try {
        ShowErrorDisplay(e.what());
    } catch (...) {
        // Nothing is left to tell the user with; the loop goes on.
    }
}

void TApplication::EndSession() {
    ExitProcess(0);
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TApplication& app = Instance();
    if (message == ShowRequestMessage()) {
        if (app.OnShowRequest) GuardedCall([&] { app.OnShowRequest(); });
        return 0;
    }
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam) app.EndSession();
        return 0;
    case WM_CLOSE:
        // A close request for the program is the main window's to decide.
        if (app.mainWindow_) PostMessageA(app.mainWindow_, WM_CLOSE, 0, 0);
        return 0;
    case WM_ACTIVATE:
        // Activated from outside (a second copy): pass it on to a visible main window.
        if (LOWORD(wParam) != WA_INACTIVE && app.mainWindow_ && IsWindowVisible(app.mainWindow_) &&
            IsWindowEnabled(app.mainWindow_)) {
            SetForegroundWindow(app.mainWindow_);
            return 0;
        }
        break;
    case WM_DESTROY:
        if (window == app.handle_) app.handle_ = nullptr;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace kivo
