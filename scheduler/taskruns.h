#pragma once
// The programs the switch started and has not seen end, the notes of their ends, and the count
// of what the user has not looked at yet (missed runs, failed starts, codes other than 0).
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/formatsettings.h"
#include "platform/shell.h"
#include "scheduler/missed.h"

namespace kivo {

class LogOutbox;
class ProcessWatch;

// What the tray shows: missed runs, failed starts and codes other than 0 since the user last
// opened the log viewer.
class Attention {
public:
    void Add(int count = 1);
    void Clear();
    int Count() const { return count_; }
    // The count changed. Unassigned: skipped.
    std::function<void()> OnChanged;

private:
    int count_ = 0;
};

// The tray icon's tip: the program's name, and the count while there is one.
std::string AttentionTip(int count);

// Taak "<Omschrijving>" klaar: code <n>, duur <h:mm:ss>
std::string FinishedNote(const std::string& omschrijving, std::uint32_t code,
                         std::int64_t durationMs);
// Taak "<Omschrijving>" klaar: code onbekend, duur <h:mm:ss> (the exit code could not be read)
std::string FinishedUnknownNote(const std::string& omschrijving, std::int64_t durationMs);
struct FinishedNoteParts {
    std::string omschrijving;
    std::optional<std::uint32_t> code; // none: "code onbekend"
    std::int64_t durationMs = 0;
};
// Such a note, from a log line's body.
std::optional<FinishedNoteParts> ParseFinishedNote(std::string_view body);
// Taak "<Omschrijving>" draait nog sinds <dd-mm-yy> <hh:nn>
std::string StillRunningNote(const std::string& omschrijving, WallMs since,
                             const FormatSettings& settings);

class TaskRuns {
public:
    // Without a watch nothing is waited for and no end is noted.
    TaskRuns(LogOutbox& log, const Clock& clock, const FormatSettings& settings,
             ProcessWatch* watch);
    TaskRuns(const TaskRuns&) = delete;
    TaskRuns& operator=(const TaskRuns&) = delete;

    // Before a task of this identity is started: the note when its previous run still runs.
    std::optional<std::string> StillRunning(std::uint64_t taskId,
                                            const std::string& omschrijving) const;
    // After the start: the process the shell gave (none for a document that a program already
    // running opened) is watched, and the handle taken; without a watch it is closed.
    void Started(std::uint64_t taskId, const std::string& omschrijving, ProcessHandle process,
                 Shell& shell);
    // The watch saw a run end: its note, under the name the task had when it started. No code:
    // it could not be read, which the note says. A log that refuses it keeps it waiting.
    void Ended(std::uint64_t token, std::optional<std::uint32_t> exitCode);
    std::size_t Running() const { return runs_.size(); }
    // Whether a run of this task has not been seen to end.
    bool IsRunning(std::uint64_t taskId) const;

private:
    struct Run {
        std::uint64_t task;
        std::string omschrijving;
        WallMs startedAt;
        std::int64_t startedMono;
    };
    LogOutbox& log_;
    const Clock& clock_;
    const FormatSettings& settings_;
    ProcessWatch* watch_;
    std::uint64_t nextToken_ = 1;
    std::map<std::uint64_t, Run> runs_; // by token, so in the order of their starts
};

} // namespace kivo
