#pragma once

// Decoders of the single-image formats, shared by Image and ImageSource.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gfx/Bitmap.h"
#include "gfx/ImageOrientation.h"
#include "gfx/ImageSource.h"

namespace gfx::detail {

using Bytes = std::span<const std::uint8_t>;

// Cairo refuses surfaces with a side over this; it also keeps the stride inside an int.
inline constexpr int maximumPixelDimension = 32767;

// Whether an image of the size may be allocated at all.
inline bool sizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= maximumPixelDimension && height <= maximumPixelDimension &&
           width * height <= maximumPixelCount;
}

// The one rule of what decoding a picture may make, for every format: bitmaps of fewer than `limit`
// pixels in all (every frame of an animation counted), the caller's limit within the platform's own
// (sizeAllowed). Tested from the header, before anything of that size is allocated.
inline bool pixelsAllowed(std::int64_t pixels, std::int64_t limit) { return pixels < limit; }

// Whether `compressedBytes` of data could fill `width` x `height` pixels at all, when the format
// needs at least one byte for every `pixelsPerByte` pixels: a short file announcing a huge picture
// is refused before anything of that size is allocated.
inline bool plausiblyFilled(std::size_t compressedBytes, std::int64_t width, std::int64_t height,
                            std::int64_t pixelsPerByte) {
    return static_cast<std::int64_t>(compressedBytes) * pixelsPerByte >= width * height;
}

struct ImageHeader {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    ImageOrientation orientation = ImageOrientation::up;
    // What decoding holds besides the bitmap at the most (ImageFrameProperties).
    std::int64_t workingBytes = 0;
};

// Straight RGBA bytes in memory order to premultiplied native ARGB32, in place (rows of width * 4).
void premultiplyRgbaInPlace(Bitmap& bitmap);
// Straight BGRA bytes (native ARGB32 on little-endian machines) premultiplied, in place.
void premultiplyArgbInPlace(Bitmap& bitmap);
// One premultiplied ARGB32 pixel as straight R, G, B, A bytes.
void unpremultiply(std::uint32_t pixel, std::uint8_t* rgba);

std::optional<ImageHeader> pngHeader(Bytes bytes);
std::optional<Bitmap> decodePng(Bytes bytes, std::int64_t pixelLimit = unlimitedPixels);

// What walking the segments of JPEG data found.
struct JpegLayout {
    bool progressive = false;
    bool reachesEnd = false;  // an end-of-image marker follows the last scan
    int scans = 0;            // start-of-scan segments seen
};
JpegLayout jpegLayout(Bytes bytes);
std::optional<ImageHeader> jpegHeader(Bytes bytes);
// `minimumSide` lets the decoder scale down by 1/2, 1/4 or 1/8 while the longer side stays at least
// that large; 0 decodes the full size. Progressive data cut after its first scan decodes coarsely. A
// picture of several scans (progressive) counts its coefficients against `pixelLimit` besides its bitmap,
// however small that is decoded, a pixel each four bytes: the decoder holds every coefficient of every
// component of the whole picture (two bytes a sample). Its scans are bounded by the blocks they walk, each
// charged to the work meter running on the thread as it begins (WorkMeter::aBlockWalked), as are the bytes
// before decoding starts (WorkMeter::aCodedByte).
std::optional<Bitmap> decodeJpeg(Bytes bytes, int minimumSide = 0, std::int64_t pixelLimit = unlimitedPixels);

std::optional<ImageHeader> webpHeader(Bytes bytes);
// `longerSide` above 0 decodes a still picture straight to that longer side (never enlarging it).
std::optional<Bitmap> decodeWebp(Bytes bytes, int longerSide = 0, std::int64_t pixelLimit = unlimitedPixels);

// The orientation tag of TIFF-structured EXIF data (starting at the byte order mark).
std::optional<ImageOrientation> exifOrientation(Bytes tiff);

}  // namespace gfx::detail
