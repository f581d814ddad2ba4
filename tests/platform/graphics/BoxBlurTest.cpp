#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TestSeed.h"
#include "gfx/BoxBlur.h"

using namespace gfx;

namespace {

// Random premultiplied pixels: colour channels never exceed alpha.
Bitmap randomBitmap(int width, int height, unsigned seed, int stridePadding = 0) {
    std::mt19937 random(sorvane::testing::testSeed(seed));
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.stride = width * 4 + stridePadding;
    bitmap.pixels.assign(std::size_t(bitmap.stride) * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t alpha = random() % 256;
            std::uint32_t pixel = alpha << 24;
            for (int shift = 0; shift < 24; shift += 8) pixel |= (alpha ? random() % (alpha + 1) : 0) << shift;
            bitmap.row(y)[x] = pixel;
        }
    return bitmap;
}

// The definition: the rounded mean over the box, edges extended.
Bitmap naiveBoxBlur(const Bitmap& source, int kernelWidth, int kernelHeight) {
    int rx = kernelWidth / 2, ry = kernelHeight / 2;
    std::uint32_t area = std::uint32_t(kernelWidth * kernelHeight);
    Bitmap result = Bitmap::make(source.width, source.height);
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) {
            std::uint32_t pixel = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                std::uint32_t sum = 0;
                for (int dy = -ry; dy <= ry; ++dy)
                    for (int dx = -rx; dx <= rx; ++dx) {
                        int sx = std::clamp(x + dx, 0, source.width - 1), sy = std::clamp(y + dy, 0, source.height - 1);
                        sum += (source.pixel(sx, sy) >> shift) & 0xFF;
                    }
                pixel |= ((sum + area / 2) / area) << shift;
            }
            result.row(y)[x] = pixel;
        }
    return result;
}

}  // namespace

TEST(BoxBlur, MatchesTheNaiveMeanOnRandomData) {
    struct Case {
        int width, height, kernelWidth, kernelHeight;
    };
    for (Case c : {Case{17, 13, 5, 5}, Case{8, 30, 3, 9}, Case{5, 4, 19, 19}, Case{1, 7, 5, 3}, Case{32, 1, 1, 1}, Case{4, 3, 255, 255}, Case{4, 3, 257, 257}}) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " kernel " << c.kernelWidth << "x"
                                          << c.kernelHeight);
        Bitmap source = randomBitmap(c.width, c.height, c.width * 31 + c.kernelWidth);
        Bitmap blurred = boxBlur(source, c.kernelWidth, c.kernelHeight);
        EXPECT_EQ(blurred.pixels, naiveBoxBlur(source, c.kernelWidth, c.kernelHeight).pixels);
    }
}

TEST(BoxBlur, EvenKernelsRoundUpAndPaddedRowsAreRead) {
    Bitmap source = randomBitmap(9, 6, 7, 12);
    Bitmap even = boxBlur(source, 4, 6);
    EXPECT_EQ(even.pixels, boxBlur(source, 5, 7).pixels);
    EXPECT_EQ(even.stride, 9 * 4);
    EXPECT_EQ(even.pixels, naiveBoxBlur(source, 5, 7).pixels);
}

TEST(BoxBlur, KeepsPremultipliedPixelsValidAndFlatImagesUnchanged) {
    Bitmap blurred = boxBlur(randomBitmap(20, 20, 3), 7, 7);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            std::uint32_t pixel = blurred.pixel(x, y), alpha = pixel >> 24;
            for (int shift = 0; shift < 24; shift += 8) EXPECT_LE((pixel >> shift) & 0xFF, alpha);
        }
    Bitmap flat = Bitmap::make(6, 6);
    for (int y = 0; y < 6; ++y) std::fill_n(flat.row(y), 6, 0x80402010u);
    EXPECT_EQ(boxBlur(flat, 39, 39).pixels, flat.pixels);
}

TEST(BoxBlur, MalformedInputGivesAnEmptyBitmap) {
    Bitmap truncated = Bitmap::make(4, 4);
    truncated.pixels.resize(10);
    EXPECT_TRUE(boxBlur(truncated, 5, 5).empty());
    EXPECT_TRUE(boxBlur(Bitmap{}, 5, 5).empty());
}
