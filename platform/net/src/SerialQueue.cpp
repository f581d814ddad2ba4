#include "SerialQueue.h"

namespace net {

SerialQueue::SerialQueue() : thread_(run, state_) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_one();
    // The last block may own the session that owns this queue.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void SerialQueue::async(std::function<void()> block) {
    {
        std::lock_guard lock(state_->mutex);
        state_->blocks.push_back(std::move(block));
    }
    state_->wake.notify_one();
}

void SerialQueue::run(std::shared_ptr<State> state) {
    std::unique_lock lock(state->mutex);
    while (true) {
        state->wake.wait(lock, [&] { return state->stopping || !state->blocks.empty(); });
        if (state->stopping) {
            // Dropped blocks may answer replies with their fallbacks; do that outside the lock.
            auto dropped = std::move(state->blocks);
            lock.unlock();
            return;
        }
        auto block = std::move(state->blocks.front());
        state->blocks.pop_front();
        lock.unlock();
        block();
        block = nullptr;
        lock.lock();
    }
}

}  // namespace net
