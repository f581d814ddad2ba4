#include "quartz/Renderer.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "LayerPainting.h"
#include "foundation/Clock.h"
#include "gfx/WorkMeter.h"

namespace quartz {

RenderTime RenderTime::now() { return {foundation::Clock::current()->uptime()}; }

bool renderWithinBound(gfx::Context& context, const WorkBound& bound, const std::optional<gfx::Rect>& userExtent,
                       const std::function<void(gfx::Context&)>& drawing) {
    if (gfx::WorkMeter::running()) {
        drawing(context);
        return true;
    }
    // Drawn apart, so that a render stopped part way leaves nothing: a picture drawn in part would look right and
    // be wrong. Shown outside the meter: showing it is bounded by its pixels.
    if (bound.refused) return false;
    std::optional<DeviceBitmap> picture;
    bool spent = false;
    bool byClock = false;
    {
        gfx::WorkMeter meter(bound.budget, bound.carried);
        picture = drawOffscreen(context, userExtent, 0, gfx::PixelFormat::argb32, drawing);
        spent = meter.spent();
        byClock = meter.spentByClock();
    }
    if (spent) {
        if (!byClock) bound.refused = true;
        if (bound.pastBudget) bound.pastBudget(byClock);
        return false;
    }
    if (picture) drawInDeviceSpace(context, *picture, 1);
    return true;
}

void render(const Layer& layer, gfx::Context& context, RenderTime time) {
    MaskCoverages coverages;
    LayerPainter painter{time.seconds, &coverages};
    // A part of a bounded tree drawn on its own is within its tree's bound (the layer's own is met below).
    const WorkBound* bound = nullptr;
    if (!gfx::WorkMeter::running())
        for (auto above = layer.superlayer(); above && !bound; above = above->superlayer()) bound = above->workBound().get();
    if (bound) {
        renderWithinBound(context, *bound, std::nullopt,
                          [&](gfx::Context& target) { painter.renderLayer(layer, target, false); });
        return;
    }
    painter.renderLayer(layer, context, false);
}

void render(const Layer& layer, gfx::Context& context) { render(layer, context, RenderTime::now()); }

bool hasRunningAnimations(const Layer& layer, RenderTime time) {
    for (const std::string& key : layer.animationKeys())
        if (auto animation = layer.animation(key); animation && !animation->hasEnded(time.seconds)) return true;
    if (layer.mask() && hasRunningAnimations(*layer.mask(), time)) return true;
    return std::any_of(layer.sublayers().begin(), layer.sublayers().end(),
                       [&](const auto& sublayer) { return hasRunningAnimations(*sublayer, time); });
}

void pruneFinishedAnimations(Layer& layer, RenderTime time) {
    for (const std::string& key : layer.animationKeys())
        if (auto animation = layer.animation(key);
            animation && animation->isRemovedOnCompletion && animation->hasEnded(time.seconds))
            layer.removeAnimation(key);
    if (layer.mask()) pruneFinishedAnimations(*layer.mask(), time);
    for (const auto& sublayer : layer.sublayers()) pruneFinishedAnimations(*sublayer, time);
}

}  // namespace quartz
