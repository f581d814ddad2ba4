#pragma once

#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/Geometry.h"
#include "quartz/Layer.h"

namespace vellum {

class SVGDocument;
class SVGElement;

// Builds the layer tree of an element and its descendants: each drawing element's layer, its
// children's layers as sublayers (a use element's: the referenced element's), clip paths as masks.
// The content of defs, clip paths and gradients is not drawn where it stands.
struct VellumLayerTree {
    static std::shared_ptr<quartz::Layer> newLayerWithElement(const std::shared_ptr<SVGElement>& element);
    // Hidden by "display: none" or "visibility: hidden".
    static bool isElementVisible(const SVGElement& element);
    // The document drawn into a bitmap of `size` points at `scale`: the root's viewport is set to the
    // size first, as an image given an explicit size does. Empty without a root element.
    static gfx::Bitmap renderDocument(SVGDocument& document, gfx::Size size, double scale = 1);
};

}  // namespace vellum
