#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellum {

class CSSPrimitiveValue;
enum class CSSPrimitiveType : std::int32_t;

// Length units as the SVG 1.1 length interface numbers them.
enum class SVGLengthType : std::int32_t {
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
};

// A length with its unit, over a parsed style value. A value type: copies share the parsed value,
// which nothing changes once made. Physical units (cm, mm, in, pt, pc) become pixels through the
// device's pixels per inch, taken once per process.
class SVGLength {
public:
    // A length over no value: every number it gives is 0.
    static SVGLength svgLengthZero();
    // "12", "50%", "2cm", ...: parsed as a style value given the device's pixels per inch.
    static SVGLength svgLengthFromNSString(std::string_view text);
    explicit SVGLength(std::shared_ptr<CSSPrimitiveValue> value);

    // The number in its own unit.
    float value() const;
    SVGLengthType unitType() const;
    float pixelsValue() const;
    // A percentage of `dimension`; any other unit in pixels.
    float pixelsValueWithDimension(float dimension) const;
    // As above, and a plain number from 0 to 1 is that fraction of `dimension`.
    float pixelsValueWithGradientDimension(float dimension) const;
    float numberValue() const;
    // The style value's unit; nothing for a length over no value.
    std::optional<CSSPrimitiveType> primitiveType() const;

    // Unsupported: they fail the assertion handler.
    void newValueSpecifiedUnits(SVGLengthType unit, float value);
    void convertToSpecifiedUnits(SVGLengthType unit);

    float valueInSpecifiedUnits() const { return valueInSpecifiedUnits_; }
    void setValueInSpecifiedUnits(float value) { valueInSpecifiedUnits_ = value; }
    const std::string& valueAsString() const { return valueAsString_; }
    void setValueAsString(std::string text) { valueAsString_ = std::move(text); }
    // For a plain number, made afresh on each asking (carrying no text).
    std::shared_ptr<CSSPrimitiveValue> internalCSSPrimitiveValue() const;
    void setInternalCSSPrimitiveValue(std::shared_ptr<CSSPrimitiveValue> value) {
        number_.reset();
        internalCSSPrimitiveValue_ = std::move(value);
    }

    // CSS's pixels per inch, the same on every machine: physical units (in, cm, mm, pt, pc) convert
    // with it, so 1pt is 4/3 px.
    static constexpr float cssPixelsPerInch = 96;
    // What lengths convert with: `cssPixelsPerInch`.
    static float pixelsPerInchForCurrentDevice();
    // The screen density of a device model identifier ("iPhone7,1", "x86_64", ...), from the device
    // table; models the table does not know are reported in the log and get its fallback. Lengths do
    // not use it.
    static float pixelsPerInchForModel(std::string_view model);

private:
    float valueInSpecifiedUnits_ = 0;
    std::string valueAsString_;
    // A plain number, as most lengths are written ("12"), with no style value made for it: a document's
    // many shapes each held four.
    std::optional<float> number_;
    std::shared_ptr<CSSPrimitiveValue> internalCSSPrimitiveValue_;
};

}  // namespace vellum
