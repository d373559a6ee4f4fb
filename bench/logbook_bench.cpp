// One log line through the program's own composition (the outbox, and what follows its writes)
// on logs of 1, 10 and 100 MB on disk, the
// log as the program left it, against a plain append of the same line with the same flush (the
// file seam's own append: written at the end, not flushed, as the log book's lines are). And the
// full rewrite (read, normalise, flushed replace) that a log changed by another program costs.
// Held to: BM_WriteLog/10 <= 2x BM_PlainAppend/10.
#include <benchmark/benchmark.h>

#include <fstream>

#include "bench_world.h"

namespace {

using namespace kivo;
using namespace kivo::bench;

constexpr std::int64_t MB = 1 << 20;

void BM_WriteLog(benchmark::State& state) {
    DiskWorld d;
    d.dir.Write("kivoklok.log", LogOf(static_cast<std::size_t>(state.range(0) * MB)));
    d.w->log.PurgeLog(); // as at start-up: from here on the program knows the file
    for (auto _ : state) d.w->outbox.Note("Instelling opslaan");
    if (d.w->outbox.Waiting() > 0) state.SkipWithError("a line was not written");
}
BENCHMARK(BM_WriteLog)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_PlainAppend(benchmark::State& state) {
    test::TempDir dir;
    dir.Write("kivoklok.log", LogOf(static_cast<std::size_t>(state.range(0) * MB)));
    const std::string line = "[07-03-24] [09:00] Instelling opslaan\r\n";
    for (auto _ : state) SystemFileSystem().Append(dir.File("kivoklok.log"), line);
}
BENCHMARK(BM_PlainAppend)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// Another program added a line before each of ours: the whole file is read and rewritten.
void BM_WriteLogAfterAnotherWriter(benchmark::State& state) {
    DiskWorld d;
    d.dir.Write("kivoklok.log", LogOf(static_cast<std::size_t>(state.range(0) * MB)));
    for (auto _ : state) {
        state.PauseTiming();
        std::ofstream(d.dir.File("kivoklok.log"), std::ios::binary | std::ios::app) << "ander\r\n";
        state.ResumeTiming();
        d.w->outbox.Note("Instelling opslaan");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * MB);
}
BENCHMARK(BM_WriteLogAfterAnotherWriter)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
