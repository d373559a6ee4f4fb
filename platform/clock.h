#pragma once
// The local clock, and waiting. Tests hand in a clock they set themselves.
#include <cstdint>

#include "platform/localtime.h"

namespace kivo {

// One reading of the clocks at one moment: the local wall clock, its offset from UTC, and a count
// of milliseconds that goes on during sleep and hibernation and is not moved with the wall clock.
// Together they tell a sleep, a summer-time change and a clock correction apart.
struct ClockReading {
    LocalDateTime local;
    int utcOffsetMinutes = 0; // local time minus UTC
    std::int64_t monotonicMs = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
    // The default knows no offset and counts along the wall clock, so every change of the wall
    // clock looks like time that passed.
    virtual ClockReading Read() const;
    // Blocks the calling thread; a test clock advances itself instead.
    virtual void Sleep(int milliseconds) = 0;
};

Clock& SystemClock();

} // namespace kivo
