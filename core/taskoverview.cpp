#include "core/taskoverview.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>

#include "scheduler/duerule.h"
#include "scheduler/history.h"
#include "scheduler/nextrun.h"
#include "scheduler/scheduler.h"
#include "scheduler/taskruns.h"

namespace kivo {

namespace {

constexpr std::int64_t Unknown = std::numeric_limits<std::int64_t>::max();
// After every code: an unreadable one, then the kinds without a code.
constexpr std::int64_t CodeUnknown = std::int64_t{1} << 32, Running = CodeUnknown + 1,
                       Missed = CodeUnknown + 2, NotStarted = CodeUnknown + 3;

std::string Duration(std::int64_t ms) {
    const long long s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

} // namespace

std::vector<OverviewRow> BuildOverviewRows(const TMemTable& table, const Scheduler& scheduler,
                                           const TaskHistory& history, const TaskRuns* runs,
                                           WallMs now, const FormatSettings& settings) {
    std::vector<OverviewRow> rows;
    if (!table.IsOpen()) return rows;
    const int n = table.TaskCount();
    rows.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const TaskRecord& record = table.TaskAt(i);
        OverviewRow row;
        row.id = table.IdAt(i);
        row.place = i;
        row.next = row.last = row.result = row.duration = Unknown;
        row.cells[ColTaak] = record.Omschrijving.value_or("");
        const std::optional<WallMs> next = scheduler.NextStart(i, now);
        if (next) {
            row.next = *next;
            row.cells[ColVolgende] = *next < now ? "nu" : WallText(*next, settings);
        }
        auto result = [&](std::int64_t key, std::string text) {
            row.result = key;
            row.cells[ColResultaat] = std::move(text);
        };
        const bool running = runs && runs->IsRunning(row.id);
        const TaskHistoryEntry* e = history.Find(record);
        if (e && e->started) {
            row.last = *e->started;
            row.cells[ColLaatste] = WallText(*e->started, settings);
        }
        if (e && e->ended && !running) {
            row.duration = e->durationMs;
            row.cells[ColDuur] = Duration(e->durationMs);
        }
        // The latest news first: a run still going, a miss since the run, then how it went.
        if (running)
            result(Running, "draait");
        else if (e && e->missed)
            result(Missed, "gemist");
        else if (e && e->notStarted)
            result(NotStarted, "niet gestart");
        else if (e && e->ended && e->code)
            result(*e->code, "code " + std::to_string(*e->code));
        else if (e && e->ended)
            result(CodeUnknown, "code onbekend");
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> OverviewOrder(const std::vector<OverviewRow>& rows, int column, bool descending) {
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    auto key = [column](const OverviewRow& r) {
        switch (column) {
        case ColVolgende:
            return r.next;
        case ColLaatste:
            return r.last;
        case ColResultaat:
            return r.result;
        case ColDuur:
            return r.duration;
        default:
            return std::int64_t{r.place};
        }
    };
    // Empty cells stay last either way; the table's order breaks ties.
    auto less = [&](int a, int b) {
        const OverviewRow &x = rows[a], &y = rows[b];
        const std::int64_t p = key(x), q = key(y);
        if ((p == Unknown) != (q == Unknown)) return q == Unknown;
        if (p != q) return descending ? q < p : p < q;
        return x.place < y.place;
    };
    std::sort(order.begin(), order.end(), less);
    return order;
}

std::string OverviewText(const std::vector<OverviewRow>& rows, const std::vector<int>& order) {
    std::string text;
    for (int i : order) {
        const OverviewRow& row = rows[static_cast<std::size_t>(i)];
        for (int c = 0; c < OverviewColumns; ++c) {
            if (c > 0) text += '\t';
            text += row.cells[c];
        }
        text += "\r\n";
    }
    return text;
}

} // namespace kivo
