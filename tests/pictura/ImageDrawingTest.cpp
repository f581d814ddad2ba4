#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ImageSamples.h"
#include "gfx/BoxBlur.h"
#include "gfx/ImageRenderer.h"
#include "pictura/PlatformWrappers.h"

namespace pictura {
namespace {

using gfx::Color;
using gfx::ImageOrientation;
using gfx::Size;
using samples::channel;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

std::shared_ptr<gfx::Image> picture(int width, int height, double scale = 1,
                                    ImageOrientation orientation = ImageOrientation::up) {
    return samples::image(samples::coordinates(width, height), scale, orientation);
}

TEST(ImageDrawingTest, operationsWithoutABitmapGiveTheSameImage) {
    auto empty = gfx::Image::make(nullptr, 2, ImageOrientation::left);
    auto same = [&](const std::shared_ptr<gfx::Image>& result) { EXPECT_EQ(result, empty); };
    same(pc(empty).normalized());
    same(pc(empty).decoded());
    same(pc(empty).imageWithBlendMode(gfx::BlendMode::multiply, 0.5, Color::white()));
    same(pc(empty).imageWithRadius(Radius::point(3), {10, 10}, RectCorner::all(), std::nullopt));
    same(pc(empty).resize({10, 10}));
    same(pc(empty).resize({10, 10}, ContentMode::aspectFit));
    same(pc(empty).crop({5, 5}, {0.5, 0.5}));
    same(pc(empty).blurred(4));
    same(pc(empty).addingBorder({}));
    same(pc(empty).overlaying(Color::black(), 0.5));
    same(pc(empty).scaled(3));
    same(pc(empty).tinted(Color::black()));
    auto image = picture(4, 4, 2);
    EXPECT_EQ(pc(image).scaled(2), image);
    auto rescaled = pc(image).scaled(3);
    EXPECT_NE(rescaled, image);
    EXPECT_EQ(rescaled->bitmap(), image->bitmap());  // no pixels copied
    EXPECT_EQ(rescaled->scale(), 3);
}

TEST(ImageDrawingTest, canvasesThatCannotBeMadeGiveTheInputBack) {
    auto image = picture(8, 8);
    for (Size size : {Size{0, 0}, Size{nan, 10}, Size{10, infinity}, Size{-5, 5}, Size{1e9, 1e9}, Size{40000, 1}}) {
        EXPECT_EQ(pc(image).resize(size), image);
        EXPECT_EQ(pc(image).imageWithRadius(Radius::point(2), size, RectCorner::all(), std::nullopt), image);
    }
    EXPECT_EQ(pc(image).decoded(0), image);
    EXPECT_EQ(pc(image).decoded(nan), image);
}

TEST(ImageDrawingTest, decodingDrawsFreshPixelsButLeavesAnimationsToTheirSource) {
    auto turned = picture(6, 4, 2, ImageOrientation::right);
    auto decoded = pc(turned).decoded();
    EXPECT_EQ(decoded->orientation(), ImageOrientation::right);
    EXPECT_NE(decoded->bitmap(), turned->bitmap());
    EXPECT_EQ(decoded->bitmap()->pixels, turned->bitmap()->pixels);
    EXPECT_EQ(decoded->scale(), 2);

    auto animated = PicturaWrapper<std::shared_ptr<gfx::Image>>::image(samples::gif({0.1, 0.1}), {});
    ASSERT_TRUE(pc(animated).imageSource());
    EXPECT_EQ(pc(animated).decoded(), animated);

    auto context = gfx::Context::create(6, 4, {.scale = 1, .origin = gfx::Origin::bottomLeft});
    auto onContext = pc(picture(6, 4)).decoded(*context);
    EXPECT_EQ(onContext->bitmap()->pixels, samples::coordinates(6, 4).pixels);
}

TEST(ImageDrawingTest, normalizingTurnsThePixelsUpright) {
    auto up = picture(3, 2);
    auto copy = pc(up).normalized();
    EXPECT_NE(copy, up);
    EXPECT_EQ(copy->bitmap(), up->bitmap());

    auto animated = gfx::Image::animated({picture(2, 2), picture(2, 2)}, 1);
    auto animatedCopy = pc(gfx::Image::make(animated->bitmap(), 1, ImageOrientation::left)).normalized();
    EXPECT_EQ(animatedCopy->orientation(), ImageOrientation::up);
    auto keptAnimation = pc(animated).normalized();
    EXPECT_NE(keptAnimation, animated);
    EXPECT_EQ(keptAnimation->frames().size(), 2u);

    auto left = picture(6, 4, 2, ImageOrientation::left);
    auto upright = pc(left).normalized();
    EXPECT_EQ(upright->orientation(), ImageOrientation::up);
    EXPECT_EQ(upright->size(), left->size());
    EXPECT_EQ(upright->bitmap()->pixels, gfx::orientedBitmap(*left->bitmap(), ImageOrientation::left).pixels);
}

TEST(ImageDrawingTest, resizingByContentMode) {
    auto image = picture(200, 100);
    EXPECT_EQ(pc(image).resize({100, 100}, ContentMode::aspectFit)->size(), (Size{100, 50}));
    EXPECT_EQ(pc(image).resize({100, 100}, ContentMode::aspectFill)->size(), (Size{200, 100}));
    EXPECT_EQ(pc(image).resize({100, 100}, ContentMode::none)->size(), (Size{100, 100}));
    auto retina = pc(picture(200, 100, 2)).resize({50, 50});
    EXPECT_EQ(retina->pixelWidth(), 100);
    EXPECT_EQ(retina->scale(), 2);
}

TEST(ImageDrawingTest, croppingCutsPixelsScaledFromPoints) {
    auto image = picture(200, 200, 2);  // 100 x 100 points
    auto cropped = pc(image).crop({50, 50}, {0.5, 0.5});
    ASSERT_EQ(cropped->pixelWidth(), 100);
    ASSERT_EQ(cropped->pixelHeight(), 100);
    EXPECT_EQ(cropped->scale(), 2);
    EXPECT_EQ(cropped->bitmap()->pixel(0, 0), image->bitmap()->pixel(50, 50));
    EXPECT_EQ(cropped->bitmap()->pixel(99, 99), image->bitmap()->pixel(149, 149));

    auto clamped = pc(image).crop({50, 50}, {2, -1});
    EXPECT_EQ(clamped->bitmap()->pixels, pc(image).crop({50, 50}, {1, 0})->bitmap()->pixels);
    EXPECT_EQ(clamped->bitmap()->pixel(0, 0), image->bitmap()->pixel(100, 0));
    // A crop outside the picture, or of sizes and anchors that are not numbers, leaves it as it was.
    EXPECT_EQ(pc(image).crop({0, 0}, {0.5, 0.5}), image);
    EXPECT_EQ(pc(image).crop({nan, 5}, {0.5, 0.5}), image);
    EXPECT_EQ(pc(image).crop({5, 5}, {nan, nan}), image);
    auto whole = pc(image).crop({infinity, infinity}, {0, 0});
    EXPECT_TRUE(whole == image || whole->bitmap()->pixels == image->bitmap()->pixels);
}

TEST(ImageDrawingTest, croppingATurnedImageCutsThePartThatIsSeen) {
    for (auto orientation : {ImageOrientation::right, ImageOrientation::left, ImageOrientation::down,
                             ImageOrientation::upMirrored, ImageOrientation::leftMirrored,
                             ImageOrientation::rightMirrored, ImageOrientation::downMirrored}) {
        SCOPED_TRACE(static_cast<int>(orientation));
        auto turned = picture(60, 40, 1, orientation);
        auto cropped = pc(turned).crop({10, 20}, {0, 0});
        EXPECT_EQ(cropped->orientation(), orientation);
        EXPECT_EQ(cropped->size(), (Size{10, 20}));
        auto seen = pc(pc(turned).normalized()).crop({10, 20}, {0, 0});
        EXPECT_EQ(pc(cropped).normalized()->bitmap()->pixels, seen->bitmap()->pixels);
    }
}

TEST(ImageDrawingTest, blurPassesAndKernelFollowTheRadius) {
    auto image = picture(40, 30);
    const auto& pixels = *image->bitmap();
    auto times = [](gfx::Bitmap bitmap, int passes, int kernel) {
        for (int pass = 0; pass < passes; ++pass) bitmap = gfx::boxBlur(bitmap, kernel, kernel);
        return bitmap.pixels;
    };
    EXPECT_EQ(pc(image).blurred(0)->bitmap()->pixels, times(pixels, 1, 5));
    EXPECT_EQ(pc(image).blurred(1)->bitmap()->pixels, times(pixels, 2, 5));
    EXPECT_EQ(pc(image).blurred(10)->bitmap()->pixels, times(pixels, 3, 19));
    EXPECT_EQ(pc(image).blurred(20)->bitmap()->pixels, times(pixels, 3, 39));
}

TEST(ImageDrawingTest, blurWorksOnTheStoredPixelsWhateverTheRadius) {
    auto turned = picture(30, 10, 2, ImageOrientation::left);
    for (double radius : {-4.0, nan, infinity, 1e12}) {
        auto blurred = pc(turned).blurred(radius);
        ASSERT_NE(blurred, turned);
        EXPECT_EQ(blurred->pixelWidth(), 30);
        EXPECT_EQ(blurred->pixelHeight(), 10);
        EXPECT_EQ(blurred->orientation(), ImageOrientation::left);
        EXPECT_EQ(blurred->scale(), 2);
    }
}

TEST(ImageDrawingTest, overlayPaintsWhereTheImageIsOpaque) {
    // Left half opaque white, right half transparent.
    auto bitmap = gfx::Bitmap::make(10, 4);
    for (int y = 0; y < 4; ++y) std::fill_n(bitmap.row(y), 5, 0xFFFFFFFFu);
    auto image = samples::image(bitmap);
    auto plain = pc(image).overlaying({1, 0, 0, 1}, 0);
    EXPECT_EQ(plain->bitmap()->pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(plain->bitmap()->pixel(8, 1), 0u);
    auto blended = pc(image).overlaying({1, 0, 0, 1}, 0.5);
    const auto pixel = blended->bitmap()->pixel(1, 1);
    EXPECT_EQ(channel(pixel, 16), 255);
    EXPECT_NEAR(channel(pixel, 8), 128, 2);
    EXPECT_EQ(blended->bitmap()->pixel(8, 1), 0u);
}

TEST(ImageDrawingTest, borderAlphaCountsOnceAndOddRadiiAreSafe) {
    auto white = samples::image(samples::filled(40, 40, Color::white()));
    auto bordered = pc(white).addingBorder({.color = {0, 0, 0, 0.5}, .lineWidth = 4});
    // Half-transparent black over white: mid grey, not the quarter a doubled alpha gives.
    const auto edge = bordered->bitmap()->pixel(1, 20);
    EXPECT_NEAR(channel(edge, 0), 128, 2);
    EXPECT_EQ(bordered->bitmap()->pixel(20, 20), 0xFFFFFFFFu);

    for (const Border& border : {Border{.lineWidth = 100}, Border{.lineWidth = nan}, Border{.lineWidth = -3},
                                 Border{.lineWidth = 2, .radius = Radius::point(-50)},
                                 Border{.lineWidth = 2, .radius = Radius::widthFraction(1e9)}}) {
        auto result = pc(white).addingBorder(border);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->bitmap()->pixel(20, 20), 0xFFFFFFFFu);
    }
}

TEST(ImageDrawingTest, roundedCornersClipToTheFitSize) {
    auto image = samples::image(samples::filled(20, 20, Color::white()), 2);  // 10 x 10 points
    auto rounded = pc(image).imageWithRoundRadius(8, {40, 20}, RectCorner::topLeft(), Color{0, 0, 1, 1});
    EXPECT_EQ(rounded->size(), (Size{40, 20}));
    EXPECT_EQ(rounded->pixelWidth(), 80);
    // Outside the rounded top-left corner only the background shows; the other corners are square.
    EXPECT_EQ(rounded->bitmap()->pixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(rounded->bitmap()->pixel(79, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rounded->bitmap()->pixel(40, 20), 0xFFFFFFFFu);
}

// Rounding and bordering copy the picture onto their new canvas rather than blend it: the pixels,
// translucent ones and the soft corner edges included, are those of drawing it over nothing.
TEST(ImageDrawingTest, roundedAndBorderedTranslucentPicturesAreThoseDrawnOverNothing) {
    auto image = samples::image(samples::filled(30, 20, Color{0.2, 0.6, 1, 0.5}), 2);  // 15 x 10 points
    const gfx::Rect whole{0, 0, 15, 10};
    auto drawnOverNothing = [&](const std::function<void(gfx::Context&)>& more) {
        return gfx::ImageRenderer({15, 10}, {.scale = 2}).image([&](gfx::Context& context) {
            more(context);
            context.drawBitmap(*image->bitmap(), whole, gfx::BitmapPlacement::firstRowAtMinY);
        });
    };
    auto rounded = pc(image).imageWithRoundRadius(4, {15, 10}, RectCorner::all(), std::nullopt);
    auto roundedReference = drawnOverNothing([&](gfx::Context& context) {
        gfx::Path corners;
        corners.addRoundedRect(whole, static_cast<unsigned>(RectCorner::all().rawValue), {4, 4});
        context.clip(corners, gfx::FillRule::winding);
    });
    EXPECT_EQ(rounded->bitmap()->pixels, roundedReference.bitmap.pixels);
    EXPECT_EQ(rounded->bitmap()->pixel(0, 0), 0u);
    EXPECT_EQ(rounded->bitmap()->pixel(15, 10), image->bitmap()->pixel(15, 10));

    auto bordered = pc(image).addingBorder({.color = {0, 0, 0, 0.5}, .lineWidth = 2});
    auto plain = drawnOverNothing([](gfx::Context&) {});
    EXPECT_EQ(bordered->bitmap()->pixel(15, 10), plain.bitmap.pixel(15, 10));
    // The border still blends over the picture: darker, and more opaque than either alone.
    EXPECT_GT(channel(bordered->bitmap()->pixel(1, 10), 24), channel(plain.bitmap.pixel(1, 10), 24));
}

TEST(ImageDrawingTest, blendingDrawsOverTheBackground) {
    auto image = samples::image(samples::filled(4, 4, {1, 1, 1, 1}));
    auto blended = pc(image).imageWithBlendMode(gfx::BlendMode::normal, 0.5, Color{0, 0, 0, 1});
    EXPECT_NEAR(channel(blended->bitmap()->pixel(2, 2), 0), 128, 2);
    EXPECT_EQ(channel(blended->bitmap()->pixel(2, 2), 24), 255);
}

}  // namespace
}  // namespace pictura
