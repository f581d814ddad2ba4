#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "gfx/Image.h"
#include "gfx/ImageSource.h"

namespace pictura {

// Pictures are decoded to fewer pixels than this unless a caller asks for more (64 megapixels, the
// 256 MB bitmap of an 8,000 x 8,000 picture): a file of some kilobytes can announce gigabytes of them.
inline constexpr std::int64_t defaultImagePixelLimit = 64'000'000;

// How bytes become an image: the scale of every image made, and for an animated GIF its total
// duration (0 or less: the durations stored in the file), whether all frames are decoded at once, or
// only the first one kept as a still image. A picture whose bitmaps would reach `pixelLimit` pixels
// (every frame of an animation counted) is refused from its header: no image is made.
struct ImageCreatingOptions {
    double scale = 1.0;
    double duration = 0.0;
    bool preloadAll = false;
    bool onlyFirstFrame = false;
    std::int64_t pixelLimit = defaultImagePixelLimit;
};

// The frames of a GIF decoded at once, in order, with their total duration. A transient value:
// creating an image copies what it needs out of it.
class GIFAnimatedImage {
public:
    // Nothing when any frame cannot be decoded; with only the first frame asked for, the decoding
    // stops after it.
    static std::optional<GIFAnimatedImage> make(const gfx::ImageSource& source, const ImageCreatingOptions& options);

    // 0 when the frame's properties cannot be read.
    static double getFrameDuration(const gfx::ImageSource& source, std::size_t index);
    // The unclamped delay when it is above 0.011 s, else 0.1 s; 0.1 s without GIF properties.
    static double getFrameDuration(const gfx::GifFrameProperties* gifProperties);

    std::vector<std::shared_ptr<gfx::Image>> images;
    double duration = 0;
};

}  // namespace pictura
