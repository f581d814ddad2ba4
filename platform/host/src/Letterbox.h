#pragma once

#include <algorithm>

#include "gfx/Geometry.h"

namespace host {

// Where a picture of `content` size shows in a window of `window` size: as large as fits with its
// aspect kept, centred, the rest left to the background. A window resized to another aspect shows
// the phone undistorted between bars rather than stretched.
inline gfx::Rect letterbox(gfx::Size window, gfx::Size content) {
    if (!(content.width > 0) || !(content.height > 0) || !(window.width > 0) || !(window.height > 0))
        return {{0, 0}, window};
    double scale = std::min(window.width / content.width, window.height / content.height);
    gfx::Size shown{content.width * scale, content.height * scale};
    return {{(window.width - shown.width) / 2, (window.height - shown.height) / 2}, shown};
}

}  // namespace host
