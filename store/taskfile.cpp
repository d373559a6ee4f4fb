#include "store/taskfile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "store/fields.h"
#include "store/memtable.h"
#include "store/taskrecord.h"

namespace kivo {

namespace {

bool IsBreak(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// Where the next CR, LF or NUL lies at or after pos; the size when there is none.
std::size_t FindBreak(std::string_view content, std::size_t pos) {
    const char* data = content.data();
    const std::size_t n = content.size();
    for (;;) {
        // Eight bytes at a time: a word with no byte below 14 holds no break.
        while (pos + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, data + pos, 8);
            if (((word - 0x0E0E0E0E0E0E0E0EULL) & ~word & 0x8080808080808080ULL) != 0) break;
            pos += 8;
        }
        const std::size_t stop = pos + 8 <= n ? pos + 8 : n;
        for (; pos < stop; ++pos)
            if (IsBreak(data[pos])) return pos;
        if (pos >= n) return n;
    }
}

// Lines end at CR, LF or NUL; a run of them is one break, so no line is empty. Breaks before
// the first line are skipped too: a file that starts with an empty line still has its header.
class LineReader {
public:
    explicit LineReader(std::string_view content) : content_(content) { SkipBreaks(); }
    // At most how many lines are left: the LFs that end a line which is not empty. Files
    // with CR alone as line end give fewer.
    std::size_t CountRest() const {
        std::size_t count = 0;
        const char* data = content_.data();
        const std::size_t n = content_.size();
        for (std::size_t i = pos_; i < n; ++i) {
            const void* lf = std::memchr(data + i, '\n', n - i);
            if (!lf) break;
            i = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
            std::size_t before = i;
            if (before > pos_ && data[before - 1] == '\r') --before;
            if (before > pos_ && !IsBreak(data[before - 1])) ++count;
        }
        return count;
    }
    bool Next(std::string_view& line) {
        if (pos_ >= content_.size()) return false;
        const std::size_t start = pos_;
        pos_ = FindBreak(content_, pos_);
        line = content_.substr(start, pos_ - start);
        SkipBreaks();
        return true;
    }

private:
    void SkipBreaks() {
        while (pos_ < content_.size() && IsBreak(content_[pos_])) ++pos_;
    }
    std::string_view content_;
    std::size_t pos_ = 0;
};

// Takes one value from the line at pos into text; true when it was quoted. An unquoted empty
// value (a ";" right away) is null. A quoted value without its closing quote runs to the end of
// the line. The text is a view into the line, or into scratch when doubled quotes were undone.
bool NextValue(std::string_view line, std::size_t& pos, std::string_view& text,
               std::string& scratch) {
    const std::size_t n = line.size();
    if (line[pos] == '"') {
        ++pos;
        std::size_t quote = line.find('"', pos);
        if (quote == std::string_view::npos) {
            text = line.substr(pos);
            pos = n;
            return true;
        }
        if (quote + 1 >= n || line[quote + 1] != '"') {
            text = line.substr(pos, quote - pos);
            pos = quote + 1;
            if (pos < n) ++pos; // the character after the closing quote, normally ";"
            return true;
        }
        scratch.clear();
        while (pos < n) {
            quote = line.find('"', pos);
            if (quote == std::string_view::npos) {
                scratch.append(line.substr(pos));
                pos = n;
                break;
            }
            scratch.append(line.substr(pos, quote - pos));
            if (quote + 1 < n && line[quote + 1] == '"') {
                scratch += '"';
                pos = quote + 2;
                continue;
            }
            pos = quote + 1;
            if (pos < n) ++pos;
            break;
        }
        text = scratch;
        return true;
    }
    if (line[pos] == ';') {
        ++pos;
        text = std::string_view();
        return false;
    }
    std::size_t end = line.find(';', pos);
    if (end == std::string_view::npos) end = n;
    text = line.substr(pos, end - pos);
    pos = end < n ? end + 1 : n;
    return false;
}

// "%%", "%c", "%n" and "%0" stand for "%", CR, LF and NUL. Any other "%" (before another
// character or at the end) is kept as it is: hand-written text such as "50% korting" survives.
// Gives the text itself when it holds no "%", else the unescaped form in scratch.
std::string_view Unescape(std::string_view text, std::string& scratch) {
    std::size_t percent = text.find('%');
    if (percent == std::string_view::npos) return text;
    scratch.assign(text.substr(0, percent));
    for (std::size_t i = percent; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size()) {
            char plain = 0;
            bool known = true;
            switch (text[i + 1]) {
            case '%':
                plain = '%';
                break;
            case 'c':
                plain = '\r';
                break;
            case 'n':
                plain = '\n';
                break;
            case '0':
                plain = '\0';
                break;
            default:
                known = false;
                break;
            }
            if (known) {
                scratch += plain;
                ++i;
                continue;
            }
        }
        scratch += text[i];
    }
    return scratch;
}

// Characters that are written in a second form: 1 always (the quote), 2 in escaped text.
constexpr std::array<unsigned char, 256> SpecialChars = [] {
    std::array<unsigned char, 256> table{};
    table[static_cast<unsigned char>('"')] = 1;
    for (char c : {'%', '\r', '\n', '\0'}) table[static_cast<unsigned char>(c)] = 2;
    return table;
}();

void AppendQuoted(std::string& out, std::string_view value, bool escapes) {
    out += '"';
    // Plain stretches go in whole; only the characters that need a second form are looked at.
    const unsigned char mask = escapes ? 3 : 1;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if ((SpecialChars[static_cast<unsigned char>(c)] & mask) == 0) continue;
        out.append(value.data() + plain, i - plain);
        plain = i + 1;
        if (c == '"') {
            out += "\"\"";
        } else {
            out += '%';
            out += c == '%' ? '%' : c == '\r' ? 'c' : c == '\n' ? 'n' : '0';
        }
    }
    out.append(value.data() + plain, value.size() - plain);
    out += '"';
}

