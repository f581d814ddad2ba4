#pragma once

// Style values read the way browsers read them: opacities, font sizes and lengths in em and ex.
#include <optional>
#include <string_view>

#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"

namespace vellum {

// Equal but for the case of ASCII letters, as CSS keywords and units compare.
bool equalsIgnoringASCIICase(std::string_view left, std::string_view right);

// The closest ancestor that is an SVG element (nothing for the root).
std::shared_ptr<const SVGElement> nearestSVGAncestor(const SVGElement& element);

// An opacity written as a number or a percentage and nothing else, clamped to 0...1; any other text
// ("0.1mm", "abc") is no opacity.
std::optional<double> opacityValue(std::string_view text);

// The element's own (not inherited) "opacity"; absent or invalid is 1.
double elementOpacity(const SVGElement& element);

// The element's font size in pixels: its own or inherited "font-size", em and percentages taken from
// the parent's; 16 where no element says.
double fontSizeOf(const SVGElement& element);

// A length in the element's user units: a percentage of `dimension`, em and ex from the element's font
// size (an ex is half an em), anything else as SVGLength reads it.
double lengthInPixels(const SVGLength& length, const SVGElement& element, double dimension);

}  // namespace vellum
