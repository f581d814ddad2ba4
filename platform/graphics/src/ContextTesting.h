#pragma once

#include <cstdint>
#include <optional>

#include "gfx/Geometry.h"
#include "gfx/Path.h"

namespace gfx {

namespace raster {
struct PixelBox;
}

// Tests fill each canvas this thread creates with `pixel` where it would be left unwritten, so that a
// blank not written before it shows is seen; nothing leaves them as the memory was.
void fillNewCanvasesForTesting(std::optional<std::uint32_t> pixel);

// What the work meter charges filling (`reach` 0) or stroking `path` (its outline reaching `reach` device pixels
// either side) within `box`, at `pixelUnits` a pixel covered; `summed`: its pieces are summed, never traced.
double drawingUnits(const Path& path, const AffineTransform& toDevice, double reach, const raster::PixelBox& box,
                    double pixelUnits, bool crowding, bool summed = false);

}  // namespace gfx
