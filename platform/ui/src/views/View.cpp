#include "ui/View.h"

#include <algorithm>

#include "AnimationTransaction.h"
#include "ViewLayer.h"
#include "ui/GestureRecognizer.h"
#include "ui/Toolkit.h"
#include "ui/Window.h"

namespace ui {

namespace {

ViewLayer& viewLayer(const std::shared_ptr<quartz::Layer>& layer) { return static_cast<ViewLayer&>(*layer); }

void willChangeGeometry(quartz::Layer& layer) {
    detail::willChange(layer, "position");
    detail::willChange(layer, "bounds.size.width");
    detail::willChange(layer, "bounds.size.height");
}

}  // namespace

View::View() : layer_(ViewLayer::make()) {
    initialize();
    viewLayer(layer_).setOwner(this);
}

View::View(const Rect& frame) : View() { layer_->setFrame(frame); }

View::~View() {
    forgetGestureRecognizers(*this);
    viewLayer(layer_).setOwner(nullptr);
    // Subviews may outlive this view (someone else holds them); they lose their superview.
    for (auto& subview : subviews_) {
        subview->superview_ = nullptr;
        subview->layer_->removeFromSuperlayer();
    }
}

std::shared_ptr<View> View::superview() const {
    // Null while the superview is still being constructed (subviews added in a constructor).
    return superview_ ? std::static_pointer_cast<View>(superview_->weak_from_this().lock()) : nullptr;
}

Rect View::frame() const { return layer_->frame(); }

void View::setFrame(const Rect& frame) {
    Rect old = layer_->frame();
    if (old == frame) return;
    willChangeGeometry(*layer_);
    layer_->setFrame(frame);
    frameDidChange();
    if (old.size != frame.size) setNeedsLayout();
    setNeedsRender();
}

// A pinned frame is what layout starts from; any other frame is what layout made.
void View::frameDidChange() {
    if (translatesAutoresizingMaskIntoConstraints()) layoutInputsDidChange();
}

Rect View::bounds() const { return layer_->bounds(); }

void View::setBounds(const Rect& bounds) {
    Rect old = layer_->bounds();
    if (old == bounds) return;
    willChangeGeometry(*layer_);
    layer_->setBounds(bounds);
    if (old.size != bounds.size) {
        frameDidChange();
        setNeedsLayout();
    }
    setNeedsRender();
}

Point View::center() const { return layer_->position(); }

void View::setCenter(Point center) {
    if (layer_->position() == center) return;
    detail::willChange(*layer_, "position");
    layer_->setPosition(center);
    frameDidChange();
    setNeedsRender();
}

gfx::AffineTransform View::transform() const { return layer_->affineTransform(); }

void View::setTransform(const gfx::AffineTransform& transform) {
    for (const char* component : {"affine.a", "affine.b", "affine.c", "affine.d", "affine.tx", "affine.ty"})
        detail::willChange(*layer_, component);
    layer_->setAffineTransform(transform);
    frameDidChange();
    setNeedsRender();
}

void View::addSubview(const std::shared_ptr<View>& view) { insertSubview(view, subviews_.size()); }

void View::insertSubview(const std::shared_ptr<View>& view, std::size_t index) {
    if (!view || view.get() == this || isDescendant(*view)) return;
    attachSubview(view, index);
}

void View::insertSubviewBelow(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto found = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (found == subviews_.end() || view == sibling) return addSubview(view);
    std::size_t index = found - subviews_.begin();
    // Moving a view that sits before the sibling shifts the sibling down by one.
    if (view->superview_ == this) {
        auto current = std::find(subviews_.begin(), subviews_.end(), view);
        if (current < found) --index;
    }
    insertSubview(view, index);
}

void View::insertSubviewAbove(const std::shared_ptr<View>& view, const std::shared_ptr<View>& sibling) {
    auto found = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (found == subviews_.end() || view == sibling) return addSubview(view);
    std::size_t index = found - subviews_.begin() + 1;
    if (view->superview_ == this) {
        auto current = std::find(subviews_.begin(), subviews_.end(), view);
        if (current < found) --index;
    }
    insertSubview(view, index);
}

void View::bringSubviewToFront(const std::shared_ptr<View>& view) {
    if (view && view->superview_ == this) insertSubview(view, subviews_.size());
}

void View::sendSubviewToBack(const std::shared_ptr<View>& view) {
    if (view && view->superview_ == this) insertSubview(view, 0);
}

void View::attachSubview(const std::shared_ptr<View>& view, std::size_t index) {
    std::shared_ptr<View> keep = view;
    View* oldSuperview = view->superview_;
    if (oldSuperview) {
        auto& siblings = oldSuperview->subviews_;
        if (oldSuperview != this) oldSuperview->willRemoveSubview(view);
        siblings.erase(std::remove(siblings.begin(), siblings.end(), view), siblings.end());
        if (oldSuperview != this) oldSuperview->setNeedsLayout();
        oldSuperview->layoutInputsDidChange();
    }
    index = std::min(index, subviews_.size());
    // The layer goes below the layer of the subview it now precedes, so layers the view keeps for
    // itself (a label's text, a spinner's spokes) stay where they are.
    if (index < subviews_.size())
        layer_->insertSublayerBelow(view->layer_, subviews_[index]->layer_);
    else
        layer_->addSublayer(view->layer_);
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    view->superview_ = this;
    layoutInputsDidChange();
    if (oldSuperview != this) {
        std::shared_ptr<Window> newWindow =
            asWindow() ? std::static_pointer_cast<Window>(std::static_pointer_cast<View>(weak_from_this().lock()))
                       : window();
        if (view->window() != newWindow) view->setWindowRecursively(newWindow);
        view->didMoveToSuperview();
        if (!view->tintColor_) view->notifyTintChanged();
        didAddSubview(view);
    }
    setNeedsLayout();
    view->setNeedsLayout();
}

void View::removeFromSuperview() {
    View* parent = superview_;
    if (!parent) return;
    std::shared_ptr<View> keep = shared();
    parent->willRemoveSubview(keep);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), keep), siblings.end());
    layer_->removeFromSuperlayer();
    superview_ = nullptr;
    parent->layoutInputsDidChange();
    parent->setNeedsLayout();
    if (window()) setWindowRecursively(nullptr);
    didMoveToSuperview();
}

