#include "ui/Window.h"

#include "quartz/Renderer.h"
#include "ui/RunLoopBridge.h"

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
    setNeedsRender();
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
    layoutIfNeeded();
    layer()->displayIfNeeded();
    needsRender_ = false;
    ++renderPasses_;
    if (renderHandler_) renderHandler_(*this);
    renderScheduled_ = wasScheduled;
}

void Window::sendTouch(Touch& touch, const Event& event) {
    if (touchFilter_ && touchFilter_(touch, event)) return;
    if (touch.phase == TouchPhase::began) touch.view = hitTest(convertPointFrom(touch.locationInWindow, nullptr), event);
    std::shared_ptr<View> view = touch.view.lock();
    if (!view) return;
    std::vector<Touch> touches{touch};
    switch (touch.phase) {
        case TouchPhase::began: view->touchesBegan(touches, event); break;
        case TouchPhase::moved:
        case TouchPhase::stationary: view->touchesMoved(touches, event); break;
        case TouchPhase::ended: view->touchesEnded(touches, event); break;
        case TouchPhase::cancelled: view->touchesCancelled(touches, event); break;
    }
}

bool Window::hasRunningAnimations(double time) const {
    return quartz::hasRunningAnimations(*layer(), quartz::RenderTime{time}) || animatesContent(*this);
}

}  // namespace ui
