#pragma once

#include "gfx/Bitmap.h"
#include "gfx/Color.h"

namespace gfx {

// The few image filters of the platform's image-processing framework that the app uses, computed on the
// CPU over premultiplied Bitmaps. Each returns a new bitmap of its input's size; bad input (an empty or
// malformed bitmap) gives an empty bitmap.

// The constant colour generator, cropped to width x height.
Bitmap constantColor(Color color, int width, int height);

// Source-over compositing: `foreground` laid over `background` with their top-left corners together;
// the result covers the background.
Bitmap sourceOver(const Bitmap& foreground, const Bitmap& background);

// Colour controls on straight (unpremultiplied) components, in this order: saturation mixes each
// colour with its luma (Rec. 709 weights 0.2125, 0.7154, 0.0721); brightness is added; contrast scales
// around 0.5. Neutral values: brightness 0, contrast 1, saturation 1. Alpha is kept.
Bitmap colorControls(const Bitmap& image, double brightness, double contrast, double saturation);

// Exposure in stops: components are decoded from sRGB to linear light, multiplied by 2^ev, clamped and
// encoded again, which is what the platform does in its linear working space. Neutral value: 0.
Bitmap exposureAdjust(const Bitmap& image, double ev);

}  // namespace gfx
