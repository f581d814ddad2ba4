#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vellum/SVGMatrix.h"

namespace vellum {

// The SVG DOM angle: plain fields; unit changes are not supported.
class SVGAngle {
public:
    std::int32_t unitType() const { return unitType_; }
    float value() const { return value_; }
    void setValue(float value) { value_ = value; }
    float valueInSpecifiedUnits() const { return valueInSpecifiedUnits_; }
    void setValueInSpecifiedUnits(float value) { valueInSpecifiedUnits_ = value; }
    const std::string& valueAsString() const { return valueAsString_; }
    void setValueAsString(std::string text) { valueAsString_ = std::move(text); }

    // Unsupported: they fail the assertion handler.
    void newValueSpecifiedUnits(std::int32_t unitType, float value);
    void convertToSpecifiedUnits(std::int32_t unitType);

private:
    std::int32_t unitType_ = 0;
    float value_ = 0;
    float valueInSpecifiedUnits_ = 0;
    std::string valueAsString_;
};

// The SVG DOM transform item. Elements keep their transform as gfx::AffineTransform; the setters here
// are not supported (each fails the assertion handler).
class SVGTransform {
public:
    std::int32_t type() const { return type_; }
    void setType(std::int32_t type) { type_ = type; }
    float angle() const { return angle_; }
    const std::shared_ptr<SVGMatrix>& matrix() const { return matrix_; }

    void setMatrix(const SVGMatrix& matrix);
    void setTranslate(float tx, float ty);
    void setScale(float sx, float sy);
    void setRotate(float angle, float cx, float cy);
    void setSkewX(float angle);
    void setSkewY(float angle);

private:
    std::int32_t type_ = 0;
    float angle_ = 0;
    std::shared_ptr<SVGMatrix> matrix_ = std::make_shared<SVGMatrix>();
};

}  // namespace vellum
