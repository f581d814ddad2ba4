#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/View.h"
#include "ui/Window.h"

namespace ui {

class NavigationController;
class PresentationController;
class SheetPresentationController;

// How a presented controller covers its presenter. On a phone automatic, pageSheet and formSheet
// are all sheets with detents; fullScreen hides the presenter (which disappears), overFullScreen
// keeps it beneath.
enum class ModalPresentationStyle { automatic, pageSheet, formSheet, fullScreen, overFullScreen };

struct TraitCollection {
    UserInterfaceIdiom userInterfaceIdiom = UserInterfaceIdiom::phone;
    double displayScale = 2;
};

// Owns a view that it loads on first use and manages: the appearance callbacks, the layout
// callbacks around the view's layout pass, child controllers, and modal presentation.
// Controllers live in shared_ptrs and are used on the main thread only.
class ViewController : public std::enable_shared_from_this<ViewController> {
public:
    ViewController();
    virtual ~ViewController();
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Loads the view on first use: loadView, then viewDidLoad.
    std::shared_ptr<View> view();
    std::shared_ptr<View> viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void loadViewIfNeeded() { view(); }
    // Replaces the view; the controller becomes the new view's controller.
    void setView(std::shared_ptr<View> view);

    // Makes the view; the default is a plain view of the screen's size.
    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    // Around the view's own layoutSubviews in a layout pass.
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    TraitCollection traitCollection() const;
    // "<TypeName: 0x...>", as the console shows controllers.
    virtual std::string description() const;

    // Containment. The parent adds the child's view wherever it likes.
    std::shared_ptr<ViewController> parent() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<ViewController>>& children() const { return children_; }
    void addChild(const std::shared_ptr<ViewController>& child);
    void removeFromParent();
    virtual void willMoveToParent(const std::shared_ptr<ViewController>& /*parent*/) {}
    virtual void didMoveToParent(const std::shared_ptr<ViewController>& /*parent*/) {}
    // The nearest navigation controller among the ancestors.
    std::shared_ptr<NavigationController> navigationController() const;

    // Presentation. A child presents through the root of its containment. A controller that is
    // already presenting refuses (a console warning) without loading the new controller's view.
    // Completions run on the main thread once the animation (0.3 s) has ended.
    void present(const std::shared_ptr<ViewController>& controller, bool animated,
                 std::function<void()> completion = nullptr);
    // Dismisses what this controller presents or, presenting nothing, itself (and everything above).
    void dismiss(bool animated, std::function<void()> completion = nullptr);
    std::shared_ptr<ViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<ViewController> presentingViewController() const { return presenting_.lock(); }
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }

    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle style);
    // A modal sheet cannot be dragged or tapped away; only dismiss() ends it.
    bool isModalInPresentation() const { return modalInPresentation_; }
    void setModalInPresentation(bool modal) { modalInPresentation_ = modal; }
    // The sheet's controller for sheet styles (made on first ask, used when presented); null for
    // full-screen styles.
    std::shared_ptr<SheetPresentationController> sheetPresentationController();
    // The presentation in progress or on screen, while presented.
    std::shared_ptr<PresentationController> presentationController() const { return presentation_; }

    // The window the view is in, if any.
    std::shared_ptr<Window> window() const;

    // Appearance, sent to this controller and forwarded to its children. Containers and the
    // presentation machinery call these; apps use present, dismiss and the window.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();

protected:
    // The children the appearance calls are forwarded to: all of them, unless a container shows
    // only some (a navigation controller shows its top).
    virtual std::vector<std::shared_ptr<ViewController>> childrenReceivingAppearance() const { return children_; }

private:
    friend class PresentationController;
    friend class Window;

    void loadViewNow();
    bool isSheetStyle() const;

    std::shared_ptr<View> view_;
    std::string title_;
    std::weak_ptr<ViewController> parent_;
    std::vector<std::shared_ptr<ViewController>> children_;
    std::shared_ptr<ViewController> presented_;
    std::weak_ptr<ViewController> presenting_;
    std::shared_ptr<PresentationController> presentation_;
    std::shared_ptr<SheetPresentationController> sheet_;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::automatic;
    bool modalInPresentation_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    bool loading_ = false;
    // The last appearance state sent: disappeared, appearing, appeared, disappearing.
    enum class Appearance { disappeared, appearing, appeared, disappearing } appearance_ = Appearance::disappeared;
    bool appearanceAnimated_ = false;
};

// The top of the presentation chain from a controller: follows presentedViewController.
std::shared_ptr<ViewController> topPresentedController(std::shared_ptr<ViewController> controller);

}  // namespace ui
