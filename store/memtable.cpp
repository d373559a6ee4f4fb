#include "store/memtable.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "algemeen/errors.h"
#include "algemeen/text.h"
#include "platform/clock.h"
#include "platform/collation.h"

namespace kivo {

namespace {

enum class Pending { None, Edit, Insert };

struct Row {
    TaskId id;
    TaskRecord rec;
};

// Day numbers of 1-1-0001 and 31-12-9999: the dates the text forms can show.
constexpr double MinDay = -693593.0;
constexpr double MaxDay = 2958465.0;

std::optional<std::string>* TextSlot(TaskRecord& rec, Field field) {
    switch (field) {
    case Field::Omschrijving:
        return &rec.Omschrijving;
    case Field::Werkdirectory:
        return &rec.Werkdirectory;
    case Field::Programma:
        return &rec.Programma;
    case Field::Parameters:
        return &rec.Parameters;
    default:
        return nullptr;
    }
}

const std::optional<std::string>* TextSlot(const TaskRecord& rec, Field field) {
    return TextSlot(const_cast<TaskRecord&>(rec), field);
}

std::optional<bool>* BoolSlot(TaskRecord& rec, Field field) {
    if (field == Field::Dagen) return &rec.Dagen;
    if (field == Field::Uren) return &rec.Uren;
    return nullptr;
}

bool IsNullIn(const TaskRecord& rec, Field field) {
    switch (field) {
    case Field::Omschrijving:
        return !rec.Omschrijving;
    case Field::Werkdirectory:
        return !rec.Werkdirectory;
    case Field::Programma:
        return !rec.Programma;
    case Field::Parameters:
        return !rec.Parameters;
    case Field::Starttijd:
        return !rec.Starttijd;
    case Field::Frekwentie:
        return !rec.Frekwentie;
    case Field::Dagen:
        return !rec.Dagen;
    case Field::Uren:
        return !rec.Uren;
    case Field::Laatstekeer:
        return !rec.Laatstekeer;
    }
    return true;
}

// The hook may itself store; it is not run again from inside itself.
void RunBeforePost(const std::function<void()>& hook, bool& running) {
    if (!hook || running) return;
    running = true;
    try {
        hook();
    } catch (...) {
        running = false;
        throw;
    }
    running = false;
}

std::string TypeMismatch(Field field) {
    return std::string("Invalid type conversion for field '") + FieldName(field) + "'";
}

} // namespace

struct TMemTable::Impl {
    Impl(std::string n, const FormatSettings& s, const Collator& c, const Clock& k)
        : name(std::move(n)), settings(s), collator(c), clock(k) {}

    std::string name;
    const FormatSettings& settings;
    const Collator& collator;
    const Clock& clock;

    bool open = true;
    std::vector<Row> rows; // the current order
    int cursor = -1;       // index of the current task; -1 only while the table is empty
    bool atEnd = true;
    Pending pending = Pending::None;
    TaskRecord buffer; // the pending edit or new task
    bool assigned = false;
    bool sorted = false;
    bool inBeforePost = false;
    TaskId nextId = 1;

    [[noreturn]] void Fail(const std::string& message) const {
        throw KivoError(name + ": " + message);
    }
    void CheckOpen() const {
        if (!open) Fail("Cannot perform this operation on a closed dataset");
    }
    void CheckEditing() const {
        if (pending == Pending::None) Fail("Dataset is not in edit mode.");
    }

    void Discard() {
        pending = Pending::None;
        assigned = false;
        buffer = TaskRecord{};
    }

    // Null first, then the linguistic order with case.
    int CompareDesc(const std::optional<std::string>& a,
                    const std::optional<std::string>& b) const {
        if (!a) return b ? -1 : 0;
        if (!b) return 1;
        return collator.Compare(*a, *b, false);
    }

