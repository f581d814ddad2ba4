#pragma once

#include <optional>

#include "ui/Touch.h"

namespace ui {

class Window;

// One touch at a time, as a host drives it into a window from its own input: keeps the touch between
// phases (the view it began in, the previous location) and drops moves and ends that belong to no
// touch. A new touch replaces one still in progress.
class TouchDriver {
public:
    void send(Window& window, TouchPhase phase, Point pointInWindow, double timestamp);
    bool isTouching() const { return touch_.has_value(); }
    std::optional<Point> location() const;

private:
    std::optional<Touch> touch_;
};

}  // namespace ui
