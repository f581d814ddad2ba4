#include "gfx/WorkMeter.h"

#include <time.h>

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {

// Units are about a nanosecond of work in an optimised build. The unoptimised build (the tests', under the
// sanitisers) does the same work twenty to seventy times slower, and its clock allows for that, so that the
// valid documents its tests draw are cut by units as in a release, not by the clock. An optimised build,
// sanitised or not (the fuzzers'), keeps the release's time: a time-out there is work no charge counts.
#if defined(__OPTIMIZE__)
constexpr double buildSlowdown = 1;
#else
constexpr double buildSlowdown = 50;
#endif

// A meter is spent once its thread has spent twice its budget's time in CPU, whatever the charges say: a
// charge that counts a piece of work at a fraction of its cost cannot carry a render far past its bound.
constexpr double nanosecondsAUnit = 2 * buildSlowdown;
// The thread's CPU clock is a system call (about a microsecond here); the coarse monotonic clock is read in
// the process for a few nanoseconds. So every few charges the coarse clock is looked at, and the CPU clock
// read once a few milliseconds have passed since it last was (a thread's CPU time never runs ahead of the
// wall's): a render past its time ends within those charges and milliseconds, however much work a charge
// stands for, where counting charges alone would let a thousand undercharged ones run on.
constexpr std::uint32_t chargesAGlance = 16;
constexpr std::int64_t nanosecondsAClockRead = 4'000'000;

std::int64_t clockTime(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t threadTime() { return clockTime(CLOCK_THREAD_CPUTIME_ID); }
std::int64_t wallTime() { return clockTime(CLOCK_MONOTONIC_COARSE); }

}  // namespace

struct WorkMeter::Running {
    std::uint64_t budget;
    std::int64_t deadline;  // the thread's CPU time past which it is spent
    std::uint64_t used = 0;
    std::int64_t clockRead = wallTime();  // when the CPU clock was last read
    std::uint32_t untilGlance = chargesAGlance;
    std::uint64_t held = 0;
    std::uint64_t heldAtMost = 0;
    bool spent = false;
    bool spentByClock = false;
    std::shared_ptr<void> shared{};
};

namespace {

thread_local WorkMeter::Running* runningMeter = nullptr;

std::int64_t deadlineOf(std::uint64_t budget) {
    const double allowed = std::min(static_cast<double>(budget) * nanosecondsAUnit, 1e17);
    return threadTime() + static_cast<std::int64_t>(allowed);
}

}  // namespace

WorkMeter::WorkMeter(std::uint64_t budget, std::shared_ptr<void> carried) : running_(runningMeter), opened_(!runningMeter) {
    if (opened_) {
        running_ = runningMeter = new Running{budget, deadlineOf(budget)};
        running_->shared = std::move(carried);
    }
}

WorkMeter::~WorkMeter() {
    if (!opened_) return;
    runningMeter = nullptr;
    delete running_;
}

bool WorkMeter::spent() const { return running_->spent; }

std::uint64_t WorkMeter::used() const { return running_->used; }

std::uint64_t WorkMeter::left() const { return running_->spent ? 0 : running_->budget - running_->used; }

bool WorkMeter::charge(double units) {
    Running* meter = runningMeter;
    if (!meter) return true;
    if (--meter->untilGlance == 0) {
        meter->untilGlance = chargesAGlance;
        if (const std::int64_t now = wallTime(); now - meter->clockRead >= nanosecondsAClockRead) {
            meter->clockRead = now;
            if (threadTime() > meter->deadline && !meter->spent) meter->spent = meter->spentByClock = true;
        }
    }
    if (meter->spent || !(units < static_cast<double>(meter->budget - meter->used))) {
        meter->spent = true;
        return false;
    }
    meter->used += static_cast<std::uint64_t>(std::max(units, 0.0));
    return true;
}

bool WorkMeter::hold(double bytes) {
    Running* meter = runningMeter;
    if (!meter) return true;
    if (meter->spent || !(bytes < static_cast<double>(memoryBudget - meter->held))) {
        meter->spent = true;
        return false;
    }
    meter->held += static_cast<std::uint64_t>(std::max(bytes, 0.0));
    meter->heldAtMost = std::max(meter->heldAtMost, meter->held);
    return true;
}

void WorkMeter::letGo(double bytes) {
    Running* meter = runningMeter;
    if (!meter || !(bytes > 0)) return;
    meter->held -= std::min(meter->held, static_cast<std::uint64_t>(bytes));
}

std::uint64_t WorkMeter::held() const { return running_->held; }

std::uint64_t WorkMeter::heldAtMost() const { return running_->heldAtMost; }

bool WorkMeter::spentByClock() const { return running_->spentByClock; }

bool WorkMeter::running() { return runningMeter; }

bool WorkMeter::spentNow() { return runningMeter && runningMeter->spent; }

std::shared_ptr<void> WorkMeter::shared() { return runningMeter ? runningMeter->shared : nullptr; }

void WorkMeter::setShared(std::shared_ptr<void> value) {
    if (runningMeter) runningMeter->shared = std::move(value);
}

std::shared_ptr<void> WorkMeter::sharedValue() const { return running_->shared; }

}  // namespace gfx
