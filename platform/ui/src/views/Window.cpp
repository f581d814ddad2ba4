#include "ui/Window.h"

#include <utility>

#include "gfx/Context.h"
#include "quartz/Renderer.h"
#include "ui/MenuPopup.h"
#include "ui/RunLoopBridge.h"
#include "ui/Scene.h"
#include "ui/ViewController.h"

namespace ui {

namespace {

std::weak_ptr<Window>& keyWindowSlot() {
    static std::weak_ptr<Window> window;
    return window;
}

bool animatesContent(const View& view) {
    if (view.isHidden()) return false;
    if (view.isAnimatingContent()) return true;
    for (const auto& subview : view.subviews())
        if (animatesContent(*subview)) return true;
    return false;
}

}  // namespace

Screen Screen::main() {
    if (auto window = Window::keyWindow()) return window->screen();
    return {};
}

EdgeInsets defaultSafeAreaInsets(Size screenSize) {
    if (screenSize == Size{390, 844}) return {47, 0, 34, 0};
    return {};
}

Window::Window(Screen screen) : View(screen.bounds), screen_(screen) {
    safeAreaInsets_ = defaultSafeAreaInsets(screen.bounds.size);
    setLayoutName("Window");
}

Window::Window(const std::shared_ptr<WindowScene>& scene) : Window(scene ? scene->screen() : Screen{}) {
    windowScene_ = scene;
}

void Window::setScreen(const Screen& screen) {
    screen_ = screen;
    safeAreaInsets_ = defaultSafeAreaInsets(screen.bounds.size);
    setFrame(screen.bounds);
    setNeedsRender();
}

void Window::setWindowSafeAreaInsets(const EdgeInsets& insets) {
    safeAreaInsets_ = insets;
    setNeedsLayout();
}

void Window::makeKeyAndVisible() {
    keyWindowSlot() = sharedWindow();
    setHidden(false);
    if (auto scene = windowScene_.lock()) scene->addWindow(sharedWindow());
    bool wasVisible = visible_;
    visible_ = true;
    if (!wasVisible) installRootView();
    setNeedsRender();
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
    if (controller == rootViewController_) return;
    if (rootViewController_) {
        if (auto old = rootViewController_->viewIfLoaded(); old && old->superview().get() == this) {
            rootViewController_->beginAppearanceTransition(false, false);
            old->removeFromSuperview();
            rootViewController_->endAppearanceTransition();
        }
    }
    rootViewController_ = std::move(controller);
    if (visible_) installRootView();
}

void Window::installRootView() {
    if (!rootViewController_) return;
    auto controller = rootViewController_;
    std::shared_ptr<View> view = controller->view();
    view->setFrame(bounds());
    insertSubview(view, 0);
    controller->beginAppearanceTransition(true, false);
    std::weak_ptr<ViewController> weak = controller;
    runLoopBridge()->performAtEndOfTurn([weak] {
        if (auto shown = weak.lock()) shown->endAppearanceTransition();
    });
}

void Window::addFillingSubview(const std::shared_ptr<View>& view) {
    std::erase_if(fillingSubviews_, [](const std::weak_ptr<View>& held) { return held.expired(); });
    fillingSubviews_.push_back(view);
    view->setFrame(bounds());
    addSubview(view);
}

void Window::layoutSubviews() {
    if (rootViewController_)
        if (auto view = rootViewController_->viewIfLoaded(); view && view->superview().get() == this) view->setFrame(bounds());
    for (const auto& held : fillingSubviews_)
        if (auto view = held.lock(); view && view->superview().get() == this) view->setFrame(bounds());
}

bool Window::isKeyWindow() const { return keyWindowSlot().lock().get() == this; }

std::shared_ptr<Window> Window::keyWindow() { return keyWindowSlot().lock(); }

void Window::setNeedsRender() {
    needsRender_ = true;
    if (renderScheduled_) return;
    std::weak_ptr<LayoutItem> weak = weak_from_this();
    if (weak.expired()) return;
    renderScheduled_ = true;
    runLoopBridge()->performAtEndOfTurn([weak] {
        if (auto item = weak.lock()) {
            auto& window = static_cast<Window&>(*item);
            window.renderScheduled_ = false;
            window.renderIfNeeded();
        }
    });
}

void Window::renderIfNeeded() {
    if (!needsRender_) return;
    // Requests made while laying out belong to this pass, not to a new one.
    bool wasScheduled = renderScheduled_;
    renderScheduled_ = true;
    // A menu whose view left the window (a screen popped, a row reused) goes with it.
    MenuPopup::closeMenusOpenedIn(*this, nullptr);
    layoutIfNeeded();
    placeFocusRing();
    layer()->displayIfNeeded();
    needsRender_ = false;
    ++renderPasses_;
    if (renderHandler_) renderHandler_(*this);
    renderScheduled_ = wasScheduled;
}

void Window::sendTouch(Touch& touch, const Event& event) {
    if (touchFilter_ && touchFilter_(touch, event)) return;
    if (touch.phase == TouchPhase::began) {
        if (!focused_.expired()) setNeedsRender();
        focused_.reset();  // the pointer took over from the keyboard
        touch.view = hitTest(convertPointFrom(touch.locationInWindow, nullptr), event);
    }
    std::shared_ptr<View> view = touch.view.lock();
    if (!view) return;
    std::vector<Touch> touches{touch};
    switch (touch.phase) {
        case TouchPhase::began: view->touchesBegan(touches, event); break;
        case TouchPhase::moved:
        case TouchPhase::stationary: view->touchesMoved(touches, event); break;
        case TouchPhase::ended: {
            // What the tap opens is opened from where it ended.
            auto outer = std::exchange(tapped_, placeOfTap(view));
            view->touchesEnded(touches, event);
            tapped_ = std::move(outer);
            break;
        }
        case TouchPhase::cancelled: view->touchesCancelled(touches, event); break;
    }
}

bool Window::sendScrollWheel(Point point, double dx, double dy, const Event& event) {
    for (auto view = hitTest(convertPointFrom(point, nullptr), event); view; view = view->superview())
        if (view->scrollWheel(view->convertPointFrom(point, nullptr), dx, dy)) return true;
    return false;
}

gfx::Bitmap Window::drawFrame(double time, const std::optional<gfx::Color>& background) {
    Size size = bounds().size;
    auto context = gfx::Context::create(size, {screen_.scale, gfx::PixelFormat::argb32, gfx::Origin::topLeft});
    if (!context) return {};
    if (background) {
        context->setFillColor(*background);
        context->fillRect({{0, 0}, size});
    }
    quartz::render(*layer(), *context, quartz::RenderTime{time});
    quartz::pruneFinishedAnimations(*layer(), quartz::RenderTime{time});
    // The context ends here: its pixels are the frame, not a copy of them.
    return context->takeImage();
}

bool Window::hasRunningAnimations(double time) const {
    return quartz::hasRunningAnimations(*layer(), quartz::RenderTime{time}) || animatesContent(*this);
}

}  // namespace ui
