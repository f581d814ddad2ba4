#pragma once

#include <memory>

#include "ui/Geometry.h"

namespace ui {

class View;

enum class TouchPhase { began, moved, stationary, ended, cancelled };

// One finger on the screen during one event. Locations are kept in window space; location(in:)
// converts them.
struct Touch {
    TouchPhase phase = TouchPhase::began;
    Point locationInWindow;
    Point previousLocationInWindow;
    // Uptime seconds.
    double timestamp = 0;
    int tapCount = 1;
    // The view the touch began in; it receives every later phase.
    std::weak_ptr<View> view;

    Point location(const View* view) const;
    Point previousLocation(const View* view) const;
};

struct Event {
    double timestamp = 0;
};

}  // namespace ui
