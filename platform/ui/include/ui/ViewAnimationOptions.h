#pragma once

namespace ui {

enum class AnimationCurve { easeInOut, easeIn, easeOut, linear };
enum class ViewTransition { none, crossDissolve, flipFromLeft, flipFromRight, flipFromTop, flipFromBottom };

// What animate() and transition() are told besides duration and delay.
struct ViewAnimationOptions {
    AnimationCurve curve = AnimationCurve::easeInOut;
    ViewTransition transition = ViewTransition::none;
    bool allowUserInteraction = false;
    bool beginFromCurrentState = false;
    bool repeat = false;
    bool autoreverse = false;
};

}  // namespace ui
