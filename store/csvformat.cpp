#include "store/csvformat.h"

#include <algorithm>

#include "algemeen/text.h"
#include "platform/errors.h"
#include "store/csvtokens.h"
#include "store/fields.h"

namespace kivo {

namespace {

using csv::Value;

// Fills a new task's field from a value of its line by the rules of the field. The general
// readers of times, dates and numbers take the writer's own forms on a quick path of theirs.
class FieldReader {
public:
    FieldReader(const FormatSettings& settings, const FormatSettings& fileSettings, int currentYear)
        : settings_(settings), fileSettings_(fileSettings), currentYear_(currentYear) {}

    void Assign(TaskRecord& task, const FieldRule& rule, const Value& value) {
        const std::string_view text = value.text;
        if (text.empty() && !value.quoted) {
            ClearField(task, rule.field);
            return;
        }
        switch (rule.kind) {
        case FieldKind::Text:
            if (value.percent)
                AssignTextValue(task, rule, csv::Unescape(text, escapes_));
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
        case FieldKind::Date:
            AssignFieldText(task, rule.field, text, settings_, YearSource{nullptr, currentYear_});
            return;
        }
    }

private:
    void ReadTime(TaskRecord& task, const FieldRule& rule, std::string_view text) {
        if (text.empty()) {
            ClearField(task, rule.field); // the empty quoted value clears it too
            return;
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
    std::string escapes_;
};

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

void TCSVStreamFormat::AppendHeader(std::string& out) const {
    for (const FieldRule& rule : FieldRules) {
        csv::AppendQuoted(out, rule.name, false);
        out += ';';
    }
    out += "\r\n";
}

void TCSVStreamFormat::AppendRecord(std::string& out, const TaskRecord& task) const {
    for (const FieldRule& rule : FieldRules) {
        // Texts go with their escapes; the other fields in their text form, the time always
        // with ":" whatever the user's separator, so the file loads under any settings.
        switch (rule.kind) {
        case FieldKind::Text:
            if (task.*rule.text) csv::AppendQuoted(out, *(task.*rule.text), true);
            break;
        case FieldKind::Boolean:
            if (task.*rule.flag)
                csv::AppendQuoted(out, *(task.*rule.flag) ? "True" : "False", false);
            break;
        default:
            if (!IsNullField(task, rule.field))
                csv::AppendQuoted(out, FieldText(task, rule.field, fileSettings_), false);
            break;
        }
        out += ';';
    }
    out += "\r\n";
}

std::string TCSVStreamFormat::Write(std::span<const TaskRecord> tasks) const {
    std::string out;
    out.reserve(160 + tasks.size() * 128);
    AppendHeader(out);
    for (const TaskRecord& task : tasks) AppendRecord(out, task);
    return out;
}

TaskFileRead TCSVStreamFormat::Read(std::string_view content, int currentYear) const {
    using csv::IsBreak;
    // A UTF-8 byte-order mark is no part of the first column's name.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    const char* const end = content.data() + content.size();
    const char* p = csv::SkipBreaks(content.data(), end);
    Value value;
    std::string scratch;
    TaskFileRead read;

    // The header: the first line that is no version line and lies in no table definition.
    std::vector<const FieldRule*> columns;
    bool inTableDef = false;
    bool haveHeader = false;
    while (!haveHeader && p < end) {
        p = csv::TakeValue(p, end, value, scratch);
        if (inTableDef) {
            if (value.text == "@@TABLEDEF END@@") inTableDef = false;
        } else if (value.text == "@@TABLEDEF START@@") {
            inTableDef = true;
        } else if (value.text != "@@FILE VERSION@@") {
            haveHeader = true;
            columns.push_back(RuleOfColumn(value.text));
            while (p < end && !IsBreak(*p)) {
                p = csv::TakeValue(p, end, value, scratch);
                columns.push_back(RuleOfColumn(value.text));
            }
        }
        p = csv::SkipBreaks(csv::FindBreak(p, end), end);
    }
    if (!haveHeader) return read;
    // Without a header every task would be read into no field, and the first taken for it.
    if (std::none_of(columns.begin(), columns.end(), [](const FieldRule* c) { return c; })) {
        read.failure = "De kopregel van het taakbestand noemt geen enkel veld";
        return read;
    }

    // Each line is a new task, its values one per header column until the line or the columns
    // run out; further values are ignored.
    read.tasks.reserve(std::min<std::size_t>(csv::CountLines(p, end), 1 << 20));
    FieldReader fields(settings_, fileSettings_, currentYear);
    const TaskRecord newTask = NewTask();
    try {
        while (p < end) {
            TaskRecord& task = read.tasks.emplace_back(newTask);
            for (const FieldRule* column : columns) {
                p = csv::TakeValue(p, end, value, scratch);
                if (column) fields.Assign(task, *column, value);
                if (p == end || IsBreak(*p)) break;
            }
            p = csv::SkipBreaks(csv::FindBreak(p, end), end);
        }
    } catch (const KivoError& e) {
        // The task of a line that does not read is not kept half-filled.
        read.tasks.pop_back();
        read.failure = e.what();
    }
    return read;
}

} // namespace kivo
