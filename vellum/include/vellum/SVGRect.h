#pragma once

#include "gfx/Geometry.h"

namespace vellum {

// A view box or viewport rectangle. All four components at -1 is the "not set" marker.
struct SVGRect {
    float x = -1;
    float y = -1;
    float width = -1;
    float height = -1;

    bool operator==(const SVGRect&) const = default;
};

inline SVGRect SVGRectUninitialized() { return {-1, -1, -1, -1}; }
// True when any component differs from -1.
inline bool SVGRectIsInitialized(SVGRect rect) { return rect != SVGRectUninitialized(); }
inline SVGRect SVGRectMake(float x, float y, float width, float height) { return {x, y, width, height}; }
inline gfx::Rect CGRectFromSVGRect(SVGRect rect) { return {rect.x, rect.y, rect.width, rect.height}; }
inline gfx::Size CGSizeFromSVGRect(SVGRect rect) { return {rect.width, rect.height}; }

}  // namespace vellum
