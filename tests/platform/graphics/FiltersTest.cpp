#include <gtest/gtest.h>

#include "PixelProbe.h"
#include "gfx/Filters.h"

using namespace gfx;
using gfx::testing::pixelNear;

namespace {

Bitmap onePixel(std::uint32_t pixel) {
    Bitmap bitmap = Bitmap::make(1, 1);
    bitmap.row(0)[0] = pixel;
    return bitmap;
}

}  // namespace

TEST(Filters, ConstantColourOverAnImageTintsOrCovers) {
    Bitmap picture = onePixel(0xFF0000FF);
    Bitmap halfRed = constantColor(Color::rgb(255, 0, 0, 0.5), 1, 1);
    EXPECT_TRUE(pixelNear(sourceOver(halfRed, picture), 0, 0, 0xFF80007F, 1));
    EXPECT_TRUE(pixelNear(sourceOver(constantColor(Color::clear(), 1, 1), picture), 0, 0, 0xFF0000FF, 0));
    EXPECT_TRUE(pixelNear(sourceOver(constantColor(Color::rgb(0, 255, 0), 1, 1), picture), 0, 0, 0xFF00FF00, 0));
    EXPECT_TRUE(constantColor(Color::black(), 0, 5).empty());
}

TEST(Filters, SourceOverCoversOnlyTheBackgroundExtent) {
    Bitmap background = Bitmap::make(3, 1);
    Bitmap result = sourceOver(constantColor(Color::white(), 2, 5), background);
    EXPECT_EQ(result.width, 3);
    EXPECT_EQ(result.height, 1);
    EXPECT_TRUE(pixelNear(result, 1, 0, 0xFFFFFFFF, 0));
    EXPECT_TRUE(pixelNear(result, 2, 0, 0, 0));
}

TEST(Filters, NeutralColourControlsLeaveThePictureUnchanged) {
    Bitmap picture = Bitmap::make(3, 1);
    picture.row(0)[0] = 0xFF3366CC;
    picture.row(0)[1] = 0x80402010;
    picture.row(0)[2] = 0;
    Bitmap result = colorControls(picture, 0, 1, 1);
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(pixelNear(result, x, 0, picture.pixel(x, 0), 1));
    Bitmap exposed = exposureAdjust(picture, 0);
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(pixelNear(exposed, x, 0, picture.pixel(x, 0), 1));
}

TEST(Filters, ColourControlsOnKnownValues) {
    Bitmap pureRed = onePixel(0xFFFF0000);
    // Saturation 0 leaves the luma: 0.2125 of full red.
    EXPECT_TRUE(pixelNear(colorControls(pureRed, 0, 1, 0), 0, 0, 0xFF363636, 1));
    // Brightness adds to every component, clamped at 1.
    EXPECT_TRUE(pixelNear(colorControls(onePixel(0xFF404040), 0.25, 1, 1), 0, 0, 0xFF808080, 1));
    // Contrast scales around the middle grey.
    EXPECT_TRUE(pixelNear(colorControls(onePixel(0xFFC04000), 0, 0.5, 1), 0, 0, 0xFFA06040, 1));
    // Straight components are adjusted, so half-transparent pixels stay premultiplied.
    EXPECT_TRUE(pixelNear(colorControls(onePixel(0x80200000), 0.5, 1, 1), 0, 0, 0x80604040, 1));
}

TEST(Filters, ExposureDoublesLinearLightPerStop) {
    // sRGB 0.5 is 0.214 linear; doubled, 0.428 linear, which is sRGB 0.686.
    EXPECT_TRUE(pixelNear(exposureAdjust(onePixel(0xFF808080), 1), 0, 0, 0xFFAFAFAF, 1));
    EXPECT_TRUE(pixelNear(exposureAdjust(onePixel(0xFF808080), -20), 0, 0, 0xFF000000, 1));
    EXPECT_TRUE(pixelNear(exposureAdjust(onePixel(0xFF808080), 10), 0, 0, 0xFFFFFFFF, 0));
    // Opaque and translucent pixels side by side: each keeps its alpha, the colour brightens alike.
    Bitmap mixed = Bitmap::make(2, 1);
    mixed.row(0)[0] = 0xFF808080;
    mixed.row(0)[1] = 0x80404040;  // straight 0.5 at half alpha
    Bitmap exposed = exposureAdjust(mixed, 1);
    EXPECT_TRUE(pixelNear(exposed, 0, 0, 0xFFAFAFAF, 1));
    EXPECT_TRUE(pixelNear(exposed, 1, 0, 0x80585858, 1));
}
