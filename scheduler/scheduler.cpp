#include "scheduler/scheduler.h"

#include <exception>

#include "algemeen/datetime.h"
#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/clock.h"
#include "platform/timercontrol.h"
#include "scheduler/duerule.h"
#include "scheduler/launch.h"
#include "store/import.h"
#include "store/memtable.h"
#include "store/taskfile.h"

namespace kivo {

namespace {

std::int32_t MillisecondsOfDay(const TimeOfDay& t) {
    return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.msec;
}

} // namespace

Scheduler::Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogBook& log,
                     Shell& shell, const Clock& clock, const FormatSettings& settings,
                     TimerControl& timer1, TimerControl& controleTimer)
    : table_(table), importer_(importer), taskFile_(taskFile), log_(log), shell_(shell),
      clock_(clock), settings_(settings), timer1_(timer1), controleTimer_(controleTimer),
      purgedDay_(DayNumber(clock.Now().date)) {}

void Scheduler::Timer1Timer() {
    timer1_.SetEnabled(false);
    try {
        Tick();
    } catch (const std::exception& e) {
        Failed(e);
    }
    // Whatever failed, the next tick comes a full period after this one.
    timer1_.SetEnabled(true);
}

void Scheduler::Failed(const std::exception& e) {
    try {
        log_.WriteLog(LogNote, std::string("Timer1Timer:") + e.what());
    } catch (const std::exception& again) {
        // The log itself is the trouble: its own failure is what the user sees.
        if (OnError)
            OnError(again.what());
        else if (OnReport)
            OnReport(again.what());
        return;
    }
    if (OnReport) OnReport(e.what());
}

void Scheduler::Tick() {
    const std::int32_t day = DayNumber(clock_.Now().date);
    if (day != purgedDay_) {
        purgedDay_ = day; // a purge that fails is not tried again every minute
        try {
            log_.PurgeLog();
        } catch (const std::exception& e) {
            Failed(e); // the day's tasks still run
        }
    }
    // A task file that could not be read: nothing to start until it can.
    if (!table_.IsOpen() && !taskFile_.RetryLoad()) {
        Status(2, "Starttijd ");
        Status(0, "Laatste controle " + FormatTime(TimeOf(clock_.Now()), settings_));
        return;
    }
    // An open edit is the user's: the import, which may change or remove any managed task and
    // moves the cursor, waits for its end.
    const bool editing = editOpen_ || table_.IsPending();
    if (!editing) importer_.ImportTasks();
    // The time first, then the date.
    const std::int32_t now = MillisecondsOfDay(clock_.Now().time);
    const std::int32_t today = DayNumber(clock_.Now().date);
    bool started = false;

    // By place, without the cursor: a pending change stays as it is, and its task is skipped.
    const std::optional<TaskId> edited = table_.EditedId();
    for (int i = 0; i < table_.TaskCount(); ++i) {
        const TaskId id = table_.IdAt(i);
        if (edited && id == *edited) continue;
        const TaskRecord& record = table_.TaskAt(i);
        DueTask task = DueTask::From(record);
        if (!honoured_.empty()) {
            if (auto it = honoured_.find(id); it != honoured_.end()) {
                if (it->second == today)
                    task.startTimeFromUser = true;
                else
                    honoured_.erase(it);
            }
        }
        const DueDecision decision = DecideDue(task, now, today);
        if (decision.start) {
            honoured_.erase(id);
            const TaskRecord copy = record; // the start may run messages
            StartTask(copy);
            unsavedStarts_ = true;
            started = true;
            // Found again by its identity, should the table have changed meanwhile.
            if (i >= table_.TaskCount() || table_.IdAt(i) != id) {
                i = -1;
                for (int j = 0; j < table_.TaskCount(); ++j)
                    if (table_.IdAt(j) == id) i = j;
                if (i < 0) break;
            }
            table_.SetRunFields(i, task.uren ? decision.next : decision.starttijd, today);
        } else if (decision.starttijd != task.starttijd) {
            table_.SetRunFields(i, decision.starttijd, std::nullopt);
        }
    }
    if (started || unsavedStarts_) {
        // A failed save stays outstanding: the next ticks try it again.
        taskFile_.SaveTasks();
        unsavedStarts_ = false;
    } else {
        taskFile_.RetrySave();
    }

    if (!editing) {
        table_.GotoFirst();
        Status(2, "Starttijd " + table_.AsString(Field::Starttijd));
    }
    Status(0, "Laatste controle " + FormatTime(TimeOf(clock_.Now()), settings_));
}

void Scheduler::StartTask(const TaskRecord& record) {
    const LogTask task{record.Omschrijving.value_or(""), record.Werkdirectory.value_or(""),
                       record.Programma.value_or("")};
    log_.WriteLog(LogAutomatic, "", &task);
    const ShellResult result =
        RunProgram(shell_, MainWindow, task.programma, record.Parameters.value_or(""),
                   task.werkdirectory, SwShowNormal);
    // The task counts as started all the same; the note says why nothing ran.
    if (!result.Started()) log_.WriteLog(LogNote, NotStartedNote(task.omschrijving, result.reason));
}

void Scheduler::HonourStartTime(std::uint64_t taskId) {
    honoured_[taskId] = DayNumber(clock_.Now().date);
}

// The tasks go on while the panel is open: Timer1 is not stopped, the tick leaves the edit
// alone.
void Scheduler::SuspendScheduling() {
    if (controleTimer_.Enabled()) controleTimerWasRunning_ = true;
    controleTimer_.SetEnabled(false);
    editOpen_ = true;
}

void Scheduler::ResumeScheduling() {
    editOpen_ = false;
    if (controleTimerWasRunning_ && !controleTimer_.Enabled()) controleTimer_.SetEnabled(true);
    if (!timer1_.Enabled()) timer1_.SetEnabled(true);
}

void Scheduler::Status(int panel, const std::string& text) {
    if (OnStatusText) OnStatusText(panel, text);
}

} // namespace kivo
