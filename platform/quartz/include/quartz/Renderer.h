#pragma once

#include <functional>
#include <optional>

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

// `drawing` into `context` as one render within `bound`: under a gfx::WorkMeter of its budget, opened here
// unless one runs on the thread (then `drawing` joins that one and draws straight into `context`). Drawn apart
// over `userExtent` (null: all the clip), the picture shows only if the meter it opened is not spent;
// past it nothing of it shows and the bound's pastBudget is told; past its units or memory the bound remembers it
// (later renders within it that would open a meter show nothing at once), past the clock it does not (that says
// nothing of the tree: the next render draws it again). False when it showed nothing for that.
bool renderWithinBound(gfx::Context& context, const WorkBound& bound, const std::optional<gfx::Rect>& userExtent,
                       const std::function<void(gfx::Context&)>& drawing);

// Whether an animation in the tree (masks included) has not yet ended at `time`, so the host must keep drawing
// frames.
bool hasRunningAnimations(const Layer& layer, RenderTime time);

// Takes ended animations that are removed on completion off every layer of the tree.
void pruneFinishedAnimations(Layer& layer, RenderTime time);

}  // namespace quartz
