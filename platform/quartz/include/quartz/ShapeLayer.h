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
    gfx::LineCap lineCap() const { return stroke().cap; }
    void setLineCap(gfx::LineCap cap) { changeStroke(&Stroke::cap, cap); }
    gfx::LineJoin lineJoin() const { return stroke().join; }
    void setLineJoin(gfx::LineJoin join) { changeStroke(&Stroke::join, join); }
    double miterLimit() const { return stroke().miterLimit; }
    void setMiterLimit(double limit) { changeStroke(&Stroke::miterLimit, limit); }
    const std::vector<double>& lineDashPattern() const { return stroke().dashes; }
    void setLineDashPattern(std::vector<double> pattern) { changeStroke(&Stroke::dashes, std::move(pattern)); }
    double lineDashPhase() const { return stroke().dashPhase; }
    void setLineDashPhase(double phase) { changeStroke(&Stroke::dashPhase, phase); }
    double strokeStart() const { return stroke().start; }
    void setStrokeStart(double start) { changeStroke(&Stroke::start, start); }
    double strokeEnd() const { return stroke().end; }
    void setStrokeEnd(double end) { changeStroke(&Stroke::end, end); }

    void draw(gfx::Context& context) const override;
    OwnDrawing ownDrawing() const override;
    // Makes what this layer draws, placed by `placement`, the shape the gradients `context` draws next paint
    // (gfx::Context::setGradientShape), the line style set for a stroke: for a layer that draws one opaque fill or
    // one opaque stroke, whole. False, with nothing set, for any other.
    bool setAsGradientShape(gfx::Context& context, const gfx::AffineTransform& placement) const;
    gfx::Rect drawingBounds() const override;
    std::optional<AnimationValue> animatableValue(const std::string& keyPath) const override;
    bool setAnimatableValue(const std::string& keyPath, const AnimationValue& value) override;

protected:
    ShapeLayer() = default;
    ShapeLayer(const ShapeLayer& other);
    // ShapeLayer's own answer to ownDrawing, for kinds that keep its draw().
    OwnDrawing shapeDrawing() const;

private:
    // How a stroke is drawn past its colour and width: most of a document's shapes keep every default
    // (unstroked, or stroked plainly), so it is kept apart and made when a value other than the default
    // is first set.
    struct Stroke {
        gfx::LineCap cap = gfx::LineCap::butt;
        gfx::LineJoin join = gfx::LineJoin::miter;
        double miterLimit = 10;
        std::vector<double> dashes;
        double dashPhase = 0;
        double start = 0;
        double end = 1;
    };
    static const Stroke& unsetStroke() {
        static const Stroke unset;
        return unset;
    }
    const Stroke& stroke() const { return stroke_ ? *stroke_ : unsetStroke(); }
    // The line style on `context`, its width and dashes divided by `scale` (the path's placement's).
    void setLineStyle(gfx::Context& context, double scale) const;
    template <class T, class Value>
    void changeStroke(T Stroke::*field, Value&& value) {
        if (!stroke_) {
            if (value == unsetStroke().*field) return;
            stroke_ = std::make_unique<Stroke>();
        }
        (*stroke_).*field = std::forward<Value>(value);
    }

    std::shared_ptr<const gfx::Path> path_;
    gfx::AffineTransform pathTransform_;
    std::optional<gfx::Color> fillColor_ = gfx::Color::black();
    gfx::FillRule fillRule_ = gfx::FillRule::winding;
    std::optional<gfx::Color> strokeColor_;
    double lineWidth_ = 1;
    std::unique_ptr<Stroke> stroke_;  // null while every value in it has its default
};

// The part of `path` between the fractions `start` and `end` of its length, curves flattened into lines no longer
// than `tolerance`. Whole closed subpaths stay closed.
gfx::Path trimmedPath(const gfx::Path& path, double start, double end, double tolerance = 0.25);

}  // namespace quartz
