#include <cmath>
#include <vector>

#include "AnimationTransaction.h"
#include "foundation/Clock.h"
#include "gfx/Context.h"
#include "quartz/Renderer.h"
#include "ui/RunLoopBridge.h"
#include "ui/View.h"
#include "ui/Window.h"

// Property animation by capture: setters report the model value they are about to replace, and the
// end of the block turns every value that changed into layer animations from the old to the new.
namespace ui {

namespace {

struct Change {
    std::weak_ptr<quartz::Layer> layer;
    std::string keyPath;
    quartz::AnimationValue from;
};

struct Transaction {
    std::vector<Change> changes;
};

thread_local std::vector<Transaction> openTransactions;
thread_local std::vector<detail::AnimationCapture*> openCaptures;
thread_local int animationsDisabled = 0;

double uptime() { return foundation::Clock::current()->uptime(); }

quartz::TimingFunction timingFor(AnimationCurve curve) {
    switch (curve) {
        case AnimationCurve::linear: return quartz::TimingFunction::linear;
        case AnimationCurve::easeIn: return quartz::TimingFunction::easeIn;
        case AnimationCurve::easeOut: return quartz::TimingFunction::easeOut;
        case AnimationCurve::easeInOut: break;
    }
    return quartz::TimingFunction::easeInEaseOut;
}

std::string animationKey(const std::string& keyPath) { return "ui." + keyPath; }

// Where an animation already running on the key path shows the value now, so a new animation starts
// from what is on screen rather than jumping.
quartz::AnimationValue startValue(const quartz::Layer& layer, const Change& change, double now) {
    if (!layer.animation(animationKey(change.keyPath))) return change.from;
    if (auto presented = layer.presentationLayer(now))
        if (auto value = presented->animatableValue(change.keyPath)) return *value;
    return change.from;
}

// A damped spring from 0 to 1 over `duration`, as the fraction of the change at time t.
struct Spring {
    double dampingRatio;
    double initialVelocity;
    double duration;

