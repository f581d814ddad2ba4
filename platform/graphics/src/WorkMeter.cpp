#include "gfx/WorkMeter.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <vector>

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
// The clock is a system call (about a microsecond here); a charge stands for a few hundred units or more (a
// path, a dash, a layer), so reading it once in this many costs well under a percent of the work, and a
// render past its time ends within this many charges.
constexpr std::uint32_t chargesAClockRead = 1'024;

std::int64_t threadTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

struct WorkMeter::Running {
    std::uint64_t budget;
    std::int64_t deadline;  // the thread's CPU time past which it is spent
    std::uint64_t used = 0;
    std::uint32_t untilClock = chargesAClockRead;
    bool spent = false;
    std::vector<std::shared_ptr<const void>> held{};
};

namespace {

thread_local WorkMeter::Running* runningMeter = nullptr;

std::int64_t deadlineOf(std::uint64_t budget) {
    const double allowed = std::min(static_cast<double>(budget) * nanosecondsAUnit, 1e17);
    return threadTime() + static_cast<std::int64_t>(allowed);
}

}  // namespace

WorkMeter::WorkMeter(std::uint64_t budget) : running_(runningMeter), opened_(!runningMeter) {
    if (opened_) running_ = runningMeter = new Running{budget, deadlineOf(budget)};
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
    if (--meter->untilClock == 0) {
        meter->untilClock = chargesAClockRead;
        if (threadTime() > meter->deadline) meter->spent = true;
    }
    if (meter->spent || !(units < static_cast<double>(meter->budget - meter->used))) {
        meter->spent = true;
        return false;
    }
    meter->used += static_cast<std::uint64_t>(std::max(units, 0.0));
    return true;
}

bool WorkMeter::running() { return runningMeter; }

bool WorkMeter::spentNow() { return runningMeter && runningMeter->spent; }

void WorkMeter::holdWhileRunning(std::shared_ptr<const void> value) {
    if (runningMeter) runningMeter->held.push_back(std::move(value));
}

}  // namespace gfx
