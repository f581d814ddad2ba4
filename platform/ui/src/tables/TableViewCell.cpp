#include "ui/TableViewCell.h"

namespace ui {

namespace {

constexpr double selectionFadeDuration = 0.25;
constexpr double focusRingWidth = 3;
constexpr double focusRingInset = 2;
constexpr double focusRingRadius = 12;

}  // namespace

TableViewCell::TableViewCell(std::string reuseIdentifier) : reuseIdentifier_(std::move(reuseIdentifier)) {
    setBackgroundColor(gfx::Color::systemBackground());
    contentView_->setLayoutName("contentView");
    // The rows' content is laid out cell by cell, not in one system with the whole window.
    contentView_->setLaysOutApart(true);
    addSubview(contentView_);
    separator_->setUserInteractionEnabled(false);
    separator_->setHidden(true);
    addSubview(separator_);
    focusRing_->setUserInteractionEnabled(false);
    focusRing_->setHidden(true);
    focusRing_->layer()->setBorderWidth(focusRingWidth);
    focusRing_->layer()->setBorderColor(gfx::Color::systemBlue());
    focusRing_->layer()->setCornerRadius(focusRingRadius);
    addSubview(focusRing_);
}

void TableViewCell::setFocused(bool focused) {
    if (isFocused() == focused) return;
    focusRing_->setHidden(!focused);
    setNeedsLayout();
}

const std::shared_ptr<Label>& TableViewCell::textLabel() {
    if (!textLabel_) {
        textLabel_ = std::make_shared<Label>();
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

void TableViewCell::setBackgroundView(std::shared_ptr<View> view) {
    if (backgroundView_) backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_) insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view) {
    if (selectedBackgroundView_) selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    updateSelectionBackground(false);
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style) {
    selectionStyle_ = style;
    updateSelectionBackground(false);
}

void TableViewCell::setSeparatorInset(const EdgeInsets& insets) {
    separatorInset_ = insets;
    setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool animated) {
    if (selected_ == selected) return;
    selected_ = selected;
    updateSelectionBackground(animated);
}

void TableViewCell::setHighlighted(bool highlighted, bool animated) {
    if (highlighted_ == highlighted) return;
    highlighted_ = highlighted;
    updateSelectionBackground(animated);
}

void TableViewCell::prepareForReuse() {
    setSelected(false);
    setHighlighted(false);
}

void TableViewCell::updateSelectionBackground(bool animated) {
    std::shared_ptr<View> shown = selectedBackgroundView_;
    if (!shown && selectionStyle_ != TableViewCellSelectionStyle::none) {
        if (!defaultSelectedBackground_) {
            defaultSelectedBackground_ = std::make_shared<View>();
            defaultSelectedBackground_->setBackgroundColor(gfx::Color::systemGray4());
        }
        shown = defaultSelectedBackground_;
    }
    if (defaultSelectedBackground_ && shown != defaultSelectedBackground_) defaultSelectedBackground_->removeFromSuperview();
    if (!shown) return;
    bool visible = (selected_ || highlighted_) && selectionStyle_ != TableViewCellSelectionStyle::none;
    if (visible && shown->superview().get() != this) {
        shown->setAlpha(0);
        insertSubviewBelow(shown, contentView_);
        shown->setFrame(bounds());
    }
    auto apply = [&] { shown->setAlpha(visible ? 1 : 0); };
    if (animated) View::animate(selectionFadeDuration, apply);
    else View::performWithoutAnimation(apply);
}

void TableViewCell::setFrame(const Rect& frame) {
    View::setFrame(frame);
    contentView_->setFrame({{0, 0}, bounds().size});
}

void TableViewCell::layoutSubviews() {
    Rect area{{0, 0}, bounds().size};
    contentView_->setFrame(area);
    if (backgroundView_) backgroundView_->setFrame(area);
    for (const auto& view : {selectedBackgroundView_, defaultSelectedBackground_})
        if (view && view->superview().get() == this) view->setFrame(area);
    if (textLabel_) textLabel_->setFrame({16, 0, std::max(0.0, area.size.width - 32), area.size.height});
    bringSubviewToFront(separator_);
    focusRing_->setFrame(area.insetBy(focusRingInset, focusRingInset));
    bringSubviewToFront(focusRing_);
}

void TableViewCell::placeSeparator(double width, double thickness, bool visible, gfx::Color color) {
    double left = separatorInset_.left;
    double right = width - separatorInset_.right;
    bool shows = visible && right > left;
    separator_->setHidden(!shows);
    if (!shows) return;
    separator_->setBackgroundColor(color);
    separator_->setFrame({left, bounds().height() - thickness, right - left, thickness});
    bringSubviewToFront(separator_);
}

}  // namespace ui
