#pragma once

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "dispatch/Queue.h"

namespace dispatch {

// Counts outstanding work: enter() before it starts, leave() when it ends. When the count returns to
// zero, waiters wake and the notification blocks are submitted.
class Group {
public:
    static std::shared_ptr<Group> create() { return std::make_shared<Group>(); }

    void enter();
    void leave();  // more leaves than enters is a programming error
    void notify(const std::shared_ptr<Queue>& queue, Block block);
    void wait();
    bool wait(double timeoutSeconds);  // real seconds; false on timeout

private:
    struct Notification {
        std::shared_ptr<Queue> queue;
        Block block;
    };

    std::mutex mutex_;
    std::condition_variable emptied_;
    long outstanding_ = 0;
    std::vector<Notification> notifications_;
};

}  // namespace dispatch
