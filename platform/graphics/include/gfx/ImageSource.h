#pragma once

#include <cstddef>
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
    // Null when the bytes are not of a known type or their header is unreadable.
    static std::shared_ptr<ImageSource> create(foundation::Data data);
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
