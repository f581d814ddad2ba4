#include "Scheduler.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "foundation/Clock.h"
#include "foundation/Thread.h"

namespace dispatch::detail {

namespace {
constexpr double manualClockPollSeconds = 0.005;
// The longest single sleep. Far deadlines are slept toward in such steps: a wait of some hundred years
// does not fit the clock's nanoseconds and would come back at once, again and again.
constexpr double longestSleepSeconds = 3600;
}  // namespace

double realSecondsUntil(double uptimeDeadline) {
    auto clock = foundation::Clock::current();
    double remaining = std::max(0.0, uptimeDeadline - clock->uptime());
    if (dynamic_cast<foundation::ManualClock*>(clock.get())) return std::min(remaining, manualClockPollSeconds);
    return std::min(remaining, longestSleepSeconds);
}

Scheduler::Scheduler() {
    // A wait is real time measured under the clock of the moment: another clock, or a manual one moved,
    // makes it wrong, so the thread measures again.
    foundation::Clock::addChangeObserver([this] {
        std::lock_guard lock(mutex_);
        wake_.notify_one();
    });
}

Scheduler& Scheduler::shared() {
    static Scheduler& scheduler = *new Scheduler;
    return scheduler;
}

void Scheduler::schedule(double uptimeDeadline, Block block) {
    // A deadline that is no finite time never comes (a NaN would also break the queue's order). The
    // block goes here, outside the lock.
    if (!std::isfinite(uptimeDeadline)) return;
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) thread_ = std::thread([this] {
        foundation::setCurrentThreadName("dispatch-timers");
        work();
    });
    bool earliest = entries_.empty() || uptimeDeadline < entries_.top().deadline;
    entries_.push({uptimeDeadline, nextOrder_++, std::move(block)});
    if (earliest) wake_.notify_one();
}

void Scheduler::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (entries_.empty()) {
            wake_.wait(lock);
            continue;
        }
        double now = foundation::Clock::current()->uptime();
        if (entries_.top().deadline > now) {
            wake_.wait_for(lock, std::chrono::duration<double>(realSecondsUntil(entries_.top().deadline)));
            continue;
        }
        Block block = std::move(entries_.top().block);
        entries_.pop();
        lock.unlock();
        block();
        block = nullptr;
        lock.lock();
    }
}

}  // namespace dispatch::detail
