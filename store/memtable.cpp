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
