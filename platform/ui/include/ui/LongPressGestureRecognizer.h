#pragma once

#include <cstdint>

#include "ui/GestureRecognizer.h"

namespace ui {

// A finger held still: begins after minimumPressDuration seconds (timed through the run-loop
// bridge, so a manual clock drives it) unless it moved more than allowableMovement first; then
// reports moves as changes until it lifts.
class LongPressGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }

protected:
    void touchBegan(const Touch& touch) override;
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;
    void reset() override { ++generation_; }

private:
    Point start_;
    std::uint64_t generation_ = 0;
    double minimumPressDuration_ = 0.5;
    double allowableMovement_ = 10;
};

}  // namespace ui
