#pragma once
// The local clock, and waiting. Tests hand in a clock they set themselves.
#include "platform/localtime.h"

namespace kivo {

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
    // Blocks the calling thread; a test clock advances itself instead.
    virtual void Sleep(int milliseconds) = 0;
};

Clock& SystemClock();

} // namespace kivo
