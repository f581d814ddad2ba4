#pragma once

#include <memory>
#include <optional>

#include "declarative/AnyView.h"
#include "gfx/Image.h"
#include "ui/Geometry.h"

namespace declarative {

// A still or animated image as a view. At its own size unless resizable, which fills what it is offered.
class Image {
public:
    enum class ResizingMode { tile, stretch };
    enum class TemplateRenderingMode { original, template_ };
    enum class Interpolation { none, low, medium, high };

    explicit Image(std::shared_ptr<gfx::Image> image) : image_(std::move(image)) {}

    Image resizable(ui::EdgeInsets capInsets = {}, ResizingMode mode = ResizingMode::stretch) const;
    // Nothing: as the image itself says.
    Image renderingMode(std::optional<TemplateRenderingMode> mode) const;
    Image interpolation(Interpolation interpolation) const;
    Image antialiased(bool antialiased) const;

    const std::shared_ptr<gfx::Image>& image() const { return image_; }
    bool isResizable() const { return resizable_; }
    const ui::EdgeInsets& capInsets() const { return capInsets_; }
    ResizingMode resizingMode() const { return resizingMode_; }
    std::optional<TemplateRenderingMode> templateRenderingMode() const { return renderingMode_; }
    Interpolation interpolationQuality() const { return interpolation_; }
    bool isAntialiased() const { return antialiased_; }

    operator AnyView() const;  // NOLINT: a view like any other

private:
    std::shared_ptr<gfx::Image> image_;
    bool resizable_ = false;
    ui::EdgeInsets capInsets_;
    ResizingMode resizingMode_ = ResizingMode::stretch;
    std::optional<TemplateRenderingMode> renderingMode_;
    // Kept for whoever reads the view; the graphics layer draws with its own filter and always smooths.
    Interpolation interpolation_ = Interpolation::high;
    bool antialiased_ = true;
};

}  // namespace declarative
