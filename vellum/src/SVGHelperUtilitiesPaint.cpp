// The paint half of SVGHelperUtilities: paint colours and the layers of path-based elements.
#include <algorithm>
#include <cmath>
#include <limits>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/CharacterSet.h"
#include "foundation/Strings.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumLayers.h"

namespace vellum {

namespace {

constexpr double squareRootOfTwo = 1.4142135623730951;
constexpr double defaultMiterLimit = 4;

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> result;
    for (std::string& word : foundation::components(text, foundation::CharacterSet::whitespacesAndNewlines())) {
        if (!word.empty()) result.push_back(std::move(word));
    }
    return result;
}

using Property = SVGElement::StyleProperty;

// For callers within a scope (a layer build, or one of their own): the text stays where the cascade keeps it.
std::string_view cascaded(const SVGElement& element, Property property) {
    return element.cascadedValueInScope(property).value_or(std::string_view());
}

// Asks the memory for the start of the path's elements without waiting; past that the processor's own
// prefetching follows the copy.
void prefetchPoints(const gfx::Path& path) {
    constexpr std::size_t line = 64, lines = 32;
    const auto* bytes = reinterpret_cast<const char*>(path.elements().data());
    const std::size_t size = std::min(path.elements().size() * sizeof(gfx::PathElement), line * lines);
    for (std::size_t offset = 0; offset < size; offset += line) __builtin_prefetch(bytes + offset);
}

// How much the transform stretches lengths: the diagonal unit vector's growth.
double lengthScale(const gfx::AffineTransform& t) { return std::hypot(t.a + t.c, t.b + t.d) / squareRootOfTwo; }

// Rotations, uniform scales and moves: a stroke width maps to one width.
[[gnu::always_inline]] inline bool isSimilarity(const gfx::AffineTransform& t) {
    const double tolerance = 1e-9 * std::max(1.0, t.a * t.a + t.b * t.b);
    return std::abs(t.a * t.a + t.b * t.b - (t.c * t.c + t.d * t.d)) <= tolerance &&
           std::abs(t.a * t.c + t.b * t.d) <= tolerance;
}

// Under a stretch or skew one width cannot stand for the stroke: the shape is stroked in its own user
// space and the layer carries the transform (the platform averaged the width, which thinned strokes
// along the squeezed axis). A basic shape's own path moved there is kept by the shape: the move is in
// user units, the same in every build whatever the size.
// `origin` is where the layer's superlayer sits in the root's space.
void strokeInUserSpace(quartz::ShapeLayer& shape, const SVGElement& element, const std::shared_ptr<const gfx::Path>& path,
                       const gfx::Rect& userBox, double width, const gfx::AffineTransform& absolute, double scale,
                       gfx::Point origin = {0, 0}) {
    const gfx::Rect bounds = userBox.insetBy(-width / 2, -width / 2);
    const auto* owner = SVGElement::as<BaseClassForAllSVGBasicShapes>(&element);
    if (owner && owner->pathForShapeInRelativeCoords() == path.get()) {
        shape.setSharedPath(owner->sharedPathMovedTo(bounds.origin), {});
    } else {
        shape.setPath(CGPathCreateByOffsettingPath(*path, bounds.origin.x, bounds.origin.y));
    }
    shape.setAffineTransform({absolute.a, absolute.b, absolute.c, absolute.d, 0, 0});
    shape.setAnchorPoint({0, 0});
    shape.setBounds({0, 0, bounds.size.width, bounds.size.height});
    const gfx::Point at = absolute.apply(bounds.origin);
    shape.setPosition({at.x - origin.x, at.y - origin.y});
    shape.setLineWidth(width);
    std::vector<double> dashes = shape.lineDashPattern();
    for (double& dash : dashes) dash /= scale;
    shape.setLineDashPattern(std::move(dashes));
    shape.setLineDashPhase(shape.lineDashPhase() / scale);
}

// The box a bounding-box gradient stretches over: the shape's box on the device taken back to user space,
// as Cairo's fill extents give it (under a turn or skew, the box round the turned box).
gfx::Rect gradientBox(const gfx::Path& path, const gfx::Rect& userBox, const gfx::AffineTransform& absolute) {
    if ((absolute.b == 0 && absolute.c == 0) || userBox.isEmpty()) return userBox;
    const gfx::Rect device = path.transformed(absolute).pathBoundingBox();
    const gfx::AffineTransform back = absolute.inverted();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (double x : {device.minX(), device.maxX()})
        for (double y : {device.minY(), device.maxY()}) {
            const gfx::Point p = back.apply(gfx::Point{x, y});
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    const gfx::Rect box{minX, minY, maxX - minX, maxY - minY};
    return std::isfinite(box.size.width) && std::isfinite(box.size.height) ? box : userBox;
}

// Views into the paint text, or into the holders where trimming had to copy.
struct PaintReference {
    std::string_view identifier;
    std::string_view fallback;  // what follows the reference: a colour, "none" or nothing
    std::string holders[3];

    PaintReference() = default;
    PaintReference(const PaintReference&) = delete;
    PaintReference& operator=(const PaintReference&) = delete;
};

// url(#id), url('#id'), url("#id") and blanks inside the parentheses, then an optional fallback.
bool readPaintReference(std::string_view paint, PaintReference& reference) {
    const std::string_view text = trimmedText(paint, reference.holders[0]);
    if (!text.starts_with("url(")) return false;
    const std::size_t close = text.find(')');
    if (close == std::string_view::npos) return false;
    std::string_view inside = trimmedText(text.substr(4, close - 4), reference.holders[1]);
    if (inside.size() >= 2 && (inside.front() == '\'' || inside.front() == '"') && inside.back() == inside.front()) {
        inside = inside.substr(1, inside.size() - 2);
    }
    // "#" and at least one character: anything shorter names nothing.
    if (inside.size() < 2 || inside.front() != '#') return false;
    reference.identifier = inside.substr(1);
    reference.fallback = trimmedText(text.substr(close + 1), reference.holders[2]);
    return true;
}

// The element's "color", which currentColor names; black where none is given.
SVGColor currentColorOf(const SVGElement& element) {
    std::string holder;
    const std::string_view color = trimmedText(cascaded(element, Property::color), holder);
    if (color.empty() || equalsIgnoringASCIICase(color, "currentColor")) return {};
    return SVGColorFromString(color);
}

bool isDashSeparator(char character) {
    return character == ' ' || character == '\t' || character == '\n' || character == '\r' || character == ',';
}

// No dash reaches past this along the path: the length of its control polygon, closing lines included
// (a curve is never longer than its control points' polygon).
double pathLengthBound(const gfx::Path& path) {
    using Kind = gfx::PathElement::Kind;
    double length = 0;
    gfx::Point current{}, start{};
    const auto to = [&](gfx::Point point) {
        length += std::hypot(point.x - current.x, point.y - current.y);
        current = point;
    };
    for (const auto& element : path.elements()) {
        switch (element.kind) {
            case Kind::moveTo: current = start = element.points[0]; break;
            case Kind::lineTo: to(element.points[0]); break;
            case Kind::quadCurveTo: to(element.points[0]), to(element.points[1]); break;
            case Kind::curveTo: to(element.points[0]), to(element.points[1]), to(element.points[2]); break;
            case Kind::closeSubpath: to(start); break;
        }
    }
    return length;
}

// The dash list in user units: lengths with units, percentages of the viewport's diagonal and em.
// A negative length or an all-zero list draws a solid line.
// A list longer than `wholeDashList` stops being read once its lengths pass `reach` (how far along the
// path dashes can show): the rest never shows, and is only looked at for a minus sign, which still makes
// the line solid. A million values on a short line so cost what the line shows, not a million lengths for
// each shape that inherits them; shorter lists are kept as written.
constexpr std::size_t wholeDashList = 32;

std::vector<double> dashLengths(const SVGElement& element, std::string_view text, double diagonal, double reach) {
    std::vector<double> pattern;
    bool anyLength = false;
    double sum = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isDashSeparator(text[at])) ++at;
        const std::size_t end = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(), isDashSeparator) - text.begin();
        if (end == at) break;
        const double length = lengthInPixels(SVGLength::svgLengthFromNSString(text.substr(at, end - at)), element, diagonal);
        at = end;
        if (length < 0 || !std::isfinite(length)) return {};
        anyLength = anyLength || length > 0;
        pattern.push_back(length);
        sum += length;
        if (sum > reach && pattern.size() >= wholeDashList) break;
    }
    // Read again for each copy: past the meter nothing is drawn.
    if (!gfx::WorkMeter::charge(double(pattern.size()) * gfx::WorkMeter::aDashEntryRead) || !anyLength) return {};
    for (std::size_t rest = at; rest < text.size(); ++rest) {
        if (text[rest] == '-' && isDashSeparator(text[rest - 1])) return {};
    }
    // An odd list is left odd: the dasher repeats it as Cairo does, which keeps a zero the repetition puts
    // between two lengths a dot, where a list doubled here would merge it away. A list cut short is
    // walked once at most.
    return pattern;
}

