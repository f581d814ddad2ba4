#include "pictura/CallbackQueue.h"

#include <cassert>

namespace pictura {

void CallbackQueue::execute(::dispatch::Block block) const {
    switch (kind_) {
    case Kind::mainAsync:
        ::dispatch::Queue::main()->async(std::move(block));
        return;
    case Kind::mainCurrentOrAsync:
        // The test is on the thread, not the queue: any work on the main thread runs the block inline.
        if (::dispatch::isMainThread()) {
            block();
        } else {
            ::dispatch::Queue::main()->async(std::move(block));
        }
        return;
    case Kind::untouch:
        block();
        return;
    case Kind::dispatch:
        assert(queue_ && "CallbackQueue::dispatch needs a queue");
        queue_->async(std::move(block));
        return;
    }
}

}  // namespace pictura
