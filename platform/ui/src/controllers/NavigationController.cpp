#include "ui/NavigationController.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// The built-in push and pop: the new controller slides in from the right edge over the old one,
// which moves a third of the way left (and back for a pop).
class SlideAnimator final : public AnimatedTransitioning {
public:
    explicit SlideAnimator(NavigationOperation operation) : operation_(operation) {}

    double transitionDuration(const std::shared_ptr<TransitionContext>&) override {
        return NavigationController::slideDuration;
    }

    void animateTransition(const std::shared_ptr<TransitionContext>& context) override {
        auto fromView = context->view(TransitionContextKey::from);
        auto toView = context->view(TransitionContextKey::to);
        Rect final = context->finalFrame(*context->viewController(TransitionContextKey::to));
        double width = final.size.width;
        bool push = operation_ == NavigationOperation::push;
        if (push)
            context->containerView()->addSubview(toView);
        else
            context->containerView()->insertSubviewBelow(toView, fromView);
        toView->setFrame(final.offsetBy(push ? width : -width / 3, 0));
        View::animate(
            transitionDuration(context), 0, {.curve = AnimationCurve::easeInOut},
            [&] {
                toView->setFrame(final);
                fromView->setFrame(final.offsetBy(push ? -width / 3 : width, 0));
            },
            [context, fromView, toView, final](bool) {
                bool cancelled = context->transitionWasCancelled();
                fromView->setFrame(final);
                (cancelled ? toView : fromView)->removeFromSuperview();
                context->completeTransition(!cancelled);
            });
    }

private:
    NavigationOperation operation_;
};

// Keeps the top controller's view the size of the navigation controller's.
class NavigationContainerView final : public View {
public:
    explicit NavigationContainerView(std::weak_ptr<NavigationController> owner) : owner_(std::move(owner)) {
        setLayoutName("NavigationContainer");
    }

    void layoutSubviews() override {
        auto owner = owner_.lock();
        if (!owner || owner->isTransitioning()) return;
        if (auto top = owner->topViewController())
            if (auto view = top->viewIfLoaded(); view && view->superview().get() == this) view->setFrame(bounds());
    }

private:
    std::weak_ptr<NavigationController> owner_;
};

}  // namespace

// Lets the edge pop begin only from the left edge, rightwards, with something to pop; an app's own
// delegate on the recogniser is asked after it.
class NavigationController::PopGestureGate final : public GestureRecognizerDelegate {
public:
    explicit PopGestureGate(NavigationController& owner) : owner_(owner) {}

    bool gestureRecognizerShouldReceiveTouch(GestureRecognizer& recognizer, const Touch& touch) override {
        auto view = recognizer.view();
        return view && touch.location(view.get()).x <= popEdgeWidth && owner_.stack_.size() > 1 &&
               !owner_.transitioning_;
    }

    bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer) override {
        auto& pan = static_cast<PanGestureRecognizer&>(recognizer);
        auto view = pan.view();
        Point translation = pan.translation(view.get());
        return owner_.stack_.size() > 1 && translation.x > 0 && std::abs(translation.y) <= translation.x;
    }

private:
    NavigationController& owner_;
};

NavigationController::NavigationController(std::shared_ptr<ViewController> rootViewController)
    : popGate_(std::make_shared<PopGestureGate>(*this)) {
    if (rootViewController) stack_.push_back(std::move(rootViewController));
    popRecognizer_->setDelegate(popGate_);
}

void NavigationController::handlePopGesture(PanGestureRecognizer& recognizer) {
    auto view = recognizer.view();
    if (!view) return;
    double width = std::max(view->bounds().size.width, 1.0);
    switch (recognizer.state()) {
        case GestureRecognizerState::began:
            popDriver_ = std::make_shared<PercentDrivenInteractiveTransition>();
            if (!popViewController(true)) popDriver_.reset();
            break;
        case GestureRecognizerState::changed:
            if (popDriver_) popDriver_->update(recognizer.translation(view.get()).x / width);
            break;
        case GestureRecognizerState::ended:
        case GestureRecognizerState::cancelled: {
            auto driver = std::move(popDriver_);
            if (!driver) break;
            double velocity = recognizer.velocity(view.get()).x;
            bool completes = recognizer.state() == GestureRecognizerState::ended &&
                             (velocity > 0 ? driver->percentComplete() > 0.5 || velocity > 300
                                           : driver->percentComplete() > 0.5 && velocity > -300);
            if (completes)
                driver->finish();
            else
                driver->cancel();
            break;
        }
        default: break;
    }
}

void NavigationController::loadView() {
    auto self = std::static_pointer_cast<NavigationController>(shared_from_this());
    setView(std::make_shared<NavigationContainerView>(self));
    view()->setFrame(Screen::main().bounds);
    std::weak_ptr<NavigationController> weak = self;
    popRecognizer_->addAction([weak](GestureRecognizer& recognizer) {
        if (auto owner = weak.lock()) owner->handlePopGesture(static_cast<PanGestureRecognizer&>(recognizer));
    });
    addGestureRecognizer(*view(), popRecognizer_);
    for (const auto& controller : stack_)
        if (controller->parent().get() != this) addChild(controller);
    if (auto top = topViewController()) {
        auto topView = top->view();
        topView->setFrame(view()->bounds());
        view()->addSubview(topView);
        top->didMoveToParent(self);
    }
}