// What percentages of stroke widths and dashes refer to: the viewport's diagonal over root two. Asked
// only for a length that is given, as most shapes give none.
double percentageDiagonal(const SVGElement& element) {
    const gfx::Size reference =
        SVGHelperUtilities::percentageReferenceSize(element.rootOfCurrentDocumentFragment().get());
    return std::hypot(reference.width, reference.height) / squareRootOfTwo;
}

// A stroke length given as text, in user units: the diagonal is worked out only for a percentage.
double strokeLength(const SVGElement& element, std::string_view text) {
    if (const auto number = plainNumber(text)) return *number;
    const SVGLength length = SVGLength::svgLengthFromNSString(text);
    const double diagonal = length.unitType() == SVGLengthType::percentage ? percentageDiagonal(element) : 0;
    return lengthInPixels(length, element, diagonal);
}

// A miter limit below 1, or no number, is invalid: the default stands.
[[gnu::always_inline]] inline double miterLimit(std::string_view text) {
    std::string holder;
    const std::string_view trimmed = trimmedText(text, holder);
    std::size_t length = 0;
    const auto value = doublePrefix(trimmed, &length);
    return value && length == trimmed.size() && *value >= 1 ? *value : defaultMiterLimit;
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
    PaintReference reference;
    if (!readPaintReference(paint, reference)) return std::nullopt;
    return std::string(reference.identifier);
}

