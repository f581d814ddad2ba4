#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"

namespace hosttest {

// Steps run in order from inside the application's run loop: each waits, polled every 20 ms, until it
// is ready, then acts. A watchdog ends the run if a step never gets ready, so the test can name the
// step; it fires within half of ctest's time-out of the test, whatever budget the script asks for,
// or ctest would end the process first and the name would never be printed.
class Script : public std::enable_shared_from_this<Script> {
public:
    struct Step {
        std::string name;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    static constexpr double longestWatchdog = SORVANE_TEST_TIMEOUT_SECONDS / 2.0;

    static std::shared_ptr<Script> start(std::vector<Step> steps, double watchdogSeconds = longestWatchdog) {
        watchdogSeconds = std::min(watchdogSeconds, longestWatchdog);
        auto script = std::make_shared<Script>();
        script->steps_ = std::move(steps);
        std::weak_ptr<Script> weak = script;
        dispatch::Queue::main()->asyncAfter(watchdogSeconds, [weak] {
            auto stuck = weak.lock();
            if (!stuck || stuck->next_ >= stuck->steps_.size()) return;
            stuck->timedOut_ = true;
            dispatch::RunLoop::main()->stop();
        });
        script->schedule();
        return script;
    }

    // Empty once every step has acted.
    std::string unfinishedStep() const { return next_ < steps_.size() ? steps_[next_].name : ""; }
    bool timedOut() const { return timedOut_; }

private:
    void schedule() {
        std::weak_ptr<Script> weak = weak_from_this();
        dispatch::Queue::main()->asyncAfter(0.02, [weak] {
            if (auto script = weak.lock()) script->poll();
        });
    }
    void poll() {
        if (next_ >= steps_.size() || timedOut_) return;
        if (steps_[next_].ready()) {
            if (steps_[next_].act) steps_[next_].act();
            ++next_;
        }
        schedule();
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool timedOut_ = false;
};

}  // namespace hosttest
