// The yardstick for kivoklok's start-up and idle measurements: a window and a tray icon, nothing
// else. Writes "started" beside itself once both exist, as kivoklok writes its start-up line.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <cstring>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "EmptyTray";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("EmptyTray", "Empty tray", WS_OVERLAPPEDWINDOW, 100, 50, 280, 230,
                                nullptr, nullptr, instance, nullptr);
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_USER + 123;
    data.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    std::strcpy(data.szTip, "Empty tray");
    Shell_NotifyIconA(NIM_ADD, &data);
    ShowWindow(window, show);
    UpdateWindow(window);

    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (char* slash = std::strrchr(path, '\\')) std::strcpy(slash + 1, "started");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    Shell_NotifyIconA(NIM_DELETE, &data);
    return 0;
}
