#pragma once

#include <memory>

#include "gfx/Bitmap.h"

namespace quartz {

// What a layer shows as its contents. A bitmap for now; this alias is the one place to change when layers take
// decoded images instead.
using LayerContents = std::shared_ptr<const gfx::Bitmap>;

// How contents are placed in the layer's bounds. "Top" is the minimum y: layers here use the top-left, y-down
// coordinates of the views that own them.
enum class ContentsGravity {
    center,
    top,
    bottom,
    left,
    right,
    topLeft,
    topRight,
    bottomLeft,
    bottomRight,
    resize,
    resizeAspect,
    resizeAspectFill,
};

}  // namespace quartz
