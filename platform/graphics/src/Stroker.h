#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "ScanConverter.h"

namespace gfx::raster {

// A wide stroke's outline as small convex polygons in device space whose union is the stroke: a quad
// a segment, a wedge a join, a polygon a cap. Each turns clockwise on screen (y down), so filling them
// all with the winding rule draws the stroke.
struct StrokePieces {
    std::vector<Point> points;
    // Where each polygon's points end (and the next one's begin).
    std::vector<std::uint32_t> ends;

    std::size_t count() const { return ends.size(); }
};

// Builds the pieces of `path` stroked as `style` says (the line width in user space, mapped by
// `toDevice`), curves flattened to within `tolerance` device pixels. Pieces wholly outside `clip`
// are left out. False for paths left to Cairo: non-finite or enormous coordinates, a transform that
// flattens the plane, a line without width.
bool strokePieces(const Path& path, const AffineTransform& toDevice, double tolerance, const StrokeStyle& style,
                  const PixelBox& clip, StrokePieces& pieces);

// Strokes `path` of any shape by filling its pieces with the winding rule. Exact where fillPath
// counts overlapping pieces exactly; where it sums their areas instead, pixels on the outline in which
// pieces overlap come out a little full. Nothing, without touching the target, for the paths
// strokePieces or fillPath leave to Cairo.
std::optional<PixelBox> strokeWide(const Path& path, const AffineTransform& toDevice, double tolerance,
                                   const StrokeStyle& style, std::uint32_t source, const Target& target);

}  // namespace gfx::raster
