#pragma once

#include <memory>

#include "ui/LayoutConstraint.h"

namespace ui {

struct XAxisAnchorKind {};
struct YAxisAnchorKind {};
struct DimensionAnchorKind {};

// One attribute of an item, typed by what it can be related to: horizontal positions only to
// horizontal positions, vertical to vertical, sizes to sizes. The constraints made are inactive.
template <typename Kind>
class LayoutAnchor {
public:
    LayoutAnchor(std::shared_ptr<LayoutItem> item, LayoutAttribute attribute)
        : item_(std::move(item)), attribute_(attribute) {}

    const std::shared_ptr<LayoutItem>& item() const { return item_; }
    LayoutAttribute attribute() const { return attribute_; }

    std::shared_ptr<LayoutConstraint> constraintEqualTo(const LayoutAnchor& other, double constant = 0) const {
        return relate(LayoutRelation::equal, other, 1, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintGreaterThanOrEqualTo(const LayoutAnchor& other,
                                                                     double constant = 0) const {
        return relate(LayoutRelation::greaterThanOrEqual, other, 1, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintLessThanOrEqualTo(const LayoutAnchor& other,
                                                                  double constant = 0) const {
        return relate(LayoutRelation::lessThanOrEqual, other, 1, constant);
    }

protected:
    std::shared_ptr<LayoutConstraint> relate(LayoutRelation relation, const LayoutAnchor& other, double multiplier,
                                             double constant) const {
        return LayoutConstraint::make(item_, attribute_, relation, other.item_, other.attribute_, multiplier,
                                      constant);
    }
    std::shared_ptr<LayoutConstraint> relateToConstant(LayoutRelation relation, double constant) const {
        return LayoutConstraint::make(item_, attribute_, relation, nullptr, LayoutAttribute::notAnAttribute, 1,
                                      constant);
    }

private:
    std::shared_ptr<LayoutItem> item_;
    LayoutAttribute attribute_;
};

using LayoutXAxisAnchor = LayoutAnchor<XAxisAnchorKind>;
using LayoutYAxisAnchor = LayoutAnchor<YAxisAnchorKind>;

// A width or height: besides relating to another dimension it takes a multiplier, or a constant alone.
class LayoutDimension : public LayoutAnchor<DimensionAnchorKind> {
public:
    using LayoutAnchor::LayoutAnchor;
    using LayoutAnchor::constraintEqualTo;
    using LayoutAnchor::constraintGreaterThanOrEqualTo;
    using LayoutAnchor::constraintLessThanOrEqualTo;

    // this = other x multiplier + constant (and the inequalities alike).
    std::shared_ptr<LayoutConstraint> constraintEqualTo(const LayoutDimension& other, double multiplier,
                                                        double constant) const {
        return relate(LayoutRelation::equal, other, multiplier, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintGreaterThanOrEqualTo(const LayoutDimension& other,
                                                                     double multiplier, double constant) const {
        return relate(LayoutRelation::greaterThanOrEqual, other, multiplier, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintLessThanOrEqualTo(const LayoutDimension& other, double multiplier,
                                                                  double constant) const {
        return relate(LayoutRelation::lessThanOrEqual, other, multiplier, constant);
    }

    std::shared_ptr<LayoutConstraint> constraintEqualToConstant(double constant) const {
        return relateToConstant(LayoutRelation::equal, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintGreaterThanOrEqualToConstant(double constant) const {
        return relateToConstant(LayoutRelation::greaterThanOrEqual, constant);
    }
    std::shared_ptr<LayoutConstraint> constraintLessThanOrEqualToConstant(double constant) const {
        return relateToConstant(LayoutRelation::lessThanOrEqual, constant);
    }
};

}  // namespace ui
