#include "ui/RunLoopBridge.h"

#include "dispatch/Queue.h"

namespace ui {

namespace {

std::shared_ptr<RunLoopBridge>& installedBridge() {
    static std::shared_ptr<RunLoopBridge> bridge = std::make_shared<MainQueueBridge>();
    return bridge;
}

}  // namespace

void MainQueueBridge::performAtEndOfTurn(std::function<void()> work) { dispatch::Queue::main()->async(std::move(work)); }

void MainQueueBridge::performAfter(double seconds, std::function<void()> work) {
    dispatch::Queue::main()->asyncAfter(seconds, std::move(work));
}

std::shared_ptr<RunLoopBridge> runLoopBridge() { return installedBridge(); }

void setRunLoopBridge(std::shared_ptr<RunLoopBridge> bridge) {
    installedBridge() = bridge ? std::move(bridge) : std::make_shared<MainQueueBridge>();
}

}  // namespace ui
