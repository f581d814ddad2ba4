#include "host/SDLApplicationHost.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include <SDL.h>

#include "dispatch/Queue.h"
#include "dispatch/RunLoop.h"
#include "foundation/Clock.h"
#include "host/PngFile.h"
#include "ui/ContextMenuInteraction.h"
#include "ui/GestureRecognizer.h"
#include "ui/ViewController.h"

namespace host {

static_assert(ScrollEvent::pointsPerWheelStep == ui::View::pointsPerWheelStep);

namespace {

double uptime() { return foundation::Clock::current()->uptime(); }

ui::TouchPhase touchPhase(TouchPhase phase) {
    switch (phase) {
        case TouchPhase::began: return ui::TouchPhase::began;
        case TouchPhase::moved: return ui::TouchPhase::moved;
        case TouchPhase::ended: return ui::TouchPhase::ended;
        case TouchPhase::cancelled: break;
    }
    return ui::TouchPhase::cancelled;
}

}  // namespace

// The window host holds its sink weakly; this small object is what it holds, owned by the host.
class SDLApplicationHost::Input final : public InputSink {
public:
    explicit Input(SDLApplicationHost& host) : host_(host) {}
    SDLApplicationHost& host() { return host_; }

    void touch(const TouchEvent& event) override { host_.touch(event); }
    void secondaryClick(const SecondaryClickEvent& event) override { host_.secondaryClick(event); }
    void scroll(const ScrollEvent& event) override { host_.scroll(event); }
    void key(const KeyEvent& event) override { host_.key(event); }
    void application(AppEvent event) override { host_.lifeCycle(event); }

private:
    SDLApplicationHost& host_;
};

std::expected<std::unique_ptr<SDLApplicationHost>, std::string> SDLApplicationHost::open(WindowOptions options) {
    auto windowHost = WindowHost::open(std::move(options), dispatch::RunLoop::main());
    if (!windowHost) return std::unexpected(windowHost.error());
    return std::make_unique<SDLApplicationHost>(Private{}, std::move(*windowHost));
}

SDLApplicationHost::SDLApplicationHost(Private, std::shared_ptr<WindowHost> windowHost)
    : windowHost_(std::move(windowHost)), input_(std::make_shared<Input>(*this)) {
    windowHost_->setInputSink(input_);
    windowHost_->setFrameSource([this] { return frame(); });
}

SDLApplicationHost::~SDLApplicationHost() {
    windowHost_->setFrameSource({});
    if (window_) window_->setRenderHandler(nullptr);
}

ui::Screen SDLApplicationHost::screen() const {
    const DeviceMetrics& device = windowHost_->device();
    ui::UserInterfaceIdiom idiom = device.idiom == Idiom::pad ? ui::UserInterfaceIdiom::pad : ui::UserInterfaceIdiom::phone;
    return {{{0, 0}, device.sizeInPoints()}, device.scale, idiom};
}

void SDLApplicationHost::show(const std::shared_ptr<ui::Window>& window) {
    if (!window) return;
    if (window_ && window_ != window) window_->setRenderHandler(nullptr);
    window_ = window;
    touches_ = {};
    window_->setWindowSafeAreaInsets(windowHost_->device().safeAreaInsets());
    // The window's coalesced render pass becomes the run loop's redraw, which asks frame() for it.
    window_->setRenderHandler([](ui::Window&) { dispatch::RunLoop::main()->setNeedsRedraw(); });
    ui::installGestureHandling(*window_);
    window_->setNeedsRender();
}

void SDLApplicationHost::run() {
    if (screenshotRequest_) {
        std::weak_ptr<Input> input = input_;
        auto path = screenshotRequest_->second;
        dispatch::Queue::main()->asyncAfter(screenshotRequest_->first, [input, path] {
            if (auto alive = input.lock()) alive->host().takeScreenshot(path);
        });
        screenshotRequest_.reset();
    }
    if (!windowHost_->isTerminating()) dispatch::RunLoop::main()->run();
}

void SDLApplicationHost::stop() { dispatch::RunLoop::main()->stop(); }

// Drawn at the moment of the redraw; while anything moves the next refresh is asked for at once, so
// an animation gets a frame per refresh and its last frame shows where it ended.
gfx::Bitmap SDLApplicationHost::frame() {
    if (!window_) return {};
    double now = uptime();
    gfx::Bitmap drawn = window_->drawFrame(now, background_);
    if (window_->hasRunningAnimations(now)) dispatch::RunLoop::main()->setNeedsRedraw();
    return drawn;
}

void SDLApplicationHost::touch(const TouchEvent& event) {
    if (!window_) return;
    // The window takes one touch at a time: a second finger is ignored until the first lifts.
    if (event.phase == TouchPhase::began) {
        if (touches_.isTouching()) return;
        touchId_ = event.touchId;
    } else if (event.touchId != touchId_) {
        return;
    }
    touches_.send(*window_, touchPhase(event.phase), event.point, event.timestamp);
}

void SDLApplicationHost::scroll(const ScrollEvent& event) {
    if (window_) window_->sendScrollWheel(event.point, event.dx, event.dy, ui::Event{event.timestamp});
}

void SDLApplicationHost::secondaryClick(const SecondaryClickEvent& event) {
    if (window_) ui::ContextMenuInteraction::secondaryClick(*window_, event.point);
}

// Escape closes the top-most menu, or else (as Ctrl+W does) does what a swipe down does to a sheet:
// the top-most presentation goes, unless it insists. Ctrl+Q does what closing the window does. The
// rest go to the window as on a desktop: Tab (Shift+Tab back) moves the focus round the buttons and
// menus, Return and the space bar press the focused one; the arrows move a list's selection (or
// scroll a list that has none), Return opens the selected row; pages, Home, End and the space bar
// (Shift for up) scroll.
void SDLApplicationHost::key(const KeyEvent& event) {
    std::shared_ptr<ui::Window> keyWindow = ui::Window::keyWindow();
    if (!keyWindow) keyWindow = window_;
    if (!keyWindow) return;
    if (event.control && !event.isRepeat && event.name == "Q") {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        return;
    }
    using Command = ui::Window::KeyCommand;
    auto send = [&](Command command) { return keyWindow->sendKeyCommand(command); };
    switch (event.key) {
        case Key::up: send(Command::previousRow) || send(Command::lineUp); return;
        case Key::down: send(Command::nextRow) || send(Command::lineDown); return;
        case Key::pageUp: send(Command::pageUp); return;
        case Key::pageDown: send(Command::pageDown); return;
        case Key::home: send(Command::home); return;
        case Key::end: send(Command::end); return;
        case Key::space:
            if (event.shift) send(Command::pageUp);
            else if (event.isRepeat || !send(Command::activate)) send(Command::pageDown);
            return;
        case Key::tab: send(event.shift ? Command::previousControl : Command::nextControl); return;
        case Key::enter:
            if (!event.isRepeat) send(Command::open);
            return;
        default: break;
    }
    bool closesSheet = event.key == Key::escape || (event.control && event.name == "W");
    if (!closesSheet || event.isRepeat || !keyWindow->rootViewController()) return;
    if (event.key == Key::escape && send(Command::cancel)) return;
    auto root = keyWindow->rootViewController();
    auto top = ui::topPresentedController(root);
    if (top == root || top->isModalInPresentation() || top->isBeingDismissed()) return;
    top->dismiss(true);
}

void SDLApplicationHost::lifeCycle(AppEvent event) {
    ui::Application& application = ui::Application::shared();
    switch (event) {
        case AppEvent::didBecomeActive: application.becomeActive(); break;
        case AppEvent::willResignActive: application.resignActive(); break;
        case AppEvent::didEnterBackground: application.enterBackground(); break;
        case AppEvent::willEnterForeground: application.enterForeground(); break;
        case AppEvent::willTerminate:
            application.terminate();
            stop();
            break;
    }
}

void SDLApplicationHost::screenshotAfter(double seconds, std::filesystem::path path) {
    screenshotRequest_.emplace(std::max(seconds, 0.0), std::move(path));
}

std::expected<bool, std::string> SDLApplicationHost::screenshotFromEnvironment() {
    const char* after = std::getenv("SORVANE_SCREENSHOT_AFTER");
    const char* path = std::getenv("SORVANE_SCREENSHOT_PATH");
    if (!after && !path) return false;
    if (!path || !*path) return std::unexpected(std::string("SORVANE_SCREENSHOT_PATH: a file path is needed"));
    char* end = nullptr;
    double seconds = after ? std::strtod(after, &end) : NAN;
    if (!after || end == after || *end != '\0' || !std::isfinite(seconds) || seconds < 0)
        return std::unexpected(std::string("SORVANE_SCREENSHOT_AFTER: seconds (a number, 0 or more) are needed"));
    screenshotAfter(seconds, path);
    return true;
}

// The frame is drawn and presented first so the picture is the window as it stands, not the last
// refresh.
void SDLApplicationHost::takeScreenshot(const std::filesystem::path& path) {
    if (window_) {
        window_->renderIfNeeded();
        if (gfx::Bitmap drawn = frame(); !drawn.empty()) windowHost_->present(drawn);
    }
    if (auto written = writePng(windowHost_->screenshot(), path); !written) {
        screenshotError_ = written.error();
        std::fprintf(stderr, "screenshot: %s\n", written.error().c_str());
    }
    ui::Application::shared().terminate();
    stop();
}

}  // namespace host
