#pragma once

#include <functional>
#include <memory>

#include "gfx/Image.h"
#include "ui/ViewAnimationOptions.h"

namespace ui {
class ImageView;
}

namespace pictura {

// How set-image shows a new image: at once, or through one of the view transitions.
struct ImageTransition {
    enum class Kind { none, fade, flipFromLeft, flipFromRight, flipFromTop, flipFromBottom, custom };
    using Animations = std::function<void(ui::ImageView&, const std::shared_ptr<gfx::Image>&)>;
    using Completion = std::function<void(bool finished)>;

    static ImageTransition none() { return {}; }
    static ImageTransition fade(double duration) { return timed(Kind::fade, duration); }
    static ImageTransition flipFromLeft(double duration) { return timed(Kind::flipFromLeft, duration); }
    static ImageTransition flipFromRight(double duration) { return timed(Kind::flipFromRight, duration); }
    static ImageTransition flipFromTop(double duration) { return timed(Kind::flipFromTop, duration); }
    static ImageTransition flipFromBottom(double duration) { return timed(Kind::flipFromBottom, duration); }
    static ImageTransition custom(double duration, ui::ViewAnimationOptions options, Animations animations,
                                  Completion completion) {
        return {Kind::custom, duration, options, std::move(animations), std::move(completion)};
    }

    static ImageTransition timed(Kind kind, double duration) {
        ImageTransition transition;
        transition.kind = kind;
        transition.duration = duration;
        return transition;
    }

    Kind kind = Kind::none;
    double duration = 0;
    // The custom case's own; the others take theirs from set-image.
    ui::ViewAnimationOptions options;
    Animations animations;
    Completion completion;
};

}  // namespace pictura
