#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <string_view>

#include "platform/collation.h"
#include "platform/errors.h"

namespace kivo {
namespace {

unsigned char Lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

// Without a user locale: a stable stand-in for linguistic order. Hyphens and apostrophes weigh
// nothing at first, letters compare without case, and only ties fall back to case (lower first)
// and then to the full text.
int FallbackCompare(std::string_view a, std::string_view b, bool ignoreCase) {
    auto skip = [](unsigned char c) { return c == '-' || c == '\''; };
    // Identical leading bytes weigh the same on both sides: start after them.
    size_t i = 0;
    const size_t shorter = a.size() < b.size() ? a.size() : b.size();
    while (i < shorter && a[i] == b[i]) ++i;
    size_t j = i;
    while (true) {
        while (i < a.size() && skip(static_cast<unsigned char>(a[i]))) ++i;
        while (j < b.size() && skip(static_cast<unsigned char>(b[j]))) ++j;
        if (i == a.size() || j == b.size()) break;
        unsigned char x = Lower(static_cast<unsigned char>(a[i]));
        unsigned char y = Lower(static_cast<unsigned char>(b[j]));
        if (x != y) return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    bool aDone = i == a.size(), bDone = j == b.size();
    if (!aDone || !bDone) return aDone ? -1 : 1;
    // Equal apart from hyphens: the one without comes first ("coop" < "co-op").
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    if (ignoreCase) {
        for (size_t k = 0; k < a.size(); ++k) {
            unsigned char x = Lower(static_cast<unsigned char>(a[k]));
            unsigned char y = Lower(static_cast<unsigned char>(b[k]));
            if (x != y) return x < y ? -1 : 1;
        }
        return 0;
    }
    for (size_t k = 0; k < a.size(); ++k) {
        unsigned char x = static_cast<unsigned char>(a[k]), y = static_cast<unsigned char>(b[k]);
        if (x == y) continue;
        if (Lower(x) == Lower(y)) return (x >= 'a' && x <= 'z') ? -1 : 1; // lower case first
        return x < y ? -1 : 1;
    }
    return 0;
}

class PosixCollator : public Collator {
public:
    PosixCollator() {
        const char* name = std::getenv("LC_ALL");
        if (!name || !*name) name = std::getenv("LC_COLLATE");
        if (!name || !*name) name = std::getenv("LANG");
        // The C locales sort by byte; they count as no user locale.
        std::string_view n = name ? name : "";
        bool plain = n.empty() || n == "C" || n == "POSIX" || n.substr(0, 2) == "C.";
        if (!plain) locale_ = ::newlocale(LC_COLLATE_MASK, name, nullptr);
    }
    ~PosixCollator() override {
        if (locale_) ::freelocale(locale_);
    }
    int Compare(std::string_view a, std::string_view b, bool ignoreCase) const override {
        if (!locale_) return FallbackCompare(a, b, ignoreCase);
        std::string x(a.substr(0, a.find('\0'))), y(b.substr(0, b.find('\0')));
        if (ignoreCase) {
            for (auto& c : x) c = static_cast<char>(Lower(static_cast<unsigned char>(c)));
            for (auto& c : y) c = static_cast<char>(Lower(static_cast<unsigned char>(c)));
        }
        int r = ::strcoll_l(x.c_str(), y.c_str(), locale_);
        return r < 0 ? -1 : (r > 0 ? 1 : 0);
    }

private:
    locale_t locale_ = nullptr;
};

} // namespace

const Collator& UserCollator() {
    static PosixCollator collator;
    return collator;
}

} // namespace kivo
