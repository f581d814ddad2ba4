#include "ui/LongPressGestureRecognizer.h"

#include <cmath>

#include "ui/RunLoopBridge.h"

namespace ui {

void LongPressGestureRecognizer::touchBegan(const Touch& touch) {
    start_ = touch.locationInWindow;
    std::uint64_t generation = ++generation_;
    std::weak_ptr<GestureRecognizer> weak = weak_from_this();
    runLoopBridge()->performAfter(minimumPressDuration_, [weak, generation] {
        auto self = std::static_pointer_cast<LongPressGestureRecognizer>(weak.lock());
        if (!self || self->generation_ != generation || self->state() != State::possible || self->numberOfTouches() == 0) return;
        self->setState(State::began);
    });
}

void LongPressGestureRecognizer::touchMoved(const Touch& touch) {
    Point p = touch.locationInWindow;
    if (state() == State::possible) {
        if (std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) setState(State::failed);
    } else if (state() == State::began || state() == State::changed) {
        setState(State::changed);
    }
}

void LongPressGestureRecognizer::touchEnded(const Touch&) {
    if (state() == State::began || state() == State::changed) setState(State::ended);
    else if (state() == State::possible) setState(State::failed);
}

}  // namespace ui
