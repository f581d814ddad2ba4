#pragma once

#include <functional>
#include <memory>

#include "gfx/Image.h"

namespace pictura {

// Adjusts how a finished image is presented, never its pixels; applied to the image handed to the
// caller, never to the stored one, and no part of any cache key.
class ImageModifier {
public:
    virtual ~ImageModifier() = default;
    virtual std::shared_ptr<gfx::Image> modify(const std::shared_ptr<gfx::Image>& image) const = 0;
};

// A modifier made of one closure; when the closure throws, the input image itself comes back.
class AnyImageModifier final : public ImageModifier {
public:
    using Block = std::function<std::shared_ptr<gfx::Image>(const std::shared_ptr<gfx::Image>&)>;
    explicit AnyImageModifier(Block modify) : block(std::move(modify)) {}
    std::shared_ptr<gfx::Image> modify(const std::shared_ptr<gfx::Image>& image) const override;

    Block block;
};

class RenderingModeImageModifier final : public ImageModifier {
public:
    explicit RenderingModeImageModifier(gfx::ImageRenderingMode renderingMode = gfx::ImageRenderingMode::automatic)
        : renderingMode(renderingMode) {}
    std::shared_ptr<gfx::Image> modify(const std::shared_ptr<gfx::Image>& image) const override;

    const gfx::ImageRenderingMode renderingMode;
};

class FlipsForRightToLeftLayoutDirectionImageModifier final : public ImageModifier {
public:
    std::shared_ptr<gfx::Image> modify(const std::shared_ptr<gfx::Image>& image) const override;
};

class AlignmentRectInsetsImageModifier final : public ImageModifier {
public:
    explicit AlignmentRectInsetsImageModifier(gfx::EdgeInsets alignmentInsets) : alignmentInsets(alignmentInsets) {}
    std::shared_ptr<gfx::Image> modify(const std::shared_ptr<gfx::Image>& image) const override;

    const gfx::EdgeInsets alignmentInsets;
};

}  // namespace pictura
