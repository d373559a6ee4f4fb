#include "store/fields.h"

#include <cmath>

#include "algemeen/text.h"
#include "platform/clock.h"
#include "platform/errors.h"

namespace kivo {

const FieldRule FieldRules[FieldCount] = {
    {Field::Omschrijving, "Omschrijving", FieldKind::Text, 50, &TaskRecord::Omschrijving, nullptr,
     nullptr, nullptr},
    {Field::Werkdirectory, "Werkdirectory", FieldKind::Text, 255, &TaskRecord::Werkdirectory,
     nullptr, nullptr, nullptr},
    {Field::Programma, "Programma", FieldKind::Text, 80, &TaskRecord::Programma, nullptr, nullptr,
     nullptr},
    {Field::Parameters, "Parameters", FieldKind::Text, 50, &TaskRecord::Parameters, nullptr,
     nullptr, nullptr},
    {Field::Starttijd, "Starttijd", FieldKind::Time, 0, nullptr, &TaskRecord::Starttijd, nullptr,
     nullptr},
    {Field::Frekwentie, "Frekwentie", FieldKind::Integer, 0, nullptr, nullptr,
     &TaskRecord::Frekwentie, nullptr},
    {Field::Dagen, "Dagen", FieldKind::Boolean, 0, nullptr, nullptr, nullptr, &TaskRecord::Dagen},
    {Field::Uren, "Uren", FieldKind::Boolean, 0, nullptr, nullptr, nullptr, &TaskRecord::Uren},
    {Field::Laatstekeer, "Laatstekeer", FieldKind::Date, 0, nullptr, &TaskRecord::Laatstekeer,
     nullptr, nullptr},
};

const char* FieldName(Field field) {
    return RuleOf(field).name;
}

int FieldLimit(Field field) {
    return RuleOf(field).limit;
}

int YearSource::Get() const {
    return clock ? clock->Now().date.year : year;
}

namespace {

// Day numbers of 1-1-0001 and 31-12-9999: the dates the text forms can show.
constexpr double MinDay = -693593.0;
constexpr double MaxDay = 2958465.0;

std::string TypeMismatch(Field field) {
    return std::string("Invalid type conversion for field '") + FieldName(field) + "'";
}

void StoreTime(TaskRecord& task, const FieldRule& rule, TDateTime value) {
    if (!std::isfinite(value)) throw KivoError("Invalid floating point operation");
    // Only the time of day counts; far-off days would not fit the millisecond count.
    if (std::fabs(value) > 1e9) value = std::fmod(value, 1.0);
    std::int64_t ms = ToMilliseconds(value) % MSecsPerDay;
    if (ms < 0) ms += MSecsPerDay;
    task.*rule.whole = static_cast<std::int32_t>(ms);
}

void StoreDate(TaskRecord& task, const FieldRule& rule, TDateTime value) {
    if (!std::isfinite(value) || value < MinDay || value >= MaxDay + 1)
        throw KivoError("'" + FormatGeneral(value) + "' is not a valid date");
    std::int64_t days = ToMilliseconds(value) / MSecsPerDay;
    if (days > static_cast<std::int64_t>(MaxDay)) days = static_cast<std::int64_t>(MaxDay);
    task.*rule.whole = static_cast<std::int32_t>(days);
}

void StoreInteger(TaskRecord& task, const FieldRule& rule, std::int64_t value) {
    if (value < -32768 || value > 32767)
        throw KivoError(FormatGeneral(static_cast<double>(value)) +
                        " is not a valid value for field '" + rule.name +
                        "'. The allowed range is " + FormatGeneral(-32768) + " to " +
                        FormatGeneral(32767));
    task.*rule.small = static_cast<std::int16_t>(value);
}

} // namespace

bool IsNullField(const TaskRecord& task, Field field) {
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Text:
        return !(task.*rule.text);
    case FieldKind::Time:
    case FieldKind::Date:
        return !(task.*rule.whole);
    case FieldKind::Integer:
        return !(task.*rule.small);
    case FieldKind::Boolean:
        return !(task.*rule.flag);
    }
    return true;
}

void ClearField(TaskRecord& task, Field field) {
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Text:
        (task.*rule.text).reset();
        break;
    case FieldKind::Time:
    case FieldKind::Date:
        (task.*rule.whole).reset();
        break;
    case FieldKind::Integer:
        (task.*rule.small).reset();
        break;
    case FieldKind::Boolean:
        (task.*rule.flag).reset();
        break;
    }
}

