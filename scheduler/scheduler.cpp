#include "scheduler/scheduler.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <utility>

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

Scheduler::Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogOutbox& log,
                     Shell& shell, const Clock& clock, const FormatSettings& settings,
                     TimerControl& timer1, TimerControl& controleTimer)
    : table_(table), importer_(importer), taskFile_(taskFile), log_(log), shell_(shell),
      clock_(clock), settings_(settings), timer1_(timer1), controleTimer_(controleTimer),
      purgedDay_(DayNumber(clock.Now().date)), lastReading_(clock.Read()) {}

void Scheduler::Timer1Timer() {
    timer1_.SetEnabled(false);
    {
        // The check's lines in one write, at its end.
        const LogOutbox::Batch batch(log_);
        try {
            Tick();
        } catch (const std::exception& e) {
            Failed(e);
        }
    }
    // Whatever failed, the next tick comes a full period after this one.
    timer1_.SetEnabled(true);
}

// A log that refuses the note is the outbox's to tell.
void Scheduler::Failed(const std::exception& e) {
    log_.Note(std::string("Timer1Timer:") + e.what());
    if (OnReport) OnReport(e.what());
}

TickTime Scheduler::ReadClock() {
    // What the clocks did since the last tick: a sleep, summer time, a correction.
    const ClockReading reading = clock_.Read();
    const ClockStep step = CompareReadings(lastReading_, reading);
    lastReading_ = reading;
    const WallMs wall = WallOf(reading.local);
    if (step.Correction()) log_.Note(ClockMovedNote(wall - step.correctionMs, wall, settings_));
    return TickTime{wall, step.SprangForward()};
}

