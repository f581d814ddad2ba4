#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gfx {

// Pixels in Cairo's ARGB32 layout: one native-endian 32-bit word a pixel, alpha in the high byte,
// colour premultiplied by alpha. Rows are `stride` bytes apart (a multiple of 4).
struct Bitmap {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;

    static Bitmap make(int width, int height) {
        Bitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.stride = width * 4;
        bitmap.pixels.assign(static_cast<std::size_t>(bitmap.stride) * height, 0);
        return bitmap;
    }
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t pixel(int x, int y) const {
        return *reinterpret_cast<const std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride + x * 4);
    }
    std::uint32_t* row(int y) {
        return reinterpret_cast<std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride);
    }
    const std::uint32_t* row(int y) const {
        return reinterpret_cast<const std::uint32_t*>(pixels.data() + static_cast<std::size_t>(y) * stride);
    }
};

// Decoders refuse images with more pixels than this (a 16384 x 16384 image); it bounds what hostile
// input can make us allocate.
inline constexpr std::int64_t maximumPixelCount = 16384LL * 16384LL;

}  // namespace gfx
