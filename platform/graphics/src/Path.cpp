#include "gfx/Path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace gfx {

namespace {

constexpr double pi = std::numbers::pi;
// Control-point distance for a quarter circle of radius 1 drawn as one cubic curve.
constexpr double quarterCircleKappa = 0.5522847498307936;

double distance(Point from, Point to) { return std::hypot(to.x - from.x, to.y - from.y); }

Point cubicAt(Point p0, Point p1, Point p2, Point p3, double t) {
    double u = 1 - t;
    double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    return {b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y};
}

Point quadAt(Point p0, Point p1, Point p2, double t) {
    double u = 1 - t;
    return {u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y};
}

// Up to four curve parameters, the extremes along both axes.
struct Extremes {
    std::array<double, 4> values{};
    std::size_t count = 0;
    void push_back(double t) { values[count++] = t; }
    const double* begin() const { return values.data(); }
    const double* end() const { return values.data() + count; }
};

// False when numerator / denominator cannot round to a value strictly between 0 and 1: the signs differ
// (or either is zero), or the numerator is no smaller. Most curve extremes lie outside, and this spares
// their division; true answers still divide and test the quotient.
bool opensInsideUnit(double numerator, double denominator) {
    return (numerator > 0 ? denominator > 0 : numerator < 0 && denominator < 0) &&
           std::abs(numerator) < std::abs(denominator);
}

// Parameters in (0, 1) where one coordinate of a cubic has zero derivative.
void cubicExtremes(double p0, double p1, double p2, double p3, Extremes& out) {
    // Derivative / 3 = a t^2 + b t + c.
    double a = -p0 + 3 * p1 - 3 * p2 + p3;
    double b = 2 * (p0 - 2 * p1 + p2);
    double c = p1 - p0;
    auto keep = [&](double numerator, double denominator) {
        if (opensInsideUnit(numerator, denominator)) {
            const double t = numerator / denominator;
            if (t > 0 && t < 1) out.push_back(t);
        }
    };
    if (std::abs(a) < 1e-12) {
        if (std::abs(b) > 1e-12) keep(-c, b);
        return;
    }
    double discriminant = b * b - 4 * a * c;
    if (discriminant < 0) return;
    double root = std::sqrt(discriminant);
    keep(-b + root, 2 * a);
    keep(-b - root, 2 * a);
}

struct BoxBuilder {
    double left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    void add(Point point) {
        left = std::min(left, point.x);
        right = std::max(right, point.x);
        top = std::min(top, point.y);
        bottom = std::max(bottom, point.y);
    }
    Rect rect() const { return left > right ? Rect::null() : Rect{left, top, right - left, bottom - top}; }
};

}  // namespace

void Path::addLines(std::span<const Point> points) {
    for (std::size_t index = 0; index < points.size(); ++index) {
        if (index == 0)
            moveTo(points[index]);
        else
            lineTo(points[index]);
    }
}

void Path::addRect(const Rect& rect) {
    Rect box = rect.standardized();
    // A path that is one rectangle (most are) is kept at its exact size: grown element by element it
    // held room for eight and was made four times.
    if (elements_.empty()) elements_.reserve(5);
    moveTo({box.minX(), box.minY()});
    lineTo({box.maxX(), box.minY()});
    lineTo({box.maxX(), box.maxY()});
    lineTo({box.minX(), box.maxY()});
    closeSubpath();
}

void Path::addEllipse(const Rect& rect) {
    Rect box = rect.standardized();
    double rx = box.width() / 2, ry = box.height() / 2;
    double cx = box.midX(), cy = box.midY();
    double kx = rx * quarterCircleKappa, ky = ry * quarterCircleKappa;
    moveTo({cx + rx, cy});
    curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
    curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
    curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
    curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
    closeSubpath();
}

void Path::addRoundedRect(const Rect& rect, double cornerWidth, double cornerHeight) {
    addRoundedRect(rect, allCorners, {cornerWidth, cornerHeight});
}

void Path::addRoundedRect(const Rect& rect, unsigned corners, Size cornerRadii) {
    Rect box = rect.standardized();
    double rx = std::clamp(cornerRadii.width, 0.0, box.width() / 2);
    double ry = std::clamp(cornerRadii.height, 0.0, box.height() / 2);
    double kx = rx * (1 - quarterCircleKappa), ky = ry * (1 - quarterCircleKappa);
    double left = box.minX(), top = box.minY(), right = box.maxX(), bottom = box.maxY();
    auto rounded = [&](RectCorner corner) { return (corners & corner) != 0 && rx > 0 && ry > 0; };

    moveTo({rounded(topLeft) ? left + rx : left, top});
    if (rounded(topRight)) {
        lineTo({right - rx, top});
        curveTo({right - kx, top}, {right, top + ky}, {right, top + ry});
    } else {
        lineTo({right, top});
    }
    if (rounded(bottomRight)) {
        lineTo({right, bottom - ry});
        curveTo({right, bottom - ky}, {right - kx, bottom}, {right - rx, bottom});
    } else {
        lineTo({right, bottom});
    }
    if (rounded(bottomLeft)) {
        lineTo({left + rx, bottom});
        curveTo({left + kx, bottom}, {left, bottom - ky}, {left, bottom - ry});
    } else {
        lineTo({left, bottom});
    }
    if (rounded(topLeft)) {
        lineTo({left, top + ry});
        curveTo({left, top + ky}, {left + kx, top}, {left + rx, top});
    }
    closeSubpath();
}

