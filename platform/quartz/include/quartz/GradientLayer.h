#pragma once

#include <vector>

#include "quartz/Layer.h"

namespace quartz {

enum class GradientType { axial, radial };

// Fills its bounds with a gradient. Points are in unit coordinates of the bounds. Axial: colours run from startPoint
// to endPoint, the end colours continuing beyond. Radial: centred on startPoint, reaching the last colour on the
// ellipse through endPoint (radii |end - start| times the bounds' width and height).
class GradientLayer : public Layer {
public:
    static std::shared_ptr<GradientLayer> make() { return std::make_shared<GradientLayer>(Making{}); }
    explicit GradientLayer(Making) {}
    std::shared_ptr<Layer> copyLayer() const override;

    const std::vector<gfx::Color>& colors() const { return colors_; }
    void setColors(std::vector<gfx::Color> colors) { colors_ = std::move(colors); }
    // Empty spreads the colours evenly; otherwise one location a colour, or nothing is drawn.
    const std::vector<double>& locations() const { return locations_; }
    void setLocations(std::vector<double> locations) { locations_ = std::move(locations); }
    gfx::Point startPoint() const { return startPoint_; }
    void setStartPoint(gfx::Point point) { startPoint_ = point; }
    gfx::Point endPoint() const { return endPoint_; }
    void setEndPoint(gfx::Point point) { endPoint_ = point; }
    GradientType type() const { return type_; }
    void setType(GradientType type) { type_ = type; }

    void draw(gfx::Context& context) const override;
    // One gradient, painted once.
    OwnDrawing ownDrawing() const override;

protected:
    GradientLayer() = default;
    GradientLayer(const GradientLayer&) = default;

private:
    std::vector<gfx::Color> colors_;
    std::vector<double> locations_;
    gfx::Point startPoint_{0.5, 0};
    gfx::Point endPoint_{0.5, 1};
    GradientType type_ = GradientType::axial;
};

}  // namespace quartz
