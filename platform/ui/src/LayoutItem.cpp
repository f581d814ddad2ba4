#include "ui/LayoutItem.h"

#include <algorithm>

#include "ui/LayoutEngine.h"

namespace ui {

LayoutItem::LayoutItem() = default;
LayoutItem::~LayoutItem() = default;

LayoutPriority LayoutItem::contentHuggingPriority(LayoutAxis axis) const {
    return axis == LayoutAxis::horizontal ? horizontalHugging_ : verticalHugging_;
}

void LayoutItem::setContentHuggingPriority(LayoutPriority priority, LayoutAxis axis) {
    (axis == LayoutAxis::horizontal ? horizontalHugging_ : verticalHugging_) = priority;
}

LayoutPriority LayoutItem::contentCompressionResistancePriority(LayoutAxis axis) const {
    return axis == LayoutAxis::horizontal ? horizontalCompressionResistance_ : verticalCompressionResistance_;
}

void LayoutItem::setContentCompressionResistancePriority(LayoutPriority priority, LayoutAxis axis) {
    (axis == LayoutAxis::horizontal ? horizontalCompressionResistance_ : verticalCompressionResistance_) = priority;
}

void LayoutItem::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    if (!constraint) return;
    auto owner = constraint->installedOn();
    if (owner.get() == this) return;
    if (owner) owner->removeConstraint(constraint);
    constraint->installedOn_ = weak_from_this();
    constraints_.push_back(constraint);
}

void LayoutItem::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) addConstraint(constraint);
}

void LayoutItem::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    auto found = std::ranges::find(constraints_, constraint);
    if (found == constraints_.end()) return;
    constraint->installedOn_.reset();
    constraints_.erase(found);
}

void LayoutItem::removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) removeConstraint(constraint);
}

LayoutEngine& LayoutItem::layoutEngine() {
    if (!engine_) engine_ = std::make_unique<LayoutEngine>();
    return *engine_;
}

void LayoutItem::layoutSubtree() { layoutEngine().layout(*this); }

Size LayoutItem::fittingSize(double width) { return layoutEngine().fittingSize(*this, width); }

}  // namespace ui