void View::setWindowRecursively(const std::shared_ptr<Window>& window) {
    window_ = window;
    for (const auto& subview : subviews_) subview->setWindowRecursively(window);
    didMoveToWindow();
}

bool View::isDescendant(const View& ancestor) const {
    for (const View* view = this; view; view = view->superview_)
        if (view == &ancestor) return true;
    return false;
}

std::shared_ptr<View> View::viewWithTag(int tag) {
    if (tag_ == tag) return shared();
    for (const auto& subview : subviews_)
        if (auto found = subview->viewWithTag(tag)) return found;
    return nullptr;
}

std::optional<gfx::Color> View::backgroundColor() const { return layer_->backgroundColor(); }

void View::setBackgroundColor(std::optional<gfx::Color> color) {
    for (const char* component :
         {"backgroundColor.red", "backgroundColor.green", "backgroundColor.blue", "backgroundColor.alpha"})
        detail::willChange(*layer_, component);
    layer_->setBackgroundColor(color);
    setNeedsRender();
}

double View::alpha() const { return layer_->opacity(); }

void View::setAlpha(double alpha) {
    detail::willChange(*layer_, "opacity");
    layer_->setOpacity(std::clamp(alpha, 0.0, 1.0));
    setNeedsRender();
}

bool View::isHidden() const { return layer_->isHidden(); }

void View::setHidden(bool hidden) {
    if (layer_->isHidden() == hidden) return;
    layer_->setHidden(hidden);
    if (auto parent = superview()) parent->subviewVisibilityDidChange(*this);
    setNeedsRender();
}

