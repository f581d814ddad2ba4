#include "ui/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "foundation/Clock.h"
#include "ui/RunLoopBridge.h"
#include "controllers/SheetView.h"

namespace ui {

namespace {

// The platform's normal deceleration: the share of the speed kept after each millisecond.
constexpr double decelerationRate = 0.998;
// Below this speed (points per second) momentum ends.
constexpr double restingSpeed = 5;
// The spring that pulls content back from past an edge (critically damped).
constexpr double springStiffness = 200;
const double springDamping = 2 * std::sqrt(springStiffness);
constexpr double frameInterval = 1.0 / 60;
constexpr double animatedMoveDuration = 0.3;
constexpr double indicatorWidth = 3;
constexpr double indicatorMargin = 3;
constexpr double indicatorMinimumLength = 36;
constexpr double indicatorLinger = 0.5;

double uptime() { return foundation::Clock::current()->uptime(); }

// The offset shown for a finger that pulled `past` points beyond an edge of a view `dimension` long.
double rubberBand(double past, double dimension) {
    if (dimension <= 0) return 0;
    double sign = past < 0 ? -1 : 1;
    return sign * (1 - 1 / (std::abs(past) * 0.55 / dimension + 1)) * dimension;
}

double rubberBanded(double raw, double minimum, double maximum, double dimension) {
    if (raw < minimum) return minimum + rubberBand(raw - minimum, dimension);
    if (raw > maximum) return maximum + rubberBand(raw - maximum, dimension);
    return raw;
}

}  // namespace

ScrollView::ScrollView() { commonInit(); }

ScrollView::ScrollView(const Rect& frame) : View(frame) { commonInit(); }

void ScrollView::commonInit() {
    setClipsToBounds(true);
    pan_ = std::make_shared<PanGestureRecognizer>();
    pan_->addAction([](GestureRecognizer& recognizer) {
        if (auto view = recognizer.view()) static_cast<ScrollView&>(*view).handlePan(static_cast<PanGestureRecognizer&>(recognizer));
    });
    addGestureRecognizer(*this, pan_);
    indicator_ = std::make_shared<View>();
    indicator_->setBackgroundColor(gfx::Color{0, 0, 0, 0.35});
    indicator_->layer()->setCornerRadius(indicatorWidth / 2);
    indicator_->setUserInteractionEnabled(false);
    indicator_->setHidden(true);
    addSubview(indicator_);
}

void ScrollView::setContentSize(Size size) {
    contentSize_ = size;
    updateIndicator();
}

void ScrollView::setContentInset(const EdgeInsets& insets) {
    contentInset_ = insets;
    updateIndicator();
}

Point ScrollView::minimumContentOffset() const { return {-contentInset_.left, -contentInset_.top}; }

Point ScrollView::maximumContentOffset() const {
    Size size = bounds().size;
    Point minimum = minimumContentOffset();
    return {std::max(minimum.x, contentSize_.width + contentInset_.right - size.width),
            std::max(minimum.y, contentSize_.height + contentInset_.bottom - size.height)};
}

Point ScrollView::clampedOffset(Point offset) const {
    Point minimum = minimumContentOffset();
    Point maximum = maximumContentOffset();
    return {std::clamp(offset.x, minimum.x, maximum.x), std::clamp(offset.y, minimum.y, maximum.y)};
}

bool ScrollView::scrollsVertically() const {
    return alwaysBounceVertical_ || maximumContentOffset().y > minimumContentOffset().y;
}

bool ScrollView::scrollsHorizontally() const { return maximumContentOffset().x > minimumContentOffset().x; }

void ScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

void ScrollView::setShowsVerticalScrollIndicator(bool shows) {
    showsVerticalIndicator_ = shows;
    updateIndicator();
}

void ScrollView::setContentOffset(Point offset, bool animated) {
    stopScrolling();
    if (!animated || offset == contentOffset()) {
        applyOffset(offset);
        return;
    }
    animationFrom_ = contentOffset();
    animationTo_ = offset;
    animationStart_ = uptime();
    startMotion(Motion::animating);
}

bool ScrollView::scroll(double dx, double dy) {
    if (!scrollEnabled_) return false;
    Point current = contentOffset();
    Point target = clampedOffset({current.x + dx, current.y + dy});
    if (target == current) return false;
    stopScrolling();
    applyOffset(target);
    flashIndicator();
    return true;
}

bool ScrollView::stopScrolling() {
    bool moving = motion_ != Motion::none;
    motion_ = Motion::none;
    ++motionGeneration_;
    velocity_ = {};
    return moving;
}

void ScrollView::adjustContentOffset(Point offset) {
    Point current = contentOffset();
    dragStartOffset_ = {dragStartOffset_.x + offset.x - current.x, dragStartOffset_.y + offset.y - current.y};
    applyOffset(offset);
}

void ScrollView::applyOffset(Point offset) {
    Rect current = bounds();
    if (current.origin == offset) return;
    current.origin = offset;
    setBounds(current);
    updateIndicator();
    contentOffsetDidChange();
    if (auto delegate = delegate_.lock()) delegate->scrollViewDidScroll(*this);
}

void ScrollView::handlePan(PanGestureRecognizer& pan) {
    Point translation = pan.translation(this);
    switch (pan.state()) {
        case GestureRecognizerState::began:
            stopScrolling();
            dragging_ = true;
            dragStartOffset_ = clampedOffset(contentOffset());
            dragStartTranslation_ = translation;
            indicatorShown_ = true;
            updateIndicator();
            break;
        case GestureRecognizerState::changed: {
            if (sheetDragged_) {
                static_cast<SheetView&>(*sheetDragged_).dragFromContent(translation.y - dragStartTranslation_.y);
                break;
            }
            // Pulled down at its top, or pushed up there while its sheet rests below its highest
            // detent, the content hands the drag to its sheet, which follows the finger.
            if (scrollsVertically() && translation.y != dragStartTranslation_.y &&
                dragStartOffset_.y <= minimumContentOffset().y + 0.5) {
                bool down = translation.y > dragStartTranslation_.y;
                for (View* ancestor = superview().get(); ancestor; ancestor = ancestor->superview().get()) {
                    auto* sheet = dynamic_cast<SheetView*>(ancestor);
                    if (!sheet) continue;
                    if ((down || sheet->canGrow()) && sheet->beginDragFromContent()) {
                        sheetDragged_ = std::static_pointer_cast<View>(sheet->shared_from_this());
                        applyOffset(dragStartOffset_);
                        sheet->dragFromContent(translation.y - dragStartTranslation_.y);
                    }
                    break;
                }
                if (sheetDragged_) break;
            }
            Point minimum = minimumContentOffset();
            Point maximum = maximumContentOffset();
            Size size = bounds().size;
            Point offset = contentOffset();
            if (scrollsHorizontally()) {
                double raw = dragStartOffset_.x - (translation.x - dragStartTranslation_.x);
                offset.x = bounces_ ? rubberBanded(raw, minimum.x, maximum.x, size.width) : std::clamp(raw, minimum.x, maximum.x);
            }
            if (scrollsVertically()) {
                double raw = dragStartOffset_.y - (translation.y - dragStartTranslation_.y);
                offset.y = bounces_ ? rubberBanded(raw, minimum.y, maximum.y, size.height) : std::clamp(raw, minimum.y, maximum.y);
            }
            applyOffset(offset);
            break;
        }
        case GestureRecognizerState::ended:
        case GestureRecognizerState::cancelled: {
            dragging_ = false;
            Point velocity = pan.state() == GestureRecognizerState::ended ? pan.velocity(this) : Point{};
            if (auto sheet = std::move(sheetDragged_)) {
                static_cast<SheetView&>(*sheet).endDragFromContent(velocity.y);
                flashIndicator();
                break;
            }
            velocity_ = {scrollsHorizontally() ? -velocity.x : 0, scrollsVertically() ? -velocity.y : 0};
            bool pastEdge = clampedOffset(contentOffset()) != contentOffset();
            if (pastEdge || std::hypot(velocity_.x, velocity_.y) > restingSpeed) startMotion(Motion::decelerating);
            else flashIndicator();
            break;
        }
        default: break;
    }
}

void ScrollView::startMotion(Motion motion) {
    motion_ = motion;
    std::uint64_t generation = ++motionGeneration_;
    lastStepTime_ = uptime();
    indicatorShown_ = true;
    updateIndicator();
    setNeedsDisplay();
    scheduleStep(generation);
}

void ScrollView::scheduleStep(std::uint64_t generation) {
    std::weak_ptr<LayoutItem> weak = weak_from_this();
    runLoopBridge()->performAfter(frameInterval, [weak, generation] {
        auto self = std::static_pointer_cast<ScrollView>(weak.lock());
        if (self && self->motionGeneration_ == generation && self->motion_ != Motion::none) self->step();
    });
}

// Moves one axis on by `seconds`: momentum inside the edges, the spring past them. True while moving.
bool ScrollView::stepAxis(double& position, double& velocity, double minimum, double maximum, double seconds) {
    constexpr double substep = 0.001;
    for (double done = 0; done < seconds; done += substep) {
        double h = std::min(substep, seconds - done);
        bool inside = position >= minimum && position <= maximum;
        if (inside) {
            velocity *= std::pow(decelerationRate, h * 1000);
            double next = position + velocity * h;
            if (next < minimum || next > maximum) {
                if (!bounces_) {
                    position = std::clamp(next, minimum, maximum);
                    velocity = 0;
                    return false;
                }
            } else if (std::abs(velocity) < restingSpeed) {
                velocity = 0;
                position = next;
                return false;
            }
            position = next;
        } else {
            double edge = position < minimum ? minimum : maximum;
            double acceleration = -springStiffness * (position - edge) - springDamping * velocity;
            velocity += acceleration * h;
            position += velocity * h;
            bool crossed = (edge == minimum) ? position >= minimum : position <= maximum;
            if (crossed || (std::abs(position - edge) < 0.5 && std::abs(velocity) < restingSpeed)) {
                position = edge;
                velocity = 0;
                return false;
            }
        }
    }
    return true;
}

void ScrollView::step() {
    double now = uptime();
    double elapsed = now - lastStepTime_;
    lastStepTime_ = now;
    bool moving = false;
    if (motion_ == Motion::animating) {
        double t = std::clamp((now - animationStart_) / animatedMoveDuration, 0.0, 1.0);
        double eased = t * t * (3 - 2 * t);
        applyOffset({animationFrom_.x + (animationTo_.x - animationFrom_.x) * eased,
                     animationFrom_.y + (animationTo_.y - animationFrom_.y) * eased});
        moving = t < 1;
        // Content that shrank during the move (rows measured on the way) leaves it past the end.
        if (!moving && clampedOffset(contentOffset()) != contentOffset()) {
            motion_ = Motion::decelerating;
            velocity_ = {};
            moving = true;
        }
    } else {
        Point offset = contentOffset();
        Point minimum = minimumContentOffset();
        Point maximum = maximumContentOffset();
        bool movingX = stepAxis(offset.x, velocity_.x, minimum.x, maximum.x, elapsed);
        bool movingY = stepAxis(offset.y, velocity_.y, minimum.y, maximum.y, elapsed);
        applyOffset(offset);
        moving = movingX || movingY;
    }
    if (!moving) {
        stopScrolling();
        flashIndicator();
        return;
    }
    scheduleStep(motionGeneration_);
}

void ScrollView::flashIndicator() {
    indicatorShown_ = true;
    updateIndicator();
    std::uint64_t generation = ++indicatorGeneration_;
    std::weak_ptr<LayoutItem> weak = weak_from_this();
    runLoopBridge()->performAfter(indicatorLinger, [weak, generation] {
        auto self = std::static_pointer_cast<ScrollView>(weak.lock());
        if (!self || self->indicatorGeneration_ != generation) return;
        if (self->dragging_ || self->motion_ != Motion::none) {
            self->flashIndicator();
            return;
        }
        self->indicatorShown_ = false;
        self->updateIndicator();
    });
}

void ScrollView::updateIndicator() {
    Rect visible = bounds();
    double track = visible.height() - contentInset_.top - contentInset_.bottom - 2 * indicatorMargin;
    double content = contentSize_.height + contentInset_.top + contentInset_.bottom;
    bool shows = showsVerticalIndicator_ && indicatorShown_ && track > 0 && content > visible.height();
    indicator_->setHidden(!shows);
    if (!shows) return;
    double length = std::clamp(track * visible.height() / content, std::min(indicatorMinimumLength, track), track);
    Point minimum = minimumContentOffset();
    Point maximum = maximumContentOffset();
    double fraction = std::clamp((visible.minY() - minimum.y) / (maximum.y - minimum.y), 0.0, 1.0);
    indicator_->setFrame({visible.maxX() - indicatorWidth - indicatorMargin,
                          visible.minY() + contentInset_.top + indicatorMargin + (track - length) * fraction, indicatorWidth,
                          length});
    if (subviews().back() != indicator_) bringSubviewToFront(indicator_);
}

void ScrollView::layoutSubviews() { updateIndicator(); }

}  // namespace ui
