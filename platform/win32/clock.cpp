#include <windows.h>

#include <cstdint>

#include "platform/clock.h"

namespace kivo {
namespace {

LocalDateTime FromSystemTime(const SYSTEMTIME& st) {
    LocalDateTime t;
    t.date = {st.wYear, st.wMonth, st.wDay};
    t.time = {st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return t;
}

class Win32Clock : public Clock {
public:
    LocalDateTime Now() const override {
        SYSTEMTIME st;
        GetLocalTime(&st);
        return FromSystemTime(st);
    }
    ClockReading Read() const override {
        // One UTC reading, turned into local time by the rules in force for it, so that the
        // two belong to the same moment.
        FILETIME utcFile;
        GetSystemTimeAsFileTime(&utcFile);
        SYSTEMTIME utc, local;
        FileTimeToSystemTime(&utcFile, &utc);
        if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) GetLocalTime(&local);
        FILETIME localFile;
        SystemTimeToFileTime(&local, &localFile);
        ClockReading r;
        r.local = FromSystemTime(local);
        const auto ticks = [](const FILETIME& f) {
            return static_cast<std::int64_t>((static_cast<std::uint64_t>(f.dwHighDateTime) << 32) |
                                             f.dwLowDateTime);
        };
        // In 100 ns units, the local one cut to milliseconds: rounded to whole minutes.
        const std::int64_t diff = ticks(localFile) - ticks(utcFile);
        r.utcOffsetMinutes =
            static_cast<int>((diff + (diff < 0 ? -300'000'000LL : 300'000'000LL)) / 600'000'000LL);
        // Goes on during sleep and hibernation; not moved with the wall clock.
        r.monotonicMs = static_cast<std::int64_t>(GetTickCount64());
        return r;
    }
    void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }
};

} // namespace

Clock& SystemClock() {
    static Win32Clock clock;
    return clock;
}

} // namespace kivo