std::optional<gfx::Color> SVGHelperUtilities::parsePaintColorForElement(const SVGElement& element, std::string_view paint,
                                                                        std::string_view opacity,
                                                                        std::string_view defaultColor) {
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    std::string holder;
    const std::string_view text = trimmedText(paint, holder);
    if (text == "none") return std::nullopt;
    PaintReference reference;
    std::string_view colorPart = text;
    std::vector<std::string> parts;
    if (readPaintReference(text, reference)) {
        colorPart = reference.fallback;
    } else if (text.starts_with("url")) {
        parts = words(text);
        colorPart = parts.size() >= 2 ? std::string_view(parts[1]) : std::string_view();
    }
    const std::string_view chosen = colorPart.empty() ? defaultColor : colorPart;
    if (chosen == "none") return std::nullopt;
    SVGColor color = equalsIgnoringASCIICase(chosen, "currentColor") ? currentColorOf(element) : SVGColorFromString(chosen);
    // An opacity that is no number or percentage counts as absent; it multiplies a colour's own alpha.
    if (const auto alpha = opacityValue(opacity)) color.a = static_cast<std::uint8_t>(color.a * *alpha);
    return CGColorWithSVGColor(color);
}

std::optional<gfx::Color> SVGHelperUtilities::parseFillForElement(const SVGElement& element, std::string_view fill,
                                                                  std::string_view opacity) {
    return parsePaintColorForElement(element, fill, opacity, "black");
}

std::optional<gfx::Color> SVGHelperUtilities::parseFillForElement(const SVGElement& element) {
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    return parseFillForElement(element, cascaded(element, Property::fill), cascaded(element, Property::fillOpacity));
}

std::optional<gfx::Color> SVGHelperUtilities::parseStrokeForElement(const SVGElement& element, std::string_view stroke,
                                                                    std::string_view opacity) {
    // An absent stroke is no stroke, whatever its opacity.
    std::string holder;
    if (trimmedText(stroke, holder).empty()) return std::nullopt;
    return parsePaintColorForElement(element, stroke, opacity, "none");
}

