#include "core/coreservices.h"

#include "platform/processwatch.h"
#include "store/memtable.h"

namespace kivo {

CoreServices::CoreServices(const CoreParts& parts, const CoreHooks& hooks,
                           const FormatSettings& settings, const std::string& appDir)
    : table(parts.table), format(parts.format), log(parts.files, parts.clock, settings, appDir),
      outbox(log, parts.files, parts.clock, settings, appDir, parts.maxWaitingLines),
      runs(outbox, parts.clock, settings, parts.processWatch),
      taskFile(parts.table, parts.format, parts.files, outbox, appDir),
      importer(parts.table, taskFile, outbox, parts.files, parts.clock, settings, appDir,
               parts.firstImportLocation.empty() ? TaskImporter::FixedLocation
                                                 : parts.firstImportLocation),
      scheduler(parts.table, importer, taskFile, outbox, parts.shell, parts.clock, settings,
                parts.timer1, parts.controleTimer),
      manualRun(parts.table, outbox, parts.shell, parts.processStarter),
      startUp(parts.files, outbox, taskFile, importer, parts.table, scheduler),
      history(settings, parts.clock), processWatch_(parts.processWatch) {
    table.OnBeforePost = hooks.commitTyped;
    taskFile.OnReport = hooks.report;
    importer.OnReport = hooks.report;
    importer.OpstartTimer = &parts.opstartTimer;
    scheduler.OnReport = hooks.report;
    startUp.OnError = hooks.errorDisplay;
    // A log that refuses writes is told once; its lines wait and go with the next write.
    outbox.OnRefused = hooks.errorDisplay;
    scheduler.OnStatusText = hooks.statusText;
    scheduler.MainWindow = parts.mainWindow;
    manualRun.OnAsk = hooks.ask;
    attention.OnChanged = hooks.attentionChanged;
    scheduler.Runs = &runs;
    manualRun.runs = &runs;
    // From the start-up's one read of the log; an unreadable log leaves it empty, and it fills
    // as lines are written.
    startUp.OnLogRead = [this](const std::vector<std::string>& lines) { history.Seed(lines); };
    // The tray, the overview and the balloon take what each write carried, once, by tasks.
    outbox.OnWritten = [this,
                        changed = hooks.historyChanged](const std::vector<std::string>& lines) {
        const std::vector<TaskFailure> failures = history.Follow(lines);
        notices.Add(failures);
        if (const std::size_t tasks = FailedTasks(failures)) attention.Add(static_cast<int>(tasks));
        if (changed) changed();
    };
    if (parts.processWatch)
        parts.processWatch->OnEnded = [this](std::uint64_t token,
                                             std::optional<std::uint32_t> code) {
            runs.Ended(token, code); // its note waits in the outbox while the log refuses it
        };
}

// The watch and the table outlive the services: their hooks must not reach them once gone.
CoreServices::~CoreServices() {
    if (processWatch_) processWatch_->OnEnded = nullptr;
    table.OnBeforePost = nullptr;
}

} // namespace kivo
