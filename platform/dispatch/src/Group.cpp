#include "dispatch/Group.h"

#include <cassert>

#include "Completion.h"

namespace dispatch {

void Group::enter() {
    std::lock_guard lock(mutex_);
    ++outstanding_;
}

void Group::leave() {
    std::vector<Notification> notifications;
    {
        std::lock_guard lock(mutex_);
        assert(outstanding_ > 0 && "Group::leave without a matching enter");
        if (--outstanding_ > 0) return;
        notifications.swap(notifications_);
        emptied_.notify_all();
    }
    for (auto& notification : notifications) notification.queue->async(std::move(notification.block));
}

void Group::notify(const std::shared_ptr<Queue>& queue, Block block) {
    {
        std::lock_guard lock(mutex_);
        if (outstanding_ > 0) {
            notifications_.push_back({queue, std::move(block)});
            return;
        }
    }
    queue->async(std::move(block));
}

void Group::wait() { wait(INFINITY); }

bool Group::wait(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    return detail::Completion::waitFor(lock, emptied_, timeoutSeconds, [this] { return outstanding_ == 0; });
}

}  // namespace dispatch
