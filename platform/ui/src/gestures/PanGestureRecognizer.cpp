#include "ui/PanGestureRecognizer.h"

#include <cmath>

namespace ui {

namespace {

// How much of the finger's recent path the velocity is taken over.
constexpr double velocityWindow = 0.1 - 1e-9;

}  // namespace

Point PanGestureRecognizer::vectorIn(Point vector, const View* view) {
    if (!view) return vector;
    Point zero = view->convertPointFrom({0, 0}, nullptr);
    Point end = view->convertPointFrom(vector, nullptr);
    return {end.x - zero.x, end.y - zero.y};
}

Point PanGestureRecognizer::vectorFrom(Point vector, const View* view) {
    if (!view) return vector;
    Point zero = view->convertPointTo({0, 0}, nullptr);
    Point end = view->convertPointTo(vector, nullptr);
    return {end.x - zero.x, end.y - zero.y};
}

Point PanGestureRecognizer::translation(const View* view) const {
    return vectorIn({current_.x - origin_.x, current_.y - origin_.y}, view);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
    Point inWindow = vectorFrom(translation, view);
    origin_ = {current_.x - inWindow.x, current_.y - inWindow.y};
}

Point PanGestureRecognizer::velocity(const View* view) const {
    if (samples_.size() < 2) return {};
    const Sample& last = samples_.back();
    // The oldest sample within the window, or the one just before it when the finger rested.
    const Sample* first = &samples_.front();
    for (auto it = samples_.rbegin() + 1; it != samples_.rend(); ++it) {
        first = &*it;
        if (last.time - it->time >= velocityWindow) break;
    }
    double elapsed = last.time - first->time;
    if (elapsed <= 1e-9) return {};
    return vectorIn({(last.location.x - first->location.x) / elapsed, (last.location.y - first->location.y) / elapsed},
                    view);
}

void PanGestureRecognizer::record(const Touch& touch) {
    current_ = touch.locationInWindow;
    samples_.push_back({touch.timestamp, touch.locationInWindow});
    while (samples_.size() > 2 && touch.timestamp - samples_[1].time > velocityWindow) samples_.pop_front();
}

void PanGestureRecognizer::touchBegan(const Touch& touch) {
    origin_ = touch.locationInWindow;
    record(touch);
}

void PanGestureRecognizer::touchMoved(const Touch& touch) {
    record(touch);
    if (state() == State::possible) {
        Point moved = translation(nullptr);
        if (std::hypot(moved.x, moved.y) >= minimumDistance_) setState(State::began);
    } else if (state() == State::began || state() == State::changed) {
        setState(State::changed);
    }
}

void PanGestureRecognizer::touchEnded(const Touch& touch) {
    record(touch);
    if (state() == State::began || state() == State::changed) setState(State::ended);
}

void PanGestureRecognizer::touchCancelled(const Touch& touch) {
    record(touch);
    GestureRecognizer::touchCancelled(touch);
}

void PanGestureRecognizer::reset() {
    samples_.clear();
    origin_ = current_ = {};
}

}  // namespace ui
