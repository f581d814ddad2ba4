#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gfx/Geometry.h"
#include "gfx/Path.h"

namespace gfx::raster {

// A piece of the border of what a fill covers, from `a` down to `b` (device space, y down): `sign` is
// +1 where the covered side is to its right, -1 where it is to its left.
struct BorderPiece {
    Point a, b;
    double sign;
};

// Turns polygons of any windings into the border of what a fill rule covers, so that every point
// lies in regions of winding 0 or 1 only. Summed cell areas are exact for such an outline, while for
// overlapping outlines they are not: where regions of winding 0 and 2 (or +1 and -1) share a pixel
// their areas add up or cancel. A sweep goes down the edges, stopping where one starts, ends or
// crosses a neighbour; there only the windings next to the change are walked again, and an edge's
// stretch that separates covered from uncovered is kept, whole where it can be, so an outline that
// already winds 0 and 1 only comes back as its own edges.
class BorderTracer {
public:
    // Starts a fill whose pixels lie in rows [top, bottom) and left of `right` (device space): edges
    // elsewhere change nothing there and are dropped.
    void begin(double top, double bottom, double right);
    // One edge of a closed polygon, in the polygon's direction.
    void edge(Point a, Point b);
    // The border of what `rule` covers, or nothing when the edges cross too often for the sweep to
    // be worth it (more than `budget` stops and edges walked).
    const std::vector<BorderPiece>* trace(FillRule rule, std::size_t budget);

private:
    struct Edge {
        Point top, bottom;
        double dxdy;
        int direction;
        int windingBefore;  // left of it on the sweep's line
        double pendingY;    // where the stretch being kept began
        int pendingSign;    // and which side it covers (0: none)
        double xAt(double y) const { return y <= top.y ? top.x : y >= bottom.y ? bottom.x : top.x + (y - top.y) * dxdy; }
        Point at(double y) const { return {xAt(y), std::clamp(y, top.y, bottom.y)}; }
    };
    // Where two neighbours on the line cross (or an edge ends: `right` unused).
    struct Stop {
        double y;
        std::uint32_t left, right;
        bool operator>(const Stop& other) const { return y > other.y; }
    };

    void keep(Edge& edge, double y);
    // Queues the crossing of the neighbours at `index` and `index + 1`, if they cross below `y`.
    void watch(std::size_t index, double y);

    double top_ = 0, bottom_ = 0, right_ = 0;
    std::vector<Edge> edges_;
    std::vector<std::uint32_t> order_;
    std::vector<std::uint32_t> active_;  // left to right on the line
    std::vector<Stop> ends_, crossings_;  // heaps, soonest first
    std::vector<BorderPiece> border_;
};

}  // namespace gfx::raster
