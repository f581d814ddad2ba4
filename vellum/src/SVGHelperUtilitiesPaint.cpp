// The paint half of SVGHelperUtilities: paint colours and the layers of path-based elements.
#include <cmath>

#include "NumberPrefix.h"
#include "VellumLog.h"
#include "foundation/CharacterSet.h"
#include "foundation/Strings.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayers.h"

namespace vellum {

namespace {

constexpr double squareRootOfTwo = 1.4142135623730951;

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> result;
    for (std::string& word : foundation::components(text, foundation::CharacterSet::whitespacesAndNewlines())) {
        if (!word.empty()) result.push_back(std::move(word));
    }
    return result;
}

std::string cascaded(const SVGElement& element, std::string_view name) {
    return element.cascadedValueForStylableProperty(name).value_or("");
}

// How much the transform stretches lengths: the diagonal unit vector's growth.
double lengthScale(const gfx::AffineTransform& t) { return std::hypot(t.a + t.c, t.b + t.d) / squareRootOfTwo; }

// Rotations, uniform scales and moves: a stroke width maps to one width.
bool isSimilarity(const gfx::AffineTransform& t) {
    const double tolerance = 1e-9 * std::max(1.0, t.a * t.a + t.b * t.b);
    return std::abs(t.a * t.a + t.b * t.b - (t.c * t.c + t.d * t.d)) <= tolerance &&
           std::abs(t.a * t.c + t.b * t.d) <= tolerance;
}

// Under a stretch or skew one width cannot stand for the stroke: the shape is stroked in its own user
// space and the layer carries the transform (the platform averaged the width, which thinned strokes
// along the squeezed axis).
void strokeInUserSpace(quartz::ShapeLayer& shape, const gfx::Path& path, const gfx::Rect& userBox, double width,
                       const gfx::AffineTransform& absolute, double scale) {
    const gfx::Rect bounds = userBox.insetBy(-width / 2, -width / 2);
    shape.setPath(CGPathCreateByOffsettingPath(path, bounds.origin.x, bounds.origin.y));
    shape.setAffineTransform({absolute.a, absolute.b, absolute.c, absolute.d, 0, 0});
    shape.setAnchorPoint({0, 0});
    shape.setBounds({0, 0, bounds.size.width, bounds.size.height});
    shape.setPosition(absolute.apply(bounds.origin));
    shape.setLineWidth(width);
    std::vector<double> dashes = shape.lineDashPattern();
    for (double& dash : dashes) dash /= scale;
    shape.setLineDashPattern(std::move(dashes));
}

// Whether the reference names an element that is there but is no gradient (a missing one keeps black).
bool namesElementOtherThanGradient(const SVGElement& element, std::string_view identifier) {
    auto root = element.rootOfCurrentDocumentFragment();
    auto found = root ? root->getElementById(identifier) : nullptr;
    return found && !std::dynamic_pointer_cast<SVGGradientElement>(found);
}

}  // namespace

gfx::Size SVGHelperUtilities::percentageReferenceSize(const SVGSVGElement* root) {
    if (!root) return {0, 0};
    const SVGRect box = root->viewBox();
    if (SVGRectIsInitialized(box) && box.width > 0 && box.height > 0) return {box.width, box.height};
    const SVGRect viewport = root->viewport();
    if (SVGRectIsInitialized(viewport)) return {viewport.width, viewport.height};
    return {0, 0};
}

std::optional<std::string> SVGHelperUtilities::paintReferenceIdentifier(std::string_view paint) {
    const auto parts = words(paint);
    if (parts.empty()) return std::nullopt;
    const std::string& reference = parts.front();
    // "url(#" + at least one character + ")": anything shorter is no reference.
    if (reference.size() < 7 || !reference.starts_with("url(#") || reference.back() != ')') return std::nullopt;
    return reference.substr(5, reference.size() - 6);
}

std::optional<gfx::Color> SVGHelperUtilities::parsePaintColorForElement(const SVGElement&, std::string_view paint,
                                                                        std::string_view opacity,
                                                                        std::string_view defaultColor) {
    const std::string text = foundation::trimmingWhitespaceAndNewlines(paint);
    if (text == "none") return std::nullopt;
    std::string colorPart = text;
    if (text.starts_with("url")) {
        const auto parts = words(text);
        colorPart = parts.size() >= 2 ? parts[1] : "";
    }
    if (colorPart.empty() && opacity.empty()) {
        if (defaultColor == "none") return std::nullopt;
        return CGColorWithSVGColor(SVGColorFromString(defaultColor));
    }
    const std::string chosen = colorPart.empty() ? std::string(defaultColor) : colorPart;
    if (chosen == "none") return std::nullopt;
    SVGColor color = SVGColorFromString(chosen);
    if (!opacity.empty()) {
        const double alpha = std::clamp(static_cast<double>(floatPrefix(opacity).value_or(0)), 0.0, 1.0);
        color.a = static_cast<std::uint8_t>(alpha * 255);
    }
    return CGColorWithSVGColor(color);
}

