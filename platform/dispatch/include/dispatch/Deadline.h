#pragma once

#include <compare>

#include "foundation/Date.h"

namespace dispatch {

// A moment on the current Clock's uptime, so that a manual clock drives after-delays and timers.
struct Deadline {
    double uptime = 0;

    static Deadline now();
    static Deadline after(double seconds) { return now() + seconds; }
    // A wall-clock moment, converted to uptime when the deadline is made.
    static Deadline at(foundation::Date date);

    Deadline operator+(double seconds) const { return {uptime + seconds}; }
    friend auto operator<=>(const Deadline&, const Deadline&) = default;
};

}  // namespace dispatch
