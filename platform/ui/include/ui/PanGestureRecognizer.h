#pragma once

#include <deque>

#include "ui/GestureRecognizer.h"

namespace ui {

// A drag: begins once the finger has moved `minimumDistance` points from where it went down, then
// reports changes until it lifts. Translation is the finger's movement since it went down (or since
// the last setTranslation); velocity is in points per second over the last tenth of a second of
// foundation::Clock uptime, so a manual clock drives it in tests.
class PanGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    // Vectors in `view`'s space (null: the window's).
    Point translation(const View* view) const;
    void setTranslation(Point translation, const View* view);
    Point velocity(const View* view) const;

    double minimumDistance() const { return minimumDistance_; }
    void setMinimumDistance(double points) { minimumDistance_ = points; }

protected:
    void touchBegan(const Touch& touch) override;
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;
    void touchCancelled(const Touch& touch) override;
    void reset() override;

private:
    struct Sample {
        double time;
        Point location;
    };
    void record(const Touch& touch);
    // A window-space vector expressed in `view`'s space, and back.
    static Point vectorIn(Point vector, const View* view);
    static Point vectorFrom(Point vector, const View* view);

    Point origin_;
    Point current_;
    std::deque<Sample> samples_;
    double minimumDistance_ = 10;
};

}  // namespace ui
