// The start-up as the program runs it (Program::StartUp: purge, load, import, start line, missed
// notes in one write), through the program's own composition with the edit panel's hook
// attached, over 10,000 tasks and a log of 10 MB on disk; and its load and save against plain
// file operations. Held to:
//   BM_StartUpMissed (1,000 of the tasks missed this morning's window) <= 2x BM_StartUp;
//   BM_StartUpMissed50k (50,000 tasks, all missed) writes every note: shown, not held to a figure.
//   BM_LoadTasks (10,000 tasks, its log note included) <= 10x BM_PlainRead of the task file.
//   BM_SaveTasks is shown against BM_PlainReplace, the flushed atomic replace of the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "bench_world.h"

namespace {

using namespace kivo;
using namespace kivo::bench;

constexpr int TaskTotal = 10'000;
constexpr std::size_t LogBytes = 10u << 20;

// Each round is a new run of the program over the files as they were before the first.
void RunStartUps(benchmark::State& state, int missed, int total = TaskTotal) {
    DiskWorld d;
    const std::string tasks = TaskFileOf(Tasks(total, missed));
    const std::string log = LogOf(LogBytes);
    for (auto _ : state) {
        state.PauseTiming();
        d.dir.Write("kivoklok.csv", tasks);
        d.dir.Write("kivoklok.log", log);
        d.Rebuild();
        state.ResumeTiming();
        d.w->program.StartUp();
    }
    if (d.w->table.TaskCount() != total || !d.w->reports.empty())
        state.SkipWithError("the start-up did not load every task");
    const std::vector<std::string> lines = d.w->log.Lines();
    const int notes = static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const auto& l) {
        return l.find(" gemist (gepland ") != std::string::npos;
    }));
    state.counters["missed notes"] = notes;
    if (notes != missed) state.SkipWithError("a missed window without its note");
}

void BM_StartUp(benchmark::State& state) {
    RunStartUps(state, 0);
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

void BM_StartUpMissed(benchmark::State& state) {
    RunStartUps(state, 1'000);
}
BENCHMARK(BM_StartUpMissed)->Unit(benchmark::kMillisecond);

void BM_StartUpMissed50k(benchmark::State& state) {
    RunStartUps(state, 50'000, 50'000);
}
BENCHMARK(BM_StartUpMissed50k)->Unit(benchmark::kMillisecond);

// The load as the start-up runs it, the log as the program left it.
void BM_LoadTasks(benchmark::State& state) {
    DiskWorld d;
    const std::string tasks = TaskFileOf(Tasks(TaskTotal));
    d.dir.Write("kivoklok.csv", tasks);
    d.dir.Write("kivoklok.log", LogOf(LogBytes));
    d.w->log.PurgeLog();
    for (auto _ : state) d.w->taskFile.LoadTasks();
    if (d.w->table.TaskCount() != TaskTotal) state.SkipWithError("load failed");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(tasks.size()));
}
BENCHMARK(BM_LoadTasks)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State& state) {
    test::TempDir dir;
    const std::string tasks = TaskFileOf(Tasks(TaskTotal));
    dir.Write("kivoklok.csv", tasks);
    for (auto _ : state)
        benchmark::DoNotOptimize(SystemFileSystem().ReadAll(dir.File("kivoklok.csv")));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(tasks.size()));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

// The save after a tick or an edit: note, sort, flushed atomic replace.
void BM_SaveTasks(benchmark::State& state) {
    DiskWorld d;
    d.dir.Write("kivoklok.csv", TaskFileOf(Tasks(TaskTotal)));
    d.dir.Write("kivoklok.log", LogOf(LogBytes));
    d.w->program.StartUp();
    for (auto _ : state) d.w->taskFile.SaveTasks();
    if (!d.w->reports.empty()) state.SkipWithError("the save failed");
}
BENCHMARK(BM_SaveTasks)->Unit(benchmark::kMillisecond);

void BM_PlainReplace(benchmark::State& state) {
    test::TempDir dir;
    const std::string tasks = TaskFileOf(Tasks(TaskTotal));
    for (auto _ : state) SystemFileSystem().ReplaceAll(dir.File("kivoklok.csv"), tasks);
}
BENCHMARK(BM_PlainReplace)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
