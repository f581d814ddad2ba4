#include "map/Projection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace map {

namespace {

double radians(double degrees) { return degrees * std::numbers::pi / 180; }
double degrees(double radians) { return radians * 180 / std::numbers::pi; }

}  // namespace

bool Coordinate::isValid() const {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::abs(latitude) <= 90 && std::abs(longitude) <= 180;
}

double wrapLongitude(double longitude) {
    if (!std::isfinite(longitude)) return longitude;
    double wrapped = std::fmod(longitude + 180, 360);
    if (wrapped < 0) wrapped += 360;
    return wrapped - 180;
}

MapPoint mapPoint(Coordinate coordinate) {
    double latitude = std::clamp(coordinate.latitude, -maximumLatitude, maximumLatitude);
    double x = (coordinate.longitude + 180) / 360 * worldSize;
    double sine = std::sin(radians(latitude));
    double y = (0.5 - std::log((1 + sine) / (1 - sine)) / (4 * std::numbers::pi)) * worldSize;
    return {x, std::clamp(y, 0.0, worldSize)};
}

Coordinate coordinate(MapPoint point) {
    double longitude = point.x / worldSize * 360 - 180;
    double y = std::clamp(point.y, 0.0, worldSize);
    double latitude = degrees(std::atan(std::sinh(std::numbers::pi * (1 - 2 * y / worldSize))));
    return {latitude, longitude};
}

MapRect mapRect(const CoordinateRegion& region) {
    double halfLatitude = std::abs(region.span.latitudeDelta) / 2;
    double halfLongitude = std::abs(region.span.longitudeDelta) / 2;
    MapPoint topLeft = mapPoint({region.center.latitude + halfLatitude, region.center.longitude - halfLongitude});
    MapPoint bottomRight = mapPoint({region.center.latitude - halfLatitude, region.center.longitude + halfLongitude});
    return {topLeft, {bottomRight.x - topLeft.x, bottomRight.y - topLeft.y}};
}

CoordinateRegion region(const MapRect& rect) {
    Coordinate topLeft = coordinate(rect.origin);
    Coordinate bottomRight = coordinate({rect.maxX(), rect.maxY()});
    Coordinate center = coordinate({rect.midX(), rect.midY()});
    return {center, {topLeft.latitude - bottomRight.latitude, bottomRight.longitude - topLeft.longitude}};
}

}  // namespace map
