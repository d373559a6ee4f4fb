#include "store/taskrecord.h"

namespace kivo {

const char* FieldName(Field field) {
    switch (field) {
    case Field::Omschrijving:
        return "Omschrijving";
    case Field::Werkdirectory:
        return "Werkdirectory";
    case Field::Programma:
        return "Programma";
    case Field::Parameters:
        return "Parameters";
    case Field::Starttijd:
        return "Starttijd";
    case Field::Frekwentie:
        return "Frekwentie";
    case Field::Dagen:
        return "Dagen";
    case Field::Uren:
        return "Uren";
    case Field::Laatstekeer:
        return "Laatstekeer";
    }
    return "";
}

int FieldLimit(Field field) {
    switch (field) {
    case Field::Omschrijving:
        return 50;
    case Field::Werkdirectory:
        return 255;
    case Field::Programma:
        return 80;
    case Field::Parameters:
        return 50;
    default:
        return 0;
    }
}

bool IsManagedTask(std::string_view omschrijving) {
    static constexpr std::string_view marker = "KIVO TAAK";
    if (omschrijving.size() < marker.size()) return false;
    for (std::size_t start = 0; start + marker.size() <= omschrijving.size(); ++start) {
        bool same = true;
        for (std::size_t i = 0; i < marker.size() && same; ++i) {
            char c = omschrijving[start + i];
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            same = c == marker[i];
        }
        if (same) return true;
    }
    return false;
}

} // namespace kivo
