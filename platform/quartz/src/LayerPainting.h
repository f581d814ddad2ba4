#pragma once

#include <map>
#include <memory>
#include <optional>

#include "Offscreen.h"
#include "gfx/Context.h"
#include "quartz/Layer.h"

namespace quartz {

// The coverage of masks that several layers share, drawn once in a pass for each place it is drawn at (an SVG clip
// path clipping many elements, or clipping each part of another clip path's content).
struct MaskCoverages {
    struct Key {
        const Layer* mask;
        gfx::AffineTransform device;
        gfx::Rect area;
        bool operator<(const Key& other) const;
    };
    std::map<Key, std::optional<DeviceBitmap>> drawn;
    std::size_t bytes = 0;
    // Beyond this the coverages are drawn again at each use rather than kept.
    static constexpr std::size_t maximumBytes = std::size_t{64} << 20;
};

// One rendering pass over a layer tree at one animation time. Holds no state beyond the time and its own mask
// coverages, so passes on different threads are independent.
struct LayerPainter {
    double time = 0;
    MaskCoverages* coverages = nullptr;

    // `model` in its superlayer's space (the context is there), or in its own space when `asSublayer` is false.
    void renderLayer(const Layer& model, gfx::Context& context, bool asSublayer) const;

private:
    void renderWithShadow(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void renderBody(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void renderUnmasked(const Layer& model, const Layer& shown, gfx::Context& context) const;
    void applyMask(const std::shared_ptr<Layer>& mask, gfx::Context& context) const;
    // What the layer and its sublayers may cover in its own space; null when that cannot be bounded cheaply.
    std::optional<gfx::Rect> extent(const Layer& model, const Layer& shown) const;
};

// The bounds outline rounded by the corner radius (clamped to half the shorter side).
gfx::Path roundedBounds(const Layer& layer);

}  // namespace quartz