std::optional<Field> FieldOfColumn(std::string_view name) {
    for (const FieldRule& rule : FieldRules)
        if (SameTextAZ(name, rule.name)) return rule.field;
    return std::nullopt;
}

} // namespace

TCSVStreamFormat::TCSVStreamFormat(const FormatSettings& settings)
    : settings_(settings), fileSettings_(settings) {
    fileSettings_.timeSeparator = ':';
}

std::string TCSVStreamFormat::Write(TMemTable& table) const {
    const int count = table.TaskCount();
    std::string out;
    out.reserve(160 + static_cast<std::size_t>(count) * 128);
    for (const FieldRule& rule : FieldRules) {
        AppendQuoted(out, rule.name, false);
        out += ';';
    }
    out += "\r\n";
    for (int i = 0; i < count; ++i) {
        const TaskRecord& rec = table.TaskAt(i);
        for (const FieldRule& rule : FieldRules) {
            // Texts go with their escapes; the other fields in their text form, the time always
            // with ":" whatever the user's separator, so the file loads under any settings.
            switch (rule.kind) {
            case FieldKind::Text:
                if (rec.*rule.text) AppendQuoted(out, *(rec.*rule.text), true);
                break;
            case FieldKind::Boolean:
                if (rec.*rule.flag) AppendQuoted(out, *(rec.*rule.flag) ? "True" : "False", false);
                break;
            default:
                if (!IsNullField(rec, rule.field))
                    AppendQuoted(out, FieldText(rec, rule.field, fileSettings_), false);
                break;
            }
            out += ';';
        }
        out += "\r\n";
    }
    return out;
}

