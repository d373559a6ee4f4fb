#include <chrono>
#include <ctime>
#include <thread>

#include "platform/clock.h"

namespace kivo {
namespace {

class PosixClock : public Clock {
public:
    LocalDateTime Now() const override {
        using namespace std::chrono;
        auto now = system_clock::now();
        auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
        std::time_t secs = static_cast<std::time_t>(ms / 1000);
        std::tm tm{};
        localtime_r(&secs, &tm);
        LocalDateTime t;
        t.date = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
        t.time = {tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000)};
        return t;
    }
    void Sleep(int milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

} // namespace kivo
