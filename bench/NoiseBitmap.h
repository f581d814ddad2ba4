// Opaque noise, which does not compress: the ordinary pictures of the image benchmarks.
#pragma once

#include <cstdint>
#include <random>

#include "gfx/Bitmap.h"

namespace sorvane::bench {

inline gfx::Bitmap noiseBitmap(int width, int height, unsigned seed) {
    auto bitmap = gfx::Bitmap::make(width, height);
    std::mt19937 random(seed);
    for (std::size_t index = 0; index < bitmap.pixels.size(); index += 4) {
        const auto word = random();
        bitmap.pixels[index] = static_cast<std::uint8_t>(word);
        bitmap.pixels[index + 1] = static_cast<std::uint8_t>(word >> 8);
        bitmap.pixels[index + 2] = static_cast<std::uint8_t>(word >> 16);
        bitmap.pixels[index + 3] = 255;
    }
    return bitmap;
}

}  // namespace sorvane::bench
