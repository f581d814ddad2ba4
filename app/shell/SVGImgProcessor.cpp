#include "shell/SVGImgProcessor.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include "foundation/Print.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace {

// The image library calls processors on its own queue while the SVG library may install its renderer.
std::mutex rendererMutex;
SVGRenderer installedRenderer;

SVGRenderer currentRenderer() {
    std::lock_guard lock(rendererMutex);
    return installedRenderer;
}

}  // namespace

void setSVGRenderer(SVGRenderer renderer) {
    std::lock_guard lock(rendererMutex);
    installedRenderer = std::move(renderer);
}

void installSVGLibraryRenderer() {
    // On the main thread before the launch: the library then sees the window's scale when it becomes active.
    vellum::VellumImage::initialize();
    setSVGRenderer([](const foundation::Data& data,
                      const std::optional<SVGRenderTarget>& target) -> std::shared_ptr<gfx::Image> {
        auto image = vellum::VellumImage::initWithData(data);
        if (!image) return nullptr;
        if (!target || !target->usable()) return image->UIImage();
        if (!image->hasSize()) return nullptr;
        image->scaleToFitInside(target->size);
        auto context = gfx::Context::create(image->size(), {.scale = target->scale});
        if (!context) return nullptr;
        vellum::VellumImageDrawing::renderToContext(*image, *context, true, 1.0, gfx::InterpolationQuality::standard,
                                                    false);
        return gfx::Image::fromBitmap(context->takeImage(), target->scale);
    });
}

bool SVGRenderTarget::usable() const {
    const auto positive = [](double value) { return std::isfinite(value) && value > 0; };
    return positive(size.width) && positive(size.height) && positive(scale);
}

SVGImgProcessor::SVGImgProcessor(SVGRenderTarget target) {
    if (!target.usable()) return;
    target_ = target;
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, "-%.2fx%.2f@%.2fx", target.size.width, target.size.height, target.scale);
    identifier_ += suffix;
}

std::shared_ptr<gfx::Image> SVGImgProcessor::process(const pictura::ImageProcessItem& item,
                                                     const pictura::PicturaParsedOptionsInfo&) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) {
        foundation::print("already an image");
        return *image;
    }
    auto render = currentRenderer();
    if (!render) return nullptr;
    return render(std::get<foundation::Data>(item), target_);
}
