#pragma once

#include <vector>

#include "quartz/Layer.h"

namespace quartz {

// Fills and strokes a path placed in the layer's bounds space by its path transform (the identity unless set).
// The fill is drawn whole; strokeStart and strokeEnd (fractions of the path's length, 0 to 1) limit the stroke only.
class ShapeLayer : public Layer {
public:
    static std::shared_ptr<ShapeLayer> make() { return std::make_shared<ShapeLayer>(Making{}); }
    explicit ShapeLayer(Making) {}
    std::shared_ptr<Layer> copyLayer() const override;

    // The path in its own space, null for none; pathTransform places it in bounds space.
    const gfx::Path* path() const { return path_.get(); }
    // A path already in bounds space.
    void setPath(std::optional<gfx::Path> path);
    // Shares a path that is never changed (a document's) instead of copying it, and places it in bounds
    // space by `transform`: a layer of a long path then costs no copy of its points.
    void setSharedPath(std::shared_ptr<const gfx::Path> path, const gfx::AffineTransform& transform = {});
    const std::shared_ptr<const gfx::Path>& sharedPath() const { return path_; }
    const gfx::AffineTransform& pathTransform() const { return pathTransform_; }
    // The path as drawn, in bounds space.
    std::optional<gfx::Path> placedPath() const;
    // Whether drawing can move the context by `transform` to draw a path as it is: Cairo ignores a singular
    // or non-finite transform, so a path under one is drawn placed point by point.
    static bool drawsThroughTransform(const gfx::AffineTransform& transform);
    // Whether a stroke can be drawn through `transform` too: one that scales both axes alike (and moves),
    // by which the width and dashes are divided.
    static bool strokesThroughTransform(const gfx::AffineTransform& transform);
    // Nothing means no fill (or no stroke).
    std::optional<gfx::Color> fillColor() const { return fillColor_; }
    void setFillColor(std::optional<gfx::Color> color) { fillColor_ = color; }
    gfx::FillRule fillRule() const { return fillRule_; }
    void setFillRule(gfx::FillRule rule) { fillRule_ = rule; }
    std::optional<gfx::Color> strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<gfx::Color> color) { strokeColor_ = color; }
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }
    gfx::LineCap lineCap() const { return lineCap_; }
    void setLineCap(gfx::LineCap cap) { lineCap_ = cap; }
    gfx::LineJoin lineJoin() const { return lineJoin_; }
    void setLineJoin(gfx::LineJoin join) { lineJoin_ = join; }
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double limit) { miterLimit_ = limit; }
    const std::vector<double>& lineDashPattern() const { return lineDashPattern_; }
    void setLineDashPattern(std::vector<double> pattern) { lineDashPattern_ = std::move(pattern); }
    double lineDashPhase() const { return lineDashPhase_; }
    void setLineDashPhase(double phase) { lineDashPhase_ = phase; }
    double strokeStart() const { return strokeStart_; }
    void setStrokeStart(double start) { strokeStart_ = start; }
    double strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(double end) { strokeEnd_ = end; }

    void draw(gfx::Context& context) const override;
    OwnDrawing ownDrawing() const override;
    gfx::Rect drawingBounds() const override;
    std::optional<AnimationValue> animatableValue(const std::string& keyPath) const override;
    bool setAnimatableValue(const std::string& keyPath, const AnimationValue& value) override;

protected:
    ShapeLayer() = default;
    ShapeLayer(const ShapeLayer&) = default;
    // ShapeLayer's own answer to ownDrawing, for kinds that keep its draw().
    OwnDrawing shapeDrawing() const;

private:
    std::shared_ptr<const gfx::Path> path_;
    gfx::AffineTransform pathTransform_;
    std::optional<gfx::Color> fillColor_ = gfx::Color::black();
    gfx::FillRule fillRule_ = gfx::FillRule::winding;
    std::optional<gfx::Color> strokeColor_;
    double lineWidth_ = 1;
    gfx::LineCap lineCap_ = gfx::LineCap::butt;
    gfx::LineJoin lineJoin_ = gfx::LineJoin::miter;
    double miterLimit_ = 10;
    std::vector<double> lineDashPattern_;
    double lineDashPhase_ = 0;
    double strokeStart_ = 0;
    double strokeEnd_ = 1;
};

// The part of `path` between the fractions `start` and `end` of its length, curves flattened into lines no longer
// than `tolerance`. Whole closed subpaths stay closed.
gfx::Path trimmedPath(const gfx::Path& path, double start, double end, double tolerance = 0.25);

}  // namespace quartz
