#include "store/taskfile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "algemeen/text.h"
#include "logbook/logbook.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "store/fields.h"
#include "store/memtable.h"
#include "store/taskrecord.h"

namespace kivo {

namespace {

// How the reader sees a character: where a line or a value may end, or what may need undoing.
enum CharKind : unsigned char { Plain, LineBreak, Delimiter, Quote, Percent };

constexpr std::array<unsigned char, 256> KindOf = [] {
    std::array<unsigned char, 256> kinds{};
    for (char c : {'\r', '\n', '\0'}) kinds[static_cast<unsigned char>(c)] = LineBreak;
    kinds[static_cast<unsigned char>(';')] = Delimiter;
    kinds[static_cast<unsigned char>('"')] = Quote;
    kinds[static_cast<unsigned char>('%')] = Percent;
    return kinds;
}();

CharKind Kind(char c) {
    return static_cast<CharKind>(KindOf[static_cast<unsigned char>(c)]);
}

bool IsBreak(char c) {
    return Kind(c) == LineBreak;
}

// The first character at or after p at which a value may end, and its kind: a line break (also
// for end, when there is none), ";", the double quote, or another control character, which is
// plain text. Notes whether a "%" comes before it, which may need undoing. Sixteen bytes at a
// time where the processor has SSE2, as every x86-64 has: a loop over single bytes cost more
// than the rest of the reading.
[[gnu::always_inline]] inline const char* FindValueEnd(const char* p, const char* end,
                                                       CharKind& kind, bool& percent) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        auto maskOf = [&](char c) {
            return static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
        };
        const unsigned controls = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(13)), bytes)));
        const unsigned quotes = maskOf('"');
        const unsigned semicolons = maskOf(';');
        const unsigned percents = maskOf('%');
        const unsigned stops = controls | quotes | semicolons;
        if (stops != 0) {
            const unsigned first = stops & (0u - stops);
            if ((percents & (first - 1)) != 0) percent = true;
            p += std::countr_zero(stops);
            kind = (quotes & first) ? Quote : (semicolons & first) ? Delimiter : Kind(*p);
            return p;
        }
        if (percents != 0) percent = true;
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        kind = Kind(*p);
        if (kind == Percent)
            percent = true;
        else if (kind != Plain)
            return p;
    }
    kind = LineBreak;
    return end;
}

// Where the next CR, LF or NUL lies at or after p; end when there is none.
const char* FindBreak(const char* p, const char* end) {
    for (;;) {
        // Eight bytes at a time: a word with no byte below 14 holds no break.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (((word - 0x0E0E0E0E0E0E0E0EULL) & ~word & 0x8080808080808080ULL) != 0) break;
            p += 8;
        }
        const char* stop = end - p >= 8 ? p + 8 : end;
        for (; p < stop; ++p)
            if (IsBreak(*p)) return p;
        if (p >= end) return end;
    }
}

// Lines end at CR, LF or NUL; a run of them is one break, so no line is empty. Breaks before
// the first line are skipped too: a file that starts with an empty line still has its header.
const char* SkipBreaks(const char* p, const char* end) {
    while (p < end && IsBreak(*p)) ++p;
    return p;
}

// How many lines start at or after p, to make room for their tasks: the LFs that end a line
// which is not empty. Files with CR alone as line end count fewer.
std::size_t CountLines(const char* p, const char* end) {
    const char* const begin = p;
    std::size_t count = 0;
    while (p < end) {
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!lf) break;
        const char* before = static_cast<const char*>(lf);
        if (before > begin && before[-1] == '\r') --before;
        if (before > begin && !IsBreak(before[-1])) ++count;
        p = static_cast<const char*>(lf) + 1;
    }
    return count;
}

// One value of a line, its doubled quotes undone.
struct Value {
    std::string_view text; // into the content, or into the scratch text when quotes were undone
    bool quoted = false;
    bool percent = false; // holds a "%": escapes may need undoing
};

