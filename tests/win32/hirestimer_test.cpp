#include "win32/hirestimer.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/errors.h"
#include "support/win32_test_util.h"

namespace kivo {
namespace {

using test::PumpFor;
using test::PumpUntil;

// Long enough that no real tick comes during a test; ticks are posted by hand.
constexpr unsigned kQuiet = 60000;

TEST(HiResTimer, HandlesOnlyTicksOfTheLatestArmingWhileEnabled) {
    test::InitApp();
    THiResTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    EXPECT_FALSE(timer.Enabled());
    timer.SetInterval(kQuiet);
    EXPECT_EQ(timer.Interval(), kQuiet);

    timer.SetEnabled(true);
    const unsigned first = timer.ArmingId();
    timer.PostTick(first);
    PumpFor(50);
    EXPECT_EQ(ticks, 1);

    // Enabling a running timer does not re-arm it.
    timer.SetEnabled(true);
    EXPECT_EQ(timer.ArmingId(), first);

    timer.SetEnabled(false);
    EXPECT_EQ(timer.ArmingId(), first); // disarming keeps the identity
    timer.PostTick(first);
    PumpFor(50);
    EXPECT_EQ(ticks, 1) << "a stopped timer does not tick";

    timer.SetEnabled(true);
    const unsigned second = timer.ArmingId();
    EXPECT_NE(second, first);
    timer.PostTick(first); // from the earlier arming: stale
    timer.PostTick(second);
    PumpFor(50);
    EXPECT_EQ(ticks, 2);

    // A new interval re-arms a running timer.
    timer.SetInterval(kQuiet + 1);
    EXPECT_NE(timer.ArmingId(), second);
    timer.PostTick(second);
    PumpFor(50);
    EXPECT_EQ(ticks, 2);
}

TEST(HiResTimer, IntervalIsLimitedToTheSystemRange) {
    THiResTimer timer;
    timer.SetInterval(0xFFFFFFFFu);
    EXPECT_LT(timer.Interval(), 0xFFFFFFFFu);
    EXPECT_GE(timer.Interval(), 60000u); // the minute tick must fit
    timer.SetInterval(60000);
    EXPECT_EQ(timer.Interval(), 60000u);
    timer.SetInterval(0);
    EXPECT_EQ(timer.Interval(), 0u);
    timer.SetEnabled(true); // no system timer for interval 0, and no error
    EXPECT_TRUE(timer.Enabled());
}

TEST(HiResTimer, TickDuringTheHandlerIsDiscarded) {
    test::InitApp();
    THiResTimer timer;
    timer.SetInterval(kQuiet);
    int ticks = 0;
    bool busyInside = false;
    timer.OnTimer = [&] {
        ++ticks;
        busyInside = timer.Busy();
        if (ticks == 1) {
            // A message loop inside the handler, as a modal question runs one.
            timer.PostTick(timer.ArmingId());
            TApplication::Instance().ProcessMessages();
        }
    };
    timer.SetEnabled(true);
    timer.PostTick(timer.ArmingId());
    PumpFor(50);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(timer.Busy());

    timer.PostTick(timer.ArmingId());
    PumpFor(50);
    EXPECT_EQ(ticks, 2);
}

TEST(HiResTimer, EscapedErrorIsShownAndKeepsTheTimerBusyUntilRearmed) {
    test::InitApp();
    THiResTimer timer;
    timer.SetInterval(kQuiet);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        if (ticks == 1) throw KivoError("Timer kapot");
    };
    std::vector<test::ShownBox> shown;
    test::DialogHook hook([&](HWND dialog) {
        shown.push_back(test::ReadBox(dialog));
        // Ticks while the error is on screen are discarded too.
        timer.PostTick(timer.ArmingId());
        PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    timer.SetEnabled(true);
    timer.PostTick(timer.ArmingId());
    PumpFor(100);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].message, "Timer kapot.");
    EXPECT_EQ(shown[0].caption, TApplication::Instance().Title());
    EXPECT_TRUE(shown[0].hasIcon);
    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(timer.Busy());

    timer.PostTick(timer.ArmingId());
    PumpFor(50);
    EXPECT_EQ(ticks, 1);

    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Busy());
    timer.PostTick(timer.ArmingId());
    PumpFor(50);
    EXPECT_EQ(ticks, 2);
}

TEST(HiResTimer, RealTicksComeAtTheInterval) {
    THiResTimer timer;
    timer.SetInterval(50);
    std::vector<DWORD> at;
    timer.OnTimer = [&] { at.push_back(GetTickCount()); };
    timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return at.size() >= 11; }, 3000));
    timer.SetEnabled(false);
    // Ten periods of 50 ms; generous bounds for a loaded machine.
    DWORD span = at[10] - at[0];
    EXPECT_GE(span, 400u);
    EXPECT_LE(span, 1000u);
}

TEST(HiResTimer, DestroyedWhileTicksAreUnderway) {
    // Ticks queued or in flight for a destroyed timer go nowhere.
    auto timer = std::make_unique<THiResTimer>();
    timer->SetInterval(1);
    int ticks = 0;
    timer->OnTimer = [&] { ++ticks; };
    timer->SetEnabled(true);
    Sleep(30);
    timer.reset();
    PumpFor(30);
    EXPECT_EQ(ticks, 0);

    // A handler that destroys its own timer.
    timer = std::make_unique<THiResTimer>();
    timer->SetInterval(kQuiet);
    timer->OnTimer = [&] {
        ++ticks;
        timer.reset();
    };
    timer->SetEnabled(true);
    timer->PostTick(timer->ArmingId());
    PumpFor(50);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

} // namespace
} // namespace kivo
