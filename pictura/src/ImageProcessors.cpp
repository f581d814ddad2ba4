#include "pictura/ImageProcessors.h"

#include <algorithm>
#include <cmath>

#include "IdentifierText.h"
#include "gfx/ImageOrientation.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PicturaOptions.h"

namespace pictura {

namespace {

constexpr const char* prefix = "com.tolvane.Pictura.";

using ImagePointer = std::shared_ptr<gfx::Image>;

// The image case of a processor, after data has been decoded by the default processor.
template <class Operation>
ImagePointer onImage(const ImageProcessor& processor, const ImageProcessItem& item,
                     const PicturaParsedOptionsInfo& options, Operation operation) {
    if (const auto* image = std::get_if<ImagePointer>(&item)) return operation(*image);
    return processDecoded(processor, std::get<foundation::Data>(item), options);
}

ImagePointer rescaled(const ImagePointer& image, const PicturaParsedOptionsInfo& options) {
    return pc(image).scaled(options.scaleFactor);
}

}  // namespace

BlendImageProcessor::BlendImageProcessor(gfx::BlendMode blendMode, double alpha,
                                         std::optional<gfx::Color> backgroundColor)
    : blendMode_(blendMode), alpha_(alpha), backgroundColor_(backgroundColor) {
    identifier_ = std::string(prefix) + "BlendImageProcessor(" + std::to_string(static_cast<int>(blendMode)) + "," +
                  numberText(alpha) + ")";
    if (backgroundColor) identifier_ += "_" + colorComponentsText(*backgroundColor);
}

ImagePointer BlendImageProcessor::process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        return pc(rescaled(image, options)).imageWithBlendMode(blendMode_, alpha_, backgroundColor_);
    });
}

RoundCornerImageProcessor::RoundCornerImageProcessor(Radius radius, std::optional<gfx::Size> targetSize,
                                                     RectCorner roundingCorners,
                                                     std::optional<gfx::Color> backgroundColor)
    : radius_(radius), roundingCorners_(roundingCorners), targetSize_(targetSize), backgroundColor_(backgroundColor) {
    std::string radiusText;
    switch (radius.kind()) {
        case Radius::Kind::widthFraction: radiusText = "w_frac_" + numberText(radius.value()); break;
        case Radius::Kind::heightFraction: radiusText = "h_frac_" + numberText(radius.value()); break;
        case Radius::Kind::point: radiusText = numberText(radius.value()); break;
    }
    identifier_ = std::string(prefix) + "RoundCornerImageProcessor(" + radiusText;
    if (targetSize) identifier_ += "_" + sizeText(*targetSize);
    if (roundingCorners != RectCorner::all()) identifier_ += "_corner(" + std::to_string(roundingCorners.rawValue) + ")";
    identifier_ += ")";
    if (backgroundColor) identifier_ += "_" + colorDescription(*backgroundColor);
}

ImagePointer RoundCornerImageProcessor::process(const ImageProcessItem& item,
                                                const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        // Without a target the picture keeps the point size it had before rescaling.
        const gfx::Size size = targetSize_.value_or(image ? image->size() : gfx::Size{});
        auto scaled = rescaled(image, options);
        if (!scaled || !scaled->bitmap()) return scaled;
        return pc(scaled).imageWithRadius(radius_, size, roundingCorners_, backgroundColor_);
    });
}

std::string BorderImageProcessor::identifier() const {
    return std::string(prefix) + "RoundCornerImageProcessor(" + borderReflection(border_);
}

ImagePointer BorderImageProcessor::process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) { return pc(image).addingBorder(border_); });
}

ResizingImageProcessor::ResizingImageProcessor(gfx::Size referenceSize, ContentMode mode)
    : referenceSize_(referenceSize), targetContentMode_(mode) {
    identifier_ = std::string(prefix) + "ResizingImageProcessor(" + sizeText(referenceSize);
    if (mode != ContentMode::none) identifier_ += ", " + contentModeName(mode);
    identifier_ += ")";
}

ImagePointer ResizingImageProcessor::process(const ImageProcessItem& item,
                                             const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        return pc(rescaled(image, options)).resize(referenceSize_, targetContentMode_);
    });
}

BlurImageProcessor::BlurImageProcessor(double blurRadius) : blurRadius_(blurRadius) {
    identifier_ = std::string(prefix) + "BlurImageProcessor(" + numberText(blurRadius) + ")";
}

