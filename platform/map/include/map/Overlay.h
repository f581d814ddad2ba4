#pragma once

#include <memory>
#include <vector>

#include "map/Coordinate.h"
#include "map/Projection.h"

namespace map {

// Drawing order of overlays: above roads (under the map's labels) or above labels.
enum class OverlayLevel { aboveRoads = 0, aboveLabels = 1 };

// A shape drawn over the map by an OverlayRenderer. Held in shared_ptr; identity is the object.
class Overlay {
public:
    virtual ~Overlay() = default;
    virtual MapRect boundingMapRect() const = 0;
};

// A line through coordinates, drawn straight in map points (so a leg across the date line goes the
// long way round, as on the platform, unless its longitudes continue past ±180).
class Polyline : public Overlay {
public:
    static std::shared_ptr<Polyline> make(std::vector<Coordinate> coordinates);

    const std::vector<Coordinate>& coordinates() const { return coordinates_; }
    const std::vector<MapPoint>& points() const { return points_; }
    MapRect boundingMapRect() const override { return bounds_; }

private:
    std::vector<Coordinate> coordinates_;
    std::vector<MapPoint> points_;
    MapRect bounds_;
};

}  // namespace map
