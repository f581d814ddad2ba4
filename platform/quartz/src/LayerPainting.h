#pragma once

#include <optional>

#include "gfx/Context.h"
#include "quartz/Layer.h"

namespace quartz {

// One rendering pass over a layer tree at one animation time. Holds no state beyond the time, so passes on different
// threads are independent.
struct LayerPainter {
    double time = 0;

    // `model` in its superlayer's space (the context is there), or in its own space when `asSublayer` is false.
    void renderLayer(const Layer& model, gfx::Context& context, bool asSublayer) const;

private:
    void renderWithShadow(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void renderBody(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void renderUnmasked(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void applyMask(const Layer& mask, gfx::Context& context) const;
    // What the layer and its sublayers may cover in its own space; null when that cannot be bounded cheaply.
    std::optional<gfx::Rect> extent(const Layer& model, const Layer& shown) const;
};

// The bounds outline rounded by the corner radius (clamped to half the shorter side).
gfx::Path roundedBounds(const Layer& layer);

}  // namespace quartz
