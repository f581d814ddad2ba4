#include "vellum/SVGHelperUtilities.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "NumberPrefix.h"
#include "StyleValues.h"
#include "VellumLog.h"
#include "foundation/Assertion.h"
#include "foundation/CharacterSet.h"
#include "foundation/Strings.h"
#include "quartz/Layer.h"
#include "quartz/ShapeLayer.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumParserExtension.h"

namespace vellum {

namespace {

using gfx::AffineTransform;
using Align = SVGPreserveAspectRatioAlign;

// The view box fitted into (width, height) by the element's aspect-ratio setting. The meet correction is
// worked out in pixels: the platform mixed view-box units with the element's height for the vertical
// offset, which moved content off centre whenever the scale was not 1.
AffineTransform viewBoxTransform(const SVGSVGElement& svg, double width, double height) {
    const auto& setting = *svg.preserveAspectRatio()->baseVal();
    const double targetRatio = height > 0 ? width / height : 0;
    const double boxRatio = svg.aspectRatioFromViewBox();
    const bool sameRatio = std::abs(targetRatio - boxRatio) <= 0.00001 || boxRatio == 0 || targetRatio == 0;
    if (!sameRatio && setting.align() != Align::none &&
        setting.meetOrSlice() != SVGPreserveAspectRatioMeetOrSlice::slice) {
        vellumLogWarning("ratioOfRatios = %.2f", targetRatio / boxRatio);
        vellumLogWarning(
            "Experimental: auto-scaling viewbox transform to fulfil SVG spec's default MEET settings, because your "
            "SVG file has different aspect-ratios for viewBox and for svg.width,svg.height");
    }
    return SVGHelperUtilities::viewBoxFit(svg.viewBox(), setting, width, height);
}

}  // namespace

// "minx miny width height", separated by white space and/or commas (runs count once, so doubled
// blanks shift nothing). Fewer than four numbers, or a size that is not positive, is no view box.
// ASCII text (every view box in practice) is split in place: its only blanks the separators leave
// inside a part are vertical tabs and form feeds, trimmed here. Other text takes the Unicode-aware way.
SVGRect SVGHelperUtilities::viewBoxFromText(std::string_view text) {
    if (std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::array<float, 4> numbers{};
        std::size_t found = 0;
        for (std::size_t offset = 0; offset < text.size() && found < 4;) {
            const std::size_t end = std::min(text.find_first_of(" \t\r\n,", offset), text.size());
            if (end > offset) {
                std::string_view part = text.substr(offset, end - offset);
                while (!part.empty() && (part.front() == '\v' || part.front() == '\f')) part.remove_prefix(1);
                while (!part.empty() && (part.back() == '\v' || part.back() == '\f')) part.remove_suffix(1);
                numbers[found++] = floatPrefix(part).value_or(0);
            }
            offset = end + 1;
        }
        if (found < 4 || numbers[2] <= 0 || numbers[3] <= 0) return SVGRectUninitialized();
        return SVGRectMake(numbers[0], numbers[1], numbers[2], numbers[3]);
    }
    std::vector<std::string> parts = foundation::components(text, foundation::CharacterSet(" \t\r\n,"));
    std::erase(parts, std::string());
    if (parts.size() < 4) return SVGRectUninitialized();
    std::array<float, 4> numbers{};
    for (std::size_t index = 0; index < 4; ++index) {
        numbers[index] = floatPrefix(foundation::trimmingWhitespaceAndNewlines(parts[index])).value_or(0);
    }
    if (numbers[2] <= 0 || numbers[3] <= 0) return SVGRectUninitialized();
    return SVGRectMake(numbers[0], numbers[1], numbers[2], numbers[3]);
}

AffineTransform SVGHelperUtilities::viewBoxFit(SVGRect box, const SVGPreserveAspectRatio& setting, double width,
                                               double height) {
    const AffineTransform translate = AffineTransform::translation(-box.x, -box.y);
    const double sx = width / box.width, sy = height / box.height;
    // Ratios that agree to the single precision sizes are kept in are one ratio: one scale keeps
    // strokes as wide along both axes, and the sliver it leaves is far below a pixel. Those a little
    // further apart are stretched to fill.
    const double apart = std::abs(sx - sy) / std::max(sx, sy);
    if (setting.align() == Align::none || (apart > 1e-6 && apart <= 0.00001)) {
        return translate.concatenating(AffineTransform::scale(sx, sy));
    }
    // Meet shows all of the box; slice covers the viewport with it, and what spills over is clipped.
    const bool slice = setting.meetOrSlice() == SVGPreserveAspectRatioMeetOrSlice::slice;
    const double scale = slice ? std::max(sx, sy) : std::min(sx, sy);
    const double spareX = width - box.width * scale, spareY = height - box.height * scale;
    const Align align = setting.align();
    double tx = 0, ty = 0;
    if (align == Align::xMidYMin || align == Align::xMidYMid || align == Align::xMidYMax) tx = spareX / 2;
    if (align == Align::xMaxYMin || align == Align::xMaxYMid || align == Align::xMaxYMax) tx = spareX;
    if (align == Align::xMinYMid || align == Align::xMidYMid || align == Align::xMaxYMid) ty = spareY / 2;
    if (align == Align::xMinYMax || align == Align::xMidYMax || align == Align::xMaxYMax) ty = spareY;
    return translate.concatenating(AffineTransform::scale(scale, scale)).concatenating(AffineTransform::translation(tx, ty));
}

namespace {

// A caller's mistake, reported and then worked through as if the element had no transform.
void reportUntransformable(const SVGElement& element) {
    if (element.as<SVGTransformable>() || element.as<SVGSVGElement>()) return;
    vellumLogError(
        "Illegal argument, sent a non-SVGTransformable, non-SVGSVGElement object to a method that requires an "
        "SVGTransformable (NB: Apple's Xcode is rubbish, it should have thrown a compiler error that you even tried to "
        "do this, but it often doesn't bother). Incoming instance = %@",
        element.description());
}

}  // namespace

AffineTransform SVGHelperUtilities::transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(
    const SVGElement& element) {
    reportUntransformable(element);
    const auto* transformable = SVGElement::as<SVGTransformable>(&element);
    const auto* svg = SVGElement::as<SVGSVGElement>(&element);
    const AffineTransform own = transformable ? transformable->transform() : AffineTransform{};
    // Only an svg element sets up a viewport; anything else contributes its own transform.
    if (!svg) return own;
    if (auto viewportElement = element.viewportElement(); viewportElement && viewportElement.get() != &element) {
        return own;
    }

    const SVGRect viewport = svg->viewport();
    if (!SVGRectIsInitialized(viewport)) {
        // No size to fit into: the view box still says which user point is the top-left corner.
        const SVGRect box = svg->viewBox();
        if (SVGRectIsInitialized(box) && box.width > 0 && box.height > 0) {
            return own.concatenating(AffineTransform::translation(-box.x, -box.y));
        }
        return own;
    }
    const SVGRect requested = svg->requestedViewport();
    AffineTransform viewportScale;
    double width = viewport.width, height = viewport.height;
    if (SVGRectIsInitialized(requested) && requested.width != 0 && requested.height != 0) {
        viewportScale = AffineTransform::scale(viewport.width / requested.width, viewport.height / requested.height);
        width = requested.width;
        height = requested.height;
    }
    AffineTransform viewBox;
    if (SVGRectIsInitialized(svg->viewBox()) && svg->viewBox().width > 0 && svg->viewBox().height > 0) {
        viewBox = viewBoxTransform(*svg, width, height);
    }
    // A nested viewport starts at its x and y in the parent's user space.
    const AffineTransform placement =
        isNestedViewport(element) ? AffineTransform::translation(viewport.x, viewport.y) : AffineTransform{};
    // The view box is fitted into the requested size, and that then scaled to the size drawn.
    return own.concatenating(viewBox.concatenating(viewportScale).concatenating(placement));
}

AffineTransform SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(
    const SVGElement& element) {
    // Within a layer build each element works its transform out once, from its parent's.
    if (auto remembered = element.rememberedAbsoluteTransform()) return *remembered;
    reportUntransformable(element);
    if (const auto parent = element.parentNode(); parent && !SVGElement::from(parent.get())) {
        vellumLogError(
            "I don't know what to do when parent node is NOT an SVG element of some kind; presumably, this is when SVG "
            "root node gets embedded inside something else? The SVG standard is unclear here and gives very few "
            "examples");
    }
    const AffineTransform absolute =
        transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(element).concatenating(
            transformAbsoluteOfParent(element));
    element.rememberAbsoluteTransform(absolute);
    return absolute;
}

std::shared_ptr<Element> SVGHelperUtilities::documentElementById(const SVGElement& element, std::string_view identifier) {
    auto root = element.rootOfCurrentDocumentFragment();
    if (!root) return nullptr;
    // Identifiers are the whole document's: content of a nested svg element names what lies outside it.
    for (auto node = root->parentNode(); node; node = node->parentNode()) {
        if (auto outer = SVGElement::as<SVGSVGElement>(node)) root = outer;
    }
    return root->elementWithIdentifier(identifier);
}

std::string SVGHelperUtilities::referenceText(const Element& element) {
    // An unprefixed href sits in the element's default namespace, or in the plain table without one;
    // looked up by name alone it could be a prefixed one of any namespace.
    if (const auto plain = element.attributes()->valueOfUnprefixedItem("href")) return std::string(*plain);
    return element.getAttributeNS(xlinkNamespaceURI, "href");
}

AffineTransform SVGHelperUtilities::transformAbsoluteOfParent(const SVGElement& element) {
    for (auto node = element.parentNode(); node; node = node->parentNode()) {
        const SVGElement* ancestor = SVGElement::from(node.get());
        if (ancestor && (ancestor->as<SVGTransformable>() || ancestor->as<SVGSVGElement>())) {
            return transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*ancestor);
        }
    }
    return {};
}

