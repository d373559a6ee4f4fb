// The minute tick as the program runs it, through the program's own composition with the edit
// panel's hook attached, over 10,000 tasks on disk with a log of 10 MB.
// Held to:
//   BM_TickNothingDue <= 1.5x BM_PlainLoopNothingDue, a loop over a vector of the same fields
//   that makes the same decisions without the table.
//   BM_TickStarts100 (100 of the tasks due: a log line and a start each, then the save) is shown
//   against BM_SaveTasks alone (startup_bench) and BM_WriteLog (logbook_bench).
#include <benchmark/benchmark.h>

#include <optional>
#include <string>
#include <vector>

#include "algemeen/text.h"
#include "bench_world.h"
#include "scheduler/duerule.h"

namespace {

using namespace kivo;
using namespace kivo::bench;

constexpr int TaskTotal = 10'000;

struct TickBench {
    explicit TickBench(int due) : specs(Tasks(TaskTotal, 0, due)) {
        d.dir.Write("kivoklok.csv", TaskFileOf(specs));
        d.dir.Write("kivoklok.log", LogOf(10u << 20));
        d.w->startUp.Run();
    }
    std::vector<test::TaskSpec> specs;
    DiskWorld d;
};

void BM_TickNothingDue(benchmark::State& state) {
    TickBench b(0);
    b.d.w->scheduler.Timer1Timer(); // the hourly catch-up settles
    for (auto _ : state) b.d.w->scheduler.Timer1Timer();
    if (!b.d.w->shell.calls.empty()) state.SkipWithError("something was due");
}
BENCHMARK(BM_TickNothingDue)->Unit(benchmark::kMillisecond);

void BM_TickStarts100(benchmark::State& state) {
    TickBench b(100);
    test::CoreWorld& w = *b.d.w;
    std::size_t started = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Those started in the round before are due again.
        for (int i = 0; i < 100; ++i) {
            w.Find(b.specs[static_cast<std::size_t>(i)].omschrijving);
            w.table.EditCurrent();
            w.table.SetDateTime(Field::Laatstekeer, w.Today() - 1);
            w.table.PostTask();
        }
        started = w.shell.calls.size();
        state.ResumeTiming();
        w.scheduler.Timer1Timer();
    }
    if (w.shell.calls.size() - started != 100) state.SkipWithError("not 100 started");
}
BENCHMARK(BM_TickStarts100)->Unit(benchmark::kMillisecond);

struct PlainTask {
    std::string omschrijving, werkdirectory, programma, parameters;
    std::int32_t starttijd = 0;
    std::int16_t frekwentie = 0;
    bool uren = false;
    std::optional<std::int32_t> laatstekeer = {};
};

// The tick's decisions and writes, on a vector.
void PlainTick(std::vector<PlainTask>& tasks, Shell& shell, std::int32_t now, std::int32_t today,
               const FormatSettings& settings) {
    for (PlainTask& t : tasks) {
        DueTask task{t.starttijd, t.frekwentie, t.uren, t.laatstekeer};
        const DueDecision d = DecideDue(task, now, today);
        t.starttijd = d.starttijd;
        if (d.start) {
            RunProgram(shell, nullptr, t.programma, t.parameters, t.werkdirectory, SwShowNormal);
            t.laatstekeer = today;
            if (t.uren) t.starttijd = d.next;
        }
    }
    benchmark::DoNotOptimize(FormatTime(tasks.front().starttijd / double(MSecsPerDay), settings));
}

void BM_PlainLoopNothingDue(benchmark::State& state) {
    const FormatSettings settings;
    std::vector<PlainTask> tasks;
    for (const test::TaskSpec& spec : Tasks(TaskTotal)) {
        PlainTask t{spec.omschrijving, spec.werkdirectory, spec.programma, spec.parameters};
        t.starttijd =
            static_cast<std::int32_t>(ToMilliseconds(StrToTime(spec.starttijd, settings)));
        t.frekwentie = static_cast<std::int16_t>(spec.frekwentie);
        t.uren = spec.uren;
        t.laatstekeer = spec.laatstekeer;
        tasks.push_back(std::move(t));
    }
    test::FakeShell shell;
    const std::int32_t now = 9 * 3'600'000, today = DayNumber({Year, Month, Day});
    PlainTick(tasks, shell, now, today, settings);
    for (auto _ : state) PlainTick(tasks, shell, now, today, settings);
    if (!shell.calls.empty()) state.SkipWithError("something was due");
}
BENCHMARK(BM_PlainLoopNothingDue)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
