#pragma once
// The rules of the nine task fields in one place: what each field holds, how it reads and shows as
// text, what assigning a value of another type does, and the messages of a refused value. The
// table, the task file and the import all go through these.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "algemeen/datetime.h"
#include "platform/formatsettings.h"
#include "store/taskrecord.h"

namespace kivo {

class Clock;

enum class FieldKind { Text, Time, Integer, Boolean, Date };

// One row of the field table: the name, the kind, the text limit and where the value lives.
struct FieldRule {
    Field field;
    const char* name;
    FieldKind kind;
    int limit; // text fields only; 0 for the others
    std::optional<std::string> TaskRecord::*text;
    std::optional<std::int32_t> TaskRecord::*whole; // Time (ms since midnight), Date (day number)
    std::optional<std::int16_t> TaskRecord::*small; // Integer
    std::optional<bool> TaskRecord::*flag;          // Boolean
};

// Every field, in the order of the record and of the task file's columns.
extern const FieldRule FieldRules[FieldCount];
inline const FieldRule& RuleOf(Field field) {
    return FieldRules[static_cast<int>(field)];
}

// The year that places a date read without a four-digit one: a fixed year, or the clock's when
// it is needed.
struct YearSource {
    const Clock* clock = nullptr;
    int year = 0;
    int Get() const;
};

bool IsNullField(const TaskRecord& task, Field field);
void ClearField(TaskRecord& task, Field field);

// The text form: times "hh:nn" with the settings' separator, dates by the short date format,
// booleans "True"/"False"; null gives "".
std::string FieldText(const TaskRecord& task, Field field, const FormatSettings& settings);
// Reading a value as another type; null reads as 0, false or 0.
std::int32_t FieldInteger(const TaskRecord& task, Field field);
bool FieldBoolean(const TaskRecord& task, Field field);
TDateTime FieldDateTime(const TaskRecord& task, Field field);

// A text field's value: cut at a NUL and at the field's limit.
inline void AssignTextValue(TaskRecord& task, const FieldRule& rule, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    task.*rule.text = text.substr(0, static_cast<std::size_t>(rule.limit));
}

// Assigning by the field's rules; a refused value throws KivoError with the system's message and
// leaves the field as it was. The empty text makes a field other than a text field null.
void AssignFieldText(TaskRecord& task, Field field, std::string_view text,
                     const FormatSettings& settings, YearSource year);
void AssignFieldInteger(TaskRecord& task, Field field, std::int64_t value);
void AssignFieldBoolean(TaskRecord& task, Field field, bool value);
void AssignFieldDateTime(TaskRecord& task, Field field, TDateTime value);

// The values of a new task: 12:00, every 1 day.
TaskRecord NewTask();

} // namespace kivo
