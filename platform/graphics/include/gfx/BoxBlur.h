#pragma once

#include "gfx/Bitmap.h"

namespace gfx {

// The box convolution of the platform's vector image library on premultiplied 8-bit ARGB: every
// channel becomes the rounded mean of a kernelWidth x kernelHeight box around the pixel, with pixels
// beyond the edges taken from the nearest edge pixel. Kernel sizes must be odd; even sizes are rounded
// up, sizes below 1 count as 1 and sizes above 4095 as 4095. Horizontal and vertical running sums keep it linear in the pixel
// count whatever the kernel size; the result is the exact box mean (no rounding between the passes).
Bitmap boxBlur(const Bitmap& source, int kernelWidth, int kernelHeight);

}  // namespace gfx
