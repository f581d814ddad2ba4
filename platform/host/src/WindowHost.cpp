#include "host/WindowHost.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <thread>

#include "EventTranslator.h"
#include "InputPump.h"
#include "WindowRenderer.h"

namespace host {

namespace {

std::optional<double> zoomFromEnvironment() {
    const char* text = std::getenv("SORVANE_WINDOW_ZOOM");
    if (!text) return std::nullopt;
    char* end = nullptr;
    double zoom = std::strtod(text, &end);
    if (end != text && *end == '\0' && zoom > 0 && zoom <= 4) return zoom;
    return std::nullopt;
}

}  // namespace

WindowOptions WindowOptions::fromEnvironment() {
    WindowOptions options;
    options.fitsDisplay = true;
    if (auto zoom = zoomFromEnvironment()) {
        options.zoom = *zoom;
        options.fitsDisplay = false;
    }
    return options;
}

std::string WindowOptions::environmentProblem() {
    const char* text = std::getenv("SORVANE_WINDOW_ZOOM");
    if (!text || !*text || zoomFromEnvironment()) return {};
    return "SORVANE_WINDOW_ZOOM is \"" + std::string(text) + "\"; it must be a number above 0 and at most 4";
}

double WindowOptions::zoomToFit(const DeviceMetrics& device, int usableWidth, int usableHeight) {
    constexpr double step = 0.05;
    constexpr double smallest = 0.1;
    if (usableWidth <= 0 || usableHeight <= 0) return 1;
    double fits = std::min({1.0, usableWidth / static_cast<double>(device.pixelWidth()),
                            usableHeight / static_cast<double>(device.pixelHeight())});
    // A step down, not to the nearest: the window must fit, and steps keep the scaling even.
    return std::max(smallest, std::floor(fits / step + 1e-9) * step);
}

std::expected<std::shared_ptr<WindowHost>, std::string> WindowHost::open(WindowOptions options,
                                                                         std::shared_ptr<dispatch::RunLoop> loop) {
    if (!(options.zoom > 0) || !(options.device.scale > 0) || options.device.widthPoints <= 0 ||
        options.device.heightPoints <= 0)
        return std::unexpected(std::string("window: size, scale and zoom must be positive"));
    auto host = std::make_shared<WindowHost>(Private{}, std::move(options), std::move(loop));
    if (auto started = host->start(); !started) return std::unexpected(started.error());
    return host;
}

WindowHost::WindowHost(Private, WindowOptions options, std::shared_ptr<dispatch::RunLoop> loop)
    : options_(std::move(options)), loop_(loop) {}

WindowHost::~WindowHost() {
    if (auto loop = loop_.lock(); loop && pump_) {
        loop->setInputHandler({});
        loop->setRedrawHandler({});
    }
    // The pump's event watch and thread go before SDL's video does.
    pump_.reset();
    renderer_.reset();
}

std::expected<void, std::string> WindowHost::start() {
    auto renderer = WindowRenderer::create(options_);
    if (renderer) options_.zoom = (*renderer)->zoom();
    if (!renderer) return std::unexpected(renderer.error());
    renderer_ = std::move(*renderer);
    refreshRate_ = renderer_->refreshRate();
    frameInterval_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / refreshRate_));

    translator_ = std::make_unique<EventTranslator>();
    translator_->onExposed = [this] { showCurrentFrame(); };
    translator_->onTerminate = [this] { terminate(); };

    auto loop = loop_.lock();
    if (!loop) return std::unexpected(std::string("window: the run loop is gone"));
    pump_ = std::make_unique<InputPump>(renderer_->connectionDescriptor(), loop_);
    std::weak_ptr<WindowHost> weak = weak_from_this();
    loop->setInputHandler([weak] {
        if (auto self = weak.lock()) self->pumpEvents();
    });
    loop->setRedrawHandler([weak] {
        if (auto self = weak.lock()) self->redraw();
    });
    // Until the first frame the window shows its background rather than whatever was there.
    showCurrentFrame();
    return {};
}

void WindowHost::pumpEvents() {
    pump_->beginDrain();
    EventTranslator::Window window{options_.device.widthPoints, options_.device.heightPoints,
                                   renderer_->windowWidth(), renderer_->windowHeight()};
    SDL_Event event;
    while (SDL_PollEvent(&event)) translator_->translate(event, window, sink().get());
    pump_->endDrain();
}

// The wait comes before the frame is asked for, so that what is shown is as fresh as the slot allows.
void WindowHost::redraw() {
    if (!frameSource_ || terminating_) return;
    waitForFrameSlot();
    gfx::Bitmap frame = frameSource_();
    if (!frame.empty() && renderer_->upload(frame)) drawAndPresent();
}

void WindowHost::present(const gfx::Bitmap& frame) {
    waitForFrameSlot();
    if (renderer_->upload(frame)) drawAndPresent();
}

void WindowHost::showCurrentFrame() {
    waitForFrameSlot();
    drawAndPresent();
}

void WindowHost::drawAndPresent() {
    renderer_->draw();
    renderer_->present();
    ++presentCount_;
    // A present can read X events into Xlib's own queue, where the watcher cannot see them; moving them
    // into SDL's queue fires the event watch, which wakes the loop.
    SDL_PumpEvents();
}

// Without vsync a present returns at once; the next one then waits out the rest of the frame, as a
// synchronised present would block. Measured from the previous present's start, so with vsync this
// does not wait and cannot skip a refresh.
void WindowHost::waitForFrameSlot() {
    auto slot = lastPresentStart_ + frameInterval_;
    auto now = std::chrono::steady_clock::now();
    if (now < slot) std::this_thread::sleep_for(slot - now);
    lastPresentStart_ = std::chrono::steady_clock::now();
}

gfx::Bitmap WindowHost::screenshot() {
    renderer_->draw();
    return renderer_->readPixels();
}

void WindowHost::terminate() {
    terminating_ = true;
    if (auto loop = loop_.lock()) loop->stop();
}

}  // namespace host
