#pragma once

#include <functional>
#include <memory>

namespace ui {

// What the view toolkit needs of the main run loop: work at the end of the current turn (the
// coalesced layout-and-render pass) and work after a delay (animation completions). Both run on the
// main thread. The default goes through the dispatch main queue; a host or a test may install its own.
class RunLoopBridge {
public:
    virtual ~RunLoopBridge() = default;
    virtual void performAtEndOfTurn(std::function<void()> work) = 0;
    // `seconds` of foundation::Clock uptime from now.
    virtual void performAfter(double seconds, std::function<void()> work) = 0;
};

// The main queue of the dispatch library: end-of-turn work is a main-queue block (it runs in the
// next turn's main-queue phase), delays are main-queue after-delays.
class MainQueueBridge final : public RunLoopBridge {
public:
    void performAtEndOfTurn(std::function<void()> work) override;
    void performAfter(double seconds, std::function<void()> work) override;
};

std::shared_ptr<RunLoopBridge> runLoopBridge();
// Null restores the main-queue bridge.
void setRunLoopBridge(std::shared_ptr<RunLoopBridge> bridge);

}  // namespace ui
