#include "ScanConverter.h"

#include "Compositing.h"
#include "Coverage.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gfx::raster {

namespace {

// Pushes the closed convex polygon `polygon` (in the pen's space, where it is round with radius
// `half`) out and in, appending the outlines to `outer` and `inner`; false when it is not convex or
// its inner outline vanishes or folds.
bool convexRing(const std::vector<Vertex>& polygon, double twiceArea, double half, double tolerance,
                const StrokeStyle& style, std::vector<Vertex>& normals, std::vector<Vertex>& outer,
                std::vector<Vertex>& inner) {
    std::size_t n = polygon.size();
    if (n < 3 || !(std::abs(twiceArea) >= 2 * negligibleArea)) return false;
    // Convex: every corner turns the polygon's way, and it goes down and up once only.
    double turn = twiceArea > 0 ? 1 : -1;
    int reversals = 0;
    double firstDy = 0, lastDy = 0;
    normals.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        Vertex a = polygon[i], b = polygon[(i + 1) % n], c = polygon[(i + 2) % n];
        double dx = b.x - a.x, dy = b.y - a.y;
        if ((dx * (c.y - b.y) - dy * (c.x - b.x)) * turn < 0) return false;
        if (dy != 0) {
            if (lastDy != 0 && (dy > 0) != (lastDy > 0)) ++reversals;
            if (firstDy == 0) firstDy = dy;
            lastDy = dy;
        }
        double length = std::sqrt(dx * dx + dy * dy);
        normals[i] = {turn * dy / length, -turn * dx / length};  // outwards
    }
    if (lastDy != 0 && (firstDy > 0) != (lastDy > 0)) ++reversals;
    if (reversals != 2) return false;

    // The outer outline joins each corner as the style says; the inner one meets the edges pushed in
    // at their crossings, which must keep every edge's direction (else the hole has closed up).
    std::size_t innerFirst = inner.size();
    double arcStep = 2 * std::acos(std::max(-1.0, 1 - std::max(tolerance, 0.001) / half));
    for (std::size_t i = 0; i < n; ++i) {
        Vertex v = polygon[i], n1 = normals[(i + n - 1) % n], n2 = normals[i];
        Vertex sum{n1.x + n2.x, n1.y + n2.y};
        double sumSquared = sum.x * sum.x + sum.y * sum.y;
        if (!(sumSquared > 1e-12)) return false;
        double reach = 2 * half / sumSquared;
        inner.push_back({v.x - sum.x * reach, v.y - sum.y * reach});
        if (style.join == StrokeStyle::Join::miter && sumSquared * style.miterLimit * style.miterLimit >= 4) {
            outer.push_back({v.x + sum.x * reach, v.y + sum.y * reach});
        } else if (style.join == StrokeStyle::Join::round) {
            double angle = std::acos(std::clamp(n1.x * n2.x + n1.y * n2.y, -1.0, 1.0));
            int steps = std::max(1, int(std::ceil(angle / arcStep)));
            double start = std::atan2(n1.y, n1.x), way = n1.x * n2.y - n1.y * n2.x < 0 ? -1 : 1;
            for (int k = 0; k <= steps; ++k) {
                double at = start + way * angle * k / steps;
                outer.push_back({v.x + half * std::cos(at), v.y + half * std::sin(at)});
            }
        } else {
            outer.push_back({v.x + n1.x * half, v.y + n1.y * half});
            outer.push_back({v.x + n2.x * half, v.y + n2.y * half});
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        Vertex a = inner[innerFirst + i], b = inner[innerFirst + (i + 1) % n];
        Vertex d{polygon[(i + 1) % n].x - polygon[i].x, polygon[(i + 1) % n].y - polygon[i].y};
        if (!((b.x - a.x) * d.x + (b.y - a.y) * d.y > 0)) return false;
    }
    return true;
}

// Whether a subpath's own corners (where its lines and curves end) turn both ways on the device.
// Flattened, it runs through them in order, and a convex polygon's corners taken in order turn one
// way only: such a path is no ring for strokeConvex, and that is known before anything is flattened.
// Turns within rounding of straight prove nothing and are let through.
bool cornersTurnBothWays(const Path& path, const AffineTransform& toDevice) {
    auto& corners = scratch.outline;
    auto turnsBothWays = [&] {
        while (corners.size() > 1 && corners.back().x == corners.front().x && corners.back().y == corners.front().y)
            corners.pop_back();
        std::size_t n = corners.size();
        bool left = false, right = false;
        for (std::size_t i = 0; i < n && n >= 3; ++i) {
            Vertex a = corners[i], b = corners[(i + 1) % n], c = corners[(i + 2) % n];
            Vertex in{b.x - a.x, b.y - a.y}, out{c.x - b.x, c.y - b.y};
            double cross = in.x * out.y - in.y * out.x;
            double scale = 1e-9 * std::sqrt((in.x * in.x + in.y * in.y) * (out.x * out.x + out.y * out.y));
            left |= cross < -scale, right |= cross > scale;
        }
        return left && right;
    };
    corners.clear();
    for (const PathElement& element : path.elements()) {
        if (element.kind == PathElement::Kind::closeSubpath) {
            if (turnsBothWays()) return true;
            corners.clear();
            continue;
        }
        // Where the element ends: after a curve's control points.
        std::size_t end = element.kind == PathElement::Kind::curveTo       ? 2
                          : element.kind == PathElement::Kind::quadCurveTo ? 1
                                                                            : 0;
        Vertex p = toDevice.apply(element.points[end]);
        if (corners.empty() || p.x != corners.back().x || p.y != corners.back().y) corners.push_back(p);
    }
    return false;
}

}  // namespace

