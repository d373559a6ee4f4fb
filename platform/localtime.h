#pragma once
// A moment as the operating system's local clock reports it, in calendar terms.

namespace kivo {

struct CivilDate {
    int year = 1899;
    int month = 12;
    int day = 30;
};

struct TimeOfDay {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

// A moment on the local clock, as the operating system reports it.
struct LocalDateTime {
    CivilDate date;
    TimeOfDay time;
};

} // namespace kivo
