#pragma once

#include <memory>

#include "ui/PresentationController.h"
#include "ui/View.h"

namespace ui {

// The window-sized view a presentation lives in; hit testing and layout go to its presentation.
class PresentationContainerView final : public View {
public:
    explicit PresentationContainerView(std::weak_ptr<PresentationController> owner) : owner_(std::move(owner)) {
        setLayoutName("PresentationContainer");
    }

    std::shared_ptr<View> hitTest(Point point, const Event& event) override;
    void layoutSubviews() override;
    std::shared_ptr<View> defaultHitTest(Point point, const Event& event) { return View::hitTest(point, event); }

private:
    std::weak_ptr<PresentationController> owner_;
};

}  // namespace ui
