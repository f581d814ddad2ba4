#include "ui/TapGestureRecognizer.h"

#include <cmath>

namespace ui {

void TapGestureRecognizer::touchMoved(const Touch& touch) {
    Point p = touch.locationInWindow;
    if (state() == State::possible && std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) setState(State::failed);
}

void TapGestureRecognizer::touchEnded(const Touch& touch) {
    touchMoved(touch);
    if (state() == State::possible) setState(State::recognized);
}

}  // namespace ui
