#include "dispatch/TimerSource.h"

#include <cmath>

#include "Scheduler.h"
#include "foundation/Clock.h"

namespace dispatch {

std::shared_ptr<TimerSource> TimerSource::create(std::shared_ptr<Queue> queue) {
    return std::make_shared<TimerSource>(std::move(queue));
}

TimerSource::~TimerSource() { cancel(); }

void TimerSource::schedule(Deadline start, double interval, double) {
    if (isCancelled()) return;
    std::lock_guard lock(timerMutex_);
    deadline_ = start.uptime;
    interval_ = interval > 0 ? interval : 0;
    arm(deadline_, ++generation_);
}

void TimerSource::arm(double deadline, std::uint64_t generation) {
    std::weak_ptr<Source> weakSelf = weak_from_this();
    detail::Scheduler::shared().schedule(deadline, [weakSelf, generation] {
        if (auto self = weakSelf.lock()) static_cast<TimerSource&>(*self).deadlineReached(generation);
    });
}

void TimerSource::deadlineReached(std::uint64_t generation) {
    unsigned long fires = 1;
    {
        std::lock_guard lock(timerMutex_);
        if (generation != generation_) return;
        if (interval_ > 0) {
            double now = foundation::Clock::current()->uptime();
            double missed = std::floor((now - deadline_) / interval_);
            fires += static_cast<unsigned long>(missed);
            deadline_ += (missed + 1) * interval_;
            arm(deadline_, generation);
        }
    }
    signalEvent(fires);
}

void TimerSource::didCancel() {
    std::lock_guard lock(timerMutex_);
    ++generation_;
}

}  // namespace dispatch
