#include "ui/SheetPresentationController.h"

#include <algorithm>
#include <cmath>

#include "SheetView.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ui {

namespace {

constexpr double defaultCornerRadius = 10;
constexpr double largeTopGap = 10;
// How far a flick carries the sheet, in seconds of its release velocity.
constexpr double projectionTime = 0.2;
// Past its last detent the sheet follows the finger at this fraction.
constexpr double rubberBand = 0.3;
constexpr double stackedScale = 0.92;
constexpr double dimmingOpacity = 0.3;

// Takes dimming taps: they dismiss the sheet unless it is modal.
class DimmingView final : public View {
public:
    explicit DimmingView(std::function<void()> tapped) : tapped_(std::move(tapped)) {}
    void touchesBegan(const std::vector<Touch>&, const Event&) override {}
    void touchesMoved(const std::vector<Touch>&, const Event&) override {}
    void touchesEnded(const std::vector<Touch>&, const Event&) override { tapped_(); }
    void touchesCancelled(const std::vector<Touch>&, const Event&) override {}

private:
    std::function<void()> tapped_;
};

}  // namespace

SheetDetent SheetDetent::medium() {
    return {mediumIdentifier, [](const SheetDetentResolutionContext& context) -> std::optional<double> {
                return context.containerSize.height / 2 - context.bottomSafeAreaInset;
            }};
}

SheetDetent SheetDetent::large() {
    return {largeIdentifier,
            [](const SheetDetentResolutionContext& context) -> std::optional<double> { return context.maximumDetentValue; }};
}

SheetDetent SheetDetent::custom(Identifier identifier, Resolver resolver) { return {std::move(identifier), std::move(resolver)}; }

std::optional<double> SheetDetent::resolvedValue(const SheetDetentResolutionContext& context) const {
    if (!resolver_) return std::nullopt;
    auto value = resolver_(context);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return std::clamp(*value, 0.0, context.maximumDetentValue);
}

SheetPresentationController::SheetPresentationController(const std::shared_ptr<ViewController>& presented,
                                                         const std::shared_ptr<ViewController>& presenting)
    : PresentationController(presented, presenting) {}

Size SheetPresentationController::containerSize() const {
    if (containerView()) return containerView()->bounds().size;
    if (auto presenting = presentingViewController())
        if (auto window = presenting->window()) return window->bounds().size;
    return Screen::main().bounds.size;
}

double SheetPresentationController::bottomInset() const {
    if (auto presenting = presentingViewController())
        if (auto window = presenting->window()) return window->windowSafeAreaInsets().bottom;
    if (auto window = Window::keyWindow()) return window->windowSafeAreaInsets().bottom;
    return 0;
}

std::vector<SheetPresentationController::Resolved> SheetPresentationController::resolvedDetents() const {
    Size size = containerSize();
    double top = 0;
    if (auto presenting = presentingViewController())
        if (auto window = presenting->window()) top = window->windowSafeAreaInsets().top;
    double bottom = bottomInset();
    SheetDetentResolutionContext context{std::max(0.0, size.height - top - largeTopGap - bottom), size, bottom};
    std::vector<Resolved> resolved;
    for (const SheetDetent& detent : detents_)
        if (auto value = detent.resolvedValue(context)) resolved.push_back({detent.identifier(), *value + bottom});
    if (resolved.empty()) resolved.push_back({SheetDetent::largeIdentifier, context.maximumDetentValue + bottom});
    std::stable_sort(resolved.begin(), resolved.end(), [](const Resolved& a, const Resolved& b) { return a.height < b.height; });
    return resolved;
}

SheetDetent::Identifier SheetPresentationController::currentDetentIdentifier() const {
    auto resolved = resolvedDetents();
    if (selected_)
        for (const Resolved& detent : resolved)
            if (detent.identifier == *selected_) return detent.identifier;
    return resolved.front().identifier;
}

double SheetPresentationController::sheetHeight(const SheetDetent::Identifier& identifier) const {
    auto resolved = resolvedDetents();
    for (const Resolved& detent : resolved)
        if (detent.identifier == identifier) return detent.height;
    return resolved.back().height;
}

