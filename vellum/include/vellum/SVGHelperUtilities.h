#pragma once

#include "gfx/Geometry.h"

namespace quartz {
class Layer;
}

namespace vellum {

class SVGElement;
class SVGFitToViewBox;

// Where elements sit in the layer tree's coordinates, and what every element's layer is given.
struct SVGHelperUtilities {
    // The element's transform within its parent's space; for an svg element that sets its own
    // viewport, followed by the viewport scale and the view-box mapping with its aspect-ratio fit.
    static gfx::AffineTransform transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(
        const SVGElement& element);
    // The same, followed by every transformable or svg ancestor's: into the document's root space.
    static gfx::AffineTransform transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(
        const SVGElement& element);
    // Name and "SVGElementIdentifier" from the id; opacity (not inherited) and, for shape layers, the
    // even-odd fill rule from the cascade.
    static void configureCALayer(quartz::Layer& layer, const SVGElement& element);
    // A new aspect-ratio setting from the element's "preserveAspectRatio" attribute.
    template <class Element>
    static void parsePreserveAspectRatioFor(Element& element) {
        parsePreserveAspectRatio(element, element);
    }

private:
    static void parsePreserveAspectRatio(const SVGElement& element, SVGFitToViewBox& fitting);
};

}  // namespace vellum
