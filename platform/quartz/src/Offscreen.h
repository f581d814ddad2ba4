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

// The device area drawOffscreen would draw over, in whole pixels; nothing when it is empty. `withinClip` false
// leaves the target's clip out (only its pixels bound it).
std::optional<gfx::Rect> offscreenArea(const gfx::Context& target, const std::optional<gfx::Rect>& userExtent,
                                       double padding, bool withinClip = true);

// Draws `drawing` over `area` (whole device pixels of `target`) into a new context that maps user space to pixels
// exactly as `target` does.
std::optional<DeviceBitmap> drawOffscreenOver(gfx::Context& target, const gfx::Rect& area, gfx::PixelFormat format,
                                              const std::function<void(gfx::Context&)>& drawing);

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

// Clips `target` to the device pixels `image` covers; its user space stays as it was.
void clipToDeviceArea(gfx::Context& target, const DeviceBitmap& image);

// How many device pixels one user-space point covers (the geometric mean of the two axes).
double pixelsPerPoint(const gfx::Context& context);

}  // namespace quartz
