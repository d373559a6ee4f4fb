#pragma once
// The main window's task list: a list box that shows the table's descriptions in table order and
// follows its cursor. The table stays the one place of the tasks; the list only mirrors it. It
// takes no typing; a click makes the row's task current.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "store/memtable.h"
#include "win32/window.h"

namespace kivo {

class TaskList {
public:
    explicit TaskList(TMemTable& table) : table_(table) {}
    TaskList(const TaskList&) = delete;
    TaskList& operator=(const TaskList&) = delete;

    void Attach(HWND list);
    HWND Hwnd() const { return list_; }
    // After a click, a double click, and Ctrl+Delete; the row's task is current then.
    std::function<void()> OnCellClick, OnDblClick, OnKeyDelete;

    // Refills the list from the table (only when the descriptions changed) and selects the
    // current task. A pending change leaves the list as it is; a closed table empties it.
    void Refresh();
    // The user picked a row: its task becomes current. A row whose task is gone refreshes.
    void SelectionChanged();

private:
    TMemTable& table_;
    LRESULT Message(UINT message, WPARAM wParam, LPARAM lParam);

    HWND list_ = nullptr;
    ControlHook hook_;
    std::vector<TaskId> ids_;
    std::vector<std::string> texts_;
};

} // namespace kivo
