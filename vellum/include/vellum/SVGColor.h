#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "gfx/Color.h"
#include "gfx/Path.h"

namespace gfx {
class Image;
}

namespace vellum {

// A colour as four bytes, red first. Opaque black is {0, 0, 0, 255}.
struct SVGColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;

    bool operator==(const SVGColor&) const = default;
};

// The colour keyword's colour: the 147 SVG 1.1 keywords and "transparent", in any letter case;
// opaque black for any other name.
SVGColor ColorValueWithName(std::string_view name);

// The one reader of colour texts: "#rgb", "#rrggbb", "rgb(...)"/"rgba(...)" with numbers or
// percentages (clamped to 0-255; alpha a fraction or a percentage), or a keyword. Surrounding
// white space is ignored; anything unreadable gives opaque black.
SVGColor SVGColorFromString(std::string_view text);

// Components divided by 255.
gfx::Color CGColorWithSVGColor(SVGColor color);

// A polyline from a points list ("10,20 30,40" or "10 20, 30 40"): a move to the first pair and a
// line to each next one; a number left without its pair is dropped. `close` closes the figure.
gfx::Path createPathFromPointsInString(std::string_view text, bool close);

// A fill colour wrapped for the layer code.
class VellumPattern {
public:
    static VellumPattern patternWithColor(gfx::Color color) { return VellumPattern(color); }
    // The graphics library has no pattern colours: the pattern keeps the image as its tile, and its
    // colour is clear (filling with the colour alone draws nothing rather than a wrong flat colour).
    static VellumPattern patternWithImage(std::shared_ptr<gfx::Image> image);

    const gfx::Color& color() const { return color_; }
    void setColor(gfx::Color color) { color_ = color; }
    gfx::Color CGColor() const { return color_; }
    // The tile of a pattern made from an image; null for a colour.
    const std::shared_ptr<gfx::Image>& patternImage() const { return patternImage_; }

private:
    explicit VellumPattern(gfx::Color color) : color_(color) {}
    gfx::Color color_;
    std::shared_ptr<gfx::Image> patternImage_;
};

}  // namespace vellum
