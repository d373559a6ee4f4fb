#pragma once
// The task overview "Taakoverzicht": one row per task with its next run, its latest run and what
// came of it. A virtual list view: the rows live here, the control asks for the texts it shows.
// The window exists only while it is open and frees itself when closed.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/taskoverview.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace kivo {

class Clock;
class Scheduler;
class TaskHistory;
class TaskRuns;

class TTaakoverzichtForm : public Window {
public:
    static constexpr const char* ClassName = "TTaakoverzichtForm";
    static constexpr int ListId = 1;

    // What the rows are made of; all of it outlives the window.
    struct Sources {
        const TMemTable& table;
        const Scheduler& scheduler; // when the tick starts each task next
        const TaskHistory& history;
        const TaskRuns* runs;
        const Clock& clock;
        const FormatSettings& settings;
    };

    // Creates and shows the overview. The pointer is valid until OnClosed has run.
    static TTaakoverzichtForm* Open(const Sources& sources);

    // Makes the rows again, now or once the messages waiting have been handled (several asks
    // give one refresh). The selected tasks stay selected, wherever their rows go.
    void Refresh();
    void RefreshLater();
    // As a click on a column's header: sorts by it, or the other way round when it sorted.
    void SortBy(int column);

    HWND List() const { return list_; }
    const std::vector<OverviewRow>& Rows() const { return rows_; }
    // The row shown at this place, in the present order.
    const OverviewRow& RowAt(int place) const { return rows_[order_[place]]; }
    // The selected rows as tab-separated text, as Ctrl+C copies them.
    std::string SelectedText() const;

    // A double click or Enter on a row: open that task for editing. Unassigned: skipped.
    std::function<void(TaskId)> OnEdit;
    // The window is gone (closed, or destroyed with its owner).
    std::function<void()> OnClosed;

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override;
    void OnDpiChanged() override;
    void OnColorsChanged() override;
    HWND DefaultFocus() const override { return list_; }

private:
    explicit TTaakoverzichtForm(const Sources& sources) : sources_(sources) {}
    ~TTaakoverzichtForm() override = default;
    void CreateControls();
    void ApplyDpi(); // the font and the column widths for the window's DPI
    void Layout();
    LRESULT Notify(const NMHDR& header);
    // Shows rows_ in a new order, keeping the selected and focused tasks.
    void Reorder();
    std::vector<TaskId> SelectedIds() const;
    void EditSelected();
    void CopySelection();
    void ShowSortMark();

    Sources sources_;
    HWND list_ = nullptr;
    UniqueFont font_;
    std::vector<OverviewRow> rows_;
    std::vector<int> order_;
    int sortColumn_ = ColTaak;
    bool descending_ = false;
    bool refreshPosted_ = false;
    bool freesItself_ = false;
};

} // namespace kivo
