#include "dispatch/RunLoop.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "Completion.h"
#include "Scheduler.h"
#include "dispatch/Timer.h"
#include "foundation/Clock.h"

namespace dispatch {

namespace {

// Initialised during static initialisation, that is on the process's first thread.
std::atomic<std::thread::id> mainThread{std::this_thread::get_id()};

double uptimeNow() { return foundation::Clock::current()->uptime(); }

}  // namespace

bool isMainThread() {
    // Kept per thread: every log record asks, and the id is a call into the C library.
    thread_local const std::thread::id self = std::this_thread::get_id();
    return self == mainThread.load(std::memory_order_relaxed);
}

std::shared_ptr<RunLoop> RunLoop::main() {
    static auto& loop = *[] {
        auto* made = new std::shared_ptr<RunLoop>(std::make_shared<RunLoop>());
        // A waiting turn measured its timers' deadline under the clock of the moment.
        foundation::Clock::addChangeObserver([loop = *made] { loop->wake(); });
        return made;
    }();
    return loop;
}

std::shared_ptr<RunLoop> RunLoop::current() {
    if (isMainThread()) return main();
    thread_local auto loop = std::make_shared<RunLoop>();
    return loop;
}

void RunLoop::claimThread() {
    if (this == main().get()) mainThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
}

void RunLoop::run() {
    claimThread();
    for (;;) {
        turn();
        {
            std::lock_guard lock(mutex_);
            if (stopped_) {
                stopped_ = false;
                return;
            }
        }
        waitForWork(INFINITY);
    }
}

void RunLoop::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    woken_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::runOnce() {
    claimThread();
    turn();
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    claimThread();
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (predicate()) return true;
        turn();
        if (predicate()) return true;
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= timeoutSeconds) return false;
        waitForWork(timeoutSeconds - elapsed);
    }
}

void RunLoop::add(const std::shared_ptr<Timer>& timer) {
    if (!timer->beginScheduling(uptimeNow())) return;
    std::lock_guard lock(mutex_);
    timers_.push_back(timer);
    woken_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::addDelayed(double uptimeDeadline, Block block) {
    std::lock_guard lock(mutex_);
    delayed_.push_back({uptimeDeadline, std::move(block)});
    woken_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::setInputHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    inputHandler_ = std::move(handler);
}

void RunLoop::setRedrawHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    redrawHandler_ = std::move(handler);
}

void RunLoop::setNeedsRedraw() {
    std::lock_guard lock(mutex_);
    needsRedraw_ = true;
    woken_ = true;
    wakeCondition_.notify_all();
}

void RunLoop::turn() {
    std::function<void()> input;
    {
        std::lock_guard lock(mutex_);
        woken_ = false;
        input = inputHandler_;
    }
    if (input) input();

    fireTimers(uptimeNow());
    if (this == main().get()) Queue::main()->drainMain();

    std::function<void()> redraw;
    {
        std::lock_guard lock(mutex_);
        if (needsRedraw_) redraw = redrawHandler_;
        needsRedraw_ = false;
    }
    if (redraw) redraw();
}

void RunLoop::fireTimers(double now) {
    std::vector<std::shared_ptr<Timer>> timers;
    std::vector<Block> due;
    {
        std::lock_guard lock(mutex_);
        timers = timers_;
        auto late = std::stable_partition(delayed_.begin(), delayed_.end(),
                                          [now](const Delayed& delayed) { return delayed.deadline > now; });
        for (auto it = late; it != delayed_.end(); ++it) due.push_back(std::move(it->block));
        delayed_.erase(late, delayed_.end());
    }
    // Due after-delays join the main queue behind what is already there, keeping its order.
    for (auto& block : due) Queue::main()->async(std::move(block));

    bool anyEnded = false;
    for (auto& timer : timers) anyEnded |= !timer->fireIfDue(now);
    if (anyEnded) {
        std::lock_guard lock(mutex_);
        std::erase_if(timers_, [](const std::shared_ptr<Timer>& timer) { return !timer->isValid(); });
    }
}

double RunLoop::nextDeadline() {
    double next = INFINITY;
    for (auto& timer : timers_) {
        if (timer->isValid()) next = std::min(next, timer->nextFireUptime());
    }
    for (auto& delayed : delayed_) next = std::min(next, delayed.deadline);
    return next;
}

void RunLoop::waitForWork(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    if (woken_ || stopped_) return;
    double next = nextDeadline();
    double wait = std::isfinite(next) ? std::min(timeoutSeconds, detail::realSecondsUntil(next)) : timeoutSeconds;
    detail::Completion::waitFor(lock, wakeCondition_, wait, [this] { return woken_ || stopped_; });
}

}  // namespace dispatch
