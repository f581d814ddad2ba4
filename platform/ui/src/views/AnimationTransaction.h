#pragma once

#include <functional>
#include <string>
#include <vector>

#include "quartz/Layer.h"

namespace ui::detail {

// Called by view setters before they change a layer's model value: inside an animation block the
// old value is kept so the block's end can animate from it.
void willChange(quartz::Layer& layer, const char* keyPath);

}  // namespace ui::detail

namespace ui::detail {

struct CapturedChange {
    std::weak_ptr<quartz::Layer> layer;
    std::string keyPath;
    quartz::AnimationValue from;
    quartz::AnimationValue to;
};

struct CapturedAnimations {
    std::vector<CapturedChange> changes;
    std::vector<std::function<void(bool)>> completions;
    // The longest delay plus duration among the blocks.
    double duration = 0;
};

// While one is alive, animation blocks on this thread apply their changes to the model and hand the
// old and new values and their completions here instead of animating: an interactive transition
// then shows them at the fraction the user's finger sets.
class AnimationCapture;
void captureBlock(std::vector<CapturedChange> changes, double duration, std::function<void(bool)> completion);

class AnimationCapture {
public:
    AnimationCapture();
    ~AnimationCapture();
    AnimationCapture(const AnimationCapture&) = delete;
    AnimationCapture& operator=(const AnimationCapture&) = delete;

    CapturedAnimations take() { return std::move(captured_); }

private:
    friend void captureBlock(std::vector<CapturedChange> changes, double duration, std::function<void(bool)> completion);
    CapturedAnimations captured_;
};

}  // namespace ui::detail
