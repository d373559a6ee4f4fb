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

TDateTime FromMilliseconds(std::int32_t ms) {
    return static_cast<double>(ms) / MSecsPerDay;
}

} // namespace

Scheduler::Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogBook& log,
                     Shell& shell, const Clock& clock, const FormatSettings& settings,
                     TimerControl& timer1, TimerControl& controleTimer)
    : table_(table), importer_(importer), taskFile_(taskFile), log_(log), shell_(shell),
      clock_(clock), settings_(settings), timer1_(timer1), controleTimer_(controleTimer),
      purgedDay_(DayNumber(clock.Now().date)) {}

void Scheduler::Timer1Timer() {
    try {
        Tick();
    } catch (const std::exception& e) {
        // Timer1 stays stopped; a failure of this note itself goes on to the caller.
        log_.WriteLog(LogNote, std::string("Timer1Timer:") + e.what());
        if (OnReport) OnReport(e.what());
    }
}

void Scheduler::Tick() {
    timer1_.SetEnabled(false);
    const std::int32_t day = DayNumber(clock_.Now().date);
    if (day != purgedDay_) {
        purgedDay_ = day; // a purge that fails is not tried again every minute
        log_.PurgeLog();
    }
    importer_.ImportTasks();
    // The time first, then the date.
    const std::int32_t now = MillisecondsOfDay(clock_.Now().time);
    const std::int32_t today = DayNumber(clock_.Now().date);
    bool started = false;

    if (table_.TaskCount() > 0) {
        table_.GotoFirst();
        while (!table_.AtEnd()) {
            DueTask task = DueTask::From(table_.Current());
            const std::optional<TaskId> id = table_.CurrentId();
            if (auto it = id ? honoured_.find(*id) : honoured_.end(); it != honoured_.end()) {
                if (it->second == today)
                    task.startTimeFromUser = true;
                else
                    honoured_.erase(it);
            }
            const DueDecision decision = DecideDue(task, now, today);
            if (decision.start && id) honoured_.erase(*id);
            // A task that stays as it is is not put into edit: storing it unchanged would
            // change nothing, and skipping that keeps a tick over many tasks cheap.
            if (decision.start || decision.starttijd != task.starttijd) {
                table_.EditCurrent();
                if (decision.starttijd != task.starttijd)
                    table_.SetDateTime(Field::Starttijd, FromMilliseconds(decision.starttijd));
                if (decision.start) {
                    StartCurrentTask();
                    table_.SetDateTime(Field::Laatstekeer, today);
                    if (task.uren)
                        table_.SetDateTime(Field::Starttijd, FromMilliseconds(decision.next));
                    started = true;
                }
                table_.PostTask();
            }
            table_.GotoNext();
        }
        if (started) taskFile_.SaveTasks();
    }

    table_.GotoFirst();
    Status(2, "Starttijd " + table_.AsString(Field::Starttijd));
    Status(0, "Laatste controle " + FormatTime(TimeOf(clock_.Now()), settings_));
    timer1_.SetEnabled(true);
}

void Scheduler::StartCurrentTask() {
    const LogTask task{table_.AsString(Field::Omschrijving), table_.AsString(Field::Werkdirectory),
                       table_.AsString(Field::Programma)};
    log_.WriteLog(LogAutomatic, "", &task);
    const ShellResult result =
        RunProgram(shell_, MainWindow, task.programma, table_.AsString(Field::Parameters),
                   task.werkdirectory, SwShowNormal);
    // The task counts as started all the same; the note says why nothing ran.
    if (!result.Started()) log_.WriteLog(LogNote, NotStartedNote(task.omschrijving, result.reason));
}

void Scheduler::HonourStartTime(std::uint64_t taskId) {
    honoured_[taskId] = DayNumber(clock_.Now().date);
}

void Scheduler::SuspendScheduling() {
    if (controleTimer_.Enabled()) controleTimerWasRunning_ = true;
    controleTimer_.SetEnabled(false);
    timer1_.SetEnabled(false);
}

void Scheduler::ResumeScheduling() {
    if (controleTimerWasRunning_ && !controleTimer_.Enabled()) controleTimer_.SetEnabled(true);
    if (!timer1_.Enabled()) timer1_.SetEnabled(true);
}

void Scheduler::Status(int panel, const std::string& text) {
    if (OnStatusText) OnStatusText(panel, text);
}

} // namespace kivo
