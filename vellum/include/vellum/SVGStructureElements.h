#pragma once

#include <memory>

#include "vellum/ConverterSVGToCALayer.h"
#include "vellum/SVGElement.h"
#include "vellum/SVGRect.h"
#include "vellum/SVGSVGElement.h"

namespace vellum {

// A group: its layer is fitted around its children's layers.
class SVGGElement : public SVGElement, public SVGTransformable, public SVGStylable, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;
    std::shared_ptr<quartz::Layer> newLayer() override;
    // The union of the sublayers' frames becomes the frame; sublayers and mask keep their place.
    void layoutLayer(quartz::Layer& layer) override;
};

// A clip path: its content becomes the mask of the layer that refers to it. Never drawn in the
// normal walk of the document.
class SVGClipPathElement : public SVGElement, public SVGTransformable, public SVGStylable, public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;
    // Always files a recoverable error (masks may render differently on screen), and another for an
    // unknown clipPathUnits, which then counts as user space.
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    // Fits `clipLayer` around its content, in the coordinates of `maskedLayer`.
    void layoutLayer(quartz::Layer& clipLayer, const quartz::Layer& maskedLayer);
    // Moves the content (and the clip path's own clip) to the layer's origin and makes the layer's frame
    // the area it covers, which it returns (null for none).
    static gfx::Rect fitAroundContent(quartz::Layer& clipLayer);
    // Places a layer covering `area` (in the space the masked layer's frame is given in) as a mask of
    // `maskedLayer`, in its coordinates; a null area clips everything away.
    static void placeInMaskedLayer(quartz::Layer& clipLayer, const gfx::Rect& area, const quartz::Layer& maskedLayer);
    using ConverterSVGToCALayer::layoutLayer;

    // 1 userSpaceOnUse (the default), 2 objectBoundingBox.
    int clipPathUnits() const { return clipPathUnits_; }

private:
    int clipPathUnits_ = 1;
};

// A symbol: drawn only through a use element, as a new viewport the use element sizes, into which its
// view box is fitted and to which its content is clipped.
class SVGSymbolElement : public SVGElement,
                         public SVGTransformable,
                         public SVGFitToViewBox,
                         public SVGStylable,
                         public ConverterSVGToCALayer {
public:
    using SVGElement::SVGElement;
    void postProcessAttributesAddingErrorsTo(VellumParseResult& result) override;
    std::shared_ptr<quartz::Layer> newLayer() override;
    // Covers the viewport last placed and clips to it, unless overflow is visible.
    void layoutLayer(quartz::Layer& layer) override;

    // Makes the symbol a viewport of `size` at the origin of `space` (the use element's absolute
    // transform): its transform becomes the view box's fit.
    void placeInViewport(gfx::Size size, const gfx::AffineTransform& space);
    SVGRect viewBox() const { return viewBox_; }

private:
    SVGRect viewBox_ = SVGRectUninitialized();
    gfx::Rect viewportArea_;
};

// The definitions container: what it holds is drawn only where something refers to it.
class SVGDefsElement : public SVGElement {
public:
    using SVGElement::SVGElement;
};

// Elements whose text content the parser keeps; they draw nothing.
class SVGDescriptionElement : public SVGElement {
public:
    using SVGElement::SVGElement;
    static bool shouldStoreContent() { return true; }
};

class SVGTitleElement : public SVGElement {
public:
    using SVGElement::SVGElement;
    static bool shouldStoreContent() { return true; }
};

}  // namespace vellum
