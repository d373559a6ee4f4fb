#include "store/import.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "algemeen/scopeexit.h"
#include "algemeen/text.h"
#include "logbook/outbox.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/timercontrol.h"
#include "store/memtable.h"
#include "store/taskfile.h"
#include "store/taskrecord.h"

namespace kivo {

namespace {

constexpr char CtrlZ = '\x1a';
constexpr int ImportWaitMs = 1000; // gives the producer time to finish writing

std::string NoRecordMessage(const std::string& path) {
    return "Importbestand \"" + path + "\" bevat geen volledige taak";
}

} // namespace

ImportLineReader::ImportLineReader(std::string_view content)
    : buffer_(content.substr(0, content.find(CtrlZ))), ended_(true) {
    sawText_ = std::any_of(buffer_.begin(), buffer_.end(),
                           [](char c) { return static_cast<unsigned char>(c) > ' '; });
}

ImportLineReader::ImportLineReader(FileReader& file) : file_(&file) {}

bool ImportLineReader::Fill() {
    if (pos_ < buffer_.size()) return true;
    if (ended_) return false;
    constexpr std::size_t Piece = 64 * 1024;
    buffer_.resize(Piece);
    buffer_.resize(file_->Read(buffer_.data(), Piece));
    pos_ = 0;
    if (buffer_.empty()) ended_ = true;
    if (auto z = buffer_.find(CtrlZ); z != std::string::npos) {
        buffer_.resize(z);
        ended_ = true;
    }
    if (!sawText_)
        sawText_ = std::any_of(buffer_.begin(), buffer_.end(),
                               [](char c) { return static_cast<unsigned char>(c) > ' '; });
    return !buffer_.empty();
}

std::string ImportLineReader::ReadLine() {
    std::string line;
    bool full = false; // a NUL ends the text, and so does the limit; the line runs on to its break
    while (Fill()) {
        if (full) {
            // The rest of the line is skipped: straight to its LF (a CR before it goes anyway).
            const std::size_t lf = buffer_.find('\n', pos_);
            pos_ = lf == std::string::npos ? buffer_.size() : lf + 1;
            if (lf != std::string::npos) break;
            continue;
        }
        const char c = buffer_[pos_++];
        if (c == '\n') break;
        if (c == '\r') {
            if (Fill() && buffer_[pos_] == '\n') {
                ++pos_;
                break;
            }
            continue; // a lone CR is dropped
        }
        if (c == '\0') {
            full = true;
            continue;
        }
        line += c;
        if (line.size() >= MaxLine) full = true;
    }
    return line;
}

void ReadImportRecords(ImportLineReader& reader, const FormatSettings& settings,
                       const std::function<void(ImportRecord&)>& visit) {
    std::string line = reader.ReadLine();
    while (!reader.Eof()) {
        if (IsManagedTask(line)) {
            ImportRecord record;
            record.omschrijving = std::move(line);
            record.starttijd = SafeStrToTime(reader.ReadLine(), settings);
            record.frekwentie = SafeStrToInt(reader.ReadLine());
            record.programma = reader.ReadLine();
            record.complete = !reader.Eof();
            record.werkdirectory = reader.ReadLine();
            visit(record);
        }
        line = reader.ReadLine();
    }
}

std::vector<ImportRecord> ReadImportRecords(std::string_view content,
                                            const FormatSettings& settings) {
    std::vector<ImportRecord> records;
    ImportLineReader reader(content);
    ReadImportRecords(reader, settings,
                      [&records](ImportRecord& record) { records.push_back(std::move(record)); });
    return records;
}

TaskImporter::TaskImporter(TMemTable& table, TaskFile& taskFile, LogOutbox& log, FileSystem& files,
                           Clock& clock, const FormatSettings& settings, std::string appDir,
                           std::string firstLocation)
    : table_(table), taskFile_(taskFile), log_(log), files_(files), clock_(clock),
      settings_(settings), appDir_(std::move(appDir)), firstLocation_(std::move(firstLocation)) {}

std::string TaskImporter::ChoosePath() const {
    // Not cut to 255 characters: a program in a deep folder must find its import file too.
    if (files_.Exists(firstLocation_)) return firstLocation_;
    std::string second = appDir_ + "kivoklok.tkn";
    if (files_.Exists(second)) return second;
    return std::string();
}

void TaskImporter::ImportTasks() {
    const std::string path = ChoosePath();
    if (path.empty()) return;

    // The start-up timer's state before the import; it is set back last, after a failure has
    // been reported, and also when the failure note itself cannot be written.
    std::optional<bool> opstartWasEnabled;
    ScopeExit restoreOpstart([&] {
        if (OpstartTimer && opstartWasEnabled) OpstartTimer->SetEnabled(*opstartWasEnabled);
    });
    try {
        log_.Note("Importeer taken");
        if (OpstartTimer) {
            opstartWasEnabled = OpstartTimer->Enabled();
            OpstartTimer->SetEnabled(false);
        }
        clock_.Sleep(ImportWaitMs);
        std::unique_ptr<FileReader> file;
        try {
            file = files_.OpenRead(path);
        } catch (const FileOpenError&) {
            // Still held by its writer, or gone: the next call tries again.
        }
        if (file) {
            std::set<std::string> imported;
            bool whole = false; // a record with all its lines was read
            ImportLineReader reader(*file);
            {
                // The records are found through an index and sorted in once, not one by one.
                table_.BeginBulk();
                ScopeExit endBulk([this] { table_.EndBulk(); });
                ReadImportRecords(reader, settings_, [&](const ImportRecord& record) {
                    // Only the last record can be cut short: alone, it is no list of tasks.
                    if (!record.complete && !whole) throw KivoError(NoRecordMessage(path));
                    whole = true;
                    Merge(record, imported);
                });
            }
            // Text without a single record is a damaged file, not an empty list.
            if (!whole && reader.SawText()) throw KivoError(NoRecordMessage(path));
            file.reset(); // closed, so that it can be deleted
            RemoveUnlisted(imported);
            // Deleted only once its tasks are stored: a failed save leaves it for the next call.
            if (taskFile_.SaveTasks()) files_.Delete(path);
        }
    } catch (const std::exception& e) {
        // The record that failed half-way is dropped whole; the file stays and brings it back.
        try {
            if (table_.IsPending()) table_.CancelTask();
        } catch (const std::exception&) {
        }
        log_.Note(std::string("leeskivotaken: ") + e.what());
        if (OnReport) OnReport(e.what());
    }
}

// imported: the upper-cased descriptions read so far.
void TaskImporter::Merge(const ImportRecord& record, std::set<std::string>& imported) {
    // A description whose marker lies beyond what the field keeps would be stored as a task of
    // the user's, which no later import could find or remove: such a record is passed over.
    const auto limit = static_cast<std::size_t>(FieldLimit(Field::Omschrijving));
    if (!IsManagedTask(std::string_view(record.omschrijving).substr(0, limit))) return;
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

// The file is the complete list of managed tasks: those it does not name go.
void TaskImporter::RemoveUnlisted(const std::set<std::string>& imported) {
    if (table_.TaskCount() == 0) return;
    table_.SortByDescription();
    table_.DeleteWhere([&](const TaskRecord& task) {
        const std::string omschrijving = task.Omschrijving.value_or("");
        return IsManagedTask(omschrijving) && imported.count(UpperAZ(omschrijving)) == 0;
    });
}

} // namespace kivo
