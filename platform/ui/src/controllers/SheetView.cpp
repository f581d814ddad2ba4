#include "SheetView.h"

#include "ui/ViewController.h"

namespace ui {

namespace {

constexpr Size grabberSize{36, 5};
constexpr double grabberTop = 5;
constexpr double velocityWindow = 0.1;

}  // namespace

SheetView::SheetView(std::weak_ptr<SheetPresentationController> owner) : owner_(std::move(owner)) {
    setLayoutName("SheetView");
    setClipsToBounds(true);
    grabber_->setBackgroundColor(gfx::Color{0.24, 0.24, 0.26, 0.3});
    grabber_->layer()->setCornerRadius(grabberSize.height / 2);
    grabber_->setHidden(true);
    grabber_->setUserInteractionEnabled(false);
    addSubview(grabber_);
}

void SheetView::setContent(const std::shared_ptr<View>& content) {
    if (auto old = content_.lock(); old && old != content) old->removeFromSuperview();
    content_ = content;
    insertSubview(content, 0);
    setNeedsLayout();
}

void SheetView::layoutSubviews() {
    if (auto content = content_.lock()) content->setFrame(bounds());
    grabber_->setFrame({{(bounds().size.width - grabberSize.width) / 2, grabberTop}, grabberSize});
    bringSubviewToFront(grabber_);
}

void SheetView::record(const Touch& touch) {
    samples_.push_back({touch.timestamp, touch.locationInWindow.y});
    while (samples_.size() > 2 && samples_.back().time - samples_.front().time > velocityWindow) samples_.pop_front();
}

double SheetView::velocity() const {
    if (samples_.size() < 2) return 0;
    double elapsed = samples_.back().time - samples_.front().time;
    if (elapsed <= 0) return 0;
    return (samples_.back().y - samples_.front().y) / elapsed;
}

void SheetView::touchesBegan(const std::vector<Touch>& touches, const Event&) {
    auto owner = owner_.lock();
    auto presented = owner ? owner->presentedViewController() : nullptr;
    if (touches.empty() || !presented || presented->isBeingPresented() || presented->isBeingDismissed()) return;
    dragging_ = true;
    startY_ = touches.front().locationInWindow.y;
    samples_.clear();
    record(touches.front());
    owner->dragBegan();
}

bool SheetView::beginDragFromContent() {
    auto owner = owner_.lock();
    auto presented = owner ? owner->presentedViewController() : nullptr;
    if (dragging_ || !presented || presented->isBeingPresented() || presented->isBeingDismissed()) return false;
    owner->dragBegan();
    return true;
}

bool SheetView::canGrow() const {
    auto owner = owner_.lock();
    return owner && owner->canGrow();
}

void SheetView::dragFromContent(double translation) {
    if (auto owner = owner_.lock()) owner->dragMoved(translation);
}

void SheetView::endDragFromContent(double velocity) {
    if (auto owner = owner_.lock()) owner->dragEnded(velocity);
}

void SheetView::touchesMoved(const std::vector<Touch>& touches, const Event&) {
    auto owner = owner_.lock();
    if (!dragging_ || touches.empty() || !owner) return;
    record(touches.front());
    owner->dragMoved(touches.front().locationInWindow.y - startY_);
}

void SheetView::touchesEnded(const std::vector<Touch>& touches, const Event&) {
    auto owner = owner_.lock();
    if (!dragging_ || !owner) return;
    dragging_ = false;
    if (!touches.empty()) {
        record(touches.front());
        owner->dragMoved(touches.front().locationInWindow.y - startY_);
    }
    owner->dragEnded(velocity());
}

void SheetView::touchesCancelled(const std::vector<Touch>&, const Event&) {
    auto owner = owner_.lock();
    if (!dragging_ || !owner) return;
    dragging_ = false;
    owner->dragEnded(0);
}

}  // namespace ui
