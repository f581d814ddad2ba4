#include "vellum/SVGGradientElement.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "GradientLengths.h"
#include "NumberPrefix.h"
#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/NumberText.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParserExtension.h"

namespace vellum {

void SVGGradientStop::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    const std::string offset = getAttribute("offset");
    if (!offset.empty()) {
        const SVGLength length = SVGLength::svgLengthFromNSString(offset);
        offset_ = length.unitType() == SVGLengthType::percentage ? length.value() / 100 : length.value();
    }
    const std::string color = cascadedValueForStylableProperty("stop-color", false).value_or("");
    if (!color.empty()) stopColor_ = SVGColorFromString(color);
    const std::string opacity = cascadedValueForStylableProperty("stop-opacity", false).value_or("");
    stopOpacity_ = opacityValue(opacity).value_or(stopOpacity_);
    // The low byte of the truncated product, as the platform stored it; past an int it saturates.
    stopColor_.a = static_cast<std::uint8_t>(foundation::saturatedInteger<int>(stopOpacity_ * 255) & 0xff);
}

void SVGGradientElement::addStop(const std::shared_ptr<SVGGradientStop>& stop) {
    if (!stop) return;
    // Stops taken by reference are shared: a stop added after that goes to a list of this gradient's own.
    if (!stops_ || stops_.use_count() > 1) {
        auto own = std::make_shared<Stops>();
        if (stops_) own->stops = stops_->stops;
        stops_ = std::move(own);
    }
    stops_->stops.push_back(stop);
    stops_->colors.reset();
    stops_->locations.reset();
    stops_->gradient.reset();
}

const std::vector<std::shared_ptr<SVGGradientStop>>& SVGGradientElement::stops() const {
    static const std::vector<std::shared_ptr<SVGGradientStop>> none;
    return stops_ ? stops_->stops : none;
}

const std::vector<gfx::Color>& SVGGradientElement::colors() {
    static const std::vector<gfx::Color> none;
    if (!stops_ || stops_->stops.empty()) return none;
    auto& colors = stops_->colors;
    if (!colors) {
        colors.emplace();
        for (const auto& stop : stops_->stops) colors->push_back(CGColorWithSVGColor(stop->stopColor()));
    }
    return *colors;
}

const std::vector<double>& SVGGradientElement::locations() {
    static const std::vector<double> none;
    if (!stops_ || stops_->stops.empty()) return none;
    auto& locations = stops_->locations;
    if (!locations) {
        locations.emplace();
        double previous = 0;
        for (const auto& stop : stops_->stops) {
            double location = std::clamp(stop->offset(), 0.0, 1.0);
            location = std::max(previous, location);
            // Two stops at one offset: the earlier moves a hair back so the colour changes sharply there.
            if (location == previous && location != 0 && !locations->empty()) locations->back() = previous - 1e-10;
            locations->push_back(static_cast<float>(location));
            previous = location;
        }
    }
    return *locations;
}

const std::shared_ptr<const gfx::Gradient>& SVGGradientElement::gradient() {
    static const std::shared_ptr<const gfx::Gradient> none;
    if (!stops_ || stops_->stops.empty()) return none;
    if (!stops_->gradient) {
        if (auto made = gfx::Gradient::make(colors(), locations())) {
            stops_->gradient = std::make_shared<const gfx::Gradient>(std::move(*made));
        }
    }
    return stops_->gradient;
}

std::string SVGGradientElement::getAttributeInheritedIfNil(std::string_view name) const {
    auto parent = SVGElement::from(parentNode());
    // Only groups pass gradient attributes on.
    if (SVGElement::as<SVGGElement>(parent) && !hasAttribute(name)) return parent->getAttribute(name);
    return getAttribute(name);
}

int SVGGradientElement::gradientUnits() const {
    const std::string units = getAttributeInheritedIfNil("gradientUnits");
    if (units.empty() || units == "objectBoundingBox") return 2;
    if (units == "userSpaceOnUse") return 1;
    vellumLogWarning("Unsupported gradientUnits: %@", units);
    return 0;
}

