#include "core/coreservices.h"

#include <exception>

#include "platform/processwatch.h"

namespace kivo {

CoreServices::CoreServices(const CoreParts& parts, const FormatSettings& settings,
                           const std::string& appDir)
    : log(parts.files, parts.clock, settings, appDir),
      runs(log, parts.clock, settings, parts.processWatch),
      taskFile(parts.table, parts.format, parts.files, log, appDir),
      importer(parts.table, taskFile, log, parts.files, parts.clock, settings, appDir),
      scheduler(parts.table, importer, taskFile, log, parts.shell, parts.clock, settings,
                parts.timer1, parts.controleTimer),
      manualRun(parts.table, log, parts.shell, parts.processStarter),
      startUp(parts.files, log, taskFile, importer, parts.table, scheduler),
      history(settings, parts.clock), processWatch_(parts.processWatch) {
    taskFile.OnReport = parts.report;
    importer.OnReport = parts.report;
    importer.OpstartTimer = &parts.opstartTimer;
    scheduler.OnReport = parts.report;
    scheduler.OnError = parts.errorDisplay;
    startUp.OnError = parts.errorDisplay;
    scheduler.OnStatusText = parts.statusText;
    scheduler.MainWindow = parts.mainWindow;
    manualRun.OnAsk = parts.ask;
    runs.attention = &attention;
    scheduler.Runs = &runs;
    scheduler.attention = &attention;
    manualRun.runs = &runs;
    // From the start-up's one read of the log; an unreadable log leaves it empty, and it fills
    // as lines are written.
    startUp.OnLogRead = [this](const std::vector<std::string>& lines) { history.Seed(lines); };
    log.OnWritten = [this](const std::vector<std::string>& lines) {
        notices.Add(history.Follow(lines));
        if (OnHistory) OnHistory();
    };
    if (parts.processWatch) {
        // An end whose note cannot be written is shown like any failure, once.
        parts.processWatch->OnEnded = [this, report = parts.errorDisplay](
                                          std::uint64_t token, std::optional<std::uint32_t> code) {
            try {
                runs.Ended(token, code);
            } catch (const std::exception& e) {
                if (report) report(e.what());
            }
        };
    }
}

// The watch outlives the services: its callback must not reach them once they are gone.
CoreServices::~CoreServices() {
    if (processWatch_) processWatch_->OnEnded = nullptr;
}

} // namespace kivo
