#pragma once

// Style values read the way browsers read them: opacities, font sizes and lengths in em and ex.
#include <optional>
#include <string>
#include <string_view>

#include "vellum/SVGElement.h"
#include "vellum/SVGLength.h"

namespace vellum {

// Equal but for the case of ASCII letters, as CSS keywords and units compare.
bool equalsIgnoringASCIICase(std::string_view left, std::string_view right);

// The text without the white space and line breaks at its ends, as foundation's trimming takes them:
// a view into `text` where both ends are ASCII, else `holder`, which keeps the trimmed copy.
std::string_view trimmedText(std::string_view text, std::string& holder);

// A text that is a number and nothing else (blanks around it allowed), as SVGLength reads it: a length
// without a unit, worked out without making one. Nothing for any other text.
std::optional<float> plainNumber(std::string_view text);

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
