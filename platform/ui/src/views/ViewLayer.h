#pragma once

#include <memory>

#include "quartz/Layer.h"

namespace ui {

class View;

// The layer behind a view: draws through the view's draw(), and animates what views animate beyond
// the layer's own key paths: "bounds.size.width|height", "backgroundColor.red|green|blue|alpha" and
// the six affine components "affine.a" ... "affine.ty" (a view's transform animates component-wise).
class ViewLayer : public quartz::Layer {
public:
    static std::shared_ptr<ViewLayer> make() { return std::shared_ptr<ViewLayer>(new ViewLayer); }
    std::shared_ptr<quartz::Layer> copyLayer() const override;

    // The view is the layer's owner; it clears this as it ends, so the pointer never dangles.
    void setOwner(View* owner) { owner_ = owner; }
    View* owner() const { return owner_; }

    void draw(gfx::Context& context) const override;
    std::optional<quartz::AnimationValue> animatableValue(const std::string& keyPath) const override;
    bool setAnimatableValue(const std::string& keyPath, const quartz::AnimationValue& value) override;

private:
    ViewLayer() = default;
    ViewLayer(const ViewLayer&) = default;

    View* owner_ = nullptr;
};

}  // namespace ui
