#pragma once

#include <vector>

#include "map/Projection.h"

namespace map {

// Douglas-Peucker: keeps the ends and every point farther than `tolerance` from the simplified line.
std::vector<MapPoint> simplifyPolyline(const std::vector<MapPoint>& points, double tolerance);
// The same for a closed ring (no repeated end point).
std::vector<MapPoint> simplifyRing(const std::vector<MapPoint>& ring, double tolerance);

}  // namespace map
