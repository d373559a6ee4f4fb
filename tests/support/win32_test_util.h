#pragma once
// Message pumping and dialog hooks for the in-process Win32 tests.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "win32/application.h"
#include "win32/dialogs.h"
#include "win32/window.h" // WindowText

namespace kivo::test {

inline void InitApp() {
    TApplication::Instance().Initialize(GetModuleHandleA(nullptr));
}

// Handles messages until done() holds or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    while (!done()) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

// Runs `action` on every dialog shown while it lives.
class DialogHook {
public:
    explicit DialogHook(std::function<void(HWND)> action) { OnDialogShown = std::move(action); }
    ~DialogHook() { OnDialogShown = nullptr; }
    DialogHook(const DialogHook&) = delete;
    DialogHook& operator=(const DialogHook&) = delete;
};

// The threads this test process has now.
inline int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}

// The shown dialog's text and caption, and a way to close it with OK.
struct ShownBox {
    std::string caption;
    std::string message;
    bool hasIcon = false;
    int buttons = 0;
};

inline ShownBox ReadBox(HWND dialog) {
    ShownBox box;
    box.caption = WindowText(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(cls, "Button") == 0)
            ++box.buttons;
        else if ((style & SS_TYPEMASK) == SS_ICON)
            box.hasIcon = true;
        else
            box.message = WindowText(child);
    }
    return box;
}

// A key pressed and released at a window, with Ctrl and Shift held as given.
inline void PressKey(HWND window, UINT key, bool ctrl = false, bool shift = false) {
    BYTE before[256] = {}, held[256] = {};
    GetKeyboardState(before);
    std::copy(std::begin(before), std::end(before), std::begin(held));
    held[VK_CONTROL] = ctrl ? 0x80 : 0;
    held[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(held);
    SendMessageA(window, WM_KEYDOWN, key, 1);
    SendMessageA(window, WM_KEYUP, key, 0xC0000001);
    SetKeyboardState(before);
}

inline void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Every box shown while it lives: its message kept, then answered with OK.
struct BoxesAnsweredOk {
    std::vector<std::string> shown;
    DialogHook hook{[this](HWND dialog) {
        shown.push_back(ReadBox(dialog).message);
        Click(dialog, IDOK);
    }};
};

} // namespace kivo::test