bool SheetPresentationController::isDimming() const {
    if (!largestUndimmed_) return true;
    double height = containerSize().height - frameOfPresentedViewInContainerView().origin.y;
    for (const Resolved& detent : resolvedDetents())
        if (detent.identifier == *largestUndimmed_) return height > detent.height + 0.5;
    return true;
}

void SheetPresentationController::setDetents(std::vector<SheetDetent> detents) {
    detents_ = std::move(detents);
    placeSheet(animatingChanges_);
}

void SheetPresentationController::setSelectedDetentIdentifier(std::optional<SheetDetent::Identifier> identifier) {
    selected_ = std::move(identifier);
    placeSheet(animatingChanges_);
}

void SheetPresentationController::animateChanges(const std::function<void()>& changes) {
    bool was = animatingChanges_;
    animatingChanges_ = true;
    if (changes) changes();
    animatingChanges_ = was;
}

void SheetPresentationController::setLargestUndimmedDetentIdentifier(std::optional<SheetDetent::Identifier> identifier) {
    largestUndimmed_ = std::move(identifier);
    updateDimming();
}

void SheetPresentationController::setPrefersGrabberVisible(bool visible) {
    prefersGrabberVisible_ = visible;
    if (sheetView_) sheetView_->grabber()->setHidden(!visible);
}

void SheetPresentationController::setPreferredCornerRadius(std::optional<double> radius) {
    preferredCornerRadius_ = radius;
    if (sheetView_) sheetView_->layer()->setCornerRadius(radius.value_or(defaultCornerRadius));
}

std::shared_ptr<View> SheetPresentationController::presentedView() const { return sheetView_; }

Rect SheetPresentationController::frameOfPresentedViewInContainerView() const {
    Size size = containerSize();
    auto resolved = resolvedDetents();
    double top = dragTop_ ? *dragTop_ : size.height - sheetHeight(currentDetentIdentifier());
    double height = std::max(size.height - top, resolved.front().height);
    return {0, top, size.width, height};
}

std::shared_ptr<View> SheetPresentationController::hitTestContainer(Point point, const Event& event) {
    auto hit = PresentationController::hitTestContainer(point, event);
    // Beside an undimmed sheet, touches reach what lies beneath.
    return hit == containerView() ? nullptr : hit;
}

void SheetPresentationController::containerViewDidLayoutSubviews() {
    if (dimmingView_) dimmingView_->setFrame(containerView()->bounds());
    auto presented = presentedViewController();
    if (presented && !presented->isBeingPresented() && !presented->isBeingDismissed() && sheetView_) {
        Rect frame = frameOfPresentedViewInContainerView();
        sheetView_->setBounds({{0, 0}, frame.size});
        sheetView_->setCenter({frame.midX(), frame.midY()});
    }
}

void SheetPresentationController::presentationTransitionWillBegin() {
    dragTop_.reset();
    auto self = std::static_pointer_cast<SheetPresentationController>(shared_from_this());
    std::weak_ptr<SheetPresentationController> weak = self;
    dimmingView_ = std::make_shared<DimmingView>([weak] {
        if (auto sheet = weak.lock()) sheet->dismissByUser();
    });
    dimmingView_->setBackgroundColor(gfx::Color::black().withAlphaComponent(dimmingOpacity));
    dimmingView_->setFrame(containerView()->bounds());
    containerView()->addSubview(dimmingView_);
    sheetView_ = std::make_shared<SheetView>(weak);
    sheetView_->setContent(presentedViewController()->view());
    sheetView_->layer()->setCornerRadius(preferredCornerRadius_.value_or(defaultCornerRadius));
    sheetView_->grabber()->setHidden(!prefersGrabberVisible_);
    containerView()->addSubview(sheetView_);
    View::performWithoutAnimation([&] { updateDimming(); });
}

void SheetPresentationController::presentationTransitionDidEnd(bool) {
    View::animate(transitionDuration, [&] { updateStacking(); });
}

