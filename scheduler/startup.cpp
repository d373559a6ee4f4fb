#include "scheduler/startup.h"

#include <exception>

#include "logbook/outbox.h"
#include "platform/files.h"
#include "scheduler/scheduler.h"
#include "store/import.h"
#include "store/memtable.h"
#include "store/taskfile.h"

namespace kivo {

StartUp::StartUp(FileSystem& files, LogOutbox& log, TaskFile& taskFile, TaskImporter& importer,
                 TMemTable& table, Scheduler& scheduler)
    : files_(files), log_(log), taskFile_(taskFile), importer_(importer), table_(table),
      scheduler_(scheduler) {}

bool StartUp::Step(const std::function<void()>& step) {
    if (Stopped && Stopped()) return false;
    try {
        step();
    } catch (const std::exception& e) {
        if (OnError) OnError(e.what());
    }
    return true;
}

bool StartUp::Run() {
    // Before anything is written: a temporary file of a rewrite that was cut short is no one's.
    // What cannot be removed now is tried at the next start.
    RemoveInterruptedRewrites(files_, taskFile_.Path());
    RemoveInterruptedRewrites(files_, log_.Log().Path());
    const LogOutbox::Batch batch(log_);
    log_.ReadLost();
    std::optional<std::vector<std::string>> lines;
    auto read = [&] {
        std::exception_ptr failed;
        try {
            lines = log_.Log().PurgeLogLines();
        } catch (const std::exception&) {
            failed = std::current_exception();
            // A log that can be read but not rewritten still tells the earlier notes.
            try {
                lines = log_.Log().Lines();
            } catch (const std::exception&) {
            }
        }
        if (lines && OnLogRead) OnLogRead(*lines);
        if (failed) std::rethrow_exception(failed);
    };
    return Step(read) && Step([&] { taskFile_.LoadTasks(); }) && Step([&] {
               if (table_.IsOpen()) importer_.ImportTasks();
           }) &&
           Step([&] {
               LogEntry started;
               started.kind = LogStarted;
               // An unreadable log: a note may come twice, none is lost.
               scheduler_.NoteMissedAtStartUp(lines.value_or(std::vector<std::string>()),
                                              {started});
           });
}

} // namespace kivo
