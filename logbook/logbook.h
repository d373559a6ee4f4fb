#pragma once
// The log book kivoklok.log: one line per event, 90 days kept.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "algemeen/formatsettings.h"

namespace kivo {

class FileSystem;
class Clock;

enum LogKind { LogNote = 0, LogAutomatic = 1, LogManual = 2, LogStarted = 3, LogClosed = 4 };

// The task named in lines of kinds 1 and 2.
struct LogTask {
    std::string omschrijving;
    std::string werkdirectory;
    std::string programma;
};

class LogBook {
public:
    LogBook(FileSystem& files, const Clock& clock, const FormatSettings& settings,
            std::string appDir);
    std::string Path() const; // AppDir + "kivoklok.log"
    // Appends one line. Errors go to the caller; the entry is then lost and the file unchanged.
    void WriteLog(int kind, const std::string& message, const LogTask* task = nullptr);
    // Drops the leading lines older than 90 days.
    void PurgeLog();

private:
    FileSystem& files_;
    const Clock& clock_;
    const FormatSettings& settings_;
    std::string appDir_;
};

// Splits file content into lines: CR, LF and CR LF each end a line; a last line without an end
// still counts; an empty content has no lines.
std::vector<std::string> SplitLogLines(std::string_view content);

// Reads a date under the short date format, with an optional other order ("DMY", "YMD", ...) and
// separator. 0 when the text is empty or not a date; never fails.
std::int32_t ParseDateWithOrder(std::string_view text, std::string_view order,
                                std::optional<char> separator, const FormatSettings& settings,
                                int currentYear);

} // namespace kivo
