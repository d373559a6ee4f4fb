#pragma once
// The import file kivoklok.tkn, through which another program supplies the managed tasks: five
// lines per task, merged into the table, after which the file is deleted.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "algemeen/datetime.h"
#include "algemeen/report.h"
#include "platform/formatsettings.h"

namespace kivo {

class TMemTable;
class TaskFile;
class LogOutbox;
class FileSystem;
class FileReader;
class Clock;
class TimerControl;

// Reads the file's lines the way the producer of the file expects: a line ends at LF or CR LF; a
// CR not followed by LF is dropped; a Ctrl-Z ends the file; a line keeps at most 255 characters
// and the rest of it is skipped; a NUL ends the text of its line as it ends any stored text;
// reading past the end gives empty lines.
class ImportLineReader {
public:
    static constexpr std::size_t MaxLine = 255;
    explicit ImportLineReader(std::string_view content);
    // Reads an open file a piece at a time: one piece and one line are held, whatever the size.
    explicit ImportLineReader(FileReader& file);
    std::string ReadLine();
    bool Eof() { return !Fill(); }
    // Whether what was read so far holds anything but blanks, control characters and line ends.
    bool SawText() const { return sawText_; }

private:
    bool Fill(); // true when a character is waiting at pos_

    FileReader* file_ = nullptr;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool ended_ = false; // nothing more comes after the buffer
    bool sawText_ = false;
};

// One five-line record, converted as the import assigns it.
struct ImportRecord {
    std::string omschrijving;    // the marker line
    TDateTime starttijd = 0;     // SafeStrToTime of line 2: 00:00 when it is not a time
    std::int32_t frekwentie = 0; // SafeStrToInt of line 3: 0 unless all digits
    std::string programma;
    std::string werkdirectory;
    bool complete = false; // all five lines were in the file; only the last record can lack some
};

// Hands over the records in file order as they are read. The end-of-file test follows each line
// read, so the last line of the file is never looked at for the marker. Fails only when the file
// does.
void ReadImportRecords(ImportLineReader& reader, const FormatSettings& settings,
                       const std::function<void(ImportRecord&)>& visit);
std::vector<ImportRecord> ReadImportRecords(std::string_view content,
                                            const FormatSettings& settings);

class TaskImporter {
public:
    static constexpr const char* FixedLocation = "c:\\kivoklok.tkn";

    // The file is looked for at firstLocation, else at appDir + "kivoklok.tkn".
    TaskImporter(TMemTable& table, TaskFile& taskFile, LogOutbox& log, FileSystem& files,
                 Clock& clock, const FormatSettings& settings, std::string appDir,
                 std::string firstLocation = FixedLocation);

    // The path that the next import would read; empty when no import file exists.
    std::string ChoosePath() const;

    // Merges a waiting import file: updates and adds the tasks it lists, deletes the managed tasks
    // it no longer lists, saves and deletes the file once the save has stored its tasks. A file
    // that cannot be opened (its writer still holds it) is left for the next call without a
    // word. A file with text but no whole record fails, so that a damaged file cannot remove the
    // managed tasks; an empty one (or one of blanks and line ends only) removes them. Failures
    // are logged as "leeskivotaken: " + message and reported; the file then stays. Only a failure
    // to write the log escapes.
    void ImportTasks();

    // The start-up timer of the main window, disabled during an import and set back afterwards;
    // may stay null.
    TimerControl* OpstartTimer = nullptr;
    // The plain message box.
    ReportFn OnReport;

private:
    TMemTable& table_;
    TaskFile& taskFile_;
    LogOutbox& log_;
    FileSystem& files_;
    Clock& clock_;
    const FormatSettings& settings_;
    std::string appDir_;
    std::string firstLocation_;

    void Merge(const ImportRecord& record, std::set<std::string>& imported);
    void RemoveUnlisted(const std::set<std::string>& imported);
};

} // namespace kivo
