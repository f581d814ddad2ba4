#include "pictura/ImageCreating.h"

#include <limits>

#include "pictura/AssociatedValues.h"
#include "pictura/ImageWrapper.h"

namespace pictura {

namespace {

using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;

// Keys of the values kept beside images.
char imageSourceKey;
char animationDataKey;
char imageFrameCountKey;

constexpr double shortestFrameDuration = 0.011;
constexpr double defaultFrameDuration = 0.1;

std::shared_ptr<gfx::Image> firstFrame(const gfx::ImageSource& source, double scale) {
    auto bitmap = source.frameAt(0);
    if (!bitmap) return nullptr;
    auto properties = source.propertiesAt(0);
    return gfx::Image::make(std::move(bitmap), scale, properties ? properties->orientation : gfx::ImageOrientation::up);
}

}  // namespace

std::optional<GIFAnimatedImage> GIFAnimatedImage::make(const gfx::ImageSource& source,
                                                       const ImageCreatingOptions& options) {
    GIFAnimatedImage result;
    const std::size_t count = source.frameCount();
    for (std::size_t index = 0; index < count; ++index) {
        auto frame = source.frameAt(index);
        if (!frame) return std::nullopt;
        if (count == 1)
            result.duration = std::numeric_limits<double>::infinity();
        else
            result.duration += getFrameDuration(source, index);
        result.images.push_back(gfx::Image::make(std::move(frame), options.scale, gfx::ImageOrientation::up));
        if (options.onlyFirstFrame) break;
    }
    return result;
}

double GIFAnimatedImage::getFrameDuration(const gfx::ImageSource& source, std::size_t index) {
    auto properties = source.propertiesAt(index);
    if (!properties) return 0;
    return getFrameDuration(properties->gif ? &*properties->gif : nullptr);
}

double GIFAnimatedImage::getFrameDuration(const gfx::GifFrameProperties* gifProperties) {
    if (!gifProperties) return defaultFrameDuration;
    // The delay as stored is preferred even when the clamped one differs.
    double delay = gifProperties->unclampedDelayTime;
    return delay > shortestFrameDuration ? delay : defaultFrameDuration;
}

ImageWrapper::ImagePointer ImageWrapper::image(const foundation::Data& data, const ImageCreatingOptions& options) {
    if (imageFormat(data.span()) == ImageFormat::GIF) return animatedImage(data, options);
    return gfx::Image::fromData(data, options.scale, options.pixelLimit);
}

ImageWrapper::ImagePointer ImageWrapper::animatedImage(const foundation::Data& data,
                                                       const ImageCreatingOptions& options) {
    // Every frame counts against the limit, decoded now or later from the source: a small GIF can
    // announce a huge screen and many frames.
    auto source = gfx::ImageSource::create(data, options.pixelLimit);
    if (!source) return nullptr;
    const std::size_t count = source->frameCount();
    ImagePointer image;
    bool framesFromSource = false;
    if (options.onlyFirstFrame || options.preloadAll) {
        auto frames = GIFAnimatedImage::make(*source, options);
        if (!frames || frames->images.empty()) return nullptr;
        if (options.onlyFirstFrame || frames->images.size() == 1) {
            // One frame is a still picture, not an animation that lasts forever.
            image = frames->images.front();
        } else {
            image = gfx::Image::animated(frames->images, options.duration > 0 ? options.duration : frames->duration);
            if (!image) return nullptr;
        }
    } else {
        image = firstFrame(*source, options.scale);
        if (!image) return nullptr;
        // Only an animation needs its frames decoded later; a single frame is decoded like any still.
        framesFromSource = count > 1;
    }
    // The bytes and the frame source are large: they end with the image, not at a later sweep.
    image = endingWithItsValues(std::move(image));
    if (framesFromSource) setRetainedAssociatedValue(image, &imageSourceKey, source);
    setRetainedAssociatedValue(image, &animationDataKey, data);
    setRetainedAssociatedValue(image, &imageFrameCountKey, static_cast<int>(count));
    return image;
}

ImageWrapper::ImagePointer ImageWrapper::downsampledImage(const foundation::Data& data, gfx::Size size,
                                                          double scale, std::int64_t pixelLimit) {
    auto source = gfx::ImageSource::create(data, pixelLimit);
    if (!source) return nullptr;
    const double maxPixelSize = std::max(size.width, size.height) * scale;
    auto thumbnail = source->thumbnailAt(0, {.maxPixelSize = maxPixelSize, .withTransform = true});
    if (!thumbnail) return nullptr;
    return gfx::Image::make(std::move(thumbnail), scale, gfx::ImageOrientation::up);
}

std::shared_ptr<gfx::ImageSource> ImageWrapper::imageSource() const {
    if (!base) return nullptr;
    return associatedValue<std::shared_ptr<gfx::ImageSource>>(base, &imageSourceKey).value_or(nullptr);
}

std::optional<foundation::Data> ImageWrapper::animationData() const {
    if (!base) return std::nullopt;
    return associatedValue<foundation::Data>(base, &animationDataKey);
}

std::optional<int> ImageWrapper::imageFrameCount() const {
    if (!base) return std::nullopt;
    return associatedValue<int>(base, &imageFrameCountKey);
}

void ImageWrapper::setImageFrameCount(std::optional<int> count) const {
    if (!base) return;
    if (count)
        setRetainedAssociatedValue(base, &imageFrameCountKey, *count);
    else
        detail::setAssociatedObject(std::static_pointer_cast<const void>(base), &imageFrameCountKey, std::any(), nullptr);
}

}  // namespace pictura
