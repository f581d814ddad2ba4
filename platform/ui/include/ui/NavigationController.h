#pragma once

#include <memory>
#include <vector>

#include "ui/PanGestureRecognizer.h"
#include "ui/ViewController.h"
#include "ui/ViewControllerTransitioning.h"

namespace ui {

class NavigationController;

enum class NavigationOperation { none, push, pop };

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void navigationControllerWillShow(NavigationController&, const std::shared_ptr<ViewController>&, bool /*animated*/) {}
    virtual void navigationControllerDidShow(NavigationController&, const std::shared_ptr<ViewController>&, bool /*animated*/) {}
    // A custom animator for a push or pop; none takes the built-in slide.
    virtual std::shared_ptr<AnimatedTransitioning> animationControllerFor(NavigationController&, NavigationOperation,
                                                                          const std::shared_ptr<ViewController>& /*from*/,
                                                                          const std::shared_ptr<ViewController>& /*to*/) {
        return nullptr;
    }
    // Asked after the animator: an interaction controller makes the transition follow the user.
    virtual std::shared_ptr<InteractiveTransitioning> interactionControllerFor(
        NavigationController&, const std::shared_ptr<AnimatedTransitioning>& /*animator*/) {
        return nullptr;
    }
};

// A stack of controllers showing the top one; pushes and pops slide, or run the delegate's
// animator, interactively when the delegate gives an interaction controller.
class NavigationController : public ViewController {
public:
    static constexpr double slideDuration = 0.35;

    explicit NavigationController(std::shared_ptr<ViewController> rootViewController = nullptr);

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
    void setViewControllers(std::vector<std::shared_ptr<ViewController>> controllers);
    std::shared_ptr<ViewController> topViewController() const { return stack_.empty() ? nullptr : stack_.back(); }
    // The top controller, or what it presents.
    std::shared_ptr<ViewController> visibleViewController() const;

    void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    // The popped controller; none with one controller left or while a transition runs.
    std::shared_ptr<ViewController> popViewController(bool animated);
    bool isTransitioning() const { return transitioning_; }

    // No bar is drawn; the flag is kept for callers that set it.
    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden, bool /*animated*/ = false) { navigationBarHidden_ = hidden; }

    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NavigationControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // The built-in pop by a rightward drag from the left edge, on the controller's view. It begins
    // only with more than one controller and, when it has a delegate, when the delegate agrees.
    const std::shared_ptr<PanGestureRecognizer>& interactivePopGestureRecognizer() const { return popRecognizer_; }
    static constexpr double popEdgeWidth = 20;

    void loadView() override;

protected:
    std::vector<std::shared_ptr<ViewController>> childrenReceivingAppearance() const override;

private:
    void transition(NavigationOperation operation, const std::shared_ptr<ViewController>& from,
                    const std::shared_ptr<ViewController>& to, bool animated);
    void transitionEnded(NavigationOperation operation, const std::shared_ptr<ViewController>& from,
                         const std::shared_ptr<ViewController>& to, bool completed, bool animated);
    bool isShowing() const;
    void handlePopGesture(PanGestureRecognizer& recognizer);

    class PopGestureGate;

    std::vector<std::shared_ptr<ViewController>> stack_;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    std::shared_ptr<ViewController> pendingRoot_;
    std::shared_ptr<PanGestureRecognizer> popRecognizer_ = std::make_shared<PanGestureRecognizer>();
    std::shared_ptr<PopGestureGate> popGate_;
    std::shared_ptr<PercentDrivenInteractiveTransition> popDriver_;
    bool navigationBarHidden_ = false;
    bool transitioning_ = false;
};

}  // namespace ui
