#pragma once

#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "dispatch/Queue.h"

namespace dispatch {

class Timer;

// A thread's loop of turns. Each turn polls input, fires due timers (in every mode), runs the main-queue
// blocks queued before the turn began (main loop only) and calls the redraw handler once if a redraw was
// asked for. Running a loop is confined to its thread; scheduling, waking and asking for a redraw may
// come from any thread.
class RunLoop : public std::enable_shared_from_this<RunLoop> {
public:
    static std::shared_ptr<RunLoop> main();
    // The main loop on the main thread, else the calling thread's own loop (which fires nothing unless
    // that thread runs it).
    static std::shared_ptr<RunLoop> current();

    void run();   // turns until stop()
    void stop();  // from any thread; ends run() after the current turn
    void runOnce();
    // Turns until `predicate` holds, waiting for work in between; false when `timeoutSeconds` of real
    // time passed first. The predicate is checked after each turn, so a change made on another thread
    // should reach the loop as main-queue work (or be followed by wake()). With a manual clock
    // installed, timers follow that clock, not real time.
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds = INFINITY);

    void add(const std::shared_ptr<Timer>& timer);
    void wake();

    // Called at the start of every turn to poll and dispatch input; a host that receives input on
    // another thread calls wake() so a waiting loop turns.
    void setInputHandler(std::function<void()> handler);
    void setRedrawHandler(std::function<void()> handler);
    void setNeedsRedraw();  // any number of calls before a turn ends give one redraw

    RunLoop() = default;  // use main() or current()

private:
    friend class Queue;
    struct Delayed {
        double deadline;
        Block block;
    };

    void addDelayed(double uptimeDeadline, Block block);
    void turn();
    void fireTimers(double now);
    void waitForWork(double timeoutSeconds);
    double nextDeadline();
    void claimThread();

    std::mutex mutex_;
    std::condition_variable wakeCondition_;
    bool woken_ = false;
    bool stopped_ = false;
    bool needsRedraw_ = false;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::vector<Delayed> delayed_;
    std::function<void()> inputHandler_;
    std::function<void()> redrawHandler_;
};

}  // namespace dispatch
