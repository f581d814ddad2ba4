#include "ui/RunLoopBridge.h"

#include <algorithm>

#include "foundation/Clock.h"

namespace ui {

namespace {

std::shared_ptr<RunLoopBridge>& installedBridge() {
    static std::shared_ptr<RunLoopBridge> bridge = std::make_shared<ManualRunLoop>();
    return bridge;
}

double uptime() { return foundation::Clock::current()->uptime(); }

}  // namespace

std::shared_ptr<RunLoopBridge> runLoopBridge() { return installedBridge(); }

void setRunLoopBridge(std::shared_ptr<RunLoopBridge> bridge) {
    installedBridge() = bridge ? std::move(bridge) : std::make_shared<ManualRunLoop>();
}

void ManualRunLoop::performAtEndOfTurn(std::function<void()> work) { endOfTurn_.push_back(std::move(work)); }

void ManualRunLoop::performAfter(double seconds, std::function<void()> work) {
    timers_.push_back({uptime() + std::max(seconds, 0.0), nextOrder_++, std::move(work)});
}

std::size_t ManualRunLoop::runTurn() {
    double now = uptime();
    std::vector<Timer> due;
    auto split = std::stable_partition(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.due > now; });
    std::move(split, timers_.end(), std::back_inserter(due));
    timers_.erase(split, timers_.end());
    std::sort(due.begin(), due.end(),
              [](const Timer& a, const Timer& b) { return a.due != b.due ? a.due < b.due : a.order < b.order; });
    std::size_t ran = 0;
    for (auto& timer : due) {
        timer.work();
        ++ran;
    }
    // Work scheduled by the timers above belongs to this turn's end, as on a real run loop.
    std::vector<std::function<void()>> work;
    work.swap(endOfTurn_);
    for (auto& block : work) {
        block();
        ++ran;
    }
    return ran;
}

std::size_t ManualRunLoop::runUntilIdle(std::size_t limit) {
    std::size_t ran = 0;
    for (std::size_t turn = 0; turn < limit && hasDueWork(); ++turn) ran += runTurn();
    return ran;
}

bool ManualRunLoop::hasDueWork() const {
    if (!endOfTurn_.empty()) return true;
    double now = uptime();
    return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.due <= now; });
}

std::optional<double> ManualRunLoop::nextTimerTime() const {
    if (timers_.empty()) return std::nullopt;
    return std::min_element(timers_.begin(), timers_.end(),
                            [](const Timer& a, const Timer& b) { return a.due < b.due; })
        ->due;
}

}  // namespace ui
