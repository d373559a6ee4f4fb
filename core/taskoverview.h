#pragma once
// The rows of the task overview ("Taakoverzicht"): per task its next run, its latest run and
// what came of it, as text, with what they sort by.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/formatsettings.h"
#include "scheduler/missed.h"
#include "store/memtable.h"

namespace kivo {

class Scheduler;
class TaskHistory;
class TaskRuns;

enum OverviewColumn { ColTaak, ColVolgende, ColLaatste, ColResultaat, ColDuur, OverviewColumns };

struct OverviewRow {
    TaskId id = 0;
    // Taak, Volgende keer (dd-mm-yy hh:nn, or nu while a window is open that the next check
    // starts it in), Laatste keer (dd-mm-yy hh:nn), Resultaat (code <n>, draait, niet gestart,
    // gemist), Duur (h:mm:ss): empty where nothing is known.
    std::array<std::string, OverviewColumns> cells;
    int place = 0; // in the table's description order
    // What the columns sort by; an empty cell sorts after every value. A result sorts by its
    // code's number, then the kinds without one.
    std::int64_t next = 0, last = 0, result = 0, duration = 0;
};

// One row per stored task, in the table's order; the table's cursor is not moved. The next run
// is the scheduler's; `runs` says which runs still go (null: none).
std::vector<OverviewRow> BuildOverviewRows(const TMemTable& table, const Scheduler& scheduler,
                                           const TaskHistory& history, const TaskRuns* runs,
                                           WallMs now, const FormatSettings& settings);

// The rows' order by a column, reversed when descending; equal cells keep description order.
std::vector<int> OverviewOrder(const std::vector<OverviewRow>& rows, int column, bool descending);

// The rows in this order as tab-separated text, one line each, ended by CR LF.
std::string OverviewText(const std::vector<OverviewRow>& rows, const std::vector<int>& order);

} // namespace kivo
