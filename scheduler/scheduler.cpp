#include "scheduler/scheduler.h"

#include <algorithm>
#include <exception>

#include "algemeen/datetime.h"
#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/clock.h"
#include "platform/timercontrol.h"
#include "scheduler/duerule.h"
#include "scheduler/launch.h"
#include "scheduler/taskruns.h"
#include "store/import.h"
#include "store/memtable.h"
#include "store/taskfile.h"

namespace kivo {

Scheduler::Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogBook& log,
                     Shell& shell, const Clock& clock, const FormatSettings& settings,
                     TimerControl& timer1, TimerControl& controleTimer)
    : table_(table), importer_(importer), taskFile_(taskFile), log_(log), shell_(shell),
      clock_(clock), settings_(settings), timer1_(timer1), controleTimer_(controleTimer),
      purgedDay_(DayNumber(clock.Now().date)), lastReading_(clock.Read()) {}

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
    // What the clocks did since the last tick: a sleep, summer time, a correction.
    const ClockReading reading = clock_.Read();
    const ClockStep step = CompareReadings(lastReading_, reading);
    lastReading_ = reading;
    const WallMs wall = WallOf(reading.local);
    const std::int32_t day = DayNumber(reading.local.date);
    if (step.Correction())
        log_.WriteLog(LogNote, ClockMovedNote(wall - step.correctionMs, wall, settings_));
    if (day != purgedDay_) {
        purgedDay_ = day; // a purge that fails is not tried again every minute
        try {
            log_.PurgeLog();
        } catch (const std::exception& e) {
            Failed(e); // the day's tasks still run
        }
    }
    // A task file that could not be read: nothing to start until it can.
    if (!table_.IsOpen()) {
        if (!taskFile_.RetryLoad()) {
            Status(2, "Starttijd ");
            Status(0, "Laatste controle " + FormatTime(TimeOf(reading.local), settings_));
            return;
        }
        NoteMissedFromFields(wall);
    }
    // An open edit is the user's: the import, which may change or remove any managed task and
    // moves the cursor, waits for its end.
    const bool editing = editOpen_ || table_.IsPending();
    if (!editing) importer_.ImportTasks();
    // The time after the import, as the tasks are judged by it.
    const LocalDateTime at = clock_.Read().local;
    const WallMs judgedAt = WallOf(at);
    const std::int32_t today = DayNumber(at.date);
    const std::int32_t now = static_cast<std::int32_t>(judgedAt - WallMs(today) * MSecsPerDay);
    bool started = false;

    // By place, without the cursor: a pending change stays as it is, and its task is skipped.
    const std::optional<TaskId> edited = table_.EditedId();
    // The moment each task was last judged: the last tick's for most of them.
    auto judgedBefore = [&](TaskId id) -> std::optional<WallMs> {
        if (!own_.empty())
            if (auto it = own_.find(id); it != own_.end()) return it->second;
        return judgedAll_;
    };
    // Asked once for the tasks the last tick judged: a minute later no window fits in between.
    const bool gapSinceLastTick = judgedAll_ && WindowsMayHavePassed(*judgedAll_, judgedAt);
    const bool checkGaps = gapSinceLastTick || !own_.empty();
    int reached = 0; // tasks before this place have been judged now
    try {
        for (int i = 0, n = table_.TaskCount(); i < n; reached = ++i) {
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
            // A clock that was ahead for a while left a last run in the future: it is taken as
            // today, so it holds the task back for its interval, not until that date.
            if (task.laatstekeer && *task.laatstekeer > today) {
                if (futureNoted_.insert(id).second)
                    log_.WriteLog(LogNote, FutureLastRunNote(record.Omschrijving.value_or(""),
                                                             *task.laatstekeer, settings_));
                task.laatstekeer = today;
                table_.SetRunFields(i, std::nullopt, today);
            }
            // Windows that passed since the last tick that judged this task.
            std::optional<WallMs> skipped;
            const std::optional<WallMs> judged = checkGaps ? judgedBefore(id) : std::nullopt;
            if (judged && (judged == judgedAll_ ? gapSinceLastTick
                                                : WindowsMayHavePassed(*judged, judgedAt))) {
                if (auto slot = LatestMissedSlot(task, *judged, judgedAt)) {
                    if (step.SprangForward()) {
                        skipped = slot; // summer time skipped its window: it starts now, once
                    } else {
                        NoteMissed(id, record.Omschrijving.value_or(""), *slot);
                    }
                }
            }
            DueDecision decision = DecideDue(task, now, today);
            if (skipped && !decision.start) {
                decision.start = true;
                WallMs next = *skipped;
                const std::int64_t hours = task.frekwentie > 0 ? task.frekwentie : 1;
                while (next < judgedAt) next += hours * HourMs;
                decision.next = static_cast<std::int32_t>(next % MSecsPerDay);
            }
            if (decision.start) {
                honoured_.erase(id);
                const TaskRecord copy = record; // the start may run messages
                StartTask(id, copy);
                unsavedStarts_ = true;
                started = true;
                // Found again by its identity, should the table have changed meanwhile.
                n = table_.TaskCount();
                const std::optional<int> place = table_.PlaceOf(id, i);
                if (!place) break;
                i = *place;
                table_.SetRunFields(i, task.uren ? std::optional(decision.next) : std::nullopt,
                                    today);
            } else if (decision.starttijd != task.starttijd) {
                table_.SetRunFields(i, decision.starttijd, std::nullopt);
            }
        }
    } catch (...) {
        // Those judged before the failure are judged; the rest wait for the next tick.
        for (int j = 0; j < reached && j < table_.TaskCount(); ++j) {
            const TaskId id = table_.IdAt(j);
            if (!(edited && id == *edited))
                own_[id] = std::max(judgedBefore(id).value_or(judgedAt), judgedAt);
        }
        throw;
    }
    // Every task judged now but the one in the panel, which keeps its own moment. A clock set
    // back keeps the later moment, so no slot is judged twice.
    std::map<TaskId, WallMs> keep;
    if (edited)
        if (auto was = judgedBefore(*edited)) keep[*edited] = *was;
    own_ = std::move(keep);
    judgedAll_ = std::max(judgedAll_.value_or(judgedAt), judgedAt);
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