ImagePointer BlurImageProcessor::process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        return pc(rescaled(image, options)).blurred(blurRadius_ * options.scaleFactor);
    });
}

OverlayImageProcessor::OverlayImageProcessor(gfx::Color overlay, double fraction)
    : overlay_(overlay), fraction_(fraction) {
    identifier_ = std::string(prefix) + "OverlayImageProcessor(" + colorComponentsText(overlay) + "_" +
                  numberText(fraction) + ")";
}

ImagePointer OverlayImageProcessor::process(const ImageProcessItem& item,
                                            const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        return pc(rescaled(image, options)).overlaying(overlay_, fraction_);
    });
}

TintImageProcessor::TintImageProcessor(gfx::Color tint) : tint_(tint) {
    identifier_ = std::string(prefix) + "TintImageProcessor(" + colorComponentsText(tint) + ")";
}

ImagePointer TintImageProcessor::process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options,
                   [&](const ImagePointer& image) { return pc(rescaled(image, options)).tinted(tint_); });
}

ColorControlsProcessor::ColorControlsProcessor(double brightness, double contrast, double saturation, double inputEV)
    : brightness_(brightness), contrast_(contrast), saturation_(saturation), inputEV_(inputEV) {
    identifier_ = std::string(prefix) + "ColorControlsProcessor(" + numberText(brightness) + "_" +
                  numberText(contrast) + "_" + numberText(saturation) + "_" + numberText(inputEV) + ")";
}

ImagePointer ColorControlsProcessor::process(const ImageProcessItem& item,
                                             const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options, [&](const ImagePointer& image) {
        return pc(rescaled(image, options)).adjusted(brightness_, contrast_, saturation_, inputEV_);
    });
}

ImagePointer BlackWhiteProcessor::process(const ImageProcessItem& item, const PicturaParsedOptionsInfo& options) const {
    return ColorControlsProcessor(0.0, 1.0, 0.0, 0.7).process(item, options);
}

CroppingImageProcessor::CroppingImageProcessor(gfx::Size size, gfx::Point anchor) : size_(size), anchor_(anchor) {
    identifier_ = std::string(prefix) + "CroppingImageProcessor(" + sizeText(size) + "_" + pointText(anchor) + ")";
}

ImagePointer CroppingImageProcessor::process(const ImageProcessItem& item,
                                             const PicturaParsedOptionsInfo& options) const {
    return onImage(*this, item, options,
                   [&](const ImagePointer& image) { return pc(rescaled(image, options)).crop(size_, anchor_); });
}

DownsamplingImageProcessor::DownsamplingImageProcessor(gfx::Size size) : size_(size) {
    identifier_ = std::string(prefix) + "DownsamplingImageProcessor(" + sizeText(size) + ")";
}

ImagePointer DownsamplingImageProcessor::process(const ImageProcessItem& item,
                                                 const PicturaParsedOptionsInfo& options) const {
    using ImageWrapper = PicturaWrapper<ImagePointer>;
    if (const auto* data = std::get_if<foundation::Data>(&item))
        return ImageWrapper::downsampledImage(*data, size_, options.scaleFactor, options.imagePixelLimit);
    // An image is already decoded: its upright pixels are scaled down as the bytes would have been,
    // without encoding them again first.
    auto upright = pc(std::get<ImagePointer>(item)).normalized();
    if (!upright || !upright->bitmap() || upright->bitmap()->empty()) return nullptr;
    const auto& bitmap = *upright->bitmap();
    const double scale = options.scaleFactor;
    const int longest = std::max(bitmap.width, bitmap.height);
    const double maxPixelSize = std::max(size_.width, size_.height) * scale;
    const int target = maxPixelSize > 0 && maxPixelSize < longest ? static_cast<int>(std::lround(maxPixelSize)) : longest;
    const double factor = static_cast<double>(std::max(target, 1)) / longest;
    const int width = std::max(1, static_cast<int>(std::lround(bitmap.width * factor)));
    const int height = std::max(1, static_cast<int>(std::lround(bitmap.height * factor)));
    if (width == bitmap.width && height == bitmap.height) return gfx::Image::make(upright->bitmap(), scale);
    auto context = gfx::Context::create(width, height, {.scale = 1});
    if (!context) return nullptr;
    context->drawBitmap(bitmap, {0, 0, double(width), double(height)}, gfx::BitmapPlacement::firstRowAtMinY);
    return gfx::Image::fromBitmap(context->makeImage(), scale);
}

}  // namespace pictura
