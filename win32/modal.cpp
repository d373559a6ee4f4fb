#include "win32/modal.h"

#include <vector>

#include "win32/window.h"

namespace kivo {

std::function<void(HWND)> OnDialogShown;

namespace {

struct Windows {
    std::vector<HWND> list;
    HWND except;
};

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM param) {
    auto* windows = reinterpret_cast<Windows*>(param);
    if (window != windows->except && IsWindowVisible(window) && IsWindowEnabled(window))
        windows->list.push_back(window);
    return TRUE;
}

// Other windows of the thread take no input while the dialog is up.
std::vector<HWND> DisableThreadWindows(HWND dialog) {
    Windows windows{{}, dialog};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow,
                      reinterpret_cast<LPARAM>(&windows));
    for (HWND w : windows.list) EnableWindow(w, FALSE);
    return windows.list;
}

UINT ShownMessage() {
    static const UINT message = RegisterWindowMessageA("KivoDialogShown");
    return message;
}

} // namespace

bool RunModalLoop(HWND dialog, HWND focus, const std::function<bool()>& done,
                  const std::function<bool(const MSG&)>& filter) {
    HWND previousActive = GetActiveWindow();
    HWND previousFocus = GetFocus(); // disabling its window takes the focus away
    std::vector<HWND> disabled = DisableThreadWindows(dialog);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    if (focus) SetFocus(focus);
    PostMessageA(dialog, ShownMessage(), 0, 0);

    bool quit = false;
    int quitCode = 0;
    MSG msg;
    while (!done() && IsWindow(dialog)) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = got == 0;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (msg.hwnd == dialog && msg.message == ShownMessage()) {
            if (OnDialogShown) GuardedCall([&] { OnDialogShown(dialog); });
            continue;
        }
        if (filter && filter(msg)) continue;
        if (IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    // Give input back before the dialog goes, so activation returns to where it was.
    for (HWND w : disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    if (IsWindow(dialog)) ShowWindow(dialog, SW_HIDE);
    if (previousActive && IsWindow(previousActive) && previousActive != dialog)
        SetActiveWindow(previousActive);
    // The keyboard goes back to the control it came from, as after a dialog box.
    if (previousFocus && previousFocus != dialog && IsWindow(previousFocus) &&
        IsWindowVisible(previousFocus) && IsWindowEnabled(previousFocus))
        SetFocus(previousFocus);
    if (quit) PostQuitMessage(quitCode); // the outer loop ends the program
    return !quit;
}

} // namespace kivo
