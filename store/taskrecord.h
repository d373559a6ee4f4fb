#pragma once
// One task: nine fields, each a value or null. Null differs from the empty text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

enum class Field {
    Omschrijving,
    Werkdirectory,
    Programma,
    Parameters,
    Starttijd,
    Frekwentie,
    Dagen,
    Uren,
    Laatstekeer,
};
constexpr int FieldCount = 9;

// From the field table (store/fields.h).
const char* FieldName(Field field);
// Text limits of the four text fields; 0 for the others.
int FieldLimit(Field field);

struct TaskRecord {
    std::optional<std::string> Omschrijving;
    std::optional<std::string> Werkdirectory;
    std::optional<std::string> Programma;
    std::optional<std::string> Parameters;
    std::optional<std::int32_t> Starttijd; // whole milliseconds since midnight
    std::optional<std::int16_t> Frekwentie;
    std::optional<bool> Dagen;
    std::optional<bool> Uren;
    std::optional<std::int32_t> Laatstekeer; // day number (30-12-1899 is 0)
};

// A task whose description, upper-cased (a to z), contains "KIVO TAAK".
bool IsManagedTask(std::string_view omschrijving);

} // namespace kivo
