#include "pictura/CacheCallbackCoordinator.h"

#include "foundation/UUID.h"

namespace pictura {

namespace {

struct Transition {
    CacheCallbackCoordinator::State next;
    bool triggers;
};

Transition decide(CacheCallbackCoordinator::State state, CacheCallbackCoordinator::Action action,
                  bool shouldWaitForCache, bool shouldCacheOriginal) {
    using State = CacheCallbackCoordinator::State;
    using Action = CacheCallbackCoordinator::Action;
    switch (state) {
    case State::idle:
        switch (action) {
        case Action::storeStarted: return shouldWaitForCache ? Transition{State::idle, false} : Transition{State::done, true};
        case Action::imageStored:
            return shouldCacheOriginal ? Transition{State::imageCached, false} : Transition{State::done, true};
        case Action::originalImageStored: return {State::originalImageCached, false};
        }
        break;
    case State::imageCached:
        if (action == Action::originalImageStored) return {State::done, true};
        break;
    case State::originalImageCached:
        if (action == Action::imageStored) return {State::done, true};
        break;
    case State::done: break;
    }
    return {state, false};
}

}  // namespace

CacheCallbackCoordinator::CacheCallbackCoordinator(bool shouldWaitForCache, bool shouldCacheOriginal)
    : shouldWaitForCache(shouldWaitForCache), shouldCacheOriginal(shouldCacheOriginal),
      stateQueue_(::dispatch::Queue::serial("com.tolvane.Pictura.CacheCallbackCoordinator.stateQueue." +
                                            foundation::UUID::random().uuidString())) {}

void CacheCallbackCoordinator::handle(Action action, const std::function<void()>& trigger) {
    const bool triggers = stateQueue_->sync([&] {
        const Transition transition = decide(threadSafeState_, action, shouldWaitForCache, shouldCacheOriginal);
        threadSafeState_ = transition.next;
        return transition.triggers;
    });
    if (triggers && trigger) trigger();
}

CacheCallbackCoordinator::State CacheCallbackCoordinator::state() const {
    return stateQueue_->sync([this] { return threadSafeState_; });
}

}  // namespace pictura
