#pragma once
// The minute tick: merges a waiting import file, starts every task that is due, records the
// starts, saves, and shows the time of the check. Driven by the main window's Timer1.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "algemeen/report.h"
#include "platform/formatsettings.h"
#include "platform/shell.h"

namespace kivo {

class TMemTable;
class TaskImporter;
class TaskFile;
class LogBook;
class Clock;
class TimerControl;

class Scheduler {
public:
    // timer1 is the minute timer (60 000 ms, its period counted from when it is started);
    // controleTimer the control timer that is never started.
    Scheduler(TMemTable& table, TaskImporter& importer, TaskFile& taskFile, LogBook& log,
              Shell& shell, const Clock& clock, const FormatSettings& settings,
              TimerControl& timer1, TimerControl& controleTimer);

    // The tick. The first tick of a new day first drops the log's old lines, as the start-up
    // does, so that a program that runs for months keeps its log short. Stops Timer1 for its
    // length and starts it again at the end, so the next tick comes a full period later. Any
    // failure ends the tick: it is logged as "Timer1Timer:" + message, reported, and Timer1 stays
    // stopped until ResumeScheduling. If that note cannot be written either, the second failure
    // escapes to the caller (the timer component).
    // Leaves the first task current.
    void Timer1Timer();
    // Around the edit panel: stop the scheduler, and start it again (a Timer1 that already runs
    // keeps its period).
    void SuspendScheduling();
    void ResumeScheduling();
    void ControleTimerTimer() {}
    // The user stored this task's Starttijd just now: today it is not started before that time,
    // whatever the slots of its earlier runs would give. Ends with the day or the task's start.
    void HonourStartTime(std::uint64_t taskId);

    // Status bar text for a panel: 0 "Laatste controle hh:nn", 2 "Starttijd hh:nn".
    std::function<void(int panel, const std::string& text)> OnStatusText;
    // The plain message box.
    ReportFn OnReport;
    // The main window, owner of the shell's messages; null when there is none.
    WindowHandle MainWindow = nullptr;

private:
    TMemTable& table_;
    TaskImporter& importer_;
    TaskFile& taskFile_;
    LogBook& log_;
    Shell& shell_;
    const Clock& clock_;
    const FormatSettings& settings_;
    TimerControl& timer1_;
    TimerControl& controleTimer_;
    bool controleTimerWasRunning_ = false;
    std::int32_t purgedDay_; // the day the log was last purged: the start-up's at first
    std::map<std::uint64_t, std::int32_t> honoured_; // task id -> the day its time was stored

    void Tick();
    void StartCurrentTask();
    void Status(int panel, const std::string& text);
};

} // namespace kivo
