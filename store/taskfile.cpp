#include "store/taskfile.h"

#include <exception>
#include <optional>

#include "logbook/outbox.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "store/memtable.h"

namespace kivo {

std::string WriteTable(const TCSVStreamFormat& format, const TMemTable& table) {
    const int count = table.TaskCount();
    std::string out;
    out.reserve(160 + static_cast<std::size_t>(count) * 128);
    format.AppendHeader(out);
    for (int i = 0; i < count; ++i) format.AppendRecord(out, table.TaskAt(i));
    return out;
}

TaskFile::TaskFile(TMemTable& table, const TCSVStreamFormat& format, FileSystem& files,
                   LogOutbox& log, std::string appDir)
    : table_(table), format_(format), files_(files), log_(log), appDir_(std::move(appDir)) {}

std::string TaskFile::Path() const {
    return appDir_ + "kivoklok.csv";
}

void TaskFile::LoadTasks() {
    log_.Note("Lees taken");
    const std::string path = Path();
    std::string content;
    bool exists = false;
    try {
        // Taken before the read: a change made while it runs counts as a change.
        stamp_ = files_.Stamp(path);
        stampKnown_ = true;
        exists = files_.Exists(path);
        if (exists) content = files_.ReadAll(path);
    } catch (const std::exception& e) {
        // Locked or refused: nothing of it is known, so the table stays closed and no save can
        // replace the user's file; the scheduler reads it again later.
        table_.CloseTable();
        stampKnown_ = false;
        log_.Note(std::string("leesCSVbestand: ") + e.what());
        if (OnReport) OnReport(e.what());
        return;
    }
    Load(content, exists);
}

bool TaskFile::RetryLoad() {
    if (table_.IsOpen()) return true;
    const std::string path = Path();
    std::string content;
    bool exists = false;
    std::optional<FileStamp> stamp;
    try {
        stamp = files_.Stamp(path);
        exists = files_.Exists(path);
        if (exists) content = files_.ReadAll(path);
    } catch (const std::exception&) {
        return false; // told at the first failure; still locked
    }
    stamp_ = stamp;
    stampKnown_ = true;
    log_.Note("Lees taken");
    Load(content, exists);
    return table_.IsOpen();
}

void TaskFile::Load(const std::string& content, bool exists) {
    loadIncomplete_ = false;
    bool reading = false;
    try {
        table_.CloseTable();
        table_.ClearTable();
        table_.OpenTable();
        if (exists) {
            reading = true;
            TaskFileRead read = format_.Read(content, table_.CurrentYear());
            // The tasks of the lines before a failing one stay, unsorted.
            table_.AppendFilled(std::move(read.tasks));
            if (read.failure) throw KivoError(*read.failure);
            reading = false;
        }
        if (table_.TaskCount() > 0) table_.SortByDescription();
    } catch (const std::exception& e) {
        // The table lacks tasks that are still in the file: keep that file before a save
        // overwrites it.
        if (reading) loadIncomplete_ = true;
        log_.Note(std::string("leesCSVbestand: ") + e.what());
        if (OnReport) OnReport(e.what());
    }
}

// Keeps the file that did not load whole beside it before the first save overwrites it.
// Without that copy the file is not overwritten either.
void TaskFile::KeepIncompleteFile() {
    if (!files_.Exists(Path())) {
        loadIncomplete_ = false;
        return;
    }
    copyPath_ = KeepCopy("kivoklok-onvolledig", "Taakbestand niet volledig gelezen");
    loadIncomplete_ = false;
}

// Whether the file is no longer as this program last read or wrote it: edited by hand, say.
bool TaskFile::ChangedOnDisk() const {
    if (!stampKnown_) return false;
    const std::optional<FileStamp> now = files_.Stamp(Path());
    return now && now != stamp_;
}

// Copies the task file beside it under a name not yet in use, so an older copy is never
// overwritten, and notes it in the log. Throws when no copy could be made.
std::string TaskFile::KeepCopy(const std::string& baseName, const std::string& note) {
    const std::string path = Path();
    std::string copy;
    for (int n = 1; n <= 1000; ++n) {
        // Built piece by piece: g++ 12 warns falsely (-Wrestrict) on "literal" + temporary.
        std::string candidate = appDir_ + baseName;
        if (n > 1) {
            candidate += '-';
            candidate += std::to_string(n);
        }
        candidate += ".csv";
        if (!files_.Exists(candidate)) {
            copy = candidate;
            break;
        }
    }
    if (copy.empty() || !files_.CopyIfAbsent(path, copy))
        throw KivoError("Kopie van het taakbestand niet gemaakt (\"" +
                        (copy.empty() ? appDir_ + baseName + ".csv" : copy) +
                        "\"); taakbestand niet opgeslagen");
    // The copy holds this state of the file: it is not copied again.
    stamp_ = files_.Stamp(path);
    stampKnown_ = true;
    log_.Note(note + "; kopie bewaard als " + copy);
    return copy;
}

bool TaskFile::SaveTasks() {
    if (!table_.IsOpen()) return false;
    log_.Note("Instelling opslaan");
    try {
        Write();
        return true;
    } catch (const std::exception& e) {
        log_.Note(std::string("SaveChanges: ") + e.what());
        if (OnReport) OnReport(e.what());
        return false;
    }
}

bool TaskFile::RetrySave() {
    if (!saveOutstanding_) return true;
    if (!table_.IsOpen()) return false;
    try {
        Write();
    } catch (const std::exception&) {
        return false; // noted and shown at its first failure
    }
    log_.Note("Instelling opslaan");
    return true;
}

// Outstanding until the file holds the table. A pending change stays pending: an edit that is
// still open is no part of what is saved.
void TaskFile::Write() {
    saveOutstanding_ = true;
    if (table_.TaskCount() > 0) table_.SortStored();
    std::string content = WriteTable(format_, table_);
    if (loadIncomplete_)
        KeepIncompleteFile();
    else if (ChangedOnDisk())
        KeepCopy("kivoklok-gewijzigd", "Taakbestand buiten het programma gewijzigd");
    files_.ReplaceAll(Path(), content);
    stamp_ = files_.Stamp(Path());
    stampKnown_ = true;
    saveOutstanding_ = false;
}

} // namespace kivo
