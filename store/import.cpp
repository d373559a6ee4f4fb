#include "store/import.h"

#include <exception>
#include <optional>
#include <set>
#include <utility>

#include "algemeen/errors.h"
#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/timercontrol.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "store/taskrecord.h"

namespace kivo {

namespace {

constexpr char CtrlZ = '\x1a';
constexpr int ImportWaitMs = 1000; // gives the producer time to finish writing

} // namespace

ImportLineReader::ImportLineReader(std::string_view content)
    : content_(content.substr(0, content.find(CtrlZ))) {}

std::string ImportLineReader::ReadLine() {
    std::string line;
    bool ended = false; // a NUL ends the text; the line itself runs on to its break
    const std::size_t size = content_.size();
    while (pos_ < size) {
        const char c = content_[pos_++];
        if (c == '\n') break;
        if (c == '\r') {
            if (pos_ < size && content_[pos_] == '\n') {
                ++pos_;
                break;
            }
            continue; // a lone CR is dropped
        }
        if (c == '\0') ended = true;
        if (!ended && line.size() < MaxLine) line += c;
    }
    return line;
}

std::vector<ImportRecord> ReadImportRecords(std::string_view content,
                                            const FormatSettings& settings) {
    std::vector<ImportRecord> records;
    ImportLineReader reader(content);
    std::string line = reader.ReadLine();
    while (!reader.Eof()) {
        if (IsManagedTask(line)) {
            ImportRecord record;
            record.omschrijving = std::move(line);
            record.starttijd = SafeStrToTime(reader.ReadLine(), settings);
            record.frekwentie = SafeStrToInt(reader.ReadLine());
            record.programma = reader.ReadLine();
            record.werkdirectory = reader.ReadLine();
            records.push_back(std::move(record));
        }
        line = reader.ReadLine();
    }
    return records;
}

TaskImporter::TaskImporter(TMemTable& table, TaskFile& taskFile, LogBook& log, FileSystem& files,
                           Clock& clock, const FormatSettings& settings, std::string appDir,
                           std::string firstLocation)
    : table_(table), taskFile_(taskFile), log_(log), files_(files), clock_(clock),
      settings_(settings), appDir_(std::move(appDir)), firstLocation_(std::move(firstLocation)) {}

std::string TaskImporter::ChoosePath() const {
    constexpr std::size_t MaxPath = 255;
    std::string first = firstLocation_.substr(0, MaxPath);
    if (files_.Exists(first)) return first;
    std::string second = (appDir_ + "kivoklok.tkn").substr(0, MaxPath);
    if (files_.Exists(second)) return second;
    return std::string();
}

void TaskImporter::ImportTasks() {
    const std::string path = ChoosePath();
    if (path.empty()) return;

    // The start-up timer's state before the import; it is set back last, after a failure has
    // been reported, and also when the failure note itself cannot be written.
    std::optional<bool> opstartWasEnabled;
    auto restoreOpstart = [&] {
        if (OpstartTimer && opstartWasEnabled) OpstartTimer->SetEnabled(*opstartWasEnabled);
    };
    try {
        log_.WriteLog(LogNote, "Importeer taken");
        if (OpstartTimer) {
            opstartWasEnabled = OpstartTimer->Enabled();
            OpstartTimer->SetEnabled(false);
        }
        clock_.Sleep(ImportWaitMs);
        std::optional<std::string> content;
        try {
            content = files_.ReadAll(path);
        } catch (const FileOpenError&) {
            // Still held by its writer, or gone: the next call tries again.
        }
        if (content) {
            const std::set<std::string> imported = Merge(ReadImportRecords(*content, settings_));
            files_.Delete(path); // a file that stays is simply imported again next time
            RemoveUnlisted(imported);
            taskFile_.SaveTasks();
        }
    } catch (const std::exception& e) {
        // The record that failed half-way is dropped whole; the file stays and brings it back.
        try {
            if (table_.IsPending()) table_.CancelTask();
        } catch (const std::exception&) {
        }
        try {
            log_.WriteLog(LogNote, std::string("leeskivotaken: ") + e.what());
        } catch (...) {
            restoreOpstart();
            throw;
        }
        if (OnReport) OnReport(e.what());
    }
    restoreOpstart();
}

std::set<std::string> TaskImporter::Merge(const std::vector<ImportRecord>& records) {
    std::set<std::string> imported; // the upper-cased descriptions read
    const auto limit = static_cast<std::size_t>(FieldLimit(Field::Omschrijving));
    for (const ImportRecord& record : records) {
        // A description whose marker lies beyond what the field keeps would be stored as a task
        // of the user's, which no later import could find or remove: such a record is passed
        // over.
        if (!IsManagedTask(std::string_view(record.omschrijving).substr(0, limit))) continue;
        if (table_.LocateDescription(record.omschrijving))
            table_.EditCurrent();
        else
            table_.AppendTask();
        table_.SetString(Field::Omschrijving, record.omschrijving);
        imported.insert(UpperAZ(record.omschrijving));
        table_.SetDateTime(Field::Starttijd, record.starttijd);
        table_.SetInteger(Field::Frekwentie, record.frekwentie);
        table_.SetString(Field::Programma, record.programma);
        table_.SetString(Field::Werkdirectory, record.werkdirectory);
        table_.PostTask();
    }
    return imported;
}

// The file is the complete list of managed tasks: those it does not name go.
void TaskImporter::RemoveUnlisted(const std::set<std::string>& imported) {
    if (table_.TaskCount() == 0) return;
    table_.SortByDescription();
    table_.GotoFirst();
    while (!table_.AtEnd()) {
        const std::string omschrijving = table_.AsString(Field::Omschrijving);
        if (IsManagedTask(omschrijving) && imported.count(UpperAZ(omschrijving)) == 0)
            table_.DeleteCurrent();
        else
            table_.GotoNext();
    }
}

} // namespace kivo
