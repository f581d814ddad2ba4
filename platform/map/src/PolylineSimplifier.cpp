#include "PolylineSimplifier.h"

#include <cmath>
#include <utility>

namespace map {

std::vector<MapPoint> simplifyPolyline(const std::vector<MapPoint>& points, double tolerance) {
    if (points.size() < 3) return points;
    std::vector<bool> keep(points.size(), false);
    keep.front() = keep.back() = true;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, points.size() - 1}};
    while (!stack.empty()) {
        auto [first, last] = stack.back();
        stack.pop_back();
        MapPoint a = points[first], b = points[last];
        double dx = b.x - a.x, dy = b.y - a.y;
        double length = std::hypot(dx, dy);
        double farthest = 0;
        std::size_t index = first;
        for (std::size_t i = first + 1; i < last; ++i) {
            double px = points[i].x - a.x, py = points[i].y - a.y;
            double distance = length == 0 ? std::hypot(px, py) : std::abs(dy * px - dx * py) / length;
            if (distance > farthest) {
                farthest = distance;
                index = i;
            }
        }
        if (farthest > tolerance) {
            keep[index] = true;
            stack.push_back({first, index});
            stack.push_back({index, last});
        }
    }
    std::vector<MapPoint> result;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (keep[i]) result.push_back(points[i]);
    }
    return result;
}

std::vector<MapPoint> simplifyRing(const std::vector<MapPoint>& ring, double tolerance) {
    if (ring.size() < 4) return ring;
    // Split at the point farthest from the first, so each half has two distinct ends.
    std::size_t far = 0;
    double farthest = -1;
    for (std::size_t i = 1; i < ring.size(); ++i) {
        double distance = std::hypot(ring[i].x - ring[0].x, ring[i].y - ring[0].y);
        if (distance > farthest) {
            farthest = distance;
            far = i;
        }
    }
    std::vector<MapPoint> firstHalf(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(far) + 1);
    std::vector<MapPoint> secondHalf(ring.begin() + static_cast<std::ptrdiff_t>(far), ring.end());
    secondHalf.push_back(ring.front());
    std::vector<MapPoint> result = simplifyPolyline(firstHalf, tolerance);
    std::vector<MapPoint> rest = simplifyPolyline(secondHalf, tolerance);
    result.insert(result.end(), rest.begin() + 1, rest.end() - 1);
    return result;
}

}  // namespace map
