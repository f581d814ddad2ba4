#pragma once

#include <chrono>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <string>

#include "dispatch/RunLoop.h"
#include "gfx/Bitmap.h"
#include "host/DeviceMetrics.h"
#include "host/InputSink.h"

namespace host {

struct WindowOptions {
    std::string title = "Sorvane";
    DeviceMetrics device = DeviceMetrics::phone();
    // On-screen size over the device's pixel size; frames are still rendered at full scale and scaled
    // down, so a laptop screen can show the whole phone.
    double zoom = 1;
    // No zoom was asked for: when the window at `zoom` would not fit the display's usable area, it
    // opens at zoomToFit's instead.
    bool fitsDisplay = false;
    // Opaque ARGB behind frames that are not.
    std::uint32_t background = 0xff000000;

    // The defaults, with the zoom from SORVANE_WINDOW_ZOOM when it holds a number in (0, 4]; without
    // one, the window fits the display.
    static WindowOptions fromEnvironment();
    // What is wrong with SORVANE_WINDOW_ZOOM, naming it, when it is set to no such number; else empty.
    static std::string environmentProblem();
    // The largest zoom, at most 1 and in steps of 0.05, at which the device's pixels fit an area of
    // that many pixels (at least 0.1).
    static double zoomToFit(const DeviceMetrics& device, int usableWidth, int usableHeight);
};

// Asked for the frame to show when the run loop redraws; an empty bitmap keeps what is on screen.
using FrameSource = std::function<gfx::Bitmap()>;

class EventTranslator;
class InputPump;
class WindowRenderer;

// A desktop window standing in for the phone's screen, on SDL2. It hooks itself into a run loop
// (the main one): input is drained at the start of every turn and handed to the input sink, and each
// redraw asks the frame source for a frame and presents it, paced to the display's refresh rate.
// Nothing is drawn unless someone calls setNeedsRedraw() on the loop (or the window is exposed).
// Create, use and destroy it on the main thread; one window at a time.
class WindowHost : public std::enable_shared_from_this<WindowHost> {
public:
    static std::expected<std::shared_ptr<WindowHost>, std::string> open(
        WindowOptions options = WindowOptions::fromEnvironment(),
        std::shared_ptr<dispatch::RunLoop> loop = dispatch::RunLoop::main());
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    // As opened: a zoom fitted to the display is the one in use.
    const WindowOptions& options() const { return options_; }
    const DeviceMetrics& device() const { return options_.device; }

    void setInputSink(std::weak_ptr<InputSink> sink) { sink_ = std::move(sink); }
    void setFrameSource(FrameSource source) { frameSource_ = std::move(source); }

    // Shows the frame now, without waiting for a redraw. Any size is scaled to the window.
    void present(const gfx::Bitmap& frame);
    // The window's pixels as they are on screen (the window's size, so zoom applies).
    gfx::Bitmap screenshot();
    int presentCount() const { return presentCount_; }
    // Frames a second the window presents at most: the display's refresh rate, 60 when it does not say.
    double refreshRate() const { return refreshRate_; }
    // True once the window was asked to close; the run loop has been stopped by then.
    bool isTerminating() const { return terminating_; }

    // Drains pending window events into the sink; the run loop's input handler does this every turn.
    void pumpEvents();

private:
    struct Private {};

public:
    WindowHost(Private, WindowOptions options, std::shared_ptr<dispatch::RunLoop> loop);

private:
    std::expected<void, std::string> start();
    void redraw();
    void showCurrentFrame();
    void drawAndPresent();
    void waitForFrameSlot();
    void terminate();
    std::shared_ptr<InputSink> sink() const { return sink_.lock(); }

    WindowOptions options_;
    std::weak_ptr<dispatch::RunLoop> loop_;
    std::weak_ptr<InputSink> sink_;
    FrameSource frameSource_;
    std::unique_ptr<WindowRenderer> renderer_;
    std::unique_ptr<InputPump> pump_;
    std::unique_ptr<EventTranslator> translator_;
    std::chrono::steady_clock::time_point lastPresentStart_;
    std::chrono::steady_clock::duration frameInterval_ = std::chrono::microseconds(16'667);
    double refreshRate_ = 60;
    int presentCount_ = 0;
    bool terminating_ = false;
};

}  // namespace host
