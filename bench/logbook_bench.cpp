// The cost of one log entry on a log of about 1 MB, against the least any rewrite costs: one
// read and one replace of the same file.
#include <benchmark/benchmark.h>

#include <string>

#include "logbook/logbook.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

using namespace kivo;

std::string MegabyteLog() {
    std::string content;
    const LogTask task{"Dagelijkse backup", "C:\\Backup", "backup.exe"};
    const FormatSettings settings;
    for (int i = 0; content.size() < (1 << 20); ++i) {
        const LocalDateTime when{CivilFromDayNumber(DayNumber({2024, 1, 1}) + i / 200),
                                 {i % 24, i % 60, 0, 0}};
        content += FormatLogEntry(i % 3 == 0 ? LogAutomatic : LogNote, "Instelling opslaan", &task,
                                  when, settings);
        content += "\r\n";
    }
    return content;
}

void BM_WriteLog(benchmark::State& state) {
    test::TempDir dir;
    dir.Write("kivoklok.log", MegabyteLog());
    const FormatSettings settings;
    LogBook log(SystemFileSystem(), SystemClock(), settings, dir.Dir());
    for (auto _ : state) log.WriteLog(LogNote, "Instelling opslaan");
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_WriteLog)->Unit(benchmark::kMillisecond);

void BM_RawReadAndReplace(benchmark::State& state) {
    test::TempDir dir;
    dir.Write("kivoklok.log", MegabyteLog());
    FileSystem& files = SystemFileSystem();
    const std::string path = dir.File("kivoklok.log");
    for (auto _ : state) {
        std::string content = files.ReadAll(path);
        files.ReplaceAll(path, content);
        benchmark::DoNotOptimize(content);
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(BM_RawReadAndReplace)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
