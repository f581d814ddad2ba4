#include "ui/HeadlessHost.h"

#include <cmath>
#include <fstream>

#include "foundation/Clock.h"
#include "gfx/Context.h"
#include "gfx/ImageEncoder.h"
#include "quartz/Renderer.h"
#include "dispatch/RunLoop.h"
#include "ui/ContextMenuInteraction.h"
#include "ui/GestureRecognizer.h"
#include "ui/ScrollView.h"

namespace ui {

namespace {

double uptime() { return foundation::Clock::current()->uptime(); }

}  // namespace

HeadlessHost::HeadlessHost(Options options)
    : options_(options), window_(std::make_shared<Window>(Screen{{0, 0, options.size.width, options.size.height}, options.scale})) {
    window_->setRenderHandler([this](Window&) { drawFrame(); });
    window_->makeKeyAndVisible();
    installGestureHandling(*window_);
}

HeadlessHost::~HeadlessHost() { window_->setRenderHandler(nullptr); }

bool HeadlessHost::renderIfNeeded() {
    std::size_t before = frames_;
    dispatch::RunLoop::main()->runOnce();
    window_->renderIfNeeded();
    double now = uptime();
    bool moving = window_->hasRunningAnimations(now) ||
                  (lastFrameTime_ && *lastFrameTime_ != now && window_->hasRunningAnimations(*lastFrameTime_));
    if (frames_ == before && moving && lastFrameTime_ != now) drawFrame();
    return frames_ != before;
}

const gfx::Bitmap& HeadlessHost::snapshot() {
    window_->layoutIfNeeded();
    window_->layer()->displayIfNeeded();
    drawFrame();
    return frame_;
}

void HeadlessHost::drawFrame() {
    double now = uptime();
    auto context = gfx::Context::create(options_.size, {options_.scale, gfx::PixelFormat::argb32, gfx::Origin::topLeft});
    if (!context) return;
    if (options_.background) {
        context->setFillColor(*options_.background);
        context->fillRect({{0, 0}, options_.size});
    }
    quartz::render(*window_->layer(), *context, quartz::RenderTime{now});
    quartz::pruneFinishedAnimations(*window_->layer(), quartz::RenderTime{now});
    frame_ = context->makeImage();
    lastFrameTime_ = now;
    ++frames_;
}

std::optional<gfx::Color> HeadlessHost::pixel(Point point) const {
    int x = static_cast<int>(std::floor(point.x * options_.scale));
    int y = static_cast<int>(std::floor(point.y * options_.scale));
    if (x < 0 || y < 0 || x >= frame_.width || y >= frame_.height) return std::nullopt;
    return gfx::Color::fromPremultipliedPixel(frame_.pixel(x, y));
}

bool HeadlessHost::writePng(const std::string& path) const {
    auto png = gfx::encodePng(frame_);
    if (!png) return false;
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
    return static_cast<bool>(file);
}

void HeadlessHost::deliver(TouchPhase phase, Point point) {
    if (phase == TouchPhase::began) {
        touch_ = Touch{};
        touch_->previousLocationInWindow = point;
    } else if (!touch_) {
        return;
    } else {
        touch_->previousLocationInWindow = touch_->locationInWindow;
    }
    touch_->phase = phase;
    touch_->locationInWindow = point;
    touch_->timestamp = uptime();
    window_->sendTouch(*touch_, Event{touch_->timestamp});
    if (phase == TouchPhase::ended || phase == TouchPhase::cancelled) touch_.reset();
    renderIfNeeded();
}

void HeadlessHost::touchDown(Point point) { deliver(TouchPhase::began, point); }
void HeadlessHost::touchMove(Point point) { deliver(TouchPhase::moved, point); }
void HeadlessHost::touchUp(Point point) { deliver(TouchPhase::ended, point); }
void HeadlessHost::touchCancel() {
    if (touch_) deliver(TouchPhase::cancelled, touch_->locationInWindow);
}

void HeadlessHost::tap(Point point) {
    touchDown(point);
    touchUp(point);
}

void HeadlessHost::drag(Point from, Point to, int steps) {
    touchDown(from);
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps; ++i) {
        double t = static_cast<double>(i) / steps;
        touchMove({from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t});
    }
    touchUp(to);
}

void HeadlessHost::wheel(Point point, double dx, double dy) {
    for (auto view = window_->hitTest(window_->convertPointFrom(point, nullptr), Event{uptime()}); view;
         view = view->superview()) {
        if (auto scrollView = std::dynamic_pointer_cast<ScrollView>(view); scrollView && scrollView->scroll(dx, dy)) break;
    }
    renderIfNeeded();
}

void HeadlessHost::secondaryClick(Point point) {
    ContextMenuInteraction::secondaryClick(*window_, point);
    renderIfNeeded();
}

}  // namespace ui
