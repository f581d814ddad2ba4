#include "Compositing.h"

#include <algorithm>
#include <cmath>

namespace gfx::raster {

namespace {

std::uint32_t channel(double value) {
    value = std::isnan(value) ? 0 : std::clamp(value, 0.0, 1.0);
    return std::uint32_t(value * 65535.0 + 0.5) >> 8;
}

}  // namespace

std::uint32_t premultipliedPixel(double red, double green, double blue, double alpha) {
    alpha = std::isnan(alpha) ? 0 : std::clamp(alpha, 0.0, 1.0);
    return channel(alpha) << 24 | channel(red * alpha) << 16 | channel(green * alpha) << 8 | channel(blue * alpha);
}

std::uint32_t alphaByte(double alpha) { return channel(alpha); }

}  // namespace gfx::raster
