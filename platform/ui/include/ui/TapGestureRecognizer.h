#pragma once

#include "ui/GestureRecognizer.h"

namespace ui {

// A single tap: recognised when the finger lifts within `allowableMovement` of where it went down.
// On an ancestor of a control it leaves the control's touches alone.
class TapGestureRecognizer : public GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;

    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }

protected:
    void touchBegan(const Touch& touch) override { start_ = touch.locationInWindow; }
    void touchMoved(const Touch& touch) override;
    void touchEnded(const Touch& touch) override;
    bool defersToControls() const override { return true; }

private:
    Point start_;
    double allowableMovement_ = 10;
};

}  // namespace ui
