#include "ui/TouchDriver.h"

#include "ui/Window.h"

namespace ui {

void TouchDriver::send(Window& window, TouchPhase phase, Point pointInWindow, double timestamp) {
    if (phase == TouchPhase::began) {
        touch_ = Touch{};
        touch_->previousLocationInWindow = pointInWindow;
    } else if (!touch_) {
        return;
    } else {
        touch_->previousLocationInWindow = touch_->locationInWindow;
    }
    touch_->phase = phase;
    touch_->locationInWindow = pointInWindow;
    touch_->timestamp = timestamp;
    window.sendTouch(*touch_, Event{timestamp});
    if (phase == TouchPhase::ended || phase == TouchPhase::cancelled) touch_.reset();
}

std::optional<Point> TouchDriver::location() const {
    if (!touch_) return std::nullopt;
    return touch_->locationInWindow;
}

}  // namespace ui
