#include "store/memtable.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "algemeen/scopeexit.h"
#include "platform/clock.h"
#include "platform/collation.h"
#include "platform/errors.h"
#include "store/fields.h"

namespace kivo {

namespace {

// Moves one row from one place to another, the ones between shifting up or down by one.
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
    ScopeExit done([this] { inBeforePost_ = false; });
    OnBeforePost();
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
    int count = static_cast<int>(rows_.size()) - (skip >= 0 ? 1 : 0);
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        int probe = (skip >= 0 && mid >= skip) ? mid + 1 : mid;
        if (CompareDesc(desc, rows_[probe].task.Omschrijving) < 0)
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
            sorted_ ? SortedPlace(buffer_.Omschrijving, -1) : static_cast<int>(rows_.size());
        // Room first, so that the insert cannot fail with the task taken out of the buffer;
        // doubled, as room for one more each time would copy the table at every store.
        if (rows_.size() == rows_.capacity())
            rows_.reserve(std::max<std::size_t>(8, 2 * rows_.size()));
        rows_.emplace(rows_.begin() + place, nextId_++, std::move(buffer_));
        cursor_ = place;
        atEnd_ = false;
        if (place + 1 != static_cast<int>(rows_.size()))
            bulkIndex_.reset();
        else if (bulkIndex_)
            IndexRow(place);
    } else if (pending_ == Pending::Edit) {
        TaskRecord& task = rows_[cursor_].task;
        int place = cursor_;
        if (sorted_ && task.Omschrijving != buffer_.Omschrijving) {
            int last = static_cast<int>(rows_.size()) - 1;
            bool inPlace =
                (cursor_ == 0 ||
                 CompareDesc(rows_[cursor_ - 1].task.Omschrijving, buffer_.Omschrijving) <= 0) &&
                (cursor_ == last ||
                 CompareDesc(buffer_.Omschrijving, rows_[cursor_ + 1].task.Omschrijving) <= 0);
            if (!inPlace) place = SortedPlace(buffer_.Omschrijving, cursor_);
        }
        // A description that changes beyond its letter case has its place in the index again.
        bool reindex = false;
        if (bulkIndex_) {
            try {
                reindex = collator_.Compare(task.Omschrijving.value_or(""),
                                            buffer_.Omschrijving.value_or(""), true) != 0;
            } catch (const std::exception&) {
                bulkIndex_.reset();
            }
        }
        if (reindex) UnindexRow(cursor_);
        task = std::move(buffer_);
        if (reindex) IndexRow(cursor_);
        if (place != cursor_) {
            bulkIndex_.reset();
            MoveRow(rows_, cursor_, place);
            cursor_ = place;
        }
    }
    Discard();
}

// A stable merge sort of row numbers; the rows move only once it has finished, so any
// collator, even an inconsistent or failing one, leaves the table whole.
void TMemTable::Sort() {
    bulkIndex_.reset();
    const std::size_t n = rows_.size();
    auto desc = [this](std::size_t i) -> const auto& {
        return rows_[i].task.Omschrijving;
    };
    // A table loaded from its own file, or kept sorted since, needs one look only.
    bool inOrder = true;
    for (std::size_t i = 1; i < n && inOrder; ++i) inOrder = CompareDesc(desc(i - 1), desc(i)) <= 0;
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
                if (CompareDesc(desc(from[j]), desc(from[i])) < 0)
                    to[k++] = from[j++];
                else
                    to[k++] = from[i++];
            }
            while (i < mid) to[k++] = from[i++];
            while (j < hi) to[k++] = from[j++];
        }
        std::swap(from, to);
    }
    std::vector<Row> sortedRows;
    sortedRows.reserve(n);
    int newCursor = -1;
    for (std::size_t k = 0; k < n; ++k) {
        if (static_cast<int>(from[k]) == cursor_) newCursor = static_cast<int>(k);
        sortedRows.push_back(std::move(rows_[from[k]]));
    }
    rows_ = std::move(sortedRows);
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
    bulkIndex_.reset();
    rows_.clear();
    Discard();
    sorted_ = false;
    cursor_ = -1;
    atEnd_ = true;
}

void TMemTable::ClearTable() {
    // Also allowed while closed: the file reader closes, clears and reopens.
    bulkIndex_.reset();
    rows_.clear();
    Discard();
    cursor_ = -1;
    atEnd_ = true;
}

int TMemTable::TaskCount() const {
    CheckOpen();
    return static_cast<int>(rows_.size());
}

void TMemTable::FailPlace() const {
    CheckOpen();
    Fail("Task index out of range");
}

