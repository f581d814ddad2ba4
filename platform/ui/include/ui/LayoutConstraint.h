#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/LayoutPriority.h"

namespace ui {

class LayoutItem;

// Leading and trailing are left and right: the toolkit lays out left to right only. The margin
// attributes are the edges inset by the item's layout margins, read at each layout pass.
enum class LayoutAttribute {
    left, right, top, bottom, leading, trailing, width, height, centerX, centerY,
    leftMargin, rightMargin, topMargin, bottomMargin, leadingMargin, trailingMargin,
    notAnAttribute,
};

enum class LayoutRelation { lessThanOrEqual, equal, greaterThanOrEqual };

// One linear relation between two item attributes:
//   first.firstAttribute  (relation)  second.secondAttribute x multiplier + constant
// or, without a second item, first.firstAttribute (relation) constant. Items are held weakly: a
// constraint whose item is gone no longer takes part. An active constraint is installed on an item
// (the nearest common ancestor of its items, or whichever item it was added to) and takes part in
// the layout of every tree that contains that item.
class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
    struct Passkey {};

public:
    static std::shared_ptr<LayoutConstraint> make(const std::shared_ptr<LayoutItem>& firstItem,
                                                  LayoutAttribute firstAttribute, LayoutRelation relation,
                                                  const std::shared_ptr<LayoutItem>& secondItem = nullptr,
                                                  LayoutAttribute secondAttribute = LayoutAttribute::notAnAttribute,
                                                  double multiplier = 1, double constant = 0);
    LayoutConstraint(Passkey, const std::shared_ptr<LayoutItem>& firstItem, LayoutAttribute firstAttribute,
                     LayoutRelation relation, const std::shared_ptr<LayoutItem>& secondItem,
                     LayoutAttribute secondAttribute, double multiplier, double constant);

    // Installs (or uninstalls) each on the nearest common ancestor of its items.
    static void activate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    static void deactivate(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

    std::shared_ptr<LayoutItem> firstItem() const { return firstItem_.lock(); }
    LayoutAttribute firstAttribute() const { return firstAttribute_; }
    LayoutRelation relation() const { return relation_; }
    std::shared_ptr<LayoutItem> secondItem() const { return secondItem_.lock(); }
    LayoutAttribute secondAttribute() const { return secondAttribute_; }
    double multiplier() const { return multiplier_; }

    // Changes take effect at the next layout pass of the tree it is installed in.
    double constant() const { return constant_; }
    void setConstant(double constant);
    LayoutPriority priority() const { return priority_; }
    void setPriority(LayoutPriority priority);

    bool isActive() const { return !installedOn_.expired(); }
    // Activating a constraint whose items share no ancestor prints a warning and leaves it inactive.
    void setActive(bool active);
    std::shared_ptr<LayoutItem> installedOn() const { return installedOn_.lock(); }

    // "name.attribute == other.attribute x 2 + 8 @750", for warnings.
    std::string description() const;

private:
    friend class LayoutItem;

    std::weak_ptr<LayoutItem> firstItem_;
    LayoutAttribute firstAttribute_ = LayoutAttribute::notAnAttribute;
    LayoutRelation relation_ = LayoutRelation::equal;
    std::weak_ptr<LayoutItem> secondItem_;
    LayoutAttribute secondAttribute_ = LayoutAttribute::notAnAttribute;
    double multiplier_ = 1;
    double constant_ = 0;
    LayoutPriority priority_ = layoutPriority::required;
    std::weak_ptr<LayoutItem> installedOn_;
};

}  // namespace ui
