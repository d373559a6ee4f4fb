#include "core/coreservices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "support/core_world.h"
#include "support/log_text.h"

namespace kivo {
namespace {

using test::CoreWorld;
using test::MemFiles;
using test::TaskSpec;

// The start-up as the program runs it, the edit panel's hook attached, over a large task file
// that is not in order: every task loads, whole, in description order, and nothing else is said.
TEST(CoreServices, StartUpLoadsALargeFileWhole) {
    constexpr int Count = 20'000;
    const std::int32_t today = DayNumber({2024, 3, 7}); // the world's: nothing was missed
    std::vector<TaskSpec> specs;
    for (int i = 0; i < Count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Taak %05d; \"%d\" 5%%", (i * 7919) % Count, i);
        specs.push_back({.omschrijving = name,
                         .starttijd = i % 3 ? "23:59" : "00:00",
                         .frekwentie = i % 99 + 1,
                         .uren = i % 4 == 0,
                         .laatstekeer = i % 4 && i % 5 ? std::optional(today) : std::nullopt,
                         .programma = "C:\\Tools\\prog" + std::to_string(i) + ".exe",
                         .parameters = i % 2 ? "/alles\r\n/stil" : "",
                         .werkdirectory = "C:\\Werk\\" + std::to_string(i),
                         .dagen = i % 4 != 0});
    }
    MemFiles files;
    CoreWorld w(files, "C:\\App\\");
    files.files[w.taskFile.Path()] = test::TaskFileText(specs, UserCollator(), w.clock);
    ASSERT_TRUE(w.startUp.Run());

    EXPECT_EQ(w.reports, std::vector<std::string>{});
    ASSERT_EQ(w.table.TaskCount(), Count);
    std::sort(specs.begin(), specs.end(), [](const TaskSpec& a, const TaskSpec& b) {
        return a.omschrijving < b.omschrijving; // "Taak nnnnn": byte order is the user's order
    });
    EXPECT_EQ(WriteTable(w.format, w.table), test::TaskFileText(specs, UserCollator(), w.clock));
    EXPECT_EQ(test::LogBodies(w.Log()),
              (std::vector<std::string>{"Lees taken", "KIVO Schakelklok gestart"}));
}

} // namespace
} // namespace kivo
