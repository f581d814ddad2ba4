#include "dispatch/Timer.h"

#include <algorithm>
#include <cmath>

#include "dispatch/RunLoop.h"

namespace dispatch {

Timer::Timer(double interval, bool repeats, Action action)
    : interval_(std::max(interval, minimumInterval)),
      repeats_(repeats),
      action_(action ? std::make_shared<Action>(std::move(action)) : nullptr) {}

std::shared_ptr<Timer> Timer::create(double interval, bool repeats, Action action) {
    return std::make_shared<Timer>(interval, repeats, std::move(action));
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Action action) {
    auto timer = create(interval, repeats, std::move(action));
    RunLoop::current()->add(timer);
    return timer;
}

void Timer::invalidate() {
    std::shared_ptr<Action> released;
    std::lock_guard lock(mutex_);
    valid_ = false;
    released.swap(action_);
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

double Timer::nextFireUptime() const {
    std::lock_guard lock(mutex_);
    return nextFire_;
}

void Timer::fire() {
    std::shared_ptr<Action> action;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return;
        action = action_;
    }
    if (action) (*action)(*this);
    if (!repeats_) invalidate();
}

bool Timer::beginScheduling(double now) {
    std::lock_guard lock(mutex_);
    if (!valid_ || scheduled_) return false;
    scheduled_ = true;
    nextFire_ = now + interval_;
    return true;
}

bool Timer::fireIfDue(double now) {
    std::shared_ptr<Action> action;
    {
        std::lock_guard lock(mutex_);
        if (!valid_) return false;
        if (now < nextFire_) return true;
        if (repeats_) {
            double missed = std::floor((now - nextFire_) / interval_);
            nextFire_ += (missed + 1) * interval_;
        }
        action = action_;
    }
    if (action) (*action)(*this);
    if (!repeats_) invalidate();
    return isValid();
}

}  // namespace dispatch
