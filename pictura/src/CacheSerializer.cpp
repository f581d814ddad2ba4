#include "pictura/CacheSerializer.h"

#include "CacheSerializerImaging.h"
#include "pictura/PicturaOptions.h"

namespace pictura {

namespace {

ImageFormat formatOf(const std::optional<foundation::Data>& original) {
    return original ? imageFormat(original->span()) : ImageFormat::unknown;
}

}  // namespace

std::shared_ptr<gfx::Image> CacheSerializer::image(const foundation::Data& data,
                                                   const PicturaParsedOptionsInfo& options) const {
    return serializerImaging::decode(data, options);
}

const std::shared_ptr<const DefaultCacheSerializer>& DefaultCacheSerializer::defaultSerializer() {
    // Never destroyed: worker threads may still reach it while the process exits.
    static const auto* shared = new auto(std::make_shared<const DefaultCacheSerializer>());
    return *shared;
}

std::optional<foundation::Data> DefaultCacheSerializer::data(const std::shared_ptr<gfx::Image>& image,
                                                             const std::optional<foundation::Data>& original) const {
    if (preferCacheOriginalData) {
        if (original) return original;
        return serializerImaging::encode(image, ImageFormat::unknown, compressionQuality);
    }
    return serializerImaging::encode(image, formatOf(original), compressionQuality);
}

const std::shared_ptr<const FormatIndicatedCacheSerializer>& FormatIndicatedCacheSerializer::png() {
    static const auto* shared = new auto(std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::PNG, std::nullopt));
    return *shared;
}

const std::shared_ptr<const FormatIndicatedCacheSerializer>& FormatIndicatedCacheSerializer::jpeg() {
    static const auto* shared = new auto(std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::JPEG, 1.0));
    return *shared;
}

std::shared_ptr<const FormatIndicatedCacheSerializer> FormatIndicatedCacheSerializer::jpeg(double compressionQuality) {
    return std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::JPEG, compressionQuality);
}

const std::shared_ptr<const FormatIndicatedCacheSerializer>& FormatIndicatedCacheSerializer::gif() {
    static const auto* shared = new auto(std::make_shared<const FormatIndicatedCacheSerializer>(ImageFormat::GIF, std::nullopt));
    return *shared;
}

std::optional<foundation::Data> FormatIndicatedCacheSerializer::data(const std::shared_ptr<gfx::Image>& image,
                                                                     const std::optional<foundation::Data>& original) const {
    const auto quality = jpegCompressionQuality_.value_or(1.0);
    // `unknown` has no encoder of its own here: it would be the PNG fallback below.
    if (imageFormat_ != ImageFormat::unknown)
        if (auto data = serializerImaging::encode(image, imageFormat_, quality)) return data;
    if (const auto originalFormat = formatOf(original);
        originalFormat != imageFormat_ && originalFormat != ImageFormat::unknown)
        if (auto data = serializerImaging::encode(image, originalFormat, quality)) return data;
    if (original) return original;
    return serializerImaging::encode(image, ImageFormat::unknown, quality);
}

}  // namespace pictura