bool SVGHelperUtilities::isNestedViewport(const SVGElement& element) {
    for (auto node = element.parentNode(); node; node = node->parentNode()) {
        if (SVGElement::as<SVGSVGElement>(node.get())) return true;
    }
    return false;
}

void SVGHelperUtilities::moveLayer(quartz::Layer& layer, double dx, double dy) {
    const gfx::Point position = layer.position();
    layer.setPosition({position.x + dx, position.y + dy});
}

void SVGHelperUtilities::layOutViewportLayer(quartz::Layer& layer, const gfx::Rect& area, const SVGElement& element) {
    const gfx::Point former = layer.frame().origin;
    // The mask lies in the layer's own space, placed against its former frame.
    if (const auto& mask = layer.mask()) moveLayer(*mask, former.x - area.origin.x, former.y - area.origin.y);
    for (const auto& sublayer : layer.sublayers()) moveLayer(*sublayer, -area.origin.x, -area.origin.y);
    layer.setFrame(area);
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    const std::string_view overflow =
        element.cascadedValueInScope(SVGElement::StyleProperty::overflow, false).value_or("");
    layer.setMasksToBounds(overflow != "visible" && overflow != "auto");
}

void SVGHelperUtilities::configureCALayer(quartz::Layer& layer, const SVGElement& element) {
    layer.setName(element.identifier().value_or(""));
    // Only an element with an id is found by it: the layer of one without has no identifier at all.
    if (const auto& identifier = element.identifier()) layer.setValue("SVGElementIdentifier", *identifier);
    if (!SVGElement::as<SVGStylable>(&element)) return;
    const auto scope = SVGElement::CascadeScope::unlessRunning();
    layer.setOpacity(elementOpacity(element));
    if (element.cascadedValueInScope(SVGElement::StyleProperty::fillRule) == "evenodd") {
        if (auto* shape = dynamic_cast<quartz::ShapeLayer*>(&layer)) shape->setFillRule(gfx::FillRule::evenOdd);
    }
}

