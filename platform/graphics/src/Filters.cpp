#include "gfx/Filters.h"

#include "BitmapLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace gfx {

namespace {

struct StraightColor {
    double red, green, blue, alpha;
};

// Runs `adjust` on the straight components (0...1) of every pixel that `wanted` picks (the others are
// left for the caller), then clamps and premultiplies again.
template <typename Adjust, typename Wanted = bool (*)(std::uint32_t)>
Bitmap mapStraightColors(const Bitmap& image, Adjust&& adjust,
                         Wanted wanted = [](std::uint32_t) { return true; }) {
    if (!hasValidLayout(image)) return {};
    Bitmap result = Bitmap::make(image.width, image.height);
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* in = image.row(y);
        std::uint32_t* out = result.row(y);
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t pixel = in[x];
            std::uint32_t alphaByte = pixel >> 24;
            if (alphaByte == 0 || !wanted(pixel)) {
                out[x] = 0;
                continue;
            }
            Color color = Color::fromPremultipliedPixel(pixel);
            StraightColor straight{color.red, color.green, color.blue, color.alpha};
            adjust(straight);
            out[x] = Color{std::clamp(straight.red, 0.0, 1.0), std::clamp(straight.green, 0.0, 1.0),
                           std::clamp(straight.blue, 0.0, 1.0), color.alpha}
                         .premultipliedPixel();
        }
    }
    return result;
}

double sRGBToLinear(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double linearToSRGB(double value) {
    return value <= 0.0031308 ? value * 12.92 : 1.055 * std::pow(value, 1 / 2.4) - 0.055;
}

}  // namespace

Bitmap constantColor(Color color, int width, int height) {
    if (width <= 0 || height <= 0 || std::int64_t(width) * height > maximumPixelCount) return {};
    Bitmap result = Bitmap::make(width, height);
    std::uint32_t pixel = color.premultipliedPixel();
    for (int y = 0; y < height; ++y) std::fill_n(result.row(y), width, pixel);
    return result;
}

Bitmap sourceOver(const Bitmap& foreground, const Bitmap& background) {
    if (!hasValidLayout(background)) return {};
    Bitmap result = Bitmap::make(background.width, background.height);
    for (int y = 0; y < background.height; ++y) std::copy_n(background.row(y), background.width, result.row(y));
    if (!hasValidLayout(foreground)) return result;
    int width = std::min(foreground.width, background.width), height = std::min(foreground.height, background.height);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* top = foreground.row(y);
        std::uint32_t* out = result.row(y);
        for (int x = 0; x < width; ++x) {
            std::uint32_t source = top[x], destination = out[x];
            std::uint32_t remaining = 255 - (source >> 24);
            std::uint32_t blended = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                std::uint32_t channel =
                    ((source >> shift) & 0xFF) + (((destination >> shift) & 0xFF) * remaining + 127) / 255;
                blended |= std::min(channel, 255u) << shift;
            }
            out[x] = blended;
        }
    }
    return result;
}

Bitmap colorControls(const Bitmap& image, double brightness, double contrast, double saturation) {
    return mapStraightColors(image, [&](StraightColor& color) {
        double luma = 0.2125 * color.red + 0.7154 * color.green + 0.0721 * color.blue;
        for (double* channel : {&color.red, &color.green, &color.blue}) {
            double value = luma + (*channel - luma) * saturation;
            value += brightness;
            *channel = (value - 0.5) * contrast + 0.5;
        }
    });
}

Bitmap exposureAdjust(const Bitmap& image, double ev) {
    double gain = std::exp2(ev);
    auto adjust = [&](StraightColor& color) {
        for (double* channel : {&color.red, &color.green, &color.blue})
            *channel = linearToSRGB(std::clamp(sRGBToLinear(*channel) * gain, 0.0, 1.0));
    };
    Bitmap result = mapStraightColors(image, adjust, [](std::uint32_t pixel) { return pixel >> 24 != 255; });
    if (result.empty()) return result;
    // Channels of opaque pixels are adjusted one by one, so 256 answers, worked out the same way, serve
    // every opaque pixel (the powers are what make this filter slow).
    std::uint8_t opaque[256];
    for (std::uint32_t value = 0; value < 256; ++value) {
        Bitmap grey = Bitmap::make(1, 1);
        grey.row(0)[0] = 0xFF000000u | value << 16 | value << 8 | value;
        opaque[value] = static_cast<std::uint8_t>(mapStraightColors(grey, adjust).pixel(0, 0));
    }
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* in = image.row(y);
        std::uint32_t* out = result.row(y);
        for (int x = 0; x < image.width; ++x) {
            std::uint32_t pixel = in[x];
            if (pixel >> 24 != 255) continue;
            out[x] = 0xFF000000u | std::uint32_t(opaque[(pixel >> 16) & 0xFF]) << 16 |
                     std::uint32_t(opaque[(pixel >> 8) & 0xFF]) << 8 | opaque[pixel & 0xFF];
        }
    }
    return result;
}

}  // namespace gfx
