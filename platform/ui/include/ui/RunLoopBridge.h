#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ui {

// What the view toolkit needs of the main run loop: work at the end of the current turn (the
// coalesced layout-and-render pass) and work after a delay (animation completions, frame timers).
// Everything here runs on the main thread.
class RunLoopBridge {
public:
    virtual ~RunLoopBridge() = default;
    virtual void performAtEndOfTurn(std::function<void()> work) = 0;
    // `seconds` of foundation::Clock uptime from now.
    virtual void performAfter(double seconds, std::function<void()> work) = 0;
};

// The process-wide bridge; a ManualRunLoop until the application installs the dispatch one.
std::shared_ptr<RunLoopBridge> runLoopBridge();
// Null restores a fresh ManualRunLoop.
void setRunLoopBridge(std::shared_ptr<RunLoopBridge> bridge);

// A run loop driven by hand, for the headless host and tests: runTurn() runs the timers whose time
// (foundation::Clock uptime) has come, in time order, then the end-of-turn work. Work added while a
// turn runs waits for the next turn.
class ManualRunLoop final : public RunLoopBridge {
public:
    void performAtEndOfTurn(std::function<void()> work) override;
    void performAfter(double seconds, std::function<void()> work) override;

    // The number of blocks run.
    std::size_t runTurn();
    // Turns until nothing is due; at most `limit` turns.
    std::size_t runUntilIdle(std::size_t limit = 100);
    bool hasDueWork() const;
    // Uptime of the earliest timer, if any.
    std::optional<double> nextTimerTime() const;

private:
    struct Timer {
        double due = 0;
        std::size_t order = 0;
        std::function<void()> work;
    };
    std::vector<std::function<void()>> endOfTurn_;
    std::vector<Timer> timers_;
    std::size_t nextOrder_ = 0;
};

}  // namespace ui