void Scheduler::NoteMissed(TaskId id, const std::string& omschrijving, WallMs slot) {
    missedTasks_.insert(id);
    if (!noted_.insert({id, slot}).second) return;
    if (earlierNotes_.count({omschrijving, WallText(slot, settings_)})) return;
    if (attention) attention->Add();
    log_.WriteLog(LogNote, MissedNote(omschrijving, slot, settings_));
}

void Scheduler::NoteMissedAtStartUp() {
    const ClockReading reading = clock_.Read();
    lastReading_ = reading;
    try {
        for (const std::string& line : log_.Lines())
            if (auto note = ParseMissedNote(line)) earlierNotes_.insert(*note);
    } catch (const std::exception&) {
        // An unreadable log: a note may come twice, none is lost.
    }
    if (table_.IsOpen()) NoteMissedFromFields(WallOf(reading.local));
}

// From the fields alone: since its last run (Laatstekeer), a task was due at its slots; the
// latest whose window is over was missed. A window still open is the next tick's.
void Scheduler::NoteMissedFromFields(WallMs now) {
    const std::int32_t today = static_cast<std::int32_t>(now / MSecsPerDay);
    for (int i = 0; i < table_.TaskCount(); ++i) {
        const TaskRecord& record = table_.TaskAt(i);
        const TaskId id = table_.IdAt(i);
        DueTask task = DueTask::From(record);
        if (task.laatstekeer) {
            task.laatstekeer = std::min(*task.laatstekeer, today);
            if (auto slot = LatestMissedSlot(task, WallMs(*task.laatstekeer) * MSecsPerDay, now))
                NoteMissed(id, record.Omschrijving.value_or(""), *slot);
        }
    }
    judgedAll_ = now - DueWindowMs;
    own_.clear();
}

void Scheduler::TaskChanged(TaskId id) {
    own_[id] = WallOf(clock_.Read().local);
}

void Scheduler::StartTask(TaskId id, const TaskRecord& record) {
    const LogTask task{record.Omschrijving.value_or(""), record.Werkdirectory.value_or(""),
                       record.Programma.value_or("")};
    if (Runs) Runs->BeforeStart(id, task.omschrijving);
    log_.WriteLog(LogAutomatic, "", &task);
    ProcessHandle process = nullptr;
    const ShellResult result =
        RunProgram(shell_, MainWindow, task.programma, record.Parameters.value_or(""),
                   task.werkdirectory, SwShowNormal, &process);
    missedTasks_.erase(id); // made up, or run again in its own window
    if (Runs)
        Runs->Started(id, task.omschrijving, process, shell_);
    else if (process)
        shell_.CloseProcess(process);
    // The task counts as started all the same; the note says why nothing ran.
    if (!result.Started()) {
        if (attention) attention->Add();
        log_.WriteLog(LogNote, NotStartedNote(task.omschrijving, result.reason));
    }
}

int Scheduler::MissedTaskCount() {
    int count = 0;
    std::set<TaskId> present;
    for (int i = 0, n = table_.IsOpen() ? table_.TaskCount() : 0; i < n; ++i) {
        const TaskId id = table_.IdAt(i);
        if (missedTasks_.count(id)) {
            present.insert(id);
            ++count;
        }
    }
    missedTasks_ = std::move(present); // deleted tasks leave
    return count;
}

int Scheduler::RunMissed() {
    if (!table_.IsOpen()) return 0;
    const LocalDateTime at = clock_.Read().local;
    const std::int32_t today = DayNumber(at.date);
    const std::int32_t now = static_cast<std::int32_t>(WallOf(at) - WallMs(today) * MSecsPerDay);
    const std::optional<TaskId> edited = table_.EditedId();
    int started = 0;
    for (int i = 0, n = table_.TaskCount(); i < n; ++i) {
        const TaskId id = table_.IdAt(i);
        if (!missedTasks_.count(id) || (edited && id == *edited)) continue;
        const TaskRecord record = table_.TaskAt(i);
        DueTask task = DueTask::From(record);
        if (task.laatstekeer) task.laatstekeer = std::min(*task.laatstekeer, today);
        // An hourly task goes on at its first slot from now on.
        std::optional<std::int32_t> next;
        if (task.uren) {
            std::int64_t t = DecideDue(task, now, today).starttijd;
            const std::int64_t step = std::max<std::int64_t>(task.frekwentie, 1) * HourMs;
            while (t < now) t += step;
            next = static_cast<std::int32_t>(t % MSecsPerDay);
        }
        StartTask(id, record);
        unsavedStarts_ = true;
        honoured_.erase(id);
        n = table_.TaskCount();
        if (const std::optional<int> place = table_.PlaceOf(id, i)) {
            table_.SetRunFields(*place, next, today);
            i = *place;
        }
        ++started;
    }
    if (started) {
        taskFile_.SaveTasks();
        unsavedStarts_ = false;
    }
    return started;
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
