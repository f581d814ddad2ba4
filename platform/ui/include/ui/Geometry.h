#pragma once

#include "gfx/Geometry.h"

namespace ui {

// Views share the drawing library's geometry: origin top left, y growing downwards.
using gfx::EdgeInsets;
using gfx::Point;
using gfx::Rect;
using gfx::Size;

}  // namespace ui
