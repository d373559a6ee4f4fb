#pragma once
// A predictable collator: letters without case first, then lower case before upper case; it
// counts its calls and can be told to fail.
#include <string_view>

#include "platform/collation.h"
#include "platform/errors.h"

namespace kivo::test {

// Letters without case first, then lower case before upper case; can be told to fail.
class TestCollator : public Collator {
public:
    int Compare(std::string_view a, std::string_view b, bool ignoreCase) const override {
        ++calls;
        if (fail) throw KivoError("Invalid locale.");
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
            if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]) ? -1 : 1;
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
        if (ignoreCase) return 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return a[i] > b[i] ? -1 : 1; // lower case first
        return 0;
    }
    bool fail = false;
    mutable int calls = 0;
};

} // namespace kivo::test
