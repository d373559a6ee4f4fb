#include "store/memtable.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "platform/collation.h"

// The table's order and its finding by description: the sort, the sorted place of a store, and
// the index a bulk change finds through.

namespace kivo {

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

} // namespace kivo
