#pragma once

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace dispatch::detail {

// A one-time "done" flag a thread can wait for, with an optional timeout in real seconds.
class Completion {
public:
    void signal() {
        std::lock_guard lock(mutex_);
        done_ = true;
        changed_.notify_all();
    }
    bool isDone() const {
        std::lock_guard lock(mutex_);
        return done_;
    }
    bool wait(double timeoutSeconds = INFINITY) {
        std::unique_lock lock(mutex_);
        return waitFor(lock, changed_, timeoutSeconds, [this] { return done_; });
    }

    // Waits on `condition` until `ready()` holds or `timeoutSeconds` of real time pass (infinite, or
    // too long to count in the clock's nanoseconds: forever).
    template <class Lock, class Ready>
    static bool waitFor(Lock& lock, std::condition_variable& condition, double timeoutSeconds, Ready ready) {
        constexpr double longestTimeout = 1e9;  // some 30 years; beyond about 292 the count overflows
        if (!(timeoutSeconds <= longestTimeout)) {
            condition.wait(lock, ready);
            return true;
        }
        auto timeout = std::chrono::duration<double>(std::max(0.0, timeoutSeconds));
        return condition.wait_for(lock, timeout, ready);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
};

}  // namespace dispatch::detail