std::optional<gfx::Color> SVGHelperUtilities::parseStrokeForElement(const SVGElement& element) {
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    return parseStrokeForElement(element, cascaded(element, Property::stroke),
                                 cascaded(element, Property::strokeOpacity));
}

std::shared_ptr<SVGGradientLayer> SVGHelperUtilities::getGradientLayerWithId(std::string_view identifier,
                                                                             const SVGElement& element,
                                                                             const gfx::Rect& rect,
                                                                             const gfx::AffineTransform& transform,
                                                                             std::optional<gfx::Rect> userBox,
                                                                             const gfx::Path* shape) {
    auto root = element.rootOfCurrentDocumentFragment();
    if (!root) {
        vellumLogError(
            "This SVG shape has a URL fill type; it needs to search for that URL (%@) inside its nearest-ancestor <SVG> "
            "node, but the rootOfCurrentDocumentFragment reference was nil (suggests the parser failed, or the SVG "
            "file is corrupt)",
            std::string(identifier));
        return nullptr;
    }
    auto gradient = SVGElement::as<SVGGradientElement>(documentElementById(element, identifier));
    if (!gradient) {
        vellumLogWarning(
            "This SVG shape has a URL fill (%@), but could not find an XML Node with that ID inside the DOM tree "
            "(suggests the parser failed, or the SVG file is corrupt)",
            std::string(identifier));
        return nullptr;
    }
    gradient->synthesizeProperties();
    // Against a box without width or height a bounding-box gradient has no geometry: it paints nothing.
    if (userBox && gradient->gradientUnits() != 1) {
        if (userBox->isEmpty()) return nullptr;
        if (shape) userBox = gradientBox(*shape, *userBox, transform);
    }
    auto layer = gradient->newGradientLayerForObjectRect(rect, root->viewBox(), transform);
    if (layer) layer->setUserBoundingBox(userBox);
    return layer;
}

std::shared_ptr<quartz::Layer> SVGHelperUtilities::newCALayerForPathBasedSVGElement(const SVGElement& element,
                                                                                   const gfx::Path& path,
                                                                                   std::optional<gfx::Rect> userBox) {
    return newCALayerForPathBasedSVGElement(element, std::make_shared<const gfx::Path>(path), userBox);
}

