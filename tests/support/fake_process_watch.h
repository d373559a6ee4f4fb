#pragma once
// A watch that holds what it was given; the test says when a process ends.
#include <cstdint>
#include <map>

#include "platform/processwatch.h"

namespace kivo::test {

class FakeProcessWatch : public ProcessWatch {
public:
    void Watch(ProcessHandle process, std::uint64_t token) override { watched[token] = process; }
    // The process of this token ends; true when it was watched.
    bool End(std::uint64_t token, std::uint32_t code) {
        if (!watched.erase(token)) return false;
        if (OnEnded) OnEnded(token, code);
        return true;
    }
    std::map<std::uint64_t, ProcessHandle> watched;
};

} // namespace kivo::test
