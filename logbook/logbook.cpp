#include "logbook/logbook.h"

#include <exception>
#include <utility>

#include "algemeen/text.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace kivo {

namespace {

constexpr int RetentionDays = 90;
constexpr std::string_view TaskGap = "                   "; // nineteen, whatever precedes it

// Calls visit(line) for every line of the content; CR, LF and CR LF each end a line. Stops early
// when visit returns false and then gives the offset of the line it stopped at.
template <typename Visit> std::size_t ForEachLine(std::string_view content, Visit visit) {
    std::size_t start = 0;
    const std::size_t size = content.size();
    while (start < size) {
        std::size_t end = start;
        while (end < size && content[end] != '\r' && content[end] != '\n') ++end;
        if (!visit(content.substr(start, end - start))) return start;
        if (end < size && content[end] == '\r' && end + 1 < size && content[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return size;
}

std::int32_t ParseDateOrZero(std::string_view text, std::string_view order,
                             std::optional<char> separator, const FormatSettings& settings,
                             int currentYear);

void AppendNormalized(std::string& out, std::string_view content) {
    ForEachLine(content, [&out](std::string_view line) {
        out.append(line);
        out.append("\r\n");
        return true;
    });
}

} // namespace

LogBook::LogBook(FileSystem& files, const Clock& clock, const FormatSettings& settings,
                 std::string appDir)
    : files_(files), clock_(clock), settings_(settings), appDir_(std::move(appDir)) {}

std::string LogBook::Path() const {
    return appDir_ + "kivoklok.log";
}

void LogBook::WriteLog(int kind, const std::string& message, const LogTask* task) {
    WriteLog({LogEntry{kind, message, task ? std::optional<LogTask>(*task) : std::nullopt, {}}});
}

std::vector<std::string> LogBook::WriteLog(const std::vector<LogEntry>& entries) {
    if (entries.empty()) return {};
    const std::string path = Path();
    // One reading of the clock, so that date and time belong together also at midnight.
    const LocalDateTime now = clock_.Now();
    std::vector<std::string> written;
    written.reserve(entries.size());
    std::string lines;
    for (const LogEntry& e : entries) {
        written.push_back(FormatLogEntry(e.kind, e.message, e.task ? &*e.task : nullptr,
                                         e.at.value_or(now), settings_));
        lines += written.back();
        lines += "\r\n";
    }
    if (!AppendAsLeft(path, lines)) {
        // A file that exists but cannot be read fails here, before anything is written over it.
        const std::string existing = files_.Exists(path) ? files_.ReadAll(path) : std::string();
        std::string content;
        content.reserve(existing.size() + existing.size() / 32 + lines.size());
        AppendNormalized(content, existing);
        content += lines;
        files_.ReplaceAll(path, content);
    }
    // A message with a line break of its own is written as given; the next write makes it CR LF,
    // so that one rewrites.
    if (NormalizeLogContent(lines) == lines) left_ = files_.Stamp(path);
    return written;
}

// The file as this log book left it ends in CR LF (or is empty), so the lines appended give
// the bytes the full rewrite would give. Anything else (no stamp to go by, another program
// grew, cut or rewrote the file, the append refused) leaves it to the rewrite, which also
// reports a locked or unwritable file as ever.
bool LogBook::AppendAsLeft(const std::string& path, const std::string& lines) {
    const std::optional<FileStamp> left = std::exchange(left_, std::nullopt);
    if (!left || files_.Stamp(path) != left) return false;
    try {
        files_.Append(path, lines);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Rewrites the log without its old lines; returns what it kept.
std::optional<std::string> LogBook::Purge() {
    const std::string path = Path();
    if (!files_.Exists(path)) return std::nullopt;
    const std::string content = files_.ReadAll(path);
    const LocalDateTime now = clock_.Now();
    std::string kept = PurgeLogContent(content, DayNumber(now.date), now.date.year, settings_);
    left_.reset();
    files_.ReplaceAll(path, kept);
    left_ = files_.Stamp(path);
    return kept;
}

void LogBook::PurgeLog() {
    Purge();
}

std::vector<std::string> LogBook::PurgeLogLines() {
    const std::optional<std::string> kept = Purge();
    return kept ? SplitLogLines(*kept) : std::vector<std::string>();
}

std::string FormatLogEntry(int kind, const std::string& message, const LogTask* task,
                           const LocalDateTime& now, const FormatSettings& settings) {
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on "literal" + temporary.
    std::string line = "[";
    line += FormatDate(DateOf(now), settings);
    line += "] [";
    line += FormatTime(TimeOf(now), settings);
    line += "] ";
    switch (kind) {
    case LogAutomatic:
    case LogManual: {
        static const LogTask none;
        const LogTask& t = task ? *task : none;
        line += "Taak \"";
        line += t.omschrijving;
        line += "\" ";
        line += kind == LogAutomatic ? "(automatisch)" : "(handmatig)";
        line += TaskGap;
        line += TaskWhere(t.werkdirectory, t.programma);
        break;
    }
    case LogStarted:
        line += "KIVO Schakelklok gestart";
        break;
    case LogClosed:
        line += "KIVO Schakelklok afgesloten";
        break;
    default: // notes, and any unknown kind keeps at least its message
        line += message;
        break;
    }
    return line;
}

std::string TaskWhere(std::string_view werkdirectory, std::string_view programma) {
    std::string where = WithTrailingBackslash(werkdirectory);
    where += programma;
    return where;
}

std::optional<LogTaskLine> ParseLogTaskLine(std::string_view body) {
    constexpr std::string_view Head = "Taak \"";
    if (body.substr(0, Head.size()) != Head) return std::nullopt;
    // The description may hold anything: the first marker with its run of blanks ends it.
    for (int kind : {LogAutomatic, LogManual}) {
        std::string marker = kind == LogAutomatic ? "\" (automatisch)" : "\" (handmatig)";
        marker += TaskGap;
        const auto end = body.find(marker, Head.size());
        if (end != std::string_view::npos)
            return LogTaskLine{kind, std::string(body.substr(Head.size(), end - Head.size())),
                               std::string(body.substr(end + marker.size()))};
    }
    return std::nullopt;
}

std::vector<std::string> LogBook::Lines() const {
    const std::string path = Path();
    if (!files_.Exists(path)) return {};
    return SplitLogLines(files_.ReadAll(path));
}

std::vector<std::string> SplitLogLines(std::string_view content) {
    std::vector<std::string> lines;
    ForEachLine(content, [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    });
    return lines;
}

std::string NormalizeLogContent(std::string_view content) {
    std::string out;
    out.reserve(content.size() + content.size() / 32);
    AppendNormalized(out, content);
    return out;
}

std::string PurgeLogContent(std::string_view content, std::int32_t today, int currentYear,
                            const FormatSettings& settings) {
    // Only leading lines go: the first line with a recent date keeps itself and all after it.
    const std::int32_t oldest = today - RetentionDays;
    const std::size_t keepFrom = ForEachLine(content, [&](std::string_view line) {
        const std::size_t close = line.find(']');
        if (close == std::string_view::npos) return true;
        // The first character (normally "[") is skipped whatever it is.
        const std::string_view dateText =
            close >= 1 ? line.substr(1, close - 1) : std::string_view();
        const std::int32_t date =
            ParseDateWithOrder(dateText, "", std::nullopt, settings, currentYear);
        return oldest > date;
    });
    return NormalizeLogContent(content.substr(keepFrom));
}

std::int32_t ParseDateWithOrder(std::string_view text, std::string_view order,
                                std::optional<char> separator, const FormatSettings& settings,
                                int currentYear) {
    try {
        return ParseDateOrZero(text, order, separator, settings, currentYear);
    } catch (const std::exception&) {
        return 0; // never fails, not even short of memory
    }
}

namespace {

std::int32_t ParseDateOrZero(std::string_view text, std::string_view order,
                             std::optional<char> separator, const FormatSettings& settings,
                             int currentYear) {
    const std::string trimmed = TrimBlanks(text);
    if (trimmed.empty()) return 0;
    // A copy, so that the process-wide settings never change, whatever happens here.
    FormatSettings local = settings;
    if (separator) local.dateSeparator = *separator;
    if (!order.empty()) {
        std::string format;
        for (std::size_t i = 0; i < 3; ++i) {
            if (i > 0) format += local.dateSeparator;
            if (i < order.size()) format += order[i];
        }
        local.shortDateFormat = format;
    }
    const std::optional<TDateTime> date = TryStrToDate(trimmed, local, currentYear);
    return date ? DayNumberOfValue(*date) : 0;
}

} // namespace

} // namespace kivo
