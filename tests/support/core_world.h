#pragma once
// The program's own composition of the core services (core/coreservices.h) over the given files,
// a test clock and the recording shell, with the hooks attached as the main window attaches
// them: reports and status texts are collected, and the edit panel's commit hook is there,
// doing nothing as the panel does when nothing is typed.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/coreservices.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "platform/formatsettings.h"
#include "store/memtable.h"
#include "support/fake_clock.h"
#include "support/fake_shell.h"
#include "support/fake_timer.h"
#include "support/mem_files.h"
#include "support/task_builder.h"

namespace kivo::test {

struct CoreWorld {
    // fixedImport: where the import file is looked for first (default: a name in appDir, so
    // that no test reads the real c:\kivoklok.tkn). realShell: the shell to start through
    // instead of the recording fake. watch: the process watch the program would hand over.
    explicit CoreWorld(FileSystem& fs, std::string appDir, std::string fixedImport = "",
                       Shell* realShell = nullptr, ProcessWatch* watch = nullptr)
        : files(fs), dir(std::move(appDir)), clock(2024, 3, 7, 9, 0),
          starting(realShell ? *realShell : shell), starter(starting),
          table("memKivoKlok", settings, UserCollator(), clock), format(settings),
          core(
              CoreParts{
                  .table = table,
                  .format = format,
                  .files = files,
                  .clock = clock,
                  .shell = starting,
                  .timer1 = timer1,
                  .controleTimer = controle,
                  .opstartTimer = opstart,
                  .processStarter = starter,
                  .processWatch = watch,
                  .firstImportLocation =
                      fixedImport.empty() ? dir + "fixed-kivoklok.tkn" : fixedImport,
                  .hooks = {
                      .report = [this](const std::string& m) { reports.push_back(m); },
                      .errorDisplay = [this](const std::string& m) { reports.push_back(m); },
                      .statusText = [this](int panel,
                                           const std::string& text) { status[panel] = text; },
                      .ask = {}, // each test answers for itself (manual.OnAsk)
                      .attentionChanged = {},
                      .commitTyped = [this] { ++commits; },
                  },
              },
              settings, dir) {
        timer1.enabled = true;
    }
    CoreWorld(const CoreWorld&) = delete;
    CoreWorld& operator=(const CoreWorld&) = delete;

    // Stored as the edit panel stores a task.
    void Add(const TaskSpec& t) { AddTask(table, t); }
    // Makes the task with this description current.
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
    int Starts(const std::string& program) const {
        int n = 0;
        for (const auto& c : shell.calls) n += c.file == program;
        return n;
    }

    FileSystem& files;
    std::string dir;
    FormatSettings settings;
    FakeClock clock;
    FakeShell shell;
    Shell& starting;
    FakeTimer timer1, controle, opstart{true};
    TProcessStarter starter;
    TMemTable table;
    TCSVStreamFormat format;
    std::vector<std::string> reports;
    std::map<int, std::string> status;
    int commits = 0; // calls of the edit panel's hook
    CoreServices core;

    LogBook& log = core.log;
    TaskFile& taskFile = core.taskFile;
    TaskImporter& importer = core.importer;
    Scheduler& scheduler = core.scheduler;
    ManualRun& manual = core.manualRun;
    TaskRuns& runs = core.runs;
    Attention& attention = core.attention;
    StartUp& startUp = core.startUp;
};

// The text of a task file holding the given tasks in this order, as the program writes it: the
// tasks stored in the composition's table, written by its own format.
inline std::string TaskFileText(const std::vector<TaskSpec>& tasks, const Collator&,
                                const Clock& clock) {
    MemFiles files;
    CoreWorld w(files, "C:\\TaskFileText\\");
    const LocalDateTime now = clock.Now();
    w.clock.Set(now.date.year, now.date.month, now.date.day, now.time.hour, now.time.minute);
    w.table.OpenTable();
    for (const TaskSpec& t : tasks) w.Add(t);
    return WriteTable(w.format, w.table);
}

} // namespace kivo::test
