#include "PresentationContainerView.h"

#include <utility>

#include "foundation/Print.h"
#include "ui/MenuPopup.h"
#include "ui/RunLoopBridge.h"
#include "ui/SheetPresentationController.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

// Modal presentation: the rules of who may present what, and the slide in and out with the
// appearance calls around it.
namespace ui {

namespace {

std::shared_ptr<ViewController> containmentRoot(std::shared_ptr<ViewController> controller) {
    while (auto parent = controller->parent()) controller = parent;
    return controller;
}

Rect belowContainer(const Rect& frame, const View& container) {
    Rect moved = frame;
    moved.origin.y = container.bounds().size.height;
    return moved;
}

// Runs `change` animated over the presentation's duration, or at once; `done` follows on the main
// loop either way, or right here when `immediate`.
void transition(bool animated, bool immediate, const std::function<void()>& change, std::function<void(bool)> done) {
    if (animated && !immediate) {
        View::animate(PresentationController::transitionDuration, 0, {.curve = AnimationCurve::easeOut}, change,
                      std::move(done));
        return;
    }
    View::performWithoutAnimation(change);
    if (immediate)
        done(true);
    else
        runLoopBridge()->performAtEndOfTurn([done = std::move(done)] { done(true); });
}

}  // namespace

std::shared_ptr<View> PresentationContainerView::hitTest(Point point, const Event& event) {
    if (isHidden() || !isUserInteractionEnabled()) return nullptr;
    if (auto owner = owner_.lock()) return owner->hitTestContainer(point, event);
    return View::hitTest(point, event);
}

void PresentationContainerView::layoutSubviews() {
    if (auto owner = owner_.lock()) owner->containerViewDidLayoutSubviews();
}

void ViewController::present(const std::shared_ptr<ViewController>& controller, bool animated,
                             std::function<void()> completion) {
    if (!controller) return;
    std::shared_ptr<ViewController> presenter = containmentRoot(shared_from_this());
    if (auto current = presenter->presented_) {
        foundation::print("Attempt to present", controller->description(), "on", presenter->description(),
                          "which is already presenting", current->description());
        return;
    }
    if (auto other = controller->presentingViewController()) {
        foundation::print("Application tried to present modally a view controller", controller->description(),
                          "that is already being presented by", other->description() + ".");
        return;
    }
    if (controller->parent() || controller == presenter) {
        foundation::print("Application tried to present modally a view controller", controller->description(),
                          "that is not a root of its containment.");
        return;
    }
    if (!presenter->window()) {
        foundation::print("Attempt to present", controller->description(), "on", presenter->description(),
                          "whose view is not in the window hierarchy.");
        return;
    }
    std::shared_ptr<PresentationController> presentation;
    if (controller->isSheetStyle()) {
        auto sheet = controller->sheetPresentationController();
        sheet->setPresenting(presenter);
        presentation = sheet;
    } else {
        presentation = std::make_shared<PresentationController>(controller, presenter);
        presentation->setRemovesPresenter(controller->modalPresentationStyle() == ModalPresentationStyle::fullScreen);
    }
    // Where the keyboard is, taken while the presenter is still the top-most screen.
    presentation->openedFrom_ = presenter->window()->placeOpenedFrom();
    presenter->presented_ = controller;
    controller->presenting_ = presenter;
    controller->presentation_ = presentation;
    presentation->runPresentation(animated, std::move(completion));
}

void ViewController::dismiss(bool animated, std::function<void()> completion) {
    std::shared_ptr<ViewController> root = containmentRoot(shared_from_this());
    std::shared_ptr<ViewController> presenter = root->presented_ ? root : root->presentingViewController();
    if (!presenter || !presenter->presented_) return;
    std::shared_ptr<ViewController> target = presenter->presented_;
    if (!target->presentation_) return;
    // Already going: the caller's completion follows that dismissal's end rather than being lost,
    // so whoever waits for it (to present again) is not left waiting for ever.
    if (target->beingDismissed_) {
        if (completion) target->presentation_->dismissalCompletions_.push_back(std::move(completion));
        return;
    }
    // Whatever the target presents goes at once; only the target slides away.
    std::vector<std::shared_ptr<ViewController>> above;
    for (auto next = target->presented_; next; next = next->presented_) above.push_back(next);
    for (auto it = above.rbegin(); it != above.rend(); ++it)
        if ((*it)->presentation_) (*it)->presentation_->runDismissal(false, true, nullptr);
    target->presentation_->runDismissal(animated, false, std::move(completion));
}

PresentationController::PresentationController(const std::shared_ptr<ViewController>& presented,
                                               const std::shared_ptr<ViewController>& presenting)
    : presented_(presented), presenting_(presenting) {}

PresentationController::~PresentationController() {
    if (container_) container_->removeFromSuperview();
}

std::shared_ptr<View> PresentationController::presentedView() const {
    auto presented = presentedViewController();
    return presented ? presented->viewIfLoaded() : nullptr;
}

Rect PresentationController::frameOfPresentedViewInContainerView() const {
    return container_ ? container_->bounds() : Rect{};
}

std::shared_ptr<View> PresentationController::hitTestContainer(Point point, const Event& event) {
    return static_cast<PresentationContainerView&>(*container_).defaultHitTest(point, event);
}

void PresentationController::containerViewDidLayoutSubviews() {
    auto view = presentedView();
    auto presented = presentedViewController();
    if (view && presented && !presented->isBeingPresented() && !presented->isBeingDismissed())
        view->setFrame(frameOfPresentedViewInContainerView());
}

std::shared_ptr<View> PresentationController::presentersWindowView() const {
    auto presenting = presentingViewController();
    std::shared_ptr<View> view = presenting ? presenting->viewIfLoaded() : nullptr;
    while (view) {
        auto parent = view->superview();
        if (!parent || parent.get() == view->window().get()) return view;
        view = parent;
    }
    return nullptr;
}

void PresentationController::runPresentation(bool animated, std::function<void()> completion) {
    auto presented = presentedViewController();
    auto presenting = presentingViewController();
    auto window = presenting->window();
    container_ = std::make_shared<PresentationContainerView>(weak_from_this());
    window->addFillingSubview(container_);
    presented->loadViewIfNeeded();
    presentationTransitionWillBegin();
    std::shared_ptr<View> moving = presentedView();
    if (moving->superview() != container_) container_->addSubview(moving);
    Rect final = frameOfPresentedViewInContainerView();
    presented->beingPresented_ = true;
    presented->beginAppearanceTransition(true, animated);
    if (removesPresenter_) presenting->beginAppearanceTransition(false, animated);
    View::performWithoutAnimation([&] {
        moving->setFrame(animated ? belowContainer(final, *container_) : final);
        container_->layoutIfNeeded();
    });
    auto self = shared_from_this();
    transition(animated, false, [moving, final] { moving->setFrame(final); },
               [self, completion = std::move(completion)](bool) {
                   auto presented = self->presentedViewController();
                   auto presenting = self->presentingViewController();
                   if (presented) {
                       presented->beingPresented_ = false;
                       presented->endAppearanceTransition();
                   }
                   if (self->removesPresenter_ && presenting) {
                       if (auto hidden = self->presentersWindowView()) hidden->setHidden(true);
                       presenting->endAppearanceTransition();
                   }
                   if (self->container_) self->container_->setNeedsLayout();
                   self->presentationTransitionDidEnd(true);
                   if (completion) completion();
               });
}

void PresentationController::runDismissal(bool animated, bool immediate, std::function<void()> completion) {
    auto presented = presentedViewController();
    auto presenting = presentingViewController();
    if (!presented || !container_) return;
    presented->beingDismissed_ = true;
    presented->beginAppearanceTransition(false, animated);
    if (removesPresenter_ && presenting) {
        if (auto hidden = presentersWindowView()) hidden->setHidden(false);
        presenting->beginAppearanceTransition(true, animated);
    }
    // A menu never outlives the sheet that opened it.
    if (auto window = container_->window()) MenuPopup::closeMenusOpenedIn(*window, container_.get());
    dismissalTransitionWillBegin();
    std::shared_ptr<View> moving = presentedView();
    std::shared_ptr<View> container = container_;
    auto self = shared_from_this();
    transition(
        animated, immediate,
        [moving, container] {
            if (moving) moving->setFrame(belowContainer(moving->frame(), *container));
        },
        [self, completion = std::move(completion)](bool) {
            auto presented = self->presentedViewController();
            auto presenting = self->presentingViewController();
            std::shared_ptr<Window> window = self->container_ ? self->container_->window() : nullptr;
            if (self->container_) self->container_->removeFromSuperview();
            self->container_ = nullptr;
            if (presented) {
                presented->beingDismissed_ = false;
                presented->endAppearanceTransition();
                presented->presenting_.reset();
                presented->presentation_.reset();
            }
            if (presenting) {
                if (self->removesPresenter_) presenting->endAppearanceTransition();
                if (presenting->presented_ == presented) presenting->presented_.reset();
            }
            self->dismissalTransitionDidEnd(true);
            if (window) window->restoreKeyboardPlace(self->openedFrom_);
            auto waiting = std::exchange(self->dismissalCompletions_, {});
            if (completion) completion();
            for (auto& next : waiting) next();
        });
}

void PresentationController::dismissByUser() {
    auto presented = presentedViewController();
    if (!presented || presented->isModalInPresentation()) return;
    auto self = shared_from_this();
    presented->dismiss(true, [self] { self->userDidDismiss(); });
}

}  // namespace ui
