#include "ui/ActivityIndicatorView.h"

#include <algorithm>
#include <numbers>

#include "gfx/Path.h"

namespace ui {

namespace {

// One turn a second, as the platform's spinner goes round.
constexpr double secondsPerTurn = 1;

}  // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorStyle style) : style_(style) {
    setUserInteractionEnabled(false);
    Size size = intrinsicContentSize();
    setFrame({{0, 0}, size});
    setHidden(hidesWhenStopped_);
}

void ActivityIndicatorView::setStyle(ActivityIndicatorStyle style) {
    style_ = style;
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void ActivityIndicatorView::setColor(gfx::Color color) {
    color_ = color;
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (!animating_) setHidden(hides);
}

void ActivityIndicatorView::startAnimating() {
    if (animating_) return;
    animating_ = true;
    setHidden(false);
    quartz::BasicAnimation rotation;
    rotation.keyPath = "transform.rotation.z";
    rotation.fromValue = 0.0;
    rotation.toValue = 2 * std::numbers::pi;
    rotation.duration = secondsPerTurn;
    rotation.repeatCount = quartz::BasicAnimation::forever;
    layer()->addAnimation(rotation, rotationAnimationKey);
    setNeedsDisplay();
}

void ActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    layer()->removeAnimation(rotationAnimationKey);
    if (hidesWhenStopped_) setHidden(true);
    setNeedsDisplay();
}

Size ActivityIndicatorView::intrinsicContentSize() const {
    return style_ == ActivityIndicatorStyle::large ? Size{37, 37} : Size{20, 20};
}

void ActivityIndicatorView::draw(gfx::Context& context, const Rect& rect) {
    double radius = std::min(rect.width(), rect.height()) / 2;
    if (radius <= 0) return;
    int spokes = spokeCount();
    double inner = radius * 0.45, width = radius * (style_ == ActivityIndicatorStyle::large ? 0.16 : 0.2);
    Point center{rect.midX(), rect.midY()};
    context.save();
    context.setLineWidth(width);
    context.setLineCap(gfx::LineCap::round);
    for (int i = 0; i < spokes; ++i) {
        // The head spoke (straight up) is darkest; the ones behind it fade.
        double angle = -std::numbers::pi / 2 + 2 * std::numbers::pi * i / spokes;
        double fade = 1 - 0.75 * static_cast<double>((spokes - i) % spokes) / spokes;
        double cos = std::cos(angle), sin = std::sin(angle);
        gfx::Path spoke;
        spoke.moveTo({center.x + cos * inner, center.y + sin * inner});
        spoke.lineTo({center.x + cos * (radius - width / 2), center.y + sin * (radius - width / 2)});
        context.setStrokeColor(color_.withAlphaComponent(color_.alpha * fade));
        context.stroke(spoke);
    }
    context.restore();
}

}  // namespace ui
