#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vellum/CSSValue.h"

namespace vellum {

// Unit codes of the DOM Level 2 Style primitive value.
enum class CSSPrimitiveType : std::int32_t {
    unknown = 0,
    number = 1,
    percentage = 2,
    ems = 3,
    exs = 4,
    px = 5,
    cm = 6,
    mm = 7,
    in = 8,
    pt = 9,
    pc = 10,
    deg = 11,
    rad = 12,
    grad = 13,
    ms = 14,
    s = 15,
    hz = 16,
    khz = 17,
    dimension = 18,
    string = 19,
    uri = 20,
    ident = 21,
    attr = 22,
    counter = 23,
    rect = 24,
    rgbColor = 25,
};

// One style token: a number with its unit, or a string. The text parser makes units 0 to 17 and 19.
class CSSPrimitiveValue : public CSSValue {
public:
    CSSPrimitiveValue() : CSSValue(CSSValueType::primitiveValue) {}

    // Reads a number with a unit suffix ("12px", "50%", case-sensitive), a bare number, or else a string.
    void setCssText(std::string text) override;

    float pixelsPerInch() const { return pixelsPerInch_; }
    void setPixelsPerInch(float pixelsPerInch) { pixelsPerInch_ = pixelsPerInch; }
    CSSPrimitiveType primitiveType() const { return primitiveType_; }

    void setFloatValue(CSSPrimitiveType unit, float value);
    void setStringValue(CSSPrimitiveType unit, std::string value);
    // Nothing for a numeric value.
    std::optional<std::string> getStringValue() const;
    // The value in `unit`. A conversion that has no route (em to pixels, an angle to a length, ...)
    // is reported in the log and gives 0: documents reach it, so it must not stop anything.
    float getFloatValue(CSSPrimitiveType unit) const;

    // Unsupported: they fail the assertion handler.
    void getCounterValue() const;
    void getRectValue() const;
    void getRGBColorValue() const;

private:
    float pixelsPerInch_ = 1.0f;
    float internalValue_ = 0;
    CSSPrimitiveType primitiveType_ = CSSPrimitiveType::unknown;
    std::optional<std::string> internalString_;
};

}  // namespace vellum
