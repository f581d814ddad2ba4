#pragma once

#include <cstdint>
#include <memory>

#include "foundation/Data.h"
#include "gfx/Context.h"

namespace gfx {
class Image;
}

namespace vellum {

class VellumImage;

// Exports refuse pictures of more pixels than this (a document may ask for any size).
inline constexpr std::int64_t maximumExportPixelCount = 32LL * 1024 * 1024;

// An image into a platform image at the main screen's scale, top-down. Null when the image has no
// size, the picture would be too large or its render failed (each reported).
struct VellumExporterUIImage {
    static std::shared_ptr<gfx::Image> exportAsUIImage(VellumImage& image);
    static std::shared_ptr<gfx::Image> exportAsUIImage(VellumImage& image, bool antiAliased, double curveFlatnessFactor,
                                                       gfx::InterpolationQuality interpolationQuality);
    // What the main screen's scale is taken to be: read on the main thread, remembered for the others
    // (the image library exports on its own queues).
    static double mainScreenScale();
};

// An image into raw bytes: 4 a pixel (red, green, blue, one unused), rows of width x 4, the image's
// size in whole pixels. Without flipping the picture comes out upside down (the document's top in the
// last rows), as the platform's bottom-up bitmap contexts give it. Empty when the image has no size,
// the picture would be too large or its render failed.
struct VellumExporterNSData {
    static foundation::Data exportAsNSData(VellumImage& image, bool flipYaxis = false);
    static foundation::Data exportAsNSData(VellumImage& image, bool antiAliased, double curveFlatnessFactor,
                                           gfx::InterpolationQuality interpolationQuality, bool flipYaxis);
};

// Drawing an image's layer tree into a context.
struct VellumImageDrawing {
    // An opaque RGB context of the image's size in whole pixels, origin at the bottom left; null
    // without a size (reported) or when too large.
    static std::shared_ptr<gfx::Context> newCGContextAutosizedToFit(VellumImage& image);
    // False when the render failed: its layer build or drawing ran past the render's work meter
    // (gfx::WorkMeter, opened here unless one runs), filed in the image's parse result; what the context
    // holds then is no picture of the document.
    static bool renderInContext(VellumImage& image, gfx::Context& context);
    // Anti-aliasing NO switches it off; YES leaves the context's own setting. Without a size nothing
    // is drawn (reported) and the answer is false.
    static bool renderToContext(VellumImage& image, gfx::Context& context, bool antiAliased,
                                double curveFlatnessFactor, gfx::InterpolationQuality interpolationQuality,
                                bool flipYaxis);
};

}  // namespace vellum
