#include "scheduler/history.h"

#include <algorithm>
#include <cstdlib>
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

std::string WhereOf(const TaskRecord& task) {
    return TaskWhere(task.Werkdirectory.value_or(""), task.Programma.value_or(""));
}

// The start of a run and its end's moment less its duration, both to the minute, lie less than
// this apart.
constexpr std::int64_t SameRunMs = 61'000;

} // namespace

TaskHistory::TaskHistory(const FormatSettings& settings, const Clock& clock)
    : settings_(settings), clock_(clock) {}

std::size_t TaskHistory::Size() const {
    std::size_t n = 0;
    for (const auto& [name, records] : entries_) n += records.size();
    return n;
}

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

TaskHistory::Record& TaskHistory::At(Records& records, const std::optional<std::string>& where) {
    for (Record& r : records)
        if (r.where == where) return r;
    return records.emplace_back(Record{where, {}});
}

TaskHistory::Record* TaskHistory::Latest(Records& records) {
    Record* latest = nullptr;
    for (Record& r : records)
        if (!latest || r.entry.started > latest->entry.started) latest = &r;
    return latest;
}

const TaskHistoryEntry* TaskHistory::Find(const TaskRecord& task) const {
    auto it = entries_.find(task.Omschrijving.value_or(""));
    if (it == entries_.end()) return nullptr;
    const std::string where = WhereOf(task);
    const Record* notesOnly = nullptr;
    for (const Record& r : it->second) {
        if (r.where == where) return &r.entry;
        if (!r.where) notesOnly = &r;
    }
    return notesOnly ? &notesOnly->entry : nullptr;
}

const TaskHistoryEntry* TaskHistory::Find(const std::string& omschrijving) const {
    auto it = entries_.find(omschrijving);
    if (it == entries_.end()) return nullptr;
    const Record* latest = nullptr;
    for (const Record& r : it->second)
        if (!latest || r.entry.started > latest->entry.started) latest = &r;
    return latest ? &latest->entry : nullptr;
}

void TaskHistory::Renamed(const TaskRecord& from, const TaskRecord& to) {
    const std::string fromName = from.Omschrijving.value_or(""),
                      toName = to.Omschrijving.value_or("");
    const std::string fromWhere = WhereOf(from), toWhere = WhereOf(to);
    if (fromName == toName && fromWhere == toWhere) return;
    auto it = entries_.find(fromName);
    if (it == entries_.end()) return;
    Records& records = it->second;
    // Its own record; what only notes told of the description goes with the description's
    // last task.
    auto own = std::find_if(records.begin(), records.end(),
                            [&](const Record& r) { return r.where == fromWhere; });
    if (own == records.end() && records.size() == 1 && !records.front().where)
        own = records.begin();
    if (own == records.end()) return;
    const TaskHistoryEntry moved = own->entry;
    records.erase(own);
    if (records.empty()) entries_.erase(it);
    Record& target = At(entries_[toName], toWhere);
    if (!target.entry.started || target.entry.started <= moved.started) target.entry = moved;
}

void TaskHistory::Renamed(const TMemTable& table) {
    const std::optional<TaskId> id = table.EditedId();
    if (!id) return;
    if (const std::optional<int> place = table.PlaceOf(*id, 0))
        Renamed(table.TaskAt(*place), table.Current());
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
        At(entries_[start->omschrijving], start->where).entry =
            TaskHistoryEntry{at, false, std::nullopt, 0, false, false};
    } else if (auto end = ParseFinishedNote(body)) {
        // The run's start: the end of an earlier run that was still going when the latest began
        // says nothing about the latest. Two starts of the description that fit alike both get
        // it.
        Records& records = entries_[end->omschrijving];
        const WallMs begun = at - end->durationMs;
        std::vector<Record*> fit;
        std::int64_t closest = SameRunMs + 1;
        bool anyStart = false;
        for (Record& r : records) {
            if (!r.entry.started) continue;
            anyStart = true;
            const std::int64_t apart = std::abs(*r.entry.started - begun);
            if (apart < closest) {
                closest = apart;
                fit.clear();
            }
            if (apart == closest) fit.push_back(&r);
        }
        if (!anyStart) fit.push_back(&At(records, std::nullopt));
        for (Record* r : fit) {
            r->entry.ended = true;
            r->entry.code = end->code;
            r->entry.durationMs = end->durationMs;
        }
        if (end->code != 0) failed(TaskFailure::Code, end->omschrijving, end->code);
    } else if (auto refused = ParseNotStartedNote(body)) {
        // Written after the start it refused, before the next start line.
        Records& records = entries_[*refused];
        Record* latest = Latest(records);
        (latest && latest->entry.started ? *latest : At(records, std::nullopt)).entry.notStarted =
            true;
        failed(TaskFailure::NotStarted, *refused, std::nullopt);
    } else if (auto missed = ParseMissedNote(line)) {
        Records& records = entries_[missed->first];
        if (records.empty()) At(records, std::nullopt);
        for (Record& r : records) r.entry.missed = true;
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
