#include "vellum/SVGBasicShapes.h"

#include <cmath>
#include <tuple>
#include <utility>

#include "PathData.h"
#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/Format.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParseResult.h"
#include "vellum/VellumPointsAndPathsParser.h"
#include "vellum/VellumWorkBounds.h"

namespace vellum {

namespace {

constexpr double squareRootOfTwo = 1.4142135623730951;

std::optional<SVGLength> presentLength(const SVGElement& element, std::string_view name) {
    const std::string text = element.getAttribute(name);
    if (text.empty()) return std::nullopt;
    return SVGLength::svgLengthFromNSString(text);
}

double resolve(const std::optional<SVGLength>& length, const SVGElement& element, double dimension) {
    return length ? lengthInPixels(*length, element, dimension) : 0;
}

// Corner or ellipse radii: a negative one counts as absent, and a lone one serves for both.
std::pair<double, double> radii(std::optional<double> rx, std::optional<double> ry) {
    if (rx && *rx < 0) rx.reset();
    if (ry && *ry < 0) ry.reset();
    return {rx.value_or(ry.value_or(0)), ry.value_or(rx.value_or(0))};
}

}  // namespace

gfx::Size BaseClassForAllSVGBasicShapes::percentageReference(const VellumParseResult& result) {
    return SVGHelperUtilities::percentageReferenceSize(result.rootOfSVGTree().get());
}

namespace {
double mostHeldReading(std::size_t dataBytes) {
    return static_cast<double>(std::min(dataBytes / 2 + 1, BaseClassForAllSVGBasicShapes::maximumPathSegments + 1) * 2 *
                               sizeof(gfx::PathElement));
}
}  // namespace

bool BaseClassForAllSVGBasicShapes::holdWhileReading(std::size_t dataBytes) {
    return gfx::WorkMeter::hold(mostHeldReading(dataBytes));
}

void BaseClassForAllSVGBasicShapes::letGoAfterReading(std::size_t dataBytes) {
    gfx::WorkMeter::letGo(mostHeldReading(dataBytes));
}

void BaseClassForAllSVGBasicShapes::limitPathSegments(VellumParseResult& result) {
    const gfx::Path* path = currentPath();
    if (path && !gfx::WorkMeter::hold(static_cast<double>(std::min(path->elements().capacity(), maximumPathSegments) *
                                                          sizeof(gfx::PathElement)))) {
        setPathForShapeInRelativeCoords(gfx::Path{});
        return;
    }
    if (!path || path->elements().size() <= maximumPathSegments) return;
    gfx::Path kept;
    for (std::size_t index = 0; index < maximumPathSegments; ++index) {
        const gfx::PathElement& element = path->elements()[index];
        switch (element.kind) {
            case gfx::PathElement::Kind::moveTo: kept.moveTo(element.points[0]); break;
            case gfx::PathElement::Kind::lineTo: kept.lineTo(element.points[0]); break;
            case gfx::PathElement::Kind::quadCurveTo: kept.quadCurveTo(element.points[0], element.points[1]); break;
            case gfx::PathElement::Kind::curveTo:
                kept.curveTo(element.points[0], element.points[1], element.points[2]);
                break;
            case gfx::PathElement::Kind::closeSubpath: kept.closeSubpath(); break;
        }
    }
    setPathForShapeInRelativeCoords(std::move(kept));
    WorkBoundWatch::noteReached();
    result.addParseErrorRecoverable(VellumError::make(
        "Vellum", 1,
        foundation::format("The <%@> element (id = %@) has more than %lu path segments; only the first %lu are drawn",
                           localName(), identifier().value_or("(none)"), maximumPathSegments, maximumPathSegments)));
}

std::shared_ptr<quartz::Layer> BaseClassForAllSVGBasicShapes::newLayer() {
    if (!currentPath()) {
        vellumLogError(
            "Requested a CALayer for SVG shape that never initialized its own .pathForShapeInRelativeCoords property. "
            "Shape class = %@. Shape instance = %@",
            localName(), description());
        return SVGHelperUtilities::newCALayerForPathBasedSVGElement(*this, gfx::Path{});
    }
    return SVGHelperUtilities::newCALayerForPathBasedSVGElement(*this, sharedPathForShapeInRelativeCoords(),
                                                                 pathBoundingBoxInRelativeCoords());
}

const std::shared_ptr<const gfx::Path>& BaseClassForAllSVGBasicShapes::sharedPathForShapeInRelativeCoords() const {
    if (!sharedPath_ && path_) {
        sharedPath_ = std::make_shared<const gfx::Path>(std::move(*path_));
        path_.reset();
    }
    return sharedPath_;
}

gfx::Rect BaseClassForAllSVGBasicShapes::pathBoundingBoxInRelativeCoords() const {
    const gfx::Path* path = currentPath();
    if (!path) return gfx::Rect::null();
    if (!pathBox_) pathBox_ = path->pathBoundingBox();
    return *pathBox_;
}

std::shared_ptr<const gfx::Path> BaseClassForAllSVGBasicShapes::sharedPathMovedTo(gfx::Point origin) const {
    const gfx::Path* path = currentPath();
    if (!path) return nullptr;
    if (!movedPath_ || movedOrigin_.x != origin.x || movedOrigin_.y != origin.y) {
        movedPath_ = std::make_shared<const gfx::Path>(CGPathCreateByOffsettingPath(*path, origin.x, origin.y));
        movedOrigin_ = origin;
    }
    return movedPath_;
}

void SVGRectElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const auto keep = [&](std::optional<SVGLength>& field, std::string_view name) {
        if (auto length = presentLength(*this, name)) field = length;
    };
    keep(x_, "x");
    keep(y_, "y");
    keep(width_, "width");
    keep(height_, "height");
    keep(rx_, "rx");
    keep(ry_, "ry");
    const gfx::Size reference = percentageReference(result);
    const gfx::Rect rect{static_cast<float>(resolve(x_, *this, reference.width)),
                         static_cast<float>(resolve(y_, *this, reference.height)),
                         static_cast<float>(resolve(width_, *this, reference.width)),
                         static_cast<float>(resolve(height_, *this, reference.height))};
    const auto radius = [&](const std::optional<SVGLength>& length, double dimension) -> std::optional<double> {
        if (!length) return std::nullopt;
        return resolve(length, *this, dimension);
    };
    auto [rx, ry] = radii(radius(rx_, reference.width), radius(ry_, reference.height));
    // A zero radius beside another counts as absent on a rectangle.
    if (rx == 0) rx = ry;
    if (ry == 0) ry = rx;
    gfx::Path path;
    // A negative or zero width or height draws nothing.
    const bool drawn = rect.size.width > 0 && rect.size.height > 0;
    if (drawn && rx == 0) {
        path.addRect(rect);
    } else if (drawn) {
        path.addRoundedRect(rect, std::min<double>(rx, rect.size.width / 2), std::min<double>(ry, rect.size.height / 2));
    }
    setPathForShapeInRelativeCoords(std::move(path));
}

void SVGEllipseElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const gfx::Size reference = percentageReference(result);
    if (auto length = presentLength(*this, "cx")) cx_ = resolve(length, *this, reference.width);
    if (auto length = presentLength(*this, "cy")) cy_ = resolve(length, *this, reference.height);
    std::optional<double> rx, ry;
    if (auto length = presentLength(*this, "rx")) rx = resolve(length, *this, reference.width);
    if (auto length = presentLength(*this, "ry")) ry = resolve(length, *this, reference.height);
    if (rx || ry) std::tie(rx_, ry_) = radii(rx, ry);
    if (auto length = presentLength(*this, "r")) {
        // A negative radius draws nothing.
        rx_ = ry_ = std::max(0.0, resolve(length, *this, std::hypot(reference.width, reference.height) / squareRootOfTwo));
    }
    gfx::Path path;
    if (rx_ > 0 && ry_ > 0) path.addEllipse({cx_ - rx_, cy_ - ry_, 2 * rx_, 2 * ry_});
    setPathForShapeInRelativeCoords(std::move(path));
}

void SVGLineElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const gfx::Size reference = percentageReference(result);
    if (auto length = presentLength(*this, "x1")) x1_ = resolve(length, *this, reference.width);
    if (auto length = presentLength(*this, "y1")) y1_ = resolve(length, *this, reference.height);
    if (auto length = presentLength(*this, "x2")) x2_ = resolve(length, *this, reference.width);
    if (auto length = presentLength(*this, "y2")) y2_ = resolve(length, *this, reference.height);
}

std::shared_ptr<quartz::Layer> SVGLineElement::newLayer() {
    gfx::Path path;
    path.moveTo({x1_, y1_});
    path.lineTo({x2_, y2_});
    return SVGHelperUtilities::newCALayerForPathBasedSVGElement(*this, path);
}

void SVGPolygonElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    parseData(getAttribute("points"));
    limitPathSegments(result);
}

void SVGPolygonElement::parseData(std::string_view points) {
    gfx::Path path;
    if (!holdWhileReading(points.size())) return setPathForShapeInRelativeCoords(std::move(path));
    if (!points.empty()) {
        foundation::Scanner scanner("M" + std::string(points));
        const SVGCurve last =
            VellumPointsAndPathsParser::readMovetoDrawtoCommandGroups(scanner, path, {0, 0}, false);
        foundation::Scanner close("z");
        VellumPointsAndPathsParser::readCloseCommand(close, path, last.p);
    }
    setPathForShapeInRelativeCoords(std::move(path));
    letGoAfterReading(points.size());
}

void SVGPolylineElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const std::string points = getAttribute("points");
    if (!holdWhileReading(points.size())) return setPathForShapeInRelativeCoords(gfx::Path{});
    setPathForShapeInRelativeCoords(points.empty() ? gfx::Path{} : createPathFromPointsInString(points, false));
    letGoAfterReading(points.size());
    limitPathSegments(result);
}

void SVGPathElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    parseData(findAttributeValue("d").value_or(std::string_view()));
    limitPathSegments(result);
}

void SVGPathElement::parseData(std::string_view data) {
    // Reading stops soon after the segment limit; the shape cuts the rest and reports it.
    if (!holdWhileReading(data.size())) return setPathForShapeInRelativeCoords(gfx::Path{});
    setPathForShapeInRelativeCoords(pathFromData(data, maximumPathSegments));
    letGoAfterReading(data.size());
}

}  // namespace vellum