    // Where a description goes among rows (the row at skip left out): after its equals, so
    // that storing a task never overtakes one with the same description.
    int SortedPlace(const std::optional<std::string>& desc, int skip) const {
        int count = static_cast<int>(rows.size()) - (skip >= 0 ? 1 : 0);
        int lo = 0;
        int hi = count;
        while (lo < hi) {
            int mid = lo + (hi - lo) / 2;
            int probe = (skip >= 0 && mid >= skip) ? mid + 1 : mid;
            if (CompareDesc(desc, rows[probe].rec.Omschrijving) < 0)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

    // Stores the pending change. Everything that can fail (the collation) runs before the
    // table changes, so a failure leaves the change pending.
    void Store() {
        if (pending == Pending::Insert) {
            int place =
                sorted ? SortedPlace(buffer.Omschrijving, -1) : static_cast<int>(rows.size());
            rows.insert(rows.begin() + place, Row{nextId++, std::move(buffer)});
            cursor = place;
            atEnd = false;
        } else if (pending == Pending::Edit) {
            Row& row = rows[cursor];
            int place = cursor;
            if (sorted && row.rec.Omschrijving != buffer.Omschrijving) {
                int last = static_cast<int>(rows.size()) - 1;
                bool inPlace =
                    (cursor == 0 ||
                     CompareDesc(rows[cursor - 1].rec.Omschrijving, buffer.Omschrijving) <= 0) &&
                    (cursor == last ||
                     CompareDesc(buffer.Omschrijving, rows[cursor + 1].rec.Omschrijving) <= 0);
                if (!inPlace) place = SortedPlace(buffer.Omschrijving, cursor);
            }
            row.rec = std::move(buffer);
            if (place != cursor) {
                Row moved = std::move(row);
                rows.erase(rows.begin() + cursor);
                rows.insert(rows.begin() + place, std::move(moved));
                cursor = place;
            }
        }
        Discard();
    }

    // A stable merge sort of row numbers; the rows move only once it has finished, so any
    // collator, even an inconsistent or failing one, leaves the table whole.
    void Sort() {
        const std::size_t n = rows.size();
        // A table loaded from its own file, or kept sorted since, needs one look only.
        bool inOrder = true;
        for (std::size_t i = 1; i < n && inOrder; ++i)
            inOrder = CompareDesc(rows[i - 1].rec.Omschrijving, rows[i].rec.Omschrijving) <= 0;
        if (inOrder) {
            sorted = true;
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
                    if (CompareDesc(rows[from[j]].rec.Omschrijving,
                                    rows[from[i]].rec.Omschrijving) < 0)
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
            if (static_cast<int>(from[k]) == cursor) newCursor = static_cast<int>(k);
            sortedRows.push_back(std::move(rows[from[k]]));
        }
        rows = std::move(sortedRows);
        cursor = newCursor;
        sorted = true;
    }

    // Assigning from text by the field's rules. The year places dates without a four-digit
    // year; without one the clock is asked.
    void AssignString(TaskRecord& rec, Field field, std::string_view text,
                      std::optional<int> year) const {
        switch (field) {
        case Field::Starttijd:
            if (text.empty())
                rec.Starttijd.reset();
            else
                StoreTime(rec, StrToTime(text, settings));
            break;
        case Field::Laatstekeer:
            if (text.empty()) {
                rec.Laatstekeer.reset();
            } else {
                if (!year) year = clock.Now().date.year;
                StoreDate(rec, StrToDate(text, settings, *year));
            }
            break;
        case Field::Frekwentie:
            if (text.empty()) {
                rec.Frekwentie.reset();
            } else {
                auto value = TryStrToInt(text);
                if (!value)
                    throw KivoError("'" + std::string(text) +
                                    "' is not a valid integer value for field '" +
                                    FieldName(field) + "'");
                StoreInteger(rec, field, *value);
            }
            break;
        case Field::Dagen:
        case Field::Uren:
            if (text.empty())
                BoolSlot(rec, field)->reset();
            else if (SameTextAZ(text, "True"))
                *BoolSlot(rec, field) = true;
            else if (SameTextAZ(text, "False"))
                *BoolSlot(rec, field) = false;
            else
                throw KivoError("'" + std::string(text) +
                                "' is not a valid boolean value for field '" + FieldName(field) +
                                "'");
            break;
        default:
            StoreText(rec, field, text);
            break;
        }
    }

    static void AssignDateTime(TaskRecord& rec, Field field, TDateTime value) {
        switch (field) {
        case Field::Starttijd:
            StoreTime(rec, value);
            break;
        case Field::Laatstekeer:
            StoreDate(rec, value);
            break;
        default:
            throw KivoError(TypeMismatch(field));
        }
    }

    static void StoreTime(TaskRecord& rec, TDateTime value) {
        if (!std::isfinite(value)) throw KivoError("Invalid floating point operation");
        // Only the time of day counts; far-off days would not fit the millisecond count.
        if (std::fabs(value) > 1e9) value = std::fmod(value, 1.0);
        std::int64_t ms = ToMilliseconds(value) % MSecsPerDay;
        if (ms < 0) ms += MSecsPerDay;
        rec.Starttijd = static_cast<std::int32_t>(ms);
    }

    static void StoreDate(TaskRecord& rec, TDateTime value) {
        if (!std::isfinite(value) || value < MinDay || value >= MaxDay + 1)
            throw KivoError("'" + FormatGeneral(value) + "' is not a valid date");
        std::int64_t days = ToMilliseconds(value) / MSecsPerDay;
        if (days > static_cast<std::int64_t>(MaxDay)) days = static_cast<std::int64_t>(MaxDay);
        rec.Laatstekeer = static_cast<std::int32_t>(days);
    }

    static void StoreInteger(TaskRecord& rec, Field field, std::int64_t value) {
        if (value < -32768 || value > 32767)
            throw KivoError(FormatGeneral(static_cast<double>(value)) +
                            " is not a valid value for field '" + FieldName(field) +
                            "'. The allowed range is " + FormatGeneral(-32768) + " to " +
                            FormatGeneral(32767));
        rec.Frekwentie = static_cast<std::int16_t>(value);
    }

    static void StoreText(TaskRecord& rec, Field field, std::string_view text) {
        text = text.substr(0, text.find('\0'));
        text = text.substr(0, static_cast<std::size_t>(FieldLimit(field)));
        *TextSlot(rec, field) = text;
    }
};

TMemTable::TMemTable(std::string name, const FormatSettings& settings, const Collator& collator,
                     const Clock& clock)
    : impl_(new Impl(std::move(name), settings, collator, clock)) {}

TMemTable::~TMemTable() {
    delete impl_;
}

const std::string& TMemTable::Name() const {
    return impl_->name;
}

bool TMemTable::IsOpen() const {
    return impl_->open;
}

void TMemTable::OpenTable() {
    if (impl_->open) return;
    impl_->open = true;
    impl_->sorted = false;
    impl_->cursor = -1;
    impl_->atEnd = true;
}

void TMemTable::CloseTable() {
    impl_->open = false;
    impl_->rows.clear();
    impl_->Discard();
    impl_->sorted = false;
    impl_->cursor = -1;
    impl_->atEnd = true;
}

void TMemTable::ClearTable() {
    // Also allowed while closed: the file reader closes, clears and reopens.
    impl_->rows.clear();
    impl_->Discard();
    impl_->cursor = -1;
    impl_->atEnd = true;
}

int TMemTable::TaskCount() const {
    impl_->CheckOpen();
    return static_cast<int>(impl_->rows.size());
}

const TaskRecord& TMemTable::TaskAt(int index) const {
    impl_->CheckOpen();
    if (index < 0 || index >= static_cast<int>(impl_->rows.size()))
        impl_->Fail("Task index out of range");
    return impl_->rows[index].rec;
}

void TMemTable::GotoFirst() {
    impl_->CheckOpen();
    SettlePending();
    if (impl_->rows.empty()) {
        impl_->cursor = -1;
        impl_->atEnd = true;
    } else {
        impl_->cursor = 0;
        impl_->atEnd = false;
    }
}

void TMemTable::GotoNext() {
    impl_->CheckOpen();
    SettlePending();
    if (impl_->cursor + 1 < static_cast<int>(impl_->rows.size())) {
        ++impl_->cursor;
        impl_->atEnd = false;
    } else {
        impl_->atEnd = true;
    }
}

bool TMemTable::AtEnd() const {
    return impl_->atEnd;
}

void TMemTable::EditCurrent() {
    impl_->CheckOpen();
    if (impl_->pending != Pending::None) return;
    if (impl_->rows.empty()) {
        AppendTask();
        return;
    }
    impl_->pending = Pending::Edit;
    impl_->buffer = impl_->rows[impl_->cursor].rec;
    impl_->assigned = false;
}

void TMemTable::AppendTask() {
    impl_->CheckOpen();
    SettlePending();
    impl_->pending = Pending::Insert;
    impl_->buffer = TaskRecord{};
    impl_->assigned = false;
    // The defaults of a new task; they count as assignments.
    SetDateTime(Field::Starttijd, 0.5);
    SetInteger(Field::Frekwentie, 1);
    SetBoolean(Field::Dagen, true);
    SetBoolean(Field::Uren, false);
}

void TMemTable::PostTask() {
    impl_->CheckOpen();
    if (impl_->pending == Pending::None) return;
    RunBeforePost(OnBeforePost, impl_->inBeforePost);
    impl_->Store();
}

void TMemTable::CancelTask() {
    impl_->CheckOpen();
    impl_->Discard();
}

void TMemTable::DeleteCurrent() {
    impl_->CheckOpen();
    if (impl_->pending == Pending::Insert) {
        impl_->Discard();
        return;
    }
    if (impl_->rows.empty()) impl_->Fail("Cannot perform this operation on an empty dataset");
    impl_->Discard();
    impl_->rows.erase(impl_->rows.begin() + impl_->cursor);
    int count = static_cast<int>(impl_->rows.size());
    if (count == 0) {
        impl_->cursor = -1;
        impl_->atEnd = true;
    } else {
        if (impl_->cursor >= count) impl_->cursor = count - 1;
        impl_->atEnd = false;
    }
}

void TMemTable::SettlePending() {
    impl_->CheckOpen();
    if (impl_->pending == Pending::None) return;
    RunBeforePost(OnBeforePost, impl_->inBeforePost);
    if (impl_->assigned)
        impl_->Store();
    else
        impl_->Discard();
}

bool TMemTable::IsPending() const {
    return impl_->pending != Pending::None;
}

bool TMemTable::IsSorted() const {
    return impl_->sorted;
}

bool TMemTable::LocateDescription(std::string_view description) {
    impl_->CheckOpen();
    SettlePending();
    for (std::size_t i = 0; i < impl_->rows.size(); ++i) {
        const auto& desc = impl_->rows[i].rec.Omschrijving;
        if (impl_->collator.Compare(desc ? std::string_view(*desc) : std::string_view(),
                                    description, true) == 0) {
            impl_->cursor = static_cast<int>(i);
            impl_->atEnd = false;
            return true;
        }
    }
    return false;
}

void TMemTable::SortByDescription() {
    impl_->CheckOpen();
    SettlePending();
    impl_->Sort();
}

std::optional<TaskId> TMemTable::CurrentId() const {
    impl_->CheckOpen();
    if (impl_->pending == Pending::Insert || impl_->cursor < 0) return std::nullopt;
    return impl_->rows[impl_->cursor].id;
}

bool TMemTable::GotoId(TaskId id) {
    impl_->CheckOpen();
    SettlePending();
    for (std::size_t i = 0; i < impl_->rows.size(); ++i) {
        if (impl_->rows[i].id == id) {
            impl_->cursor = static_cast<int>(i);
            impl_->atEnd = false;
            return true;
        }
    }
    return false;
}

const TaskRecord& TMemTable::Current() const {
    static const TaskRecord none;
    impl_->CheckOpen();
    if (impl_->pending != Pending::None) return impl_->buffer;
    if (impl_->cursor < 0) return none;
    return impl_->rows[impl_->cursor].rec;
}

bool TMemTable::IsNull(Field field) const {
    return IsNullIn(Current(), field);
}

std::string TMemTable::AsString(Field field) const {
    const TaskRecord& rec = Current();
    if (IsNullIn(rec, field)) return "";
    switch (field) {
    case Field::Starttijd:
        return FormatTime(static_cast<double>(*rec.Starttijd) / MSecsPerDay, impl_->settings);
    case Field::Laatstekeer:
        return FormatDate(*rec.Laatstekeer, impl_->settings);
    case Field::Frekwentie:
        return std::to_string(*rec.Frekwentie);
    case Field::Dagen:
        return *rec.Dagen ? "True" : "False";
    case Field::Uren:
        return *rec.Uren ? "True" : "False";
    default:
        return **TextSlot(rec, field);
    }
}

std::int32_t TMemTable::AsInteger(Field field) const {
    const TaskRecord& rec = Current();
    if (IsNullIn(rec, field)) return 0;
    switch (field) {
    case Field::Frekwentie:
        return *rec.Frekwentie;
    case Field::Dagen:
        return *rec.Dagen ? 1 : 0;
    case Field::Uren:
        return *rec.Uren ? 1 : 0;
    case Field::Starttijd:
        return *rec.Starttijd;
    case Field::Laatstekeer:
        return *rec.Laatstekeer;
    default: {
        const std::string& text = **TextSlot(rec, field);
        if (auto value = TryStrToInt(text)) return *value;
        throw KivoError("'" + text + "' is not a valid integer value");
    }
    }
}

bool TMemTable::AsBoolean(Field field) const {
    const TaskRecord& rec = Current();
    if (IsNullIn(rec, field)) return false;
    switch (field) {
    case Field::Dagen:
        return *rec.Dagen;
    case Field::Uren:
        return *rec.Uren;
    case Field::Frekwentie:
        return *rec.Frekwentie != 0;
    case Field::Starttijd:
    case Field::Laatstekeer:
        throw KivoError(TypeMismatch(field));
    default:
        return **TextSlot(rec, field) == "True";
    }
}

TDateTime TMemTable::AsDateTime(Field field) const {
    const TaskRecord& rec = Current();
    if (IsNullIn(rec, field)) return 0;
    switch (field) {
    case Field::Starttijd:
        return static_cast<double>(*rec.Starttijd) / MSecsPerDay;
    case Field::Laatstekeer:
        return *rec.Laatstekeer;
    case Field::Frekwentie:
        return *rec.Frekwentie;
    default:
        throw KivoError(TypeMismatch(field));
    }
}

void TMemTable::SetString(Field field, std::string_view text) {
    impl_->CheckOpen();
    impl_->CheckEditing();
    impl_->AssignString(impl_->buffer, field, text, std::nullopt);
    impl_->assigned = true;
}

TaskRecord TMemTable::NewTaskRecord() const {
    TaskRecord task;
    Impl::StoreTime(task, 0.5);
    Impl::StoreInteger(task, Field::Frekwentie, 1);
    task.Dagen = true;
    task.Uren = false;
    return task;
}

void TMemTable::AssignString(TaskRecord& task, Field field, std::string_view text,
                             int currentYear) const {
    impl_->AssignString(task, field, text, currentYear);
}

void TMemTable::AssignDateTime(TaskRecord& task, Field field, TDateTime value) const {
    Impl::AssignDateTime(task, field, value);
}

int TMemTable::CurrentYear() const {
    return impl_->clock.Now().date.year;
}

void TMemTable::AppendFilled(TaskRecord task) {
    impl_->CheckOpen();
    if (impl_->pending == Pending::None && !OnBeforePost && !impl_->sorted) {
        // Nothing to settle, no hook to run and no sorted place to find: the task simply goes
        // last, as Store would put it.
        impl_->rows.push_back(Row{impl_->nextId, std::move(task)});
        ++impl_->nextId;
        impl_->cursor = static_cast<int>(impl_->rows.size()) - 1;
        impl_->atEnd = false;
        return;
    }
    SettlePending();
    impl_->pending = Pending::Insert;
    impl_->buffer = std::move(task);
    impl_->assigned = true;
    PostTask();
}

void TMemTable::ReserveTasks(int more) {
    if (more > 0) impl_->rows.reserve(impl_->rows.size() + static_cast<std::size_t>(more));
}

void TMemTable::SetInteger(Field field, std::int64_t value) {
    impl_->CheckOpen();
    impl_->CheckEditing();
    switch (field) {
    case Field::Frekwentie:
        impl_->StoreInteger(impl_->buffer, field, value);
        break;
    case Field::Starttijd:
        impl_->StoreTime(impl_->buffer, static_cast<double>(value));
        break;
    case Field::Laatstekeer:
        impl_->StoreDate(impl_->buffer, static_cast<double>(value));
        break;
    case Field::Dagen:
    case Field::Uren:
        *BoolSlot(impl_->buffer, field) = value != 0;
        break;
    default:
        impl_->StoreText(impl_->buffer, field, std::to_string(value));
        break;
    }
    impl_->assigned = true;
}

void TMemTable::SetBoolean(Field field, bool value) {
    impl_->CheckOpen();
    impl_->CheckEditing();
    switch (field) {
    case Field::Dagen:
    case Field::Uren:
        *BoolSlot(impl_->buffer, field) = value;
        break;
    case Field::Frekwentie:
        impl_->StoreInteger(impl_->buffer, field, value ? 1 : 0);
        break;
    case Field::Starttijd:
    case Field::Laatstekeer:
        throw KivoError(TypeMismatch(field));
    default:
        impl_->StoreText(impl_->buffer, field, value ? "True" : "False");
        break;
    }
    impl_->assigned = true;
}

void TMemTable::SetDateTime(Field field, TDateTime value) {
    impl_->CheckOpen();
    impl_->CheckEditing();
    Impl::AssignDateTime(impl_->buffer, field, value);
    impl_->assigned = true;
}

void TMemTable::Clear(Field field) {
    impl_->CheckOpen();
    impl_->CheckEditing();
    TaskRecord& rec = impl_->buffer;
    switch (field) {
    case Field::Starttijd:
        rec.Starttijd.reset();
        break;
    case Field::Frekwentie:
        rec.Frekwentie.reset();
        break;
    case Field::Laatstekeer:
        rec.Laatstekeer.reset();
        break;
    case Field::Dagen:
    case Field::Uren:
        BoolSlot(rec, field)->reset();
        break;
    default:
        TextSlot(rec, field)->reset();
        break;
    }
    impl_->assigned = true;
}

} // namespace kivo
