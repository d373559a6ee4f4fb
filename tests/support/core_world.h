#pragma once
// The running program (core/program.h) over the given files, a test clock and the recording
// shell, viewed as the main window views it: reports and status texts are collected, boxes are
// answered at once, and the edit panel's commit hook is there, doing nothing as the panel does
// when nothing is typed.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/program.h"
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
    // maxWaiting: the lines that wait while the log refuses writes.
    explicit CoreWorld(FileSystem& fs, std::string appDir, std::string fixedImport = "",
                       Shell* realShell = nullptr, ProcessWatch* watch = nullptr,
                       std::size_t maxWaiting = LogOutbox::DefaultMaxWaiting)
        : files(fs), dir(std::move(appDir)), clock(2024, 3, 7, 9, 0),
          starting(realShell ? *realShell : shell), starter(starting),
          table("memKivoKlok", settings, UserCollator(), clock), format(settings),
          program(
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
                  .maxWaitingLines = maxWaiting,
              },
              ProgramView{
                  .status = [this](int panel, const std::string& text) { status[panel] = text; },
                  .attention = {},
                  .history = [this] { ++writes; },
                  .tasksChanged = {},
                  .showReport = [this](ReportQueue::Kind, const std::string& m,
                                       std::function<void()>) { reports.push_back(m); },
                  .postReports = {},
                  .postTick = {},
                  .ask = {}, // each test answers for itself (manual.OnAsk)
                  .commitTyped = [this] { ++commits; },
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
    int writes = 0;  // writes that carried lines into the log
    Program program;
    CoreServices& core = program.core;

    LogBook& log = core.log;
    LogOutbox& outbox = core.outbox;
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
