#include "store/memtable.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "platform/clock.h"
#include "platform/collation.h"
#include "platform/errors.h"
#include "store/fields.h"

namespace kivo {

namespace {

// Moves one element from one place to another, the ones between shifting up or down by one.
template <typename T> void MoveRow(std::vector<T>& rows, int from, int to) {
    auto at = [&](int i) { return rows.begin() + i; };
    if (to < from)
        std::rotate(at(to), at(from), at(from + 1));
    else
        std::rotate(at(from), at(from + 1), at(to + 1));
}

} // namespace

TMemTable::TMemTable(std::string name, const FormatSettings& settings, const Collator& collator,
                     const Clock& clock)
    : name_(std::move(name)), settings_(settings), collator_(collator), clock_(clock) {}

void TMemTable::Fail(const std::string& message) const {
    throw KivoError(name_ + ": " + message);
}

void TMemTable::CheckOpen() const {
    if (!open_) Fail("Cannot perform this operation on a closed dataset");
}

void TMemTable::CheckEditing() const {
    if (pending_ == Pending::None) Fail("Dataset is not in edit mode.");
}

void TMemTable::Discard() {
    pending_ = Pending::None;
    assigned_ = false;
    buffer_ = TaskRecord{};
}

// The hook may itself store; it is not run again from inside itself.
void TMemTable::RunBeforePost() {
    if (!OnBeforePost || inBeforePost_) return;
    inBeforePost_ = true;
    try {
        OnBeforePost();
    } catch (...) {
        inBeforePost_ = false;
        throw;
    }
    inBeforePost_ = false;
}

// Null first, then the linguistic order with case.
int TMemTable::CompareDesc(const std::optional<std::string>& a,
                           const std::optional<std::string>& b) const {
    if (!a) return b ? -1 : 0;
    if (!b) return 1;
    return collator_.Compare(*a, *b, false);
}

// Where a description goes among rows (the row at skip left out): after its equals, so
// that storing a task never overtakes one with the same description.
int TMemTable::SortedPlace(const std::optional<std::string>& desc, int skip) const {
    int count = static_cast<int>(tasks_.size()) - (skip >= 0 ? 1 : 0);
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        int probe = (skip >= 0 && mid >= skip) ? mid + 1 : mid;
        if (CompareDesc(desc, tasks_[probe].Omschrijving) < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Stores the pending change. Everything that can fail (the collation) runs before the
// table changes, so a failure leaves the change pending.
void TMemTable::Store() {
    if (pending_ == Pending::Insert) {
        int place =
            sorted_ ? SortedPlace(buffer_.Omschrijving, -1) : static_cast<int>(tasks_.size());
        // Room in both first: the inserts then cannot fail half-way. Grown by half at a time, so
        // that N posts in a row (a load with a hook set) stay linear.
        const auto room = [](auto& rows) {
            if (rows.size() == rows.capacity()) rows.reserve(rows.size() + rows.size() / 2 + 1);
        };
        room(tasks_);
        room(ids_);
        tasks_.insert(tasks_.begin() + place, std::move(buffer_));
        ids_.insert(ids_.begin() + place, nextId_++);
        cursor_ = place;
        atEnd_ = false;
    } else if (pending_ == Pending::Edit) {
        TaskRecord& task = tasks_[cursor_];
        int place = cursor_;
        if (sorted_ && task.Omschrijving != buffer_.Omschrijving) {
            int last = static_cast<int>(tasks_.size()) - 1;
            bool inPlace = (cursor_ == 0 || CompareDesc(tasks_[cursor_ - 1].Omschrijving,
                                                        buffer_.Omschrijving) <= 0) &&
                           (cursor_ == last || CompareDesc(buffer_.Omschrijving,
                                                           tasks_[cursor_ + 1].Omschrijving) <= 0);
            if (!inPlace) place = SortedPlace(buffer_.Omschrijving, cursor_);
        }
        task = std::move(buffer_);
        if (place != cursor_) {
            MoveRow(tasks_, cursor_, place);
            MoveRow(ids_, cursor_, place);
            cursor_ = place;
        }
    }
    Discard();
}

// A stable merge sort of row numbers; the rows move only once it has finished, so any
// collator, even an inconsistent or failing one, leaves the table whole.
void TMemTable::Sort() {
    const std::size_t n = tasks_.size();
    // A table loaded from its own file, or kept sorted since, needs one look only.
    bool inOrder = true;
    for (std::size_t i = 1; i < n && inOrder; ++i)
        inOrder = CompareDesc(tasks_[i - 1].Omschrijving, tasks_[i].Omschrijving) <= 0;
    if (inOrder) {
        sorted_ = true;
        return;
    }
    std::vector<std::size_t> from(n), to(n);
    for (std::size_t i = 0; i < n; ++i) from[i] = i;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, n);
            const std::size_t hi = std::min(lo + 2 * width, n);
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                if (CompareDesc(tasks_[from[j]].Omschrijving, tasks_[from[i]].Omschrijving) < 0)
                    to[k++] = from[j++];
                else
                    to[k++] = from[i++];
            }
            while (i < mid) to[k++] = from[i++];
            while (j < hi) to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    std::vector<TaskRecord> sortedTasks;
    std::vector<TaskId> sortedIds;
    sortedTasks.reserve(n);
    sortedIds.reserve(n);
    int newCursor = -1;
    for (std::size_t k = 0; k < n; ++k) {
        if (static_cast<int>(from[k]) == cursor_) newCursor = static_cast<int>(k);
        sortedTasks.push_back(std::move(tasks_[from[k]]));
        sortedIds.push_back(ids_[from[k]]);
    }
    tasks_ = std::move(sortedTasks);
    ids_ = std::move(sortedIds);
    cursor_ = newCursor;
    sorted_ = true;
}

const std::string& TMemTable::Name() const {
    return name_;
}

bool TMemTable::IsOpen() const {
    return open_;
}

void TMemTable::OpenTable() {
    if (open_) return;
    open_ = true;
    sorted_ = false;
    cursor_ = -1;
    atEnd_ = true;
}

void TMemTable::CloseTable() {
    open_ = false;
    tasks_.clear();
    ids_.clear();
    Discard();
    sorted_ = false;
    cursor_ = -1;
    atEnd_ = true;
}

void TMemTable::ClearTable() {
    // Also allowed while closed: the file reader closes, clears and reopens.
    tasks_.clear();
    ids_.clear();
    Discard();
    cursor_ = -1;
    atEnd_ = true;
}

int TMemTable::TaskCount() const {
    CheckOpen();
    return static_cast<int>(tasks_.size());
}

void TMemTable::FailPlace() const {
    CheckOpen();
    Fail("Task index out of range");
}

void TMemTable::GotoFirst() {
    CheckOpen();
    SettlePending();
    if (tasks_.empty()) {
        cursor_ = -1;
        atEnd_ = true;
    } else {
        cursor_ = 0;
        atEnd_ = false;
    }
}

void TMemTable::GotoNext() {
    CheckOpen();
    SettlePending();
    if (cursor_ + 1 < static_cast<int>(tasks_.size())) {
        ++cursor_;
        atEnd_ = false;
    } else {
        atEnd_ = true;
    }
}

bool TMemTable::AtEnd() const {
    return atEnd_;
}

void TMemTable::EditCurrent() {
    CheckOpen();
    if (pending_ != Pending::None) return;
    if (tasks_.empty()) {
        AppendTask();
        return;
    }
    pending_ = Pending::Edit;
    buffer_ = tasks_[cursor_];
    assigned_ = false;
}

void TMemTable::AppendTask() {
    CheckOpen();
    SettlePending();
    pending_ = Pending::Insert;
    // The defaults of a new task count as assignments.
    buffer_ = NewTask();
    assigned_ = true;
}

void TMemTable::PostTask() {
    CheckOpen();
    if (pending_ == Pending::None) return;
    RunBeforePost();
    Store();
}

void TMemTable::CancelTask() {
    CheckOpen();
    Discard();
}

void TMemTable::DeleteCurrent() {
    CheckOpen();
    if (pending_ == Pending::Insert) {
        Discard();
        return;
    }
    if (tasks_.empty()) Fail("Cannot perform this operation on an empty dataset");
    Discard();
    tasks_.erase(tasks_.begin() + cursor_);
    ids_.erase(ids_.begin() + cursor_);
    int count = static_cast<int>(tasks_.size());
    if (count == 0) {
        cursor_ = -1;
        atEnd_ = true;
    } else {
        if (cursor_ >= count) cursor_ = count - 1;
        atEnd_ = false;
    }
}

void TMemTable::SettlePending() {
    CheckOpen();
    if (pending_ == Pending::None) return;
    RunBeforePost();
    if (assigned_)
        Store();
    else
        Discard();
}

bool TMemTable::IsPending() const {
    return pending_ != Pending::None;
}

bool TMemTable::IsSorted() const {
    return sorted_;
}

bool TMemTable::LocateDescription(std::string_view description) {
    CheckOpen();
    SettlePending();
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
        const auto& desc = tasks_[i].Omschrijving;
        if (collator_.Compare(desc ? std::string_view(*desc) : std::string_view(), description,
                              true) == 0) {
            cursor_ = static_cast<int>(i);
            atEnd_ = false;
            return true;
        }
    }
    return false;
}

