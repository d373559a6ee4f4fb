#pragma once
// The wiring of the portable services that the main window drives: log book, task file, import,
// minute tick and manual run, made once AppDir is known and connected to the window's parts.
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
    // The plain message box, the error display, the status bar and the question dialog.
    ReportFn report;
    ReportFn errorDisplay;
    std::function<void(int panel, const std::string& text)> statusText;
    AskFn ask;
};

struct CoreServices {
    CoreServices(const CoreParts& parts, const FormatSettings& settings, const std::string& appDir);
    ~CoreServices();
    CoreServices(const CoreServices&) = delete;
    CoreServices& operator=(const CoreServices&) = delete;

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
    // After the history took in new lines (a start, an end, a note). Unassigned: skipped.
    std::function<void()> OnHistory;

private:
    ProcessWatch* processWatch_; // its callback reaches the services: cleared when they go
};

} // namespace kivo
