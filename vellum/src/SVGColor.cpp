#include "vellum/SVGColor.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "NumberPrefix.h"
#include "SVGColorKeywords.h"
#include "StyleValues.h"

namespace vellum {

namespace {

bool isSpace(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r' || character == '\f';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool startsWithIgnoringASCIICase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringASCIICase(text.substr(0, prefix.size()), prefix);
}

// Leading hexadecimal digits, as C's base-16 conversion reads them ("g0" reads 0).
unsigned hexPrefix(std::string_view text) {
    unsigned value = 0;
    for (char character : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(character)) ? character - '0'
                          : (character >= 'a' && character <= 'f') ? character - 'a' + 10
                          : (character >= 'A' && character <= 'F') ? character - 'A' + 10
                                                                   : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

std::uint8_t clampedByte(double value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0))); }

// A colour channel: a number (0-255) or a percentage of 255.
std::uint8_t channel(std::string_view text) {
    std::size_t length = 0;
    const double number = doublePrefix(text, &length).value_or(0);
    const bool percent = length > 0 && length < text.size() && text[length] == '%';
    return clampedByte(percent ? number * 255.0 / 100.0 : number);
}

// Opacity: a fraction (0-1) or a percentage.
std::uint8_t alphaChannel(std::string_view text) {
    std::size_t length = 0;
    const double number = doublePrefix(text, &length).value_or(0);
    const bool percent = length > 0 && length < text.size() && text[length] == '%';
    return clampedByte(std::clamp(percent ? number / 100.0 : number, 0.0, 1.0) * 255.0);
}

// The comma-separated arguments of rgb(), rgba(), hsl() or hsla(), blanks removed, up to ")".
std::vector<std::string> functionArguments(std::string_view arguments) {
    std::string compact;
    for (char character : arguments) {
        if (character == ')') break;
        if (!isSpace(character)) compact += character;
    }
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = compact.find(',', start);
        pieces.push_back(compact.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return pieces;
}

SVGColor functionalColor(std::string_view arguments) {
    const auto pieces = functionArguments(arguments);
    SVGColor color;
    if (pieces.size() > 0) color.r = channel(pieces[0]);
    if (pieces.size() > 1) color.g = channel(pieces[1]);
    if (pieces.size() > 2) color.b = channel(pieces[2]);
    if (pieces.size() > 3) color.a = alphaChannel(pieces[3]);
    return color;
}

// A percentage argument of hsl() as a fraction of 1.
double fraction(std::string_view text) { return std::clamp(doublePrefix(text).value_or(0) / 100.0, 0.0, 1.0); }

// hsl(hue in degrees, saturation %, lightness %[, alpha]) by the CSS conversion to red, green and blue.
SVGColor hueColor(std::string_view arguments) {
    const auto pieces = functionArguments(arguments);
    const double hue = pieces.empty() ? 0 : std::fmod(std::fmod(doublePrefix(pieces[0]).value_or(0), 360.0) + 360.0, 360.0) / 360.0;
    const double saturation = pieces.size() > 1 ? fraction(pieces[1]) : 0;
    const double lightness = pieces.size() > 2 ? fraction(pieces[2]) : 0;
    const double high = lightness <= 0.5 ? lightness * (saturation + 1) : lightness + saturation - lightness * saturation;
    const double low = lightness * 2 - high;
    const auto component = [&](double h) {
        h = h < 0 ? h + 1 : h > 1 ? h - 1 : h;
        const double value = h * 6 < 1 ? low + (high - low) * h * 6
                             : h * 2 < 1 ? high
                             : h * 3 < 2 ? low + (high - low) * (2.0 / 3 - h) * 6
                                         : low;
        return clampedByte(value * 255);
    };
    SVGColor color{component(hue + 1.0 / 3), component(hue), component(hue - 1.0 / 3), 255};
    if (pieces.size() > 3) color.a = alphaChannel(pieces[3]);
    return color;
}

std::uint8_t hexByte(std::string_view digits) {
    return static_cast<std::uint8_t>(digits.size() == 1 ? hexPrefix(digits) * 17 : hexPrefix(digits));
}

}  // namespace

SVGColor ColorValueWithName(std::string_view name) {
    for (const auto& keyword : svgColorKeywords) {
        if (equalsIgnoringASCIICase(keyword.name, name)) return keyword.color;
    }
    return {};
}

SVGColor SVGColorFromString(std::string_view text) {
    text = trimmed(text);
    // Most colours are written in hex: those are told apart first.
    if (!text.starts_with('#')) {
        if (startsWithIgnoringASCIICase(text, "rgba(")) return functionalColor(text.substr(5));
        if (startsWithIgnoringASCIICase(text, "rgb(")) return functionalColor(text.substr(4));
        if (startsWithIgnoringASCIICase(text, "hsla(")) return hueColor(text.substr(5));
        if (startsWithIgnoringASCIICase(text, "hsl(")) return hueColor(text.substr(4));
        return ColorValueWithName(text);
    }
    const std::string_view digits = text.substr(1);
    // #rgb, #rgba, #rrggbb and #rrggbbaa: one or two digits a channel.
    if (digits.size() != 3 && digits.size() != 4 && digits.size() != 6 && digits.size() != 8) return {};
    const std::size_t width = digits.size() <= 4 ? 1 : 2;
    SVGColor color{hexByte(digits.substr(0, width)), hexByte(digits.substr(width, width)),
                   hexByte(digits.substr(2 * width, width)), 255};
    if (digits.size() == 4 * width) color.a = hexByte(digits.substr(3 * width, width));
    return color;
}

gfx::Color CGColorWithSVGColor(SVGColor color) {
    return {color.r / 255.0, color.g / 255.0, color.b / 255.0, color.a / 255.0};
}

gfx::Path createPathFromPointsInString(std::string_view text, bool close) {
    gfx::Path path;
    std::optional<float> x;
    std::size_t index = 0;
    while (index < text.size()) {
        const char character = text[index];
        if (isSpace(character) || character == ',') {
            ++index;
            continue;
        }
        std::size_t length = 0;
        const std::optional<float> number = floatPrefix(text.substr(index), &length);
        if (!number) {
            ++index;  // a character that starts no number is passed over
            continue;
        }
        index += length;
        if (!x) {
            x = number;
            continue;
        }
        const gfx::Point point{*x, *number};
        x.reset();
        if (path.isEmpty()) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    if (close && !path.isEmpty()) path.closeSubpath();
    return path;
}

VellumPattern VellumPattern::patternWithImage(std::shared_ptr<gfx::Image> image) {
    VellumPattern pattern = patternWithColor(gfx::Color{0, 0, 0, 0});
    pattern.patternImage_ = std::move(image);
    return pattern;
}

}  // namespace vellum
