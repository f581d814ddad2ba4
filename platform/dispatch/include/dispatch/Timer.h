#pragma once

#include <functional>
#include <memory>
#include <mutex>

namespace dispatch {

// A run-loop timer. A scheduled timer first fires one interval after it was added to a loop; a repeating
// one that missed fires (the loop was busy, or a manual clock jumped) fires once and moves its next
// fire forward by whole intervals. The loop keeps a scheduled timer, and with it the action's
// captures, until the timer is invalidated.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Action = std::function<void(Timer&)>;

    Timer() = default;  // a placeholder that is never scheduled
    Timer(double interval, bool repeats, Action action);

    static std::shared_ptr<Timer> create(double interval, bool repeats, Action action);
    // Creates the timer and adds it to RunLoop::current().
    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Action action);

    // Final and idempotent: the timer never fires again and releases its action.
    void invalidate();
    bool isValid() const;
    double timeInterval() const { return interval_; }
    bool repeats() const { return repeats_; }
    double nextFireUptime() const;  // Clock uptime; 0 before the timer is scheduled
    void fire();                    // runs the action now; a one-shot timer is then invalidated

private:
    friend class RunLoop;
    bool beginScheduling(double now);  // false when invalid or already on a loop
    bool fireIfDue(double now);        // answers whether the timer stays on its loop

    static constexpr double minimumInterval = 0.0001;

    mutable std::mutex mutex_;
    double interval_ = 0;
    bool repeats_ = false;
    std::shared_ptr<Action> action_;
    bool valid_ = true;
    bool scheduled_ = false;
    double nextFire_ = 0;
};

}  // namespace dispatch
