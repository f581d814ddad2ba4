#pragma once

#include <memory>

#include "gfx/Color.h"
#include "gfx/Image.h"

// The image's shape filled with `tint` (its alpha kept), at its size and scale; null for null. The
// result draws tinted in any image view, whatever that view's tint.
std::shared_ptr<gfx::Image> tintedImage(const std::shared_ptr<gfx::Image>& image, gfx::Color tint);
