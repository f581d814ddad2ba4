#pragma once

#include "gfx/Geometry.h"
#include "pictura/PicturaWrapper.h"

namespace pictura {

// How a size is fitted into a target.
enum class ContentMode { none, aspectFit, aspectFill };

template <>
inline constexpr bool isPicturaCompatibleValue<gfx::Size> = true;

// Sizes of images: fitting by content mode and placing a crop by an anchor. The aspect ratio is width
// over height, or 1 for a height of 0; results are rounded halves away from zero.
template <>
struct PicturaWrapper<gfx::Size> : PicturaWrapperBase<gfx::Size> {
    using PicturaWrapperBase::PicturaWrapperBase;

    gfx::Size resize(gfx::Size target, ContentMode mode) const;
    // The largest size of this aspect ratio inside the target.
    gfx::Size constrained(gfx::Size target) const;
    // The smallest size of this aspect ratio that covers the target.
    gfx::Size filling(gfx::Size target) const;
    // A rectangle of the target size placed in this size by a unit anchor (each coordinate clamped to
    // 0...1), clipped to this size; the null rectangle when they do not meet.
    gfx::Rect constrainedRect(gfx::Size target, gfx::Point anchor) const;
};

}  // namespace pictura