// Read the clock, judge each task, start and record, write the notes, save.
void Scheduler::Tick() {
    TickTime time = ReadClock();
    const std::int32_t day = DayOfWall(time.now);
    if (day != purgedDay_) {
        purgedDay_ = day; // a purge that fails is not tried again every minute
        try {
            log_.Log().PurgeLog();
        } catch (const std::exception& e) {
            Failed(e); // the day's tasks still run
        }
    }
    // A task file that could not be read: nothing to start until it can.
    if (!table_.IsOpen()) {
        if (!taskFile_.RetryLoad()) {
            Status(2, "Starttijd ");
            Status(0, "Laatste controle " + FormatTime(TimeOf(clock_.Now()), settings_));
            return;
        }
        NoteMissedFromFields(time.now);
    }
    // An open edit is the user's: the import, which may change or remove any managed task and
    // moves the cursor, waits for its end.
    const bool editing = editOpen_ || table_.IsPending();
    if (!editing) importer_.ImportTasks();
    // The time after the import, as the tasks are judged by it.
    time.now = WallOf(clock_.Read().local);
    bool started = false;
    JudgeAll(time, started);

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

// By place, without the cursor: a pending change stays as it is, and its task is skipped and
// keeps its state, so the windows that pass meanwhile are judged once it is stored or dropped.
// A task's state moves on only once what its judgement asks is done: a start that failed, or a
// task the failure kept the tick from, is judged again by the next tick.
void Scheduler::JudgeAll(const TickTime& time, bool& started) {
    const std::optional<TaskId> edited = table_.EditedId();
    const int count = table_.TaskCount();
    byPlace_.resize(static_cast<std::size_t>(count), {0, nullptr});
    bool complete = true;
    for (int i = 0, n = count; i < n; ++i) {
        const TaskId id = table_.IdAt(i);
        auto& [placeId, placeState] = byPlace_[static_cast<std::size_t>(i)];
        if (!placeState || placeId != id) {
            placeId = id;
            placeState = &states_[id];
        }
        TaskState& state = *placeState;
        if (edited && id == *edited) continue;
        const TaskRecord& record = table_.TaskAt(i);
        const DueTask fields = DueTask::From(record);
        if (QuietTick(fields, state, time)) {
            state.judged = time.now;
            continue;
        }
        const Judgement j = JudgeTask(fields, state, time);
        if (j.futureNote && record.Laatstekeer)
            log_.Note(FutureLastRunNote(record.Omschrijving.value_or(""), *record.Laatstekeer,
                                        settings_));
        if (j.missedNote)
            log_.Note(MissedNote(record.Omschrijving.value_or(""), *j.missedNote, settings_));
        if (!j.start) {
            if (j.starttijd || j.laatstekeer) table_.SetRunFields(i, j.starttijd, j.laatstekeer);
            state = j.next;
            continue;
        }
        // What was noted stays noted, should the start fail.
        state.noted = j.next.noted;
        state.futureNoted = j.next.futureNoted;
        const TaskRecord copy = record; // the start may run messages
        const std::optional<int> place = StartAndRecord(i, id, copy, j.starttijd, *j.laatstekeer);
        state = j.next;
        unsavedStarts_ = true;
        started = true;
        // Found again by its identity, should the table have changed meanwhile.
        n = table_.TaskCount();
        if (!place) {
            complete = false;
            break;
        }
        if (*place != i) byPlace_.clear(); // the places moved: look the states up again
        byPlace_.resize(static_cast<std::size_t>(n), {0, nullptr});
        i = *place;
    }
    // The states of tasks that are gone go with them: every task has one now, so more states
    // than tasks means some are left over.
    if (complete && states_.size() > static_cast<std::size_t>(table_.TaskCount())) {
        std::unordered_map<TaskId, bool> keep;
        for (int i = 0, n = table_.TaskCount(); i < n; ++i) keep[table_.IdAt(i)] = true;
        for (auto it = states_.begin(); it != states_.end();)
            it = keep.count(it->first) ? std::next(it) : states_.erase(it);
        byPlace_.clear();
    }
}

std::optional<int> Scheduler::StartAndRecord(int place, TaskId id, const TaskRecord& record,
                                             std::optional<std::int32_t> starttijd,
                                             std::int32_t laatstekeer) {
    const LogTask task{record.Omschrijving.value_or(""), record.Werkdirectory.value_or(""),
                       record.Programma.value_or("")};
    // The line is made before the start; a log that refuses it keeps it waiting, not the start.
    if (Runs)
        if (auto note = Runs->StillRunning(id, task.omschrijving)) log_.Note(*note);
    LogEntry line;
    line.kind = LogAutomatic;
    line.task = task;
    log_.Post(std::move(line));
    ProcessHandle process = nullptr;
    const ShellResult result =
        RunProgram(shell_, MainWindow, task.programma, record.Parameters.value_or(""),
                   task.werkdirectory, SwShowNormal, &process);
    if (Runs)
        Runs->Started(id, task.omschrijving, process, shell_);
    else if (process)
        shell_.CloseProcess(process);
    // The task counts as started all the same; the note says why nothing ran.
    if (!result.Started()) log_.Note(NotStartedNote(task.omschrijving, result.reason));
    const std::optional<int> now = table_.PlaceOf(id, place);
    if (now) table_.SetRunFields(*now, starttijd, laatstekeer);
    return now;
}

void Scheduler::NoteMissedAtStartUp() {
    std::vector<std::string> lines;
    try {
        lines = log_.Log().Lines();
    } catch (const std::exception&) {
        // An unreadable log: a note may come twice, none is lost.
    }
    NoteMissedAtStartUp(lines);
}

void Scheduler::NoteMissedAtStartUp(const std::vector<std::string>& logLines,
                                    std::vector<LogEntry> before) {
    const ClockReading reading = clock_.Read();
    lastReading_ = reading;
    for (const std::string& line : logLines)
        if (auto note = ParseMissedNote(line)) earlierNotes_.insert(*note);
    for (LogEntry& entry : before) {
        if (!entry.at) entry.at = reading.local;
        log_.Post(std::move(entry));
    }
    if (table_.IsOpen()) NoteMissedFromFields(WallOf(reading.local));
}

// From the fields alone: since its last run (Laatstekeer), a task was due at its slots; the
// latest whose window is over was missed. A window still open is the next tick's.
void Scheduler::NoteMissedFromFields(WallMs now) {
    const std::int32_t today = DayOfWall(now);
    for (int i = 0; i < table_.TaskCount(); ++i) {
        const TaskRecord& record = table_.TaskAt(i);
        TaskState& state = states_[table_.IdAt(i)];
        DueTask task = DueTask::From(record);
        state.seen = task;
        state.judged = now - DueWindowMs;
        if (!task.laatstekeer) continue;
        task.laatstekeer = std::min(*task.laatstekeer, today);
        const auto slot = LatestMissedSlot(task, WallAt(*task.laatstekeer, 0), now);
        if (!slot || (state.noted && *state.noted >= *slot)) continue;
        state.missed = slot;
        state.noted = slot;
        const std::string omschrijving = record.Omschrijving.value_or("");
        if (!earlierNotes_.count({omschrijving, WallText(*slot, settings_)}))
            log_.Note(MissedNote(omschrijving, *slot, settings_));
    }
    // Later gaps lie after what earlier runs could have noted.
    earlierNotes_.clear();
}

void Scheduler::TaskChanged(TaskId id) {
    auto it = states_.find(id);
    if (it == states_.end()) return;
    const std::optional<int> place = table_.PlaceOf(id, 0);
    if (!place) return;
    const DueTask fields = DueTask::From(table_.TaskAt(*place));
    TaskState& state = it->second;
    if (state.seen && SameSchedule(*state.seen, fields)) return;
    state.seen = fields;
    // A window of the new schedule that is open now is the next tick's, as at start-up.
    state.judged = WallOf(clock_.Read().local) - DueWindowMs;
}

// The run below starts a task when it was missed, is not the one open in the panel and the
// judge makes it up now.
std::optional<Judgement> Scheduler::MakeUp(int place, std::optional<TaskId> edited,
                                           WallMs now) const {
    const TaskId id = table_.IdAt(place);
    auto it = states_.find(id);
    if (it == states_.end() || !it->second.missed || (edited && id == *edited)) return std::nullopt;
    Judgement j = JudgeTask(DueTask::From(table_.TaskAt(place)), it->second,
                            TickTime{.now = now, .makeUp = true});
    if (!j.start) return std::nullopt;
    return j;
}

int Scheduler::MissedTaskCount(bool startableNow, int enough) {
    if (!table_.IsOpen()) return 0;
    const std::optional<TaskId> edited = startableNow ? table_.EditedId() : std::nullopt;
    const WallMs now = WallOf(clock_.Read().local);
    int count = 0;
    for (int i = 0, n = table_.TaskCount(); i < n && count < enough; ++i)
        count += MakeUp(i, edited, now).has_value();
    return count;
}

int Scheduler::RunMissed() {
    if (!table_.IsOpen()) return 0;
    const LogOutbox::Batch batch(log_); // its lines in one write
    const WallMs now = WallOf(clock_.Read().local);
    const std::optional<TaskId> edited = table_.EditedId();
    int started = 0;
    std::exception_ptr failure;
    try {
        for (int i = 0, n = table_.TaskCount(); i < n; ++i) {
            const std::optional<Judgement> made = MakeUp(i, edited, now);
            if (!made) continue;
            const Judgement& j = *made;
            const TaskId id = table_.IdAt(i);
            const TaskRecord record = table_.TaskAt(i);
            const std::optional<int> place =
                StartAndRecord(i, id, record, j.starttijd, *j.laatstekeer);
            unsavedStarts_ = true;
            ++started;
            states_[id] = j.next;
            n = table_.TaskCount();
            if (!place) continue;
            i = *place;
        }
    } catch (const std::exception&) {
        failure = std::current_exception();
    }
    if (started) {
        taskFile_.SaveTasks();
        unsavedStarts_ = false;
    }
    if (failure) std::rethrow_exception(failure);
    return started;
}

WallMs Scheduler::NextStartMs(int place, WallMs now) const {
    const TaskId id = table_.IdAt(place);
    const DueTask fields = DueTask::From(table_.TaskAt(place));
    // Found by its place where the last tick left it, as the tick finds it.
    const TaskState* state = nullptr;
    if (static_cast<std::size_t>(place) < byPlace_.size() && byPlace_[place].first == id)
        state = byPlace_[place].second;
    if (!state) {
        auto it = states_.find(id);
        if (it != states_.end()) state = &it->second;
    }
    static const TaskState none;
    return kivo::NextStartMs(fields, state ? *state : none, now);
}

void Scheduler::HonourStartTime(std::uint64_t taskId) {
    states_[taskId].startTimeDay = DayNumber(clock_.Now().date);
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
