#pragma once

#include <functional>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"

namespace gfx {

struct ImageRendererFormat {
    double scale = 1;
    // Opaque images start black and come out with alpha 255 everywhere.
    bool opaque = false;
};

struct RenderedImage {
    Bitmap bitmap;
    double scale = 1;
};

// Renders a drawing block into a new bitmap through a top-left-origin context of the given point size
// at the format's scale. While the block runs, its context is the thread's current context.
class ImageRenderer {
public:
    explicit ImageRenderer(Size size, ImageRendererFormat format = {}) : size_(size), format_(format) {}

    // An empty bitmap (the block not run) when the size has no pixels.
    RenderedImage image(const std::function<void(Context&)>& drawing) const;

    Size size() const { return size_; }
    const ImageRendererFormat& format() const { return format_; }

private:
    Size size_;
    ImageRendererFormat format_;
};

// The thread's stack of current contexts, so nested drawing code can find where to draw.
void pushCurrentContext(std::shared_ptr<Context> context);
void popCurrentContext();
// Nothing when the stack is empty.
std::shared_ptr<Context> currentContext();

// Begins an image context of the given point size as the new current context (the platform's
// begin/end image context pair). False when no context can be made.
bool beginImageContext(Size size, bool opaque, double scale);
// The pixels of the current context, if one was begun with beginImageContext.
std::optional<RenderedImage> imageFromCurrentImageContext();
// Ends the innermost image context; ignored when none is open.
void endImageContext();

}  // namespace gfx
