#pragma once

#include <cmath>
#include <limits>

namespace gfx {

// Points, sizes and rectangles in points (not pixels), with the rectangle arithmetic of the platform:
// a rectangle may have a negative size (standardized() flips it), and the null rectangle, the result
// of intersecting disjoint rectangles, sits at infinity and is ignored by union.
struct Point {
    double x = 0;
    double y = 0;

    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;

    bool operator==(const Size&) const = default;
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    bool operator==(const EdgeInsets&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point origin, Size size) : origin(origin), size(size) {}
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    static constexpr Rect null() {
        constexpr double infinity = std::numeric_limits<double>::infinity();
        return {infinity, infinity, 0, 0};
    }

    bool operator==(const Rect&) const = default;

    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    // Inline, and the edges without a whole standardized copy each: layer frames and transformed boxes
    // ask for them many times a drawing.
    Rect standardized() const {
        if (isNull()) return *this;
        Rect result = *this;
        if (result.size.width < 0) {
            result.origin.x += result.size.width;
            result.size.width = -result.size.width;
        }
        if (result.size.height < 0) {
            result.origin.y += result.size.height;
            result.size.height = -result.size.height;
        }
        return result;
    }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }
    double minX() const { return size.width < 0 && !isNull() ? origin.x + size.width : origin.x; }
    double minY() const { return size.height < 0 && !isNull() ? origin.y + size.height : origin.y; }
    double midX() const { return minX() + width() / 2; }
    double midY() const { return minY() + height() / 2; }
    double maxX() const { return minX() + width(); }
    double maxY() const { return minY() + height(); }

    Rect unionWith(const Rect& other) const;
    // Null when the rectangles are disjoint; rectangles that only touch give a zero-width or zero-height one.
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const { return !intersection(other).isEmpty(); }
    // Null when the insets eat the whole width or height.
    Rect insetBy(double dx, double dy) const;
    Rect inset(const EdgeInsets& insets) const;
    Rect offsetBy(double dx, double dy) const;
    // The smallest rectangle with whole-number edges that contains this one.
    Rect integral() const;
    // Half-open: the minimum edges are inside, the maximum edges outside.
    bool contains(Point point) const;
    bool contains(const Rect& other) const;
};

// The platform's 2x3 matrix: x' = a x + c y + tx, y' = b x + d y + ty.
struct AffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    bool operator==(const AffineTransform&) const = default;

    static constexpr AffineTransform identity() { return {}; }
    static constexpr AffineTransform translation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static constexpr AffineTransform scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform rotation(double radians);

    bool isIdentity() const { return *this == AffineTransform{}; }

    // `t1.concatenating(t2)` maps a point through t1 first, then t2.
    // Inline: layers and contexts concatenate at every step of a drawing.
    AffineTransform concatenating(const AffineTransform& then) const {
        return {
            a * then.a + b * then.c,
            a * then.b + b * then.d,
            c * then.a + d * then.c,
            c * then.b + d * then.d,
            tx * then.a + ty * then.c + then.tx,
            tx * then.b + ty * then.d + then.ty,
        };
    }
    // These apply the new operation first, then this transform (the platform's translatedBy/scaledBy/rotated).
    AffineTransform translatedBy(double x, double y) const { return translation(x, y).concatenating(*this); }
    AffineTransform scaledBy(double sx, double sy) const { return scale(sx, sy).concatenating(*this); }
    AffineTransform rotatedBy(double radians) const { return rotation(radians).concatenating(*this); }
    // A singular transform has no inverse and comes back unchanged, as on the platform.
    AffineTransform inverted() const;

    Point apply(Point point) const { return {a * point.x + c * point.y + tx, b * point.x + d * point.y + ty}; }
    // Sizes are vectors: no translation.
    Size apply(Size size) const { return {a * size.width + c * size.height, b * size.width + d * size.height}; }
    // The bounding box of the transformed corners; the null rectangle stays null.
    Rect apply(const Rect& rect) const;
};

}  // namespace gfx
