#pragma once

#include <memory>

namespace vellum {

// The SVG DOM matrix: six components. Its arithmetic is not supported (each operation fails the
// assertion handler); the library computes with gfx::AffineTransform instead.
class SVGMatrix {
public:
    float a() const { return a_; }
    void setA(float value) { a_ = value; }
    float b() const { return b_; }
    void setB(float value) { b_ = value; }
    float c() const { return c_; }
    void setC(float value) { c_ = value; }
    float d() const { return d_; }
    void setD(float value) { d_ = value; }
    float e() const { return e_; }
    void setE(float value) { e_ = value; }
    float f() const { return f_; }
    void setF(float value) { f_ = value; }

    std::shared_ptr<SVGMatrix> multiply(const SVGMatrix& other) const;
    std::shared_ptr<SVGMatrix> inverse() const;
    std::shared_ptr<SVGMatrix> translate(float x, float y) const;
    std::shared_ptr<SVGMatrix> scale(float factor) const;
    std::shared_ptr<SVGMatrix> scaleNonUniform(float factorX, float factorY) const;
    std::shared_ptr<SVGMatrix> rotate(float angle) const;
    std::shared_ptr<SVGMatrix> rotateFromVector(float x, float y) const;
    std::shared_ptr<SVGMatrix> flipX() const;
    std::shared_ptr<SVGMatrix> flipY() const;
    std::shared_ptr<SVGMatrix> skewX(float angle) const;
    std::shared_ptr<SVGMatrix> skewY(float angle) const;

private:
    float a_ = 0, b_ = 0, c_ = 0, d_ = 0, e_ = 0, f_ = 0;
};

class SVGPoint {
public:
    SVGPoint() = default;
    SVGPoint(float x, float y) : x_(x), y_(y) {}
    float x() const { return x_; }
    float y() const { return y_; }
    // Unsupported: fails the assertion handler.
    std::shared_ptr<SVGPoint> matrixTransform(const SVGMatrix& matrix) const;

private:
    float x_ = 0;
    float y_ = 0;
};

}  // namespace vellum
