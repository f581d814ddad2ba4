#include "ui/Button.h"

#include <algorithm>

namespace ui {

namespace {

// Fallbacks when a state has no value of its own: its single bits from the most specific, then normal.
constexpr ControlState fallbackOrder[] = {ControlState::disabled, ControlState::selected, ControlState::highlighted};

// How far a pressed system button fades its content.
constexpr double pressedAlpha = 0.2;

Rect insetOrEmpty(const Rect& rect, const EdgeInsets& insets) {
    Rect inset = rect.inset(insets);
    return inset.isNull() ? Rect{rect.midX(), rect.midY(), 0, 0} : inset;
}

}  // namespace

template <class Value>
std::optional<Value> Button::lookup(const PerState<Value>& values, ControlState state) {
    if (auto found = values.find(state); found != values.end()) return found->second;
    for (ControlState bit : fallbackOrder) {
        if ((static_cast<std::uint32_t>(state) & static_cast<std::uint32_t>(bit)) == 0) continue;
        if (auto found = values.find(bit); found != values.end()) return found->second;
    }
    if (auto found = values.find(ControlState::normal); found != values.end()) return found->second;
    return std::nullopt;
}

namespace {

// Stores a value for the state, or with nothing takes the state's own value away.
template <class Value>
void assign(std::map<ControlState, Value>& values, std::optional<Value> value, ControlState state) {
    if (value)
        values[state] = std::move(*value);
    else
        values.erase(state);
}

template <class Pointer>
std::optional<Pointer> present(Pointer pointer) {
    return pointer ? std::optional<Pointer>(std::move(pointer)) : std::nullopt;
}

}  // namespace

Button::Button(ButtonType type) : type_(type) {
    titleLabel_->setFont(gfx::Font::systemFont(15));
    titleLabel_->setLineBreakMode(gfx::LineBreakMode::byTruncatingMiddle);
    addSubview(imageView_);
    addSubview(titleLabel_);
    updateContent();
}

void Button::setTitle(std::optional<std::string> title, ControlState state) {
    assign(titles_, std::move(title), state);
    updateContent();
}

std::optional<std::string> Button::title(ControlState state) const { return lookup(titles_, state); }

void Button::setAttributedTitle(std::optional<gfx::AttributedString> title, ControlState state) {
    assign(attributedTitles_, std::move(title), state);
    updateContent();
}

std::optional<gfx::AttributedString> Button::attributedTitle(ControlState state) const {
    return lookup(attributedTitles_, state);
}

void Button::setTitleColor(std::optional<gfx::Color> color, ControlState state) {
    assign(titleColors_, std::move(color), state);
    updateContent();
}

std::optional<gfx::Color> Button::titleColor(ControlState state) const { return lookup(titleColors_, state); }

void Button::setImage(std::shared_ptr<gfx::Image> image, ControlState state) {
    assign(images_, present(std::move(image)), state);
    updateContent();
}

std::shared_ptr<gfx::Image> Button::image(ControlState state) const { return lookup(images_, state).value_or(nullptr); }

void Button::setBackgroundImage(std::shared_ptr<gfx::Image> image, ControlState state) {
    assign(backgroundImages_, present(std::move(image)), state);
    updateContent();
}

std::shared_ptr<gfx::Image> Button::backgroundImage(ControlState state) const {
    return lookup(backgroundImages_, state).value_or(nullptr);
}

gfx::Color Button::currentTitleColor() const {
    if (auto color = titleColor(state())) return *color;
    if (type_ == ButtonType::custom) return gfx::Color::white();
    return isEnabled() ? tintColor() : gfx::Color::systemGray3();
}

void Button::setContentEdgeInsets(const EdgeInsets& insets) {
    contentEdgeInsets_ = insets;
    invalidateIntrinsicContentSize();
}

void Button::setTitleEdgeInsets(const EdgeInsets& insets) {
    titleEdgeInsets_ = insets;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(const EdgeInsets& insets) {
    imageEdgeInsets_ = insets;
    setNeedsLayout();
}

void Button::setContentHorizontalAlignment(ContentHorizontalAlignment alignment) {
    horizontalAlignment_ = alignment;
    setNeedsLayout();
}

void Button::stateDidChange() { updateContent(); }

void Button::updateContent() {
    ControlState current = state();
    performWithoutAnimation([&] {
        if (auto attributed = attributedTitle(current)) {
            titleLabel_->setAttributedText(std::move(*attributed));
        } else {
            titleLabel_->setText(title(current).value_or(""));
            titleLabel_->setTextColor(currentTitleColor());
        }
        titleLabel_->setHidden(titleLabel_->text().empty());
        imageView_->setImage(currentImage());
        imageView_->setHidden(!imageView_->image());
        double contentAlpha = type_ == ButtonType::system && isHighlighted() ? pressedAlpha : 1;
        titleLabel_->setAlpha(contentAlpha);
        imageView_->setAlpha(contentAlpha);
    });
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

Size Button::titleSize() const { return titleLabel_->isHidden() ? Size{} : titleLabel_->intrinsicContentSize(); }

Size Button::imageSize() const {
    if (!imageView_->image()) return {};
    auto size = imageView_->image()->size();
    return {size.width, size.height};
}

Size Button::intrinsicContentSize() const {
    Size title = titleSize(), image = imageSize();
    return {image.width + title.width + contentEdgeInsets_.left + contentEdgeInsets_.right,
            std::max(image.height, title.height) + contentEdgeInsets_.top + contentEdgeInsets_.bottom};
}

Size Button::sizeThatFits(Size) const { return intrinsicContentSize(); }

void Button::layoutSubviews() {
    Rect content = insetOrEmpty(bounds(), contentEdgeInsets_);
    Size image = imageSize(), title = titleSize();
    double total = image.width + title.width;
    double x = content.minX();
    if (horizontalAlignment_ == ContentHorizontalAlignment::center) x += (content.width() - total) / 2;
    if (horizontalAlignment_ == ContentHorizontalAlignment::right) x = content.maxX() - total;
    x = std::max(x, content.minX());
    Rect imageRect{x, content.midY() - image.height / 2, image.width, image.height};
    double titleX = x + image.width;
    double titleWidth = horizontalAlignment_ == ContentHorizontalAlignment::fill
                            ? content.maxX() - titleX
                            : std::min(title.width, std::max(0.0, content.maxX() - titleX));
    Rect titleRect{titleX, content.midY() - title.height / 2, titleWidth, title.height};
    imageView_->setFrame(insetOrEmpty(imageRect, imageEdgeInsets_));
    titleLabel_->setFrame(insetOrEmpty(titleRect, titleEdgeInsets_));
}

void Button::draw(gfx::Context& context, const Rect& rect) {
    if (auto background = currentBackgroundImage()) drawImage(context, *background, rect, std::nullopt);
}

std::string Button::layoutName() const {
    std::string name = View::layoutName();
    return name == "View" ? "Button '" + currentTitle().value_or("") + "'" : name;
}

void Button::didTapInside() {
    if (menu_ && showsMenuAsPrimaryAction_) {
        presentMenu(*this, menu_);
        return;
    }
    Control::didTapInside();
}

}  // namespace ui
