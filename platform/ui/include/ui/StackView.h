#pragma once

#include <memory>
#include <vector>

#include "ui/View.h"

namespace ui {

enum class StackDistribution { fill, fillEqually, equalSpacing };
// Across the axis: leading is the top of a horizontal stack, trailing its bottom.
enum class StackAlignment { fill, leading, center, trailing };

// Lays its arranged subviews out in a row or column with constraints it owns and rebuilds whenever
// an arranged view is added, removed, hidden or shown. Hidden arranged views take no room.
class StackView : public View {
public:
    StackView();
    explicit StackView(std::vector<std::shared_ptr<View>> arrangedSubviews);
    ~StackView() override;

    LayoutAxis axis() const { return axis_; }
    void setAxis(LayoutAxis axis);
    StackDistribution distribution() const { return distribution_; }
    void setDistribution(StackDistribution distribution);
    StackAlignment alignment() const { return alignment_; }
    void setAlignment(StackAlignment alignment);
    double spacing() const { return spacing_; }
    void setSpacing(double spacing);

    const std::vector<std::shared_ptr<View>>& arrangedSubviews() const { return arranged_; }
    // Also adds the view as a subview (at the end) when it is not one.
    void addArrangedSubview(const std::shared_ptr<View>& view);
    void insertArrangedSubview(const std::shared_ptr<View>& view, std::size_t index);
    // The view stays a subview, as on the platform; remove it from its superview to take it away.
    void removeArrangedSubview(const std::shared_ptr<View>& view);

    std::vector<std::shared_ptr<LayoutItem>> subitems() const override;
    std::string layoutName() const override;

protected:
    void subviewVisibilityDidChange(View& view) override;
    void willRemoveSubview(const std::shared_ptr<View>& view) override;
    void didMoveToSuperview() override;

private:
    class Spacer;
    void rebuild();

    LayoutAxis axis_ = LayoutAxis::horizontal;
    StackDistribution distribution_ = StackDistribution::fill;
    StackAlignment alignment_ = StackAlignment::fill;
    double spacing_ = 0;
    std::vector<std::shared_ptr<View>> arranged_;
    std::vector<std::shared_ptr<LayoutItem>> spacers_;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
};

}  // namespace ui
