#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "ui/PanGestureRecognizer.h"
#include "ui/View.h"

namespace ui {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // After every change of the content offset.
    virtual void scrollViewDidScroll(ScrollView&) {}
};

// A view whose bounds origin is the content offset: subviews placed in content coordinates move
// as it scrolls. Scrolls by dragging (its own pan recogniser), with momentum after a fast release
// (the platform's deceleration, 0.998 of the speed kept per millisecond) and a rubber band past the
// edges when it bounces; by the mouse wheel through scroll(); and by setContentOffset, animated or
// not. Motion is stepped from the run-loop bridge at foundation::Clock time, so a manual clock
// drives it in tests.
class ScrollView : public View {
public:
    ScrollView();
    explicit ScrollView(const Rect& frame);

    Size contentSize() const { return contentSize_; }
    void setContentSize(Size size);
    EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(const EdgeInsets& insets);
    Point contentOffset() const { return bounds().origin; }
    // Animated moves ease in and out over 0.3 seconds; any move stops a running one.
    void setContentOffset(Point offset, bool animated = false);
    // The offsets the content may rest at: from (-left, -top) to the end of the content and inset.
    Point minimumContentOffset() const;
    Point maximumContentOffset() const;

    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    // Drags past the edges even when the content fits (tables do).
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool bounces) { alwaysBounceVertical_ = bounces; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
    void setShowsVerticalScrollIndicator(bool shows);

    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return motion_ == Motion::decelerating; }
    const std::shared_ptr<PanGestureRecognizer>& panGestureRecognizer() const { return pan_; }
    // The thin bar shown while the content moves (hidden at rest and when not wanted).
    const std::shared_ptr<View>& verticalScrollIndicator() const { return indicator_; }

    std::weak_ptr<ScrollViewDelegate> delegate() const { return delegate_; }
    void setDelegate(std::weak_ptr<ScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // Mouse-wheel scrolling by (dx, dy) points of content offset, kept within the edges. False when
    // the view cannot move that way (the host then offers the wheel to an enclosing scroll view).
    bool scroll(double dx, double dy);
    bool scrollWheel(Point, double dx, double dy) override { return scroll(dx, dy); }

    bool isAnimatingContent() const override { return motion_ != Motion::none; }
    void layoutSubviews() override;

protected:
    // After the content offset changed, before the delegate hears of it (tables tile their rows here).
    virtual void contentOffsetDidChange() {}
    // Stops momentum or an animated move; true if something was moving (a touch that stops the
    // content is not a tap).
    bool stopScrolling();
    // Moves the content without stopping momentum or a drag (a table keeping its rows in place
    // when rows above the visible ones turn out taller or shorter than estimated).
    void adjustContentOffset(Point offset);

private:
    enum class Motion { none, decelerating, animating };

    void commonInit();
    void handlePan(PanGestureRecognizer& pan);
    void applyOffset(Point offset);
    void startMotion(Motion motion);
    void scheduleStep(std::uint64_t generation);
    void step();
    bool stepAxis(double& position, double& velocity, double minimum, double maximum, double seconds);
    Point clampedOffset(Point offset) const;
    bool scrollsVertically() const;
    bool scrollsHorizontally() const;
    void updateIndicator();
    void flashIndicator();

    Size contentSize_;
    EdgeInsets contentInset_;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool scrollEnabled_ = true;
    bool showsVerticalIndicator_ = true;
    bool dragging_ = false;
    // A downward drag that began at the top edge moves the sheet holding this view instead.
    std::shared_ptr<View> sheetDragged_;
    std::weak_ptr<ScrollViewDelegate> delegate_;
    std::shared_ptr<PanGestureRecognizer> pan_;
    std::shared_ptr<View> indicator_;
    bool indicatorShown_ = false;
    std::uint64_t indicatorGeneration_ = 0;

    // Dragging: where the content was when the drag began, and the finger's translation then.
    Point dragStartOffset_;
    Point dragStartTranslation_;
    // Motion after a release or for an animated move.
    Motion motion_ = Motion::none;
    std::uint64_t motionGeneration_ = 0;
    double lastStepTime_ = 0;
    Point velocity_;
    Point animationFrom_;
    Point animationTo_;
    double animationStart_ = 0;
};

}  // namespace ui
