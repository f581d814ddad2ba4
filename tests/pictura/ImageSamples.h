#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "gfx/Image.h"
#include "gfx/ImageEncoder.h"

namespace pictura::samples {

// Every pixel opaque and different: blue = x, green = y (both below 256), so a pixel tells where it
// came from.
inline gfx::Bitmap coordinates(int width, int height) {
    auto bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.row(y)[x] = 0xFF000000u | (std::uint32_t(y % 256) << 8) | (x % 256);
    return bitmap;
}

inline gfx::Bitmap filled(int width, int height, gfx::Color color) {
    auto bitmap = gfx::Bitmap::make(width, height);
    for (int y = 0; y < height; ++y) std::fill_n(bitmap.row(y), width, color.premultipliedPixel());
    return bitmap;
}

inline std::shared_ptr<gfx::Image> image(gfx::Bitmap bitmap, double scale = 1,
                                         gfx::ImageOrientation orientation = gfx::ImageOrientation::up) {
    return gfx::Image::fromBitmap(std::move(bitmap), scale, orientation);
}

// An animated GIF of `delays.size()` solid frames of `width` x `height`, one delay (seconds) a frame.
inline foundation::Data gif(const std::vector<double>& delays, int width = 4, int height = 3) {
    std::vector<gfx::GifFrame> frames;
    const gfx::Color colors[] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}, {0, 1, 1, 1}};
    for (std::size_t index = 0; index < delays.size(); ++index)
        frames.push_back({.bitmap = filled(width, height, colors[index % 5]), .delay = delays[index]});
    return *gfx::encodeGif(frames, width, height);
}

inline std::uint8_t channel(std::uint32_t pixel, int shift) { return static_cast<std::uint8_t>(pixel >> shift); }

}  // namespace pictura::samples
