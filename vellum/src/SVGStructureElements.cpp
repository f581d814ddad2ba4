#include "vellum/SVGStructureElements.h"

#include "VellumLog.h"
#include "foundation/Format.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/VellumError.h"
#include "vellum/VellumLayers.h"
#include "vellum/VellumParseResult.h"

namespace vellum {

namespace {

gfx::Rect unionOfSublayerFrames(const quartz::Layer& layer) {
    gfx::Rect area = gfx::Rect::null();
    for (const auto& sublayer : layer.sublayers()) area = area.unionWith(sublayer->frame());
    return area;
}

void moveSublayers(quartz::Layer& layer, double dx, double dy) {
    for (const auto& sublayer : layer.sublayers()) SVGHelperUtilities::moveLayer(*sublayer, dx, dy);
}

}  // namespace

std::shared_ptr<quartz::Layer> SVGGElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    return layer;
}

void SVGGElement::layoutLayer(quartz::Layer& layer) {
    const gfx::Rect area = unionOfSublayerFrames(layer);
    if (area.isNull()) {
        vellumLogWarning(
            "A G element has been generated with non-existent size and no contents. Apple cannot cope with this. As a "
            "workaround, we are resetting your layer to empty, but this may have unwanted side-effects (hard to test)");
        return;
    }
    layer.setFrame(area);
    if (layer.mask()) SVGHelperUtilities::moveLayer(*layer.mask(), -area.origin.x, -area.origin.y);
    moveSublayers(layer, -area.origin.x, -area.origin.y);
}

void SVGSymbolElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    viewBox_ = SVGHelperUtilities::viewBoxFromText(getAttribute("viewBox"));
    SVGHelperUtilities::parsePreserveAspectRatioFor(*this);
}

std::shared_ptr<quartz::Layer> SVGSymbolElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    return layer;
}

void SVGSymbolElement::placeInViewport(gfx::Size size, const gfx::AffineTransform& space) {
    setTransform(SVGRectIsInitialized(viewBox_)
                     ? SVGHelperUtilities::viewBoxFit(viewBox_, *preserveAspectRatio()->baseVal(), size.width, size.height)
                     : gfx::AffineTransform{});
    viewportArea_ = space.apply(gfx::Rect{0, 0, size.width, size.height});
}

void SVGSymbolElement::layoutLayer(quartz::Layer& layer) {
    SVGHelperUtilities::layOutViewportLayer(layer, viewportArea_, *this);
}

void SVGClipPathElement::postProcessAttributesAddingErrorsTo(VellumParseResult& result) {
    SVGElement::postProcessAttributesAddingErrorsTo(result);
    result.addParseErrorRecoverable(VellumError::make(
        "Vellum", 1,
        "<clipPath> found in SVG. May render incorrectly with VellumFastImageView due to Apple bug in CALayer .mask "
        "rendering."));
    clipPathUnits_ = 1;
    const std::string units = getAttribute("clipPathUnits");
    if (units.empty() || units == "userSpaceOnUse") return;
    if (units == "objectBoundingBox") {
        clipPathUnits_ = 2;
        return;
    }
    vellumLogWarning("Unknown clipPathUnits value %@", units);
    result.addParseErrorRecoverable(
        VellumError::make("Vellum", 1, foundation::format("Unknown clipPathUnits value %@", units)));
}

std::shared_ptr<quartz::Layer> SVGClipPathElement::newLayer() {
    auto layer = CALayerWithChildHitTest::make();
    SVGHelperUtilities::configureCALayer(*layer, *this);
    return layer;
}

void SVGClipPathElement::layoutLayer(quartz::Layer& clipLayer, const quartz::Layer& maskedLayer) {
    placeInMaskedLayer(clipLayer, fitAroundContent(clipLayer), maskedLayer);
}

gfx::Rect SVGClipPathElement::fitAroundContent(quartz::Layer& clipLayer) {
    const gfx::Rect area = unionOfSublayerFrames(clipLayer);
    if (area.isNull()) {
        // Nothing in the clip path: it clips everything away.
        clipLayer.setFrame({0, 0, 0, 0});
        return area;
    }
    moveSublayers(clipLayer, -area.origin.x, -area.origin.y);
    // The clip path's own clip lies in its space, as its content does.
    if (clipLayer.mask()) SVGHelperUtilities::moveLayer(*clipLayer.mask(), -area.origin.x, -area.origin.y);
    clipLayer.setFrame(area);
    return area;
}

void SVGClipPathElement::placeInMaskedLayer(quartz::Layer& clipLayer, const gfx::Rect& area,
                                            const quartz::Layer& maskedLayer) {
    if (area.isNull()) {
        clipLayer.setFrame({0, 0, 0, 0});
        return;
    }
    // The content was placed in the clipped element's space whatever the units (a bounding-box clip was
    // left unscaled and unmoved, which clipped its object away), so the mask always follows the layer.
    const gfx::AffineTransform toParent = maskedLayer.transformToSuperlayer();
    if (toParent.a == 1 && toParent.b == 0 && toParent.c == 0 && toParent.d == 1) {
        clipLayer.setFrame(area.offsetBy(-maskedLayer.frame().origin.x, -maskedLayer.frame().origin.y));
        return;
    }
    // A layer that draws through a transform of its own (a stroke under a stretch, drawn in its user
    // space) takes the content, placed in its parent's space, back through that transform: offset by
    // its frame alone, the clip landed scaled away from what it clips.
    const gfx::AffineTransform back = toParent.inverted();
    clipLayer.setAnchorPoint({0, 0});
    clipLayer.setBounds({0, 0, area.size.width, area.size.height});
    clipLayer.setAffineTransform({back.a, back.b, back.c, back.d, 0, 0});
    clipLayer.setPosition(back.apply(area.origin));
}

}  // namespace vellum
