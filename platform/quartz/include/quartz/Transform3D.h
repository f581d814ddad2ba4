#pragma once

#include "gfx/Geometry.h"

namespace quartz {

// The platform's 4x4 layer transform in its row-vector convention: a point (x, y, z, 1) times the matrix. Its affine
// part is m11 m12 / m21 m22 / m41 m42, the same numbers as gfx::AffineTransform's a b / c d / tx ty. Layers store the
// whole matrix; the renderer draws only the affine part (no perspective, no depth).
struct Transform3D {
    double m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    double m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    double m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    double m41 = 0, m42 = 0, m43 = 0, m44 = 1;

    bool operator==(const Transform3D&) const = default;

    static constexpr Transform3D identity() { return {}; }
    static Transform3D translation(double x, double y, double z = 0);
    static Transform3D scale(double sx, double sy, double sz = 1);
    // Rotation by `radians` about the axis (x, y, z); about z it turns x towards y.
    static Transform3D rotation(double radians, double x, double y, double z);
    static Transform3D fromAffine(const gfx::AffineTransform& transform);

    bool isIdentity() const { return *this == Transform3D{}; }
    // True when the matrix has no depth or perspective terms, so affine() loses nothing.
    bool isAffine() const;
    gfx::AffineTransform affine() const { return {m11, m12, m21, m22, m41, m42}; }

    // `t1.concatenating(t2)` applies t1 first, then t2.
    Transform3D concatenating(const Transform3D& then) const;
    // These apply the new operation first, then this transform, as the platform's layer helpers do.
    Transform3D translatedBy(double x, double y, double z = 0) const {
        return translation(x, y, z).concatenating(*this);
    }
    Transform3D scaledBy(double sx, double sy, double sz = 1) const { return scale(sx, sy, sz).concatenating(*this); }
    Transform3D rotatedBy(double radians, double x, double y, double z) const {
        return rotation(radians, x, y, z).concatenating(*this);
    }
};

}  // namespace quartz
