#include "gfx/ImageOrientation.h"

namespace gfx {

namespace {

// Indexed by EXIF value 1...8.
constexpr ImageOrientation exifOrientations[8] = {
    ImageOrientation::up,           ImageOrientation::upMirrored,   ImageOrientation::down,
    ImageOrientation::downMirrored, ImageOrientation::leftMirrored, ImageOrientation::right,
    ImageOrientation::rightMirrored, ImageOrientation::left,
};

}  // namespace

std::optional<ImageOrientation> orientationFromExif(int value) {
    if (value < 1 || value > 8) return std::nullopt;
    return exifOrientations[value - 1];
}

int exifValue(ImageOrientation orientation) {
    for (int i = 0; i < 8; ++i)
        if (exifOrientations[i] == orientation) return i + 1;
    return 1;
}

bool swapsWidthAndHeight(ImageOrientation orientation) {
    switch (orientation) {
    case ImageOrientation::left:
    case ImageOrientation::right:
    case ImageOrientation::leftMirrored:
    case ImageOrientation::rightMirrored:
        return true;
    default:
        return false;
    }
}

Bitmap orientedBitmap(const Bitmap& bitmap, ImageOrientation orientation) {
    if (orientation == ImageOrientation::up || bitmap.empty()) return bitmap;
    const int w = bitmap.width;
    const int h = bitmap.height;
    const bool swap = swapsWidthAndHeight(orientation);
    Bitmap result = Bitmap::make(swap ? h : w, swap ? w : h);
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = bitmap.row(y);
        for (int x = 0; x < w; ++x) {
            int tx = x;
            int ty = y;
            switch (orientation) {
            case ImageOrientation::up: break;
            case ImageOrientation::upMirrored: tx = w - 1 - x; break;
            case ImageOrientation::down: tx = w - 1 - x; ty = h - 1 - y; break;
            case ImageOrientation::downMirrored: ty = h - 1 - y; break;
            case ImageOrientation::right: tx = h - 1 - y; ty = x; break;
            case ImageOrientation::left: tx = y; ty = w - 1 - x; break;
            case ImageOrientation::leftMirrored: tx = y; ty = x; break;
            case ImageOrientation::rightMirrored: tx = h - 1 - y; ty = w - 1 - x; break;
            }
            result.row(ty)[tx] = row[x];
        }
    }
    return result;
}

}  // namespace gfx
