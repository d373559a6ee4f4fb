#include "ui/trayview.h"

#include <utility>

#include "scheduler/history.h"
#include "scheduler/taskruns.h"
#include "ui/controls.h"

namespace kivo {

void TrayView::MakePictures(TWinTaskbar* tray, HMENU menu, std::span<const MenuPicture> items,
                            int dpi) {
    SetMenuPictures(menu, items, dpi, pictures_);
    UniqueIcon plain = LoadTrayIcon("MAINICON", dpi);
    UniqueIcon marked = MarkedIcon(plain.get());
    // The shell has the new picture before the old one goes.
    if (tray) {
        const bool wasMarked = marked_ && tray->Icon() == marked_.get();
        tray->ChangeIcon(wasMarked && marked ? marked.get() : plain.get());
    }
    plain_ = std::move(plain);
    marked_ = std::move(marked);
}

void TrayView::ShowAttention(TWinTaskbar& tray, int count) {
    if (!marked_) return;
    // The icon first: the new tip brings it to the notification area with it.
    tray.SetIcon(count > 0 ? marked_.get() : plain_.get());
    tray.SetHint(AttentionTip(count));
}

std::optional<std::int64_t> TrayView::ShowFailures(TWinTaskbar& tray, const char* title,
                                                   FailureNotices& notices, std::int64_t nowMs) {
    if (auto text = notices.Due(nowMs)) {
        // A balloon the shell refused waits for the next write or for the icon's return.
        if (tray.ShowBalloon(title, *text)) notices.Shown(nowMs);
        return std::nullopt;
    }
    return notices.WaitMs(nowMs);
}

} // namespace kivo