void Path::arcSegments(Point center, double radius, double startAngle, double sweep) {
    Point start{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (currentPoint_)
        lineTo(start);
    else
        moveTo(start);
    if (sweep == 0 || radius == 0) return;
    int segments = std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / (pi / 2) - 1e-9)));
    double step = sweep / segments;
    double handle = 4.0 / 3.0 * std::tan(step / 4) * radius;
    double angle = startAngle;
    for (int segment = 0; segment < segments; ++segment) {
        double next = angle + step;
        double cos0 = std::cos(angle), sin0 = std::sin(angle), cos1 = std::cos(next), sin1 = std::sin(next);
        curveTo({center.x + radius * cos0 - handle * sin0, center.y + radius * sin0 + handle * cos0},
                {center.x + radius * cos1 + handle * sin1, center.y + radius * sin1 - handle * cos1},
                {center.x + radius * cos1, center.y + radius * sin1});
        angle = next;
    }
}

void Path::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    double sweep = endAngle - startAngle;
    if (!clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, 2 * pi) + 2 * pi;
        sweep = std::min(sweep, 2 * pi);
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, 2 * pi) - 2 * pi;
        sweep = std::max(sweep, -2 * pi);
    }
    arcSegments(center, radius, startAngle, sweep);
}

void Path::addRelativeArc(Point center, double radius, double startAngle, double sweep) {
    arcSegments(center, radius, startAngle, sweep);
}

void Path::addArcToPoint(Point tangent1End, Point tangent2End, double radius) {
    if (!currentPoint_) {
        moveTo(tangent1End);
        return;
    }
    Point start = *currentPoint_;
    double length1 = distance(tangent1End, start), length2 = distance(tangent1End, tangent2End);
    if (radius <= 0 || length1 == 0 || length2 == 0) {
        lineTo(tangent1End);
        return;
    }
    Point toStart{(start.x - tangent1End.x) / length1, (start.y - tangent1End.y) / length1};
    Point toEnd{(tangent2End.x - tangent1End.x) / length2, (tangent2End.y - tangent1End.y) / length2};
    double cross = toStart.x * toEnd.y - toStart.y * toEnd.x;
    double cosine = std::clamp(toStart.x * toEnd.x + toStart.y * toEnd.y, -1.0, 1.0);
    if (std::abs(cross) < 1e-12) {  // the three points are on one line: no corner to round
        lineTo(tangent1End);
        return;
    }
    double halfAngle = std::acos(cosine) / 2;
    double tangentDistance = radius / std::tan(halfAngle);
    Point tangentPoint1{tangent1End.x + toStart.x * tangentDistance, tangent1End.y + toStart.y * tangentDistance};
    Point tangentPoint2{tangent1End.x + toEnd.x * tangentDistance, tangent1End.y + toEnd.y * tangentDistance};
    Point bisector{toStart.x + toEnd.x, toStart.y + toEnd.y};
    double bisectorLength = std::hypot(bisector.x, bisector.y);
    double centerDistance = radius / std::sin(halfAngle);
    Point center{tangent1End.x + bisector.x / bisectorLength * centerDistance,
                 tangent1End.y + bisector.y / bisectorLength * centerDistance};
    double startAngle = std::atan2(tangentPoint1.y - center.y, tangentPoint1.x - center.x);
    double sweep = std::atan2(tangentPoint2.y - center.y, tangentPoint2.x - center.x) - startAngle;
    if (sweep > pi) sweep -= 2 * pi;
    if (sweep < -pi) sweep += 2 * pi;
    arcSegments(center, radius, startAngle, sweep);
}

void Path::addPath(const Path& other, const AffineTransform& transform) {
    // Another path's elements are valid as they stand (its first is a move), so they are taken over whole.
    if (!other.elements_.empty()) appendPlaced(other, [&](Point point) { return transform.apply(point); });
}

Path Path::transformed(const AffineTransform& transform) const {
    Path result;
    result.addPath(*this, transform);
    return result;
}

