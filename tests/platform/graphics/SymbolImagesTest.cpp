#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "PixelProbe.h"
#include "gfx/SymbolImages.h"

namespace gfx {
namespace {

int inkedPixels(const Bitmap& bitmap) {
    int count = 0;
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x) count += testing::alphaAt(bitmap, x, y) > 0;
    return count;
}

TEST(SymbolImagesTest, EverySymbolDrawsInkInsideItsSquareInTheTint) {
    const Color tint = Color::systemIndigo();
    for (std::string_view name : symbolNames()) {
        SCOPED_TRACE(name);
        auto image = symbolImage(name, {.pointSize = 20}, tint, 2);
        ASSERT_TRUE(image.has_value());
        const Bitmap& bitmap = image->bitmap;
        EXPECT_EQ(image->scale, 2);
        EXPECT_EQ(bitmap.width, 48);
        EXPECT_EQ(bitmap.height, 48);
        EXPECT_GT(inkedPixels(bitmap), 48 * 48 / 20);
        for (int i = 0; i < 48; ++i) {
            EXPECT_EQ(testing::alphaAt(bitmap, i, 0) + testing::alphaAt(bitmap, i, 47) + testing::alphaAt(bitmap, 0, i) +
                          testing::alphaAt(bitmap, 47, i),
                      0u);
        }
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                if (testing::alphaAt(bitmap, x, y) == 255)
                    ASSERT_TRUE(testing::pixelNear(bitmap, x, y, tint.premultipliedPixel()));
    }
}

TEST(SymbolImagesTest, AppSymbolNamesAreAllDrawnAndUnknownNamesAreNot) {
    for (std::string_view name : {"chevron.down", "play.fill", "stop.fill", "flag.fill", "rays", "clock",
                                  "clock.arrow.circlepath", "arrow.left.and.right", "arrow.right.to.line",
                                  "arrow.turn.up.right", "lock.open", "flag.2.crossed", "thermometer.sun", "thermometer",
                                  "humidity", "cloud.fog", "wind", "cloud.rain", "newspaper.fill", "testtube.2",
                                  "point.topleft.down.curvedto.point.bottomright.up",
                                  "point.topleft.down.curvedto.point.bottomright.up.fill"})
        EXPECT_TRUE(symbolImage(name, {}, Color::black()).has_value()) << name;
    EXPECT_FALSE(symbolImage("podium", {}, Color::black()).has_value());
    EXPECT_FALSE(symbolImage("", {}, Color::black()).has_value());
    EXPECT_FALSE(symbolImage("chevron.down ", {}, Color::black()).has_value());
    EXPECT_TRUE(std::is_sorted(symbolNames().begin(), symbolNames().end()));
}

TEST(SymbolImagesTest, WeightThickensStrokesAndPointSizeScales) {
    auto light = symbolImage("clock", {.pointSize = 30, .weight = FontWeight::ultraLight}, Color::black());
    auto regular = symbolImage("clock", {.pointSize = 30}, Color::black());
    auto black = symbolImage("clock", {.pointSize = 30, .weight = FontWeight::black}, Color::black());
    EXPECT_LT(inkedPixels(light->bitmap), inkedPixels(regular->bitmap));
    EXPECT_LT(inkedPixels(regular->bitmap), inkedPixels(black->bitmap));
    EXPECT_EQ(symbolImage("clock", {.pointSize = 13}, Color::black())->bitmap.width, 16);  // 15.6 rounded up
}

TEST(SymbolImagesTest, TranslucentTintDoesNotDarkenWhereStrokesOverlap) {
    // Stroke and fill overlap at the flag's pole.
    auto image = symbolImage("flag.fill", {.pointSize = 20}, Color::black().withAlphaComponent(0.6), 2);
    std::uint32_t strongest = 0;
    for (int y = 0; y < image->bitmap.height; ++y)
        for (int x = 0; x < image->bitmap.width; ++x) strongest = std::max(strongest, testing::alphaAt(image->bitmap, x, y));
    EXPECT_EQ(strongest, 153u);
}

}  // namespace
}  // namespace gfx
