#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"
#include "gfx/Image.h"

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

// The race pins: a square of 24 points in one colour, at scale 2.
inline const gfx::Color pinColor = gfx::Color::rgb(20, 200, 40);

inline std::shared_ptr<gfx::Image> squarePin() {
    auto context = gfx::Context::create(gfx::Size{24, 24}, {.scale = 2});
    context->setFillColor(pinColor);
    context->fillRect({0, 0, 24, 24});
    return gfx::Image::fromBitmap(context->makeImage(), 2);
}

}  // namespace maptest
