#include <gtest/gtest.h>

#include "PixelProbe.h"
#include "gfx/Context.h"
#include "gfx/Gradient.h"

using namespace gfx;
using gfx::testing::alphaAt;
using gfx::testing::pixelNear;

namespace {

Gradient redToBlue() {
    const Color colors[] = {Color::rgb(255, 0, 0), Color::rgb(0, 0, 255)};
    return *Gradient::make(colors);
}

Bitmap drawLinear(unsigned options) {
    auto context = Context::create(100, 10, {});
    context->drawLinearGradient(redToBlue(), {25, 0}, {75, 0}, options);
    return context->makeImage();
}

}  // namespace

TEST(Gradient, StopsSpreadEvenlyWithoutLocationsAndMismatchesAreRefused) {
    const Color colors[] = {Color::black(), Color::white(), Color::black()};
    auto gradient = Gradient::make(colors);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->stops()[1].location, 0.5);
    const double twoLocations[] = {0, 1};
    EXPECT_FALSE(Gradient::make(colors, twoLocations));
    EXPECT_FALSE(Gradient::make({}));
}

TEST(Gradient, LinearGradientInterpolatesBetweenItsEnds) {
    Bitmap image = drawLinear(0);
    EXPECT_TRUE(pixelNear(image, 25, 5, 0xFFFF0000, 6));
    EXPECT_TRUE(pixelNear(image, 50, 5, 0xFF800080, 6));
    EXPECT_TRUE(pixelNear(image, 74, 5, 0xFF0000FF, 6));
}

TEST(Gradient, LinearExtensionOptionsPaintBeyondEachEnd) {
    Bitmap neither = drawLinear(0);
    EXPECT_EQ(alphaAt(neither, 5, 5), 0u);
    EXPECT_EQ(alphaAt(neither, 95, 5), 0u);

    Bitmap both = drawLinear(drawsBeforeStartLocation | drawsAfterEndLocation);
    EXPECT_TRUE(pixelNear(both, 5, 5, 0xFFFF0000));
    EXPECT_TRUE(pixelNear(both, 95, 5, 0xFF0000FF));

    Bitmap beforeOnly = drawLinear(drawsBeforeStartLocation);
    EXPECT_TRUE(pixelNear(beforeOnly, 5, 5, 0xFFFF0000));
    EXPECT_EQ(alphaAt(beforeOnly, 95, 5), 0u);
    EXPECT_TRUE(pixelNear(beforeOnly, 50, 5, 0xFF800080, 6));

    Bitmap afterOnly = drawLinear(drawsAfterEndLocation);
    EXPECT_EQ(alphaAt(afterOnly, 5, 5), 0u);
    EXPECT_TRUE(pixelNear(afterOnly, 95, 5, 0xFF0000FF));
}

TEST(Gradient, RepeatingAndReflectingContinueTheBandBeyondBothEnds) {
    // The band runs red (25) to blue (75): 5 and 95 lie 20 before its start and 20 past its end.
    Bitmap repeated = drawLinear(repeatsBeyondEnds);
    EXPECT_TRUE(pixelNear(repeated, 5, 5, 0xFF660099u, 8)) << "as at 55";
    EXPECT_TRUE(pixelNear(repeated, 95, 5, 0xFF990066u, 8)) << "as at 45";
    Bitmap reflected = drawLinear(reflectsBeyondEnds);
    EXPECT_TRUE(pixelNear(reflected, 5, 5, 0xFF990066u, 8)) << "mirrored at the start, as at 45";
    EXPECT_TRUE(pixelNear(reflected, 95, 5, 0xFF660099u, 8)) << "mirrored at the end, as at 55";
    auto context = Context::create(100, 100, {});
    context->drawRadialGradient(redToBlue(), {50, 50}, 0, {50, 50}, 20, repeatsBeyondEnds);
    Bitmap rings = context->makeImage();
    EXPECT_TRUE(pixelNear(rings, 50 + 21, 50, 0xFFF2000D, 12)) << "a new ring starts red past the radius";
}

TEST(Gradient, RadialGradientFillsItsDiscAndExtendsOutwardOnRequest) {
    auto context = Context::create(100, 100, {});
    context->drawRadialGradient(redToBlue(), {50, 50}, 0, {50, 50}, 40, 0);
    Bitmap inside = context->makeImage();
    EXPECT_TRUE(pixelNear(inside, 50, 50, 0xFFFF0000, 8));
    EXPECT_TRUE(pixelNear(inside, 50, 89, 0xFF0000FF, 10));
    EXPECT_EQ(alphaAt(inside, 2, 2), 0u);

    auto extended = Context::create(100, 100, {});
    extended->drawRadialGradient(redToBlue(), {50, 50}, 10, {50, 50}, 40, drawsAfterEndLocation);
    Bitmap after = extended->makeImage();
    EXPECT_TRUE(pixelNear(after, 2, 2, 0xFF0000FF));
    EXPECT_EQ(alphaAt(after, 50, 50), 0u);  // inside the start circle: nothing before the start
}

TEST(Gradient, GradientsStayInsideTheClipAndHonourAlpha) {
    auto context = Context::create(100, 10, {});
    context->clip(Rect{0, 0, 50, 10});
    context->setAlpha(0.5);
    context->drawLinearGradient(redToBlue(), {0, 0}, {100, 0}, drawsBeforeStartLocation | drawsAfterEndLocation);
    Bitmap image = context->makeImage();
    EXPECT_EQ(alphaAt(image, 75, 5), 0u);
    EXPECT_NEAR(double(alphaAt(image, 10, 5)), 128, 2);
}
