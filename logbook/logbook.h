#pragma once
// The log book kivoklok.log: one line per event, 90 days kept.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "algemeen/datetime.h"
#include "platform/files.h"
#include "platform/formatsettings.h"

namespace kivo {

class Clock;

enum LogKind { LogNote = 0, LogAutomatic = 1, LogManual = 2, LogStarted = 3, LogClosed = 4 };

// The task named in lines of kinds 1 and 2.
struct LogTask {
    std::string omschrijving;
    std::string werkdirectory;
    std::string programma;
};

// One line to be written: its kind, the message of a note, the task of kinds 1 and 2.
struct LogEntry {
    int kind = LogNote;
    std::string message;
    std::optional<LogTask> task = std::nullopt;
    // When it happened, for a line that waited to be written; unset: the moment of the write.
    std::optional<LocalDateTime> at = std::nullopt;
};

class LogBook {
public:
    LogBook(FileSystem& files, const Clock& clock, const FormatSettings& settings,
            std::string appDir);
    std::string Path() const; // AppDir + "kivoklok.log"
    // Appends one line. Errors go to the caller; the entry is then lost and the file unchanged.
    // The file is read and rewritten whole (every line end made CR LF) unless it is as this log
    // book last left it: then the lines are only appended, which gives the same bytes. Appended
    // lines are not flushed: a power cut may lose those of its last seconds, never the lines
    // before them (the rewrite, as the purge, keeps its flushed replace in one step).
    void WriteLog(int kind, const std::string& message, const LogTask* task = nullptr);
    // Appends the entries in one write, in their order and under one reading of the clock: all
    // of them or, on an error, none. Returns the lines written, without their line ends.
    std::vector<std::string> WriteLog(const std::vector<LogEntry>& entries);
    // Drops the leading lines older than 90 days.
    void PurgeLog();
    // The same, and the lines kept: the start-up's one read of the log. None without a file.
    std::vector<std::string> PurgeLogLines();
    // The lines as they stand; none without a file. Errors go to the caller.
    std::vector<std::string> Lines() const;

private:
    std::optional<std::string> Purge();
    bool AppendAsLeft(const std::string& path, const std::string& lines);

    FileSystem& files_;
    const Clock& clock_;
    const FormatSettings& settings_;
    std::string appDir_;
    // The file's size and write time after this log book's last write; none when unknown.
    std::optional<FileStamp> left_;
};

// Splits file content into lines: CR, LF and CR LF each end a line; a last line without an end
// still counts; an empty content has no lines.
std::vector<std::string> SplitLogLines(std::string_view content);

// Reads a date under the short date format, with an optional other order ("DMY", "YMD", ...) and
// separator. 0 when the text is empty or not a date; never fails.
std::int32_t ParseDateWithOrder(std::string_view text, std::string_view order,
                                std::optional<char> separator, const FormatSettings& settings,
                                int currentYear);

// The task of a start line (kinds 1 and 2), from the line's body (after "[date] [time] "): its
// kind and description. None for any other body.
struct LogTaskLine {
    int kind = LogAutomatic;
    std::string omschrijving;
    std::string where; // what follows the gap: TaskWhere of the run
};
std::optional<LogTaskLine> ParseLogTaskLine(std::string_view body);
// Where a task runs, as its start line names it after the description: the working directory
// with its backslash, then the program.
std::string TaskWhere(std::string_view werkdirectory, std::string_view programma);

// The pure parts of the writer and the purge, so that they can be exercised without a file.

// One entry of the log: "[dd-mm-yy] [hh:nn] " and the body of its kind.
std::string FormatLogEntry(int kind, const std::string& message, const LogTask* task,
                           const LocalDateTime& now, const FormatSettings& settings);
// The content with every line ended by CR LF, as the log is written back.
std::string NormalizeLogContent(std::string_view content);
// The content without its leading lines older than 90 days before `today` (a day number), every
// line ended by CR LF.
std::string PurgeLogContent(std::string_view content, std::int32_t today, int currentYear,
                            const FormatSettings& settings);

} // namespace kivo
