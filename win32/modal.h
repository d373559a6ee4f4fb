#pragma once
// The one modal loop of the program: the question dialogs, the plain message box and the
// program's own modal windows all run in it.
#include <windows.h>

#include <functional>

namespace kivo {

// For tests: called with each modal window (question, message box, the program's own dialogs)
// once it is shown and its loop runs.
extern std::function<void(HWND)> OnDialogShown;

// Shows `dialog` and runs a nested message loop until done() holds. Meanwhile the other windows
// of the thread take no input, while their timers and tray messages are still handled.
// filter sees every message first and returns true for one it has handled itself.
// OnDialogShown (above) is called once the loop runs. Input is given back and the window
// that was active before becomes active again, with the focus where it was; the dialog itself is
// left to the caller. Returns false when a quit message ended the loop; it is posted again for the
// outer loop.
bool RunModalLoop(HWND dialog, HWND focus, const std::function<bool()>& done,
                  const std::function<bool(const MSG&)>& filter = {});

} // namespace kivo