void TMemTable::SortByDescription() {
    CheckOpen();
    SettlePending();
    Sort();
}

std::optional<TaskId> TMemTable::CurrentId() const {
    CheckOpen();
    if (pending_ == Pending::Insert || cursor_ < 0) return std::nullopt;
    return ids_[cursor_];
}

bool TMemTable::GotoId(TaskId id) {
    CheckOpen();
    SettlePending();
    for (std::size_t i = 0; i < ids_.size(); ++i) {
        if (ids_[i] == id) {
            cursor_ = static_cast<int>(i);
            atEnd_ = false;
            return true;
        }
    }
    return false;
}

const TaskRecord& TMemTable::Current() const {
    static const TaskRecord none;
    CheckOpen();
    if (pending_ != Pending::None) return buffer_;
    if (cursor_ < 0) return none;
    return tasks_[cursor_];
}

bool TMemTable::IsNull(Field field) const {
    return IsNullField(Current(), field);
}

std::string TMemTable::AsString(Field field) const {
    return FieldText(Current(), field, settings_);
}

std::int32_t TMemTable::AsInteger(Field field) const {
    return FieldInteger(Current(), field);
}

bool TMemTable::AsBoolean(Field field) const {
    return FieldBoolean(Current(), field);
}

TDateTime TMemTable::AsDateTime(Field field) const {
    return FieldDateTime(Current(), field);
}

