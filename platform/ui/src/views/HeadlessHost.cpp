#include "ui/HeadlessHost.h"

#include <cmath>
#include <fstream>

#include "foundation/Clock.h"
#include "gfx/ImageEncoder.h"
#include "dispatch/RunLoop.h"
#include "ui/ContextMenuInteraction.h"
#include "ui/GestureRecognizer.h"

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

void HeadlessHost::show(const std::shared_ptr<Window>& window) {
    if (!window || window == window_) return;
    window_->setRenderHandler(nullptr);
    window_ = window;
    window_->setRenderHandler([this](Window&) { drawFrame(); });
    installGestureHandling(*window_);
    window_->setNeedsRender();
}

void HeadlessHost::run() {
    stopped_ = false;
    while (!stopped_) {
        renderIfNeeded();
        if (stopped_ || window_->hasRunningAnimations(uptime())) continue;
        dispatch::RunLoop::main()->runUntil([this] { return stopped_ || window_->needsRender(); }, 1.0 / 60);
    }
}

void HeadlessHost::stop() {
    stopped_ = true;
    dispatch::RunLoop::main()->wake();
}

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
    gfx::Bitmap frame = window_->drawFrame(now, options_.background);
    if (frame.empty()) return;
    frame_ = std::move(frame);
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
    touches_.send(*window_, phase, point, uptime());
    renderIfNeeded();
}

void HeadlessHost::touchDown(Point point) { deliver(TouchPhase::began, point); }
void HeadlessHost::touchMove(Point point) { deliver(TouchPhase::moved, point); }
void HeadlessHost::touchUp(Point point) { deliver(TouchPhase::ended, point); }
void HeadlessHost::touchCancel() {
    if (auto location = touches_.location()) deliver(TouchPhase::cancelled, *location);
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
    window_->sendScrollWheel(point, dx, dy, Event{uptime()});
    renderIfNeeded();
}

void HeadlessHost::secondaryClick(Point point) {
    ContextMenuInteraction::secondaryClick(*window_, point);
    renderIfNeeded();
}

}  // namespace ui
