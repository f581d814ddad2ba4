#include "vellum/SVGLength.h"

#include <array>
#include <initializer_list>

#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/Assertion.h"
#include "vellum/CSSPrimitiveValue.h"

namespace vellum {

namespace {

bool startsWithAny(std::string_view model, std::initializer_list<std::string_view> prefixes) {
    for (std::string_view prefix : prefixes) {
        if (model.starts_with(prefix)) return true;
    }
    return false;
}

constexpr const char* unknownDevice =
    "Update your source code or disable assertions: you are using an %@ that didn't exist when this code was "
    "written, we have no idea what the pixel count per inch is!";

}  // namespace

SVGLength::SVGLength(std::shared_ptr<CSSPrimitiveValue> value) : internalCSSPrimitiveValue_(std::move(value)) {}

SVGLength SVGLength::svgLengthZero() { return SVGLength(nullptr); }

SVGLength SVGLength::svgLengthFromNSString(std::string_view text) {
    if (const auto number = plainNumber(text)) {
        SVGLength length(nullptr);
        length.number_ = *number;
        return length;
    }
    auto value = std::make_shared<CSSPrimitiveValue>();
    value->setPixelsPerInch(pixelsPerInchForCurrentDevice());
    value->setCssText(std::string(text));
    return SVGLength(std::move(value));
}

std::shared_ptr<CSSPrimitiveValue> SVGLength::internalCSSPrimitiveValue() const {
    if (!number_) return internalCSSPrimitiveValue_;
    auto value = std::make_shared<CSSPrimitiveValue>();
    value->setPixelsPerInch(pixelsPerInchForCurrentDevice());
    value->setFloatValue(CSSPrimitiveType::number, *number_);
    return value;
}

std::optional<CSSPrimitiveType> SVGLength::primitiveType() const {
    if (number_) return CSSPrimitiveType::number;
    if (!internalCSSPrimitiveValue_) return std::nullopt;
    return internalCSSPrimitiveValue_->primitiveType();
}

// A plain number is the same in every unit asked of it here (pixels, number, its own).
float SVGLength::value() const {
    if (number_) return *number_;
    if (!internalCSSPrimitiveValue_) return 0;
    return internalCSSPrimitiveValue_->getFloatValue(internalCSSPrimitiveValue_->primitiveType());
}

SVGLengthType SVGLength::unitType() const {
    if (number_) return SVGLengthType::number;
    if (!internalCSSPrimitiveValue_) return SVGLengthType::unknown;
    const auto type = internalCSSPrimitiveValue_->primitiveType();
    const auto code = static_cast<std::int32_t>(type);
    if (code >= 1 && code <= 10) return static_cast<SVGLengthType>(code);
    if (type == CSSPrimitiveType::dimension) return SVGLengthType::number;
    return SVGLengthType::unknown;
}

float SVGLength::pixelsValue() const {
    if (number_) return *number_;
    if (!internalCSSPrimitiveValue_) return 0;
    return internalCSSPrimitiveValue_->getFloatValue(CSSPrimitiveType::px);
}

float SVGLength::pixelsValueWithDimension(float dimension) const {
    if (internalCSSPrimitiveValue_ && internalCSSPrimitiveValue_->primitiveType() == CSSPrimitiveType::percentage) {
        return value() * dimension / 100.0f;
    }
    return pixelsValue();
}

float SVGLength::pixelsValueWithGradientDimension(float dimension) const {
    if (number_ && *number_ >= 0 && *number_ <= 1) return *number_ * dimension;
    if (internalCSSPrimitiveValue_) {
        const auto type = internalCSSPrimitiveValue_->primitiveType();
        if (type == CSSPrimitiveType::percentage) return value() * dimension / 100.0f;
        if (type == CSSPrimitiveType::number && value() >= 0 && value() <= 1) return value() * dimension;
    }
    return pixelsValue();
}

float SVGLength::numberValue() const {
    if (number_) return *number_;
    if (!internalCSSPrimitiveValue_) return 0;
    return internalCSSPrimitiveValue_->getFloatValue(CSSPrimitiveType::number);
}

void SVGLength::newValueSpecifiedUnits(SVGLengthType, float) { foundation::raiseAssertion("Not supported yet"); }

void SVGLength::convertToSpecifiedUnits(SVGLengthType) { foundation::raiseAssertion("Not supported yet"); }

// CSS fixes the inch at 96 pixels on every machine (1pt = 4/3 px). The model table below gave 132 on
// x86_64 and 0 on any other processor, so physical units vanished on ARM.
float SVGLength::pixelsPerInchForCurrentDevice() { return cssPixelsPerInch; }

// Plain prefix tests in this order: "iPhone14,2" falls on "iPhone1". The reports for unknown models
// are logged, not raised: they describe the machine, not a programming error, and loading goes on.
float SVGLength::pixelsPerInchForModel(std::string_view model) {
    if (startsWithAny(model, {"iPhone1", "iPhone2", "iPhone3"})) return 163;
    if (startsWithAny(model, {"iPhone4", "iPhone5", "iPhone6", "iPhone7,2", "iPhone8,1", "iPhone8,4", "iPhone9,1",
                              "iPhone9,3"})) {
        return 326;
    }
    if (startsWithAny(model, {"iPhone7,1", "iPhone8,2", "iPhone9,2", "iPhone9,4"})) return 401;
    if (model.starts_with("iPhone")) {
        vellumLogError(unknownDevice, "iPhone");
        return 401;
    }
    if (startsWithAny(model, {"iPod1", "iPod2", "iPod3"})) return 163;
    if (startsWithAny(model, {"iPod4", "iPod5", "iPod7"})) return 326;
    if (model.starts_with("iPod")) {
        vellumLogError(unknownDevice, "iPod");
        return 326;
    }
    if (startsWithAny(model, {"iPad5,1", "iPad5,2"})) return 326;
    if (startsWithAny(model, {"iPad1", "iPad2"})) return 132;
    if (startsWithAny(model, {"iPad3", "iPad4", "iPad5,3", "iPad5,4", "iPad6", "iPad7", "iPad8"})) return 264;
    if (model.starts_with("iPad")) {
        vellumLogError(unknownDevice, "iPad");
        return 264;
    }
    if (model.starts_with("iWatch1")) return 326;
    if (model.starts_with("iWatch")) {
        vellumLogError(unknownDevice, "iWatch");
        return 326;
    }
    if (model.starts_with("x86_64")) {
        vellumLogWarning(
            "[%@] WARNING: you are running on the simulator; it's impossible for us to calculate "
            "centimeter/millimeter/inches units correctly",
            "SVGLength");
        return 132;
    }
    vellumLogError(
        "Cannot determine the PPI values for current device; returning 0.0f - hopefully this will crash your code (you "
        "CANNOT run SVG's that use CM/IN/MM etc until you fix this)");
    return 0.0f;
}

}  // namespace vellum
