#include "StyleValues.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "NumberPrefix.h"
#include "foundation/Strings.h"
#include "vellum/CSSPrimitiveValue.h"

namespace vellum {

namespace {

constexpr double defaultFontSize = 16;

std::optional<CSSPrimitiveType> lengthType(const SVGLength& length) {
    const auto value = length.internalCSSPrimitiveValue();
    if (!value) return std::nullopt;
    return value->primitiveType();
}

}  // namespace

bool equalsIgnoringASCIICase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::shared_ptr<const SVGElement> nearestSVGAncestor(const SVGElement& element) {
    for (auto node = element.parentNode(); node; node = node->parentNode()) {
        if (auto parent = SVGElement::from(node)) return parent;
    }
    return nullptr;
}

std::optional<double> opacityValue(std::string_view text) {
    const std::string trimmed = foundation::trimmingWhitespaceAndNewlines(text);
    std::size_t length = 0;
    const auto number = doublePrefix(trimmed, &length);
    if (!number) return std::nullopt;
    double value = *number;
    if (length + 1 == trimmed.size() && trimmed.back() == '%') {
        value /= 100;
    } else if (length != trimmed.size()) {
        return std::nullopt;
    }
    return std::clamp(value, 0.0, 1.0);
}

double elementOpacity(const SVGElement& element) {
    const auto opacity = element.cascadedValueForStylableProperty(SVGElement::StyleProperty::opacity, false);
    return opacityValue(opacity.value_or("")).value_or(1);
}

double fontSizeOf(const SVGElement& element) {
    // The own values from the element up to the root, then resolved from the root down (no recursion:
    // documents may nest deeply).
    std::vector<std::string> written;
    std::shared_ptr<const SVGElement> holder;
    for (const SVGElement* current = &element; current;) {
        written.push_back(current->cascadedValueForStylableProperty("font-size", false).value_or(""));
        holder = nearestSVGAncestor(*current);
        current = holder.get();
    }
    double size = defaultFontSize;
    for (auto text = written.rbegin(); text != written.rend(); ++text) {
        if (text->empty()) continue;
        const SVGLength length = SVGLength::svgLengthFromNSString(*text);
        const auto type = lengthType(length);
        double resolved = 0;
        if (type == CSSPrimitiveType::ems) resolved = length.value() * size;
        else if (type == CSSPrimitiveType::exs) resolved = length.value() * size / 2;
        else if (type == CSSPrimitiveType::percentage) resolved = length.value() * size / 100;
        else resolved = length.pixelsValue();
        // Keywords and invalid sizes keep the parent's.
        if (resolved > 0 && std::isfinite(resolved)) size = resolved;
    }
    return size;
}

double lengthInPixels(const SVGLength& length, const SVGElement& element, double dimension) {
    const auto type = lengthType(length);
    if (type == CSSPrimitiveType::ems) return length.value() * fontSizeOf(element);
    if (type == CSSPrimitiveType::exs) return length.value() * fontSizeOf(element) / 2;
    return length.pixelsValueWithDimension(static_cast<float>(dimension));
}

}  // namespace vellum
