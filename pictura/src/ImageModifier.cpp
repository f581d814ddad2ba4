#include "pictura/ImageModifier.h"

namespace pictura {

std::shared_ptr<gfx::Image> AnyImageModifier::modify(const std::shared_ptr<gfx::Image>& image) const {
    try {
        return block(image);
    } catch (...) {
        return image;  // a modifier cannot fail: the error is dropped
    }
}

std::shared_ptr<gfx::Image> RenderingModeImageModifier::modify(const std::shared_ptr<gfx::Image>& image) const {
    return image ? image->withRenderingMode(renderingMode) : image;
}

std::shared_ptr<gfx::Image> FlipsForRightToLeftLayoutDirectionImageModifier::modify(
    const std::shared_ptr<gfx::Image>& image) const {
    return image ? image->imageFlippedForRightToLeftLayoutDirection() : image;
}

std::shared_ptr<gfx::Image> AlignmentRectInsetsImageModifier::modify(const std::shared_ptr<gfx::Image>& image) const {
    return image ? image->withAlignmentRectInsets(alignmentInsets) : image;
}

}  // namespace pictura
