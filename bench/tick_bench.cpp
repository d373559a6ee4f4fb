// One minute tick over 10,000 tasks, against a plain loop over a vector of the same fields that
// makes the same decisions without the table. Compare BM_Tick* with BM_PlainLoop* of the same
// kind: NothingDue is the common tick; AllDue adds a log line and a start per task and the save.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "algemeen/text.h"
#include "scheduler/duerule.h"
#include "scheduler/scheduler_fakes.h"

namespace {

using namespace kivo;

constexpr int TaskCount = 10'000;
const std::string AppDir = "C:\\Bench\\";

// Files in memory; the log is thrown away, so that a tick that logs 10,000 starts measures the
// tick and not the copying of an ever longer log.
class BenchFiles : public test::MemFiles {
public:
    void ReplaceAll(const std::string& path, const std::string& content) override {
        if (path == AppDir + "kivoklok.log") return;
        MemFiles::ReplaceAll(path, content);
    }
};

class CountingShell : public test::FakeShell {
public:
    ShellResult Execute(WindowHandle, const std::string& file, const std::string&,
                        const std::string&, int) override {
        ++started;
        ShellResult result;
        result.instance = file.empty() ? 2 : 42;
        return result;
    }
    long started = 0;
};

std::string Time(int minuteOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minuteOfDay / 60 % 24, minuteOfDay % 60);
    return text;
}

// Daily tasks spread over the day, every fourth one hourly; none of them due at 03:00 when
// allDue is false, every one of them due then (daily at 02:50, not run yet) when it is true.
test::TaskSpec Spec(int i, bool allDue) {
    char name[32];
    std::snprintf(name, sizeof name, "Taak %05d", (i * 7919) % TaskCount);
    test::TaskSpec spec{.omschrijving = name,
                        .programma = std::string("prog") + std::to_string(i % 97) + ".exe",
                        .parameters = "-p",
                        .werkdirectory = "C:\\Werk\\" + std::to_string(i % 13)};
    if (allDue) {
        spec.starttijd = "02:50";
        return spec;
    }
    if (i % 4 == 0) {
        spec.uren = true;
        spec.frekwentie = 2;
        spec.starttijd = Time(90 + (i % 60)); // slots at odd hours and half past or later
    } else {
        spec.starttijd = Time(200 + i % 1200); // 03:20 and later
        spec.laatstekeer = 45000;
    }
    return spec;
}

struct Bench {
    explicit Bench(bool allDue) : w(files, AppDir, "", &shell) {
        w.clock.Set(2024, 3, 7, 3, 0, 0, 0);
        for (int i = 0; i < TaskCount; ++i) w.Add(Spec(i, allDue));
        w.taskFile.SaveTasks();
    }
    BenchFiles files;
    CountingShell shell;
    test::World w;
};

struct PlainTask {
    std::string omschrijving, werkdirectory, programma, parameters;
    std::int32_t starttijd = 0;
    std::int16_t frekwentie = 0;
    bool dagen = true, uren = false;
    std::optional<std::int32_t> laatstekeer = {};
};

std::vector<PlainTask> PlainTasks(bool allDue) {
    FormatSettings settings;
    std::vector<PlainTask> tasks;
    for (int i = 0; i < TaskCount; ++i) {
        const test::TaskSpec spec = Spec(i, allDue);
        PlainTask t{spec.omschrijving, spec.werkdirectory, spec.programma, spec.parameters};
        t.starttijd =
            static_cast<std::int32_t>(ToMilliseconds(StrToTime(spec.starttijd, settings)));
        t.frekwentie = static_cast<std::int16_t>(spec.frekwentie);
        t.uren = spec.uren;
        t.laatstekeer = spec.laatstekeer;
        tasks.push_back(std::move(t));
    }
    return tasks;
}

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

const std::int32_t Now = 3 * 3'600'000;
const std::int32_t Today = DayNumber({2024, 3, 7});

void BM_TickNothingDue(benchmark::State& state) {
    Bench b(false);
    b.w.scheduler.Timer1Timer(); // the hourly catch-up settles
    for (auto _ : state) b.w.scheduler.Timer1Timer();
    if (b.shell.started != 0) state.SkipWithError("something was due");
}

void BM_PlainLoopNothingDue(benchmark::State& state) {
    auto tasks = PlainTasks(false);
    CountingShell shell;
    FormatSettings settings;
    PlainTick(tasks, shell, Now, Today, settings);
    for (auto _ : state) PlainTick(tasks, shell, Now, Today, settings);
    if (shell.started != 0) state.SkipWithError("something was due");
}

void BM_TickAllDue(benchmark::State& state) {
    Bench b(true);
    for (auto _ : state) {
        state.PauseTiming();
        for (b.w.table.GotoFirst(); !b.w.table.AtEnd(); b.w.table.GotoNext()) {
            b.w.table.EditCurrent();
            b.w.table.Clear(Field::Laatstekeer);
            b.w.table.PostTask();
        }
        state.ResumeTiming();
        b.w.scheduler.Timer1Timer();
    }
    if (b.shell.started != TaskCount * static_cast<long>(state.iterations()))
        state.SkipWithError("not all were due");
}

void BM_PlainLoopAllDue(benchmark::State& state) {
    auto tasks = PlainTasks(true);
    CountingShell shell;
    FormatSettings settings;
    for (auto _ : state) {
        state.PauseTiming();
        for (auto& t : tasks) t.laatstekeer.reset();
        state.ResumeTiming();
        PlainTick(tasks, shell, Now, Today, settings);
    }
    if (shell.started != TaskCount * static_cast<long>(state.iterations()))
        state.SkipWithError("not all were due");
}

// The part of an all-due tick that is the save: sort and write 10,000 tasks.
void BM_SaveTasks(benchmark::State& state) {
    Bench b(true);
    for (auto _ : state) b.w.taskFile.SaveTasks();
}

// The part of an all-due tick that is the log: one "(automatisch)" line per task.
void BM_LogLines(benchmark::State& state) {
    Bench b(false);
    const LogTask task{"Taak 00001", "C:\\Werk\\1", "prog1.exe"};
    for (auto _ : state)
        for (int i = 0; i < TaskCount; ++i) b.w.log.WriteLog(LogAutomatic, "", &task);
}

BENCHMARK(BM_TickNothingDue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoopNothingDue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TickAllDue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLoopAllDue)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTasks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
