#pragma once

#include <memory>

#include "dispatch/Queue.h"

namespace pictura {

// Where a completion handler runs.
class CallbackQueue {
public:
    enum class Kind {
        mainAsync,           // always submitted to the main queue, even from the main thread
        mainCurrentOrAsync,  // at once on the main thread, else submitted to the main queue
        untouch,             // at once on the calling thread
        dispatch,            // submitted to the given queue, never inline
    };

    static CallbackQueue mainAsync() { return CallbackQueue(Kind::mainAsync, nullptr); }
    static CallbackQueue mainCurrentOrAsync() { return CallbackQueue(Kind::mainCurrentOrAsync, nullptr); }
    static CallbackQueue untouch() { return CallbackQueue(Kind::untouch, nullptr); }
    static CallbackQueue dispatch(std::shared_ptr<::dispatch::Queue> queue) {
        return CallbackQueue(Kind::dispatch, std::move(queue));
    }

    Kind kind() const { return kind_; }
    // The queue of the `dispatch` kind; null for the others.
    const std::shared_ptr<::dispatch::Queue>& queue() const { return queue_; }

    // Runs the block exactly once where the kind says; does not wait for an asynchronous run.
    void execute(::dispatch::Block block) const;

    friend bool operator==(const CallbackQueue&, const CallbackQueue&) = default;

private:
    CallbackQueue(Kind kind, std::shared_ptr<::dispatch::Queue> queue) : kind_(kind), queue_(std::move(queue)) {}

    Kind kind_;
    std::shared_ptr<::dispatch::Queue> queue_;
};

}  // namespace pictura
