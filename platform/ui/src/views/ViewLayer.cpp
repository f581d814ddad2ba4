#include "ViewLayer.h"

#include "ui/View.h"

namespace ui {

namespace {

double* affineComponent(gfx::AffineTransform& t, const std::string& name) {
    if (name == "a") return &t.a;
    if (name == "b") return &t.b;
    if (name == "c") return &t.c;
    if (name == "d") return &t.d;
    if (name == "tx") return &t.tx;
    if (name == "ty") return &t.ty;
    return nullptr;
}

double* colorComponent(gfx::Color& color, const std::string& name) {
    if (name == "red") return &color.red;
    if (name == "green") return &color.green;
    if (name == "blue") return &color.blue;
    if (name == "alpha") return &color.alpha;
    return nullptr;
}

constexpr std::string_view affinePrefix = "affine.";
constexpr std::string_view colorPrefix = "backgroundColor.";

bool startsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::shared_ptr<quartz::Layer> ViewLayer::copyLayer() const { return std::shared_ptr<Layer>(new ViewLayer(*this)); }

void ViewLayer::draw(gfx::Context& context) const {
    quartz::Layer::draw(context);
    if (owner_) owner_->draw(context, bounds());
}

std::optional<quartz::AnimationValue> ViewLayer::animatableValue(const std::string& keyPath) const {
    if (keyPath == "bounds.size.width") return bounds().size.width;
    if (keyPath == "bounds.size.height") return bounds().size.height;
    if (startsWith(keyPath, affinePrefix)) {
        gfx::AffineTransform t = affineTransform();
        if (double* field = affineComponent(t, keyPath.substr(affinePrefix.size()))) return *field;
        return std::nullopt;
    }
    if (startsWith(keyPath, colorPrefix)) {
        gfx::Color color = backgroundColor().value_or(gfx::Color::clear());
        if (double* field = colorComponent(color, keyPath.substr(colorPrefix.size()))) return *field;
        return std::nullopt;
    }
    return Layer::animatableValue(keyPath);
}

bool ViewLayer::setAnimatableValue(const std::string& keyPath, const quartz::AnimationValue& value) {
    const double* number = std::get_if<double>(&value);
    if (keyPath == "bounds.size.width" || keyPath == "bounds.size.height") {
        if (!number) return false;
        gfx::Rect box = bounds();
        (keyPath.back() == 'h' ? box.size.width : box.size.height) = *number;
        setBounds(box);
        return true;
    }
    if (startsWith(keyPath, affinePrefix)) {
        gfx::AffineTransform t = affineTransform();
        double* field = affineComponent(t, keyPath.substr(affinePrefix.size()));
        if (!field || !number) return false;
        *field = *number;
        setAffineTransform(t);
        return true;
    }
    if (startsWith(keyPath, colorPrefix)) {
        gfx::Color color = backgroundColor().value_or(gfx::Color::clear());
        double* field = colorComponent(color, keyPath.substr(colorPrefix.size()));
        if (!field || !number) return false;
        *field = *number;
        setBackgroundColor(color);
        return true;
    }
    return Layer::setAnimatableValue(keyPath, value);
}

}  // namespace ui
