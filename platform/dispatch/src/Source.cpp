#include "dispatch/Source.h"

namespace dispatch {

Source::~Source() { cancel(); }

void Source::setEventHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    eventHandler_ = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

void Source::setCancelHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelHandler_ = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

void Source::resume() {
    std::unique_lock lock(mutex_);
    if (suspendCount_ == 0) return;
    if (--suspendCount_ == 0) queueDelivery(lock);
}

void Source::suspend() {
    std::lock_guard lock(mutex_);
    ++suspendCount_;
}

void Source::cancel() {
    std::shared_ptr<std::function<void()>> cancelHandler;
    std::shared_ptr<std::function<void()>> eventHandler;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_) return;
        cancelled_ = true;
        cancelHandler.swap(cancelHandler_);
        eventHandler.swap(eventHandler_);
    }
    didCancel();
    if (cancelHandler) queue_->async([cancelHandler] { (*cancelHandler)(); });
}

bool Source::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool Source::isSuspended() const {
    std::lock_guard lock(mutex_);
    return suspendCount_ > 0;
}

unsigned long Source::data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

void Source::signalEvent(unsigned long data) {
    std::unique_lock lock(mutex_);
    if (cancelled_) return;
    pendingData_ = merge_ == Merge::add ? pendingData_ + data : (pendingData_ | data);
    if (suspendCount_ == 0) queueDelivery(lock);
}

void Source::queueDelivery(std::unique_lock<std::mutex>& lock) {
    if (deliveryQueued_ || pendingData_ == 0 || cancelled_) return;
    deliveryQueued_ = true;
    // Weak: a queued delivery must not keep a source alive, nor end its life on another thread.
    std::weak_ptr<Source> weakSelf = weak_from_this();
    lock.unlock();
    queue_->async([weakSelf] {
        if (auto self = weakSelf.lock()) self->deliver();
    });
}

void Source::deliver() {
    std::shared_ptr<std::function<void()>> handler;
    {
        std::lock_guard lock(mutex_);
        deliveryQueued_ = false;
        if (cancelled_ || suspendCount_ > 0 || pendingData_ == 0) return;
        data_ = pendingData_;
        pendingData_ = 0;
        handler = eventHandler_;
    }
    if (handler) (*handler)();
}

}  // namespace dispatch
