#pragma once

#include <optional>
#include <vector>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"

namespace gfx {

// PNG of the bitmap (RGBA, 8 bits a channel, colour un-premultiplied); nothing for an empty bitmap.
std::optional<foundation::Data> encodePng(const Bitmap& bitmap);
// Baseline JPEG at `quality` 0...1; alpha is dropped onto black as the platform does.
std::optional<foundation::Data> encodeJpeg(const Bitmap& bitmap, double quality);

enum class GifDisposal { unspecified = 0, keep = 1, background = 2, previous = 3 };

struct GifFrame {
    Bitmap bitmap;
    // Placement on the logical screen.
    int left = 0;
    int top = 0;
    double delay = 0.1;  // seconds, stored in hundredths
    GifDisposal disposal = GifDisposal::unspecified;
};

// An animated GIF of the frames on a `width` x `height` screen. Pixels with alpha below half become
// the transparent colour; a frame of more than 255 colours is reduced to a fixed colour cube.
std::optional<foundation::Data> encodeGif(const std::vector<GifFrame>& frames, int width, int height,
                                          int loopCount = 0);

}  // namespace gfx
