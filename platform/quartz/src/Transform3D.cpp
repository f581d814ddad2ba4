#include "quartz/Transform3D.h"

#include <cmath>

namespace quartz {

Transform3D Transform3D::translation(double x, double y, double z) {
    Transform3D t;
    t.m41 = x;
    t.m42 = y;
    t.m43 = z;
    return t;
}

Transform3D Transform3D::scale(double sx, double sy, double sz) {
    Transform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

Transform3D Transform3D::rotation(double radians, double x, double y, double z) {
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0 || !std::isfinite(length)) return {};
    x /= length;
    y /= length;
    z /= length;
    double c = std::cos(radians), s = std::sin(radians), k = 1 - c;
    Transform3D t;
    t.m11 = c + x * x * k;
    t.m12 = x * y * k + z * s;
    t.m13 = x * z * k - y * s;
    t.m21 = x * y * k - z * s;
    t.m22 = c + y * y * k;
    t.m23 = y * z * k + x * s;
    t.m31 = x * z * k + y * s;
    t.m32 = y * z * k - x * s;
    t.m33 = c + z * z * k;
    return t;
}

Transform3D Transform3D::fromAffine(const gfx::AffineTransform& a) {
    Transform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

bool Transform3D::isAffine() const {
    return m13 == 0 && m14 == 0 && m23 == 0 && m24 == 0 && m31 == 0 && m32 == 0 && m33 == 1 && m34 == 0 && m43 == 0 &&
           m44 == 1;
}

Transform3D Transform3D::concatenating(const Transform3D& b) const {
    const double l[4][4] = {{m11, m12, m13, m14}, {m21, m22, m23, m24}, {m31, m32, m33, m34}, {m41, m42, m43, m44}};
    const double r[4][4] = {{b.m11, b.m12, b.m13, b.m14},
                            {b.m21, b.m22, b.m23, b.m24},
                            {b.m31, b.m32, b.m33, b.m34},
                            {b.m41, b.m42, b.m43, b.m44}};
    double p[4][4];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += l[row][k] * r[k][column];
            p[row][column] = sum;
        }
    return {p[0][0], p[0][1], p[0][2], p[0][3], p[1][0], p[1][1], p[1][2], p[1][3],
            p[2][0], p[2][1], p[2][2], p[2][3], p[3][0], p[3][1], p[3][2], p[3][3]};
}

}  // namespace quartz
