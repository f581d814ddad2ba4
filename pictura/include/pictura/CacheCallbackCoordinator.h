#pragma once

#include <functional>
#include <memory>

#include "dispatch/Queue.h"

namespace pictura {

// Decides when a retrieval's completion runs relative to its cache writes: as soon as the writes are
// issued, or, waiting for the cache, once every write it started has finished. The trigger handed in
// with each event runs at most once over the coordinator's life.
class CacheCallbackCoordinator {
public:
    enum class State { idle, imageCached, originalImageCached, done };
    enum class Action {
        storeStarted,         // the writes have been issued
        imageStored,          // the target-cache write completed, well or not
        originalImageStored,  // the original-data write completed, well or not
    };

    CacheCallbackCoordinator(bool shouldWaitForCache, bool shouldCacheOriginal);

    // Reads the state, decides and writes the new state in one step on the state queue, so that two
    // events from two threads each see the other; then calls `trigger` on the calling thread when the
    // decision says so.
    void handle(Action action, const std::function<void()>& trigger);

    State state() const;

    const bool shouldWaitForCache;
    const bool shouldCacheOriginal;

private:
    std::shared_ptr<::dispatch::Queue> stateQueue_;
    State threadSafeState_ = State::idle;
};

}  // namespace pictura