void TMemTable::SetString(Field field, std::string_view text) {
    CheckOpen();
    CheckEditing();
    AssignFieldText(buffer_, field, text, settings_, YearSource{&clock_});
    assigned_ = true;
}

void TMemTable::SetInteger(Field field, std::int64_t value) {
    CheckOpen();
    CheckEditing();
    AssignFieldInteger(buffer_, field, value);
    assigned_ = true;
}

void TMemTable::SetBoolean(Field field, bool value) {
    CheckOpen();
    CheckEditing();
    AssignFieldBoolean(buffer_, field, value);
    assigned_ = true;
}

void TMemTable::SetDateTime(Field field, TDateTime value) {
    CheckOpen();
    CheckEditing();
    AssignFieldDateTime(buffer_, field, value);
    assigned_ = true;
}

void TMemTable::Clear(Field field) {
    CheckOpen();
    CheckEditing();
    ClearField(buffer_, field);
    assigned_ = true;
}

int TMemTable::CurrentYear() const {
    return clock_.Now().date.year;
}

void TMemTable::AppendFilled(std::vector<TaskRecord> tasks) {
    CheckOpen();
    if (pending_ == Pending::None && !OnBeforePost && !sorted_) {
        // Nothing to settle, no hook to run and no sorted place to find: the tasks simply go
        // last, as Store would put them. An empty table without room takes them as they are.
        if (tasks.empty()) return;
        ids_.reserve(ids_.size() + tasks.size());
        if (tasks_.empty() && tasks_.capacity() < tasks.size()) {
            tasks_ = std::move(tasks);
        } else {
            tasks_.reserve(tasks_.size() + tasks.size());
            std::move(tasks.begin(), tasks.end(), std::back_inserter(tasks_));
        }
        while (ids_.size() < tasks_.size()) ids_.push_back(nextId_++);
        cursor_ = static_cast<int>(tasks_.size()) - 1;
        atEnd_ = false;
        return;
    }
    for (TaskRecord& task : tasks) {
        SettlePending();
        pending_ = Pending::Insert;
        buffer_ = std::move(task);
        assigned_ = true;
        PostTask();
    }
}

std::optional<int> TMemTable::PlaceOf(TaskId id, int hint) const {
    const int n = TaskCount();
    if (hint >= 0 && hint < n && IdAt(hint) == id) return hint;
    for (int i = 0; i < n; ++i)
        if (IdAt(i) == id) return i;
    return std::nullopt;
}

std::optional<TaskId> TMemTable::EditedId() const {
    CheckOpen();
    if (pending_ != Pending::Edit || cursor_ < 0) return std::nullopt;
    return ids_[cursor_];
}

void TMemTable::SetRunFields(int index, std::optional<std::int32_t> starttijd,
                             std::optional<std::int32_t> laatstekeer) {
    TaskAt(index);
    TaskRecord& rec = tasks_[index];
    if (starttijd)
        AssignFieldDateTime(rec, Field::Starttijd, static_cast<double>(*starttijd) / MSecsPerDay);
    if (laatstekeer) AssignFieldDateTime(rec, Field::Laatstekeer, *laatstekeer);
}

void TMemTable::SortStored() {
    CheckOpen();
    Sort();
}

} // namespace kivo
