#include "vellum/SVGSVGElement.h"

#include "vellum/VellumLayers.h"

#include "foundation/Assertion.h"
#include "foundation/Strings.h"
#include "vellum/DOMHelperUtilities.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGUseElement.h"
#include "vellum/StyleSheetList.h"

namespace vellum {

namespace {

std::optional<SVGLength> lengthAttribute(const SVGElement& element, std::string_view name) {
    const std::string text = element.getAttribute(name);
    if (text.empty()) return std::nullopt;
    return SVGLength::svgLengthFromNSString(text);
}

[[noreturn]] void notImplemented() { foundation::raiseAssertion("Not implemented yet"); }

}  // namespace

void SVGSVGElement::loadDefaults() { styleSheets_ = std::make_shared<StyleSheetList>(); }

void SVGSVGElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    x_ = lengthAttribute(*this, "x");
    y_ = lengthAttribute(*this, "y");
    width_ = lengthAttribute(*this, "width");
    height_ = lengthAttribute(*this, "height");
    if (width_ && width_->unitType() == SVGLengthType::percentage) width_.reset();
    if (height_ && height_->unitType() == SVGLengthType::percentage) height_.reset();
    if (width_ && height_) {
        requestedViewport_ = SVGRectMake(x_ ? x_->pixelsValue() : 0, y_ ? y_->pixelsValue() : 0, width_->pixelsValue(),
                                         height_->pixelsValue());
    } else {
        requestedViewport_ = SVGRectUninitialized();
    }
    viewport_ = requestedViewport_;
    const std::string viewBox = getAttribute("viewBox");
    viewBox_ = SVGHelperUtilities::viewBoxFromText(viewBox);
    SVGHelperUtilities::parsePreserveAspectRatioFor(*this);
    // A percentage width is kept after all (the viewport above was fixed without it).
    width_ = lengthAttribute(*this, "width");
}

std::shared_ptr<quartz::Layer> SVGSVGElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    const SVGRect viewport = viewport_;
    layer->setFrame(SVGRectIsInitialized(viewport) ? gfx::Rect{viewport.x, viewport.y, viewport.width, viewport.height}
                                                   : gfx::Rect{0, 0, 0, 0});
    return layer;
}

void SVGSVGElement::layoutLayer(quartz::Layer& layer) {
    const SVGRect viewport = viewport_;
    if (!SVGRectIsInitialized(viewport) || !SVGHelperUtilities::isNestedViewport(*this)) return;
    const gfx::Rect area = SVGHelperUtilities::transformAbsoluteOfParent(*this).apply(
        gfx::Rect{viewport.x, viewport.y, viewport.width, viewport.height});
    SVGHelperUtilities::layOutViewportLayer(layer, area, *this);
}

std::shared_ptr<Element> SVGSVGElement::getElementById(std::string_view identifier) {
    for (const auto& child : *childNodes()) {
        if (auto found = DOMHelperUtilities::privateGetElementById(identifier, child)) return found;
    }
    return nullptr;
}

std::shared_ptr<Element> SVGSVGElement::elementWithIdentifier(std::string_view identifier) const {
    if (identifier.empty()) return nullptr;
    const std::uint64_t scope = CascadeScope::runningNumber();
    if (scope == 0) {
        if (getAttribute("id") == identifier) {
            return std::static_pointer_cast<Element>(std::const_pointer_cast<Node>(shared_from_this()));
        }
        return const_cast<SVGSVGElement*>(this)->getElementById(identifier);
    }
    if (identifiersScope_ != scope || identifiersTreeChanges_ != treeChanges()) {
        identifiers_.clear();
        for (const auto& [name, element] :
             SVGUseElement::elementsByIdentifier(std::const_pointer_cast<Node>(shared_from_this())))
            identifiers_.emplace(name, element->weak_from_this());
        identifiersScope_ = scope;
        identifiersTreeChanges_ = treeChanges();
    }
    const auto found = identifiers_.find(identifier);
    if (found == identifiers_.end()) return nullptr;
    return std::static_pointer_cast<Element>(found->second.lock());
}

double SVGSVGElement::aspectRatioFromWidthPerHeight() const {
    const float height = height_ ? height_->pixelsValue() : 0;
    if (height == 0) return 0;
    const float width = width_ ? width_->pixelsValue() : 0;
    return width / height;
}

double SVGSVGElement::aspectRatioFromViewBox() const {
    if (!SVGRectIsInitialized(viewBox_) || viewBox_.height == 0) return 0;
    return viewBox_.width / viewBox_.height;
}

std::shared_ptr<CSSStyleDeclaration> SVGSVGElement::getOverrideStyle(const std::shared_ptr<Element>&, std::string_view) {
    notImplemented();
}
std::uint32_t SVGSVGElement::suspendRedraw(std::uint32_t) { notImplemented(); }
void SVGSVGElement::unsuspendRedraw(std::uint32_t) { notImplemented(); }
void SVGSVGElement::unsuspendRedrawAll() { notImplemented(); }
void SVGSVGElement::forceRedraw() { notImplemented(); }
void SVGSVGElement::pauseAnimations() { notImplemented(); }
void SVGSVGElement::unpauseAnimations() { notImplemented(); }
bool SVGSVGElement::animationsPaused() { notImplemented(); }
float SVGSVGElement::getCurrentTime() { notImplemented(); }
void SVGSVGElement::setCurrentTime(float) { notImplemented(); }
std::shared_ptr<NodeList> SVGSVGElement::getIntersectionList(SVGRect, const std::shared_ptr<SVGElement>&) {
    notImplemented();
}
std::shared_ptr<NodeList> SVGSVGElement::getEnclosureList(SVGRect, const std::shared_ptr<SVGElement>&) {
    notImplemented();
}
bool SVGSVGElement::checkIntersection(const std::shared_ptr<SVGElement>&, SVGRect) { notImplemented(); }
bool SVGSVGElement::checkEnclosure(const std::shared_ptr<SVGElement>&, SVGRect) { notImplemented(); }
void SVGSVGElement::deselectAll() { notImplemented(); }
std::shared_ptr<SVGAngle> SVGSVGElement::createSVGAngle() { notImplemented(); }
std::shared_ptr<SVGPoint> SVGSVGElement::createSVGPoint() { notImplemented(); }
std::shared_ptr<SVGMatrix> SVGSVGElement::createSVGMatrix() { notImplemented(); }
std::shared_ptr<SVGTransform> SVGSVGElement::createSVGTransform() { notImplemented(); }
std::shared_ptr<SVGTransform> SVGSVGElement::createSVGTransformFromMatrix(const SVGMatrix&) { notImplemented(); }

}  // namespace vellum
