#pragma once
// A scheduler over a task file in a temporary directory, ticked at chosen times of the clock's
// day, for the tests of the tick's daily and hourly tasks.
#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "scheduler/scheduler_fakes.h"
#include "support/temp_dir.h"

namespace kivo::test {

class TickTest : public ::testing::Test {
protected:
    TempDir temp;
    World w{SystemFileSystem(), temp.Dir()};

    // One tick at the given time of the clock's current day.
    void TickAt(int hour, int minute, int second = 0, int msec = 0) {
        w.At(hour, minute, second, msec);
        w.scheduler.Timer1Timer();
    }
    void NextDay() { w.clock.Advance(MSecsPerDay); }
    int Started(const std::string& program = "prog.exe") const { return w.Starts(program); }
    std::string Start(const std::string& omschrijving) {
        return w.Get(omschrijving, Field::Starttijd);
    }
};

} // namespace kivo::test
