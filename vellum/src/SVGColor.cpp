#include "vellum/SVGColor.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "NumberPrefix.h"
#include "SVGColorKeywords.h"

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

bool equalsIgnoringASCIICase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
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

SVGColor functionalColor(std::string_view arguments) {
    std::string compact;
    for (char character : arguments) {
        if (character == ')') break;
        if (!isSpace(character)) compact += character;
    }
    SVGColor color;
    std::size_t index = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = compact.find(',', start);
        const std::string_view piece = std::string_view(compact).substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        switch (index) {
            case 0: color.r = channel(piece); break;
            case 1: color.g = channel(piece); break;
            case 2: color.b = channel(piece); break;
            case 3: color.a = alphaChannel(piece); break;
            default: break;
        }
        ++index;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return color;
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
    if (startsWithIgnoringASCIICase(text, "rgba(")) return functionalColor(text.substr(5));
    if (startsWithIgnoringASCIICase(text, "rgb(")) return functionalColor(text.substr(4));
    if (!text.starts_with('#')) return ColorValueWithName(text);
    const std::string_view digits = text.substr(1);
    if (digits.size() == 3) {
        return {static_cast<std::uint8_t>(hexPrefix(digits.substr(0, 1)) * 17),
                static_cast<std::uint8_t>(hexPrefix(digits.substr(1, 1)) * 17),
                static_cast<std::uint8_t>(hexPrefix(digits.substr(2, 1)) * 17), 255};
    }
    if (digits.size() == 6) {
        return {static_cast<std::uint8_t>(hexPrefix(digits.substr(0, 2))),
                static_cast<std::uint8_t>(hexPrefix(digits.substr(2, 2))),
                static_cast<std::uint8_t>(hexPrefix(digits.substr(4, 2))), 255};
    }
    return {};
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
