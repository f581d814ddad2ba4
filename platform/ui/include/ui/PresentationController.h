#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

class ViewController;

// Runs one modal presentation: a container view over the window, the presented view in it, the
// slide in and out, and the appearance calls. The base shows the controller over the whole window;
// sheets derive from it.
class PresentationController : public std::enable_shared_from_this<PresentationController> {
public:
    static constexpr double transitionDuration = 0.3;

    PresentationController(const std::shared_ptr<ViewController>& presented,
                           const std::shared_ptr<ViewController>& presenting);
    virtual ~PresentationController();

    std::shared_ptr<ViewController> presentedViewController() const { return presented_.lock(); }
    std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
    // The window-sized view the presentation lives in; null before it starts and after it ends.
    const std::shared_ptr<View>& containerView() const { return container_; }
    // What moves in and out: the presented controller's view, or the sheet around it.
    virtual std::shared_ptr<View> presentedView() const;
    virtual Rect frameOfPresentedViewInContainerView() const;
    // Whether the presenter's view leaves the screen while this is shown (and disappears).
    virtual bool shouldRemovePresentersView() const { return removesPresenter_; }

protected:
    // The container hit-tests through here: touches outside the presentation may pass to what lies
    // beneath by returning null.
    virtual std::shared_ptr<View> hitTestContainer(Point point, const Event& event);
    // Called on each layout of the container, to place the presented view.
    virtual void containerViewDidLayoutSubviews();
    virtual void presentationTransitionWillBegin() {}
    virtual void presentationTransitionDidEnd(bool /*completed*/) {}
    virtual void dismissalTransitionWillBegin() {}
    virtual void dismissalTransitionDidEnd(bool /*completed*/) {}
    // Ends the presentation as a user's gesture does (the sheet's drag, a tap on the dimming).
    void dismissByUser();
    void setRemovesPresenter(bool removes) { removesPresenter_ = removes; }
    void setPresenting(const std::shared_ptr<ViewController>& presenting) { presenting_ = presenting; }
    virtual void userDidDismiss() {}
    bool isPresented() const { return container_ != nullptr; }

private:
    friend class ViewController;
    friend class PresentationContainerView;

    void runPresentation(bool animated, std::function<void()> completion);
    // `immediate` ends it within the call, for controllers dismissed from beneath the top one.
    void runDismissal(bool animated, bool immediate, std::function<void()> completion);
    // The presenter's view on the window (its own or its presentation's container).
    std::shared_ptr<View> presentersWindowView() const;

    std::weak_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    std::shared_ptr<View> container_;
    bool removesPresenter_ = false;
    // Where the keyboard was when this began (the button or row that opened it); it goes back there
    // when this ends.
    Window::KeyboardPlace openedFrom_;
    // Completions of dismissals asked for while this one ran; they follow its own.
    std::vector<std::function<void()>> dismissalCompletions_;
};

}  // namespace ui
