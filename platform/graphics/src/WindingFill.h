#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
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
// their areas add up or cancel. A sweep goes down the polygons' chains (runs of edges going one way
// in y), stopping where one starts, ends, turns a corner or crosses a neighbour; only where chains
// start, end or cross are the windings next to the change walked again. A chain's stretch that
// separates covered from uncovered is kept, so an outline that already winds 0 and 1 only comes back
// as its own edges.
class BorderTracer {
public:
    // Starts a fill whose pixels lie in rows [top, bottom) and left of `right` (device space):
    // polygons elsewhere change nothing there and are dropped.
    void begin(double top, double bottom, double right);
    // A closed polygon, its corners in order.
    void polygon(const Point* corners, std::size_t count);
    // The border of what `rule` covers, or nothing when the edges cross too often for the sweep to
    // be worth it (more than `budget` stops, chains walked and chains passed on the line).
    const std::vector<BorderPiece>* trace(FillRule rule, std::size_t budget);
    // The steps the last trace took (up to its budget, where it gave up).
    std::size_t steps() const { return steps_; }

private:
    struct Chain {
        std::uint32_t first, last;  // its points in points_, top to bottom
        std::uint32_t segment;      // the first point of the segment on the sweep's line
        int direction;              // +1 where the polygon runs down
        Point a, b;                 // that segment's ends, kept here as every stop reads them
        double dxdy;                // of that segment
        int windingBefore;          // left of it on the line
        int pendingSign;            // which side the stretch being kept covers (0: none)
        double pendingY;            // where it began
        std::uint32_t slot;         // where it was last seen in active_ (none: not on the line)
    };
    // Where a chain's segment ends.
    struct Corner {
        double y;
        std::uint32_t chain;
        bool operator>(const Corner& other) const { return y > other.y; }
    };
    // Where two neighbours cross, as their segments were then.
    struct Crossing {
        double y;
        std::uint32_t left, right;
        std::uint32_t leftSegment, rightSegment;
        bool operator>(const Crossing& other) const { return y > other.y; }
    };

    double xAt(const Chain& chain, double y) const;
    void keep(Chain& chain, double y);
    // Takes up the chain's segment at `segment`, which ends at its next corner.
    void startSegment(Chain& chain);
    // Queues the crossing of the neighbours at `index` and `index + 1`, if they cross below `y`.
    void watch(std::size_t index, double y);
    // Where `chain` is on the line (its size where it is not), searched from where it was last seen:
    // chains starting or ending on the line move the others by one place each.
    std::size_t find(std::uint32_t chain);
    // Tells the chains from `from` on where they are now, after one started or ended there.
    void renumber(std::size_t from);

    double top_ = 0, bottom_ = 0, right_ = 0;
    std::vector<Point> points_;
    std::vector<Chain> chains_;
    std::vector<std::int8_t> ways_;                         // of a polygon's edges in y
    std::vector<std::pair<double, std::uint32_t>> starts_;  // chains by their tops
    std::vector<std::uint32_t> active_;                     // left to right on the line
    // Heaps, soonest first.
    std::vector<Corner> corners_;
    std::vector<Crossing> crossings_;
    std::vector<BorderPiece> border_;
    std::size_t steps_ = 0;
};

}  // namespace gfx::raster
