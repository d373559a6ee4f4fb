#pragma once
// The running program: the core services, their start-up, the minute check kept from nesting,
// the boxes held back until an event has ended, the close, and what the user's commands do to
// the tasks. The main window is a view of it: it passes in its parts and follows a few events.
// The program, its tests and its benchmarks all run it.
#include <functional>
#include <optional>
#include <string>

#include "algemeen/report.h"
#include "core/coreservices.h"
#include "store/memtable.h"

namespace kivo {

// What the view follows; each may stay unassigned.
struct ProgramView {
    std::function<void(int panel, const std::string& text)> status;
    // The tray's count, or the runs that can be made up, may have changed.
    std::function<void()> attention;
    // A write carried lines into the log: the overview and the failure balloon follow.
    std::function<void()> history;
    // After the start-up, a check or a command: the task list follows the table.
    std::function<void()> tasksChanged;
    // A box to show now; it counts as on screen until `answered` runs (its message gets no
    // second box meanwhile). Unassigned: reports are dropped.
    std::function<void(ReportQueue::Kind kind, const std::string& message,
                       std::function<void()> answered)>
        showReport;
    // Ask for ShowReports and TickPosted soon, from the message loop; false when that cannot be
    // asked. Unassigned: the boxes show, the check runs, at once.
    std::function<bool()> postReports;
    std::function<bool()> postTick;
    AskFn ask;                         // the question dialog; only Yes (6) counts
    std::function<void()> commitTyped; // the edit panel's typing reaches the pending task
};

class Program {
public:
    // Made once AppDir is known, with every part the services use.
    Program(const CoreParts& parts, ProgramView view, const FormatSettings& settings,
            const std::string& appDir);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    CoreServices core;

    // The start-up steps, each whatever the others met, their lines in one write, their boxes
    // after them; then the start timer. The table stays closed until the task file is read.
    void StartUp();
    // Timer1's tick, also asked at once after a resume or a change of the clock. Never inside
    // another check: one asked for meanwhile follows it. Its boxes come after it, so that the
    // checks go on while they are open.
    void RunTick();
    // A check soon, once however many ask before it runs (a resume sends two messages, a clock
    // change a burst of them).
    void TickSoon();
    void TickPosted();

    // A box for the user: after the event that made it, one per message at a time.
    void Report(ReportQueue::Kind kind, const std::string& message);
    void ShowReports();

    // The end is decided: no check runs any more; the closing line and the last write, and what
    // that cannot write is said at the next start.
    void Close();
    // Log-off or shut-down: the last write without the closing line, and no box.
    void EndSession();
    bool Ending() const { return ending_; }

    // The user's commands. The window asks its questions; these do what the answer asks.
    // The edit panel opens on the current task (adding: a new one).
    void BeginEdit(bool adding);
    // OK: the task is stored when it has a description and a program (else dropped), its
    // schedule counts from now, the task list is saved.
    void StoreEdit();
    // The task the question named, when the answer was yes and it is still there, is deleted
    // with its note; the task list is saved either way.
    void DeleteTask(std::optional<TaskId> named);
    void RunTaskNow();
    // The tasks "Gemiste taken uitvoeren" would start (not one open in the panel), and their run.
    int MissedToRun();
    void RunMissed();
    // The user opened the log viewer: what the tray counted is seen.
    void LogViewed();

private:
    enum class Boxes { Now, AfterIt };
    template <typename Work> void Event(Boxes boxes, Work&& work);
    void AfterEvent(Boxes boxes);

    ProgramView view_;
    TimerControl& opstartTimer_;
    ReportQueue reports_;
    int deferReports_ = 0; // inside an event: boxes wait for its end
    bool reportsPosted_ = false;
    bool ticking_ = false;
    bool tickAgain_ = false;
    bool tickPosted_ = false;
    bool ending_ = false;
    bool sessionEnding_ = false;
    // What the pending change began with, to tell a start time the user stored.
    bool addingTask_ = false;
    std::optional<std::int32_t> startBefore_;
};

} // namespace kivo
