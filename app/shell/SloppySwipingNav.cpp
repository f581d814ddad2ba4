#include "shell/SloppySwipingNav.h"

#include <algorithm>
#include <cmath>

#include "gfx/Color.h"

using ui::GestureRecognizerState;
using ui::TransitionContextKey;

SloppySwipingNav::SloppySwipingNav(std::shared_ptr<ui::ViewController> rootViewController)
    : ui::NavigationController(std::move(rootViewController)) {}

void SloppySwipingNav::viewDidLoad() {
    ui::NavigationController::viewDidLoad();
    setDelegate(std::static_pointer_cast<SloppySwipingNav>(shared_from_this()));
    // A custom animator takes the place of the platform's edge pop; the full-screen drag covers the
    // edge too, with one rule for completing.
    interactivePopGestureRecognizer()->setEnabled(false);
}

void SloppySwipingNav::navigationControllerWillShow(ui::NavigationController&,
                                                    const std::shared_ptr<ui::ViewController>& viewController, bool) {
    // The root has nothing beneath it to return to.
    if (viewControllers().empty() || viewController != viewControllers().front())
        interactiveTransition_->attachPanGesture(viewController);
}

std::shared_ptr<ui::AnimatedTransitioning> SloppySwipingNav::animationControllerFor(
    ui::NavigationController&, ui::NavigationOperation operation, const std::shared_ptr<ui::ViewController>&,
    const std::shared_ptr<ui::ViewController>&) {
    animatedTransitioning_->reverse = operation == ui::NavigationOperation::pop;
    return animatedTransitioning_;
}

std::shared_ptr<ui::InteractiveTransitioning> SloppySwipingNav::interactionControllerFor(
    ui::NavigationController&, const std::shared_ptr<ui::AnimatedTransitioning>&) {
    animatedTransitioning_->linerAnimation = interactiveTransition_->transitionInProgress;
    animatedTransitioning_->duration = animationDuration;
    if (interactiveTransition_->transitionInProgress) return interactiveTransition_;
    return nullptr;
}

// MARK: - Interactive transition

void SloppySwipingNav::InteractiveTransition::attachPanGesture(const std::shared_ptr<ui::ViewController>& controller) {
    if (!controller) return;
    navigationController = controller->navigationController();
    auto view = controller->view();
    for (const auto& recognizer : ui::gestureRecognizers(*view))
        if (dynamic_cast<SloppySwipingPanGestureRecognizer*>(recognizer.get())) return;
    auto recognizer = std::make_shared<SloppySwipingPanGestureRecognizer>();
    std::weak_ptr<InteractiveTransition> weak = shared_from_this();
    recognizer->addTarget(weak, [weak](ui::GestureRecognizer& gesture) {
        if (auto self = weak.lock()) self->handlePanGesture(gesture);
    });
    recognizer->setDelegate(weak);
    ui::addGestureRecognizer(*view, recognizer);
}

bool SloppySwipingNav::InteractiveTransition::gestureRecognizerShouldBegin(ui::GestureRecognizer& gestureRecognizer) {
    auto view = gestureRecognizer.view();
    auto* pan = dynamic_cast<ui::PanGestureRecognizer*>(&gestureRecognizer);
    if (!view || !pan) return false;
    ui::Point translation = pan->translation(view.get());
    return translation.x >= 0 && std::abs(translation.y) <= std::abs(translation.x);
}

void SloppySwipingNav::InteractiveTransition::handlePanGesture(ui::GestureRecognizer& gestureRecognizer) {
    switch (gestureRecognizer.state()) {
        case GestureRecognizerState::began:
            transitionInProgress = true;
            if (auto navigation = navigationController.lock()) navigation->popViewController(true);
            break;
        case GestureRecognizerState::changed: {
            auto view = gestureRecognizer.view();
            auto* pan = dynamic_cast<ui::PanGestureRecognizer*>(&gestureRecognizer);
            if (!view || !pan) break;
            double width = view->frame().size.width;
            double progress = width > 0 ? std::clamp(pan->translation(view.get()).x / width, 0.0, 1.0) : 0.0;
            double velocity = pan->velocity(view.get()).x;
            if (velocity > completingVelocity)
                shouldCompleteTransition = true;
            else if (velocity < returningVelocity)
                shouldCompleteTransition = false;
            else
                shouldCompleteTransition = progress > 0.5;
            update(progress);
            break;
        }
        case GestureRecognizerState::ended:
        case GestureRecognizerState::cancelled:
            transitionInProgress = false;
            if (shouldCompleteTransition && gestureRecognizer.state() != GestureRecognizerState::cancelled)
                finish();
            else
                cancel();
            break;
        default: break;
    }
}

// MARK: - Animated transitioning

double SloppySwipingNav::AnimatedTransitioning::transitionDuration(const std::shared_ptr<ui::TransitionContext>&) {
    return duration;
}

void SloppySwipingNav::AnimatedTransitioning::addShadow(ui::ViewController& controller) {
    const auto& layer = controller.view()->layer();
    layer->setMasksToBounds(false);
    layer->setShadowColor(gfx::Color::black());
    layer->setShadowRadius(5);
    layer->setShadowOpacity(0.2);
}

void SloppySwipingNav::AnimatedTransitioning::animateTransition(const std::shared_ptr<ui::TransitionContext>& context) {
    auto leaving = context->viewController(TransitionContextKey::from);
    auto showing = context->viewController(TransitionContextKey::to);
    if (!leaving || !showing) return;
    auto leavingView = leaving->view();
    auto showingView = showing->view();
    ui::Rect leavingStart = context->initialFrame(*leaving);
    ui::Rect showingEnd = context->finalFrame(*showing);
    const auto& container = context->containerView();
    bool pop = reverse;

    if (pop) {
        addShadow(*leaving);
        container->insertSubviewBelow(showingView, leavingView);
        showingView->setFrame(showingEnd.offsetBy(bottomViewOffset, 0));
    } else {
        showingView->setFrame(showingEnd.offsetBy(leavingView->frame().size.width, 0));
        addShadow(*showing);
        container->addSubview(showingView);
    }

    auto animations = [&] {
        if (pop) {
            leavingView->setFrame(leavingStart.offsetBy(leavingStart.size.width, 0));
            showingView->setFrame(showingEnd);
        } else {
            showingView->setFrame(showingEnd);
            leavingView->setFrame(showingEnd.offsetBy(bottomViewOffset, 0));
        }
    };
    auto completion = [context, pop, leavingView, showingView, leavingStart, showingEnd](bool) {
        if (pop) {
            leavingView->layer()->setShadowRadius(0);
            leavingView->setFrame(leavingStart);
        } else {
            showingView->layer()->setShadowRadius(0);
            leavingView->setFrame(showingEnd);
        }
        bool cancelled = context->transitionWasCancelled();
        (cancelled ? showingView : leavingView)->removeFromSuperview();
        context->completeTransition(!cancelled);
    };
    ui::ViewAnimationOptions options{.allowUserInteraction = true};
    if (linerAnimation) {
        options.curve = ui::AnimationCurve::linear;
        ui::View::animate(duration, 0, options, animations, completion);
    } else {
        ui::View::animateWithSpring(duration, 0, 1.0, 0, options, animations, completion);
    }
}
