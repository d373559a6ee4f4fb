#pragma once
// The nested message loop of a modal window, shared by every modal window of the program.
#include <windows.h>

#include <functional>
#include <vector>

namespace kivo {

// For the length of a modal showing the thread's other visible, enabled windows take no input.
// Restore (or the destructor) gives it back; call it before the modal window goes, so that
// activation returns to where it was.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND modal);
    ~ThreadWindowsDisabled() { Restore(); }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;
    void Restore();

private:
    std::vector<HWND> disabled_;
};

// Handles the thread's messages, timers and tray messages included, until done() holds or the
// window is gone. filter sees every message first and returns true for one it consumed; then
// the dialog manager gets its keys (Tab, Enter, Escape). Returns false when a quit message ended
// the loop; its exit code is in quitCode and the caller posts it again once the window is gone.
bool RunModalLoop(HWND window, const std::function<bool()>& done,
                  const std::function<bool(const MSG&)>& filter, int& quitCode);

} // namespace kivo
