#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "gfx/AttributedString.h"
#include "gfx/Image.h"
#include "ui/Control.h"
#include "ui/ImageView.h"
#include "ui/Label.h"
#include "ui/Menu.h"

namespace ui {

// System buttons take the tint colour for their title and template images and fade while pressed;
// custom buttons show exactly what they are given (white titles by default).
enum class ButtonType { custom, system };

enum class ContentHorizontalAlignment { center, left, right, fill };

// A control showing a title and an image side by side (image first) over an optional background
// image, each settable per state. A state without its own value falls back to normal.
class Button : public Control {
public:
    explicit Button(ButtonType type = ButtonType::custom);
    static std::shared_ptr<Button> make(ButtonType type = ButtonType::custom) { return std::make_shared<Button>(type); }

    ButtonType buttonType() const { return type_; }

    void setTitle(std::optional<std::string> title, ControlState state);
    std::optional<std::string> title(ControlState state) const;
    void setAttributedTitle(std::optional<gfx::AttributedString> title, ControlState state);
    std::optional<gfx::AttributedString> attributedTitle(ControlState state) const;
    void setTitleColor(std::optional<gfx::Color> color, ControlState state);
    std::optional<gfx::Color> titleColor(ControlState state) const;
    void setImage(std::shared_ptr<gfx::Image> image, ControlState state);
    std::shared_ptr<gfx::Image> image(ControlState state) const;
    void setBackgroundImage(std::shared_ptr<gfx::Image> image, ControlState state);
    std::shared_ptr<gfx::Image> backgroundImage(ControlState state) const;

    // What the current state shows.
    std::optional<std::string> currentTitle() const { return title(state()); }
    std::shared_ptr<gfx::Image> currentImage() const { return image(state()); }
    std::shared_ptr<gfx::Image> currentBackgroundImage() const { return backgroundImage(state()); }
    gfx::Color currentTitleColor() const;

    // The label and image view the button lays out; style them (font, alignment, content mode) freely.
    const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ImageView>& imageView() const { return imageView_; }

    EdgeInsets contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(const EdgeInsets& insets);
    EdgeInsets titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(const EdgeInsets& insets);
    EdgeInsets imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(const EdgeInsets& insets);
    ContentHorizontalAlignment contentHorizontalAlignment() const { return horizontalAlignment_; }
    void setContentHorizontalAlignment(ContentHorizontalAlignment alignment);

    // A menu that a tap presents (through the installed menu presenter) instead of sending the
    // tap's actions, when showsMenuAsPrimaryAction is set.
    const std::shared_ptr<Menu>& menu() const { return menu_; }
    void setMenu(std::shared_ptr<Menu> menu) { menu_ = std::move(menu); }
    bool showsMenuAsPrimaryAction() const { return showsMenuAsPrimaryAction_; }
    void setShowsMenuAsPrimaryAction(bool shows) { showsMenuAsPrimaryAction_ = shows; }

    Size intrinsicContentSize() const override;
    Size sizeThatFits(Size size) const override;
    void layoutSubviews() override;
    void draw(gfx::Context& context, const Rect& rect) override;
    std::string layoutName() const override;

protected:
    void stateDidChange() override;
    void tintColorDidChange() override { updateContent(); }
    void didTapInside() override;

private:
    template <class Value>
    using PerState = std::map<ControlState, Value>;
    template <class Value>
    static std::optional<Value> lookup(const PerState<Value>& values, ControlState state);

    void updateContent();
    Size titleSize() const;
    Size imageSize() const;

    ButtonType type_;
    std::shared_ptr<Label> titleLabel_ = std::make_shared<Label>();
    std::shared_ptr<ImageView> imageView_ = std::make_shared<ImageView>();
    PerState<std::string> titles_;
    PerState<gfx::AttributedString> attributedTitles_;
    PerState<gfx::Color> titleColors_;
    PerState<std::shared_ptr<gfx::Image>> images_;
    PerState<std::shared_ptr<gfx::Image>> backgroundImages_;
    EdgeInsets contentEdgeInsets_;
    EdgeInsets titleEdgeInsets_;
    EdgeInsets imageEdgeInsets_;
    ContentHorizontalAlignment horizontalAlignment_ = ContentHorizontalAlignment::center;
    std::shared_ptr<Menu> menu_;
    bool showsMenuAsPrimaryAction_ = false;
};

}  // namespace ui
