#pragma once
// The in-memory task table: a cursor store with one pending change at a time.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "algemeen/datetime.h"
#include "platform/formatsettings.h"
#include "store/taskrecord.h"

namespace kivo {

class Collator;
class Clock;

// Stable identity of a stored task, for making a task current again after a modal question.
using TaskId = std::uint64_t;

// A new table is open and empty, in insertion order.
class TMemTable {
public:
    // The clock gives the current year for reading two-digit years.
    TMemTable(std::string name, const FormatSettings& settings, const Collator& collator,
              const Clock& clock);
    TMemTable(const TMemTable&) = delete;
    TMemTable& operator=(const TMemTable&) = delete;

    const std::string& Name() const;

    bool IsOpen() const;
    void OpenTable();
    void CloseTable();
    void ClearTable();

    int TaskCount() const;
    // A stored task by its place in the current order (0 to TaskCount() - 1); a pending change
    // is not in it. For the writer, which must not move the cursor.
    const TaskRecord& TaskAt(int index) const { return RowAt(index).task; }
    void GotoFirst();
    void GotoNext();
    bool AtEnd() const;

    void EditCurrent();
    void AppendTask();
    void PostTask();
    void CancelTask();
    void DeleteCurrent();
    void SettlePending();
    bool IsPending() const;
    bool IsSorted() const;

    bool LocateDescription(std::string_view description);
    void SortByDescription();
    // Drops every stored task the predicate names, in one pass; the order of the rest stays.
    // The cursor is then on the last task, at the end.
    void DeleteWhere(const std::function<bool(const TaskRecord&)>& drop);

    // Many stores in a row (an import): while a bulk change lasts, a stored task keeps its place
    // and LocateDescription looks through an index rather than walking every task; at its end a
    // table that was sorted is sorted once. Not nested.
    void BeginBulk();
    void EndBulk() noexcept;

    // Identity of the current stored task (none on an empty table or for a pending new task).
    std::optional<TaskId> CurrentId() const;
    // Settles a pending change, then makes the task with this identity current; false when it
    // no longer exists (the cursor then stays where it was).
    bool GotoId(TaskId id);

    // Field access on the current task, a pending change included. With no current task every
    // field reads as null.
    const TaskRecord& Current() const;
    bool IsNull(Field field) const;
    std::string AsString(Field field) const; // the text form; null gives ""
    std::int32_t AsInteger(Field field) const;
    bool AsBoolean(Field field) const;
    TDateTime AsDateTime(Field field) const;

    // Assigning is allowed only while a change is pending.
    void SetString(Field field, std::string_view text); // assign from text, by the field's rules
    void SetInteger(Field field, std::int64_t value);
    void SetBoolean(Field field, bool value);
    void SetDateTime(Field field, TDateTime value);
    void Clear(Field field);

    // The clock's year, which places the dates read with a short year.
    int CurrentYear() const;
    // Filling in bulk (load, refill): tasks built apart from the table by the field rules
    // (store/fields.h) give the table that AppendTask, the assignments and PostTask of each in
    // turn would give (order, identities, cursor on the last), at the cost of one sort. A pending
    // change is settled first, with OnBeforePost; the hook does not run per task, as nothing
    // typed belongs to them.
    void AppendFilled(std::vector<TaskRecord> tasks);

    // For the minute tick, which works beside an open edit: it must not move the cursor nor
    // settle the pending change. A stored task's identity by its place; the stored task a
    // pending edit changes (none without one); and the two fields the tick records, written
    // straight into a stored task (neither moves it in the order).
    TaskId IdAt(int index) const { return RowAt(index).id; }
    std::optional<TaskId> EditedId() const;
    // The place of the stored task with this identity, looked for at `hint` first (where it was
    // before something that may have run messages); none when it is gone.
    std::optional<int> PlaceOf(TaskId id, int hint) const;
    void SetRunFields(int index, std::optional<std::int32_t> starttijd,
                      std::optional<std::int32_t> laatstekeer);
    // The description order for the stored tasks, leaving a pending change pending.
    void SortStored();

    // Runs before a pending change is settled or stored: a bound control writes what is still
    // being typed. Unassigned: skipped.
    std::function<void()> OnBeforePost;

private:
    enum class Pending { None, Edit, Insert };
    // A stored task and its identity travel together through every insert, move and sort.
    struct Row {
        Row(TaskId rowId, TaskRecord&& rowTask) : id(rowId), task(std::move(rowTask)) {}
        TaskId id;
        TaskRecord task;
    };

    // A closed table holds no rows, so the place alone is checked: the walks of the writer and
    // the tick stay cheap.
    const Row& RowAt(int index) const {
        if (static_cast<std::size_t>(index) >= rows_.size()) FailPlace();
        return rows_[static_cast<std::size_t>(index)];
    }

    [[noreturn]] void Fail(const std::string& message) const;
    [[noreturn]] void FailPlace() const;
    void CheckOpen() const;
    void CheckEditing() const;
    void Discard();
    int CompareDesc(const std::optional<std::string>& a, const std::optional<std::string>& b) const;
    int SortedPlace(const std::optional<std::string>& desc, int skip) const;
    void Store();
    void Sort();
    void RunBeforePost();
    std::string_view DescAt(int row) const;
    void IndexRow(int row);
    void UnindexRow(int row);

    std::string name_;
    const FormatSettings& settings_;
    const Collator& collator_;
    const Clock& clock_;

    bool open_ = true;
    std::vector<Row> rows_; // the stored tasks in the current order
    int cursor_ = -1;       // index of the current task; -1 only while the table is empty
    bool atEnd_ = true;
    Pending pending_ = Pending::None;
    TaskRecord buffer_; // the pending edit or new task
    bool assigned_ = false;
    bool sorted_ = false;
    bool inBeforePost_ = false;
    // During a bulk change: whether to sort at its end, and the rows in case-blind description
    // order (equals by place), made at the first look and dropped by whatever moves rows.
    std::optional<bool> bulkSort_;
    std::optional<std::vector<int>> bulkIndex_;
    TaskId nextId_ = 1;
};

} // namespace kivo
