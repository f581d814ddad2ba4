#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "gfx/Context.h"
#include "quartz/Renderer.h"

namespace quartz::testing {

inline const gfx::Color red = gfx::Color::rgb(255, 0, 0), blue = gfx::Color::rgb(0, 0, 255), black = gfx::Color::black();
inline const gfx::Color transparent = gfx::Color::clear();

// Renders `layer` into a transparent top-left context of `size` points at `scale`.
inline gfx::Bitmap renderToBitmap(const Layer& layer, gfx::Size size, double scale = 1, double time = 0) {
    auto context = gfx::Context::create(size, {.scale = scale});
    EXPECT_TRUE(context);
    if (!context) return {};
    render(layer, *context, RenderTime{time});
    return context->makeImage();
}

inline int alphaAt(const gfx::Bitmap& bitmap, int x, int y) { return int(bitmap.pixel(x, y) >> 24); }

// The straight colour of one pixel, compared within `tolerance` (0 to 1) a component.
inline ::testing::AssertionResult colorNear(const gfx::Bitmap& bitmap, int x, int y, gfx::Color expected,
                                            double tolerance = 0.02) {
    gfx::Color actual = gfx::Color::fromPremultipliedPixel(bitmap.pixel(x, y));
    bool near = std::abs(actual.alpha - expected.alpha) <= tolerance &&
                (expected.alpha == 0 || (std::abs(actual.red - expected.red) <= tolerance &&
                                         std::abs(actual.green - expected.green) <= tolerance &&
                                         std::abs(actual.blue - expected.blue) <= tolerance));
    if (near) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is rgba(" << actual.red << ", "
                                         << actual.green << ", " << actual.blue << ", " << actual.alpha
                                         << "), expected rgba(" << expected.red << ", " << expected.green << ", "
                                         << expected.blue << ", " << expected.alpha << ")";
}

inline std::shared_ptr<Layer> coloredLayer(gfx::Rect frame, gfx::Color color) {
    auto layer = Layer::make();
    layer->setFrame(frame);
    layer->setBackgroundColor(color);
    return layer;
}

}  // namespace quartz::testing
