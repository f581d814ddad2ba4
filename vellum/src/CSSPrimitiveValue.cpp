#include "vellum/CSSPrimitiveValue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/Assertion.h"

namespace vellum {

namespace {

using enum CSSPrimitiveType;

// Tested in this order: "grad" before "rad", "khz" before "hz", "ms" before "s".
constexpr std::array<std::pair<std::string_view, CSSPrimitiveType>, 16> suffixes{{
    {"%", percentage}, {"em", ems}, {"ex", exs}, {"px", px}, {"cm", cm}, {"mm", mm}, {"in", in}, {"pt", pt},
    {"pc", pc}, {"deg", deg}, {"grad", grad}, {"rad", rad}, {"ms", ms}, {"s", s}, {"khz", khz}, {"hz", hz},
}};

int code(CSSPrimitiveType type) { return static_cast<int>(type); }

std::optional<float> inches(CSSPrimitiveType type, float value) {
    switch (type) {
        case cm: return value * 0.39370078f;
        case mm: return value * 0.0393701f;
        case in: return value;
        case pt: return value / 72.0f;
        case pc: return value * 12.0f / 72.0f;
        default: return std::nullopt;
    }
}

}  // namespace

void CSSPrimitiveValue::setCssText(std::string text) {
    CSSValue::setCssText(text);
    if (text.empty()) {
        primitiveType_ = unknown;
        internalValue_ = 0;
        internalString_ = "";
        return;
    }
    // The number must run up to the unit ("20qq", "10 px" and "8x" are no lengths but text); blanks
    // around the whole are allowed.
    std::string_view body = text;
    while (!body.empty() && std::isspace(static_cast<unsigned char>(body.back()))) body.remove_suffix(1);
    std::size_t numberLength = 0;
    const auto leading = floatPrefix(body, &numberLength);
    const std::string_view rest = leading ? body.substr(numberLength) : std::string_view{};
    const auto setNumber = [&](float value) {
        primitiveType_ = number;
        internalValue_ = value;
        internalString_.reset();
    };
    // A plain number, as most lengths are written, ends in a digit or a point: never in a unit.
    if (leading && rest.empty()) {
        setNumber(*leading);
        return;
    }
    for (const auto& [suffix, type] : suffixes) {
        if (body.ends_with(suffix)) {
            // A keyword that merely ends like a unit is typed as that unit with value 0.
            if (leading && rest != suffix) break;
            primitiveType_ = type;
            internalValue_ = leading.value_or(0);
            internalString_.reset();
            return;
        }
    }
    // Units are matched case-sensitively: "12PX" stays the number 12.
    const bool unitInOtherCase = std::any_of(suffixes.begin(), suffixes.end(),
                                             [&](const auto& entry) { return equalsIgnoringASCIICase(rest, entry.first); });
    if (leading && unitInOtherCase) {
        setNumber(*leading);
    } else {
        primitiveType_ = string;
        internalValue_ = 0;
        internalString_ = std::move(text);
    }
}

void CSSPrimitiveValue::setFloatValue(CSSPrimitiveType unit, float value) {
    primitiveType_ = unit;
    internalValue_ = value;
    internalString_.reset();
}

void CSSPrimitiveValue::setStringValue(CSSPrimitiveType unit, std::string value) {
    primitiveType_ = unit;
    internalString_ = std::move(value);
    internalValue_ = 0;
}

std::optional<std::string> CSSPrimitiveValue::getStringValue() const { return internalString_; }

float CSSPrimitiveValue::getFloatValue(CSSPrimitiveType unit) const {
    const CSSPrimitiveType type = primitiveType_;
    if (type == unit) return internalValue_;
    switch (type) {
        case unknown:
            if (internalValue_ == 0) return 0;
            vellumLogWarning("Asked to convert a UNKNOWN value to a different type (%i)", code(unit));
            return 0;
        case number:
            if (unit == px) return internalValue_;
            vellumLogWarning(
                "Asked to convert a Number to a different type (NO conversions for this type are currently supported) (%i)",
                code(unit));
            return 0;
        case percentage:
            if (unit == number) return internalValue_ / 100.0f;
            vellumLogWarning("Asked to convert a Percentage value to a different type (%i)", code(unit));
            return 0;
        case ems:
        case exs:
        case px:
            vellumLogWarning(
                "Asked to convert a Relative Length value to a different type (NO conversions for this type are "
                "currently supported) (%i)",
                code(unit));
            return 0;
        case cm:
        case mm:
        case in:
        case pt:
        case pc: {
            const float value = *inches(type, internalValue_);
            switch (unit) {
                case px: return value * pixelsPerInch_;
                case cm: return value / 0.39370078f;
                case mm: return value / 0.0393701f;
                case in: return value;
                case pt: return value * 72.0f;
                case pc: return value / 12.0f * 72.0f;
                default:
                    vellumLogWarning("Asked to convert a value in centimetres to an incompatible unit type (%i)", code(unit));
                    return 0;
            }
        }
        case deg:
        case rad:
        case grad:
            vellumLogWarning(
                "Asked to convert an Angle value to a different type (NO conversions for this type are currently "
                "supported) (%i)",
                code(unit));
            return 0;
        case ms:
        case s:
        case hz:
        case khz:
            vellumLogWarning(
                "Asked to convert a Time or Frequency value to a different type (NO conversions for this type are "
                "currently supported) (%i)",
                code(unit));
            return 0;
        case dimension:
            vellumLogWarning(
                "Asked to convert a Dimension value to a different type (NO conversions for this type are currently "
                "supported) (%i)",
                code(unit));
            return 0;
        case counter:
            vellumLogWarning(
                "Asked to convert a Counter value to a different type (NO conversions for this type are currently "
                "supported) (%i)",
                code(unit));
            return 0;
        default:
            vellumLogWarning(
                "Asked to convert a (%i) value to a (%i) (couldn't find a valid conversion route). Float (4 d.p.) = "
                "%2.4f, String = %@",
                code(type), code(unit), internalValue_, internalString_.value_or("(null)"));
            return 0;
    }
}

void CSSPrimitiveValue::getCounterValue() const { foundation::raiseAssertion("This method not supported"); }

void CSSPrimitiveValue::getRectValue() const { foundation::raiseAssertion("This method not supported"); }

void CSSPrimitiveValue::getRGBColorValue() const { foundation::raiseAssertion("This method not supported"); }

}  // namespace vellum
