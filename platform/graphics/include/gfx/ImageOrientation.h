#pragma once

#include <optional>

#include "gfx/Bitmap.h"

namespace gfx {

// How stored pixels are turned to be seen upright; the raw values are the platform's.
enum class ImageOrientation {
    up = 0,
    down = 1,           // rotated 180 degrees
    left = 2,           // stored turned 90 degrees counter-clockwise
    right = 3,          // stored turned 90 degrees clockwise
    upMirrored = 4,     // flipped horizontally
    downMirrored = 5,   // flipped vertically
    leftMirrored = 6,   // transposed
    rightMirrored = 7,  // transversed
};

// The orientation an EXIF/TIFF orientation tag value (1...8) names; nothing for other values.
std::optional<ImageOrientation> orientationFromExif(int exifValue);
int exifValue(ImageOrientation orientation);

// Left and right kinds show the stored width as height.
bool swapsWidthAndHeight(ImageOrientation orientation);

// The pixels as they are seen: `bitmap` turned and mirrored so that it reads upright.
Bitmap orientedBitmap(const Bitmap& bitmap, ImageOrientation orientation);

}  // namespace gfx
