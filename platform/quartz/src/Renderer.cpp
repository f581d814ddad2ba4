#include "quartz/Renderer.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "LayerPainting.h"
#include "foundation/Clock.h"

namespace quartz {

RenderTime RenderTime::now() { return {foundation::Clock::current()->uptime()}; }

void render(const Layer& layer, gfx::Context& context, RenderTime time) {
    MaskCoverages coverages;
    LayerPainter painter{time.seconds, &coverages};
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
