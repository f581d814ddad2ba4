#include "dispatch/DisplayLink.h"

#include "dispatch/RunLoop.h"
#include "dispatch/Timer.h"

namespace dispatch {

std::shared_ptr<DisplayLink> DisplayLink::create(Callback callback) {
    return std::make_shared<DisplayLink>(std::move(callback));
}

DisplayLink::~DisplayLink() {
    if (timer_) timer_->invalidate();
}

void DisplayLink::addToRunLoop(const std::shared_ptr<RunLoop>& loop) {
    std::unique_lock lock(mutex_);
    if (invalidated_) return;
    loop_ = loop;
    restartTimer(lock);
}

void DisplayLink::removeFromRunLoop() {
    std::unique_lock lock(mutex_);
    loop_.reset();
    restartTimer(lock);
}

void DisplayLink::invalidate() {
    Callback released;
    std::unique_lock lock(mutex_);
    invalidated_ = true;
    loop_.reset();
    released.swap(callback_);
    restartTimer(lock);
}

bool DisplayLink::isPaused() const {
    std::lock_guard lock(mutex_);
    return paused_;
}

void DisplayLink::setPaused(bool paused) {
    std::unique_lock lock(mutex_);
    if (paused_ == paused) return;
    paused_ = paused;
    restartTimer(lock);
}

int DisplayLink::preferredFramesPerSecond() const {
    std::lock_guard lock(mutex_);
    return framesPerSecond_;
}

void DisplayLink::setPreferredFramesPerSecond(int framesPerSecond) {
    std::unique_lock lock(mutex_);
    framesPerSecond_ = framesPerSecond > 0 ? framesPerSecond : 60;
    restartTimer(lock);
}

double DisplayLink::timestamp() const {
    std::lock_guard lock(mutex_);
    return timestamp_;
}

double DisplayLink::duration() const {
    std::lock_guard lock(mutex_);
    return 1.0 / framesPerSecond_;
}

double DisplayLink::targetTimestamp() const {
    std::lock_guard lock(mutex_);
    return timestamp_ + 1.0 / framesPerSecond_;
}

// Frames are a repeating run-loop timer that exists only while the link is on a loop and not paused.
void DisplayLink::restartTimer(std::unique_lock<std::mutex>& lock) {
    auto old = std::move(timer_);
    auto loop = loop_.lock();
    if (loop && !paused_ && !invalidated_) {
        std::weak_ptr<DisplayLink> weakSelf = weak_from_this();
        timer_ = Timer::create(1.0 / framesPerSecond_, true, [weakSelf](Timer& timer) {
            if (auto self = weakSelf.lock()) self->deliverFrame(timer.nextFireUptime() - timer.timeInterval());
        });
    }
    auto fresh = timer_;
    lock.unlock();
    if (old) old->invalidate();
    if (fresh) loop->add(fresh);
}

void DisplayLink::deliverFrame(double frameTime) {
    Callback callback;
    {
        std::lock_guard lock(mutex_);
        if (paused_ || invalidated_) return;
        timestamp_ = frameTime;
        callback = callback_;
    }
    if (callback) callback(*this);
}

}  // namespace dispatch
