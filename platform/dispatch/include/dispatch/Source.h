#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "dispatch/Queue.h"

namespace dispatch {

// An event source that calls its event handler on its queue. A source is created suspended and never
// started: the first resume() starts it. Events that arrive while it is suspended are merged and
// delivered once on resume. Cancelling, or destroying, a source in any state is safe: it stops
// delivering, releases its event handler and submits its cancel handler to the queue.
class Source : public std::enable_shared_from_this<Source> {
public:
    virtual ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    void setEventHandler(std::function<void()> handler);
    void setCancelHandler(std::function<void()> handler);
    void resume();  // one resume undoes one suspend (creation counts as one)
    void suspend();
    void cancel();  // idempotent
    bool isCancelled() const;
    bool isSuspended() const;
    // Inside the event handler: what the delivered events carried (a fire count, or event flags).
    unsigned long data() const;
    const std::shared_ptr<Queue>& queue() const { return queue_; }

protected:
    enum class Merge { add, bitwiseOr };
    Source(std::shared_ptr<Queue> queue, Merge merge) : queue_(std::move(queue)), merge_(merge) {}

    void signalEvent(unsigned long data);  // from any thread
    virtual void didCancel() {}           // stops the event producer; called once, outside the lock

private:
    void queueDelivery(std::unique_lock<std::mutex>& lock);
    void deliver();

    mutable std::mutex mutex_;
    const std::shared_ptr<Queue> queue_;
    const Merge merge_;
    std::shared_ptr<std::function<void()>> eventHandler_;
    std::shared_ptr<std::function<void()>> cancelHandler_;
    int suspendCount_ = 1;
    bool cancelled_ = false;
    bool deliveryQueued_ = false;
    unsigned long pendingData_ = 0;
    unsigned long data_ = 0;
};

}  // namespace dispatch
