#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/Geometry.h"
#include "ui/LayoutAnchor.h"
#include "ui/LayoutConstraint.h"
#include "ui/LayoutPriority.h"

namespace ui {

class LayoutEngine;

// What Auto Layout needs of a view: its place in the tree, its frame, its natural size, and the
// layout settings and installed constraints it carries. A view derives from this and supplies the
// hierarchy and geometry; the layout state lives here.
class LayoutItem : public std::enable_shared_from_this<LayoutItem> {
public:
    // An intrinsic size of this in either dimension means "none in this dimension".
    static constexpr double noIntrinsicMetric = -1;

    LayoutItem();
    virtual ~LayoutItem();
    LayoutItem(const LayoutItem&) = delete;
    LayoutItem& operator=(const LayoutItem&) = delete;

    virtual std::shared_ptr<LayoutItem> superitem() const = 0;
    virtual std::vector<std::shared_ptr<LayoutItem>> subitems() const = 0;
    // In the superitem's coordinate space.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;
    // The size the content wants (a label's text, an image's size), or noIntrinsicMetric.
    virtual Size intrinsicContentSize() const { return {noIntrinsicMetric, noIntrinsicMetric}; }
    // For content that wraps: the height it needs at `width`. A layout pass asks again after each
    // solve until the widths settle.
    virtual std::optional<double> intrinsicHeight(double width) const {
        (void)width;
        return std::nullopt;
    }
    // Layout ignores it: a hidden item keeps its place and its constraints.
    virtual bool isHidden() const { return false; }
    // Names the item in layout warnings.
    virtual std::string layoutName() const { return "item"; }

    // True (the default) pins the item to its current frame with required constraints.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);

    // Where "|-[item]" and the margin attributes put subitems.
    EdgeInsets layoutMargins() const { return layoutMargins_; }
    void setLayoutMargins(const EdgeInsets& margins);

    // Laid out in a system of its own, at the frame it is given (a table cell's content): the pass of
    // the tree it is in stops here and lays it out after its own frames, and a pass over it that
    // nothing inside changed since is skipped. Nothing outside may constrain anything inside, nor
    // the reverse. Such an item keeps its frame pinned (translatesAutoresizingMaskIntoConstraints).
    bool laysOutApart() const { return laysOutApart_; }
    void setLaysOutApart(bool apart);
    // Something layout reads of this item changed (its constraints, intrinsic size, subitems, or
    // its frame while it is pinned to it): this item and every ancestor count one more change.
    // Subclasses call it where their own state feeds layout; the settings here call it themselves.
    void layoutInputsDidChange();
    // Changes in this item's subtree so far; a pass of an item that lays out apart compares them.
    std::uint64_t layoutChangeCount() const { return layoutChanges_; }

    // How strongly the item refuses to grow beyond / shrink below its intrinsic size.
    LayoutPriority contentHuggingPriority(LayoutAxis axis) const;
    void setContentHuggingPriority(LayoutPriority priority, LayoutAxis axis);
    LayoutPriority contentCompressionResistancePriority(LayoutAxis axis) const;
    void setContentCompressionResistancePriority(LayoutPriority priority, LayoutAxis axis);

    LayoutXAxisAnchor leadingAnchor() { return {shared_from_this(), LayoutAttribute::leading}; }
    LayoutXAxisAnchor trailingAnchor() { return {shared_from_this(), LayoutAttribute::trailing}; }
    LayoutXAxisAnchor leftAnchor() { return {shared_from_this(), LayoutAttribute::left}; }
    LayoutXAxisAnchor rightAnchor() { return {shared_from_this(), LayoutAttribute::right}; }
    LayoutXAxisAnchor centerXAnchor() { return {shared_from_this(), LayoutAttribute::centerX}; }
    LayoutYAxisAnchor topAnchor() { return {shared_from_this(), LayoutAttribute::top}; }
    LayoutYAxisAnchor bottomAnchor() { return {shared_from_this(), LayoutAttribute::bottom}; }
    LayoutYAxisAnchor centerYAnchor() { return {shared_from_this(), LayoutAttribute::centerY}; }
    LayoutDimension widthAnchor() { return {shared_from_this(), LayoutAttribute::width}; }
    LayoutDimension heightAnchor() { return {shared_from_this(), LayoutAttribute::height}; }

    // The constraints installed on this item, in the order they were added.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
    // Installs the constraint here (moving it from any other item) and so activates it.
    void addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    void removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

    // Sets the frames of the subtree from the constraints installed in it, keeping this item's own
    // frame. The solver is kept between passes; a pass after no change does no solving.
    void layoutSubtree();
    // The size the subtree's constraints give this item at `width`, its height as small as they allow.
    // Frames are left unchanged.
    Size fittingSize(double width);
    // The engine of layoutSubtree, made on first use.
    LayoutEngine& layoutEngine();

private:
    bool translatesAutoresizingMask_ = true;
    bool laysOutApart_ = false;
    std::uint64_t layoutChanges_ = 0;
    EdgeInsets layoutMargins_{8, 8, 8, 8};
    LayoutPriority horizontalHugging_ = layoutPriority::defaultLow;
    LayoutPriority verticalHugging_ = layoutPriority::defaultLow;
    LayoutPriority horizontalCompressionResistance_ = layoutPriority::defaultHigh;
    LayoutPriority verticalCompressionResistance_ = layoutPriority::defaultHigh;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
    std::unique_ptr<LayoutEngine> engine_;
};

}  // namespace ui
