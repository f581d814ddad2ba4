#include "dispatch/WorkItem.h"

#include "Completion.h"

namespace dispatch {

std::shared_ptr<WorkItem> WorkItem::create(std::function<void()> block) {
    return std::make_shared<WorkItem>(std::move(block));
}

void WorkItem::perform() {
    std::function<void()> block;
    {
        std::lock_guard lock(mutex_);
        if (!cancelled_) block = block_;
    }
    if (block) block();
    std::vector<Notification> notifications;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        notifications.swap(notifications_);
        finishedCondition_.notify_all();
    }
    for (auto& notification : notifications) notification.queue->async(std::move(notification.block));
}

void WorkItem::cancel() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
}

bool WorkItem::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void WorkItem::wait() { wait(INFINITY); }

bool WorkItem::wait(double timeoutSeconds) {
    std::unique_lock lock(mutex_);
    return detail::Completion::waitFor(lock, finishedCondition_, timeoutSeconds, [this] { return finished_; });
}

void WorkItem::notify(const std::shared_ptr<Queue>& queue, Block block) {
    {
        std::lock_guard lock(mutex_);
        if (!finished_) {
            notifications_.push_back({queue, std::move(block)});
            return;
        }
    }
    queue->async(std::move(block));
}

}  // namespace dispatch
