#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <span>
#include <optional>
#include <string_view>

#include "foundation/Data.h"
#include "gfx/Bitmap.h"
#include "gfx/ImageOrientation.h"

namespace gfx {

enum class ImageType { png, jpeg, gif, webp };

// No limit of a caller's on what a source decodes: only the platform's cap on one bitmap
// (maximumPixelCount) applies.
inline constexpr std::int64_t unlimitedPixels = std::numeric_limits<std::int64_t>::max();
// Every frame of an animation decoded.
inline constexpr std::size_t allFrames = std::numeric_limits<std::size_t>::max();

// The uniform type identifier of an encoded image type ("public.png", "public.jpeg", ...).
std::string_view typeIdentifier(ImageType type);
// The type the first bytes announce; nothing for anything else.
std::optional<ImageType> detectImageType(std::span<const std::uint8_t> bytes);

// What a GIF frame says about its timing, in seconds.
struct GifFrameProperties {
    // The platform's display delay: stored delays of 0 or 0.01 s become 0.1 s.
    double delayTime = 0.1;
    // The delay as stored.
    double unclampedDelayTime = 0;
    // Times the animation repeats (0: forever); nothing without a looping extension.
    std::optional<int> loopCount;
};

struct ImageFrameProperties {
    int pixelWidth = 0;
    int pixelHeight = 0;
    // What decoding the frame holds besides its bitmap at the most, read from the header: a GIF frame's
    // indices, a progressive JPEG's coefficients.
    std::int64_t workingBytes = 0;
    ImageOrientation orientation = ImageOrientation::up;
    bool hasAlpha = false;
    std::optional<GifFrameProperties> gif;
};

struct ThumbnailOptions {
    // Longest side of the thumbnail in pixels; 0 keeps the full size. Never enlarges.
    double maxPixelSize = 0;
    // Turn the pixels upright by the stored orientation.
    bool withTransform = false;
};

enum class ImageSourceStatus { complete, incomplete, invalid };

// Encoded image data opened for reading: its type, frames and their properties, decoded frames and
// thumbnails. Safe to use from several threads.
class ImageSource {
public:
    // Null when the bytes are not of a known type or their header is unreadable. Decoding makes
    // bitmaps of fewer than `pixelLimit` pixels, judged from the header before anything of that size is
    // allocated: an animation whose frames together would reach it gives no source at all; a still
    // picture beyond it gives no frame, and a thumbnail only where its decoder makes one small enough
    // directly (baseline JPEG scaled down by up to 1/8, a still WebP to any size).
    // An animation's frames past the first `framesDecoded` are only walked (their size, place and timing
    // read, their data skipped): they count nothing against the limit and frameAt gives none of them; 0
    // reads the header alone.
    static std::shared_ptr<ImageSource> create(foundation::Data data, std::int64_t pixelLimit = unlimitedPixels,
                                               std::size_t framesDecoded = allFrames);
    // A source fed with growing data by `update`; it answers with what the bytes so far allow.
    static std::shared_ptr<ImageSource> createIncremental();

    ~ImageSource();
    ImageSource(const ImageSource&) = delete;
    ImageSource& operator=(const ImageSource&) = delete;

    // Replaces the data with all bytes received so far; `final` says no more will come.
    void update(foundation::Data data, bool final);
    ImageSourceStatus status() const;

    // Nothing until the first bytes tell the type.
    std::optional<ImageType> type() const;
    std::string_view typeIdentifier() const;
    std::size_t frameCount() const;
    std::optional<ImageFrameProperties> propertiesAt(std::size_t index) const;
    // Frame `index` as shown (GIF frames composited on the logical screen); null when it cannot be
    // decoded.
    std::shared_ptr<const Bitmap> frameAt(std::size_t index) const;
    std::shared_ptr<const Bitmap> thumbnailAt(std::size_t index, const ThumbnailOptions& options) const;
    foundation::Data data() const;

    struct State;

private:
    ImageSource();
    mutable std::mutex mutex_;
    std::unique_ptr<State> state_;
};

}  // namespace gfx
