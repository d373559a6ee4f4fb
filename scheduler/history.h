#pragma once
// What happened to each task, as the log book tells it: its latest start, that run's end and
// code, a start that failed, a slot missed since. Read from the log's lines at start-up and kept
// up with every line written since; one small record per task the log names. Tasks of one
// description are told apart by the working directory and program their start lines carry; the
// notes name only the description: an end goes to the start it fits (its moment less its
// duration), a refused start to the latest start of the description, a missed slot to each task
// of it.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/formatsettings.h"
#include "scheduler/missed.h"
#include "store/memtable.h"

namespace kivo {

class Clock;

struct TaskHistoryEntry {
    std::optional<WallMs> started;     // the latest start, to the minute
    bool ended = false;                // that run's end was seen
    std::optional<std::uint32_t> code; // its code, when it could be read
    std::int64_t durationMs = 0;
    bool notStarted = false; // the shell refused that start
    bool missed = false;     // a slot missed since that start, not made up
};

// A start that failed, an end with a code other than 0, or a missed slot.
struct TaskFailure {
    enum Kind { Missed, NotStarted, Code } kind = Missed;
    std::string omschrijving;
    std::optional<std::uint32_t> code = std::nullopt; // of an end; none when unreadable
};

class TaskHistory {
public:
    TaskHistory(const FormatSettings& settings, const Clock& clock);

    // Starts again from these lines (the log as it stands); what they hold is history, not news.
    void Seed(const std::vector<std::string>& lines);
    // Lines just written, in their order. Returns the failures among them.
    std::vector<TaskFailure> Follow(const std::vector<std::string>& lines);
    // The task by its description, working directory and program; what only notes told of its
    // description when no start line names it so. Null when the log names neither.
    const TaskHistoryEntry* Find(const TaskRecord& task) const;
    // The latest started of the tasks of this description.
    const TaskHistoryEntry* Find(const std::string& omschrijving) const;
    std::size_t Size() const; // tasks known
    // The task is stored under another description, working directory or program: its history
    // goes with it (until the next start-up, whose log names it by the old ones).
    void Renamed(const TaskRecord& from, const TaskRecord& to);
    // The same for the edit pending in the table, before it is stored; nothing for a new task.
    void Renamed(const TMemTable& table);

    // After lines were followed. Unassigned: skipped.
    std::function<void()> OnChanged;

private:
    // One task of a description: by where its start lines say it runs (none: known from notes
    // only).
    struct Record {
        std::optional<std::string> where;
        TaskHistoryEntry entry;
    };
    using Records = std::vector<Record>;

    void Read(const std::string& line, int year, std::vector<TaskFailure>* failures);
    Record& At(Records& records, const std::optional<std::string>& where);
    static Record* Latest(Records& records);

    const FormatSettings& settings_;
    const Clock& clock_;
    std::unordered_map<std::string, Records> entries_; // by description
};

// Taak "<Omschrijving>" gemist | niet gestart | klaar met code <n>; for several (count above
// 1): <n> taken gemist of mislukt
std::string FailureText(const TaskFailure& first, std::size_t count);

// How many tasks these failures are about: two of one task count once.
std::size_t FailedTasks(const std::vector<TaskFailure>& failures);

// When the tray shows a balloon for failures: at once, but at most one a minute; what comes
// within the minute after a balloon waits and is gathered into the next one. A balloon the
// shell did not show uses nothing up.
class FailureNotices {
public:
    static constexpr std::int64_t MinGapMs = 60'000;
    void Add(const std::vector<TaskFailure>& failures);
    // The balloon's text when one is due at this moment (milliseconds of a monotonic count).
    std::optional<std::string> Due(std::int64_t nowMs) const;
    // It was shown: what it told is done, and the next waits a minute.
    void Shown(std::int64_t nowMs);
    // How long until the waiting failures may be shown; none while nothing waits.
    std::optional<std::int64_t> WaitMs(std::int64_t nowMs) const;

private:
    // Only what the text needs: the first and the tasks.
    std::optional<TaskFailure> first_;
    std::unordered_set<std::string> tasks_;
    std::optional<std::int64_t> lastShown_;
};

} // namespace kivo
