#pragma once

#include <cstdint>
#include <string>

#include "gfx/Geometry.h"

namespace host {

// Positions are in points of the device screen, (0, 0) at its top left, whatever the window's zoom.
using Point = gfx::Point;

enum class TouchPhase { began, moved, ended, cancelled };

struct TouchEvent {
    // The mouse, while its left button is held, is one touch with this id; fingers keep their own ids.
    static constexpr std::int64_t mouseTouchId = -1;

    TouchPhase phase = TouchPhase::began;
    Point point;
    double timestamp = 0;  // foundation::Clock uptime
    std::int64_t touchId = mouseTouchId;
};

// A right click: the desktop's way to ask for a context menu.
struct SecondaryClickEvent {
    Point point;
    double timestamp = 0;
};

// How far content should move, in points: positive dy scrolls toward the bottom, positive dx toward the
// right (the change to a scroll view's content offset).
struct ScrollEvent {
    static constexpr double pointsPerWheelStep = 40;

    double dx = 0;
    double dy = 0;
    bool precise = false;  // a touchpad's fractional motion rather than wheel notches
    Point point;           // where the pointer is
    double timestamp = 0;
};

// The keys the UI acts on; the rest arrive as `other`, by name.
enum class Key { escape, up, down, pageUp, pageDown, home, end, space, tab, enter, other };

struct KeyEvent {
    Key key = Key::other;
    std::string name;  // SDL's key name, "Escape", "Return", "A", ...
    bool isRepeat = false;
    bool shift = false;
    bool control = false;
    double timestamp = 0;
};

// The application's life cycle as the window sees it.
enum class AppEvent { didBecomeActive, willResignActive, didEnterBackground, willEnterForeground, willTerminate };

}  // namespace host