std::shared_ptr<quartz::Layer> SVGHelperUtilities::newCALayerForPathBasedSVGElement(const SVGElement& element,
                                                                                   std::shared_ptr<const gfx::Path> shared,
                                                                                   std::optional<gfx::Rect> knownBox) {
    if (!shared) shared = std::make_shared<const gfx::Path>();
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    const gfx::Path& path = *shared;
    auto shape = CAShapeLayerWithHitTest::make();
    configureCALayer(*shape, element);
    // The element's opacity, as configured: read once, it serves the shape or the container below.
    const double opacity = shape->opacity();
    std::string strokeHolder;
    const std::string_view stroke = trimmedText(cascaded(element, Property::stroke), strokeHolder);
    const std::string_view strokeWidthText = cascaded(element, Property::strokeWidth);
    double width = 1.0;
    if (!strokeWidthText.empty()) width = strokeLength(element, strokeWidthText);
    const gfx::AffineTransform absolute =
        transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(element);
    const gfx::Rect userBox = knownBox ? *knownBox : path.pathBoundingBox();
    // A gradient paints within its layer: a stroke it paints has the frame hold its miter tips and square caps too.
    double grow = std::max(width, 0.0) / 2;
    if (!stroke.empty() && stroke.front() == 'u' && width > 0 && stroke.starts_with("url")) {
        const std::string_view join = cascaded(element, Property::strokeLinejoin);
        const bool mitred = join != "round" && join != "bevel";
        const bool square = cascaded(element, Property::strokeLinecap) == "square";
        grow *= std::max(mitred ? miterLimit(cascaded(element, Property::strokeMiterlimit)) : 1.0,
                         square ? squareRootOfTwo : 1.0);
    }
    gfx::Rect frame = path.isEmpty() ? gfx::Rect{0, 0, 0, 0}
                                     : absolute.apply(userBox.insetBy(-grow, -grow)).integral();
    if (frame.isNull()) frame = {0, 0, 0, 0};
    const double fw = frame.size.width, fh = frame.size.height;
    // The layer draws the element's path through its placement. A stroke's width is in the layer's space,
    // so a stroked shape keeps its points placed unless the placement scales both axes alike (a rotation,
    // or scales that differ in their last bits, would move the stroke's pixels), as does a placement the
    // context cannot take (singular or not finite).
    const gfx::AffineTransform placement =
        absolute.concatenating(gfx::AffineTransform::translation(-frame.origin.x, -frame.origin.y));
    const bool stroked = width > 0 && !stroke.empty() && stroke != "none";
    if (quartz::ShapeLayer::drawsThroughTransform(placement) &&
        (!stroked || quartz::ShapeLayer::strokesThroughTransform(placement))) {
        shape->setSharedPath(shared, placement);
    } else {
        // Its points are copied below, after the paint is read: asked for now, they are at hand by then.
        prefetchPoints(path);
    }
    // The placed copy is made when first needed: a stroke in user space (below) makes its own instead.
    const auto placePoints = [&] {
        if (!shape->path()) shape->setPath(CGPathCreateByOffsettingPath(path, absolute, frame.origin.x, frame.origin.y));
    };
    shape->setFrame(frame);
    // Only a stroke has lengths to scale.
    // A turn and scale stretches every length by its x axis's growth: exact for quarter turns, whose diagonal's
    // sums round (and move dash ends falling on corners by a hair).
    const double scale = !stroked ? 1 : isSimilarity(absolute) ? std::hypot(absolute.a, absolute.b) : lengthScale(absolute);

    std::shared_ptr<quartz::Layer> fillLayer = shape;
    std::shared_ptr<quartz::Layer> strokeLayer = shape;
    // The shape that fills, until a gradient takes the fill over: the stroked shape or a layer of its own.
    quartz::ShapeLayer* fillShape = shape.get();
    if (!stroked) {
        shape->setStrokeColor(std::nullopt);
        shape->setLineWidth(stroke.empty() || stroke == "none" ? 0 : 1);
    } else {
        shape->setLineWidth(width * scale);
        shape->setStrokeColor(parseStrokeForElement(element, stroke, cascaded(element, Property::strokeOpacity)));
        const std::string_view dashes = cascaded(element, Property::strokeDasharray);
        if (!dashes.empty() && dashes != "none") {
            const double diagonal = percentageDiagonal(element);
            const std::string_view offset = cascaded(element, Property::strokeDashoffset);
            std::optional<double> phase;
            if (!offset.empty()) {
                const double length = lengthInPixels(SVGLength::svgLengthFromNSString(offset), element, diagonal);
                if (std::isfinite(length)) phase = length;
            }
            // A phase below 0 starts from the end of the whole list, so then all of it counts.
            const double reach = phase.value_or(0) < 0 ? std::numeric_limits<double>::infinity()
                                                       : pathLengthBound(path) + phase.value_or(0);
            std::vector<double> pattern = dashLengths(element, dashes, diagonal, reach);
            if (!pattern.empty()) {
                // In user units, so they follow the element's scale like the line width.
                for (double& length : pattern) length *= scale;
                shape->setLineDashPattern(std::move(pattern));
                if (phase) shape->setLineDashPhase(*phase * scale);
            }
        }
        const std::string_view cap = cascaded(element, Property::strokeLinecap);
        if (cap == "butt") shape->setLineCap(gfx::LineCap::butt);
        if (cap == "round") shape->setLineCap(gfx::LineCap::round);
        if (cap == "square") shape->setLineCap(gfx::LineCap::square);
        const std::string_view join = cascaded(element, Property::strokeLinejoin);
        if (join == "miter") shape->setLineJoin(gfx::LineJoin::miter);
        if (join == "round") shape->setLineJoin(gfx::LineJoin::round);
        if (join == "bevel") shape->setLineJoin(gfx::LineJoin::bevel);
        shape->setMiterLimit(miterLimit(cascaded(element, Property::strokeMiterlimit)));
        if (stroke.starts_with("url")) {
            auto fill = CAShapeLayerWithHitTest::make();
            fill->setFrame(shape->frame());
            fill->setOpacity(shape->opacity());
            placePoints();
            fill->setSharedPath(shape->sharedPath(), shape->pathTransform());
            fill->setFillRule(shape->fillRule());
            fillLayer = fill;
            fillShape = fill.get();
            const auto identifier = paintReferenceIdentifier(stroke);
            if (!userBox.isNull() && identifier) {
                if (auto gradient = getGradientLayerWithId(*identifier, element, frame, absolute, userBox, &path)) {
                    shape->setFrame({0, 0, fw, fh});
                    shape->setFillColor(std::nullopt);
                    shape->setStrokeColor(gfx::Color::black());
                    // The stroke the gradient paints is the solid one's: under a stretch or skew, in user space.
                    if (!isSimilarity(absolute))
                        strokeInUserSpace(*shape, element, shared, userBox, width, absolute, scale, frame.origin);
                    gradient->setMask(shape);
                    strokeLayer = gradient;
                }
            }
        }
    }

    std::string fillHolder;
    const std::string_view fill = trimmedText(cascaded(element, Property::fill), fillHolder);
    const std::string_view fillOpacity = cascaded(element, Property::fillOpacity);
    if (fill.starts_with("url")) {
        const auto identifier = paintReferenceIdentifier(fill);
        auto gradient = identifier ? getGradientLayerWithId(*identifier, element, fillLayer->frame(), absolute, userBox, &path)
                                   : nullptr;
        if (gradient && fillShape) {
            auto mask = quartz::ShapeLayer::make();
            mask->setFrame({0, 0, fw, fh});
            placePoints();
            mask->setSharedPath(fillShape->sharedPath(), fillShape->pathTransform());
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
        } else if (fillShape) {
            // A reference to nothing, or to an element that is no gradient (a pattern, a shape): the
            // fallback colour written after it, else none.
            fillShape->setFillColor(parsePaintColorForElement(element, fill, fillOpacity, "none"));
        }
    } else if (fillShape && (!fill.empty() || !fillOpacity.empty())) {
        fillShape->setFillColor(parseFillForElement(element, fill, fillOpacity));
    }

    if (fillLayer == strokeLayer) {
        fillLayer->setOpacity(opacity);
        if (fillLayer == shape && shape->strokeColor() && !isSimilarity(absolute) && !userBox.isNull()) {
            strokeInUserSpace(*shape, element, shared, userBox, width, absolute, scale);
        }
        placePoints();
        return fillLayer;
    }
    // The element's opacity belongs to fill and stroke together, so the container carries it.
    auto container = quartz::Layer::make();
    container->setFrame(strokeLayer->frame());
    container->setName(shape->name());
    if (auto identifier = shape->value<std::string>("SVGElementIdentifier"))
        container->setValue("SVGElementIdentifier", std::move(*identifier));
    container->setOpacity(opacity);
    strokeLayer->setFrame({0, 0, fw, fh});
    if (auto* strokeShape = dynamic_cast<quartz::ShapeLayer*>(strokeLayer.get())) strokeShape->setFillColor(std::nullopt);
    // A colour's stroke beside a gradient's fill is stroked as it is alone.
    if (strokeLayer == shape && shape->strokeColor() && !isSimilarity(absolute) && !userBox.isNull()) {
        strokeInUserSpace(*shape, element, shared, userBox, width, absolute, scale, frame.origin);
    }
    fillLayer->setFrame({0, 0, fw, fh});
    // A gradient carries its paint's opacity as its layer's; a shape has it in its colours.
    const auto paintOpacity = [](const quartz::Layer& layer, std::string_view text) {
        return dynamic_cast<const SVGGradientLayer*>(&layer) ? opacityValue(text).value_or(1) : 1.0;
    };
    fillLayer->setOpacity(paintOpacity(*fillLayer, fillOpacity));
    strokeLayer->setOpacity(paintOpacity(*strokeLayer, cascaded(element, Property::strokeOpacity)));
    container->addSublayer(fillLayer);
    container->addSublayer(strokeLayer);
    placePoints();
    return container;
}

}  // namespace vellum