bool NavigationController::isShowing() const { return isViewLoaded() && viewIfLoaded()->window(); }

std::shared_ptr<ViewController> NavigationController::visibleViewController() const {
    if (auto presented = presentedViewController()) return topPresentedController(presented);
    return topViewController();
}

std::vector<std::shared_ptr<ViewController>> NavigationController::childrenReceivingAppearance() const {
    if (auto top = topViewController(); top && !transitioning_) return {top};
    return {};
}

void NavigationController::setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers) {
    auto oldTop = topViewController();
    for (const auto& old : stack_)
        if (std::find(controllers.begin(), controllers.end(), old) == controllers.end()) old->removeFromParent();
    stack_ = std::move(controllers);
    if (!isViewLoaded()) return;
    for (const auto& controller : stack_)
        if (controller->parent().get() != this) addChild(controller);
    auto top = topViewController();
    if (top == oldTop) return;
    bool showing = isShowing();
    if (oldTop && oldTop->viewIfLoaded()) {
        if (showing) oldTop->beginAppearanceTransition(false, false);
        oldTop->viewIfLoaded()->removeFromSuperview();
        if (showing) oldTop->endAppearanceTransition();
    }
    if (top) {
        top->view()->setFrame(view()->bounds());
        view()->addSubview(top->view());
        if (showing) {
            top->beginAppearanceTransition(true, false);
            top->endAppearanceTransition();
        }
    }
}

void NavigationController::pushViewController(const std::shared_ptr<ViewController>& controller, bool animated) {
    if (!controller || transitioning_ || std::find(stack_.begin(), stack_.end(), controller) != stack_.end()) return;
    auto from = topViewController();
    if (!isViewLoaded() || !from) {
        auto controllers = stack_;
        controllers.push_back(controller);
        setViewControllers(std::move(controllers));
        return;
    }
    addChild(controller);
    stack_.push_back(controller);
    transition(NavigationOperation::push, from, controller, animated);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
    if (stack_.size() < 2 || transitioning_) return nullptr;
    auto from = stack_.back();
    stack_.pop_back();
    if (!isViewLoaded()) {
        from->removeFromParent();
        return from;
    }
    transition(NavigationOperation::pop, from, stack_.back(), animated);
    return from;
}

void NavigationController::transition(NavigationOperation operation, const std::shared_ptr<ViewController>& from,
                                      const std::shared_ptr<ViewController>& to, bool animated) {
    auto self = std::static_pointer_cast<NavigationController>(shared_from_this());
    auto watcher = delegate();
    if (watcher) watcher->navigationControllerWillShow(*this, to, animated);
    std::shared_ptr<AnimatedTransitioning> animator =
        watcher ? watcher->animationControllerFor(*this, operation, from, to) : nullptr;
    if (!animator && animated) animator = std::make_shared<SlideAnimator>(operation);
    std::shared_ptr<InteractiveTransitioning> interaction =
        animator && watcher ? watcher->interactionControllerFor(*this, animator) : nullptr;
    if (!interaction && animator && popDriver_ && operation == NavigationOperation::pop) interaction = popDriver_;
    bool showing = isShowing();
    transitioning_ = true;
    if (showing) {
        from->beginAppearanceTransition(false, animated);
        to->beginAppearanceTransition(true, animated);
    }
    Rect bounds = view()->bounds();
    to->view();
    if (!animator) {
        from->viewIfLoaded()->removeFromSuperview();
        to->view()->setFrame(bounds);
        view()->addSubview(to->view());
        transitionEnded(operation, from, to, true, animated);
        return;
    }
    auto context = std::make_shared<TransitionContext>(TransitionContext::Setup{
        view(), from, to, bounds, bounds, animated, animator,
        [self, operation, from, to, animator, animated](bool completed) {
            self->transitionEnded(operation, from, to, completed, animated);
            animator->animationEnded(completed);
        }});
    if (interaction)
        interaction->startInteractiveTransition(context);
    else
        animator->animateTransition(context);
}

void NavigationController::transitionEnded(NavigationOperation operation, const std::shared_ptr<ViewController>& from,
                                           const std::shared_ptr<ViewController>& to, bool completed, bool animated) {
    transitioning_ = false;
    bool showing = isShowing();
    if (!completed) {
        // Back as it was: the stack, and the appearance the cancelled transition began.
        if (operation == NavigationOperation::pop) {
            stack_.push_back(from);
        } else {
            std::erase(stack_, to);
            to->removeFromParent();
        }
        if (showing) {
            to->beginAppearanceTransition(false, animated);
            from->beginAppearanceTransition(true, animated);
        }
    } else if (operation == NavigationOperation::pop) {
        from->removeFromParent();
    }
    if (showing) {
        from->endAppearanceTransition();
        to->endAppearanceTransition();
    }
    auto top = topViewController();
    if (top && top->viewIfLoaded()) top->viewIfLoaded()->setFrame(view()->bounds());
    if (completed)
        if (auto watcher = delegate()) watcher->navigationControllerDidShow(*this, to, animated);
}

}  // namespace ui
