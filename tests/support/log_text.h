#pragma once
// Reading the log book's lines as the tests look at them.
#include <string>
#include <vector>

#include "logbook/logbook.h"
#include "support/text_count.h"

namespace kivo::test {

// The bodies of the log's lines, without their "[date] [time] " prefix.
inline std::vector<std::string> LogBodies(const std::string& log) {
    std::vector<std::string> bodies;
    for (const std::string& line : SplitLogLines(log)) {
        const auto end = line.find("] ", line.find("] ") + 2);
        bodies.push_back(end == std::string::npos ? line : line.substr(end + 2));
    }
    return bodies;
}

} // namespace kivo::test
