#include <algorithm>

#include "declarative/Color.h"
#include "declarative/Image.h"
#include "declarative/ZStack.h"
#include "ui/ImageView.h"

namespace declarative {
namespace {

// Holds the views of a node's children: each fills it, or stands centred at the size it fits.
class ContainerView final : public ui::View {
public:
    explicit ContainerView(bool centred) : centred_(centred) { setUserInteractionEnabled(true); }

    ui::Size sizeThatFits(ui::Size size) const override {
        ui::Size fitted{0, 0};
        for (const auto& child : subviews()) {
            const ui::Size each = child->sizeThatFits(size);
            fitted = {std::max(fitted.width, each.width), std::max(fitted.height, each.height)};
        }
        return fitted;
    }

    void layoutSubviews() override {
        const ui::Rect area = bounds();
        for (const auto& child : subviews()) {
            if (!centred_) {
                child->setFrame(area);
                continue;
            }
            const ui::Size fitted = child->sizeThatFits(area.size);
            const ui::Size size{std::min(fitted.width, area.size.width), std::min(fitted.height, area.size.height)};
            child->setFrame({area.origin.x + (area.size.width - size.width) / 2,
                             area.origin.y + (area.size.height - size.height) / 2, size.width, size.height});
        }
    }

private:
    bool centred_;
};

class ColorView final : public ui::View {
public:
    ui::Size sizeThatFits(ui::Size size) const override { return size; }
};

class ImageElementView final : public ui::ImageView {
public:
    bool resizable = false;
    ui::Size sizeThatFits(ui::Size size) const override { return resizable ? size : ui::ImageView::sizeThatFits(size); }
};

class ZStackElement final : public Element {
public:
    explicit ZStackElement(std::vector<AnyView> children) : children_(std::move(children)) {}
    std::type_index kind() const override { return typeid(ZStackElement); }
    std::shared_ptr<ui::View> makeView() const override { return makeContainerView(true); }
    void update(NodeUpdate& update) const override { update.setChildren(children_); }

private:
    std::vector<AnyView> children_;
};

class ColorElement final : public Element {
public:
    explicit ColorElement(gfx::Color color) : color_(color) {}
    std::type_index kind() const override { return typeid(ColorElement); }
    std::shared_ptr<ui::View> makeView() const override { return std::make_shared<ColorView>(); }
    void update(NodeUpdate& update) const override { update.view().setBackgroundColor(color_); }

private:
    gfx::Color color_;
};

ui::ImageRenderingMode platformRenderingMode(std::optional<Image::TemplateRenderingMode> mode) {
    if (!mode) return ui::ImageRenderingMode::automatic;
    return *mode == Image::TemplateRenderingMode::template_ ? ui::ImageRenderingMode::alwaysTemplate
                                                             : ui::ImageRenderingMode::alwaysOriginal;
}

class ImageElement final : public Element {
public:
    explicit ImageElement(Image image) : image_(std::move(image)) {}
    std::type_index kind() const override { return typeid(ImageElement); }
    std::shared_ptr<ui::View> makeView() const override { return std::make_shared<ImageElementView>(); }
    void update(NodeUpdate& update) const override {
        auto& view = update.viewAs<ImageElementView>();
        // Setting the same image again would restart an animated one.
        if (view.image() != image_.image()) view.setImage(image_.image());
        view.resizable = image_.isResizable();
        view.setContentMode(image_.isResizable() ? ui::ContentMode::scaleToFill : ui::ContentMode::center);
        view.setRenderingMode(platformRenderingMode(image_.templateRenderingMode()));
        if (auto superview = view.superview()) superview->setNeedsLayout();
    }

private:
    Image image_;
};

}  // namespace

std::shared_ptr<ui::View> makeContainerView(bool centred) { return std::make_shared<ContainerView>(centred); }

ZStack::operator AnyView() const { return AnyView(std::make_shared<ZStackElement>(children)); }

Color::operator AnyView() const { return AnyView(std::make_shared<ColorElement>(color)); }

Image::operator AnyView() const { return AnyView(std::make_shared<ImageElement>(*this)); }

Image Image::resizable(ui::EdgeInsets capInsets, ResizingMode mode) const {
    Image copy = *this;
    copy.resizable_ = true;
    copy.capInsets_ = capInsets;
    copy.resizingMode_ = mode;
    return copy;
}

Image Image::renderingMode(std::optional<TemplateRenderingMode> mode) const {
    Image copy = *this;
    copy.renderingMode_ = mode;
    return copy;
}

Image Image::interpolation(Interpolation interpolation) const {
    Image copy = *this;
    copy.interpolation_ = interpolation;
    return copy;
}

Image Image::antialiased(bool antialiased) const {
    Image copy = *this;
    copy.antialiased_ = antialiased;
    return copy;
}

}  // namespace declarative
