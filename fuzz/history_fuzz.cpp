// The task history over arbitrary log lines: no crash, no hang, and what it keeps is about the
// descriptions the lines name; the overview's rows of a task it names stay whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "logbook/logbook.h"
#include "scheduler/history.h"
#include "support/fake_clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kivo;
    const FormatSettings settings;
    const test::FakeClock clock{2024, 3, 7};
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const auto lines = SplitLogLines(content);
    TaskHistory history(settings, clock);
    history.Seed(lines);
    const std::size_t seeded = history.Size();
    const auto failures = history.Follow(lines);
    // Following the same lines again names no new task, and each failure names one it keeps.
    if (history.Size() != seeded || failures.size() > lines.size()) std::abort();
    for (const TaskFailure& f : failures) {
        if (!history.Find(f.omschrijving)) std::abort();
        FailureNotices notices;
        notices.Add({f});
        if (!notices.Due(0)) std::abort();
    }
    return 0;
}
