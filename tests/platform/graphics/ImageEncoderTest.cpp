#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "gfx/Image.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageSource.h"

namespace gfx {
namespace {

using testing::filled;

TEST(ImageEncoder, PngRoundTripKeepsPixelsIncludingTranslucentOnes) {
    Bitmap picture = testing::pattern(33, 17);
    picture.row(0)[0] = 0u;
    picture.row(0)[1] = 0x80402000u;  // half alpha, premultiplied
    picture.row(1)[0] = 0x01010101u;  // almost transparent
    auto png = encodePng(picture);
    ASSERT_TRUE(png);
    auto decoded = Image::fromData(*png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pixelWidth(), 33);
    EXPECT_EQ(decoded->pixelHeight(), 17);
    EXPECT_EQ(decoded->bitmap()->pixel(0, 0), 0u);
    EXPECT_LE(testing::maximumDifference(*decoded->bitmap(), picture), 1);
    EXPECT_EQ(encodePng(Bitmap{}), std::nullopt);
}

TEST(ImageEncoder, JpegQualityTradesSizeForFidelity) {
    Bitmap picture = testing::pattern(64, 48);
    auto low = encodeJpeg(picture, 0.1);
    auto high = encodeJpeg(picture, 1.0);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    auto lowImage = Image::fromData(*low);
    auto highImage = Image::fromData(*high);
    ASSERT_TRUE(lowImage && highImage);
    EXPECT_EQ(highImage->pixelWidth(), 64);
    // Smooth areas survive the best quality closely; the worst quality drifts further.
    Bitmap smooth = filled(32, 32, 0xFF3080C0u);
    auto exact = Image::fromData(*encodeJpeg(smooth, 1.0));
    EXPECT_LE(testing::maximumDifference(*exact->bitmap(), smooth), 3);
    EXPECT_EQ(encodeJpeg(Bitmap{}, 0.5), std::nullopt);
}

TEST(ImageEncoder, GifWithManyColoursFallsBackToAFixedPalette) {
    Bitmap picture = testing::pattern(40, 40);  // well over 255 colours
    auto gif = encodeGif({{picture, 0, 0, 0.2, GifDisposal::keep}}, 40, 40);
    ASSERT_TRUE(gif);
    auto source = ImageSource::create(*gif);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->frameCount(), 1u);
    auto frame = source->frameAt(0);
    ASSERT_TRUE(frame);
    EXPECT_LE(testing::maximumDifference(*frame, picture), 26);
    EXPECT_DOUBLE_EQ(source->propertiesAt(0)->gif->delayTime, 0.2);
    EXPECT_EQ(source->propertiesAt(0)->gif->loopCount, std::nullopt);  // a still GIF does not loop

    EXPECT_EQ(encodeGif({}, 4, 4), std::nullopt);
    EXPECT_EQ(encodeGif({{filled(2, 2, 0xFF000000u), -1, 0}}, 4, 4), std::nullopt);
}

}  // namespace
}  // namespace gfx
