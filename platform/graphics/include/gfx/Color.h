#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace gfx {

// An sRGB colour with straight (not premultiplied) components from 0 to 1. The named system colours are
// their light-appearance values; the app has no dark appearance.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const Color&) const = default;

    static constexpr Color rgb(int red, int green, int blue, double alpha = 1) {
        return {red / 255.0, green / 255.0, blue / 255.0, alpha};
    }
    static constexpr Color white(double white, double alpha = 1) { return {white, white, white, alpha}; }
    // "#RRGGBB" or "RRGGBB" (either case); nothing for any other text.
    static std::optional<Color> fromHex(std::string_view text);

    Color withAlphaComponent(double newAlpha) const { return {red, green, blue, newAlpha}; }
    // One pixel of a Bitmap: premultiplied, rounded, alpha in the high byte.
    std::uint32_t premultipliedPixel() const;
    static Color fromPremultipliedPixel(std::uint32_t pixel);

    static constexpr Color clear() { return {0, 0, 0, 0}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color gray() { return {0.5, 0.5, 0.5, 1}; }
    static constexpr Color darkGray() { return white(1.0 / 3); }
    static constexpr Color lightGray() { return white(2.0 / 3); }

    static constexpr Color systemBlue() { return rgb(0, 122, 255); }
    static constexpr Color systemRed() { return rgb(255, 59, 48); }
    static constexpr Color systemGreen() { return rgb(52, 199, 89); }
    static constexpr Color systemOrange() { return rgb(255, 149, 0); }
    static constexpr Color systemYellow() { return rgb(255, 204, 0); }
    static constexpr Color systemPink() { return rgb(255, 45, 85); }
    static constexpr Color systemPurple() { return rgb(175, 82, 222); }
    static constexpr Color systemIndigo() { return rgb(88, 86, 214); }
    static constexpr Color systemTeal() { return rgb(48, 176, 199); }
    static constexpr Color systemGray() { return rgb(142, 142, 147); }
    static constexpr Color systemGray2() { return rgb(174, 174, 178); }
    static constexpr Color systemGray3() { return rgb(199, 199, 204); }
    static constexpr Color systemGray4() { return rgb(209, 209, 214); }
    static constexpr Color systemGray5() { return rgb(229, 229, 234); }
    static constexpr Color systemGray6() { return rgb(242, 242, 247); }

    static constexpr Color label() { return black(); }
    static constexpr Color secondaryLabel() { return rgb(60, 60, 67, 0.6); }
    static constexpr Color tertiaryLabel() { return rgb(60, 60, 67, 0.3); }
    static constexpr Color separator() { return rgb(60, 60, 67, 0.29); }
    static constexpr Color systemBackground() { return white(); }
    static constexpr Color secondarySystemBackground() { return rgb(242, 242, 247); }
};

}  // namespace gfx
