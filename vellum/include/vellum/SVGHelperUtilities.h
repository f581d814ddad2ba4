#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "gfx/Path.h"
#include "vellum/SVGRect.h"

namespace quartz {
class Layer;
}

namespace vellum {

class Element;
class SVGElement;
class SVGFitToViewBox;
class SVGGradientLayer;
class SVGPreserveAspectRatio;
class SVGSVGElement;

// Where elements sit in the layer tree's coordinates, and what every element's layer is given.
struct SVGHelperUtilities {
    // A "viewBox" attribute's rectangle; uninitialised for fewer than four numbers or a size that is not
    // positive.
    static SVGRect viewBoxFromText(std::string_view text);
    // From the view box into a viewport of (width, height) at the origin: stretched for align "none",
    // else scaled uniformly to show all of the box (meet) or to cover the viewport (slice), and aligned.
    static gfx::AffineTransform viewBoxFit(SVGRect box, const SVGPreserveAspectRatio& setting, double width,
                                           double height);
    // The element's transform within its parent's space; for an svg element that sets its own
    // viewport, followed by the viewport scale and the view-box mapping with its aspect-ratio fit.
    static gfx::AffineTransform transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(
        const SVGElement& element);
    // The same, followed by every transformable or svg ancestor's: into the document's root space.
    static gfx::AffineTransform transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(
        const SVGElement& element);
    // The nearest transformable or svg ancestor's absolute transform: the space the element's own
    // transform starts from.
    static gfx::AffineTransform transformAbsoluteOfParent(const SVGElement& element);
    // Whether an svg element stands inside another: its viewport then lies in the parent's user space
    // (the outermost one's is the picture).
    static bool isNestedViewport(const SVGElement& element);
    // Moves a layer by its position, so that a transformed one (text) keeps its size and transform.
    static void moveLayer(quartz::Layer& layer, double dx, double dy);
    // Makes a viewport's layer cover `area` (in its parent layer's space), its sublayers (placed in root
    // space) and mask kept where they were, and clip them to it unless the element's overflow is visible.
    static void layOutViewportLayer(quartz::Layer& layer, const gfx::Rect& area, const SVGElement& element);
    // Name and "SVGElementIdentifier" from the id; opacity (not inherited) and, for shape layers, the
    // even-odd fill rule from the cascade.
    static void configureCALayer(quartz::Layer& layer, const SVGElement& element);
    // A new aspect-ratio setting from the element's "preserveAspectRatio" attribute.
    template <class Element>
    static void parsePreserveAspectRatioFor(Element& element) {
        parsePreserveAspectRatio(element, element);
    }

    // The layer of a path-based element: the path placed in root coordinates inside a layer sized to
    // its stroked box, with fill and stroke (colours or gradients), opacities, dashes, caps and joins.
    // One shape layer, or a container holding the fill layer and the stroke layer above it. `userBox`, when
    // the caller knows it, is the path's tight box (gfx::Path::pathBoundingBox), else worked out here.
    static std::shared_ptr<quartz::Layer> newCALayerForPathBasedSVGElement(const SVGElement& element, const gfx::Path& path,
                                                                          std::optional<gfx::Rect> userBox = std::nullopt);
    // The same for a path that is never changed (an element's): a layer without a stroke draws it where
    // it is, placed by its path transform, instead of a copy of its points.
    static std::shared_ptr<quartz::Layer> newCALayerForPathBasedSVGElement(const SVGElement& element,
                                                                          std::shared_ptr<const gfx::Path> path,
                                                                          std::optional<gfx::Rect> userBox = std::nullopt);
    // The gradient the identifier names, as a layer over `rect`; null (and logged) when none is found.
    // `userBox`, when given, is the painted shape's box in its own user space; `shape`, when given, its outline,
    // whose box on the device a bounding-box gradient stretches over under a turn or skew.
    static std::shared_ptr<SVGGradientLayer> getGradientLayerWithId(std::string_view identifier,
                                                                   const SVGElement& element, const gfx::Rect& rect,
                                                                   const gfx::AffineTransform& transform,
                                                                   std::optional<gfx::Rect> userBox = std::nullopt,
                                                                   const gfx::Path* shape = nullptr);
    // The identifier of a "url(#id) fallback" paint; nothing for a text too short to hold one.
    static std::optional<std::string> paintReferenceIdentifier(std::string_view paint);

    // Paint colours: nothing means no paint. Fills default to black, strokes to none.
    static std::optional<gfx::Color> parseFillForElement(const SVGElement& element);
    static std::optional<gfx::Color> parseFillForElement(const SVGElement& element, std::string_view fill,
                                                         std::string_view opacity);
    static std::optional<gfx::Color> parseStrokeForElement(const SVGElement& element);
    static std::optional<gfx::Color> parseStrokeForElement(const SVGElement& element, std::string_view stroke,
                                                           std::string_view opacity);
    static std::optional<gfx::Color> parsePaintColorForElement(const SVGElement& element, std::string_view paint,
                                                               std::string_view opacity, std::string_view defaultColor);

    // The element of the element's document with that id, found from the outermost svg element (the
    // nearest one's search missed everything outside a nested svg element) through its index. Every
    // reference by identifier but a use element's (resolved while parsing) goes through here. Null
    // without a root.
    static std::shared_ptr<Element> documentElementById(const SVGElement& element, std::string_view identifier);
    // The text of the element's reference: a plain href wins over an XLink one, and a prefixed href
    // counts only in the XLink namespace. Empty when there is none.
    static std::string referenceText(const Element& element);

    // What percentages resolve against: the root's view box when it has one, else its viewport;
    // (0, 0) without either (or without a root).
    static gfx::Size percentageReferenceSize(const SVGSVGElement* root);

private:
    static void parsePreserveAspectRatio(const SVGElement& element, SVGFitToViewBox& fitting);
};

}  // namespace vellum
