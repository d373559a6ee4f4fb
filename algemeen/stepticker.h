#pragma once
// A step that runs over and over on a thread of its own, with a pause between two steps.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kivo {

class StepTicker {
public:
    // Runs on the ticker's thread, never while the ticker's lock is held, so a step may take
    // locks of its own and call back into the ticker. It returns false when no step is to follow
    // until the next Start.
    using Step = std::function<bool()>;

    explicit StepTicker(unsigned intervalMs) : interval_(intervalMs) {}
    // Stops. A ticker is not to be destroyed from inside its own step.
    ~StepTicker();
    StepTicker(const StepTicker&) = delete;
    StepTicker& operator=(const StepTicker&) = delete;

    // Starts the steps on a new thread, the first one interval after; a running ticker is
    // stopped first. Throws std::system_error when no thread can be made, std::logic_error when
    // called from inside a step.
    void Start(Step step);
    // The pause between two steps. It counts at once: a pause under way starts again with the
    // new length. 0 holds the steps until another interval is set; a step under way finishes.
    void SetInterval(unsigned ms);
    unsigned Interval() const;
    // Ends the steps and returns once the thread has ended: no step runs after it, and a step
    // under way is waited for. From inside a step it only ends the steps after that one, since a
    // thread cannot wait for itself; the next Start or Stop, or the destructor, waits for it.
    void Stop();

    // Ticker threads running in the process.
    static int RunningThreads() { return runningThreads_; }

private:
    void Run();

    mutable std::mutex lock_;
    std::condition_variable wake_;
    unsigned interval_; // lock_
    bool stop_ = false; // lock_
    Step step_;         // set only while no thread runs
    std::thread thread_;
    static std::atomic<int> runningThreads_;
};

} // namespace kivo
