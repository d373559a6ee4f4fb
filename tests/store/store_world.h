#pragma once
// The real store over the given files and a test clock: table, task file, log book and import,
// wired as the program wires them, with the reports collected.
#include <string>
#include <utility>
#include <vector>

#include "logbook/logbook.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "platform/formatsettings.h"
#include "store/import.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "support/fake_clock.h"
#include "support/fake_timer.h"
#include "support/task_builder.h"

namespace kivo::test {

struct StoreWorld {
    explicit StoreWorld(FileSystem& fs, std::string appDir, std::string fixedImport = "")
        : files(fs), dir(std::move(appDir)), clock(2024, 3, 7, 9, 0),
          table("memKivoKlok", settings, UserCollator(), clock), format(settings),
          log(files, clock, settings, dir), taskFile(table, format, files, log, dir),
          importer(table, taskFile, log, files, clock, settings, dir,
                   fixedImport.empty() ? dir + "fixed-kivoklok.tkn" : fixedImport) {
        importer.OpstartTimer = &opstart;
        importer.OnReport = [this](const std::string& m) { reports.push_back(m); };
        taskFile.OnReport = [this](const std::string& m) { reports.push_back(m); };
    }
    StoreWorld(const StoreWorld&) = delete;
    StoreWorld& operator=(const StoreWorld&) = delete;

    void Add(const TaskSpec& t) { AddTask(table, t); }
    // Makes the task with this description current; fails the test's assumption otherwise.
    bool Find(const std::string& omschrijving) { return table.LocateDescription(omschrijving); }
    std::string Get(const std::string& omschrijving, kivo::Field field) {
        return Find(omschrijving) ? table.AsString(field) : "<missing>";
    }
    std::string Log() const { return files.Exists(log.Path()) ? files.ReadAll(log.Path()) : ""; }
    void At(int hour, int minute, int second = 0, int msec = 0) {
        auto d = clock.Now().date;
        clock.Set(d.year, d.month, d.day, hour, minute, second, msec);
    }
    std::int32_t Today() const { return DayNumber(clock.Now().date); }

    FileSystem& files;
    std::string dir;
    FormatSettings settings;
    FakeClock clock;
    FakeTimer opstart{true};
    TMemTable table;
    TCSVStreamFormat format;
    LogBook log;
    TaskFile taskFile;
    TaskImporter importer;
    std::vector<std::string> reports;
};

} // namespace kivo::test
