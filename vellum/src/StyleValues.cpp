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

std::optional<CSSPrimitiveType> lengthType(const SVGLength& length) { return length.primitiveType(); }

}  // namespace

bool equalsIgnoringASCIICase(std::string_view left, std::string_view right) {
    // ASCII letters only, inline: no call into the C library's locale for every character.
    const auto lower = [](char character) {
        return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
    };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(), [&](char a, char b) { return lower(a) == lower(b); });
}

std::string_view trimmedText(std::string_view text, std::string& holder) {
    // The ASCII members of the white space and newline set.
    const auto blank = [](char character) { return character == ' ' || (character >= '\t' && character <= '\r'); };
    std::string_view view = text;
    while (!view.empty() && blank(view.front())) view.remove_prefix(1);
    while (!view.empty() && blank(view.back())) view.remove_suffix(1);
    const auto ascii = [](char character) { return static_cast<unsigned char>(character) < 0x80; };
    if (view.empty() || (ascii(view.front()) && ascii(view.back()))) return view;
    // A character beyond ASCII at an end may be a blank of its own (a no-break space, a line separator).
    holder = foundation::trimmingWhitespaceAndNewlines(text);
    return holder;
}

std::optional<float> plainNumber(std::string_view text) {
    // SVGLength's reading: blanks before the number are the number reader's, those after it are cut.
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    std::size_t length = 0;
    const auto number = floatPrefix(text, &length);
    if (!number || length != text.size()) return std::nullopt;
    return number;
}

std::shared_ptr<const SVGElement> nearestSVGAncestor(const SVGElement& element) {
    for (auto node = element.parentNode(); node; node = node->parentNode()) {
        // The node's own share is handed on: no second count to take and drop.
        if (const SVGElement* parent = SVGElement::from(node.get())) return {std::move(node), parent};
    }
    return nullptr;
}

std::optional<double> opacityValue(std::string_view text) {
    std::string holder;
    const std::string_view trimmed = trimmedText(text, holder);
    // Most elements give none.
    if (trimmed.empty()) return std::nullopt;
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
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    return opacityValue(element.cascadedValueInScope(SVGElement::StyleProperty::opacity, false).value_or(""))
        .value_or(1);
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
