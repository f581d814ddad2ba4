#pragma once

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <map>

#include "host/InputSink.h"

namespace host {

// Turns SDL events into the host's input events, keeping what a single event does not say: whether the
// mouse is held, which fingers are down, and where the application is in its life cycle.
class EventTranslator {
public:
    struct Window {
        double widthPoints = 0;
        double heightPoints = 0;
        int width = 1;  // in window coordinates, as SDL reports mouse positions
        int height = 1;
    };

    std::function<void()> onExposed;
    std::function<void()> onTerminate;

    // The window counts as active once shown, so an app starts active even where no window manager
    // hands out focus.
    void translate(const SDL_Event& event, const Window& window, InputSink* sink);

private:
    enum class Lifecycle { notShown, active, inactive, background, terminated };

    void translateWindowEvent(const SDL_WindowEvent& event, double timestamp, InputSink* sink);
    void translateMouseButton(const SDL_MouseButtonEvent& event, Point point, double timestamp, InputSink* sink);
    void cancelTouches(double timestamp, InputSink* sink);
    void becomeActive(InputSink* sink);
    void resignActive(double timestamp, InputSink* sink);
    void enterBackground(double timestamp, InputSink* sink);
    void terminate(InputSink* sink);

    Lifecycle lifecycle_ = Lifecycle::notShown;
    bool mouseHeld_ = false;
    Point mousePoint_;
    std::map<std::int64_t, Point> fingersDown_;  // where each finger was last
};

}  // namespace host
