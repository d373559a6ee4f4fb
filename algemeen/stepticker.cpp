#include "algemeen/stepticker.h"

#include <chrono>
#include <stdexcept>
#include <utility>

namespace kivo {

std::atomic<int> StepTicker::runningThreads_{0};

StepTicker::~StepTicker() {
    Stop();
}

void StepTicker::Start(Step step) {
    if (thread_.get_id() == std::this_thread::get_id())
        throw std::logic_error("StepTicker started from inside its own step");
    Stop();
    {
        std::lock_guard guard(lock_);
        stop_ = false;
    }
    step_ = std::move(step);
    thread_ = std::thread(&StepTicker::Run, this);
}

void StepTicker::SetInterval(unsigned ms) {
    {
        std::lock_guard guard(lock_);
        interval_ = ms;
    }
    wake_.notify_all();
}

unsigned StepTicker::Interval() const {
    std::lock_guard guard(lock_);
    return interval_;
}

void StepTicker::Stop() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void StepTicker::Run() {
    ++runningThreads_;
    std::unique_lock lock(lock_);
    while (!stop_) {
        const unsigned ms = interval_;
        if (ms == 0) {
            wake_.wait(lock); // held: sleeps until the interval changes or the ticker stops
            continue;
        }
        if (wake_.wait_for(lock, std::chrono::milliseconds(ms),
                           [&] { return stop_ || interval_ != ms; }))
            continue;
        lock.unlock();
        bool more = false;
        try {
            more = step_();
        } catch (...) {
            // Nobody on this thread could hear of it: the steps end as if the step said so.
        }
        lock.lock();
        if (!more) break;
    }
    --runningThreads_;
}

} // namespace kivo
