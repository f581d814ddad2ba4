#include "foundation/Clock.h"

#include <chrono>

namespace foundation {

namespace {

std::shared_ptr<Clock>& installed() {
    static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
    return clock;
}

std::mutex& installedMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

std::shared_ptr<Clock> Clock::current() {
    std::lock_guard lock(installedMutex());
    return installed();
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(installedMutex());
    installed() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

Date Date::now() { return Clock::current()->now(); }

Date SystemClock::now() const {
    auto since1970 = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
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
