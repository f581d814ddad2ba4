// The SVG DOM value operations that exist only as declarations: no code path of the library calls them.
#include "foundation/Assertion.h"
#include "vellum/SVGMatrix.h"
#include "vellum/SVGTransform.h"

namespace vellum {

namespace {
[[noreturn]] void notImplemented() { foundation::raiseAssertion("Not implemented yet"); }
}  // namespace

std::shared_ptr<SVGMatrix> SVGMatrix::multiply(const SVGMatrix&) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::inverse() const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::translate(float, float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::scale(float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::scaleNonUniform(float, float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::rotate(float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::rotateFromVector(float, float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::flipX() const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::flipY() const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::skewX(float) const { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGMatrix::skewY(float) const { notImplemented(); }

std::shared_ptr<SVGPoint> SVGPoint::matrixTransform(const SVGMatrix&) const { notImplemented(); }

void SVGAngle::newValueSpecifiedUnits(std::int32_t, float) { notImplemented(); }
void SVGAngle::convertToSpecifiedUnits(std::int32_t) { notImplemented(); }

void SVGTransform::setMatrix(const SVGMatrix&) { notImplemented(); }
void SVGTransform::setTranslate(float, float) { notImplemented(); }
void SVGTransform::setScale(float, float) { notImplemented(); }
void SVGTransform::setRotate(float, float, float) { notImplemented(); }
void SVGTransform::setSkewX(float) { notImplemented(); }
void SVGTransform::setSkewY(float) { notImplemented(); }

}  // namespace vellum
