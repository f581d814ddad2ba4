#include "IdentifierText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace pictura {

std::string numberText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string text(buffer, scientific.ptr);
    const int exponent = std::stoi(text.substr(text.find('e') + 1));
    if (value != 0 && (exponent < -4 || exponent >= 16)) return text;
    auto fixed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    text.assign(buffer, fixed.ptr);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

std::string sizeText(gfx::Size size) { return "(" + numberText(size.width) + ", " + numberText(size.height) + ")"; }

std::string pointText(gfx::Point point) { return "(" + numberText(point.x) + ", " + numberText(point.y) + ")"; }

std::string colorComponentsText(const gfx::Color& color) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "(%.2f,%.2f,%.2f,%.2f)", color.red, color.green, color.blue, color.alpha);
    return buffer;
}

std::string colorDescription(const gfx::Color& color) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "UIExtendedSRGBColorSpace %g %g %g %g", color.red, color.green, color.blue,
                  color.alpha);
    return buffer;
}

std::string contentModeName(ContentMode mode) {
    switch (mode) {
        case ContentMode::none: return "none";
        case ContentMode::aspectFit: return "aspectFit";
        case ContentMode::aspectFill: return "aspectFill";
    }
    return "none";
}

std::string radiusReflection(Radius radius) {
    switch (radius.kind()) {
        case Radius::Kind::widthFraction: return "Pictura.Radius.widthFraction(" + numberText(radius.value()) + ")";
        case Radius::Kind::heightFraction: return "Pictura.Radius.heightFraction(" + numberText(radius.value()) + ")";
        case Radius::Kind::point: return "Pictura.Radius.point(" + numberText(radius.value()) + ")";
    }
    return {};
}

std::string borderReflection(const Border& border) {
    return "Border(color: " + colorDescription(border.color) + ", lineWidth: " + numberText(border.lineWidth) +
           ", radius: " + radiusReflection(border.radius) +
           ", roundingCorners: Pictura.RectCorner(rawValue: " + std::to_string(border.roundingCorners.rawValue) + "))";
}

}  // namespace pictura
