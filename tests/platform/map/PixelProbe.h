#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Geometry.h"

namespace maptest {

// The straight colour of the pixel under a point of a rendering at `scale`.
inline gfx::Color pixel(const gfx::Bitmap& image, gfx::Point point, double scale) {
    int x = static_cast<int>(point.x * scale), y = static_cast<int>(point.y * scale);
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        ADD_FAILURE() << "probe off screen";
        return gfx::Color::clear();
    }
    return gfx::Color::fromPremultipliedPixel(image.pixel(x, y));
}

inline bool near(gfx::Color a, gfx::Color b) {
    return std::abs(a.red - b.red) < 0.03 && std::abs(a.green - b.green) < 0.03 && std::abs(a.blue - b.blue) < 0.03;
}

}  // namespace maptest
