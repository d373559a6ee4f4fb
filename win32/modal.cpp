#include "win32/modal.h"

namespace kivo {

namespace {

struct Collected {
    std::vector<HWND> list;
    HWND except;
};

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<Collected*>(param);
    if (window != windows->except && IsWindowVisible(window) && IsWindowEnabled(window))
        windows->list.push_back(window);
    return TRUE;
}

} // namespace

ThreadWindowsDisabled::ThreadWindowsDisabled(HWND modal) {
    Collected windows{{}, modal};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow,
                      reinterpret_cast<LPARAM>(&windows));
    disabled_ = std::move(windows.list);
    for (HWND w : disabled_) EnableWindow(w, FALSE);
}

void ThreadWindowsDisabled::Restore() {
    for (HWND w : disabled_)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    disabled_.clear();
}

bool RunModalLoop(HWND window, const std::function<bool()>& done,
                  const std::function<bool(const MSG&)>& filter, int& quitCode) {
    MSG msg;
    while (!done() && IsWindow(window)) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quitCode = got == 0 ? static_cast<int>(msg.wParam) : 0;
            return got != 0; // an error of GetMessage is no request to end the program
        }
        if (filter && filter(msg)) continue;
        if (IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

} // namespace kivo
