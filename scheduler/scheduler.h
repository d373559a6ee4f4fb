#pragma once
// The minute tick: merges a waiting import file, starts every task that is due, records the
// starts, saves, and shows the time of the check. Driven by the main window's Timer1.
#include <climits>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "algemeen/report.h"
#include "logbook/outbox.h"
#include "platform/clock.h"
#include "platform/formatsettings.h"
#include "platform/shell.h"
#include "scheduler/missed.h"
#include "scheduler/nextrun.h"
#include "scheduler/taskstate.h"
#include "store/taskrecord.h"

namespace kivo {

class TMemTable;
class TaskImporter;
class TaskFile;
class Clock;
class TimerControl;
class TaskRuns;

class Scheduler {
public:
    // timer1 is the minute timer (60 000 ms, its period counted from when it is started);
    // controleTimer the control timer that is never started.
    Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogOutbox& log,
              Shell& shell, const Clock& clock, const FormatSettings& settings,
              TimerControl& timer1, TimerControl& controleTimer);

    // The tick. The first tick of a new day first drops the log's old lines, as the start-up
    // does, so that a program that runs for months keeps its log short. Stops Timer1 for its
    // length and starts it again at the end, so the next tick comes a full period later, also
    // after a failure: a failure ends the tick, is logged as "Timer1Timer:" + message and
    // reported, and the next tick still comes. Never throws but for a timer that cannot be
    // armed. Its lines go out in one write, at its end; a log that refuses it is the outbox's
    // to tell.
    // While the table is closed (its file could not be read) the tick reads it again first.
    // A task file save that failed is tried again by every tick until it succeeds.
    // An edit that is open (the panel) is left alone: the tick starts the other tasks by their
    // place without moving the cursor, the task being changed waits for the edit's end, and the
    // import waits too. Otherwise the first task is current afterwards.
    // A start's "(automatisch)" line is made before the start; a log that refuses writes does
    // not hold the start back: the line waits in the outbox, with its time.
    void Timer1Timer();
    // Around the edit panel. Timer1 keeps running; the tick then leaves the edit alone.
    // Resume starts a Timer1 that is not running (it keeps the period of one that is).
    void SuspendScheduling();
    void ResumeScheduling();
    bool EditOpen() const { return editOpen_; }
    void ControleTimerTimer() {}
    // The user stored this task's Starttijd just now: today it is not started before that time,
    // whatever the slots of its earlier runs would give. Ends with the day or the task's start.
    void HonourStartTime(std::uint64_t taskId);
    // The user stored this task: when its schedule changed, its slots count from now; unchanged,
    // the windows that passed while it was open are still noted.
    void TaskChanged(std::uint64_t taskId);
    // When the tick will next start the task at this place of the table (NextStart): a moment
    // before `now` while a window is open that the next tick starts it in.
    std::optional<WallMs> NextStart(int place, WallMs now) const {
        const WallMs next = NextStartMs(place, now);
        return next == NoNextRun ? std::nullopt : std::optional<WallMs>(next);
    }

    // Missed windows. At start-up (after the start line, in the same write), from each task's
    // own fields: the latest slot that passed while the program could not start it, once per
    // task. During the run, after a gap between the ticks that judged a task (sleep, a stop of
    // the process, a clock moved forward, a failing tick, the task open in the panel): the
    // latest slot whose window lay in the gap. Each slot is noted once, also across a restart
    // (`logLines`, the log as the start-up read it, holds the notes of earlier runs; without
    // them the log is read here). A task that never ran has nothing to miss before its first
    // tick. `before` comes ahead of the notes in the same write (the start line).
    // The notes go to the outbox, which writes them with the caller's event.
    void NoteMissedAtStartUp();
    void NoteMissedAtStartUp(const std::vector<std::string>& logLines,
                             std::vector<LogEntry> before = {});
    // The tasks with a missed run that no start has made up since and that the run below would
    // start now (a task open in the panel included, unless startableNow); and their run now,
    // once each, as the judge decides it (JudgeTask, made up): not a task whose own window is
    // open or opens within a quarter of an hour, which the tick starts anyway. Returns how many
    // started.
    // Counting stops at `enough`: the menu only asks whether there is one.
    int MissedTaskCount(bool startableNow = false, int enough = INT_MAX);
    int RunMissed();

    // Status bar text for a panel: 0 "Laatste controle hh:nn", 2 "Starttijd hh:nn".
    std::function<void(int panel, const std::string& text)> OnStatusText;
    // The plain message box.
    ReportFn OnReport;
    // The main window, owner of the shell's messages; null when there is none.
    WindowHandle MainWindow = nullptr;
    // The started programs, watched for their end. May stay null.
    TaskRuns* Runs = nullptr;

private:
    TMemTable& table_;
    TaskImporter& importer_;
    TaskFile& taskFile_;
    LogOutbox& log_;
    Shell& shell_;
    const Clock& clock_;
    const FormatSettings& settings_;
    TimerControl& timer1_;
    TimerControl& controleTimer_;
    bool controleTimerWasRunning_ = false;
    bool editOpen_ = false;
    bool unsavedStarts_ = false; // starts of a tick that failed before its save
    std::int32_t purgedDay_;     // the day the log was last purged: the start-up's at first
    ClockReading lastReading_;   // of the previous tick, or the start-up
    std::unordered_map<std::uint64_t, TaskState> states_; // by task id; dropped with the task
    // The state of the task at each place at the last tick: found again without a look-up
    // while the table keeps its order, as it mostly does between two ticks.
    std::vector<std::pair<std::uint64_t, TaskState*>> byPlace_;
    std::set<std::pair<std::string, std::string>> earlierNotes_; // until the first judgement

    void Tick();
    void Failed(const std::exception& e);
    TickTime ReadClock();
    void JudgeAll(const TickTime& time, bool& started);
    void NoteMissedFromFields(WallMs now);
    // The start of a task and its record: the log line, the start, its fields. Returns the
    // task's place afterwards; none when it is gone.
    std::optional<int> StartAndRecord(int place, std::uint64_t id, const TaskRecord& record,
                                      std::optional<std::int32_t> starttijd,
                                      std::int32_t laatstekeer);
    void Status(int panel, const std::string& text);
    WallMs NextStartMs(int place, WallMs now) const;
    std::optional<Judgement> MakeUp(int place, std::optional<std::uint64_t> edited,
                                    WallMs now) const;
};

} // namespace kivo
