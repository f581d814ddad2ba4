#pragma once

#include "gfx/Context.h"
#include "quartz/Layer.h"

namespace quartz {

// The moment animations are evaluated at, in uptime seconds (foundation::Clock::uptime).
struct RenderTime {
    double seconds = 0;
    static RenderTime now();
};

// Draws `layer` and its sublayers into `context` in the layer's own space, as the platform's render-in-context does:
// the layer's own position, anchor point and transform are not applied (its sublayers' are), its opacity, mask,
// shadow and the rest are. Animations show their values at `time`; the tree is only read, so a tree that nothing
// changes may be rendered on any thread.
void render(const Layer& layer, gfx::Context& context, RenderTime time);
void render(const Layer& layer, gfx::Context& context);

// Whether an animation in the tree (masks included) has not yet ended at `time`, so the host must keep drawing
// frames.
bool hasRunningAnimations(const Layer& layer, RenderTime time);

// Takes ended animations that are removed on completion off every layer of the tree.
void pruneFinishedAnimations(Layer& layer, RenderTime time);

}  // namespace quartz
