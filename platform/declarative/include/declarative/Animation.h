#pragma once

#include <functional>
#include <optional>

#include "ui/ViewAnimationOptions.h"

namespace declarative {

// How the view changes caused by a state change are animated.
struct Animation {
    double duration = 0.35;
    ui::AnimationCurve curve = ui::AnimationCurve::easeInOut;

    static Animation linear(double duration) { return {duration, ui::AnimationCurve::linear}; }
    static Animation easeInOut(double duration) { return {duration, ui::AnimationCurve::easeInOut}; }
    friend bool operator==(const Animation&, const Animation&) = default;
};

// Runs `changes`; the change events they send carry `animation` to the evaluations they cause.
void withAnimation(std::optional<Animation> animation, const std::function<void()>& changes);
// The animation of the innermost withAnimation running on this thread, if any.
std::optional<Animation> currentAnimation();

}  // namespace declarative
