#include "ImageDecoder.h"

#include <algorithm>

namespace gfx::detail {

namespace {

std::uint8_t premultiplied(std::uint32_t channel, std::uint32_t alpha) {
    return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    if (a != 255) {
        r = premultiplied(r, a);
        g = premultiplied(g, a);
        b = premultiplied(b, a);
    }
    return a << 24 | r << 16 | g << 8 | b;
}

}  // namespace

void premultiplyRgbaInPlace(Bitmap& bitmap) {
    for (int y = 0; y < bitmap.height; ++y) {
        std::uint8_t* bytes = bitmap.pixels.data() + static_cast<std::size_t>(y) * bitmap.stride;
        std::uint32_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width; ++x) {
            const std::uint8_t* p = bytes + x * 4;
            row[x] = argb(p[3], p[0], p[1], p[2]);
        }
    }
}

void premultiplyArgbInPlace(Bitmap& bitmap) {
    for (int y = 0; y < bitmap.height; ++y) {
        std::uint32_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width; ++x) {
            std::uint32_t p = row[x];
            std::uint32_t a = p >> 24;
            if (a != 255) row[x] = argb(a, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        }
    }
}

void unpremultiply(std::uint32_t pixel, std::uint8_t* rgba) {
    std::uint32_t a = pixel >> 24;
    std::uint32_t channels[3] = {(pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF};
    for (int i = 0; i < 3; ++i) {
        std::uint32_t c = channels[i];
        if (a == 0) c = 0;
        else if (a != 255) c = std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
        rgba[i] = static_cast<std::uint8_t>(c);
    }
    rgba[3] = static_cast<std::uint8_t>(a);
}

}  // namespace gfx::detail
