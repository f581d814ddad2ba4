#include "ui/Label.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "gfx/TextMeasurer.h"

namespace ui {

namespace {

constexpr double unlimitedWidth = std::numeric_limits<double>::infinity();

Size roundedUp(Size size) { return {std::ceil(size.width), std::ceil(size.height)}; }

}  // namespace

Label::Label() {
    setUserInteractionEnabled(false);
    setContentHuggingPriority(251, LayoutAxis::horizontal);
    setContentHuggingPriority(251, LayoutAxis::vertical);
}

void Label::textDidChange() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Label::setText(std::string_view text) {
    text = gfx::AttributedString::shownPart(text);
    // A refresh sets every text again; one that stays the same changes nothing to lay out or draw.
    if (!attributedText_ && text == text_) return;
    text_.assign(text);
    attributedText_.reset();
    textDidChange();
}

void Label::setAttributedText(std::optional<gfx::AttributedString> text) {
    if (text) text_ = text->string();
    attributedText_ = std::move(text);
    textDidChange();
}

void Label::setFont(const gfx::Font& font) {
    font_ = font;
    textDidChange();
}

void Label::setTextColor(gfx::Color color) {
    textColor_ = color;
    setNeedsDisplay();
}

void Label::setTextAlignment(gfx::TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void Label::setNumberOfLines(int lines) {
    numberOfLines_ = std::max(lines, 0);
    textDidChange();
}

void Label::setLineBreakMode(gfx::LineBreakMode mode) {
    lineBreakMode_ = mode;
    textDidChange();
}

void Label::setAdjustsFontSizeToFitWidth(bool adjusts) {
    adjustsFontSize_ = adjusts;
    setNeedsDisplay();
}

void Label::setMinimumScaleFactor(double factor) {
    minimumScaleFactor_ = std::clamp(factor, 0.0, 1.0);
    setNeedsDisplay();
}

gfx::AttributedString Label::textAtSize(double pointSize) const {
    if (attributedText_) return *attributedText_;
    gfx::TextAttributes attributes;
    attributes.font = font_.withSize(pointSize);
    attributes.foregroundColor = textColor_;
    attributes.paragraphStyle = gfx::ParagraphStyle{alignment_, lineBreakMode_};
    return gfx::AttributedString(text_, attributes);
}

gfx::AttributedString Label::effectiveText() const { return textAtSize(font_.pointSize()); }

gfx::TextLayoutOptions Label::options(double width) const {
    gfx::TextLayoutOptions options;
    options.width = width > 0 ? width : unlimitedWidth;
    options.numberOfLines = numberOfLines_;
    options.alignment = alignment_;
    options.lineBreakMode = lineBreakMode_;
    return options;
}

double Label::displayedFontSize() const {
    double size = font_.pointSize();
    double width = bounds().width();
    if (!adjustsFontSize_ || numberOfLines_ != 1 || attributedText_ || width <= 0 || text_.empty()) return size;
    double natural = gfx::textMeasurer()->measure(effectiveText(), options(unlimitedWidth)).size.width;
    if (natural <= width) return size;
    return size * std::max(minimumScaleFactor_, width / natural);
}

Size Label::intrinsicContentSize() const {
    if (text_.empty()) return {0, 0};
    return roundedUp(gfx::textMeasurer()->measure(effectiveText(), options(unlimitedWidth)).size);
}

std::optional<double> Label::intrinsicHeight(double width) const {
    if (numberOfLines_ == 1) return std::nullopt;
    if (text_.empty()) return 0.0;
    return std::ceil(gfx::textMeasurer()->measure(effectiveText(), options(width)).size.height);
}

Size Label::sizeThatFits(Size size) const {
    if (text_.empty()) return {0, 0};
    Size measured = gfx::textMeasurer()->measure(effectiveText(), options(size.width)).size;
    return roundedUp(measured);
}

std::string Label::layoutName() const {
    std::string name = View::layoutName();
    return name == "View" ? "Label '" + text_.substr(0, 20) + "'" : name;
}

void Label::draw(gfx::Context& context, const Rect& rect) {
    if (text_.empty()) return;
    gfx::TextLayout layout = gfx::TextLayout::make(textAtSize(displayedFontSize()), options(rect.width()));
    double height = layout.size().height;
    context.save();
    context.clip(rect);
    layout.draw(context, {rect.minX(), rect.minY() + (rect.height() - height) / 2});
    context.restore();
}

}  // namespace ui
