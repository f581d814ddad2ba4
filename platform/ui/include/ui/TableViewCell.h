#pragma once

#include <memory>
#include <string>

#include "ui/Label.h"
#include "ui/View.h"

namespace ui {

enum class TableViewCellSelectionStyle { none, blue, gray, standard };

// One row of a table. Subclasses put their subviews (and constraints, for self-sizing rows) in the
// content view, which fills the cell; the background view sits below it and the selected background
// view between the two while the cell is selected or highlighted. The table places the cell, its
// separator and decides reuse.
class TableViewCell : public View {
public:
    explicit TableViewCell(std::string reuseIdentifier = {});

    const std::string& reuseIdentifier() const { return reuseIdentifier_; }
    const std::shared_ptr<View>& contentView() const { return contentView_; }
    // Made (in the content view, 16 points from the left) the first time it is asked for.
    const std::shared_ptr<Label>& textLabel();

    const std::shared_ptr<View>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<View> view);
    // None: a plain grey view is used when the selection style is not `none`.
    const std::shared_ptr<View>& selectedBackgroundView() const { return selectedBackgroundView_; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);
    TableViewCellSelectionStyle selectionStyle() const { return selectionStyle_; }
    void setSelectionStyle(TableViewCellSelectionStyle style);
    // The separator under the row runs from `left` to the width less `right`; a left inset past the
    // width hides it.
    EdgeInsets separatorInset() const { return separatorInset_; }
    void setSeparatorInset(const EdgeInsets& insets);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted, bool animated = false);

    // The keyboard's place: a ring in the tint colour around the row, above its content.
    bool isFocused() const { return !focusRing_->isHidden(); }
    void setFocused(bool focused);

    // Called before the table hands the cell out again; clear per-row state here (call the base).
    virtual void prepareForReuse();

    // The content view takes the new size at once, so the constraint pass before layoutSubviews never
    // squeezes the content into the old size.
    void setFrame(const Rect& frame) override;
    void layoutSubviews() override;

private:
    friend class TableView;

    void updateSelectionBackground(bool animated);
    void placeSeparator(double width, double thickness, bool visible, gfx::Color color);

    std::string reuseIdentifier_;
    std::shared_ptr<View> contentView_ = std::make_shared<View>();
    std::shared_ptr<Label> textLabel_;
    std::shared_ptr<View> backgroundView_;
    std::shared_ptr<View> selectedBackgroundView_;
    std::shared_ptr<View> defaultSelectedBackground_;
    std::shared_ptr<View> separator_ = std::make_shared<View>();
    std::shared_ptr<View> focusRing_ = std::make_shared<View>();
    TableViewCellSelectionStyle selectionStyle_ = TableViewCellSelectionStyle::standard;
    EdgeInsets separatorInset_{0, 16, 0, 0};
    bool selected_ = false;
    bool highlighted_ = false;
};

}  // namespace ui
