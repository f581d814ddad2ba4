#include "gfx/Image.h"

#include "gfx/ImageSource.h"

namespace gfx {

std::shared_ptr<Image> Image::make(std::shared_ptr<const Bitmap> bitmap, double scale, ImageOrientation orientation) {
    auto image = std::make_shared<Image>();
    image->bitmap_ = std::move(bitmap);
    image->scale_ = scale > 0 ? scale : 1;
    image->orientation_ = orientation;
    return image;
}

std::shared_ptr<Image> Image::fromBitmap(Bitmap bitmap, double scale, ImageOrientation orientation) {
    return make(std::make_shared<const Bitmap>(std::move(bitmap)), scale, orientation);
}

std::shared_ptr<Image> Image::fromData(const foundation::Data& data, double scale, std::int64_t pixelLimit) {
    // Only the first frame of an animation is shown, so only it is decoded.
    auto source = ImageSource::create(data, pixelLimit, 1);
    if (!source) return nullptr;
    auto bitmap = source->frameAt(0);
    if (!bitmap) return nullptr;
    auto properties = source->propertiesAt(0);
    return make(std::move(bitmap), scale, properties ? properties->orientation : ImageOrientation::up);
}

std::shared_ptr<Image> Image::animated(std::vector<std::shared_ptr<Image>> frames, double duration) {
    if (frames.empty() || !frames.front()) return nullptr;
    auto image = make(frames.front()->bitmap(), frames.front()->scale(), frames.front()->orientation());
    image->frames_ = std::move(frames);
    image->duration_ = duration;
    return image;
}

Image::Size Image::size() const {
    if (!bitmap_) return {};
    double width = bitmap_->width / scale_;
    double height = bitmap_->height / scale_;
    if (swapsWidthAndHeight(orientation_)) std::swap(width, height);
    return {width, height};
}

std::shared_ptr<Image> Image::withRenderingMode(ImageRenderingMode mode) const {
    auto image = std::make_shared<Image>(*this);
    image->renderingMode_ = mode;
    return image;
}

std::shared_ptr<Image> Image::imageFlippedForRightToLeftLayoutDirection() const {
    auto image = std::make_shared<Image>(*this);
    image->flipsForRightToLeftLayoutDirection_ = true;
    return image;
}

std::shared_ptr<Image> Image::withAlignmentRectInsets(const EdgeInsets& insets) const {
    auto image = std::make_shared<Image>(*this);
    image->alignmentRectInsets_ = insets;
    return image;
}

}  // namespace gfx