bool View::clipsToBounds() const { return layer_->masksToBounds(); }

void View::setClipsToBounds(bool clips) {
    layer_->setMasksToBounds(clips);
    setNeedsRender();
}

gfx::Color View::tintColor() const {
    for (const View* view = this; view; view = view->superview_)
        if (view->tintColor_) return *view->tintColor_;
    return gfx::Color::systemBlue();
}

void View::setTintColor(std::optional<gfx::Color> color) {
    tintColor_ = color;
    notifyTintChanged();
}

void View::notifyTintChanged() {
    tintColorDidChange();
    setNeedsRender();
    for (const auto& subview : subviews_)
        if (!subview->tintColor_) subview->notifyTintChanged();
}

EdgeInsets View::safeAreaInsets() const {
    std::shared_ptr<Window> host = window();
    const Window* root = host ? host.get() : asWindow();
    if (!root) return {};
    EdgeInsets window = root->windowSafeAreaInsets();
    Rect box = convertRectTo(bounds(), root);
    Size screen = root->bounds().size;
    return {std::max(0.0, window.top - box.minY()), std::max(0.0, window.left - box.minX()),
            std::max(0.0, box.maxY() - (screen.height - window.bottom)),
            std::max(0.0, box.maxX() - (screen.width - window.right))};
}

std::string View::layoutName() const { return layoutName_.empty() ? "View" : layoutName_; }

std::vector<std::shared_ptr<LayoutItem>> View::subitems() const { return {subviews_.begin(), subviews_.end()}; }

void View::setNeedsDisplay() {
    layer_->setNeedsDisplay();
    setNeedsRender();
}

void View::draw(gfx::Context&, const Rect&) {}

void View::setNeedsRender() const {
    if (const Window* self = asWindow()) {
        const_cast<Window*>(self)->setNeedsRender();
    } else if (auto host = window()) {
        host->setNeedsRender();
    }
}

std::shared_ptr<View> View::hitTest(Point point, const Event& event) {
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    for (auto subview = subviews_.rbegin(); subview != subviews_.rend(); ++subview) {
        Point inSubview = (*subview)->convertPointFrom(point, this);
        if (auto hit = (*subview)->hitTest(inSubview, event)) return hit;
    }
    return shared();
}

bool View::pointInside(Point point, const Event&) const { return bounds().contains(point); }

void View::touchesBegan(const std::vector<Touch>& touches, const Event& event) {
    if (auto parent = superview()) parent->touchesBegan(touches, event);
}

void View::touchesMoved(const std::vector<Touch>& touches, const Event& event) {
    if (auto parent = superview()) parent->touchesMoved(touches, event);
}

void View::touchesEnded(const std::vector<Touch>& touches, const Event& event) {
    if (auto parent = superview()) parent->touchesEnded(touches, event);
}

void View::touchesCancelled(const std::vector<Touch>& touches, const Event& event) {
    if (auto parent = superview()) parent->touchesCancelled(touches, event);
}

bool View::scrollWheel(Point, double, double) { return false; }

Point View::convertPointTo(Point point, const View* view) const {
    return layer_->convertPointTo(point, view ? view->layer_.get() : nullptr);
}

Point View::convertPointFrom(Point point, const View* view) const {
    return layer_->convertPointFrom(point, view ? view->layer_.get() : nullptr);
}

Rect View::convertRectTo(const Rect& rect, const View* view) const {
    return layer_->convertRectTo(rect, view ? view->layer_.get() : nullptr);
}

Rect View::convertRectFrom(const Rect& rect, const View* view) const {
    return layer_->convertRectFrom(rect, view ? view->layer_.get() : nullptr);
}

Point Touch::location(const View* view) const {
    return view ? view->convertPointFrom(locationInWindow, nullptr) : locationInWindow;
}

Point Touch::previousLocation(const View* view) const {
    return view ? view->convertPointFrom(previousLocationInWindow, nullptr) : previousLocationInWindow;
}

}  // namespace ui
