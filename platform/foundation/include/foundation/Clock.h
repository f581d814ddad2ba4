#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "foundation/Date.h"

namespace foundation {

// Where "now" comes from. The app uses the system clock; tests and the offline season install their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
    // Monotonic seconds for timers and animations; never goes back.
    virtual double uptime() const = 0;

    static std::shared_ptr<Clock> current();
    static void setCurrent(std::shared_ptr<Clock> clock);  // null restores the system clock

    // Called after another clock is installed or a manual clock is moved or set, on the thread that
    // did it, so that a thread sleeping toward a deadline measures its wait again. Observers live as
    // long as the process; they must not install or move a clock themselves.
    static void addChangeObserver(std::function<void()> observer);
};

class SystemClock final : public Clock {
public:
    Date now() const override;
    double uptime() const override;
};

// A system clock shifted so that "now" starts at a chosen date and then runs on, optionally faster.
class OffsetClock final : public Clock {
public:
    OffsetClock(Date start, double speed = 1.0);
    Date now() const override;
    double uptime() const override;

private:
    Date start_;
    double speed_;
    double startUptime_;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(Date start = {}, double uptime = 0) : now_(start), uptime_(uptime) {}
    Date now() const override;
    double uptime() const override;
    void advance(double seconds);
    void set(Date date);

private:
    mutable std::mutex mutex_;
    Date now_;
    double uptime_;
};

}  // namespace foundation
