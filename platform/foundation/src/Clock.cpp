#include "foundation/Clock.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

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
};

// Whether systemClock() is the one installed. Log records and timers ask for the time from many
// threads at once: the system clock needs no lock, and this flag no guard of a function's static.
constinit std::atomic<bool> systemInstalled = true;

// The wall clock in seconds since 1970, read straight from the system (one call less than through
// std::chrono): every log record reads it.
double secondsSince1970() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    // Multiplied rather than divided: a division stalls every log record's time stamp.
    return static_cast<double>(static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec) * 1e-9;
}

Installed& installed() {
    static Installed& state = *new Installed;
    return state;
}

struct ChangeObservers {
    std::mutex mutex;
    std::vector<std::function<void()>> observers;
};

ChangeObservers& changeObservers() {
    static ChangeObservers& observers = *new ChangeObservers;
    return observers;
}

// Outside every clock's lock: observers take their own locks and read the clock.
void clockChanged() {
    auto& state = changeObservers();
    std::lock_guard lock(state.mutex);
    for (auto& observer : state.observers) observer();
}

}  // namespace

std::shared_ptr<Clock> Clock::current() {
    auto& state = installed();
    if (systemInstalled.load(std::memory_order_acquire)) return systemClock();
    std::lock_guard lock(state.mutex);
    return state.clock;
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
    auto& state = installed();
    const bool system = !clock;
    auto replacement = system ? systemClock() : std::move(clock);
    {
        std::lock_guard lock(state.mutex);
        state.clock.swap(replacement);
        systemInstalled.store(system, std::memory_order_release);
    }
    clockChanged();
}

void Clock::addChangeObserver(std::function<void()> observer) {
    auto& state = changeObservers();
    std::lock_guard lock(state.mutex);
    state.observers.push_back(std::move(observer));
}

Date Date::now() {
    if (systemInstalled.load(std::memory_order_acquire)) return Date::fromUnix(secondsSince1970());
    return Clock::current()->now();
}

Date SystemClock::now() const { return Date::fromUnix(secondsSince1970()); }

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
    {
        std::lock_guard lock(mutex_);
        now_ = now_.addingTimeInterval(seconds);
        uptime_ += seconds;
    }
    clockChanged();
}

void ManualClock::set(Date date) {
    {
        std::lock_guard lock(mutex_);
        now_ = date;
    }
    clockChanged();
}

}  // namespace foundation
