#include "gfx/Color.h"

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {

std::optional<int> hexDigit(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    return std::nullopt;
}

std::uint32_t toByte(double value) {
    if (!(value > 0)) return 0;  // also NaN
    return static_cast<std::uint32_t>(std::lround(std::min(value, 1.0) * 255.0));
}

}  // namespace

std::optional<Color> Color::fromHex(std::string_view text) {
    if (text.starts_with('#')) text.remove_prefix(1);
    if (text.size() != 6) return std::nullopt;
    int channels[3];
    for (int channel = 0; channel < 3; ++channel) {
        auto high = hexDigit(text[channel * 2]);
        auto low = hexDigit(text[channel * 2 + 1]);
        if (!high || !low) return std::nullopt;
        channels[channel] = *high * 16 + *low;
    }
    return rgb(channels[0], channels[1], channels[2]);
}

std::uint32_t Color::premultipliedPixel() const {
    double a = std::clamp(alpha, 0.0, 1.0);
    return toByte(a) << 24 | toByte(red * a) << 16 | toByte(green * a) << 8 | toByte(blue * a);
}

Color Color::fromPremultipliedPixel(std::uint32_t pixel) {
    double a = (pixel >> 24) / 255.0;
    if (a == 0) return clear();
    auto channel = [&](int shift) { return std::min(1.0, ((pixel >> shift) & 0xFF) / 255.0 / a); };
    return {channel(16), channel(8), channel(0), a};
}

}  // namespace gfx
