#include "map/Overlay.h"

#include <algorithm>

namespace map {

std::shared_ptr<Polyline> Polyline::make(std::vector<Coordinate> coordinates) {
    auto polyline = std::make_shared<Polyline>();
    polyline->points_.reserve(coordinates.size());
    double minX = worldSize, minY = worldSize, maxX = 0, maxY = 0;
    for (const Coordinate& coordinate : coordinates) {
        MapPoint point = mapPoint(coordinate);
        polyline->points_.push_back(point);
        minX = std::min(minX, point.x);
        minY = std::min(minY, point.y);
        maxX = std::max(maxX, point.x);
        maxY = std::max(maxY, point.y);
    }
    polyline->bounds_ = coordinates.empty() ? MapRect{} : MapRect{{minX, minY}, {maxX - minX, maxY - minY}};
    polyline->coordinates_ = std::move(coordinates);
    return polyline;
}

}  // namespace map
