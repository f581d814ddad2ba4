#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/View.h"

namespace ui {

class ViewController;
class AnimatedTransitioning;

enum class TransitionContextKey { from, to };

// What an animator is handed for one transition between two controllers: the container, both
// controllers and their frames, and the call that ends the transition.
class TransitionContext {
public:
    struct Setup {
        std::shared_ptr<View> containerView;
        std::shared_ptr<ViewController> from;
        std::shared_ptr<ViewController> to;
        Rect fromInitialFrame;
        Rect toFinalFrame;
        bool animated = true;
        std::shared_ptr<AnimatedTransitioning> animator;
        // Runs once, from completeTransition, with whether the transition completed.
        std::function<void(bool)> completion;
    };

    explicit TransitionContext(Setup setup) : setup_(std::move(setup)) {}

    const std::shared_ptr<View>& containerView() const { return setup_.containerView; }
    std::shared_ptr<ViewController> viewController(TransitionContextKey key) const;
    std::shared_ptr<View> view(TransitionContextKey key) const;
    // The from-controller's frame before, the to-controller's after; empty for the others.
    Rect initialFrame(const ViewController& controller) const;
    Rect finalFrame(const ViewController& controller) const;
    bool isAnimated() const { return setup_.animated; }
    bool isInteractive() const { return interactive_; }
    bool transitionWasCancelled() const { return cancelled_; }
    const std::shared_ptr<AnimatedTransitioning>& animator() const { return setup_.animator; }

    // Reported by the interaction controller while the user drives the transition.
    void setInteractive(bool interactive) { interactive_ = interactive; }
    void updateInteractiveTransition(double percentComplete) { percentComplete_ = percentComplete; }
    void finishInteractiveTransition() { cancelled_ = false; }
    void cancelInteractiveTransition() { cancelled_ = true; }
    double percentComplete() const { return percentComplete_; }

    // The animator's last word: the transition is over, completed or not.
    void completeTransition(bool didComplete);

private:
    Setup setup_;
    bool interactive_ = false;
    bool cancelled_ = false;
    bool completed_ = false;
    double percentComplete_ = 0;
};

// Animates one transition; it must end by calling completeTransition on the context.
class AnimatedTransitioning {
public:
    virtual ~AnimatedTransitioning() = default;
    virtual double transitionDuration(const std::shared_ptr<TransitionContext>& context) = 0;
    virtual void animateTransition(const std::shared_ptr<TransitionContext>& context) = 0;
    virtual void animationEnded(bool /*completed*/) {}
};

// Drives a transition from the user's input instead of the clock.
class InteractiveTransitioning {
public:
    virtual ~InteractiveTransitioning() = default;
    virtual void startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) = 0;
    virtual double completionSpeed() const { return 1; }
};

// Runs the animator's animations held at a fraction the caller sets (update), then lets them run
// to the end (finish) or back to the start (cancel) over the rest of the duration divided by the
// completion speed; the animator's completions follow, with the context telling which it was.
class PercentDrivenInteractiveTransition : public InteractiveTransitioning {
public:
    PercentDrivenInteractiveTransition();
    ~PercentDrivenInteractiveTransition() override;

    void startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) override;
    void update(double percentComplete);
    void finish();
    void cancel();

    double percentComplete() const { return percent_; }
    double duration() const { return duration_; }
    double completionSpeed() const override { return completionSpeed_; }
    void setCompletionSpeed(double speed) { completionSpeed_ = speed; }

private:
    struct Tracks;
    void end(bool finishing);

    std::unique_ptr<Tracks> tracks_;
    std::shared_ptr<TransitionContext> context_;
    double percent_ = 0;
    double duration_ = 0;
    double completionSpeed_ = 1;
};

}  // namespace ui