unsigned SVGGradientElement::spreadMethod() const {
    const std::string method = getAttributeInheritedIfNil("spreadMethod");
    if (method.empty() || method == "pad") return 1;
    if (method == "reflect") return 2;
    if (method == "repeat") return 3;
    vellumLogWarning("Unsupported spreadMethod: %@", method);
    return 0;
}

std::shared_ptr<SVGGradientLayer> SVGGradientElement::newGradientLayerForObjectRect(const gfx::Rect&, SVGRect,
                                                                                   const gfx::AffineTransform&) {
    return nullptr;
}

namespace {

// Stops and these pass along a reference between gradients of either kind; geometry passes only
// between gradients of one kind (a radial gradient has no use for a linear one's ends).
constexpr const char* sharedAttributes[] = {"gradientUnits", "gradientTransform", "spreadMethod"};

std::shared_ptr<SVGGradientElement> referencedGradient(const SVGElement& element) {
    std::string href = SVGHelperUtilities::referenceText(element);
    if (!href.empty() && href.front() == '#') href.erase(0, 1);
    if (href.empty()) return nullptr;
    // A reference to anything but a gradient has nothing to give.
    return SVGElement::as<SVGGradientElement>(SVGHelperUtilities::documentElementById(element, href));
}

}  // namespace

void SVGGradientElement::inheritFrom(const SVGGradientElement& referenced, bool sameKind) {
    const bool ownTransform = hasAttribute("transform") || hasAttribute("gradientTransform");
    if (stops().empty()) stops_ = referenced.stops_;
    // The referenced gradient's own attribute node, shared rather than copied: a long value passes down a
    // chain without a copy a link.
    const auto inherit = [&](const char* name) {
        if (hasAttribute(name)) return;
        if (auto node = referenced.attributes()->getNamedItem(name)) attributes()->setNamedItemNS(node, svgNamespaceURI);
    };
    for (const char* name : sharedAttributes) inherit(name);
    if (sameKind) {
        for (const char* name : geometryAttributes()) inherit(name);
    }
    // The transform was read from the element's own attributes when it was parsed. An inherited one was
    // read where it was written, or taken by the gradient passing it on, so a chain reads the text once.
    if (!ownTransform && hasAttribute("gradientTransform")) {
        if (referenced.getAttribute("transform").empty()) {
            setTransform(referenced.transform().concatenating(transform()));
        } else {
            applyTransformAttribute(getAttribute("gradientTransform"));
        }
    }
}

void SVGGradientElement::synthesizeChain() {
    if (hasSynthesizedProperties_) return;
    // Each link is looked up through the document's index, which lasts as long as a scope.
    const auto scope = CascadeScope::unlessRunning();
    // The chain of references, up to its last gradient, to where it comes back on itself, or to a gradient
    // settled already (which settled everything past it): each gradient's links are walked once, however
    // many gradients of the chain shapes name and in whatever order.
    std::vector<std::shared_ptr<SVGGradientElement>> chain{std::static_pointer_cast<SVGGradientElement>(shared_from_this())};
    std::unordered_set<const SVGGradientElement*> visited{this};
    std::shared_ptr<SVGGradientElement> end;
    for (auto next = referencedGradient(*this); next; next = referencedGradient(*next)) {
        if (!visited.insert(next.get()).second || next->hasSynthesizedProperties_) {
            end = next;
            break;
        }
        chain.push_back(next);
    }
    gfx::WorkMeter::charge(static_cast<double>(chain.size()) * gfx::WorkMeter::aGradientLink);
    // From the far end back, without recursion (a chain may be as long as the document): each takes what
    // it lacks from the gradient it names, whose own share is settled by then, and geometry from the
    // nearest gradient of its kind further on, so one of the other kind in between passes it along.
    std::shared_ptr<SVGGradientElement> nearest[2];
    if (end && end->hasSynthesizedProperties_) {
        for (int kind = 0; kind < 2; ++kind) nearest[kind] = end->nearestOnward_[kind].lock();
    }
    for (std::size_t index = chain.size(); index-- > 0;) {
        SVGGradientElement& element = *chain[index];
        const int kind = SVGElement::as<SVGLinearGradientElement>(&element) ? 0 : 1;
        element.hasSynthesizedProperties_ = true;
        const SVGGradientElement* next = index + 1 < chain.size() ? chain[index + 1].get() : end.get();
        if (next) element.inheritFrom(*next, next == nearest[kind].get());
        if (nearest[kind] && next != nearest[kind].get()) element.inheritFrom(*nearest[kind], true);
        nearest[kind] = chain[index];
        for (int each = 0; each < 2; ++each) element.nearestOnward_[each] = nearest[each];
    }
}

