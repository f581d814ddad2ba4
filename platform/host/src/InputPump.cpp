#include "InputPump.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace host {

InputPump::InputPump(int connectionDescriptor, std::weak_ptr<dispatch::RunLoop> loop)
    : connection_(connectionDescriptor), loop_(std::move(loop)) {
    SDL_AddEventWatch(&InputPump::onEventAdded, this);
    if (connection_ >= 0) stopDescriptor_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (connection_ >= 0 && stopDescriptor_ >= 0) {
        watcher_ = std::thread([this] { watch(); });
        return;
    }
    fallbackTimer_ = dispatch::Timer::create(1.0 / 60, true, [](dispatch::Timer&) {});
    if (auto loop = loop_.lock()) loop->add(fallbackTimer_);
}

InputPump::~InputPump() {
    SDL_DelEventWatch(&InputPump::onEventAdded, this);
    if (fallbackTimer_) fallbackTimer_->invalidate();
    if (watcher_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        drained_.notify_all();
        std::uint64_t one = 1;
        (void)!write(stopDescriptor_, &one, sizeof one);
        watcher_.join();
    }
    if (stopDescriptor_ >= 0) close(stopDescriptor_);
}

void InputPump::endDrain() {
    draining_ = false;
    {
        std::lock_guard lock(mutex_);
        ++drainCount_;
    }
    drained_.notify_all();
}

int InputPump::onEventAdded(void* pump, SDL_Event*) {
    auto& self = *static_cast<InputPump*>(pump);
    // Events the main thread's own drain pulls in are handled by that drain.
    if (dispatch::isMainThread() && self.draining_) return 0;
    self.wakeLoop();
    return 0;
}

void InputPump::wakeLoop() {
    if (auto loop = loop_.lock()) loop->wake();
}

void InputPump::watch() {
    for (;;) {
        pollfd descriptors[2] = {{connection_, POLLIN, 0}, {stopDescriptor_, POLLIN, 0}};
        int ready = poll(descriptors, 2, -1);
        if (ready < 0) continue;  // EINTR
        if (descriptors[1].revents != 0) return;
        if (descriptors[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            // The connection is gone; one last wake lets the main thread see the error.
            wakeLoop();
            return;
        }
        unsigned long seen;
        {
            std::lock_guard lock(mutex_);
            seen = drainCount_;
        }
        wakeLoop();
        std::unique_lock lock(mutex_);
        drained_.wait(lock, [&] { return stopping_ || drainCount_ != seen; });
        if (stopping_) return;
    }
}

}  // namespace host