void SVGHelperUtilities::parsePreserveAspectRatio(const SVGElement& element, SVGFitToViewBox& fitting) {
    auto setting = std::make_shared<SVGAnimatedPreserveAspectRatio>();
    fitting.setPreserveAspectRatio(setting);
    const std::string text = element.getAttribute("preserveAspectRatio");
    if (text.empty()) return;
    static constexpr std::pair<std::string_view, Align> aligns[] = {
        {"none", Align::none},
        {"xMinYMin", Align::xMinYMin}, {"xMidYMin", Align::xMidYMin}, {"xMaxYMin", Align::xMaxYMin},
        {"xMinYMid", Align::xMinYMid}, {"xMidYMid", Align::xMidYMid}, {"xMaxYMid", Align::xMaxYMid},
        {"xMinYMax", Align::xMinYMax}, {"xMidYMax", Align::xMidYMax}, {"xMaxYMax", Align::xMaxYMax},
    };
    for (const std::string& token : foundation::components(text, " ")) {
        if (token == "meet") {
            setting->baseVal()->setMeetOrSlice(SVGPreserveAspectRatioMeetOrSlice::meet);
            continue;
        }
        if (token == "slice") {
            setting->baseVal()->setMeetOrSlice(SVGPreserveAspectRatioMeetOrSlice::slice);
            continue;
        }
        auto found = std::find_if(std::begin(aligns), std::end(aligns), [&](const auto& entry) { return entry.first == token; });
        if (found != std::end(aligns)) {
            setting->baseVal()->setAlign(found->second);
        } else {
            vellumLogWarning(
                "Found unexpected preserve-aspect-ratio command inside element's 'preserveAspectRatio' attribute. "
                "Command = '%@'",
                token);
        }
    }
}

}  // namespace vellum
