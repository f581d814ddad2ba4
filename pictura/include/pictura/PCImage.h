#pragma once

#include <memory>
#include <optional>

#include "declarative/Image.h"
#include "pictura/PCImageBinder.h"
#include "pictura/PCImageProtocol.h"
#include "ui/ImageView.h"

namespace pictura {

template <>
struct PCImageHoldingView<declarative::Image> {
    using RenderingView = ui::ImageView;
    // No image yet shows an empty one.
    static declarative::Image created(std::shared_ptr<gfx::Image> image,
                                      const std::shared_ptr<PCImageContext<declarative::Image>>&) {
        return declarative::Image(image ? std::move(image) : gfx::Image::make(nullptr));
    }
};

// The declarative image view: loads its source through the shared manager, shows a placeholder
// meanwhile and fades the image in.
class PCImage : public PCImageProtocol<PCImage, declarative::Image> {
public:
    template <class HoldingView>
    using Context = PCImageContext<HoldingView>;
    using ImageBinder = PCImageBinder;

    using PCImageProtocol::PCImageProtocol;

    // The modifiers of the image itself, applied to the loaded image in the order given.
    PCImage resizable(ui::EdgeInsets capInsets = {},
                      declarative::Image::ResizingMode mode = declarative::Image::ResizingMode::stretch) const {
        return configure([=](declarative::Image image) { return image.resizable(capInsets, mode); });
    }
    PCImage renderingMode(std::optional<declarative::Image::TemplateRenderingMode> mode) const {
        return configure([=](declarative::Image image) { return image.renderingMode(mode); });
    }
    PCImage interpolation(declarative::Image::Interpolation interpolation) const {
        return configure([=](declarative::Image image) { return image.interpolation(interpolation); });
    }
    PCImage antialiased(bool antialiased) const {
        return configure([=](declarative::Image image) { return image.antialiased(antialiased); });
    }
    // Has no effect.
    PCImage loadImmediately(bool) const { return *this; }
};

}  // namespace pictura
