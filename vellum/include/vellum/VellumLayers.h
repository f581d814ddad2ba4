#pragma once

#include <memory>
#include <vector>

#include "gfx/AttributedString.h"
#include "gfx/Gradient.h"
#include "gfx/Path.h"
#include "quartz/GradientLayer.h"
#include "quartz/Layer.h"
#include "quartz/ShapeLayer.h"
#include "quartz/TextLayer.h"
#include "vellum/SVGRect.h"

namespace vellum {

class SVGGradientElement;

// The layer classes of SVG layer trees. Masks need no clip rendering of their own here: the quartz
// renderer clips to a mask that is one filled shape and draws any other mask into an alpha buffer in
// the masked layer's space.
class CALayerWithClipRender : public quartz::Layer {
public:
    static std::shared_ptr<CALayerWithClipRender> make() { return std::make_shared<CALayerWithClipRender>(Making{}); }
    explicit CALayerWithClipRender(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<CALayerWithClipRender>(new CALayerWithClipRender(*this));
    }
    OwnDrawing ownDrawing() const override { return delegateDrawing(); }

protected:
    CALayerWithClipRender() = default;
    CALayerWithClipRender(const CALayerWithClipRender&) = default;
};

// A group: it contains a point when one of its sublayers does.
class CALayerWithChildHitTest : public CALayerWithClipRender {
public:
    static std::shared_ptr<CALayerWithChildHitTest> make() { return std::make_shared<CALayerWithChildHitTest>(Making{}); }
    explicit CALayerWithChildHitTest(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<CALayerWithChildHitTest>(new CALayerWithChildHitTest(*this));
    }
    bool contains(gfx::Point point) const override;

protected:
    CALayerWithChildHitTest() = default;
    CALayerWithChildHitTest(const CALayerWithChildHitTest&) = default;
};

// A shape layer that draws nothing while its bounds are empty.
class CAShapeLayerWithClipRender : public quartz::ShapeLayer {
public:
    static std::shared_ptr<CAShapeLayerWithClipRender> make() { return std::make_shared<CAShapeLayerWithClipRender>(Making{}); }
    explicit CAShapeLayerWithClipRender(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<CAShapeLayerWithClipRender>(new CAShapeLayerWithClipRender(*this));
    }
    void draw(gfx::Context& context) const override;
    OwnDrawing ownDrawing() const override;

protected:
    CAShapeLayerWithClipRender() = default;
    CAShapeLayerWithClipRender(const CAShapeLayerWithClipRender&) = default;
};

// Hits follow the fill (non-zero rule) within the bounds; the stroke is not part of the hit area.
class CAShapeLayerWithHitTest : public CAShapeLayerWithClipRender {
public:
    static std::shared_ptr<CAShapeLayerWithHitTest> make() { return std::make_shared<CAShapeLayerWithHitTest>(Making{}); }
    explicit CAShapeLayerWithHitTest(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<CAShapeLayerWithHitTest>(new CAShapeLayerWithHitTest(*this));
    }
    bool contains(gfx::Point point) const override;

protected:
    CAShapeLayerWithHitTest() = default;
    CAShapeLayerWithHitTest(const CAShapeLayerWithHitTest&) = default;
};

// Draws its gradient element's gradient: lengths against the object (or, in user space, the view
// box), the gradient transform, and the end colours extended beyond both ends.
class SVGGradientLayer : public quartz::GradientLayer {
public:
    static std::shared_ptr<SVGGradientLayer> make() { return std::make_shared<SVGGradientLayer>(Making{}); }
    explicit SVGGradientLayer(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<SVGGradientLayer>(new SVGGradientLayer(*this));
    }
    void draw(gfx::Context& context) const override;
    // One gradient, painted once (or nothing).
    OwnDrawing ownDrawing() const override { return OwnDrawing::of(OwnDrawing::Kind::single); }

    // Nothing without colours, or when colours and locations differ in count (both logged), or for a
    // radial gradient whose radius is not above 0.
    std::shared_ptr<const gfx::Gradient> createCGGradient() const;
    void renderLinearGradientInContext(gfx::Context& context) const;
    void renderRadialGradientInContext(gfx::Context& context) const;