std::optional<gfx::Color> SVGHelperUtilities::parseFillForElement(const SVGElement& element, std::string_view fill,
                                                                  std::string_view opacity) {
    return parsePaintColorForElement(element, fill, opacity, "black");
}

std::optional<gfx::Color> SVGHelperUtilities::parseFillForElement(const SVGElement& element) {
    return parseFillForElement(element, cascaded(element, "fill"), cascaded(element, "fill-opacity"));
}

std::optional<gfx::Color> SVGHelperUtilities::parseStrokeForElement(const SVGElement& element, std::string_view stroke,
                                                                    std::string_view opacity) {
    // An absent stroke is no stroke, whatever its opacity.
    if (foundation::trimmingWhitespaceAndNewlines(stroke).empty()) return std::nullopt;
    return parsePaintColorForElement(element, stroke, opacity, "none");
}

std::optional<gfx::Color> SVGHelperUtilities::parseStrokeForElement(const SVGElement& element) {
    return parseStrokeForElement(element, cascaded(element, "stroke"), cascaded(element, "stroke-opacity"));
}

std::shared_ptr<SVGGradientLayer> SVGHelperUtilities::getGradientLayerWithId(std::string_view identifier,
                                                                             const SVGElement& element,
                                                                             const gfx::Rect& rect,
                                                                             const gfx::AffineTransform& transform,
                                                                             std::optional<gfx::Rect> userBox) {
    auto root = element.rootOfCurrentDocumentFragment();
    if (!root) {
        vellumLogError(
            "This SVG shape has a URL fill type; it needs to search for that URL (%@) inside its nearest-ancestor <SVG> "
            "node, but the rootOfCurrentDocumentFragment reference was nil (suggests the parser failed, or the SVG "
            "file is corrupt)",
            std::string(identifier));
        return nullptr;
    }
    auto gradient = std::dynamic_pointer_cast<SVGGradientElement>(root->getElementById(identifier));
    if (!gradient) {
        vellumLogWarning(
            "This SVG shape has a URL fill (%@), but could not find an XML Node with that ID inside the DOM tree "
            "(suggests the parser failed, or the SVG file is corrupt)",
            std::string(identifier));
        return nullptr;
    }
    gradient->synthesizeProperties();
    auto layer = gradient->newGradientLayerForObjectRect(rect, root->viewBox(), transform);
    if (layer) layer->setUserBoundingBox(userBox);
    return layer;
}

