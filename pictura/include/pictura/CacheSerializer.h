#pragma once

#include <memory>
#include <optional>

#include "foundation/Data.h"
#include "gfx/Image.h"
#include "pictura/ImageFormat.h"

namespace pictura {

struct PicturaParsedOptionsInfo;

// Turns an image into the bytes the disk cache keeps, and those bytes back into an image. Shared,
// immutable values: any thread may use them.
class CacheSerializer {
public:
    virtual ~CacheSerializer() = default;
    // Nothing when no encoding works.
    virtual std::optional<foundation::Data> data(const std::shared_ptr<gfx::Image>& image,
                                                 const std::optional<foundation::Data>& original) const = 0;
    // Null when the bytes do not decode; decoded by the format their first bytes announce.
    virtual std::shared_ptr<gfx::Image> image(const foundation::Data& data,
                                              const PicturaParsedOptionsInfo& options) const;
    // Whether the original bytes are preferred to an encoding of the image.
    virtual bool originalDataUsed() const { return false; }
};

// Keeps the format of the downloaded original (JPEG re-encoded at `compressionQuality`), PNG for an
// image of unknown origin; or, on request, the original bytes themselves.
class DefaultCacheSerializer final : public CacheSerializer {
public:
    static const std::shared_ptr<const DefaultCacheSerializer>& defaultSerializer();

    double compressionQuality = 1.0;
    bool preferCacheOriginalData = false;

    std::optional<foundation::Data> data(const std::shared_ptr<gfx::Image>& image,
                                         const std::optional<foundation::Data>& original) const override;
    bool originalDataUsed() const override { return preferCacheOriginalData; }
};

// Writes one format chosen in advance, falling back to the original's format, the original bytes and
// last PNG of the upright image.
class FormatIndicatedCacheSerializer final : public CacheSerializer {
public:
    static const std::shared_ptr<const FormatIndicatedCacheSerializer>& png();
    static const std::shared_ptr<const FormatIndicatedCacheSerializer>& jpeg();
    static std::shared_ptr<const FormatIndicatedCacheSerializer> jpeg(double compressionQuality);
    static const std::shared_ptr<const FormatIndicatedCacheSerializer>& gif();

    ImageFormat imageFormat() const { return imageFormat_; }
    std::optional<double> jpegCompressionQuality() const { return jpegCompressionQuality_; }

    std::optional<foundation::Data> data(const std::shared_ptr<gfx::Image>& image,
                                         const std::optional<foundation::Data>& original) const override;

    FormatIndicatedCacheSerializer(ImageFormat format, std::optional<double> quality)
        : imageFormat_(format), jpegCompressionQuality_(quality) {}

private:
    ImageFormat imageFormat_;
    std::optional<double> jpegCompressionQuality_;
};

}  // namespace pictura
