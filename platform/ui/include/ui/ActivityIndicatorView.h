#pragma once

#include "ui/View.h"

namespace ui {

enum class ActivityIndicatorStyle { medium, large };

// The platform's spinner: rounded spokes fading round a circle (8 for medium, 12 for large), turning
// while it animates. With hidesWhenStopped (the default) it is hidden whenever it is stopped.
class ActivityIndicatorView : public View {
public:
    explicit ActivityIndicatorView(ActivityIndicatorStyle style = ActivityIndicatorStyle::medium);

    ActivityIndicatorStyle style() const { return style_; }
    void setStyle(ActivityIndicatorStyle style);
    gfx::Color color() const { return color_; }
    void setColor(gfx::Color color);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);

    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    // 20 x 20 points for medium, 37 x 37 for large.
    Size intrinsicContentSize() const override;
    Size sizeThatFits(Size) const override { return intrinsicContentSize(); }
    void draw(gfx::Context& context, const Rect& rect) override;
    bool isAnimatingContent() const override { return animating_ && !isHidden(); }

    static constexpr const char* rotationAnimationKey = "ui.activity.rotation";

private:
    int spokeCount() const { return style_ == ActivityIndicatorStyle::large ? 12 : 8; }

    ActivityIndicatorStyle style_;
    gfx::Color color_ = gfx::Color::systemGray();
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};

}  // namespace ui
