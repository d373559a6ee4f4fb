// Loading and saving a task file of 10,000 tasks, against a plain read and a plain atomic
// rewrite of the same bytes. The log note of each load and save is taken away between rounds so
// that the log does not grow (it stays one line, as after a purge). That note is itself an atomic
// rewrite of a small file, flushed to disk: it is measured alone as well, and the load without it,
// so that the parsing can be held against the plain read.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace {

using namespace kivo;

constexpr int TaskTotal = 10'000;

struct Fixture {
    FormatSettings settings;
    test::FakeClock clock{2024, 6, 15};
    TMemTable table{"memKivoKlok", settings, UserCollator(), clock};
    TCSVStreamFormat format{settings};
    test::TempDir dir;
    test::TempDir logDir;
    LogBook log{SystemFileSystem(), clock, settings, logDir.Dir()};
    TaskFile file{table, format, SystemFileSystem(), log, dir.Dir()};
    std::string content;

    explicit Fixture(bool sortedFile = true) {
        for (int i = 0; i < TaskTotal; ++i) {
            table.AppendTask();
            // Scattered, so that loading really sorts.
            int key = (i * 7919) % TaskTotal;
            table.SetString(Field::Omschrijving, "Taak " + std::to_string(key) + " \"nacht\" 5%");
            table.SetString(Field::Werkdirectory, "C:\\Data\\Project " + std::to_string(i));
            table.SetString(Field::Programma, "C:\\Tools\\backup.exe");
            if (i % 2) table.SetString(Field::Parameters, "/alles /stil");
            table.SetDateTime(Field::Starttijd, (i % 1440) / 1440.0);
            table.SetInteger(Field::Frekwentie, i % 99 + 1);
            table.SetDateTime(Field::Laatstekeer, DayNumber({2024, 1, 1}) + i % 300);
            table.PostTask();
        }
        // As the program writes it: sorted. A hand-made file need not be.
        if (sortedFile) table.SortByDescription();
        content = WriteTable(format, table);
        dir.Write("kivoklok.csv", content);
    }
    void DropLog(benchmark::State& state) {
        state.PauseTiming();
        std::filesystem::remove(log.Path());
        state.ResumeTiming();
    }
};

void BM_LoadTasks(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.file.LoadTasks();
        f.DropLog(state);
    }
    if (f.table.TaskCount() != TaskTotal) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_LoadTasks)->Unit(benchmark::kMillisecond);

void BM_LoadTasksUnsortedFile(benchmark::State& state) {
    Fixture f(false);
    for (auto _ : state) {
        f.file.LoadTasks();
        f.DropLog(state);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_LoadTasksUnsortedFile)->Unit(benchmark::kMillisecond);

// As at start-up: a new table (no room kept from an earlier load), with the edit panel's hook
// set before the load (argument 1) or not (0).
void BM_LoadTasksIntoNewTable(benchmark::State& state) {
    Fixture f;
    std::optional<TMemTable> table;
    for (auto _ : state) {
        state.PauseTiming();
        table.reset();
        table.emplace("memKivoKlok", f.settings, UserCollator(), f.clock);
        if (state.range(0)) table->OnBeforePost = [] {};
        TaskFile file{*table, f.format, SystemFileSystem(), f.log, f.dir.Dir()};
        state.ResumeTiming();
        file.LoadTasks();
        f.DropLog(state);
    }
    if (table->TaskCount() != TaskTotal) state.SkipWithError("load failed");
}
BENCHMARK(BM_LoadTasksIntoNewTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What LoadTasks does apart from its log note: read the file, fill the table, sort it.
void BM_LoadTasksWithoutNote(benchmark::State& state) {
    Fixture f;
    const std::string path = f.file.Path();
    for (auto _ : state) {
        f.table.CloseTable();
        f.table.ClearTable();
        f.table.OpenTable();
        f.table.AppendFilled(
            f.format.Read(SystemFileSystem().ReadAll(path), f.table.CurrentYear()).tasks);
        f.table.SortByDescription();
    }
    if (f.table.TaskCount() != TaskTotal) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_LoadTasksWithoutNote)->Unit(benchmark::kMillisecond);

// The same into an empty table, as at start-up: the tasks of the round before are dropped
// outside the timing.
void BM_LoadTasksIntoEmptyTable(benchmark::State& state) {
    Fixture f;
    const std::string path = f.file.Path();
    for (auto _ : state) {
        state.PauseTiming();
        f.table.CloseTable();
        f.table.ClearTable();
        f.table.OpenTable();
        state.ResumeTiming();
        f.table.AppendFilled(
            f.format.Read(SystemFileSystem().ReadAll(path), f.table.CurrentYear()).tasks);
        f.table.SortByDescription();
    }
    if (f.table.TaskCount() != TaskTotal) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_LoadTasksIntoEmptyTable)->Unit(benchmark::kMillisecond);

// What no reader can save: the 10,000 tasks copied, their texts with them, into an empty table
// and the check that they are in order.
void BM_CopyTasksIntoEmptyTable(benchmark::State& state) {
    Fixture f;
    std::vector<TaskRecord> tasks;
    for (int i = 0; i < f.table.TaskCount(); ++i) tasks.push_back(f.table.TaskAt(i));
    for (auto _ : state) {
        state.PauseTiming();
        f.table.CloseTable();
        f.table.ClearTable();
        f.table.OpenTable();
        state.ResumeTiming();
        f.table.AppendFilled(tasks);
        f.table.SortByDescription();
    }
}
BENCHMARK(BM_CopyTasksIntoEmptyTable)->Unit(benchmark::kMillisecond);

// The log note alone, into a log of no lines.
void BM_LogNote(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.log.WriteLog(LogNote, "Lees taken");
        f.DropLog(state);
    }
}
BENCHMARK(BM_LogNote)->Unit(benchmark::kMillisecond);

void BM_RawRead(benchmark::State& state) {
    Fixture f;
    const std::string path = f.file.Path();
    for (auto _ : state) {
        std::string content = SystemFileSystem().ReadAll(path);
        benchmark::DoNotOptimize(content);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);

void BM_SaveTasks(benchmark::State& state) {
    Fixture f;
    f.file.LoadTasks();
    for (auto _ : state) {
        f.file.SaveTasks();
        f.DropLog(state);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_SaveTasks)->Unit(benchmark::kMillisecond);

void BM_RawReplace(benchmark::State& state) {
    Fixture f;
    const std::string path = f.file.Path();
    for (auto _ : state) SystemFileSystem().ReplaceAll(path, f.content);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.content.size()));
}
BENCHMARK(BM_RawReplace)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
