#pragma once

// What the scan converter's tests share: a small canvas, its pictures drawn with the converter and
// with Cairo, and their comparison.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "ScanConverter.h"
#include "gfx/Context.h"

namespace gfx::testing {

inline constexpr int size = 40;
// Cairo samples a few sub-rows per pixel row, so along shallow edges its coverage is off the exact
// area by up to about 1/20.
inline constexpr int cairoSampling = 16;

// A background that shows every channel's compositing.
inline Bitmap background() {
    Bitmap bitmap = Bitmap::make(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            bitmap.row(y)[x] = (x + y) % 3 == 0 ? 0u : 0x80402010u + std::uint32_t(x * 2) + (std::uint32_t(y) << 16);
    return bitmap;
}

inline Bitmap draw(const std::function<void(Context&)>& paint, bool converter, const Bitmap& start = background()) {
    raster::setScanConverterEnabled(converter);
    auto context = Context::create(start, {});
    paint(*context);
    raster::setScanConverterEnabled(true);
    return context->takeImage();
}

inline int channelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 32; shift += 8)
        largest = std::max(largest, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return largest;
}

struct Difference {
    int largest = 0;         // over every channel of every pixel
    int beyondSampling = 0;  // pixels further apart than Cairo's sampling explains
    int changedOutside = 0;  // pixels outside the clip either picture changed
};

// Draws with the converter and with Cairo.
inline Difference compare(const std::function<void(Context&)>& paint, raster::PixelBox clip = {0, 0, size, size}) {
    Bitmap ours = draw(paint, true), cairo = draw(paint, false), base = background();
    Difference difference;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            std::uint32_t a = ours.pixel(x, y), b = cairo.pixel(x, y);
            int largest = channelDifference(a, b);
            difference.largest = std::max(difference.largest, largest);
            if (largest > cairoSampling) ++difference.beyondSampling;
            bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
            if (!inside && (a != base.pixel(x, y) || b != base.pixel(x, y))) ++difference.changedOutside;
        }
    return difference;
}

inline void fillWith(Context& context, const Path& path, FillRule rule, Color color) {
    context.setFillColor(color);
    context.fill(path, rule);
}

// Each outline a closed subpath.
inline Path polygons(const std::vector<std::vector<Point>>& outlines) {
    Path path;
    for (const auto& points : outlines) {
        path.addLines(points);
        path.closeSubpath();
    }
    return path;
}

inline Path polygon(const std::vector<Point>& points) { return polygons({points}); }

// The whole of `bitmap` as the converter's target.
inline raster::Target targetOf(Bitmap& bitmap) {
    return {reinterpret_cast<std::uint32_t*>(bitmap.pixels.data()), bitmap.stride / 4,
            {0, 0, bitmap.width, bitmap.height}};
}

}  // namespace gfx::testing

// Each test file takes them as its own.
using gfx::testing::background;
using gfx::testing::cairoSampling;
using gfx::testing::channelDifference;
using gfx::testing::compare;
using gfx::testing::Difference;
using gfx::testing::draw;
using gfx::testing::fillWith;
using gfx::testing::polygon;
using gfx::testing::polygons;
using gfx::testing::size;
using gfx::testing::targetOf;
