#pragma once

#include "vellum/SVGLength.h"

namespace vellum {

// A gradient's length along `dimension`. In user space (units 1) a bare number is already a
// coordinate; only a bounding box takes one from 0 to 1 as a fraction of it.
inline float gradientLength(const SVGLength& length, float dimension, bool userSpace) {
    return userSpace ? length.pixelsValueWithDimension(dimension) : length.pixelsValueWithGradientDimension(dimension);
}

}  // namespace vellum
