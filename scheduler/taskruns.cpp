#include "scheduler/taskruns.h"

#include <cstdio>

#include "algemeen/text.h"
#include "logbook/outbox.h"
#include "platform/processwatch.h"

namespace kivo {

void Attention::Add(int count) {
    count_ += count;
    if (OnChanged) OnChanged();
}

void Attention::Clear() {
    if (count_ == 0) return;
    count_ = 0;
    if (OnChanged) OnChanged();
}

std::string AttentionTip(int count) {
    std::string tip = "KIVO Schakelklok";
    if (count > 0) {
        tip += " - ";
        tip += std::to_string(count);
        tip += " keer gemist of mislukt";
    }
    return tip; // at most 19 + 10 + 23 characters: it fits the tray's 63
}

namespace {

std::string Finished(const std::string& omschrijving, const std::string& code,
                     std::int64_t durationMs) {
    const std::int64_t seconds = durationMs < 0 ? 0 : durationMs / 1000;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%lld:%02lld:%02lld",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    std::string note = "Taak \"";
    note += omschrijving;
    note += "\" klaar: code ";
    note += code;
    note += ", duur ";
    note += duration;
    return note;
}

} // namespace

std::string FinishedNote(const std::string& omschrijving, std::uint32_t code,
                         std::int64_t durationMs) {
    return Finished(omschrijving, std::to_string(code), durationMs);
}

std::string FinishedUnknownNote(const std::string& omschrijving, std::int64_t durationMs) {
    return Finished(omschrijving, "onbekend", durationMs);
}

std::optional<FinishedNoteParts> ParseFinishedNote(std::string_view body) {
    constexpr std::string_view Head = "Taak \"", Middle = "\" klaar: code ", Duur = ", duur ";
    if (body.substr(0, Head.size()) != Head) return std::nullopt;
    // The fixed tail is found from the end: the description may hold anything.
    const auto middle = body.rfind(Middle);
    if (middle == std::string_view::npos || middle < Head.size()) return std::nullopt;
    FinishedNoteParts parts;
    parts.omschrijving = std::string(body.substr(Head.size(), middle - Head.size()));
    std::string_view rest = body.substr(middle + Middle.size());
    const auto duur = rest.find(Duur);
    if (duur == std::string_view::npos) return std::nullopt;
    unsigned long long code = 0, h = 0, m = 0, s = 0;
    char tail = 0;
    const std::string numbers(rest.substr(0, duur));
    const std::string time(rest.substr(duur + Duur.size()));
    if (std::sscanf(time.c_str(), "%6llu:%2llu:%2llu%c", &h, &m, &s, &tail) != 3 || m > 59 ||
        s > 59)
        return std::nullopt;
    if (numbers != "onbekend") { // else an end whose code could not be read
        if (numbers.empty() || !IsAllDigits(numbers) || numbers.size() > 10) return std::nullopt;
        code = std::stoull(numbers);
        if (code > 0xFFFFFFFFull) return std::nullopt;
        parts.code = static_cast<std::uint32_t>(code);
    }
    parts.durationMs = static_cast<std::int64_t>((h * 3600 + m * 60 + s) * 1000);
    return parts;
}

std::string StillRunningNote(const std::string& omschrijving, WallMs since,
                             const FormatSettings& settings) {
    std::string note = "Taak \"";
    note += omschrijving;
    note += "\" draait nog sinds ";
    note += WallText(since, settings);
    return note;
}

TaskRuns::TaskRuns(LogOutbox& log, const Clock& clock, const FormatSettings& settings,
                   ProcessWatch* watch)
    : log_(log), clock_(clock), settings_(settings), watch_(watch) {}

bool TaskRuns::IsRunning(std::uint64_t taskId) const {
    for (const auto& [token, run] : runs_)
        if (run.task == taskId) return true;
    return false;
}

std::optional<std::string> TaskRuns::StillRunning(std::uint64_t taskId,
                                                  const std::string& omschrijving) const {
    // The latest run of the task, should several still run.
    for (auto it = runs_.rbegin(); it != runs_.rend(); ++it)
        if (it->second.task == taskId)
            return StillRunningNote(omschrijving, it->second.startedAt, settings_);
    return std::nullopt;
}

void TaskRuns::Started(std::uint64_t taskId, const std::string& omschrijving, ProcessHandle process,
                       Shell& shell) {
    if (!process) return;
    if (!watch_) {
        shell.CloseProcess(process);
        return;
    }
    const ClockReading now = clock_.Read();
    const std::uint64_t token = nextToken_++;
    runs_[token] = Run{taskId, omschrijving, WallOf(now.local), now.monotonicMs};
    // A wait the system refused: the run is not followed, and no later start hears it runs.
    if (!watch_->Watch(process, token)) runs_.erase(token);
}

void TaskRuns::Ended(std::uint64_t token, std::optional<std::uint32_t> exitCode) {
    auto it = runs_.find(token);
    if (it == runs_.end()) return;
    const Run run = std::move(it->second);
    runs_.erase(it);
    const std::int64_t duration = clock_.Read().monotonicMs - run.startedMono;
    log_.Note(exitCode ? FinishedNote(run.omschrijving, *exitCode, duration)
                       : FinishedUnknownNote(run.omschrijving, duration));
}

} // namespace kivo
