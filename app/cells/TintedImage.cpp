#include "cells/TintedImage.h"

#include "gfx/ImageRenderer.h"
#include "ui/ImageView.h"

std::shared_ptr<gfx::Image> tintedImage(const std::shared_ptr<gfx::Image>& image, gfx::Color tint) {
    if (!image) return nullptr;
    auto size = image->size();
    gfx::ImageRenderer renderer({size.width, size.height}, {.scale = image->scale()});
    auto rendered = renderer.image([&](gfx::Context& context) {
        ui::drawImage(context, *image, {0, 0, size.width, size.height}, tint);
    });
    return gfx::Image::fromBitmap(std::move(rendered.bitmap), rendered.scale);
}
