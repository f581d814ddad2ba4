#include <algorithm>

#include "../views/AnimationTransaction.h"
#include "foundation/Clock.h"
#include "ui/RunLoopBridge.h"
#include "ui/ViewController.h"
#include "ui/ViewControllerTransitioning.h"

namespace ui {

std::shared_ptr<ViewController> TransitionContext::viewController(TransitionContextKey key) const {
    return key == TransitionContextKey::from ? setup_.from : setup_.to;
}

std::shared_ptr<View> TransitionContext::view(TransitionContextKey key) const {
    auto controller = viewController(key);
    return controller ? controller->view() : nullptr;
}

Rect TransitionContext::initialFrame(const ViewController& controller) const {
    return &controller == setup_.from.get() ? setup_.fromInitialFrame : Rect{};
}

Rect TransitionContext::finalFrame(const ViewController& controller) const {
    return &controller == setup_.to.get() ? setup_.toFinalFrame : Rect{};
}

void TransitionContext::completeTransition(bool didComplete) {
    if (completed_) return;
    completed_ = true;
    if (setup_.completion) setup_.completion(didComplete);
}

namespace {

// Far beyond any transition: a held value stays until it is replaced.
constexpr double holdDuration = 1e9;
constexpr std::string_view trackKeyPrefix = "ui.interactive.";

double uptime() { return foundation::Clock::current()->uptime(); }

}  // namespace

struct PercentDrivenInteractiveTransition::Tracks {
    detail::CapturedAnimations captured;

    void show(double percent) const {
        double now = uptime();
        for (const auto& change : captured.changes) {
            auto layer = change.layer.lock();
            if (!layer) continue;
            quartz::BasicAnimation hold;
            hold.keyPath = change.keyPath;
            hold.fromValue = hold.toValue = quartz::interpolate(change.from, change.to, percent);
            hold.beginTime = now;
            hold.duration = holdDuration;
            hold.fillMode = quartz::FillMode::both;
            layer->addAnimation(hold, std::string(trackKeyPrefix) + change.keyPath);
        }
    }

    // From the held fraction to the end (or back to the start) over `seconds`; the returning case
    // puts the model values back.
    void run(double percent, bool finishing, double seconds) const {
        double now = uptime();
        for (const auto& change : captured.changes) {
            auto layer = change.layer.lock();
            if (!layer) continue;
            if (!finishing) layer->setAnimatableValue(change.keyPath, change.from);
            quartz::BasicAnimation rest;
            rest.keyPath = change.keyPath;
            rest.fromValue = quartz::interpolate(change.from, change.to, percent);
            rest.toValue = finishing ? change.to : change.from;
            rest.beginTime = now;
            rest.duration = seconds;
            layer->addAnimation(rest, std::string(trackKeyPrefix) + change.keyPath);
        }
    }
};

PercentDrivenInteractiveTransition::PercentDrivenInteractiveTransition() : tracks_(std::make_unique<Tracks>()) {}

PercentDrivenInteractiveTransition::~PercentDrivenInteractiveTransition() = default;

void PercentDrivenInteractiveTransition::startInteractiveTransition(const std::shared_ptr<TransitionContext>& context) {
    context_ = context;
    percent_ = 0;
    context->setInteractive(true);
    auto animator = context->animator();
    if (!animator) return;
    duration_ = animator->transitionDuration(context);
    {
        detail::AnimationCapture capture;
        animator->animateTransition(context);
        tracks_->captured = capture.take();
    }
    if (tracks_->captured.duration > duration_) duration_ = tracks_->captured.duration;
    tracks_->show(0);
}

void PercentDrivenInteractiveTransition::update(double percentComplete) {
    percent_ = std::clamp(percentComplete, 0.0, 1.0);
    if (!context_) return;
    context_->updateInteractiveTransition(percent_);
    tracks_->show(percent_);
}

void PercentDrivenInteractiveTransition::finish() { end(true); }

void PercentDrivenInteractiveTransition::cancel() { end(false); }

void PercentDrivenInteractiveTransition::end(bool finishing) {
    auto context = std::move(context_);
    if (!context) return;
    if (finishing)
        context->finishInteractiveTransition();
    else
        context->cancelInteractiveTransition();
    double remaining = finishing ? 1 - percent_ : percent_;
    double speed = completionSpeed_ > 0 ? completionSpeed_ : 1;
    double seconds = std::max(remaining * duration_ / speed, 1e-3);
    tracks_->run(percent_, finishing, seconds);
    auto completions = std::move(tracks_->captured.completions);
    tracks_->captured = {};
    runLoopBridge()->performAfter(seconds, [completions = std::move(completions), context] {
        for (const auto& completion : completions) completion(true);
    });
}

}  // namespace ui
