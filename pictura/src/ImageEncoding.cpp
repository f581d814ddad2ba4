#include "gfx/ImageEncoder.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;

std::optional<foundation::Data> ImageWrapper::data(ImageFormat format, double compressionQuality) const {
    switch (format) {
        case ImageFormat::unknown: return pc(normalized()).pngRepresentation();
        case ImageFormat::PNG: return pngRepresentation();
        case ImageFormat::JPEG: return jpegRepresentation(compressionQuality);
        case ImageFormat::GIF: return gifRepresentation();
    }
    return std::nullopt;
}

std::optional<foundation::Data> ImageWrapper::pngRepresentation() const {
    if (!base || !base->bitmap()) return std::nullopt;
    return gfx::encodePng(*base->bitmap());
}

std::optional<foundation::Data> ImageWrapper::jpegRepresentation(double compressionQuality) const {
    if (!base || !base->bitmap()) return std::nullopt;
    return gfx::encodeJpeg(*base->bitmap(), compressionQuality);
}

std::optional<foundation::Data> ImageWrapper::gifRepresentation() const { return animationData(); }

}  // namespace pictura