// Takes the value that starts at p (before end, at no line break) and returns where the next one
// starts: past the ";" that ends it, or at the end of the line. An unquoted empty value (a ";"
// right away) is null. A quoted value runs to the next quote that is not doubled, ";" included;
// without its closing quote it runs to the end of the line. The character after the closing
// quote is skipped, normally the ";".
[[gnu::always_inline]] inline const char* TakeValue(const char* p, const char* end, Value& value,
                                                    std::string& scratch) {
    value.percent = false;
    value.quoted = *p == '"';
    if (!value.quoted) {
        const char* const start = p;
        for (CharKind kind;; ++p) {
            p = FindValueEnd(p, end, kind, value.percent);
            if (kind == LineBreak) break;
            if (kind == Delimiter) {
                value.text = std::string_view(start, static_cast<std::size_t>(p - start));
                return p + 1;
            }
        }
        value.text = std::string_view(start, static_cast<std::size_t>(p - start));
        return p;
    }
    const char* start = ++p;
    bool undone = false; // the text is in scratch
    auto take = [&](const char* stop) {
        const std::size_t length = static_cast<std::size_t>(stop - start);
        if (undone) {
            scratch.append(start, length);
            value.text = scratch;
        } else {
            value.text = std::string_view(start, length);
        }
    };
    for (CharKind kind;; ++p) {
        p = FindValueEnd(p, end, kind, value.percent);
        if (kind == LineBreak) break;
        if (kind == Quote) {
            if (p + 1 < end && p[1] == '"') {
                // A pair stands for one quote: the text up to and with the first of them.
                if (!undone) scratch.clear();
                undone = true;
                scratch.append(start, static_cast<std::size_t>(p + 1 - start));
                ++p; // onto the second, which the loop steps past
                start = p + 1;
                continue;
            }
            take(p);
            ++p;
            return p < end && !IsBreak(*p) ? p + 1 : p;
        }
    }
    take(p);
    return p;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int TwoDigits(const char* p) {
    return (p[0] - '0') * 10 + (p[1] - '0');
}

bool StartsWithDigit(std::string_view text) {
    return !text.empty() && IsDigit(text.front());
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

// Fills a new task's fields from the values of its line by the rules of each field. The forms
// the writer gives ("08:30", "4", "07-03-24") are read on the spot; the general readers take
// them the same way, and they read every other form and give the messages.
class FieldReader {
public:
    FieldReader(const FormatSettings& settings, const FormatSettings& fileSettings, int currentYear)
        : settings_(settings), fileSettings_(fileSettings), currentYear_(currentYear),
          // A time marker that begins with a digit could stand before the hour.
          quickTime_(!StartsWithDigit(fileSettings.timeAMString) &&
                     !StartsWithDigit(fileSettings.timePMString)),
          // Day first, and a separator that cannot be taken for a digit.
          quickDate_(!settings.shortDateFormat.empty() &&
                     (settings.shortDateFormat[0] == 'd' || settings.shortDateFormat[0] == 'D') &&
                     !IsDigit(settings.dateSeparator)) {}

    void Assign(TaskRecord& task, const FieldRule& rule, const Value& value) {
        const std::string_view text = value.text;
        if (text.empty() && !value.quoted) {
            ClearField(task, rule.field);
            return;
        }
        switch (rule.kind) {
        case FieldKind::Text:
            if (value.percent)
                AssignTextValue(task, rule, Unescape(text, escapes_));
            else // holds no NUL: that would have ended the line
                (task.*rule.text).emplace(text.substr(0, static_cast<std::size_t>(rule.limit)));
            return;
        case FieldKind::Boolean:
            // The file knows only "True"; anything else reads as false.
            task.*rule.flag = text == "True";
            return;
        case FieldKind::Time:
            ReadTime(task, rule, text);
            return;
        case FieldKind::Integer:
            if (!text.empty() && text.size() <= 4 &&
                std::all_of(text.begin(), text.end(), IsDigit)) {
                int number = 0;
                for (char c : text) number = number * 10 + (c - '0');
                task.*rule.small = static_cast<std::int16_t>(number);
                return;
            }
            break;
        case FieldKind::Date:
            if (quickDate_ && text.size() == 8 && text[2] == settings_.dateSeparator &&
                text[5] == settings_.dateSeparator && IsDigit(text[0]) && IsDigit(text[1]) &&
                IsDigit(text[3]) && IsDigit(text[4]) && IsDigit(text[6]) && IsDigit(text[7])) {
                const int day = TwoDigits(&text[0]);
                const int month = TwoDigits(&text[3]);
                const int year = FullYearOfShort(TwoDigits(&text[6]), settings_, currentYear_);
                if (IsValidDate(year, month, day)) {
                    task.*rule.whole = DayNumber({year, month, day});
                    return;
                }
            }
            break;
        }
        AssignFieldText(task, rule.field, text, settings_, YearSource{nullptr, currentYear_});
    }

private:
    void ReadTime(TaskRecord& task, const FieldRule& rule, std::string_view text) {
        if (text.empty()) {
            ClearField(task, rule.field); // the empty quoted value clears it too
            return;
        }
        if (quickTime_ && text.size() == 5 && text[2] == ':' && IsDigit(text[0]) &&
            IsDigit(text[1]) && IsDigit(text[3]) && IsDigit(text[4])) {
            const int hour = TwoDigits(&text[0]);
            const int minute = TwoDigits(&text[3]);
            if (hour < 24 && minute < 60) {
                task.*rule.whole = (hour * 60 + minute) * 60'000;
                return;
            }
        }
        // The file's ":" first, then the user's own separator.
        auto time = TryStrToTime(text, fileSettings_);
        if (!time) time = TryStrToTime(text, settings_);
        if (!time) throw KivoError("'" + std::string(text) + "' is not a valid time");
        AssignFieldDateTime(task, rule.field, *time);
    }

    const FormatSettings& settings_;
    const FormatSettings& fileSettings_;
    const int currentYear_;
    const bool quickTime_;
    const bool quickDate_;
    std::string escapes_;
};

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

// The field a header value names (a to z without case); none for a column that is ignored.
const FieldRule* RuleOfColumn(std::string_view name) {
    for (const FieldRule& rule : FieldRules)
        if (SameTextAZ(name, rule.name)) return &rule;
    return nullptr;
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

TaskFileRead TCSVStreamFormat::Read(std::string_view content, int currentYear) const {
    // A UTF-8 byte-order mark is no part of the first column's name.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    const char* const end = content.data() + content.size();
    const char* p = SkipBreaks(content.data(), end);
    Value value;
    std::string scratch;
    TaskFileRead read;

    // The header: the first line that is no version line and lies in no table definition.
    std::vector<const FieldRule*> columns;
    bool inTableDef = false;
    bool haveHeader = false;
    while (!haveHeader && p < end) {
        p = TakeValue(p, end, value, scratch);
        if (inTableDef) {
            if (value.text == "@@TABLEDEF END@@") inTableDef = false;
        } else if (value.text == "@@TABLEDEF START@@") {
            inTableDef = true;
        } else if (value.text != "@@FILE VERSION@@") {
            haveHeader = true;
            columns.push_back(RuleOfColumn(value.text));
            while (p < end && !IsBreak(*p)) {
                p = TakeValue(p, end, value, scratch);
                columns.push_back(RuleOfColumn(value.text));
            }
        }
        p = SkipBreaks(FindBreak(p, end), end);
    }
    if (!haveHeader) return read;
    // Without a header every task would be read into no field, and the first taken for it.
    if (std::none_of(columns.begin(), columns.end(), [](const FieldRule* c) { return c; })) {
        read.failure = "De kopregel van het taakbestand noemt geen enkel veld";
        return read;
    }

    // Each line is a new task, its values one per header column until the line or the columns
    // run out; further values are ignored.
    read.tasks.reserve(std::min<std::size_t>(CountLines(p, end), 1 << 20));
    FieldReader fields(settings_, fileSettings_, currentYear);
    const TaskRecord newTask = NewTask();
    try {
        while (p < end) {
            TaskRecord& task = read.tasks.emplace_back(newTask);
            for (const FieldRule* column : columns) {
                p = TakeValue(p, end, value, scratch);
                if (column) fields.Assign(task, *column, value);
                if (p == end || IsBreak(*p)) break;
            }
            p = SkipBreaks(FindBreak(p, end), end);
        }
    } catch (const KivoError& e) {
        // The task of a line that does not read is not kept half-filled.
        read.tasks.pop_back();
        read.failure = e.what();
    }
    return read;
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
