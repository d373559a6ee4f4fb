#pragma once
// What the benchmarks share: the program's own composition over the system's files in a fresh
// folder (tests/support/core_world.h, the edit panel's hook attached), and the task files and
// logs of the sizes they are held to.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/core_world.h"
#include "support/temp_dir.h"

namespace kivo::bench {

// 7 March 2024, 09:00: the benchmarks' "now".
constexpr int Year = 2024, Month = 3, Day = 7;

inline std::string Hhmm(int minuteOfDay) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minuteOfDay / 60 % 24, minuteOfDay % 60);
    return text;
}

// Daily tasks that ran today and are due later today, every fourth one hourly with slots that
// lie in no window at 09:00; the first `missed` of them ran yesterday and had their window at
// 07:00 this morning, the next `due` ran yesterday and are due at 08:50.
inline std::vector<test::TaskSpec> Tasks(int count, int missed = 0, int due = 0) {
    const std::int32_t today = DayNumber({Year, Month, Day});
    std::vector<test::TaskSpec> specs;
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Taak %05d", (i * 7919) % count); // scattered
        test::TaskSpec spec{.omschrijving = name,
                            .laatstekeer = today,
                            .programma = "prog" + std::to_string(i % 97) + ".exe",
                            .parameters = i % 2 ? "/alles /stil" : "",
                            .werkdirectory = "C:\\Werk\\" + std::to_string(i % 13)};
        if (i < missed) {
            spec.starttijd = "07:00";
            spec.laatstekeer = today - 1;
        } else if (i < missed + due) {
            spec.starttijd = "08:50";
            spec.laatstekeer = today - 1;
        } else if (i % 4 == 0) {
            spec.uren = true;
            spec.dagen = false;
            spec.laatstekeer.reset(); // nothing to miss before its first tick
            spec.frekwentie = 2;
            spec.starttijd = Hhmm(90 + i % 60); // odd hours, half past or later
        } else {
            spec.starttijd = Hhmm(560 + i % 800); // 09:20 and later
        }
        specs.push_back(std::move(spec));
    }
    return specs;
}

// The task file of these tasks as the program saves it (sorted).
inline std::string TaskFileOf(const std::vector<test::TaskSpec>& specs) {
    test::MemFiles files;
    test::CoreWorld w(files, "C:\\Bench\\");
    for (const test::TaskSpec& spec : specs) w.Add(spec);
    w.taskFile.SaveTasks();
    return files.files[w.taskFile.Path()];
}

// A log of about `bytes`, of the last 60 days, so that the purge keeps it all: the log of a
// program that ran for weeks.
inline std::string LogOf(std::size_t bytes) {
    const FormatSettings settings;
    const LogTask task{"Dagelijkse backup", "C:\\Backup", "backup.exe"};
    const std::int32_t first = DayNumber({Year, Month, Day}) - 60;
    std::string content;
    content.reserve(bytes + 256);
    const std::size_t perDay = bytes / 60 / 80 + 1;
    for (std::size_t i = 0; content.size() < bytes; ++i) {
        const LocalDateTime when{CivilFromDayNumber(first + static_cast<std::int32_t>(i / perDay)),
                                 {static_cast<int>(i % 24), static_cast<int>(i % 60), 0, 0}};
        content += FormatLogEntry(i % 3 ? LogAutomatic : LogNote, "Instelling opslaan", &task, when,
                                  settings);
        content += "\r\n";
    }
    return content;
}

// The composition over the system's files in a fresh folder, at 09:00 on the benchmarks' day.
struct DiskWorld {
    test::TempDir dir;
    std::unique_ptr<test::CoreWorld> w;
    DiskWorld() { Rebuild(); }
    // A new run of the program over the same folder.
    void Rebuild() {
        w.reset();
        w = std::make_unique<test::CoreWorld>(SystemFileSystem(), dir.Dir());
        w->clock.Set(Year, Month, Day, 9, 0);
    }
};

} // namespace kivo::bench
