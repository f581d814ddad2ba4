#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "ScanConverter.h"

namespace gfx::raster {

// A wide stroke's outline as polygons in device space whose union is the stroke: a band along each
// run of segments (their quads and the joins between them as one polygon, or two loops round a
// closed subpath; where the segments are too short for a turn its inner side runs through the
// corner point), a wedge where the line turns right back and the band ends, and a polygon a cap.
// Each turns clockwise on screen (y down) and counts every point it covers positively, so filling
// them all with the winding rule draws the stroke. Pieces overlap where a band ends at a wedge,
// bands overlap themselves at corners too tight for their width, and where the line crosses itself.
struct StrokePieces {
    std::vector<Point> points;
    // Where each polygon's points end (and the next one's begin).
    std::vector<std::uint32_t> ends;

    std::size_t count() const { return ends.size(); }
};

// Builds the pieces of `path` stroked as `style` says (the line width in user space, mapped by
// `toDevice`), curves flattened to within `tolerance` device pixels. Pieces wholly outside `clip`
// are left out. False for paths left to Cairo: non-finite or enormous coordinates, a transform that
// flattens the plane, a line without width, pieces of more than mostPoints points.
// `spill`, where given, takes the pieces of whole dashes so far once they pass `spillAt` points, and
// leaves them empty (false: it could not).
using Spill = std::function<bool(StrokePieces&)>;
bool strokePieces(const Path& path, const AffineTransform& toDevice, double tolerance, const StrokeStyle& style,
                  const PixelBox& clip, StrokePieces& pieces, const Spill* spill = nullptr,
                  std::size_t spillAt = mostPoints / 2);

// Strokes `path` of any shape, dashed or not, by filling its pieces with the winding rule, their
// overlaps traced (Overlaps::exact), so each pixel is covered by their union's area. Nothing, without
// touching the target, for the paths strokePieces or fillPath leave to Cairo.
std::optional<PixelBox> strokeWide(const Path& path, const AffineTransform& toDevice, double tolerance,
                                   const StrokeStyle& style, std::uint32_t source, const Target& target,
                                   std::size_t spillAt = mostPoints / 2);

// Hands `to` the points inside the cubic p0..p3 (device points, put on Cairo's grid of 1/256 pixel) where
// Cairo cuts it into lines to lay dashes along it, as the stroker dashes it.
void cutAsCairoDashes(Point p0, Point p1, Point p2, Point p3, double tolerance, const std::function<void(Point)>& to);

// A fault put into the stroker on the calling thread by a test (StrokerTesting.h), to show that the
// comparison with Cairo fails a stroker gone wrong: every dash moved half its pattern on, caps left off,
// joins left off (a notch at each corner), dashes of no length left out, the miter limit held for the
// device's corner rather than the user's, curves flattened coarser than asked (16 times Cairo's default
// tolerance at least) or drawn as their chords, a band's inner side let fold back, or a dash beginning
// on a corner started without its join.
// Only the test build has the switch (SORVANE_STROKER_FAULTS); elsewhere the stroker holds none.
enum class StrokerFault {
    none, dashesMovedHalfAPeriod, capsDropped, joinsDropped, emptyDashesSkipped, miterLimitOnDevice,
    coarseFlattening, curvesAsChords, innerBandFolds, dashStartJoinLost
};
#ifdef SORVANE_STROKER_FAULTS
StrokerFault strokerFault();
void setStrokerFault(StrokerFault fault);
#endif

}  // namespace gfx::raster
