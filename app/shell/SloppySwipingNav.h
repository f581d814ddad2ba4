#pragma once

#include <memory>

#include "ui/NavigationController.h"
#include "ui/PanGestureRecognizer.h"
#include "ui/ViewControllerTransitioning.h"

// The app's navigation controller: its own slide with parallax and shadow for pushes and pops, and
// a pop by dragging rightwards anywhere on a pushed controller's view, which follows the finger and
// on release completes or returns by distance and speed. It is its own delegate.
class SloppySwipingNav : public ui::NavigationController, public ui::NavigationControllerDelegate {
public:
    // Marks the recognisers this controller installs, so a view never gets two.
    class SloppySwipingPanGestureRecognizer final : public ui::PanGestureRecognizer {
    public:
        using ui::PanGestureRecognizer::PanGestureRecognizer;
    };

    class AnimatedTransitioning final : public ui::AnimatedTransitioning {
    public:
        static constexpr double bottomViewOffset = -60;  // where the covered view rests, horizontally
        bool reverse = false;                            // a pop
        bool linerAnimation = false;                     // the finger drives the transition
        double duration = 0;                             // seconds; set before each transition

        double transitionDuration(const std::shared_ptr<ui::TransitionContext>& context) override;
        void animateTransition(const std::shared_ptr<ui::TransitionContext>& context) override;
        static void addShadow(ui::ViewController& controller);
    };

    class InteractiveTransition final : public ui::PercentDrivenInteractiveTransition,
                                        public ui::GestureRecognizerDelegate,
                                        public std::enable_shared_from_this<InteractiveTransition> {
    public:
        // Past these speeds (points per second) the direction of the release decides, whatever the
        // distance; between them, more than half the width completes.
        static constexpr double completingVelocity = 400;
        static constexpr double returningVelocity = -400;

        std::weak_ptr<ui::NavigationController> navigationController;
        bool shouldCompleteTransition = false;
        bool transitionInProgress = false;

        void attachPanGesture(const std::shared_ptr<ui::ViewController>& controller);
        void handlePanGesture(ui::GestureRecognizer& gestureRecognizer);
        // Only a rightward drag, no more vertical than horizontal, so vertical scrolling inside the
        // pushed screen keeps working.
        bool gestureRecognizerShouldBegin(ui::GestureRecognizer& gestureRecognizer) override;
    };

    static constexpr double animationDuration = 0.4;

    explicit SloppySwipingNav(std::shared_ptr<ui::ViewController> rootViewController = nullptr);

    void viewDidLoad() override;

    void navigationControllerWillShow(ui::NavigationController& navigationController,
                                      const std::shared_ptr<ui::ViewController>& viewController,
                                      bool animated) override;
    std::shared_ptr<ui::AnimatedTransitioning> animationControllerFor(
        ui::NavigationController& navigationController, ui::NavigationOperation operation,
        const std::shared_ptr<ui::ViewController>& from, const std::shared_ptr<ui::ViewController>& to) override;
    std::shared_ptr<ui::InteractiveTransitioning> interactionControllerFor(
        ui::NavigationController& navigationController,
        const std::shared_ptr<ui::AnimatedTransitioning>& animator) override;

    const std::shared_ptr<AnimatedTransitioning>& animatedTransitioning() const { return animatedTransitioning_; }
    const std::shared_ptr<InteractiveTransition>& interactiveTransition() const { return interactiveTransition_; }

private:
    const std::shared_ptr<AnimatedTransitioning> animatedTransitioning_ = std::make_shared<AnimatedTransitioning>();
    const std::shared_ptr<InteractiveTransition> interactiveTransition_ = std::make_shared<InteractiveTransition>();
};
