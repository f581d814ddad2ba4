#pragma once

#include <deque>
#include <memory>

#include "ui/SheetPresentationController.h"
#include "ui/View.h"

namespace ui {

// The card a sheet shows: the presented controller's view filling it, rounded at the top, with an
// optional grabber. Touches its content does not take (plain views, labels) drag the sheet.
class SheetView final : public View {
public:
    explicit SheetView(std::weak_ptr<SheetPresentationController> owner);

    void setContent(const std::shared_ptr<View>& content);
    const std::shared_ptr<View>& grabber() const { return grabber_; }
    void layoutSubviews() override;

    void touchesBegan(const std::vector<Touch>& touches, const Event& event) override;
    void touchesMoved(const std::vector<Touch>& touches, const Event& event) override;
    void touchesEnded(const std::vector<Touch>& touches, const Event& event) override;
    void touchesCancelled(const std::vector<Touch>& touches, const Event& event) override;

    // A scroll view in the sheet, pulled down at its top (or pushed up there while the sheet can
    // still grow), drags the sheet: false when the sheet cannot be dragged now (being presented or
    // dismissed).
    bool beginDragFromContent();
    bool canGrow() const;
    void dragFromContent(double translation);
    void endDragFromContent(double velocity);

private:
    struct Sample {
        double time;
        double y;
    };
    // Points a second downwards, over the last tenth of a second of the drag.
    double velocity() const;
    void record(const Touch& touch);

    std::weak_ptr<SheetPresentationController> owner_;
    std::weak_ptr<View> content_;
    std::shared_ptr<View> grabber_ = std::make_shared<View>();
    double startY_ = 0;
    bool dragging_ = false;
    std::deque<Sample> samples_;
};

}  // namespace ui
