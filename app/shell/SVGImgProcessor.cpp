#include "shell/SVGImgProcessor.h"

#include <mutex>

#include "foundation/Print.h"
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
    setSVGRenderer([](const foundation::Data& data) -> std::shared_ptr<gfx::Image> {
        auto image = vellum::VellumImage::initWithData(data);
        return image ? image->UIImage() : nullptr;
    });
}

std::shared_ptr<gfx::Image> SVGImgProcessor::process(const pictura::ImageProcessItem& item,
                                                     const pictura::PicturaParsedOptionsInfo&) const {
    if (const auto* image = std::get_if<std::shared_ptr<gfx::Image>>(&item)) {
        foundation::print("already an image");
        return *image;
    }
    auto render = currentRenderer();
    if (!render) return nullptr;
    return render(std::get<foundation::Data>(item));
}
