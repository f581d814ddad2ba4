#pragma once

#include "map/Coordinate.h"

namespace map {

// Web Mercator: the world is a square of worldSize map points, x east from the antimeridian, y south
// from the top edge at maximumLatitude. Latitudes beyond it are clamped (the projection reaches the
// poles only at infinity).
inline constexpr double worldSize = 268435456.0;  // 2^28, as the platform's map points
inline constexpr double maximumLatitude = 85.05112877980659;

struct MapPoint {
    double x = 0;
    double y = 0;

    bool operator==(const MapPoint&) const = default;
};

struct MapSize {
    double width = 0;
    double height = 0;

    bool operator==(const MapSize&) const = default;
};

struct MapRect {
    MapPoint origin;
    MapSize size;

    bool operator==(const MapRect&) const = default;

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }
    bool intersects(const MapRect& other) const {
        return minX() <= other.maxX() && other.minX() <= maxX() && minY() <= other.maxY() && other.minY() <= maxY();
    }
    MapRect offsetBy(double dx, double dy) const { return {{origin.x + dx, origin.y + dy}, size}; }
};

inline constexpr MapRect worldRect{{0, 0}, {worldSize, worldSize}};

// Longitudes outside ±180 give points outside the world square (to the left or right), so lines that
// cross the date line can be drawn without a jump.
MapPoint mapPoint(Coordinate coordinate);
// Longitudes are not wrapped: x beyond the world square gives longitudes beyond ±180.
Coordinate coordinate(MapPoint point);

// The map rectangle covering a region (its latitude extent clamped to the projection's).
MapRect mapRect(const CoordinateRegion& region);
// The region covering a map rectangle: centre at the rectangle's centre, spans between its edges.
CoordinateRegion region(const MapRect& rect);

}  // namespace map
