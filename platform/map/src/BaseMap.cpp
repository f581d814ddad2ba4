#include "map/BaseMap.h"

#include <cmath>

#include "gfx/Path.h"

namespace map {

namespace {

// Polygons are clipped to the view plus this margin (in points), so nothing far off screen reaches
// Cairo, whose fixed-point coordinates overflow a few million pixels out at close zoom.
constexpr double guardMargin = 64;

// Sutherland-Hodgman against one axis-aligned edge; `inside` and `cut` describe the edge.
template <typename Inside, typename Cut>
std::vector<MapPoint> clipEdge(const std::vector<MapPoint>& polygon, Inside inside, Cut cut) {
    std::vector<MapPoint> result;
    if (polygon.empty()) return result;
    result.reserve(polygon.size() + 4);
    MapPoint previous = polygon.back();
    bool previousInside = inside(previous);
    for (const MapPoint& current : polygon) {
        bool currentInside = inside(current);
        if (currentInside != previousInside) result.push_back(cut(previous, current));
        if (currentInside) result.push_back(current);
        previous = current;
        previousInside = currentInside;
    }
    return result;
}

std::vector<MapPoint> clipToRect(const std::vector<MapPoint>& polygon, const MapRect& rect) {
    auto atX = [](double x) {
        return [x](MapPoint a, MapPoint b) { return MapPoint{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    };
    auto atY = [](double y) {
        return [y](MapPoint a, MapPoint b) { return MapPoint{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    };
    double minX = rect.minX(), maxX = rect.maxX(), minY = rect.minY(), maxY = rect.maxY();
    std::vector<MapPoint> clipped = clipEdge(polygon, [&](MapPoint p) { return p.x >= minX; }, atX(minX));
    clipped = clipEdge(clipped, [&](MapPoint p) { return p.x <= maxX; }, atX(maxX));
    clipped = clipEdge(clipped, [&](MapPoint p) { return p.y >= minY; }, atY(minY));
    return clipEdge(clipped, [&](MapPoint p) { return p.y <= maxY; }, atY(maxY));
}

bool contains(const MapRect& outer, const MapRect& inner) {
    return inner.minX() >= outer.minX() && inner.maxX() <= outer.maxX() && inner.minY() >= outer.minY() &&
           inner.maxY() <= outer.maxY();
}

void addRing(const std::vector<MapPoint>& ring, const Viewport& viewport, double offset, gfx::Path& fill,
             gfx::Path& coast) {
    bool drawing = false;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        gfx::Point point = viewport.point(ring[i], offset);
        if (i == 0) {
            fill.moveTo(point);
        } else {
            fill.lineTo(point);
        }
        const MapPoint& next = ring[(i + 1) % ring.size()];
        if (isSeamEdge(ring[i], next)) {
            drawing = false;
            continue;
        }
        if (!drawing) coast.moveTo(point);
        coast.lineTo(viewport.point(next, offset));
        drawing = true;
    }
    fill.closeSubpath();
}

void drawGraticule(gfx::Context& context, const Viewport& viewport, const BaseMapStyle& style, const gfx::Rect& area,
                   const MapRect& shown) {
    double spacing = graticuleSpacing(region(viewport.visibleMapRect()).span.longitudeDelta);
    // Lines just outside the area still touch its edge pixels, but the whole view never drew beyond
    // its own edges, so only edges other than the view's get that margin.
    gfx::Rect view{{0, 0}, viewport.size()};
    auto reaches = [](double value, double low, double high, bool innerLow, bool innerHigh, double width) {
        return value >= low - (innerLow ? width : 0) && value <= high + (innerHigh ? width : 0);
    };
    double width = style.graticuleWidth;
    bool innerLeft = area.minX() != view.minX(), innerRight = area.maxX() != view.maxX();
    bool innerTop = area.minY() != view.minY(), innerBottom = area.maxY() != view.maxY();
    gfx::Path lines;
    for (double longitude = -180; longitude < 180; longitude += spacing) {
        for (double offset : worldCopyOffsets(shown)) {
            double x = viewport.point(mapPoint({0, longitude}), offset).x;
            if (!reaches(x, area.minX(), area.maxX(), innerLeft, innerRight, width)) continue;
            lines.moveTo({x, area.minY()});
            lines.lineTo({x, area.maxY()});
        }
    }
    for (double latitude = -90 + spacing; latitude < 90; latitude += spacing) {
        double y = viewport.point(mapPoint({latitude, 0}), 0).y;
        if (!reaches(y, area.minY(), area.maxY(), innerTop, innerBottom, width)) continue;
        lines.moveTo({area.minX(), y});
        lines.lineTo({area.maxX(), y});
    }
    context.setStrokeColor(style.graticule);
    context.setLineWidth(style.graticuleWidth);
    context.stroke(lines);
}

}  // namespace

double graticuleSpacing(double longitudeSpan) { return longitudeSpan >= 90 ? 30 : 10; }

void drawBaseMap(gfx::Context& context, const Viewport& viewport, const LandShapes& land, const BaseMapStyle& style) {
    drawBaseMap(context, viewport, land, style, gfx::Rect{{0, 0}, viewport.size()});
}

void drawBaseMap(gfx::Context& context, const Viewport& viewport, const LandShapes& land, const BaseMapStyle& style,
                 const gfx::Rect& area) {
    context.save();
    context.clip(area);
    context.setFillColor(style.sea);
    context.fillRect(area);

    // A device pixel of error hardly shows under a coast line wider than a pixel.
    double pixelScale = std::max(1.0, context.scale());
    const LandShapes::Level& level = land.levelFor(viewport.scale() / pixelScale);
    double smallest = viewport.scale() / pixelScale;
    MapRect shown{viewport.mapPoint(area.origin), {area.width() * viewport.scale(), area.height() * viewport.scale()}};
    double margin = guardMargin * viewport.scale();
    gfx::Path fill, coast;
    for (double offset : worldCopyOffsets(shown)) {
        MapRect guard{{shown.minX() - offset - margin, shown.minY() - margin},
                      {shown.size.width + 2 * margin, shown.size.height + 2 * margin}};
        for (const LandRing& ring : level.rings) {
            if (!guard.intersects(ring.bounds)) continue;
            if (ring.bounds.size.width < smallest && ring.bounds.size.height < smallest) continue;
            if (contains(guard, ring.bounds)) {
                addRing(ring.points, viewport, offset, fill, coast);
            } else {
                std::vector<MapPoint> clipped = clipToRect(ring.points, guard);
                if (clipped.size() >= 3) addRing(clipped, viewport, offset, fill, coast);
            }
        }
    }
    context.setFillColor(style.land);
    context.fill(fill, gfx::FillRule::evenOdd);
    drawGraticule(context, viewport, style, area, shown);
    context.setStrokeColor(style.coastline);
    context.setLineWidth(style.coastlineWidth);
    context.setLineJoin(gfx::LineJoin::round);
    context.stroke(coast);
    context.restore();
}

}  // namespace map
