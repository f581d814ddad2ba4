#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "vellum/SVGDocument.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumLayerTree.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumSourceString.h"

// Documents parsed from text and drawn, and their pixels read back unpremultiplied.
inline std::shared_ptr<vellum::VellumParseResult> parseSVG(std::string text) {
    return vellum::VellumParser::parseSourceUsingDefaultVellumParser(
        vellum::VellumSourceString::sourceFromContentsOfString(std::move(text)));
}

inline std::shared_ptr<vellum::VellumImage> imageOf(const std::string& text) {
    return vellum::VellumImage::initWithData(foundation::Data::fromString(text));
}

inline gfx::Bitmap renderSVG(std::string text, double width, double height) {
    auto result = parseSVG(std::move(text));
    if (!result->parsedDocument()) return {};
    return vellum::VellumLayerTree::renderDocument(*result->parsedDocument(), {width, height});
}

struct RGBA {
    int r = 0, g = 0, b = 0, a = 0;
    bool operator==(const RGBA&) const = default;
};

inline RGBA pixelAt(const gfx::Bitmap& bitmap, int x, int y) {
    if (x < 0 || y < 0 || x >= bitmap.width || y >= bitmap.height) return {};
    const std::uint32_t pixel = bitmap.pixel(x, y);
    const int a = static_cast<int>(pixel >> 24);
    if (a == 0) return {};
    const auto unpremultiply = [a](std::uint32_t value) { return static_cast<int>((value * 255 + a / 2) / a); };
    return {unpremultiply((pixel >> 16) & 0xff), unpremultiply((pixel >> 8) & 0xff), unpremultiply(pixel & 0xff), a};
}

inline bool near(const RGBA& actual, const RGBA& expected, int tolerance = 3) {
    return std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
           std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.a - expected.a) <= tolerance;
}

inline bool nearPixel(const RGBA& actual, const RGBA& expected) { return near(actual, expected); }

inline std::ostream& operator<<(std::ostream& out, const RGBA& pixel) {
    return out << "rgba(" << pixel.r << ", " << pixel.g << ", " << pixel.b << ", " << pixel.a << ")";
}

inline const std::string svgHeader = R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink")";
