#include "vellum/VellumLayers.h"

#include <cmath>
#include <limits>

#include "GradientLengths.h"
#include "VellumLog.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGGradientElement.h"

namespace vellum {

bool CALayerWithChildHitTest::contains(gfx::Point point) const {
    if (!bounds().contains(point)) return false;
    for (const auto& sublayer : sublayers()) {
        if (sublayer->contains(sublayer->convertPointFrom(point, this))) return true;
    }
    return false;
}

void CAShapeLayerWithClipRender::draw(gfx::Context& context) const {
    if (bounds().isEmpty()) return;
    quartz::ShapeLayer::draw(context);
}

quartz::Layer::OwnDrawing CAShapeLayerWithClipRender::ownDrawing() const {
    if (bounds().isEmpty()) return OwnDrawing::of(OwnDrawing::Kind::nothing);
    return shapeDrawing();
}

bool CAShapeLayerWithHitTest::contains(gfx::Point point) const {
    if (!bounds().contains(point) || !path()) return false;
    if (pathTransform().isIdentity()) return path()->contains(point, gfx::FillRule::winding);
    return placedPath()->contains(point, gfx::FillRule::winding);
}

std::shared_ptr<const gfx::Gradient> SVGGradientLayer::createCGGradient() const {
    if (!gradientElement_) return nullptr;
    if (auto* radial = SVGElement::as<SVGRadialGradientElement>(gradientElement_.get()); radial && !(radial->r().value() > 0)) {
        return nullptr;
    }
    if (gradientElement_->colors().empty()) {
        vellumLogWarning("[%@] colors count is zero", std::string("SVGGradientLayer"));
        return nullptr;
    }
    return gradientElement_->gradient();
}

namespace {

// From the gradient's own space (after its gradient transform) into the layer's bounds space, and
// the size its lengths are fractions of.
struct GradientSpace {
    gfx::AffineTransform toLayer;
    double width = 0, height = 0;
    bool userSpace = false;

