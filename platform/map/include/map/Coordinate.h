#pragma once

namespace map {

// A geographic position in degrees on WGS 84: latitude north positive, longitude east positive.
struct Coordinate {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const Coordinate&) const = default;

    // Latitude within ±90 and longitude within ±180, both finite.
    bool isValid() const;
};

// The platform's "invalid coordinate" marker.
inline constexpr Coordinate invalidCoordinate{-180, -180};

// A longitude brought into [-180, 180).
double wrapLongitude(double longitude);

// A recorded position; the app only ever reads its coordinate back.
struct Location {
    Coordinate coordinate;

    Location() = default;
    Location(double latitude, double longitude) : coordinate{latitude, longitude} {}
    explicit Location(Coordinate coordinate) : coordinate(coordinate) {}

    bool operator==(const Location&) const = default;
};

// Extent of a region in degrees.
struct CoordinateSpan {
    double latitudeDelta = 0;
    double longitudeDelta = 0;

    bool operator==(const CoordinateSpan&) const = default;
};

struct CoordinateRegion {
    Coordinate center;
    CoordinateSpan span;

    bool operator==(const CoordinateRegion&) const = default;
};

}  // namespace map
