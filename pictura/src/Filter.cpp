#include "pictura/Filter.h"

#include <mutex>

#include "gfx/Filters.h"
#include "pictura/ImageWrapper.h"
#include "pictura/PicturaOptions.h"

namespace pictura {

namespace {

using ImageWrapper = PicturaWrapper<std::shared_ptr<gfx::Image>>;

// The factories are process-wide and replaceable while images are processed on other threads.
struct Factories {
    std::mutex mutex;
    Filter::TintFactory tint = &Filter::makeTint;
    Filter::ColorControlFactory colorControl = &Filter::makeColorControl;
};

Factories& factories() {
    static Factories shared;
    return shared;
}

std::shared_ptr<const gfx::Bitmap> shared(gfx::Bitmap bitmap) {
    if (bitmap.empty()) return nullptr;
    return std::make_shared<const gfx::Bitmap>(std::move(bitmap));
}

}  // namespace

Filter::TintFactory Filter::tint() {
    std::lock_guard lock(factories().mutex);
    return factories().tint;
}

void Filter::setTint(TintFactory factory) {
    std::lock_guard lock(factories().mutex);
    factories().tint = std::move(factory);
}

Filter::ColorControlFactory Filter::colorControl() {
    std::lock_guard lock(factories().mutex);
    return factories().colorControl;
}

void Filter::setColorControl(ColorControlFactory factory) {
    std::lock_guard lock(factories().mutex);
    factories().colorControl = std::move(factory);
}

Filter Filter::makeTint(gfx::Color color) {
    return Filter([color](const std::shared_ptr<const gfx::Bitmap>& input) -> std::shared_ptr<const gfx::Bitmap> {
        if (!input) return nullptr;
        return shared(gfx::sourceOver(gfx::constantColor(color, input->width, input->height), *input));
    });
}

Filter Filter::makeColorControl(double brightness, double contrast, double saturation, double inputEV) {
    return Filter([=](const std::shared_ptr<const gfx::Bitmap>& input) -> std::shared_ptr<const gfx::Bitmap> {
        if (!input) return nullptr;
        auto controlled = gfx::colorControls(*input, brightness, contrast, saturation);
        if (controlled.empty()) return nullptr;
        return shared(gfx::exposureAdjust(controlled, inputEV));
    });
}

std::shared_ptr<gfx::Image> CIImageProcessor::process(const ImageProcessItem& item,
                                                      const PicturaParsedOptionsInfo& options) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) return pc(*image).apply(filter());
    return processDecoded(*this, std::get<foundation::Data>(item), options);
}

ImageWrapper::ImagePointer ImageWrapper::apply(const Filter& filter) const {
    if (!base || !base->bitmap() || !filter.transform) return base;
    auto output = filter.transform(base->bitmap());
    if (!output || output->empty()) return base;
    return gfx::Image::make(std::move(output), base->scale(), base->orientation());
}

ImageWrapper::ImagePointer ImageWrapper::tinted(gfx::Color color) const {
    auto factory = Filter::tint();
    return factory ? apply(factory(color)) : base;
}

ImageWrapper::ImagePointer ImageWrapper::adjusted(double brightness, double contrast, double saturation,
                                                  double inputEV) const {
    auto factory = Filter::colorControl();
    return factory ? apply(factory(brightness, contrast, saturation, inputEV)) : base;
}

}  // namespace pictura
