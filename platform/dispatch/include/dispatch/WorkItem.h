#pragma once

#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "dispatch/Queue.h"

namespace dispatch {

// A block that can be cancelled before it runs, waited for, and followed by notification blocks.
class WorkItem {
public:
    static std::shared_ptr<WorkItem> create(std::function<void()> block);
    explicit WorkItem(std::function<void()> block) : block_(std::move(block)) {}

    // Runs the block on the calling thread unless cancelled, then releases waiters and notifications.
    void perform();
    // A cancelled item that has not started never runs; one that is running finishes.
    void cancel();
    bool isCancelled() const;

    void wait();
    bool wait(double timeoutSeconds);  // real seconds; false on timeout
    // Submits `block` to `queue` once the item has been performed (at once if it already was).
    void notify(const std::shared_ptr<Queue>& queue, Block block);

private:
    struct Notification {
        std::shared_ptr<Queue> queue;
        Block block;
    };

    mutable std::mutex mutex_;
    std::condition_variable finishedCondition_;
    std::function<void()> block_;
    std::vector<Notification> notifications_;
    bool cancelled_ = false;
    bool finished_ = false;
};

}  // namespace dispatch
