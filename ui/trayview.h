#pragma once
// What the tray tells of the running program: the icon at the tray's size, marked while failures
// wait to be looked at, with their count in its tip; the pictures of the tray menu; and a
// balloon for new failures, at most one a minute, used up only once the shell has shown it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "ui/taskbar.h"
#include "win32/handles.h"

namespace kivo {

class FailureNotices;

class TrayView {
public:
    // The icon and the menu's pictures at this DPI, again after a change of DPI or of the
    // colours; a tray already showing an icon takes the new one.
    void MakePictures(TWinTaskbar* tray, HMENU menu, std::span<const MenuPicture> items, int dpi);
    HICON Plain() const { return plain_.get(); }
    // count: the failures the user has not looked at.
    void ShowAttention(TWinTaskbar& tray, int count);
    // Shows the balloon that is due, under this title; while failures wait, how long until one
    // may come.
    std::optional<std::int64_t> ShowFailures(TWinTaskbar& tray, const char* title,
                                             FailureNotices& notices, std::int64_t nowMs);

private:
    UniqueIcon plain_, marked_;
    std::vector<UniqueBitmap> pictures_;
};

} // namespace kivo