    const std::shared_ptr<SVGGradientElement>& gradientElement() const { return gradientElement_; }
    void setGradientElement(std::shared_ptr<SVGGradientElement> element) { gradientElement_ = std::move(element); }
    SVGRect viewportRect() const { return viewportRect_; }
    void setViewportRect(SVGRect rect) { viewportRect_ = rect; }
    gfx::Rect objectRect() const { return objectRect_; }
    void setObjectRect(const gfx::Rect& rect) { objectRect_ = rect; }
    const gfx::AffineTransform& absoluteTransform() const { return absoluteTransform_; }
    void setAbsoluteTransform(const gfx::AffineTransform& transform) { absoluteTransform_ = transform; }
    // The painted shape's own box in its user space. When set, bounding-box gradients follow it through
    // the absolute transform; without it they stretch over objectRect.
    const std::optional<gfx::Rect>& userBoundingBox() const { return userBoundingBox_; }
    void setUserBoundingBox(std::optional<gfx::Rect> box) { userBoundingBox_ = box; }

protected:
    SVGGradientLayer() = default;
    SVGGradientLayer(const SVGGradientLayer&) = default;

private:
    std::shared_ptr<SVGGradientElement> gradientElement_;
    SVGRect viewportRect_ = SVGRectUninitialized();
    gfx::Rect objectRect_;
    gfx::AffineTransform absoluteTransform_;
    std::optional<gfx::Rect> userBoundingBox_;
};

// The text layer of SVG text: draws its attributed text (font, fill and stroke per run) from its
// top-left, on one line unless wrapped at the bounds' width.
class SVGTextLayer : public quartz::TextLayer {
public:
    static std::shared_ptr<SVGTextLayer> make() { return std::make_shared<SVGTextLayer>(Making{}); }
    explicit SVGTextLayer(Making) {}
    std::shared_ptr<quartz::Layer> copyLayer() const override {
        return std::shared_ptr<SVGTextLayer>(new SVGTextLayer(*this));
    }
    void draw(gfx::Context& context) const override;

    const gfx::AttributedString& attributedText() const { return attributedText_; }
    void setAttributedText(gfx::AttributedString text) { attributedText_ = std::move(text); }

    // A stretch of text laid out on its own: its baseline starts at `origin` (in the layer's bounds)
    // and runs along `rotation` (radians, clockwise on the screen).
    struct Piece {
        gfx::AttributedString string;
        gfx::Point origin;
        double rotation = 0;
    };
    // With pieces, an unwrapped layer draws them instead of its attributed text in one line.
    const std::vector<Piece>& pieces() const { return pieces_; }
    void setPieces(std::vector<Piece> pieces) { pieces_ = std::move(pieces); }
    // The glyphs filled in black without strokes, whatever their paint: the shape a clip takes from text.
    void keepGlyphShapesOnly();

protected:
    SVGTextLayer() = default;
    SVGTextLayer(const SVGTextLayer&) = default;

private:
    gfx::AttributedString attributedText_;
    std::vector<Piece> pieces_;
};

// The path with every point moved by (-x, -y); infinite coordinates and offsets become the largest
// finite double of their sign first.
gfx::Path CGPathCreateByOffsettingPath(const gfx::Path& path, double x, double y);
// The same for the path transformed first, in one pass (no transformed copy in between).
gfx::Path CGPathCreateByOffsettingPath(const gfx::Path& path, const gfx::AffineTransform& transform, double x, double y);

// A copy of the layer of its own kind with every property, its own subclass's fields included (the
// platform's copier lost line joins, miter limits, dashes, fill rules and those fields); the mask is
// always copied whole. `cloneRecursively` copies the sublayers too.
std::shared_ptr<quartz::Layer> cloneOptionallRecurse(const quartz::Layer& layer, bool recurse);
inline std::shared_ptr<quartz::Layer> cloneRecursively(const quartz::Layer& layer) {
    return cloneOptionallRecurse(layer, true);
}
inline std::shared_ptr<quartz::Layer> cloneShallow(const quartz::Layer& layer) {
    return cloneOptionallRecurse(layer, false);
}

}  // namespace vellum
