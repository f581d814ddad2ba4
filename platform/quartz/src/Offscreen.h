#pragma once

#include <functional>
#include <optional>

#include "gfx/Context.h"

namespace quartz {

// Pixels drawn apart from a context, in that context's device space: `bitmap`'s top-left pixel is device pixel (x,
// y).
struct DeviceBitmap {
    gfx::Bitmap bitmap;
    int x = 0;
    int y = 0;
};

// Draws `drawing` into a new context that maps user space to pixels exactly as `target` does, over the device area
// covering `userExtent` (null for "everything") within the target's clip widened by `padding` pixels. Nothing when
// that area is empty.
std::optional<DeviceBitmap> drawOffscreen(gfx::Context& target, const std::optional<gfx::Rect>& userExtent,
                                          double padding, gfx::PixelFormat format,
                                          const std::function<void(gfx::Context&)>& drawing);

// Draws `image` at its device position with `alpha`, offset by (dx, dy) device pixels.
void drawInDeviceSpace(gfx::Context& target, const DeviceBitmap& image, double alpha, double dx = 0, double dy = 0);

// Makes device pixels the user space of `target` until its next restore.
void useDeviceSpace(gfx::Context& target);

// How many device pixels one user-space point covers (the geometric mean of the two axes).
double pixelsPerPoint(const gfx::Context& context);

}  // namespace quartz
