#pragma once
// The start-up's work once AppDir is known: clear what interrupted rewrites left, purge the log,
// load the task file, merge an import file, write the start line.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "algemeen/report.h"

namespace kivo {

class FileSystem;
class LogOutbox;
class Scheduler;
class TaskFile;
class TaskImporter;
class TMemTable;

class StartUp {
public:
    StartUp(FileSystem& files, LogOutbox& log, TaskFile& taskFile, TaskImporter& importer,
            TMemTable& table, Scheduler& scheduler);

    // Each step stands on its own: one that fails is shown (OnError) and the next still runs,
    // so a locked log does not keep the tasks from loading. The import needs the loaded table
    // and waits for the scheduler when the task file could not be read. After the start line
    // come the notes of the runs missed while the program was not running, in the same write.
    // The log is read once, by the purge: its kept lines serve the earlier notes and OnLogRead.
    // The start-up's lines go out in one write, at its end, led by what the previous close
    // could not write.
    // True when every step ran; false when Stopped ended the steps early.
    bool Run();

    // The log's lines as the start-up's one read found them (after the purge); not called when
    // the log could not be read.
    std::function<void(const std::vector<std::string>& lines)> OnLogRead;

    // The top-level error display.
    ReportFn OnError;
    // The exit was confirmed meanwhile: no further step runs.
    std::function<bool()> Stopped;

private:
    bool Step(const std::function<void()>& step);

    FileSystem& files_;
    LogOutbox& log_;
    TaskFile& taskFile_;
    TaskImporter& importer_;
    TMemTable& table_;
    Scheduler& scheduler_;
};

} // namespace kivo