void SheetPresentationController::dismissalTransitionWillBegin() {
    dragTop_.reset();
    View::animate(transitionDuration, [&] {
        if (dimmingView_) dimmingView_->setAlpha(0);
        // The sheet beneath comes back whole: unscaled, at the frame of its own detent.
        if (auto beneath = sheetBeneath(); beneath && beneath->sheetView_) {
            beneath->sheetView_->setTransform(gfx::AffineTransform::identity());
            Rect frame = beneath->frameOfPresentedViewInContainerView();
            beneath->sheetView_->setBounds({{0, 0}, frame.size});
            beneath->sheetView_->setCenter({frame.midX(), frame.midY()});
        }
    });
}

void SheetPresentationController::userDidDismiss() {
    if (auto watcher = delegate()) watcher->presentationControllerDidDismiss(*this);
}

void SheetPresentationController::placeSheet(bool animated) {
    if (!isPresented() || !sheetView_) return;
    auto presented = presentedViewController();
    if (!presented || presented->isBeingDismissed()) return;
    auto place = [&] {
        Rect frame = frameOfPresentedViewInContainerView();
        sheetView_->setBounds({{0, 0}, frame.size});
        sheetView_->setCenter({frame.midX(), frame.midY()});
        updateDimming();
        updateStacking();
    };
    if (animated)
        View::animate(transitionDuration, place);
    else
        View::performWithoutAnimation(place);
}

void SheetPresentationController::updateDimming() {
    if (dimmingView_) dimmingView_->setAlpha(isDimming() ? 1 : 0);
}

std::shared_ptr<SheetPresentationController> SheetPresentationController::sheetBeneath() const {
    auto presenting = presentingViewController();
    if (!presenting) return nullptr;
    return std::dynamic_pointer_cast<SheetPresentationController>(presenting->presentationController());
}

void SheetPresentationController::updateStacking() {
    auto beneath = sheetBeneath();
    if (!beneath || !beneath->sheetView_ || !sheetView_) return;
    double top = frameOfPresentedViewInContainerView().origin.y;
    double beneathTop = beneath->frameOfPresentedViewInContainerView().origin.y;
    bool covers = top < beneathTop + largeTopGap;
    beneath->sheetView_->setTransform(covers ? gfx::AffineTransform::scale(stackedScale, stackedScale)
                                             : gfx::AffineTransform::identity());
}

bool SheetPresentationController::canGrow() const {
    return currentDetentIdentifier() != resolvedDetents().back().identifier;
}

void SheetPresentationController::dragBegan() { dragStartTop_ = frameOfPresentedViewInContainerView().origin.y; }

void SheetPresentationController::dragMoved(double translation) {
    auto resolved = resolvedDetents();
    double height = containerSize().height;
    double highest = height - resolved.back().height;
    double lowest = height - resolved.front().height;
    double top = dragStartTop_ + translation;
    if (top < highest) top = highest - (highest - top) * rubberBand;
    auto presented = presentedViewController();
    if (top > lowest && presented && presented->isModalInPresentation()) top = lowest + (top - lowest) * rubberBand;
    dragTop_ = top;
    placeSheet(false);
}

void SheetPresentationController::dragEnded(double velocity) {
    if (!dragTop_) return;
    double top = *dragTop_;
    SheetDetent::Identifier before = currentDetentIdentifier();
    dragTop_.reset();
    auto resolved = resolvedDetents();
    double height = containerSize().height;
    double projected = top + velocity * projectionTime;
    auto presented = presentedViewController();
    double lowest = height - resolved.front().height;
    if (presented && !presented->isModalInPresentation() && projected > lowest + resolved.front().height / 2) {
        dragTop_ = top;  // the dismissal slides away from where the finger left the sheet
        dismissByUser();
        return;
    }
    const Resolved* nearest = &resolved.front();
    for (const Resolved& detent : resolved)
        if (std::abs(height - detent.height - projected) < std::abs(height - nearest->height - projected)) nearest = &detent;
    bool changed = nearest->identifier != before;
    if (changed) selected_ = nearest->identifier;
    placeSheet(true);
    if (changed)
        if (auto watcher = delegate()) watcher->sheetPresentationControllerDidChangeSelectedDetentIdentifier(*this);
}

}  // namespace ui