std::string FieldText(const TaskRecord& task, Field field, const FormatSettings& settings) {
    if (IsNullField(task, field)) return "";
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Text:
        return *(task.*rule.text);
    case FieldKind::Time:
        return FormatTime(static_cast<double>(*(task.*rule.whole)) / MSecsPerDay, settings);
    case FieldKind::Date:
        return FormatDate(*(task.*rule.whole), settings);
    case FieldKind::Integer:
        return std::to_string(*(task.*rule.small));
    case FieldKind::Boolean:
        return *(task.*rule.flag) ? "True" : "False";
    }
    return "";
}

std::int32_t FieldInteger(const TaskRecord& task, Field field) {
    if (IsNullField(task, field)) return 0;
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Integer:
        return *(task.*rule.small);
    case FieldKind::Boolean:
        return *(task.*rule.flag) ? 1 : 0;
    case FieldKind::Time:
    case FieldKind::Date:
        return *(task.*rule.whole);
    case FieldKind::Text:
        break;
    }
    const std::string& text = *(task.*rule.text);
    if (auto value = TryStrToInt(text)) return *value;
    throw KivoError("'" + text + "' is not a valid integer value");
}

bool FieldBoolean(const TaskRecord& task, Field field) {
    if (IsNullField(task, field)) return false;
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Boolean:
        return *(task.*rule.flag);
    case FieldKind::Integer:
        return *(task.*rule.small) != 0;
    case FieldKind::Time:
    case FieldKind::Date:
        throw KivoError(TypeMismatch(field));
    case FieldKind::Text:
        break;
    }
    return *(task.*rule.text) == "True";
}

TDateTime FieldDateTime(const TaskRecord& task, Field field) {
    if (IsNullField(task, field)) return 0;
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Time:
        return static_cast<double>(*(task.*rule.whole)) / MSecsPerDay;
    case FieldKind::Date:
        return *(task.*rule.whole);
    case FieldKind::Integer:
        return *(task.*rule.small);
    default:
        throw KivoError(TypeMismatch(field));
    }
}

void AssignFieldText(TaskRecord& task, Field field, std::string_view text,
                     const FormatSettings& settings, YearSource year) {
    const FieldRule& rule = RuleOf(field);
    if (rule.kind == FieldKind::Text) {
        AssignTextValue(task, rule, text);
        return;
    }
    if (text.empty()) {
        ClearField(task, field);
        return;
    }
    switch (rule.kind) {
    case FieldKind::Time:
        StoreTime(task, rule, StrToTime(text, settings));
        break;
    case FieldKind::Date:
        StoreDate(task, rule, StrToDate(text, settings, year.Get()));
        break;
    case FieldKind::Integer: {
        auto value = TryStrToInt(text);
        if (!value)
            throw KivoError("'" + std::string(text) + "' is not a valid integer value for field '" +
                            rule.name + "'");
        StoreInteger(task, rule, *value);
        break;
    }
    case FieldKind::Boolean:
        if (SameTextAZ(text, "True"))
            task.*rule.flag = true;
        else if (SameTextAZ(text, "False"))
            task.*rule.flag = false;
        else
            throw KivoError("'" + std::string(text) + "' is not a valid boolean value for field '" +
                            rule.name + "'");
        break;
    case FieldKind::Text:
        break;
    }
}

void AssignFieldInteger(TaskRecord& task, Field field, std::int64_t value) {
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Integer:
        StoreInteger(task, rule, value);
        break;
    case FieldKind::Time:
        StoreTime(task, rule, static_cast<double>(value));
        break;
    case FieldKind::Date:
        StoreDate(task, rule, static_cast<double>(value));
        break;
    case FieldKind::Boolean:
        task.*rule.flag = value != 0;
        break;
    case FieldKind::Text:
        AssignTextValue(task, rule, std::to_string(value));
        break;
    }
}

void AssignFieldBoolean(TaskRecord& task, Field field, bool value) {
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Boolean:
        task.*rule.flag = value;
        break;
    case FieldKind::Integer:
        StoreInteger(task, rule, value ? 1 : 0);
        break;
    case FieldKind::Time:
    case FieldKind::Date:
        throw KivoError(TypeMismatch(field));
    case FieldKind::Text:
        AssignTextValue(task, rule, value ? "True" : "False");
        break;
    }
}

void AssignFieldDateTime(TaskRecord& task, Field field, TDateTime value) {
    const FieldRule& rule = RuleOf(field);
    switch (rule.kind) {
    case FieldKind::Time:
        StoreTime(task, rule, value);
        break;
    case FieldKind::Date:
        StoreDate(task, rule, value);
        break;
    default:
        throw KivoError(TypeMismatch(field));
    }
}

TaskRecord NewTask() {
    static const TaskRecord defaults = [] {
        TaskRecord task;
        AssignFieldDateTime(task, Field::Starttijd, 0.5);
        AssignFieldInteger(task, Field::Frekwentie, 1);
        task.Dagen = true;
        task.Uren = false;
        return task;
    }();
    return defaults;
}

} // namespace kivo
