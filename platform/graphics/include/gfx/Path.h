#pragma once

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "gfx/Geometry.h"

namespace gfx {

enum class FillRule { winding, evenOdd };

struct PathElement {
    enum class Kind { moveTo, lineTo, quadCurveTo, curveTo, closeSubpath };

    Kind kind = Kind::moveTo;
    // Control points first, then the end point; unused slots are zero.
    std::array<Point, 3> points{};

    // Inline: every walk over a path's points asks it once an element.
    int pointCount() const {
        switch (kind) {
            case Kind::moveTo:
            case Kind::lineTo: return 1;
            case Kind::quadCurveTo: return 2;
            case Kind::curveTo: return 3;
            case Kind::closeSubpath: return 0;
        }
        return 0;
    }
    bool operator==(const PathElement&) const = default;
};

// The two control points of the cubic drawing the same curve as the quadratic from `start` through
// `control` to `end` (degree elevation), for code that only draws cubics.
inline std::array<Point, 2> cubicControls(Point start, Point control, Point end) {
    return {Point{start.x + 2.0 / 3 * (control.x - start.x), start.y + 2.0 / 3 * (control.y - start.y)},
            Point{end.x + 2.0 / 3 * (control.x - end.x), end.y + 2.0 / 3 * (control.y - end.y)}};
}

// Corners of a rectangle in top-left-origin coordinates ("top" is the minimum y), as a bit set whose
// values match the platform's.
enum RectCorner : unsigned {
    topLeft = 1,
    topRight = 2,
    bottomLeft = 4,
    bottomRight = 8,
    allCorners = 15,
};

// A vector path of move, line, curve and close elements. Arcs, ellipses and rounded corners are stored
// as cubic curves, as the platform does, so walking the elements never meets an arc.
class Path {
public:
    void moveTo(Point point);
    // Line and curve elements need a current point; without one they are ignored, as on the platform.
    void lineTo(Point point);
    void quadCurveTo(Point control, Point end);
    void curveTo(Point control1, Point control2, Point end);
    void closeSubpath();

    void addLines(std::span<const Point> points);
    void addRect(const Rect& rect);
    void addEllipse(const Rect& rect);
    // Corner sizes are clamped to half the rectangle's width and height.
    void addRoundedRect(const Rect& rect, double cornerWidth, double cornerHeight);
    void addRoundedRect(const Rect& rect, unsigned corners, Size cornerRadii);
    // Angles in radians from the x axis towards the y axis. `clockwise` has the meaning of the platform's
    // path function: true sweeps towards decreasing angles (clockwise when y points up). The view-level
    // bezier path of the platform uses the opposite flag. A current point is joined to the arc's start
    // with a line; without one, the arc starts a new subpath.
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    // An arc through `sweep` radians from `startAngle` (negative sweeps go towards decreasing angles).
    void addRelativeArc(Point center, double radius, double startAngle, double sweep);
    // The arc of the given radius tangent to the lines current point -> tangent1End and
    // tangent1End -> tangent2End, preceded by a line to its first tangent point.
    void addArcToPoint(Point tangent1End, Point tangent2End, double radius);
    void addPath(const Path& other, const AffineTransform& transform = {});

    Path transformed(const AffineTransform& transform) const;
    // A copy with every point (current point and subpath start too) taken through `place`: the
    // elements are copied as they stand, in one allocation, instead of being rebuilt call by call.
    template <class Place>
    Path withPointsPlaced(Place place) const {
        Path result;
        if (!elements_.empty()) result.appendPlaced(*this, place);
        return result;
    }

    // Room for `count` elements in all, for a caller that knows how many it is about to add.
    void reserve(std::size_t count) { elements_.reserve(count); }
    const std::vector<PathElement>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    std::optional<Point> currentPoint() const { return currentPoint_; }

    // The box of every point including curve control points (cheap); the null rectangle when empty.
    Rect boundingBox() const;
    // The same for the points taken through `transform`, without a transformed copy.
    Rect boundingBox(const AffineTransform& transform) const;
    // The tight box of the drawn outline: curve extremes, not control points.
    Rect pathBoundingBox() const;
    // Open subpaths count as closed; curves are flattened finely enough for hit testing.
    bool contains(Point point, FillRule rule = FillRule::winding) const;
    // The outline as polygons, one a subpath, curves cut into lines no longer than `segmentLength`.
    std::vector<std::vector<Point>> flattened(double segmentLength = 0.5) const;

    bool operator==(const Path&) const = default;

private:
    // A new element of the kind at the end, its points zero.
    PathElement& append(PathElement::Kind kind);
    // Appends the elements of `other` (not empty, so its first is a move and it has a current point)
    // with every point taken through `place`, and takes over its current point and subpath start.
    template <class Place>
    void appendPlaced(const Path& other, Place place) {
        elements_.reserve(elements_.size() + other.elements_.size());
        for (const PathElement& element : other.elements_) {
            PathElement& copy = elements_.emplace_back();
            copy.kind = element.kind;
            for (int index = 0; index < element.pointCount(); ++index) copy.points[index] = place(element.points[index]);
        }
        currentPoint_ = place(*other.currentPoint_);
        subpathStart_ = place(other.subpathStart_);
    }
    void arcSegments(Point center, double radius, double startAngle, double sweep);

    std::vector<PathElement> elements_;
    std::optional<Point> currentPoint_;
    Point subpathStart_;
};

// The element appends are defined here, inline: path data is read into a path element by element, and a
// call for each cost the reader about a tenth of its time.

inline PathElement& Path::append(PathElement::Kind kind) {
    // Built where it is stored: an element filled on the stack and copied in cost a store and a
    // reload of all its bytes for every segment.
    PathElement& element = elements_.emplace_back();
    element.kind = kind;
    return element;
}

inline void Path::moveTo(Point point) {
    append(PathElement::Kind::moveTo).points[0] = point;
    currentPoint_ = point;
    subpathStart_ = point;
}

inline void Path::lineTo(Point point) {
    if (!currentPoint_) return;
    append(PathElement::Kind::lineTo).points[0] = point;
    currentPoint_ = point;
}

inline void Path::quadCurveTo(Point control, Point end) {
    if (!currentPoint_) return;
    auto& points = append(PathElement::Kind::quadCurveTo).points;
    points[0] = control;
    points[1] = end;
    currentPoint_ = end;
}

inline void Path::curveTo(Point control1, Point control2, Point end) {
    if (!currentPoint_) return;
    auto& points = append(PathElement::Kind::curveTo).points;
    points[0] = control1;
    points[1] = control2;
    points[2] = end;
    currentPoint_ = end;
}

inline void Path::closeSubpath() {
    if (!currentPoint_) return;
    append(PathElement::Kind::closeSubpath);
    currentPoint_ = subpathStart_;
}

}  // namespace gfx