    double at(double t) const {
        double zeta = std::clamp(dampingRatio, 0.05, 1.0);
        // Stiffness chosen so the motion has settled to a thousandth by the end.
        double omega = std::log(1000.0) / (zeta * std::max(duration, 1e-3));
        double v0 = -initialVelocity;  // velocity of the remaining distance (starts at 1)
        double remaining;
        if (zeta >= 1) {
            remaining = (1 + (v0 + omega) * t) * std::exp(-omega * t);
        } else {
            double damped = omega * std::sqrt(1 - zeta * zeta);
            double b = (v0 + zeta * omega) / damped;
            remaining = std::exp(-zeta * omega * t) * (std::cos(damped * t) + b * std::sin(damped * t));
        }
        return 1 - remaining;
    }
};

constexpr int springSegments = 16;

struct Plan {
    double duration = 0;
    double delay = 0;
    ViewAnimationOptions options;
    std::optional<Spring> spring;
};

void addAnimations(quartz::Layer& layer, const Change& change, const quartz::AnimationValue& to, const Plan& plan,
                   double now) {
    quartz::AnimationValue from = startValue(layer, change, now);
    double begin = now + plan.delay;
    if (!plan.spring) {
        quartz::BasicAnimation animation;
        animation.keyPath = change.keyPath;
        animation.fromValue = from;
        animation.toValue = to;
        animation.duration = plan.duration;
        animation.beginTime = begin;
        animation.timingFunction = timingFor(plan.options.curve);
        animation.fillMode = plan.delay > 0 ? quartz::FillMode::backwards : quartz::FillMode::removed;
        if (plan.options.repeat) animation.repeatCount = quartz::BasicAnimation::forever;
        animation.autoreverses = plan.options.autoreverse;
        layer.addAnimation(animation, animationKey(change.keyPath));
        return;
    }
    // The layer animates from/to pairs only, so the spring is drawn as a chain of short linear pieces.
    double piece = plan.duration / springSegments;
    for (int i = 0; i < springSegments; ++i) {
        quartz::BasicAnimation animation;
        animation.keyPath = change.keyPath;
        animation.fromValue = quartz::interpolate(from, to, plan.spring->at(piece * i));
        animation.toValue = quartz::interpolate(from, to, i + 1 == springSegments ? 1.0 : plan.spring->at(piece * (i + 1)));
        animation.duration = piece;
        animation.beginTime = begin + piece * i;
        animation.fillMode = i == 0 && plan.delay > 0 ? quartz::FillMode::backwards : quartz::FillMode::removed;
        std::string key = animationKey(change.keyPath);
        layer.addAnimation(animation, i == 0 ? key : key + "." + std::to_string(i));
    }
}

void commit(Transaction& transaction, const Plan& plan) {
    double now = uptime();
    for (const Change& change : transaction.changes) {
        auto layer = change.layer.lock();
        if (!layer) continue;
        std::optional<quartz::AnimationValue> to = layer->animatableValue(change.keyPath);
        if (!to || *to == change.from) continue;
        addAnimations(*layer, change, *to, plan, now);
    }
}

void scheduleCompletion(double after, std::function<void(bool)> completion) {
    if (!completion) return;
    runLoopBridge()->performAfter(after, [completion = std::move(completion)] { completion(true); });
}

void run(const Plan& plan, const std::function<void()>& animations, std::function<void(bool)> completion) {
    bool animating = animationsDisabled == 0 && plan.duration > 0;
    if (animating) openTransactions.emplace_back();
    if (animations) animations();
    if (animating) {
        Transaction transaction = std::move(openTransactions.back());
        openTransactions.pop_back();
        if (!openCaptures.empty()) {
            std::vector<detail::CapturedChange> changes;
            for (const Change& change : transaction.changes) {
                auto layer = change.layer.lock();
                if (!layer) continue;
                auto to = layer->animatableValue(change.keyPath);
                if (to && *to != change.from) changes.push_back({change.layer, change.keyPath, change.from, *to});
            }
            detail::captureBlock(std::move(changes), plan.delay + plan.duration, std::move(completion));
            return;
        }
        commit(transaction, plan);
    }
    scheduleCompletion(animating ? plan.delay + plan.duration : 0, std::move(completion));
}

}  // namespace

namespace detail {

AnimationCapture::AnimationCapture() { openCaptures.push_back(this); }

AnimationCapture::~AnimationCapture() { std::erase(openCaptures, this); }

void captureBlock(std::vector<CapturedChange> changes, double duration, std::function<void(bool)> completion) {
    CapturedAnimations& captured = openCaptures.back()->captured_;
    for (auto& change : changes) captured.changes.push_back(std::move(change));
    if (completion) captured.completions.push_back(std::move(completion));
    captured.duration = std::max(captured.duration, duration);
}

void willChange(quartz::Layer& layer, const char* keyPath) {
    if (openTransactions.empty() || animationsDisabled > 0) return;
    Transaction& transaction = openTransactions.back();
    for (const Change& change : transaction.changes)
        if (change.layer.lock().get() == &layer && change.keyPath == keyPath) return;  // the first old value counts
    if (auto value = layer.animatableValue(keyPath))
        transaction.changes.push_back({layer.weak_from_this(), keyPath, *value});
}

}  // namespace detail

void View::animate(double duration, double delay, ViewAnimationOptions options, const std::function<void()>& animations,
                   std::function<void(bool)> completion) {
    run({duration, delay, options, std::nullopt}, animations, std::move(completion));
}

void View::animate(double duration, const std::function<void()>& animations, std::function<void(bool)> completion) {
    animate(duration, 0, {}, animations, std::move(completion));
}

void View::animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                             ViewAnimationOptions options, const std::function<void()>& animations,
                             std::function<void(bool)> completion) {
    run({duration, delay, options, Spring{dampingRatio, initialVelocity, duration}}, animations,
        std::move(completion));
}