Rect Path::boundingBox() const {
    BoxBuilder box;
    for (const PathElement& element : elements_)
        for (int index = 0; index < element.pointCount(); ++index) box.add(element.points[index]);
    return box.rect();
}

Rect Path::boundingBox(const AffineTransform& transform) const {
    BoxBuilder box;
    for (const PathElement& element : elements_)
        for (int index = 0; index < element.pointCount(); ++index) box.add(transform.apply(element.points[index]));
    return box.rect();
}

Rect Path::pathBoundingBox() const {
    BoxBuilder box;
    Point current;
    Extremes extremes;
    for (const PathElement& element : elements_) {
        const auto& p = element.points;
        switch (element.kind) {
            case PathElement::Kind::moveTo:
            case PathElement::Kind::lineTo:
                box.add(p[0]);
                current = p[0];
                break;
            case PathElement::Kind::quadCurveTo: {
                box.add(p[1]);
                const std::array<std::array<double, 2>, 2> fractions{
                    {{current.x - p[0].x, current.x - 2 * p[0].x + p[1].x},
                     {current.y - p[0].y, current.y - 2 * p[0].y + p[1].y}}};
                for (const auto& [numerator, denominator] : fractions) {
                    if (!opensInsideUnit(numerator, denominator)) continue;
                    const double t = numerator / denominator;
                    if (t > 0 && t < 1) box.add(quadAt(current, p[0], p[1], t));
                }
                current = p[1];
                break;
            }
            case PathElement::Kind::curveTo: {
                box.add(p[2]);
                // The curve lies within the hull of its points, and both ends are in the box already: along
                // an axis where the control points are in the box too, the curve adds nothing there.
                auto inside = [](double control, double low, double high) { return control >= low && control <= high; };
                bool xInside = inside(p[0].x, box.left, box.right) && inside(p[1].x, box.left, box.right);
                bool yInside = inside(p[0].y, box.top, box.bottom) && inside(p[1].y, box.top, box.bottom);
                extremes.count = 0;
                if (!xInside) cubicExtremes(current.x, p[0].x, p[1].x, p[2].x, extremes);
                if (!yInside) cubicExtremes(current.y, p[0].y, p[1].y, p[2].y, extremes);
                for (double t : extremes) box.add(cubicAt(current, p[0], p[1], p[2], t));
                current = p[2];
                break;
            }
            case PathElement::Kind::closeSubpath: break;
        }
    }
    return box.rect();
}

std::vector<std::vector<Point>> Path::flattened(double segmentLength) const {
    std::vector<std::vector<Point>> polygons;
    Point current, subpathStart;
    auto pieces = [&](double length) {
        return std::clamp(static_cast<int>(std::ceil(length / segmentLength)), 1, 1024);
    };
    for (const PathElement& element : elements_) {
        const auto& p = element.points;
        switch (element.kind) {
            case PathElement::Kind::moveTo:
                polygons.push_back({p[0]});
                current = subpathStart = p[0];
                break;
            case PathElement::Kind::lineTo:
                polygons.back().push_back(p[0]);
                current = p[0];
                break;
            case PathElement::Kind::quadCurveTo: {
                int count = pieces(distance(current, p[0]) + distance(p[0], p[1]));
                for (int step = 1; step <= count; ++step)
                    polygons.back().push_back(quadAt(current, p[0], p[1], double(step) / count));
                current = p[1];
                break;
            }
            case PathElement::Kind::curveTo: {
                int count = pieces(distance(current, p[0]) + distance(p[0], p[1]) + distance(p[1], p[2]));
                for (int step = 1; step <= count; ++step)
                    polygons.back().push_back(cubicAt(current, p[0], p[1], p[2], double(step) / count));
                current = p[2];
                break;
            }
            case PathElement::Kind::closeSubpath:
                // Later elements continue from the subpath's start in a new polygon.
                polygons.push_back({subpathStart});
                current = subpathStart;
                break;
        }
    }
    std::erase_if(polygons, [](const std::vector<Point>& polygon) { return polygon.size() < 2; });
    return polygons;
}

bool Path::contains(Point point, FillRule rule) const {
    int winding = 0;
    for (const auto& polygon : flattened()) {
        for (std::size_t index = 0; index < polygon.size(); ++index) {
            Point from = polygon[index];
            Point to = polygon[(index + 1) % polygon.size()];
            double side = (to.x - from.x) * (point.y - from.y) - (point.x - from.x) * (to.y - from.y);
            if (from.y <= point.y && to.y > point.y && side > 0) ++winding;
            if (to.y <= point.y && from.y > point.y && side < 0) --winding;
        }
    }
    return rule == FillRule::winding ? winding != 0 : (winding & 1) != 0;
}

}  // namespace gfx
