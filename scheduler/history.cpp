#include "scheduler/history.h"

#include <exception>

#include "algemeen/datetime.h"
#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/clock.h"
#include "scheduler/launch.h"
#include "scheduler/taskruns.h"

namespace kivo {

namespace {

// "[dd-mm-yy] [hh:nn] ": the moment and where the body begins.
std::optional<std::pair<WallMs, std::size_t>> ReadStamp(const std::string& line,
                                                        const FormatSettings& settings, int year) {
    if (line.size() < 4 || line[0] != '[') return std::nullopt;
    const auto dateEnd = line.find("] [");
    if (dateEnd == std::string::npos) return std::nullopt;
    const auto timeEnd = line.find("] ", dateEnd + 3);
    if (timeEnd == std::string::npos) return std::nullopt;
    const auto date = TryStrToDate(std::string_view(line).substr(1, dateEnd - 1), settings, year);
    const auto time =
        TryStrToTime(std::string_view(line).substr(dateEnd + 3, timeEnd - dateEnd - 3), settings);
    if (!date || !time) return std::nullopt;
    const WallMs at = std::int64_t{DayNumberOfValue(*date)} * MSecsPerDay + ToMilliseconds(*time);
    return std::pair{at, timeEnd + 2};
}

} // namespace

TaskHistory::TaskHistory(const FormatSettings& settings, const Clock& clock)
    : settings_(settings), clock_(clock) {}

void TaskHistory::Seed(const std::vector<std::string>& lines) {
    entries_.clear();
    const int year = clock_.Now().date.year;
    for (const std::string& line : lines) Read(line, year, nullptr);
}

std::vector<TaskFailure> TaskHistory::Follow(const std::vector<std::string>& lines) {
    std::vector<TaskFailure> failures;
    const int year = clock_.Now().date.year;
    for (const std::string& line : lines) Read(line, year, &failures);
    if (OnChanged) OnChanged();
    return failures;
}

const TaskHistoryEntry* TaskHistory::Find(const std::string& omschrijving) const {
    auto it = entries_.find(omschrijving);
    return it == entries_.end() ? nullptr : &it->second;
}

// `year` places two-digit years, as the log's own reading does.
void TaskHistory::Read(const std::string& line, int year, std::vector<TaskFailure>* failures) {
    // Only lines about a task; anything else (junk included) is passed over.
    constexpr std::string_view Taak = "] Taak \"";
    if (line.find(Taak) == std::string::npos) return;
    const auto stamp = ReadStamp(line, settings_, year);
    if (!stamp) return;
    const auto [at, bodyAt] = *stamp;
    const std::string_view body = std::string_view(line).substr(bodyAt);
    auto failed = [&](TaskFailure::Kind kind, const std::string& name,
                      std::optional<std::uint32_t> code) {
        if (failures) failures->push_back(TaskFailure{kind, name, code});
    };
    if (auto start = ParseLogTaskLine(body)) {
        entries_[start->omschrijving] = TaskHistoryEntry{at, false, std::nullopt, 0, false, false};
    } else if (auto end = ParseFinishedNote(body)) {
        TaskHistoryEntry& e = entries_[end->omschrijving];
        // The end of an earlier run that was still going when the latest began (both to the
        // minute) says nothing about the latest.
        const bool earlierRun = e.started && at - end->durationMs < *e.started - 60'000;
        if (!earlierRun) {
            e.ended = true;
            e.code = end->code;
            e.durationMs = end->durationMs;
        }
        if (end->code != 0) failed(TaskFailure::Code, end->omschrijving, end->code);
    } else if (auto refused = ParseNotStartedNote(body)) {
        entries_[*refused].notStarted = true;
        failed(TaskFailure::NotStarted, *refused, std::nullopt);
    } else if (auto missed = ParseMissedNote(line)) {
        entries_[missed->first].missed = true;
        failed(TaskFailure::Missed, missed->first, std::nullopt);
    }
}

std::string FailureText(const TaskFailure& f, std::size_t count) {
    if (count > 1) {
        std::string text = std::to_string(count);
        text += " taken gemist of mislukt";
        return text;
    }
    std::string text = "Taak \"";
    text += f.omschrijving;
    text += "\" ";
    switch (f.kind) {
    case TaskFailure::Missed:
        text += "gemist";
        break;
    case TaskFailure::NotStarted:
        text += "niet gestart";
        break;
    case TaskFailure::Code:
        text += "klaar met code ";
        text += f.code ? std::to_string(*f.code) : std::string("onbekend");
        break;
    }
    return text;
}

std::size_t FailedTasks(const std::vector<TaskFailure>& failures) {
    std::unordered_set<std::string> tasks;
    for (const TaskFailure& f : failures) tasks.insert(f.omschrijving);
    return tasks.size();
}

void FailureNotices::Add(const std::vector<TaskFailure>& failures) {
    if (failures.empty()) return;
    if (!first_) first_ = failures.front();
    for (const TaskFailure& f : failures) tasks_.insert(f.omschrijving);
}

std::optional<std::string> FailureNotices::Due(std::int64_t nowMs) const {
    if (!first_ || WaitMs(nowMs).value_or(0) > 0) return std::nullopt;
    return FailureText(*first_, tasks_.size());
}

void FailureNotices::Shown(std::int64_t nowMs) {
    first_.reset();
    tasks_.clear();
    lastShown_ = nowMs;
}

std::optional<std::int64_t> FailureNotices::WaitMs(std::int64_t nowMs) const {
    if (!first_) return std::nullopt;
    // A monotonic count never runs back; should it seem to, the wait ends.
    if (!lastShown_ || nowMs < *lastShown_) return 0;
    const std::int64_t left = *lastShown_ + MinGapMs - nowMs;
    return left > 0 ? left : 0;
}

} // namespace kivo