void TCSVStreamFormat::Read(std::string_view content, TMemTable& table) const {
    // A UTF-8 byte-order mark is no part of the first column's name.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    LineReader lines(content);
    std::string_view line;
    std::string_view value;
    std::string quoteScratch;
    std::string escapeScratch;
    std::vector<std::optional<Field>> columns;

    // The header: the first line that is no version line and lies in no table definition.
    bool inTableDef = false;
    bool haveHeader = false;
    while (!haveHeader && lines.Next(line)) {
        std::size_t pos = 0;
        NextValue(line, pos, value, quoteScratch);
        if (inTableDef) {
            if (value == "@@TABLEDEF END@@") inTableDef = false;
            continue;
        }
        if (value == "@@FILE VERSION@@") continue;
        if (value == "@@TABLEDEF START@@") {
            inTableDef = true;
            continue;
        }
        haveHeader = true;
        columns.push_back(FieldOfColumn(value));
        while (pos < line.size()) {
            NextValue(line, pos, value, quoteScratch);
            columns.push_back(FieldOfColumn(value));
        }
    }
    if (!haveHeader) return;
    // Without a header every task would be read into no field, and the first taken for it.
    if (std::none_of(columns.begin(), columns.end(), [](const auto& c) { return c.has_value(); }))
        throw KivoError("De kopregel van het taakbestand noemt geen enkel veld");

    const std::size_t rest = lines.CountRest();
    table.ReserveTasks(static_cast<int>(std::min<std::size_t>(rest, 1 << 20)));
    // Each task is built whole, then stored: the same rules as a new task filled field by field,
    // without the pending-change round trip per field. The year is asked once per file.
    std::optional<int> year;
    while (lines.Next(line)) {
        try {
            // Whatever was pending is settled first, as a new task would settle it.
            table.SettlePending();
            TaskRecord task = NewTask();
            std::size_t pos = 0;
            for (std::size_t col = 0; col < columns.size() && pos < line.size(); ++col) {
                bool quoted = NextValue(line, pos, value, quoteScratch);
                if (!columns[col]) continue;
                Field field = *columns[col];
                const FieldRule& rule = RuleOf(field);
                if (!quoted && value.empty()) {
                    ClearField(task, field);
                } else if (rule.kind == FieldKind::Text) {
                    AssignTextValue(task, rule, Unescape(value, escapeScratch));
                } else if (rule.kind == FieldKind::Boolean) {
                    // The file knows only "True"; anything else reads as false.
                    AssignFieldBoolean(task, field, value == "True");
                } else if (field == Field::Starttijd && !value.empty()) {
                    // The file's ":" first, then the user's own separator.
                    auto time = TryStrToTime(value, fileSettings_);
                    if (!time) time = TryStrToTime(value, settings_);
                    if (!time) throw KivoError("'" + std::string(value) + "' is not a valid time");
                    AssignFieldDateTime(task, field, *time);
                } else {
                    if (field == Field::Laatstekeer && !value.empty() && !year)
                        year = table.CurrentYear();
                    AssignFieldText(task, field, value, table.Settings(),
                                    YearSource{nullptr, year.value_or(0)});
                }
            }
            table.AppendFilled(std::move(task));
        } catch (...) {
            // The task of a line that does not read is not kept half-filled.
            table.CancelTask();
            throw;
        }
    }
}

TaskFile::TaskFile(TMemTable& table, const TCSVStreamFormat& format, FileSystem& files,
                   LogBook& log, std::string appDir)
    : table_(table), format_(format), files_(files), log_(log), appDir_(std::move(appDir)) {}

std::string TaskFile::Path() const {
    return appDir_ + "kivoklok.csv";
}

void TaskFile::LoadTasks() {
    // A log that cannot be written does not keep the tasks from loading.
    std::exception_ptr noteFailure;
    try {
        log_.WriteLog(LogNote, "Lees taken");
    } catch (const std::exception&) {
        noteFailure = std::current_exception();
    }
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
        log_.WriteLog(LogNote, std::string("leesCSVbestand: ") + e.what());
        if (OnReport) OnReport(e.what());
        if (noteFailure) std::rethrow_exception(noteFailure);
        return;
    }
    Load(content, exists);
    if (noteFailure) std::rethrow_exception(noteFailure);
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
    log_.WriteLog(LogNote, "Lees taken");
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
            format_.Read(content, table_);
            reading = false;
        }
        if (table_.TaskCount() > 0) table_.SortByDescription();
    } catch (const std::exception& e) {
        // The table lacks tasks that are still in the file: keep that file before a save
        // overwrites it.
        if (reading) loadIncomplete_ = true;
        log_.WriteLog(LogNote, std::string("leesCSVbestand: ") + e.what());
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
    log_.WriteLog(LogNote, note + "; kopie bewaard als " + copy);
    return copy;
}

bool TaskFile::SaveTasks() {
    if (!table_.IsOpen()) return false;
    log_.WriteLog(LogNote, "Instelling opslaan");
    try {
        Write();
        return true;
    } catch (const std::exception& e) {
        log_.WriteLog(LogNote, std::string("SaveChanges: ") + e.what());
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
    log_.WriteLog(LogNote, "Instelling opslaan");
    return true;
}

// Outstanding until the file holds the table. A pending change stays pending: an edit that is
// still open is no part of what is saved.
void TaskFile::Write() {
    saveOutstanding_ = true;
    if (table_.TaskCount() > 0) table_.SortStored();
    std::string content = format_.Write(table_);
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
