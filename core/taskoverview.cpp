#include "core/taskoverview.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <numeric>

#include "algemeen/datetime.h"
#include "scheduler/duerule.h"
#include "scheduler/history.h"
#include "scheduler/nextrun.h"
#include "scheduler/taskruns.h"

namespace kivo {

namespace {

constexpr std::int64_t Unknown = std::numeric_limits<std::int64_t>::max();

std::string Duration(std::int64_t ms) {
    const long long s = ms / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

} // namespace

std::vector<OverviewRow> BuildOverviewRows(const TMemTable& table, const TaskHistory& history,
                                           const TaskRuns* runs, WallMs now,
                                           const FormatSettings& settings) {
    std::vector<OverviewRow> rows;
    if (!table.IsOpen()) return rows;
    const int n = table.TaskCount();
    rows.reserve(static_cast<std::size_t>(n));
    const auto today = static_cast<std::int32_t>(now / MSecsPerDay);
    const auto nowMs = static_cast<std::int32_t>(now - WallMs{today} * MSecsPerDay);
    for (int i = 0; i < n; ++i) {
        const TaskRecord& record = table.TaskAt(i);
        OverviewRow row;
        row.id = table.IdAt(i);
        row.place = i;
        row.next = row.last = row.duration = Unknown;
        const std::string name = record.Omschrijving.value_or("");
        row.cells[ColTaak] = name;
        if (auto next = NextRun(DueTask::From(record), nowMs, today)) {
            row.next = *next;
            row.cells[ColVolgende] = WallText(*next, settings);
        }
        const bool running = runs && runs->IsRunning(row.id);
        if (const TaskHistoryEntry* e = history.Find(name)) {
            if (e->started) {
                row.last = *e->started;
                row.cells[ColLaatste] = WallText(*e->started, settings);
            }
            if (e->ended && !running) {
                row.duration = e->durationMs;
                row.cells[ColDuur] = Duration(e->durationMs);
            }
            // The latest news first: a miss since the run, then how the run went.
            if (running)
                row.cells[ColResultaat] = "draait";
            else if (e->missed)
                row.cells[ColResultaat] = "gemist";
            else if (e->notStarted)
                row.cells[ColResultaat] = "niet gestart";
            else if (e->ended)
                row.cells[ColResultaat] =
                    "code " + (e->code ? std::to_string(*e->code) : std::string("onbekend"));
        } else if (running) {
            row.cells[ColResultaat] = "draait";
        }
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
        case ColDuur:
            return r.duration;
        default:
            return std::int64_t{r.place};
        }
    };
    // Empty cells stay last either way; the table's order breaks ties.
    auto less = [&](int a, int b) {
        const OverviewRow &x = rows[a], &y = rows[b];
        if (column == ColResultaat) {
            const std::string &p = x.cells[ColResultaat], &q = y.cells[ColResultaat];
            if (p.empty() != q.empty()) return q.empty();
            if (p != q) return descending ? q < p : p < q;
        } else {
            const std::int64_t p = key(x), q = key(y);
            if ((p == Unknown) != (q == Unknown)) return q == Unknown;
            if (p != q) return descending ? q < p : p < q;
        }
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
