#include "store/taskrecord.h"

namespace kivo {

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
