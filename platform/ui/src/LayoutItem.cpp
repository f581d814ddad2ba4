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
    layoutInputsDidChange();
}

LayoutPriority LayoutItem::contentCompressionResistancePriority(LayoutAxis axis) const {
    return axis == LayoutAxis::horizontal ? horizontalCompressionResistance_ : verticalCompressionResistance_;
}

void LayoutItem::setContentCompressionResistancePriority(LayoutPriority priority, LayoutAxis axis) {
    (axis == LayoutAxis::horizontal ? horizontalCompressionResistance_ : verticalCompressionResistance_) = priority;
    layoutInputsDidChange();
}

void LayoutItem::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    translatesAutoresizingMask_ = translates;
    layoutInputsDidChange();
}

void LayoutItem::setLayoutMargins(const EdgeInsets& margins) {
    layoutMargins_ = margins;
    layoutInputsDidChange();
}

void LayoutItem::setLaysOutApart(bool apart) {
    laysOutApart_ = apart;
    layoutInputsDidChange();
}

void LayoutItem::layoutInputsDidChange() {
    std::shared_ptr<LayoutItem> held;
    for (LayoutItem* item = this; item; item = held.get()) {
        ++item->layoutChanges_;
        held = item->superitem();
    }
}

void LayoutItem::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    if (!constraint) return;
    auto owner = constraint->installedOn();
    if (owner.get() == this) return;
    if (owner) owner->removeConstraint(constraint);
    constraint->installedOn_ = weak_from_this();
    constraints_.push_back(constraint);
    layoutInputsDidChange();
}

void LayoutItem::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) addConstraint(constraint);
}

void LayoutItem::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    auto found = std::ranges::find(constraints_, constraint);
    if (found == constraints_.end()) return;
    constraint->installedOn_.reset();
    constraints_.erase(found);
    layoutInputsDidChange();
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
