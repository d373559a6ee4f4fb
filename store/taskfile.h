#pragma once
// The task file kivoklok.csv, the only stored form of the task table: when it is read, the
// copies kept of it, the saves and their retries. Its format is store/csvformat.h.
#include <optional>
#include <string>

#include "algemeen/report.h"
#include "platform/files.h"
#include "store/csvformat.h"

namespace kivo {

class TMemTable;
class LogOutbox;

// The file content for the table's stored tasks in their current order; a pending change is
// no part of it.
std::string WriteTable(const TCSVStreamFormat& format, const TMemTable& table);

class TaskFile {
public:
    TaskFile(TMemTable& table, const TCSVStreamFormat& format, FileSystem& files, LogOutbox& log,
             std::string appDir);
    std::string Path() const; // AppDir + "kivoklok.csv"
    // Where the file that did not load whole is kept before the first save overwrites it
    // (empty until then).
    const std::string& IncompleteCopyPath() const { return copyPath_; }
    // Failures are reported, not raised. A file that exists but cannot be read leaves the table
    // closed, so that no save replaces it: RetryLoad then reads it later.
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
    LogOutbox& log_;
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
