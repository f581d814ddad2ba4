#include "gfx/Geometry.h"

#include <algorithm>

namespace gfx {

Rect Rect::unionWith(const Rect& other) const {
    if (isNull()) return other.standardized();
    if (other.isNull()) return standardized();
    double left = std::min(minX(), other.minX());
    double top = std::min(minY(), other.minY());
    double right = std::max(maxX(), other.maxX());
    double bottom = std::max(maxY(), other.maxY());
    return {left, top, right - left, bottom - top};
}

Rect Rect::intersection(const Rect& other) const {
    if (isNull() || other.isNull()) return null();
    double left = std::max(minX(), other.minX());
    double top = std::max(minY(), other.minY());
    double right = std::min(maxX(), other.maxX());
    double bottom = std::min(maxY(), other.maxY());
    if (right < left || bottom < top) return null();
    return {left, top, right - left, bottom - top};
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull()) return *this;
    Rect result = standardized();
    result.origin.x += dx;
    result.origin.y += dy;
    result.size.width -= 2 * dx;
    result.size.height -= 2 * dy;
    if (result.size.width < 0 || result.size.height < 0) return null();
    return result;
}

Rect Rect::inset(const EdgeInsets& insets) const {
    if (isNull()) return *this;
    Rect result = standardized();
    result.origin.x += insets.left;
    result.origin.y += insets.top;
    result.size.width -= insets.left + insets.right;
    result.size.height -= insets.top + insets.bottom;
    if (result.size.width < 0 || result.size.height < 0) return null();
    return result;
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull()) return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

Rect Rect::integral() const {
    if (isNull()) return *this;
    const Rect box = standardized();
    const double left = std::floor(box.origin.x);
    const double top = std::floor(box.origin.y);
    return {left, top, std::ceil(box.origin.x + box.width()) - left, std::ceil(box.origin.y + box.height()) - top};
}

bool Rect::contains(Point point) const {
    if (isNull()) return false;
    return point.x >= minX() && point.x < maxX() && point.y >= minY() && point.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    if (isNull() || other.isNull()) return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

AffineTransform AffineTransform::rotation(double radians) {
    double cosine = std::cos(radians);
    double sine = std::sin(radians);
    return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::inverted() const {
    double determinant = a * d - b * c;
    if (determinant == 0 || !std::isfinite(determinant)) return *this;
    return {
        d / determinant,
        -b / determinant,
        -c / determinant,
        a / determinant,
        (c * ty - d * tx) / determinant,
        (b * tx - a * ty) / determinant,
    };
}

Rect AffineTransform::apply(const Rect& rect) const {
    if (rect.isNull()) return rect;
    const Rect box = rect.standardized();
    const double minX = box.origin.x, minY = box.origin.y;
    const double maxX = minX + box.width(), maxY = minY + box.height();
    const Point corners[4] = {
        apply(Point{minX, minY}),
        apply(Point{maxX, minY}),
        apply(Point{minX, maxY}),
        apply(Point{maxX, maxY}),
    };
    double left = corners[0].x, right = corners[0].x, top = corners[0].y, bottom = corners[0].y;
    for (const Point& corner : corners) {
        left = std::min(left, corner.x);
        right = std::max(right, corner.x);
        top = std::min(top, corner.y);
        bottom = std::max(bottom, corner.y);
    }
    return {left, top, right - left, bottom - top};
}

}  // namespace gfx
