#pragma once
// The one wiring of the portable services that the main window drives: log book, task file,
// import, minute tick, runs and manual run, made once AppDir is known. The program, its tests and
// its benchmarks all build them here, with the hooks the windows attach.
#include <functional>
#include <string>

#include "algemeen/report.h"
#include "logbook/logbook.h"
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
    ReportFn errorDisplay = {}; // the top-level error display
    std::function<void(int panel, const std::string& text)> statusText = {}; // the status bar
    AskFn ask = {};                              // the question dialog; only Yes (6) counts
    std::function<void()> attentionChanged = {}; // the tray's count of what was not looked at
    // The edit panel: typed text reaches the pending task before any store or settle of the
    // table, also the load's and the import's.
    std::function<void()> commitTyped = {};
    // The task history took in new lines (a start, an end, a note): the overview and the
    // failure balloon follow it.
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
    CoreHooks hooks;
};

struct CoreServices {
    CoreServices(const CoreParts& parts, const FormatSettings& settings, const std::string& appDir);
    // The table may outlive the services: the commit hook goes with them.
    ~CoreServices();
    CoreServices(const CoreServices&) = delete;
    CoreServices& operator=(const CoreServices&) = delete;

    TMemTable& table;
    TCSVStreamFormat& format;
    LogBook log;
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
