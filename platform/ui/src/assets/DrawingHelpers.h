#pragma once

#include <initializer_list>

#include "gfx/Context.h"
#include "gfx/Gradient.h"
#include "gfx/Path.h"

namespace ui::assets {

inline gfx::Path circle(gfx::Point center, double radius) {
    gfx::Path path;
    path.addEllipse({center.x - radius, center.y - radius, 2 * radius, 2 * radius});
    return path;
}

inline gfx::Path polygon(std::initializer_list<gfx::Point> points) {
    gfx::Path path;
    path.addLines({points.begin(), points.size()});
    path.closeSubpath();
    return path;
}

inline void fill(gfx::Context& context, const gfx::Path& path, gfx::Color color,
                 gfx::FillRule rule = gfx::FillRule::winding) {
    context.setFillColor(color);
    context.fill(path, rule);
}

// Fills `path` with a top-to-bottom gradient over its own bounds.
inline void fillVertically(gfx::Context& context, const gfx::Path& path, gfx::Color top, gfx::Color bottom) {
    auto bounds = path.pathBoundingBox();
    gfx::Color colors[] = {top, bottom};
    auto gradient = gfx::Gradient::make(colors);
    context.save();
    context.clip(path);
    context.drawLinearGradient(*gradient, {bounds.minX(), bounds.minY()}, {bounds.minX(), bounds.maxY()},
                               gfx::drawsBeforeStartLocation | gfx::drawsAfterEndLocation);
    context.restore();
}

}  // namespace ui::assets
