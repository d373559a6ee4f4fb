#include "ui/tasklist.h"

#include <optional>

namespace kivo {

void TaskList::Attach(HWND list) {
    list_ = list;
    hook_.Attach(list, [this](UINT m, WPARAM w, LPARAM l) { return Message(m, w, l); });
}

LRESULT TaskList::Message(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CHAR:
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_DELETE && (GetKeyState(VK_CONTROL) & 0x8000)) {
            if (OnKeyDelete) OnKeyDelete();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        LRESULT r = hook_.Default(message, wParam, lParam);
        SelectionChanged();
        const auto& then = message == WM_LBUTTONDOWN ? OnCellClick : OnDblClick;
        if (then) then();
        return r;
    }
    }
    return hook_.Default(message, wParam, lParam);
}

void TaskList::Refresh() {
    std::vector<TaskId> ids;
    std::vector<std::string> texts;
    int selected = -1;
    if (table_.IsOpen() && !table_.IsPending()) {
        std::optional<TaskId> current = table_.CurrentId();
        table_.GotoFirst();
        while (!table_.AtEnd()) {
            if (auto id = table_.CurrentId()) {
                if (current && *id == *current) selected = static_cast<int>(ids.size());
                ids.push_back(*id);
                texts.push_back(table_.AsString(Field::Omschrijving));
            }
            table_.GotoNext();
        }
        if (current) table_.GotoId(*current);
    } else if (table_.IsOpen()) {
        // A pending change: the list keeps what it shows; no listed task is the new one.
        if (!table_.CurrentId()) SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return;
    }
    if (texts != texts_) {
        SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        for (const std::string& t : texts)
            SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.c_str()));
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
    }
    ids_ = std::move(ids);
    texts_ = std::move(texts);
    SendMessageA(list_, LB_SETCURSEL, selected, 0);
}

void TaskList::SelectionChanged() {
    LRESULT row = SendMessageA(list_, LB_GETCURSEL, 0, 0);
    if (row < 0 || row >= static_cast<LRESULT>(ids_.size())) return;
    if (!table_.GotoId(ids_[row])) Refresh();
}

} // namespace kivo
