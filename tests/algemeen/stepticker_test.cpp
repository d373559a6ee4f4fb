#include "algemeen/stepticker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace kivo {
namespace {

using namespace std::chrono_literals;

// Counts the steps; the test waits on it for what the ticker's thread does.
class Steps {
public:
    // One step: counted, then the action (none: the steps go on).
    StepTicker::Step Counting(std::function<bool(int)> action = {}) {
        return [this, action] {
            int n;
            {
                std::lock_guard guard(lock_);
                n = ++count_;
            }
            changed_.notify_all();
            return action ? action(n) : true;
        };
    }
    int Count() const {
        std::lock_guard guard(lock_);
        return count_;
    }
    // False when the count does not reach n within a time no working ticker comes near.
    bool WaitFor(int n) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, 10s, [&] { return count_ >= n; });
    }

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    int count_ = 0;
};

bool ThreadsEnd() {
    for (int i = 0; i < 1000 && StepTicker::RunningThreads() > 0; ++i)
        std::this_thread::sleep_for(10ms);
    return StepTicker::RunningThreads() == 0;
}

TEST(StepTicker, StepsComeUntilAPauseAndResumeAfterIt) {
    Steps steps;
    StepTicker ticker(1);
    // The third step holds the ticker: a pause counts between two steps, never inside one.
    ticker.Start(steps.Counting([&](int n) {
        if (n == 3) ticker.SetInterval(0);
        return true;
    }));
    ASSERT_TRUE(steps.WaitFor(3));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(steps.Count(), 3);
    EXPECT_EQ(ticker.Interval(), 0u);

    ticker.SetInterval(1);
    EXPECT_TRUE(steps.WaitFor(6));
    ticker.Stop();
    EXPECT_EQ(StepTicker::RunningThreads(), 0);
}

TEST(StepTicker, ALongPauseIsCutShortByANewIntervalOrAStop) {
    Steps steps;
    StepTicker ticker(3'600'000);
    ticker.Start(steps.Counting());
    ticker.SetInterval(1); // the hour's wait starts again, one millisecond long
    EXPECT_TRUE(steps.WaitFor(1));

    ticker.SetInterval(3'600'000);
    const auto start = std::chrono::steady_clock::now();
    ticker.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "the wait was not cut short";
    EXPECT_EQ(StepTicker::RunningThreads(), 0);
}

TEST(StepTicker, StopWaitsForTheStepUnderWayAndNoStepFollowsItOrARestart) {
    Steps steps;
    StepTicker ticker(1);
    std::mutex gateLock;
    std::condition_variable gateChanged;
    bool inside = false, open = false;
    ticker.Start(steps.Counting([&](int n) {
        if (n > 1) return true;
        std::unique_lock lock(gateLock);
        inside = true;
        gateChanged.notify_all();
        gateChanged.wait(lock, [&] { return open; });
        return true;
    }));
    {
        std::unique_lock lock(gateLock);
        ASSERT_TRUE(gateChanged.wait_for(lock, 10s, [&] { return inside; }));
    }
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        ticker.Stop();
        stopped = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(stopped) << "Stop returned while a step ran";
    {
        std::lock_guard lock(gateLock);
        open = true;
    }
    gateChanged.notify_all();
    stopper.join();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(steps.Count(), 1) << "a step after Stop";
    EXPECT_EQ(StepTicker::RunningThreads(), 0);

    ticker.Start(steps.Counting());
    EXPECT_TRUE(steps.WaitFor(4));
    ticker.Stop();
    const int last = steps.Count();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(steps.Count(), last);
}

TEST(StepTicker, AStepEndsTheStepsByStoppingReturningFalseOrThrowing) {
    const std::function<bool(StepTicker&, int)> endings[] = {
        [](StepTicker& ticker, int) {
            ticker.Stop(); // cannot wait for its own thread: only no step follows
            return true;
        },
        [](StepTicker&, int) { return false; },
        [](StepTicker&, int) -> bool { throw std::runtime_error("step failed"); },
    };
    for (const auto& ending : endings) {
        Steps steps;
        StepTicker ticker(1);
        ticker.Start(steps.Counting([&](int n) { return n < 2 || ending(ticker, n); }));
        ASSERT_TRUE(steps.WaitFor(2));
        EXPECT_TRUE(ThreadsEnd());
        EXPECT_EQ(steps.Count(), 2);
        ticker.Stop(); // waits for the ended thread without a hang

        // Started again from inside a step: refused, the steps go on.
        bool refused = false;
        ticker.Start(steps.Counting([&](int n) {
            if (n == 3) {
                try {
                    ticker.Start([] { return true; });
                } catch (const std::logic_error&) {
                    refused = true;
                }
            }
            return true;
        }));
        EXPECT_TRUE(steps.WaitFor(4));
        EXPECT_TRUE(refused);
    }
    EXPECT_TRUE(ThreadsEnd());
}

} // namespace
} // namespace kivo
