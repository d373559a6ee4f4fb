#pragma once
// How often a part stands in a text: what most checks of a log or a file come down to.
#include <string>

namespace kivo::test {

inline int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

} // namespace kivo::test
