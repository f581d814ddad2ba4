#include "pictura/SizeGeometry.h"

#include <algorithm>
#include <cmath>

namespace pictura {

namespace {

double aspectRatio(gfx::Size size) { return size.height == 0 ? 1.0 : size.width / size.height; }

double clampedUnit(double value) { return value <= 0 ? 0 : std::min(value, 1.0); }

}  // namespace

gfx::Size PicturaWrapper<gfx::Size>::resize(gfx::Size target, ContentMode mode) const {
    switch (mode) {
    case ContentMode::none: return target;
    case ContentMode::aspectFit: return constrained(target);
    case ContentMode::aspectFill: return filling(target);
    }
    return target;
}

gfx::Size PicturaWrapper<gfx::Size>::constrained(gfx::Size target) const {
    const double ratio = aspectRatio(base);
    const double width = std::round(ratio * target.height);
    const double height = std::round(target.width / ratio);
    return width > target.width ? gfx::Size{target.width, height} : gfx::Size{width, target.height};
}

gfx::Size PicturaWrapper<gfx::Size>::filling(gfx::Size target) const {
    const double ratio = aspectRatio(base);
    const double width = std::round(ratio * target.height);
    const double height = std::round(target.width / ratio);
    return width < target.width ? gfx::Size{target.width, height} : gfx::Size{width, target.height};
}

gfx::Rect PicturaWrapper<gfx::Size>::constrainedRect(gfx::Size target, gfx::Point anchor) const {
    const double x = clampedUnit(anchor.x);
    const double y = clampedUnit(anchor.y);
    const gfx::Rect candidate(x * base.width - x * target.width, y * base.height - y * target.height, target.width,
                              target.height);
    return candidate.intersection(gfx::Rect(0, 0, base.width, base.height));
}

}  // namespace pictura
