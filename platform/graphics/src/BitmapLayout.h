#pragma once

#include <cstddef>

#include "gfx/Bitmap.h"

namespace gfx {

// True when the bitmap has pixels and its rows fit the buffer; everything that reads a caller's
// bitmap checks this first, so a malformed one is refused instead of read out of bounds.
inline bool hasValidLayout(const Bitmap& bitmap) {
    return !bitmap.empty() && bitmap.stride >= bitmap.width * 4 &&
           bitmap.pixels.size() >= static_cast<std::size_t>(bitmap.stride) * bitmap.height;
}

}  // namespace gfx
