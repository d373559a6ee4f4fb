#pragma once
// The task file kivoklok.csv: the only stored form of the task table.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "algemeen/report.h"
#include "platform/files.h"
#include "platform/formatsettings.h"
#include "store/taskrecord.h"

namespace kivo {

class TMemTable;
class LogBook;

// What a read of the task file gave: the tasks of its lines in file order and, when a line did
// not read, its message. The tasks are then those of the lines before it.
struct TaskFileRead {
    std::vector<TaskRecord> tasks;
    std::optional<std::string> failure;
};

// The semicolon-separated format: header line, quoted values, escapes, null as nothing.
class TCSVStreamFormat {
public:
    explicit TCSVStreamFormat(const FormatSettings& settings);
    // The whole file content for the table in its current order.
    std::string Write(TMemTable& table) const;
    // The tasks of the content, each as a new task filled from its line. The first bad value
    // stops the read; a header that names no field fails before any task. Dates with a short year
    // are placed by the current year.
    TaskFileRead Read(std::string_view content, int currentYear) const;

private:
    const FormatSettings& settings_;
    FormatSettings fileSettings_; // the file's own time form: always ":" between hour and minute
};

class TaskFile {
public:
    TaskFile(TMemTable& table, const TCSVStreamFormat& format, FileSystem& files, LogBook& log,
             std::string appDir);
    std::string Path() const; // AppDir + "kivoklok.csv"
    // Where the file that did not load whole is kept before the first save overwrites it
    // (empty until then).
    const std::string& IncompleteCopyPath() const { return copyPath_; }
    // Failures are reported, not raised; a log that cannot be written escapes, after the load.
    // A file that exists but cannot be read leaves the table closed, so that no save replaces
    // it: RetryLoad then reads it later.
    void LoadTasks();
    // While the table is closed: reads the file again, quietly until it can be read. True when
    // the table is open.
    bool RetryLoad();
    // True when the file now holds the table. A closed table (the file never read) saves nothing.
    bool SaveTasks();
    // A save that failed is outstanding until one succeeds.
    bool SaveOutstanding() const { return saveOutstanding_; }
    // The outstanding save, tried again without a note or a box while it keeps failing; its
    // success is noted. True when nothing is outstanding any more.
    bool RetrySave();
    // The plain message box.
    ReportFn OnReport;

private:
    TMemTable& table_;
    const TCSVStreamFormat& format_;
    FileSystem& files_;
    LogBook& log_;
    std::string appDir_;
    bool loadIncomplete_ = false;
    std::string copyPath_;
    // The file as this program last read or wrote it (none: there was no file), once known.
    bool stampKnown_ = false;
    std::optional<FileStamp> stamp_;

    bool saveOutstanding_ = false;

    void Load(const std::string& content, bool exists);
    void Write();
    void KeepIncompleteFile();
    bool ChangedOnDisk() const;
    std::string KeepCopy(const std::string& baseName, const std::string& note);
};

} // namespace kivo
