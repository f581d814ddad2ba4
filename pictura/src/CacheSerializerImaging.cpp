#include "CacheSerializerImaging.h"

#include "gfx/ImageEncoder.h"
#include "pictura/ImageProcessor.h"
#include "pictura/PicturaOptions.h"

namespace pictura::serializerImaging {

std::optional<foundation::Data> encode(const std::shared_ptr<gfx::Image>& image, ImageFormat format, double quality) {
    if (!image || !image->bitmap()) return std::nullopt;
    const auto& bitmap = *image->bitmap();
    switch (format) {
        case ImageFormat::unknown:
            if (image->isAnimated() || image->orientation() == gfx::ImageOrientation::up) return gfx::encodePng(bitmap);
            return gfx::encodePng(gfx::orientedBitmap(bitmap, image->orientation()));
        case ImageFormat::PNG: return gfx::encodePng(bitmap);
        case ImageFormat::JPEG: return gfx::encodeJpeg(bitmap, quality);
        case ImageFormat::GIF: return std::nullopt;  // no image carries animated bytes yet
    }
    return std::nullopt;
}

std::shared_ptr<gfx::Image> decode(const foundation::Data& data, const PicturaParsedOptionsInfo& options) {
    return DefaultImageProcessor::defaultProcessor()->process(data, options);
}

}  // namespace pictura::serializerImaging
