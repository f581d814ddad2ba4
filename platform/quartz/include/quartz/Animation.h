#pragma once

#include <limits>
#include <optional>
#include <string>
#include <variant>

#include "gfx/Geometry.h"

namespace quartz {

// Animated values are numbers ("opacity", "transform.rotation.z", "strokeEnd", ...) or points ("position").
using AnimationValue = std::variant<double, gfx::Point>;

// The platform's named media timing curves (cubic Béziers from (0, 0) to (1, 1)).
enum class TimingFunction { linear, easeIn, easeOut, easeInEaseOut, systemDefault };

// What an animation shows outside its active time: `removed` shows the model value, `forwards` holds the final value
// after the end, `backwards` the first value before the start.
enum class FillMode { removed, forwards, backwards, both };

// A from/to animation of one key path, evaluated at render time; the layer's model value never changes. Key paths:
// "opacity", "position", "position.x", "position.y", "transform.rotation" (same as "transform.rotation.z"),
// "transform.scale", "transform.scale.x", "transform.scale.y", "transform.translation.x", "transform.translation.y",
// "cornerRadius", "borderWidth", "shadowOpacity", "shadowRadius", and for shape layers "strokeStart", "strokeEnd",
// "lineWidth". A transform key path replaces that component of the model transform's affine part and keeps the rest.
struct BasicAnimation {
    std::string keyPath;
    // A missing end takes the layer's model value.
    std::optional<AnimationValue> fromValue;
    std::optional<AnimationValue> toValue;
    // Seconds of one forward pass; 0 means the platform's default of 0.25.
    double duration = 0;
    // Uptime seconds (foundation::Clock::uptime); 0 means "when added to a layer".
    double beginTime = 0;
    // Forward passes; 0 counts as 1; `forever` repeats without end.
    double repeatCount = 0;
    bool autoreverses = false;
    TimingFunction timingFunction = TimingFunction::linear;
    FillMode fillMode = FillMode::removed;
    // Whether pruneFinishedAnimations takes the animation off its layer once it has ended.
    bool isRemovedOnCompletion = true;

    static constexpr double forever = std::numeric_limits<double>::infinity();

    double effectiveDuration() const { return duration > 0 ? duration : 0.25; }
    // Seconds from beginTime to the end of the last pass (infinite for `forever`).
    double activeDuration() const;
    bool hasEnded(double time) const { return time >= beginTime + activeDuration(); }
    // The timed progress from 0 to 1 at `time`, or nothing when the animation shows nothing then.
    std::optional<double> progress(double time) const;
};

// The eased fraction of a timing curve at `fraction` (0 to 1).
double applyTimingFunction(TimingFunction function, double fraction);

// from + (to - from) * progress; mismatched kinds give `to`.
AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress);

}  // namespace quartz
