#include "quartz/GradientLayer.h"

#include <cmath>
#include <typeinfo>

#include "gfx/Gradient.h"

namespace quartz {

std::shared_ptr<Layer> GradientLayer::copyLayer() const { return std::shared_ptr<Layer>(new GradientLayer(*this)); }

Layer::OwnDrawing GradientLayer::ownDrawing() const {
    if (typeid(*this) != typeid(GradientLayer)) return {};
    const OwnDrawing own = delegateDrawing();
    return own.kind == OwnDrawing::Kind::nothing ? OwnDrawing::of(OwnDrawing::Kind::single) : own;
}

void GradientLayer::draw(gfx::Context& context) const {
    Layer::draw(context);
    std::optional<gfx::Gradient> gradient = gfx::Gradient::make(colors_, locations_);
    gfx::Rect box = bounds();
    if (!gradient || box.isEmpty()) return;
    auto inBounds = [&](gfx::Point unit) {
        return gfx::Point{box.origin.x + unit.x * box.size.width, box.origin.y + unit.y * box.size.height};
    };
    unsigned extend = gfx::drawsBeforeStartLocation | gfx::drawsAfterEndLocation;
    context.save();
    context.clip(box);
    if (type_ == GradientType::axial) {
        context.drawLinearGradient(*gradient, inBounds(startPoint_), inBounds(endPoint_), extend);
    } else {
        gfx::Point center = inBounds(startPoint_);
        double radiusX = std::abs(endPoint_.x - startPoint_.x) * box.size.width;
        double radiusY = std::abs(endPoint_.y - startPoint_.y) * box.size.height;
        if (radiusX > 0 && radiusY > 0) {
            // A unit circle stretched into the ellipse.
            context.translateBy(center.x, center.y);
            context.scaleBy(radiusX, radiusY);
            context.drawRadialGradient(*gradient, {0, 0}, 0, {0, 0}, 1, extend);
        } else {
            // A degenerate ellipse shows only the last colour around the centre: a gradient of it alone, so that
            // it paints the gradient shape where one is set, as any gradient does.
            const std::vector<gfx::Color> last{gradient->stops().back().color};
            context.drawLinearGradient(*gfx::Gradient::make(last), box.origin, {box.maxX(), box.minY()}, extend);
        }
    }
    context.restore();
}

}  // namespace quartz
