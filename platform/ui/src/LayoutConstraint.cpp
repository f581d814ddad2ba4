#include "ui/LayoutConstraint.h"

#include <algorithm>

#include "foundation/Print.h"
#include "ui/LayoutItem.h"

namespace ui {

namespace {

const char* nameOf(LayoutAttribute attribute) {
    switch (attribute) {
        case LayoutAttribute::left: return "left";
        case LayoutAttribute::right: return "right";
        case LayoutAttribute::top: return "top";
        case LayoutAttribute::bottom: return "bottom";
        case LayoutAttribute::leading: return "leading";
        case LayoutAttribute::trailing: return "trailing";
        case LayoutAttribute::width: return "width";
        case LayoutAttribute::height: return "height";
        case LayoutAttribute::centerX: return "centerX";
        case LayoutAttribute::centerY: return "centerY";
        case LayoutAttribute::leftMargin: return "leftMargin";
        case LayoutAttribute::rightMargin: return "rightMargin";
        case LayoutAttribute::topMargin: return "topMargin";
        case LayoutAttribute::bottomMargin: return "bottomMargin";
        case LayoutAttribute::leadingMargin: return "leadingMargin";
        case LayoutAttribute::trailingMargin: return "trailingMargin";
        case LayoutAttribute::notAnAttribute: return "notAnAttribute";
    }
    return "?";
}

std::string nameOf(const std::shared_ptr<LayoutItem>& item) { return item ? item->layoutName() : "(gone)"; }

// The nearest item that both are in the subtree of; `second` may be null.
std::shared_ptr<LayoutItem> commonAncestor(const std::shared_ptr<LayoutItem>& first,
                                           const std::shared_ptr<LayoutItem>& second) {
    if (!first || !second) return first ? first : second;
    std::vector<LayoutItem*> firstChain;
    for (auto item = first; item; item = item->superitem()) firstChain.push_back(item.get());
    for (auto item = second; item; item = item->superitem()) {
        if (std::ranges::find(firstChain, item.get()) != firstChain.end()) return item;
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<LayoutConstraint> LayoutConstraint::make(const std::shared_ptr<LayoutItem>& firstItem,
                                                         LayoutAttribute firstAttribute, LayoutRelation relation,
                                                         const std::shared_ptr<LayoutItem>& secondItem,
                                                         LayoutAttribute secondAttribute, double multiplier,
                                                         double constant) {
    return std::make_shared<LayoutConstraint>(Passkey{}, firstItem, firstAttribute, relation, secondItem,
                                              secondAttribute, multiplier, constant);
}

LayoutConstraint::LayoutConstraint(Passkey, const std::shared_ptr<LayoutItem>& firstItem,
                                   LayoutAttribute firstAttribute, LayoutRelation relation,
                                   const std::shared_ptr<LayoutItem>& secondItem, LayoutAttribute secondAttribute,
                                   double multiplier, double constant)
    : firstItem_(firstItem),
      firstAttribute_(firstAttribute),
      relation_(relation),
      secondItem_(secondItem),
      secondAttribute_(secondItem ? secondAttribute : LayoutAttribute::notAnAttribute),
      multiplier_(multiplier),
      constant_(constant) {}

void LayoutConstraint::activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) constraint->setActive(true);
}

void LayoutConstraint::deactivate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) constraint->setActive(false);
}

void LayoutConstraint::setConstant(double constant) {
    if (constant == constant_) return;
    constant_ = constant;
    if (auto owner = installedOn()) owner->layoutInputsDidChange();
}

void LayoutConstraint::setPriority(LayoutPriority priority) {
    if (priority == priority_) return;
    priority_ = priority;
    if (auto owner = installedOn()) owner->layoutInputsDidChange();
}

void LayoutConstraint::setActive(bool active) {
    if (!active) {
        if (auto owner = installedOn()) owner->removeConstraint(shared_from_this());
        return;
    }
    if (isActive()) return;
    auto owner = commonAncestor(firstItem(), secondItem());
    if (!owner) {
        foundation::print("Unable to activate constraint", description(),
                          "because its items have no common ancestor");
        return;
    }
    owner->addConstraint(shared_from_this());
}

std::string LayoutConstraint::description() const {
    static constexpr const char* relations[] = {"<=", "==", ">="};
    std::string text = nameOf(firstItem()) + "." + nameOf(firstAttribute_) + " " +
                       relations[static_cast<int>(relation_)] + " ";
    if (secondAttribute_ != LayoutAttribute::notAnAttribute) {
        text += nameOf(secondItem()) + "." + nameOf(secondAttribute_);
        if (multiplier_ != 1) text += " x " + foundation::description(multiplier_);
        if (constant_ != 0) text += (constant_ > 0 ? " + " : " - ") + foundation::description(std::abs(constant_));
    } else {
        text += foundation::description(constant_);
    }
    if (priority_ < layoutPriority::required) text += " @" + foundation::description(priority_);
    return text;
}

}  // namespace ui
