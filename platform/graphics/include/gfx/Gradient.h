#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "gfx/Color.h"

namespace gfx {

struct GradientStop {
    Color color;
    double location = 0;

    bool operator==(const GradientStop&) const = default;
};

// Whether a gradient drawing paints the end colours beyond its two ends (the platform's drawing options),
// or instead repeats the gradient, or mirrors it back and forth, beyond both ends.
enum GradientDrawingOptions : unsigned {
    drawsBeforeStartLocation = 1,
    drawsAfterEndLocation = 2,
    repeatsBeyondEnds = 4,
    reflectsBeyondEnds = 8,
};

// Colour stops along a gradient, locations from 0 to 1 in order; drawn with Context::drawLinearGradient
// and Context::drawRadialGradient. Copies share what drawing makes of the stops, so a gradient made once
// and drawn many times pays for its stops once.
class Gradient {
public:
    // Without locations the colours are spread evenly from 0 to 1. Nothing when there are no colours or
    // the counts differ. Stops are put in order of location (stops at one location keep theirs), and of a
    // run at one location only the first and last are kept: those in between never show.
    static std::optional<Gradient> make(std::span<const Color> colors, std::span<const double> locations = {});

    const std::vector<GradientStop>& stops() const { return stops_; }

    struct Patterns;

private:
    friend class Context;
    std::vector<GradientStop> stops_;
    std::shared_ptr<Patterns> patterns_;
};

}  // namespace gfx