std::shared_ptr<quartz::Layer> SVGHelperUtilities::newCALayerForPathBasedSVGElement(const SVGElement& element,
                                                                                   const gfx::Path& path) {
    auto shape = CAShapeLayerWithHitTest::make();
    configureCALayer(*shape, element);
    const std::string stroke = cascaded(element, "stroke");
    const std::string strokeWidthText = cascaded(element, "stroke-width");
    double width = 1.0;
    if (!strokeWidthText.empty()) {
        const gfx::Size reference = percentageReferenceSize(element.rootOfCurrentDocumentFragment().get());
        const double diagonal = std::hypot(reference.width, reference.height) / squareRootOfTwo;
        width = SVGLength::svgLengthFromNSString(strokeWidthText).pixelsValueWithDimension(static_cast<float>(diagonal));
    }
    const gfx::AffineTransform absolute =
        transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(element);
    const gfx::Rect userBox = path.pathBoundingBox();
    const double grow = std::max(width, 0.0) / 2;
    gfx::Rect frame = path.isEmpty() ? gfx::Rect{0, 0, 0, 0}
                                     : absolute.apply(userBox.insetBy(-grow, -grow)).integral();
    if (frame.isNull()) frame = {0, 0, 0, 0};
    const double fw = frame.size.width, fh = frame.size.height;
    shape->setPath(CGPathCreateByOffsettingPath(path.transformed(absolute), frame.origin.x, frame.origin.y));
    shape->setFrame(frame);
    const double scale = lengthScale(absolute);

    std::shared_ptr<quartz::Layer> fillLayer = shape;
    std::shared_ptr<quartz::Layer> strokeLayer = shape;
    if (width <= 0 || stroke.empty() || stroke == "none") {
        shape->setStrokeColor(std::nullopt);
        shape->setLineWidth(stroke.empty() || stroke == "none" ? 0 : 1);
    } else {
        shape->setLineWidth(width * scale);
        shape->setStrokeColor(parseStrokeForElement(element, stroke, cascaded(element, "stroke-opacity")));
        const std::string dashes = cascaded(element, "stroke-dasharray");
        if (!dashes.empty() && dashes != "none") {
            std::vector<std::string> parts = foundation::components(dashes, " ");
            if (parts.size() <= 1) parts = foundation::components(dashes, ",");
            std::vector<double> pattern;
            bool anyLength = false;
            for (const std::string& part : parts) {
                const double length = floatPrefix(part).value_or(0);
                anyLength = anyLength || length != 0;
                // In user units, so they follow the element's scale like the line width.
                pattern.push_back(length * scale);
            }
            if (pattern.size() >= 2 && anyLength) shape->setLineDashPattern(std::move(pattern));
        }
        const std::string cap = cascaded(element, "stroke-linecap");
        if (cap == "butt") shape->setLineCap(gfx::LineCap::butt);
        if (cap == "round") shape->setLineCap(gfx::LineCap::round);
        if (cap == "square") shape->setLineCap(gfx::LineCap::square);
        const std::string join = cascaded(element, "stroke-linejoin");
        if (join == "miter") shape->setLineJoin(gfx::LineJoin::miter);
        if (join == "round") shape->setLineJoin(gfx::LineJoin::round);
        if (join == "bevel") shape->setLineJoin(gfx::LineJoin::bevel);
        const std::string miter = cascaded(element, "stroke-miterlimit");
        if (!miter.empty()) shape->setMiterLimit(floatPrefix(miter).value_or(4));
        if (stroke.starts_with("url")) {
            auto fill = CAShapeLayerWithHitTest::make();
            fill->setFrame(shape->frame());
            fill->setOpacity(shape->opacity());
            fill->setPath(shape->path());
            fill->setFillRule(shape->fillRule());
            fillLayer = fill;
            const auto identifier = paintReferenceIdentifier(stroke);
            if (!userBox.isEmpty() && identifier) {
                if (auto gradient = getGradientLayerWithId(*identifier, element, frame, absolute, userBox)) {
                    shape->setFrame({0, 0, fw, fh});
                    shape->setFillColor(std::nullopt);
                    shape->setStrokeColor(gfx::Color::black());
                    gradient->setMask(shape);
                    strokeLayer = gradient;
                }
            }
        }
    }

    const std::string fill = cascaded(element, "fill");
    const std::string fillOpacity = cascaded(element, "fill-opacity");
    auto* fillShape = dynamic_cast<quartz::ShapeLayer*>(fillLayer.get());
    if (fill.starts_with("url")) {
        const auto identifier = paintReferenceIdentifier(fill);
        auto gradient = identifier ? getGradientLayerWithId(*identifier, element, fillLayer->frame(), absolute, userBox)
                                   : nullptr;
        if (gradient && fillShape) {
            auto mask = quartz::ShapeLayer::make();
            mask->setFrame({0, 0, fw, fh});
            mask->setPath(fillShape->path());
            mask->setFillRule(fillShape->fillRule());
            mask->setFillColor(gfx::Color::black());
            mask->setStrokeColor(std::nullopt);
            gradient->setMask(mask);
            gradient->setFrame(fillLayer->frame());
            if (fillLayer == strokeLayer) {
                // The shape keeps only its stroke, above the gradient.
                fillShape->setFillColor(std::nullopt);
            }
            fillLayer = gradient;
        } else if (!identifier && fillShape) {
            // A "url" text too short to name anything: the colour rule, as for any other text.
            fillShape->setFillColor(parseFillForElement(element, fill, fillOpacity));
        } else if (fillShape && namesElementOtherThanGradient(element, *identifier)) {
            // A pattern, say, which is not drawn: the fallback colour after the reference, else none.
            fillShape->setFillColor(parsePaintColorForElement(element, fill, fillOpacity, "none"));
        }
    } else if (fillShape && (!fill.empty() || !fillOpacity.empty())) {
        fillShape->setFillColor(parseFillForElement(element, fill, fillOpacity));
    }

    const std::string opacity = element.cascadedValueForStylableProperty("opacity", false).value_or("");
    const double elementOpacity = opacity.empty() ? 1.0 : floatPrefix(opacity).value_or(0);
    if (fillLayer == strokeLayer) {
        fillLayer->setOpacity(elementOpacity);
        if (fillLayer == shape && shape->strokeColor() && !isSimilarity(absolute) && !userBox.isNull()) {
            strokeInUserSpace(*shape, path, userBox, width, absolute, scale);
        }
        return fillLayer;
    }
    // The element's opacity belongs to fill and stroke together, so the container carries it.
    auto container = quartz::Layer::make();
    container->setFrame(strokeLayer->frame());
    container->setName(shape->name());
    container->setValue("SVGElementIdentifier", shape->value("SVGElementIdentifier"));
    container->setOpacity(elementOpacity);
    strokeLayer->setFrame({0, 0, fw, fh});
    if (auto* strokeShape = dynamic_cast<quartz::ShapeLayer*>(strokeLayer.get())) strokeShape->setFillColor(std::nullopt);
    fillLayer->setFrame({0, 0, fw, fh});
    fillLayer->setOpacity(1);
    strokeLayer->setOpacity(1);
    container->addSublayer(fillLayer);
    container->addSublayer(strokeLayer);
    return container;
}

}  // namespace vellum
