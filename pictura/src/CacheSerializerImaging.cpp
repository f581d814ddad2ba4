#include "CacheSerializerImaging.h"

#include "pictura/ImageProcessor.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PicturaOptions.h"

namespace pictura::serializerImaging {

std::optional<foundation::Data> encode(const std::shared_ptr<gfx::Image>& image, ImageFormat format, double quality) {
    if (!image || !image->bitmap()) return std::nullopt;
    return pc(image).data(format, quality);
}

std::shared_ptr<gfx::Image> decode(const foundation::Data& data, const PicturaParsedOptionsInfo& options) {
    return DefaultImageProcessor::defaultProcessor()->process(data, options);
}

}  // namespace pictura::serializerImaging
