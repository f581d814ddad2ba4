#include "EventTranslator.h"

#include <cmath>

#include "Letterbox.h"
#include "foundation/Clock.h"

namespace host {

namespace {

// SDL stamps events in milliseconds since it started; the UI wants them on the clock its animations use.
double clockTimestamp(std::uint32_t sdlMilliseconds) {
    std::uint32_t age = SDL_GetTicks() - sdlMilliseconds;
    if (age > 60'000) age = 0;  // a pushed event with no stamp, or the counter wrapped
    return foundation::Clock::current()->uptime() - age / 1000.0;
}

// Window coordinates to points of the picture, which the window shows letterboxed.
Point toPoints(double x, double y, const EventTranslator::Window& window) {
    gfx::Rect shown = letterbox({double(std::max(1, window.width)), double(std::max(1, window.height))},
                                {window.widthPoints, window.heightPoints});
    return {(x - shown.minX()) * window.widthPoints / shown.width(), (y - shown.minY()) * window.heightPoints / shown.height()};
}

Key keyOf(SDL_Keycode code) {
    switch (code) {
        case SDLK_ESCAPE: return Key::escape;
        case SDLK_UP: return Key::up;
        case SDLK_DOWN: return Key::down;
        case SDLK_PAGEUP: return Key::pageUp;
        case SDLK_PAGEDOWN: return Key::pageDown;
        case SDLK_HOME: return Key::home;
        case SDLK_END: return Key::end;
        case SDLK_SPACE: return Key::space;
        case SDLK_TAB: return Key::tab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return Key::enter;
        default: return Key::other;
    }
}

void deliverTouch(InputSink* sink, TouchPhase phase, Point point, double timestamp, std::int64_t id) {
    if (sink) sink->touch(TouchEvent{phase, point, timestamp, id});
}

}  // namespace

void EventTranslator::translate(const SDL_Event& event, const Window& window, InputSink* sink) {
    if (lifecycle_ == Lifecycle::terminated) return;
    double timestamp = clockTimestamp(event.common.timestamp);
    switch (event.type) {
    case SDL_QUIT:
        terminate(sink);
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window, timestamp, sink);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        // Touch screens also move the pointer; their fingers arrive on their own.
        if (event.button.which == SDL_TOUCH_MOUSEID) break;
        translateMouseButton(event.button, toPoints(event.button.x, event.button.y, window), timestamp, sink);
        break;
    case SDL_MOUSEMOTION:
        if (event.motion.which == SDL_TOUCH_MOUSEID || !mouseHeld_) break;
        mousePoint_ = toPoints(event.motion.x, event.motion.y, window);
        deliverTouch(sink, TouchPhase::moved, mousePoint_, timestamp, TouchEvent::mouseTouchId);
        break;
    case SDL_MOUSEWHEEL: {
        if (event.wheel.which == SDL_TOUCH_MOUSEID) break;
        double flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        double x = event.wheel.preciseX * flip;
        double y = event.wheel.preciseY * flip;
        ScrollEvent scroll;
        // SDL counts up and right as positive; content moves the other way vertically.
        scroll.dx = x * ScrollEvent::pointsPerWheelStep;
        scroll.dy = -y * ScrollEvent::pointsPerWheelStep;
        scroll.precise = x != std::trunc(x) || y != std::trunc(y);
        scroll.point = toPoints(event.wheel.mouseX, event.wheel.mouseY, window);
        scroll.timestamp = timestamp;
        if (sink && (scroll.dx != 0 || scroll.dy != 0)) sink->scroll(scroll);
        break;
    }
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP: {
        const SDL_TouchFingerEvent& finger = event.tfinger;
        Point point = toPoints(finger.x * std::max(1, window.width), finger.y * std::max(1, window.height), window);
        TouchPhase phase = event.type == SDL_FINGERDOWN ? TouchPhase::began
                           : event.type == SDL_FINGERUP ? TouchPhase::ended
                                                        : TouchPhase::moved;
        if (phase != TouchPhase::began && !fingersDown_.contains(finger.fingerId)) break;  // already cancelled
        fingersDown_[finger.fingerId] = point;
        if (phase == TouchPhase::ended) fingersDown_.erase(finger.fingerId);
        deliverTouch(sink, phase, point, timestamp, finger.fingerId);
        break;
    }
    case SDL_KEYDOWN: {
        KeyEvent key;
        key.key = keyOf(event.key.keysym.sym);
        key.shift = (event.key.keysym.mod & KMOD_SHIFT) != 0;
        key.control = (event.key.keysym.mod & KMOD_CTRL) != 0;
        key.name = SDL_GetKeyName(event.key.keysym.sym);
        key.isRepeat = event.key.repeat != 0;
        key.timestamp = timestamp;
        if (sink && !key.name.empty()) sink->key(key);
        break;
    }
    default:
        break;
    }
}

void EventTranslator::translateMouseButton(const SDL_MouseButtonEvent& event, Point point, double timestamp,
                                           InputSink* sink) {
    bool down = event.type == SDL_MOUSEBUTTONDOWN;
    if (event.button == SDL_BUTTON_RIGHT) {
        if (down && !mouseHeld_ && sink) sink->secondaryClick({point, timestamp});
        return;
    }
    if (event.button != SDL_BUTTON_LEFT || down == mouseHeld_) return;
    mouseHeld_ = down;
    mousePoint_ = point;
    deliverTouch(sink, down ? TouchPhase::began : TouchPhase::ended, point, timestamp, TouchEvent::mouseTouchId);
}

void EventTranslator::translateWindowEvent(const SDL_WindowEvent& event, double timestamp, InputSink* sink) {
    switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (lifecycle_ == Lifecycle::background && sink) sink->application(AppEvent::willEnterForeground);
        becomeActive(sink);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        resignActive(timestamp, sink);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN:
        enterBackground(timestamp, sink);
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        if (onExposed) onExposed();
        break;
    case SDL_WINDOWEVENT_CLOSE:
        terminate(sink);
        break;
    default:
        break;
    }
}

void EventTranslator::cancelTouches(double timestamp, InputSink* sink) {
    if (mouseHeld_) deliverTouch(sink, TouchPhase::cancelled, mousePoint_, timestamp, TouchEvent::mouseTouchId);
    mouseHeld_ = false;
    for (auto [finger, point] : fingersDown_) deliverTouch(sink, TouchPhase::cancelled, point, timestamp, finger);
    fingersDown_.clear();
}

void EventTranslator::becomeActive(InputSink* sink) {
    if (lifecycle_ == Lifecycle::active) return;
    lifecycle_ = Lifecycle::active;
    if (sink) sink->application(AppEvent::didBecomeActive);
}

void EventTranslator::resignActive(double timestamp, InputSink* sink) {
    if (lifecycle_ != Lifecycle::active) return;
    cancelTouches(timestamp, sink);
    lifecycle_ = Lifecycle::inactive;
    if (sink) sink->application(AppEvent::willResignActive);
}

void EventTranslator::enterBackground(double timestamp, InputSink* sink) {
    if (lifecycle_ == Lifecycle::background) return;
    resignActive(timestamp, sink);
    lifecycle_ = Lifecycle::background;
    if (sink) sink->application(AppEvent::didEnterBackground);
}

void EventTranslator::terminate(InputSink* sink) {
    lifecycle_ = Lifecycle::terminated;
    if (sink) sink->application(AppEvent::willTerminate);
    if (onTerminate) onTerminate();
}

}  // namespace host
