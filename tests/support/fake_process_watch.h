#pragma once
// A watch that holds what it was given; the test says when a process ends.
#include <cstdint>
#include <map>
#include <optional>

#include "platform/processwatch.h"

namespace kivo::test {

class FakeProcessWatch : public ProcessWatch {
public:
    bool Watch(ProcessHandle process, std::uint64_t token) override {
        if (refuse) return false;
        watched[token] = process;
        return true;
    }
    // The process of this token ends (no code: it could not be read); true when it was watched.
    bool End(std::uint64_t token, std::optional<std::uint32_t> code) {
        if (!watched.erase(token)) return false;
        if (OnEnded) OnEnded(token, code);
        return true;
    }
    std::map<std::uint64_t, ProcessHandle> watched;
    bool refuse = false; // as a system that will not wait
};

} // namespace kivo::test
