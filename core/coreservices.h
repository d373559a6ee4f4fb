#pragma once
// The one wiring of the portable services: log book and its outbox, task file, import, minute
// tick, runs and manual run, made once AppDir is known. The running program (core/program.h)
// builds them, with the hooks it gives them.
#include <functional>
#include <string>

#include "algemeen/report.h"
#include "logbook/logbook.h"
#include "logbook/outbox.h"
#include "platform/formatsettings.h"
#include "scheduler/history.h"
#include "scheduler/launch.h"
#include "scheduler/scheduler.h"
#include "scheduler/startup.h"
#include "scheduler/taskruns.h"
#include "store/import.h"
#include "store/taskfile.h"

namespace kivo {

class Clock;
class FileSystem;
class Shell;
class TimerControl;
class ProcessWatch;

// What the windows attach to the services, named once. Each may stay unassigned: skipped.
struct CoreHooks {
    ReportFn report = {};       // the plain message box
    ReportFn errorDisplay = {}; // the top-level error display; also a log that refuses writes
    std::function<void(int panel, const std::string& text)> statusText = {}; // the status bar
    AskFn ask = {}; // the question dialog; only Yes (6) counts
    // The tray's count of what was not looked at: tasks with a failure, counted per write.
    std::function<void()> attentionChanged = {};
    // The edit panel: typed text reaches the pending task before any store or settle of the
    // table, also the load's and the import's.
    std::function<void()> commitTyped = {};
    // A write carried lines (a start, an end, a note) into the log and the task history: the
    // overview and the failure balloon follow it.
    std::function<void()> historyChanged = {};
};

// What the services use of the outside world and of the window; the window passes its own.
struct CoreParts {
    TMemTable& table;
    TCSVStreamFormat& format;
    FileSystem& files;
    Clock& clock;
    Shell& shell;
    TimerControl& timer1;
    TimerControl& controleTimer;
    TimerControl& opstartTimer;
    TProcessStarter& processStarter;
    ProcessWatch* processWatch = nullptr; // outlives the services
    WindowHandle mainWindow = nullptr;
    // Where the import file is looked for first; empty: TaskImporter::FixedLocation.
    std::string firstImportLocation = {};
    // Lines that wait while the log refuses writes; beyond it the oldest go, with a line that says
    // so.
    std::size_t maxWaitingLines = LogOutbox::DefaultMaxWaiting;
};

struct CoreServices {
    CoreServices(const CoreParts& parts, const CoreHooks& hooks, const FormatSettings& settings,
                 const std::string& appDir);
    // The table may outlive the services: the commit hook goes with them.
    ~CoreServices();
    CoreServices(const CoreServices&) = delete;
    CoreServices& operator=(const CoreServices&) = delete;

    TMemTable& table;
    TCSVStreamFormat& format;
    LogBook log;
    // Every line goes through it; what follows the log (history, tray, balloon) follows its writes.
    LogOutbox outbox;
    Attention attention;
    TaskRuns runs;
    TaskFile taskFile;
    TaskImporter importer;
    Scheduler scheduler;
    ManualRun manualRun;
    StartUp startUp;
    // What happened to each task, seeded from the log and kept up with every line written; the
    // failures among those lines wait in `notices` for the tray's balloon.
    TaskHistory history;
    FailureNotices notices;

private:
    ProcessWatch* processWatch_; // its callback reaches the services: cleared when they go
};

} // namespace kivo
