#include "core/program.h"

#include <exception>
#include <memory>
#include <utility>

#include "algemeen/scopeexit.h"
#include "platform/timercontrol.h"
#include "store/memtable.h"

namespace kivo {

namespace {

CoreHooks HooksOf(Program& program, const ProgramView& view) {
    CoreHooks hooks;
    hooks.report = [&program](const std::string& m) { program.Report(ReportQueue::Plain, m); };
    hooks.errorDisplay = [&program](const std::string& m) {
        program.Report(ReportQueue::ErrorDisplay, m);
    };
    hooks.statusText = view.status;
    hooks.ask = view.ask;
    hooks.attentionChanged = view.attention;
    hooks.commitTyped = view.commitTyped;
    hooks.historyChanged = view.history;
    return hooks;
}

} // namespace

Program::Program(const CoreParts& parts, ProgramView view, const FormatSettings& settings,
                 const std::string& appDir)
    : core(parts, HooksOf(*this, view), settings, appDir), view_(std::move(view)),
      opstartTimer_(parts.opstartTimer) {
    // An exit confirmed meanwhile ends the start-up's steps.
    core.startUp.Stopped = [this] { return ending_; };
}

template <typename Work> void Program::Event(Boxes boxes, Work&& work) {
    ++deferReports_;
    const ScopeExit after([&] {
        --deferReports_;
        AfterEvent(boxes);
    });
    const LogOutbox::Batch batch(core.outbox); // its lines in one write, at its end
    work();
}

// The list, the tray and the boxes that waited. A box after a check is shown from the message
// loop: inside the timer's handler it would hold up the ticks.
// A check's boxes come from the message loop also inside another event's question.
void Program::AfterEvent(Boxes boxes) {
    if (view_.tasksChanged) view_.tasksChanged();
    if (view_.attention) view_.attention();
    if (!reports_.Waiting()) return;
    if (boxes == Boxes::AfterIt && view_.postReports) {
        if (!reportsPosted_) reportsPosted_ = view_.postReports();
        if (reportsPosted_) return;
    }
    if (deferReports_ == 0) ShowReports();
}

void Program::StartUp() {
    core.table.CloseTable(); // no import, tick or save before the user's tasks are read
    Event(Boxes::AfterIt, [this] {
        if (!core.startUp.Run() || ending_) return;
        try {
            opstartTimer_.SetEnabled(true);
        } catch (const std::exception& e) {
            Report(ReportQueue::ErrorDisplay, e.what());
        }
    });
}

void Program::RunTick() {
    if (ending_) return;
    if (ticking_) {
        tickAgain_ = true;
        return;
    }
    ticking_ = true;
    Event(Boxes::AfterIt, [this] {
        const ScopeExit done([this] { ticking_ = false; });
        core.scheduler.Timer1Timer();
    });
    if (std::exchange(tickAgain_, false)) TickSoon();
}

void Program::TickSoon() {
    if (tickPosted_) return;
    if (!view_.postTick) {
        RunTick();
        return;
    }
    tickPosted_ = view_.postTick();
}

void Program::TickPosted() {
    tickPosted_ = false;
    RunTick();
}

void Program::Report(ReportQueue::Kind kind, const std::string& message) {
    if (sessionEnding_) return;
    if (!reports_.Add(kind, message)) return; // that box is open or waiting already
    if (deferReports_ == 0) ShowReports();
}

void Program::ShowReports() {
    reportsPosted_ = false;
    ReportQueue::Entry entry;
    // A box's own message loop may show the next ones; each is taken once, and counts as shown
    // until it is answered, also when a box above it is still open.
    while (reports_.Next(entry)) {
        auto released = std::make_shared<bool>(false);
        auto release = [this, entry, released] {
            if (!std::exchange(*released, true)) reports_.Done(entry);
        };
        const ScopeExit done(release);
        if (view_.showReport) view_.showReport(entry.kind, entry.message, release);
    }
}

void Program::Close() {
    ending_ = true;
    LogEntry closed;
    closed.kind = LogClosed;
    core.outbox.Post(std::move(closed));
    core.outbox.Close();
}

void Program::EndSession() {
    ending_ = sessionEnding_ = true;
    core.outbox.Close();
}

void Program::BeginEdit(bool adding) {
    addingTask_ = adding;
    startBefore_ = core.table.Current().Starttijd;
}

void Program::StoreEdit() {
    Event(Boxes::Now, [this] {
        TMemTable& table = core.table;
        if (table.AsString(Field::Omschrijving).empty() ||
            table.AsString(Field::Programma).empty()) {
            table.CancelTask();
            return;
        }
        const bool startStored = addingTask_ || table.Current().Starttijd != startBefore_;
        core.history.Renamed(table); // its history goes with a new name
        table.PostTask();
        if (auto id = table.CurrentId()) {
            if (startStored) core.scheduler.HonourStartTime(*id);
            core.scheduler.TaskChanged(*id); // its slots count from now
        }
        core.taskFile.SaveTasks();
    });
}

void Program::DeleteTask(std::optional<TaskId> named) {
    Event(Boxes::Now, [&] {
        // A tick during the question made the first task current: the task it named is found
        // again by its identity. One an import removed meanwhile is gone; nothing goes in its
        // place.
        try {
            if (named && core.table.GotoId(*named)) {
                core.outbox.Note("Taak verwijderen");
                core.table.DeleteCurrent();
            }
        } catch (const std::exception& e) {
            core.outbox.Note(std::string("VerwijderClick: ") + e.what());
            Report(ReportQueue::Plain, e.what());
        }
        core.taskFile.SaveTasks();
    });
}

void Program::RunTaskNow() {
    if (!core.table.IsOpen()) return;
    Event(Boxes::Now, [this] { core.manualRun.Taakuitvoeren1Click(); });
}

int Program::MissedToRun() {
    return core.scheduler.MissedTaskCount(true);
}

void Program::RunMissed() {
    Event(Boxes::Now, [this] { core.scheduler.RunMissed(); });
}

void Program::LogViewed() {
    core.attention.Clear();
}

} // namespace kivo
