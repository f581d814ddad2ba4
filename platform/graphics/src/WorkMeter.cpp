#include "gfx/WorkMeter.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

#include "gfx/Context.h"
#include "gfx/Path.h"

namespace gfx {

namespace {

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

// What a unit takes on this build and machine. Units are about a nanosecond in a release build on the machines
// the charges were set on. A sanitised build is slower, and not alike for every class: Cairo and Pango are the
// system's, unsanitised, while our own code slows up to twenty-five times at -O1 with coverage (a fan of use copies
// reads 39 ns a unit in the fuzzers' build, a chart styled by rules 14) and up to seventy unoptimised (the
// tests'). So each build has a factor for its slowest class, and the machine is measured apart: a fixed drawing
// (small squares filled, a polyline stroked) timed once a process at its first meter (a millisecond in a
// release build; the faster of two runs, the first paying for Cairo's first use), against what it reads in the
// same build on those machines. A slower machine is allowed more; a faster one no less.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool sanitised = true;
#elif defined(__has_feature)
constexpr bool sanitised = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool sanitised = false;
#endif
#if !defined(__OPTIMIZE__)
constexpr double slowestClass = 50, drawingReads = 3.9;
#else
constexpr double slowestClass = sanitised ? 40 : 1, drawingReads = sanitised ? 3.4 : 0.32;
#endif

std::atomic<double> givenNanosecondsAUnit = 0;

double measuredNanosecondsAUnit() {
    static const double measured = [] {
        if (const double given = givenNanosecondsAUnit; given > 0) return given;
        double fastest = 1e9;
        for (int run = 0; run < 2; ++run) {
            auto context = Context::create(128, 128, {});
            if (!context) break;
            WorkMeter meter(WorkMeter::defaultBudget, nullptr, std::numeric_limits<std::int64_t>::max());
            const std::int64_t start = threadTime();
            context->setFillColor({0.2, 0.4, 0.6, 0.8});
            for (int square = 0; square < 100; ++square)
                context->fillRect({double(square * 37 % 120), double(square * 11 % 120), 6, 6});
            Path polyline;
            polyline.moveTo({2, 2});
            for (int point = 1; point < 100; ++point) polyline.lineTo({(point * 53) % 126 + 1.0, (point * 29) % 126 + 1.0});
            context->setLineWidth(3);
            context->stroke(polyline);
            const double units = static_cast<double>(meter.used());
            if (units > 0) fastest = std::min(fastest, static_cast<double>(threadTime() - start) / units);
        }
        return slowestClass * (fastest < 1e9 ? std::max(fastest / drawingReads, 1.0) : 1.0);
    }();
    return measured;
}

// A meter is spent once its thread has spent twice the default budget's time in CPU (or its own budget's, when
// that is larger), whatever the charges say: a charge that counts a piece of work at a fraction of its cost
// cannot carry a render past about two and a half seconds of CPU. A budget's own time would be too close: a
// tree drawn with what its build left, a little more than its drawing takes, would be cut by the clock on
// some frames and not others (its drawing sharing the CPU, a fault paging memory in).
std::int64_t allowanceOf(std::uint64_t budget) {
    const double units = static_cast<double>(std::max(budget, WorkMeter::defaultBudget));
    return static_cast<std::int64_t>(std::min(units * 2 * measuredNanosecondsAUnit(), 1e17));
}

}  // namespace

WorkMeter::WorkMeter(std::uint64_t budget, std::shared_ptr<void> carried, std::int64_t cpuNanoseconds)
    : running_(runningMeter), opened_(!runningMeter) {
    if (opened_) {
        const std::int64_t allowance = cpuNanoseconds > 0 ? cpuNanoseconds : allowanceOf(budget);
        running_ = runningMeter = new Running{budget, threadTime() + std::min(allowance, std::int64_t{1} << 62)};
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

double WorkMeter::nanosecondsAUnit() { return measuredNanosecondsAUnit(); }

void WorkMeter::useNanosecondsAUnit(double nanoseconds) {
    if (std::isfinite(nanoseconds) && nanoseconds > 0) givenNanosecondsAUnit = nanoseconds;
}

bool WorkMeter::running() { return runningMeter; }

bool WorkMeter::spentNow() { return runningMeter && runningMeter->spent; }

std::shared_ptr<void> WorkMeter::shared() { return runningMeter ? runningMeter->shared : nullptr; }

void WorkMeter::setShared(std::shared_ptr<void> value) {
    if (runningMeter) runningMeter->shared = std::move(value);
}

std::shared_ptr<void> WorkMeter::sharedValue() const { return running_->shared; }

}  // namespace gfx
