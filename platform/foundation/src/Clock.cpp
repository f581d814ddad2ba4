#include "foundation/Clock.h"

#include <atomic>
#include <chrono>

namespace foundation {

namespace {

// Never destroyed: scheduler and run loop threads keep asking for the time while the process exits.
const std::shared_ptr<Clock>& systemClock() {
    static auto& clock = *new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
    return clock;
}

struct Installed {
    std::mutex mutex;
    std::shared_ptr<Clock> clock = systemClock();
    // Whether systemClock() is the one installed. Log records and timers ask for the time from many
    // threads at once: the system clock needs no lock.
    std::atomic<bool> system = true;
};

Installed& installed() {
    static Installed& state = *new Installed;
    return state;
}

}  // namespace

std::shared_ptr<Clock> Clock::current() {
    auto& state = installed();
    if (state.system.load(std::memory_order_acquire)) return systemClock();
    std::lock_guard lock(state.mutex);
    return state.clock;
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
    auto& state = installed();
    const bool system = !clock;
    auto replacement = system ? systemClock() : std::move(clock);
    std::lock_guard lock(state.mutex);
    state.clock.swap(replacement);
    state.system.store(system, std::memory_order_release);
}

Date Date::now() {
    if (installed().system.load(std::memory_order_acquire)) return SystemClock().now();
    return Clock::current()->now();
}

Date SystemClock::now() const {
    // Multiplied rather than divided: a division stalls every log record's time stamp.
    const auto nanoseconds =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    const double since1970 = static_cast<double>(nanoseconds.count()) * 1e-9;
    return Date::fromUnix(since1970);
}

double SystemClock::uptime() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

OffsetClock::OffsetClock(Date start, double speed)
    : start_(start), speed_(speed), startUptime_(SystemClock().uptime()) {}

// Only the wall clock runs at the replay speed; timers keep real time.
Date OffsetClock::now() const { return start_.addingTimeInterval((uptime() - startUptime_) * speed_); }

double OffsetClock::uptime() const { return SystemClock().uptime(); }

Date ManualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

double ManualClock::uptime() const {
    std::lock_guard lock(mutex_);
    return uptime_;
}

void ManualClock::advance(double seconds) {
    std::lock_guard lock(mutex_);
    now_ = now_.addingTimeInterval(seconds);
    uptime_ += seconds;
}

void ManualClock::set(Date date) {
    std::lock_guard lock(mutex_);
    now_ = date;
}

}  // namespace foundation