void TMemTable::GotoFirst() {
    CheckOpen();
    SettlePending();
    if (rows_.empty()) {
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
    if (cursor_ + 1 < static_cast<int>(rows_.size())) {
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
    if (rows_.empty()) {
        AppendTask();
        return;
    }
    pending_ = Pending::Edit;
    buffer_ = rows_[cursor_].task;
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
    if (rows_.empty()) Fail("Cannot perform this operation on an empty dataset");
    Discard();
    bulkIndex_.reset();
    rows_.erase(rows_.begin() + cursor_);
    int count = static_cast<int>(rows_.size());
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
    auto desc = [this](int row) { return DescAt(row); };
    if (bulkSort_) {
        if (!bulkIndex_) {
            std::vector<int> index(rows_.size());
            for (std::size_t i = 0; i < index.size(); ++i) index[i] = static_cast<int>(i);
            std::stable_sort(index.begin(), index.end(), [&](int a, int b) {
                return collator_.Compare(desc(a), desc(b), true) < 0;
            });
            bulkIndex_ = std::move(index);
        }
        // The first of its equals in the index is the first in the table, as the walk finds.
        auto it = std::lower_bound(
            bulkIndex_->begin(), bulkIndex_->end(), description,
            [&](int row, std::string_view d) { return collator_.Compare(desc(row), d, true) < 0; });
        if (it == bulkIndex_->end() || collator_.Compare(desc(*it), description, true) != 0)
            return false;
        cursor_ = *it;
        atEnd_ = false;
        return true;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (collator_.Compare(desc(static_cast<int>(i)), description, true) == 0) {
            cursor_ = static_cast<int>(i);
            atEnd_ = false;
            return true;
        }
    }
    return false;
}

void TMemTable::DeleteWhere(const std::function<bool(const TaskRecord&)>& drop) {
    CheckOpen();
    SettlePending();
    bulkIndex_.reset();
    rows_.erase(
        std::remove_if(rows_.begin(), rows_.end(), [&](const Row& row) { return drop(row.task); }),
        rows_.end());
    cursor_ = static_cast<int>(rows_.size()) - 1;
    atEnd_ = true;
}

void TMemTable::BeginBulk() {
    CheckOpen();
    SettlePending();
    bulkSort_ = sorted_;
    sorted_ = false; // stores keep their place until the end
}

// Never throws, as it ends a scope: a collation that fails leaves the table unsorted with every
// task kept, and the next sort (the import's own, or the save's) reports it.
void TMemTable::EndBulk() noexcept {
    const bool sort = bulkSort_.value_or(false);
    bulkSort_.reset();
    bulkIndex_.reset();
    if (!sort || !open_) return;
    try {
        Sort();
    } catch (const std::exception&) {
    }
}

std::string_view TMemTable::DescAt(int row) const {
    const auto& d = rows_[static_cast<std::size_t>(row)].task.Omschrijving;
    return d ? std::string_view(*d) : std::string_view();
}

// The index is only a quicker way to find: whatever fails in it drops it, and the next look
// makes it anew.
void TMemTable::IndexRow(int row) {
    try {
        auto it = std::upper_bound(
            bulkIndex_->begin(), bulkIndex_->end(), row, [this](int value, int element) {
                const int c = collator_.Compare(DescAt(value), DescAt(element), true);
                return c < 0 || (c == 0 && value < element);
            });
        bulkIndex_->insert(it, row);
    } catch (const std::exception&) {
        bulkIndex_.reset();
    }
}

void TMemTable::UnindexRow(int row) {
    auto it = std::find(bulkIndex_->begin(), bulkIndex_->end(), row);
    if (it != bulkIndex_->end()) bulkIndex_->erase(it);
}

void TMemTable::SortByDescription() {
    CheckOpen();
    SettlePending();
    Sort();
}

std::optional<TaskId> TMemTable::CurrentId() const {
    CheckOpen();
    if (pending_ == Pending::Insert || cursor_ < 0) return std::nullopt;
    return rows_[cursor_].id;
}

bool TMemTable::GotoId(TaskId id) {
    CheckOpen();
    SettlePending();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id == id) {
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
    return rows_[cursor_].task;
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
    if (tasks.empty()) return;
    // The hook writes what the user is typing into the pending change: it has its say once,
    // when that change is settled. The tasks filled here were never typed, and the hook run with
    // one of them pending could only write the user's typing into it.
    SettlePending();
    // Last, with identities in their order, as each store would put them. A sorted table then
    // sorts once: a stable sort of the sorted rows and the new ones after them puts each new task
    // after its equals, in the order of the tasks, as a store at its sorted place would.
    const int last = static_cast<int>(rows_.size() + tasks.size()) - 1;
    bulkIndex_.reset();
    rows_.reserve(rows_.size() + tasks.size());
    for (TaskRecord& task : tasks) rows_.emplace_back(nextId_++, std::move(task));
    cursor_ = last;
    atEnd_ = false;
    if (!sorted_) return;
    // Should the collation fail, every task is kept, in an order no longer maintained.
    sorted_ = false;
    Sort();
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
    return rows_[cursor_].id;
}

void TMemTable::SetRunFields(int index, std::optional<std::int32_t> starttijd,
                             std::optional<std::int32_t> laatstekeer) {
    TaskAt(index);
    TaskRecord& rec = rows_[index].task;
    if (starttijd)
        AssignFieldDateTime(rec, Field::Starttijd, static_cast<double>(*starttijd) / MSecsPerDay);
    if (laatstekeer) AssignFieldDateTime(rec, Field::Laatstekeer, *laatstekeer);
}

void TMemTable::SortStored() {
    CheckOpen();
    Sort();
}

} // namespace kivo