namespace {

gfx::Rect referenceRect(int units, const gfx::Rect& object, SVGRect viewport) {
    if (units == 1) return {viewport.x, viewport.y, viewport.width, viewport.height};
    return object;
}

SVGLength lengthOr(const std::string& text, const char* fallback) {
    return SVGLength::svgLengthFromNSString(text.empty() ? fallback : text);
}

void finishLayer(SVGGradientLayer& layer, SVGGradientElement& element, const gfx::Rect& object, SVGRect viewport,
                 const gfx::AffineTransform& transform, bool flat) {
    layer.setGradientElement(std::static_pointer_cast<SVGGradientElement>(element.shared_from_this()));
    layer.setObjectRect(object);
    layer.setViewportRect(viewport);
    layer.setAbsoluteTransform(transform);
    if (flat || element.colors().size() == 1) {
        const auto& stops = element.stops();
        const SVGColor color = stops.empty() ? SVGColor{0, 0, 0, 0} : stops.back()->stopColor();
        layer.setBackgroundColor(CGColorWithSVGColor(color));
        layer.setOpacity(stops.empty() ? 0 : stops.back()->stopOpacity());
    }
    // The layer draws the element's own gradient: its stops are not copied into each copy's layer.
}

}  // namespace

std::span<const char* const> SVGLinearGradientElement::geometryAttributes() const {
    static constexpr const char* names[] = {"x1", "y1", "x2", "y2"};
    return names;
}

std::shared_ptr<SVGGradientLayer> SVGLinearGradientElement::newGradientLayerForObjectRect(
    const gfx::Rect& object, SVGRect viewport, const gfx::AffineTransform& absolute) {
    auto layer = SVGGradientLayer::make();
    const int units = gradientUnits();
    const gfx::Rect reference = referenceRect(units, object, viewport);
    layer->setFrame(object);
    const gfx::AffineTransform& gradient = transform();
    x1_ = lengthOr(getAttributeInheritedIfNil("x1"), "0%");
    y1_ = lengthOr(getAttributeInheritedIfNil("y1"), "0%");
    x2_ = lengthOr(getAttributeInheritedIfNil("x2"), "100%");
    y2_ = lengthOr(getAttributeInheritedIfNil("y2"), "0%");
    const auto width = static_cast<float>(reference.size.width), height = static_cast<float>(reference.size.height);
    gfx::Point start = gradient.apply(gfx::Point{gradientLength(x1_, width, units == 1), gradientLength(y1_, height, units == 1)});
    gfx::Point end = gradient.apply(gfx::Point{gradientLength(x2_, width, units == 1), gradientLength(y2_, height, units == 1)});
    if (units == 1) {
        start = absolute.apply(start);
        end = absolute.apply(end);
        start = {start.x - object.origin.x, start.y - object.origin.y};
        end = {end.x - object.origin.x, end.y - object.origin.y};
    }
    const double w = object.size.width != 0 ? object.size.width : 1, h = object.size.height != 0 ? object.size.height : 1;
    layer->setStartPoint({start.x / w, start.y / h});
    layer->setEndPoint({end.x / w, end.y / h});
    layer->setType(quartz::GradientType::axial);
    finishLayer(*layer, *this, object, viewport, absolute, false);
    return layer;
}

