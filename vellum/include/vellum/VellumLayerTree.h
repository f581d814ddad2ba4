#pragma once

#include <cstddef>
#include <memory>

#include "gfx/Bitmap.h"
#include "gfx/Geometry.h"
#include "quartz/Layer.h"

namespace vellum {

class SVGDocument;
class SVGElement;
class VellumParseResult;

// Builds the layer tree of an element and its descendants: each drawing element's layer, its
// children's layers as sublayers (a use element's: the referenced element's), clip paths as masks.
// The content of defs, clip paths and gradients is not drawn where it stands.
//
// A document is untrusted, so one build is bounded: a use element or clip path that re-enters what
// is being built draws nothing; past `maximumNestingDepth` nested layers (use copies counted) and past
// `maximumInstantiatedElements` layers the build stops there and what was built is drawn. Each of these
// is a recoverable error, filed once in `problems` when given (else logged). A document whose style
// rules take more matching than its size allows is refused whole, with such an error: it draws nothing
// (an empty layer; no bitmap from `renderDocument`), never a picture styled in part. A clip path is built
// once for each space it is placed in and shared by the elements it clips there.
//
// A build and a render count their work against the thread's gfx::WorkMeter, opened here unless one
// runs: past it, the build gives an empty tree and the render an empty bitmap, and that is filed.
struct VellumLayerTree {
    // A tree of this many layers holds up to about 500 MB at its render's peak (a shape's layer about 660 bytes,
    // an empty group's 460, use instances included): the bound is the memory's; their time is the meter's (a
    // fan of 3^10 symbol copies, 236,000 layers, is drawn; 150,000 use copies of a square too).
    static constexpr std::size_t maximumInstantiatedElements = 750'000;
    static constexpr std::size_t maximumNestingDepth = 256;
    // Clip masks are drawn apart: past this many the clip paths met after are not applied and the build
    // goes on. Their pixels are the render's work meter's to count.
    static constexpr std::size_t maximumMasks = 100'000;

    // `refused`, when given, is set when the build was refused whole (its matching or its meter spent): the
    // empty layer then stands for no picture.
    static std::shared_ptr<quartz::Layer> newLayerWithElement(const std::shared_ptr<SVGElement>& element,
                                                              VellumParseResult* problems = nullptr,
                                                              bool* refused = nullptr);
    // Hidden by "display: none" or "visibility: hidden".
    static bool isElementVisible(const SVGElement& element);
    // The document drawn into a bitmap of `size` points at `scale`: the root's viewport is set to the
    // size first, as an image given an explicit size does. Empty without a root element, and for a document
    // refused.
    static gfx::Bitmap renderDocument(SVGDocument& document, gfx::Size size, double scale = 1,
                                      VellumParseResult* problems = nullptr);
};

}  // namespace vellum
