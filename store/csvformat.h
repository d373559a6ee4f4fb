#pragma once
// The task file's format: a header line of field names, then one line per task of quoted values
// with escapes, null as nothing. Text in, records out, and back; no files and no table.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/formatsettings.h"
#include "store/taskrecord.h"

namespace kivo {

// What a read of the task file gave: the tasks of its lines in file order and, when a line did
// not read, its message. The tasks are then those of the lines before it.
struct TaskFileRead {
    std::vector<TaskRecord> tasks;
    std::optional<std::string> failure;
};

class TCSVStreamFormat {
public:
    explicit TCSVStreamFormat(const FormatSettings& settings);
    // The whole file content for these tasks in this order.
    std::string Write(std::span<const TaskRecord> tasks) const;
    // The same in pieces, for a writer that walks its own rows: the header line, then one line
    // per task.
    void AppendHeader(std::string& out) const;
    void AppendRecord(std::string& out, const TaskRecord& task) const;
    // The tasks of the content, each as a new task filled from its line. The first bad value
    // stops the read; a header that names no field fails before any task. Dates with a short year
    // are placed by the current year.
    TaskFileRead Read(std::string_view content, int currentYear) const;

private:
    const FormatSettings& settings_;
    FormatSettings fileSettings_; // the file's own time form: always ":" between hour and minute
};

} // namespace kivo
