#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ScanConverterTesting.h"

using namespace gfx;

// Rows a clip covers whole across a fill's box are drawn as if unclipped; the clip's partly covered
// last row still holds the fill back.
TEST(ScanConverter, FillsWithinAClipsWholeRowsDrawAsUnclipped) {
    Path inside = polygon({{6, 5}, {32, 12}, {10, 30}});
    Path reachingTheLastRow = polygon({{6, 20}, {32, 22}, {30, 34}, {8, 34}});
    for (const Path* path : {&inside, &reachingTheLastRow}) {
        auto paint = [&](bool clipped) {
            return draw([&](Context& context) {
                if (clipped) context.clip(Rect{3.5, 2.25, 30, 29.5});  // rows 3..30 whole, 31 three quarters
                fillWith(context, *path, FillRule::winding, Color{0.2, 0.5, 0.1, 0.9});
            }, true);
        };
        Bitmap clipped = paint(true), unclipped = paint(false);
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < size; ++x) ASSERT_EQ(clipped.pixel(x, y), unclipped.pixel(x, y)) << x << "," << y;
        int lastRowDiffers = 0;
        for (int x = 0; x < size; ++x) lastRowDiffers += clipped.pixel(x, 31) != unclipped.pixel(x, 31);
        EXPECT_EQ(lastRowDiffers > 0, path == &reachingTheLastRow);
    }
}

// A pixel covered in part takes the colour scaled by its coverage, then Over, each product rounded as
// Cairo rounds x * a / 255: (t + (t >> 8)) >> 8 with t = x * a + 128. Row y's rectangle covers its
// edge pixels by 1 + 6y levels.
TEST(ScanConverter, PartlyCoveredPixelsBlendWithCairosRounding) {
    auto scaled = [](std::uint32_t pixel, std::uint32_t factor) {
        std::uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            std::uint32_t t = ((pixel >> shift) & 0xFF) * factor + 128;
            out |= ((t + (t >> 8)) >> 8) << shift;
        }
        return out;
    };
    auto over = [&](std::uint32_t source, std::uint32_t destination) {
        std::uint32_t rest = scaled(destination, 255 - (source >> 24)), out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= std::min(255u, ((source >> shift) & 0xFF) + ((rest >> shift) & 0xFF)) << shift;
        return out;
    };
    for (std::uint32_t source : {raster::premultipliedPixel(0.9, 0.3, 0.1, 1), raster::premultipliedPixel(0.2, 0.7, 0.5, 0.6)}) {
        Bitmap image = background(), base = background();
        for (int y = 0; y < size; ++y) {
            double share = (1 + 6 * y) / 255.0;
            Path row;
            row.addRect({4 - share, double(y), 20 + 2 * share, 1});
            ASSERT_TRUE(raster::fillPath(row, {}, 0.1, FillRule::winding, source, targetOf(image)));
            std::uint32_t edge = scaled(source, 1 + 6 * y);
            EXPECT_EQ(image.pixel(3, y), over(edge, base.pixel(3, y))) << y;
            EXPECT_EQ(image.pixel(24, y), over(edge, base.pixel(24, y))) << y;
            EXPECT_EQ(image.pixel(10, y), over(source, base.pixel(10, y))) << y;
        }
    }
}

// Bars side by side in one fill, their sides on pixel sides and their tops slanting: the pixel right
// of each bar is passed by its edge at no coverage and handed on alone. Whatever it held, even
// channels above its alpha, it must keep, with or without a clip mask; inside, an opaque fill is its
// colour exactly, and a mask made of the bars holds nothing in the gaps.
TEST(ScanConverter, PixelsEdgesPassAtNoCoverageKeepTheirValue) {
    std::vector<std::vector<Point>> bars;
    for (int left = 2; left + 2 <= 38; left += 3) bars.push_back({{double(left), 4}, {left + 2.0, 6.5}, {left + 2.0, 36}, {double(left), 36}});
    Path path = polygons(bars);
    // Bars at columns 2-3, 5-6, ... 35-36.
    auto inGap = [](int x, int y) { return y >= 4 && y < 36 && x >= 2 && x < 35 && (x - 2) % 3 == 2; };
    auto inside = [](int x, int y) { return y >= 7 && y < 36 && x >= 2 && x < 37 && (x - 2) % 3 != 2; };
    Bitmap start = Bitmap::make(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) start.row(y)[x] = (x + y) % 2 ? 0x00FFFFFFu : 0x20C0FF40u + std::uint32_t(x);
    auto canvasMask = raster::clipMask(polygon({{0, 0}, {40, 0.5}, {40, 40}, {0, 40}}), {}, 0.1, FillRule::winding,
                                       {0, 0, size, size}, nullptr);
    ASSERT_TRUE(canvasMask);
    for (std::uint32_t source : {0xFF3060C0u, 0x80402010u})
        for (bool masked : {false, true}) {
            Bitmap image = start;
            raster::Target target = targetOf(image);
            if (masked) target.mask = &*canvasMask;
            ASSERT_TRUE(raster::fillPath(path, {}, 0.1, FillRule::winding, source, target));
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    if (inGap(x, y)) {
                        EXPECT_EQ(image.pixel(x, y), start.pixel(x, y)) << x << ", " << y;
                    } else if (inside(x, y) && source >> 24 == 255) {
                        EXPECT_EQ(image.pixel(x, y), source) << x << ", " << y;
                    }
                }
        }
    auto mask = raster::clipMask(path, {}, 0.1, FillRule::winding, {0, 0, size, size}, &*canvasMask);
    ASSERT_TRUE(mask);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            if (!inGap(x, y) && !inside(x, y)) continue;
            EXPECT_EQ(mask->row(y)[x - mask->box.left], inGap(x, y) ? 0 : 255) << x << ", " << y;
        }
}