void View::performWithoutAnimation(const std::function<void()>& actions) {
    ++animationsDisabled;
    if (actions) actions();
    --animationsDisabled;
}

bool View::areAnimationsEnabled() { return animationsDisabled == 0; }

namespace {

// The view's current picture as a layer placed over its bounds.
std::shared_ptr<quartz::Layer> snapshotLayer(const View& view) {
    double scale = view.window() ? view.window()->screen().scale : Screen::main().scale;
    Rect bounds = view.bounds();
    auto context = gfx::Context::create(bounds.size, {scale, gfx::PixelFormat::argb32, gfx::Origin::topLeft});
    if (!context) return nullptr;
    context->translateBy(-bounds.origin.x, -bounds.origin.y);
    quartz::render(*view.layer(), *context, quartz::RenderTime{uptime()});
    auto snapshot = quartz::Layer::make();
    snapshot->setContents(std::make_shared<const gfx::Bitmap>(context->makeImage()));
    snapshot->setContentsScale(scale);
    snapshot->setBounds({{0, 0}, bounds.size});
    snapshot->setPosition({bounds.midX(), bounds.midY()});
    snapshot->setName("ui.transitionSnapshot");
    return snapshot;
}

quartz::BasicAnimation numberAnimation(const std::string& keyPath, double from, double to, double begin,
                                       double duration, quartz::FillMode fill) {
    quartz::BasicAnimation animation;
    animation.keyPath = keyPath;
    animation.fromValue = from;
    animation.toValue = to;
    animation.beginTime = begin;
    animation.duration = duration;
    animation.timingFunction = quartz::TimingFunction::easeInEaseOut;
    animation.fillMode = fill;
    return animation;
}

}  // namespace

void View::transition(const std::shared_ptr<View>& view, double duration, ViewAnimationOptions options,
                      const std::function<void()>& animations, std::function<void(bool)> completion) {
    bool animating = view && duration > 0 && animationsDisabled == 0 && options.transition != ViewTransition::none;
    std::shared_ptr<quartz::Layer> snapshot = animating ? snapshotLayer(*view) : nullptr;
    performWithoutAnimation(animations);
    if (!snapshot) {
        scheduleCompletion(0, std::move(completion));
        return;
    }
    double now = uptime();
    const auto& layer = view->layer();
    layer->addSublayer(snapshot);
    if (options.transition == ViewTransition::crossDissolve) {
        snapshot->setOpacity(0);
        snapshot->addAnimation(numberAnimation("opacity", 1, 0, now, duration, quartz::FillMode::removed), "fade");
    } else {
        // Flips turn the view edge-on and back: the old picture shows in the first half, the new in the second.
        bool horizontal =
            options.transition == ViewTransition::flipFromLeft || options.transition == ViewTransition::flipFromRight;
        std::string keyPath = horizontal ? "transform.scale.x" : "transform.scale.y";
        double half = duration / 2;
        layer->addAnimation(numberAnimation(keyPath, 1, 0, now, half, quartz::FillMode::removed), "ui.flip.out");
        layer->addAnimation(numberAnimation(keyPath, 0, 1, now + half, half, quartz::FillMode::removed), "ui.flip.in");
        snapshot->setOpacity(0);
        snapshot->addAnimation(numberAnimation("opacity", 1, 1, now, half, quartz::FillMode::removed), "show");
    }
    view->setNeedsRender();
    std::weak_ptr<quartz::Layer> weakSnapshot = snapshot;
    std::weak_ptr<View> weakView = view;
    runLoopBridge()->performAfter(duration, [weakSnapshot, weakView, completion = std::move(completion)] {
        if (auto layer = weakSnapshot.lock()) layer->removeFromSuperlayer();
        if (auto shown = weakView.lock()) shown->setNeedsDisplay();
        if (completion) completion(true);
    });
}

}  // namespace ui