std::optional<PixelBox> strokeConvex(const Path& path, const AffineTransform& toDevice, double tolerance,
                                     const StrokeStyle& style, std::uint32_t source, const Target& target) {
    // Closed subpaths only: caps stay with Cairo.
    const auto& elements = path.elements();
    if (elements.size() < 3 || elements.back().kind != PathElement::Kind::closeSubpath) return std::nullopt;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        bool starts = elements[i].kind == PathElement::Kind::moveTo;
        bool follows = i == 0 || elements[i - 1].kind == PathElement::Kind::closeSubpath;
        if (starts != follows) return std::nullopt;
    }
    if (cornersTurnBothWays(path, toDevice)) return std::nullopt;
    // The pen is round in user space; on the device only when both axes scale alike, without shear.
    // Otherwise the outlines are pushed out and in in user space and mapped back.
    const AffineTransform& t = toDevice;
    double xLength = t.a * t.a + t.b * t.b, yLength = t.c * t.c + t.d * t.d;
    bool round = std::abs(xLength - yLength) <= 1e-9 * xLength && std::abs(t.a * t.c + t.b * t.d) <= 1e-9 * xLength;
    double determinant = t.a * t.d - t.b * t.c;
    if (!(std::abs(determinant) > 1e-12 * std::max(xLength, yLength))) return std::nullopt;
    AffineTransform toPen = round ? AffineTransform{} : t.inverted();
    double largestStretch = std::sqrt(std::max(xLength, yLength) + std::abs(t.a * t.c + t.b * t.d));
    double half = style.lineWidth / 2 * (round ? std::sqrt(xLength) : 1);
    double penTolerance = round ? tolerance : tolerance / largestStretch;
    if (!(half > 0 && half * largestStretch < largestCoordinate)) return std::nullopt;

    Scratch& s = scratch;
    PixelBox box;
    // Curves far enough outside the clip are drawn as chords: far enough that their miters miss it too.
    double deviceHalf = style.lineWidth / 2 * largestStretch;
    double reach = deviceHalf * (style.join == StrokeStyle::Join::miter ? std::max(style.miterLimit, 1.0) : 1) + 1;
    if (!flatten(path, toDevice, tolerance, target.clip, reach, s, box)) return std::nullopt;

    auto& rings = s.rings;
    auto& outer = s.outer;
    auto& inner = s.inner;
    rings.clear();
    outer.clear();
    inner.clear();
    for (std::size_t index = 0; index < s.subpaths.size(); ++index) {
        std::size_t end = subpathEnd(s, index);
        // What follows a close holds its start alone.
        if (!s.subpaths[index].closed) {
            if (end - s.subpaths[index].first > 1) return std::nullopt;
            continue;
        }
        // The polygon without repeated points.
        std::vector<Vertex>& polygon = s.outline;
        polygon.clear();
        for (std::size_t v = s.subpaths[index].first; v < end; ++v) {
            Vertex p = round ? s.vertices[v] : toPen.apply(s.vertices[v]);
            if (polygon.empty() || p.x != polygon.back().x || p.y != polygon.back().y) polygon.push_back(p);
        }
        while (polygon.size() > 1 && polygon.back().x == polygon.front().x && polygon.back().y == polygon.front().y)
            polygon.pop_back();
        double twiceArea = s.subpaths[index].twiceArea * (round || determinant > 0 ? 1 : -1);
        Ring ring{outer.size(), 0, inner.size(), 0, {INFINITY, INFINITY, -INFINITY, -INFINITY}};
        if (!convexRing(polygon, twiceArea, half, penTolerance, style, s.normals, outer, inner)) return std::nullopt;
        ring.outerEnd = outer.size();
        ring.innerEnd = inner.size();
        for (std::size_t i = ring.outerFirst; i < ring.outerEnd; ++i) {
            if (!round) outer[i] = toDevice.apply(outer[i]);
            ring.bounds = {std::min(ring.bounds[0], outer[i].x), std::min(ring.bounds[1], outer[i].y),
                           std::max(ring.bounds[2], outer[i].x), std::max(ring.bounds[3], outer[i].y)};
        }
        if (!round)
            for (std::size_t i = ring.innerFirst; i < ring.innerEnd; ++i) inner[i] = toDevice.apply(inner[i]);
        ring.bounds = {std::floor(ring.bounds[0]), std::floor(ring.bounds[1]), std::ceil(ring.bounds[2]),
                       std::ceil(ring.bounds[3])};
        rings.push_back(ring);
    }
    if (rings.empty()) return std::nullopt;
    // Rings sharing a pixel would add up there where they overlap: Cairo's.
    constexpr std::size_t mostPairs = 1 << 12;
    if (rings.size() * rings.size() > 2 * mostPairs) return std::nullopt;
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (std::size_t i = 0; i < rings.size(); ++i) {
        const auto& a = rings[i].bounds;
        minX = std::min(minX, a[0]), minY = std::min(minY, a[1]);
        maxX = std::max(maxX, a[2]), maxY = std::max(maxY, a[3]);
        for (std::size_t j = 0; j < i; ++j)
            if (sharePixel(a, rings[j].bounds)) return std::nullopt;
    }
    if (!(maxX - minX < 2 * largestCoordinate && maxY - minY < 2 * largestCoordinate)) return std::nullopt;
    box = target.clip.intersection({int(std::max(minX, -2e9)), int(std::max(minY, -2e9)), int(std::min(maxX, 2e9)),
                                    int(std::min(maxY, 2e9))});
    // Around a ring the two outlines run the same way; the inner one backwards leaves the hole at 0.
    auto addLines = [&](Accumulator& accumulator) {
        auto loop = [&](const std::vector<Vertex>& points, std::size_t first, std::size_t end, double sign) {
            for (std::size_t i = first; i < end; ++i)
                accumulator.line(points[i], points[i + 1 < end ? i + 1 : first], sign);
        };
        for (const Ring& ring : rings) {
            loop(outer, ring.outerFirst, ring.outerEnd, 1);
            loop(inner, ring.innerFirst, ring.innerEnd, -1);
        }
    };
    return render(box, FillRule::winding, s, addLines, compositor(source, target));
}

}  // namespace gfx::raster