std::span<const char* const> SVGRadialGradientElement::geometryAttributes() const {
    static constexpr const char* names[] = {"cx", "cy", "r", "fx", "fy", "fr"};
    return names;
}

std::shared_ptr<SVGGradientLayer> SVGRadialGradientElement::newGradientLayerForObjectRect(
    const gfx::Rect& object, SVGRect viewport, const gfx::AffineTransform& absolute) {
    auto layer = SVGGradientLayer::make();
    const int units = gradientUnits();
    const gfx::Rect reference = referenceRect(units, object, viewport);
    layer->setFrame(object);
    cx_ = lengthOr(getAttributeInheritedIfNil("cx"), "50%");
    cy_ = lengthOr(getAttributeInheritedIfNil("cy"), "50%");
    r_ = lengthOr(getAttributeInheritedIfNil("r"), "50%");
    const std::string fx = getAttributeInheritedIfNil("fx"), fy = getAttributeInheritedIfNil("fy");
    const std::string fr = getAttributeInheritedIfNil("fr");
    fx_ = fx.empty() ? cx_ : SVGLength::svgLengthFromNSString(fx);
    fy_ = fy.empty() ? cy_ : SVGLength::svgLengthFromNSString(fy);
    fr_ = lengthOr(fr, "0%");
    if (!fx.empty() || !fy.empty() || !fr.empty()) {
        vellumLogWarning(
            "The radialGradient element #%@ contains focal value: (fx:%@, fy: %@, fr:%@). The focul value is only "
            "supported on `SVGFastimageView` and it will be ignored when rendering in SVGLayredView.",
            getAttribute("id"), fx, fy, fr);
    }
    const auto width = static_cast<float>(reference.size.width), height = static_cast<float>(reference.size.height);
    const gfx::Point centre{gradientLength(cx_, width, units == 1), gradientLength(cy_, height, units == 1)};
    double radius = gradientLength(r_, std::min(width, height), units == 1);
    gfx::AffineTransform gradient = transform();
    if (units == 1) {
        const gfx::Rect square = absolute.apply(gradient.apply(gfx::Rect{centre.x, centre.y, 2 * radius, 2 * radius}));
        radius = square.size.height / 2;
    } else if (object.size.width != object.size.height && object.size.width > 0 && object.size.height > 0) {
        const double sx = object.size.width > object.size.height ? object.size.width / object.size.height : 1;
        const double sy = object.size.width > object.size.height ? 1 : object.size.height / object.size.width;
        const auto about = gfx::AffineTransform::translation(-centre.x, -centre.y)
                               .concatenating(gfx::AffineTransform::scale(sx, sy))
                               .concatenating(gfx::AffineTransform::translation(centre.x, centre.y));
        gradient = about.concatenating(gradient);
    }
    gfx::Point c = gradient.apply(centre);
    gfx::Point v{gradient.a * radius + gradient.c * radius, gradient.b * radius + gradient.d * radius};
    if (units == 1) {
        c = absolute.apply(c);
        c = {c.x - object.origin.x, c.y - object.origin.y};
        v = {gradient.a * v.x + gradient.c * v.y, gradient.b * v.x + gradient.d * v.y};
    }
    const double w = object.size.width != 0 ? object.size.width : 1, h = object.size.height != 0 ? object.size.height : 1;
    layer->setStartPoint({c.x / w, c.y / h});
    layer->setEndPoint({(c.x + v.x) / w, (c.y + v.y) / h});
    layer->setType(quartz::GradientType::radial);
    finishLayer(*layer, *this, object, viewport, absolute, !(r_.value() > 0));
    return layer;
}

}  // namespace vellum
