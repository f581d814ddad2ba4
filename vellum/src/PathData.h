#pragma once

#include <cstddef>
#include <string_view>

#include "gfx/Path.h"

namespace vellum {

// A path's "d" text read straight from its bytes, command by command, as the path element takes it:
// reading stops once the path holds more than `segmentLimit` elements.
gfx::Path pathFromData(std::string_view data, std::size_t segmentLimit);

}  // namespace vellum
