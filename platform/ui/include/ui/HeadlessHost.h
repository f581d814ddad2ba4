#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "gfx/Bitmap.h"
#include "gfx/Color.h"
#include "ui/Application.h"
#include "ui/TouchDriver.h"
#include "ui/Window.h"

namespace ui {

// Shows a window without a display: lays out and renders the view tree into a bitmap once per
// run-loop turn that asked for it, and drives touches by window coordinates. The host turns the
// dispatch main run loop itself, on the calling thread (which becomes the main thread).
class HeadlessHost final : public ApplicationHost {
public:
    struct Options {
        Size size{390, 844};
        double scale = 2;
        // What shows where no view draws; nothing leaves those pixels transparent.
        std::optional<gfx::Color> background = gfx::Color::white();
    };

    HeadlessHost() : HeadlessHost(Options{}) {}
    explicit HeadlessHost(Options options);
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    const std::shared_ptr<Window>& window() const { return window_; }

    Screen screen() const override { return window_->screen(); }
    // Shows `window` instead of the host's own: renders it and sends it the touches.
    void show(const std::shared_ptr<Window>& window) override;
    // Turns the main run loop, drawing frames while animations move, until stop().
    void run() override;
    void stop() override;

    // One run-loop turn: due timers, then the coalesced layout-and-render pass if something asked
    // for one; while animations run, a frame at the clock's time even if nothing else changed.
    // True when a frame was drawn.
    bool renderIfNeeded();
    // Lays out and renders now, whatever is pending; the picture stays as lastFrame().
    const gfx::Bitmap& snapshot();
    const gfx::Bitmap& lastFrame() const { return frame_; }
    std::size_t frameCount() const { return frames_; }
    // The colour of the last frame at a point of the window (straight alpha); nothing outside.
    std::optional<gfx::Color> pixel(Point point) const;
    // PNG of the last frame; false when it cannot be written.
    bool writePng(const std::string& path) const;

    // Touches by window coordinates. Each phase is delivered, then a run-loop turn runs.
    void touchDown(Point point);
    void touchMove(Point point);
    void touchUp(Point point);
    void touchCancel();
    void tap(Point point);
    void drag(Point from, Point to, int steps = 8);
    // The mouse wheel over a point: the innermost scroll view there that can move by (dx, dy)
    // points of content offset takes it.
    void wheel(Point point, double dx, double dy);
    // A right click: opens the context menu of the innermost view there that has one.
    void secondaryClick(Point point);

private:
    void drawFrame();
    void deliver(TouchPhase phase, Point point);

    Options options_;
    std::shared_ptr<Window> window_;
    gfx::Bitmap frame_;
    std::size_t frames_ = 0;
    std::optional<double> lastFrameTime_;
    TouchDriver touches_;
    bool stopped_ = false;
};

}  // namespace ui
