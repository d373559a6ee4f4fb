#pragma once
// Waiting for started programs to end: one wait of the system's for all of them, whose ends are
// reported on the thread that watches, through its message loop. No thread per program and no
// polling. Windows: RegisterWaitForSingleObject with WT_EXECUTEONLYONCE, posting to a window.
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/shell.h"

namespace kivo {

class ProcessWatch {
public:
    virtual ~ProcessWatch() = default;
    // Takes the process handle; it is closed once the end was reported, or when the watch goes
    // (a program still running then is let go, without a report). `token` comes back with the
    // end. False when the system would not wait for it: then no end comes, and the handle is
    // closed.
    virtual bool Watch(ProcessHandle process, std::uint64_t token) = 0;
    // A watched process ended with this exit code; none when it could not be read.
    // Unassigned: skipped.
    std::function<void(std::uint64_t token, std::optional<std::uint32_t> exitCode)> OnEnded;
};

} // namespace kivo