    float length(const SVGLength& length, float dimension) const { return gradientLength(length, dimension, userSpace); }
};

GradientSpace gradientSpace(const SVGGradientLayer& layer, int units) {
    const gfx::Rect object = layer.objectRect();
    const auto intoLayer = gfx::AffineTransform::translation(-object.origin.x, -object.origin.y);
    if (units == 1) {
        const SVGRect viewport = layer.viewportRect();
        return {layer.absoluteTransform().concatenating(intoLayer), viewport.width, viewport.height, true};
    }
    if (const auto& box = layer.userBoundingBox()) {
        const auto unit = gfx::AffineTransform::scale(box->size.width, box->size.height)
                              .concatenating(gfx::AffineTransform::translation(box->origin.x, box->origin.y));
        return {unit.concatenating(layer.absoluteTransform()).concatenating(intoLayer), 1, 1};
    }
    return {gfx::AffineTransform::scale(object.size.width, object.size.height), 1, 1};
}

// Beyond its ends a gradient pads with its end colours, repeats or mirrors, as its spread method says.
unsigned spreadOptions(const SVGGradientElement& element) {
    switch (element.spreadMethod()) {
        case 2: return gfx::reflectsBeyondEnds;
        case 3: return gfx::repeatsBeyondEnds;
        default: return gfx::drawsBeforeStartLocation | gfx::drawsAfterEndLocation;
    }
}

}  // namespace

void SVGGradientLayer::renderLinearGradientInContext(gfx::Context& context) const {
    auto* element = SVGElement::as<SVGLinearGradientElement>(gradientElement_.get());
    if (!element) return;
    const auto gradient = createCGGradient();
    if (!gradient) return;
    const GradientSpace space = gradientSpace(*this, element->gradientUnits());
    const auto w = static_cast<float>(space.width), h = static_cast<float>(space.height);
    const gfx::Point start{space.length(element->x1(), w), space.length(element->y1(), h)};
    const gfx::Point end{space.length(element->x2(), w), space.length(element->y2(), h)};
    context.save();
    context.clip(bounds());
    context.concatenate(element->transform().concatenating(space.toLayer));
    context.drawLinearGradient(*gradient, start, end, spreadOptions(*element));
    context.restore();
}

void SVGGradientLayer::renderRadialGradientInContext(gfx::Context& context) const {
    auto* element = SVGElement::as<SVGRadialGradientElement>(gradientElement_.get());
    if (!element) return;
    // Without a gradient (a radius not above 0) the background colour, drawn by the renderer, stays.
    const auto gradient = createCGGradient();
    if (!gradient) return;
    const GradientSpace space = gradientSpace(*this, element->gradientUnits());
    const auto w = static_cast<float>(space.width), h = static_cast<float>(space.height);
    const float shorter = std::min(w, h);
    const gfx::Point centre{space.length(element->cx(), w), space.length(element->cy(), h)};
    const gfx::Point focus{space.length(element->fx(), w), space.length(element->fy(), h)};
    const double radius = space.length(element->r(), shorter);
    const double focalRadius = space.length(element->fr(), shorter);
    context.save();
    context.clip(bounds());
    context.concatenate(element->transform().concatenating(space.toLayer));
    context.drawRadialGradient(*gradient, focus, focalRadius, centre, radius, spreadOptions(*element));
    context.restore();
}

void SVGGradientLayer::draw(gfx::Context& context) const {
    if (!gradientElement_) {
        quartz::GradientLayer::draw(context);
        return;
    }
    if (SVGElement::as<SVGRadialGradientElement>(gradientElement_.get())) {
        renderRadialGradientInContext(context);
    } else if (SVGElement::as<SVGLinearGradientElement>(gradientElement_.get())) {
        renderLinearGradientInContext(context);
    }
}

void SVGTextLayer::draw(gfx::Context& context) const {
    if (!pieces_.empty() && !isWrapped()) {
        for (const Piece& piece : pieces_) {
            if (gfx::WorkMeter::spentNow()) return;
            const gfx::TextLayout layout = gfx::TextLayout::make(piece.string);
            context.save();
            context.translateBy(piece.origin.x, piece.origin.y);
            if (piece.rotation != 0) context.rotateBy(piece.rotation);
            layout.draw(context, {0, -layout.firstBaseline()});
            context.restore();
        }
        return;
    }
    if (attributedText_.empty()) return;
    gfx::TextLayoutOptions options;
    if (isWrapped()) options.width = bounds().size.width;
    options.lineBreakMode = gfx::LineBreakMode::byWordWrapping;
    switch (alignment()) {
        case quartz::TextAlignment::center: options.alignment = gfx::TextAlignment::center; break;
        case quartz::TextAlignment::right: options.alignment = gfx::TextAlignment::right; break;
        case quartz::TextAlignment::justified: options.alignment = gfx::TextAlignment::justified; break;
        default: options.alignment = gfx::TextAlignment::left; break;
    }
    gfx::TextLayout::make(attributedText_, options).draw(context, bounds().origin);
}

void SVGTextLayer::keepGlyphShapesOnly() {
    const auto shapesOnly = [](const gfx::AttributedString& string) {
        gfx::AttributedString shapes;
        for (const auto& run : string.runs()) {
            gfx::TextAttributes attributes = run.attributes;
            attributes.foregroundColor = gfx::Color::black();
            attributes.strokeColor = std::nullopt;
            attributes.strokeWidth = 0;
            shapes.append(std::string_view(string.string()).substr(run.location, run.length), attributes);
        }
        return shapes;
    };
    attributedText_ = shapesOnly(attributedText_);
    for (Piece& piece : pieces_) piece.string = shapesOnly(piece.string);
}

namespace {

double finite(double value) {
    constexpr double largest = std::numeric_limits<double>::max();
    if (value == std::numeric_limits<double>::infinity()) return largest;
    if (value == -std::numeric_limits<double>::infinity()) return -largest;
    return value;
}

template <class Place>
gfx::Path offsetPath(const gfx::Path& path, double x, double y, Place place) {
    x = finite(x);
    y = finite(y);
    return path.withPointsPlaced([&](gfx::Point point) {
        const gfx::Point placed = place(point);
        return gfx::Point{finite(placed.x) - x, finite(placed.y) - y};
    });
}

}  // namespace

gfx::Path CGPathCreateByOffsettingPath(const gfx::Path& path, double x, double y) {
    return offsetPath(path, x, y, [](gfx::Point point) { return point; });
}

gfx::Path CGPathCreateByOffsettingPath(const gfx::Path& path, const gfx::AffineTransform& transform, double x, double y) {
    return offsetPath(path, x, y, [&](gfx::Point point) { return transform.apply(point); });
}

std::shared_ptr<quartz::Layer> cloneOptionallRecurse(const quartz::Layer& layer, bool recurse) {
    // copyLayer keeps the kind and every property, the subclasses' own fields included.
    auto copy = layer.copyLayer();
    if (layer.mask()) copy->setMask(cloneRecursively(*layer.mask()));
    if (recurse) {
        for (const auto& sublayer : layer.sublayers()) copy->addSublayer(cloneRecursively(*sublayer));
    }
    return copy;
}

}  // namespace vellum
