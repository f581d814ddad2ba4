#include "vellum/VellumExporter.h"

#include <atomic>
#include <cmath>

#include "VellumGuard.h"
#include "VellumLog.h"
#include "dispatch/Queue.h"
#include "gfx/Image.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"
#include "ui/Window.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumWorkBounds.h"

namespace vellum {

namespace {

constexpr std::string_view infiniteSizeExport =
    "Cannot export this image because the SVG file has infinite size. Either fix the SVG file, or set an explicit size "
    "you want it to be exported at (by calling .size = something on this VellumImage instance";

// Whether a picture of `size` points at `scale` stays within the export limit.
bool withinLimit(gfx::Size size, double scale) {
    const double pixels = std::ceil(size.width * scale) * std::ceil(size.height * scale);
    if (std::isfinite(pixels) && pixels > 0 && pixels <= static_cast<double>(maximumExportPixelCount)) return true;
    vellumLogError("[%@] ERROR: refusing to export an SVG of %@ x %@ points at scale %@: too large or empty",
                   "VellumExporter", size.width, size.height, scale);
    return false;
}

}  // namespace

double VellumExporterUIImage::mainScreenScale() {
    static std::atomic<double> remembered = ui::Screen{}.scale;
    if (dispatch::isMainThread()) {
        const double scale = ui::Screen::main().scale;
        if (std::isfinite(scale) && scale > 0) remembered = scale;
    }
    return remembered;
}

std::shared_ptr<gfx::Image> VellumExporterUIImage::exportAsUIImage(VellumImage& image) {
    return exportAsUIImage(image, true, 1.0, gfx::InterpolationQuality::standard);
}

std::shared_ptr<gfx::Image> VellumExporterUIImage::exportAsUIImage(VellumImage& image, bool antiAliased,
                                                                   double curveFlatnessFactor,
                                                                   gfx::InterpolationQuality interpolationQuality) {
    if (!image.hasSize()) {
        vellumLogError(
            "You asked to export an SVG to bitmap, but the SVG file has infinite size. Either fix the SVG file, or set "
            "an explicit size you want it to be exported at (by calling .size = something on this VellumImage "
            "instance");
        return nullptr;
    }
    return guarded<std::shared_ptr<gfx::Image>>("exportAsUIImage", [&]() -> std::shared_ptr<gfx::Image> {
        const gfx::Size size = image.size();
        const double scale = mainScreenScale();
        if (!withinLimit(size, scale)) return nullptr;
        auto context = gfx::Context::create(size, {.scale = scale});
        if (!context) return nullptr;
        // The image context is top-down already: no flip.
        if (!VellumImageDrawing::renderToContext(image, *context, antiAliased, curveFlatnessFactor,
                                                 interpolationQuality, false))
            return nullptr;
        return gfx::Image::fromBitmap(context->takeImage(), scale);
    });
}

foundation::Data VellumExporterNSData::exportAsNSData(VellumImage& image, bool flipYaxis) {
    return exportAsNSData(image, true, 1.0, gfx::InterpolationQuality::standard, flipYaxis);
}

foundation::Data VellumExporterNSData::exportAsNSData(VellumImage& image, bool antiAliased, double curveFlatnessFactor,
                                                      gfx::InterpolationQuality interpolationQuality, bool flipYaxis) {
    return guarded<foundation::Data>("exportAsNSData", [&]() -> foundation::Data {
        auto context = VellumImageDrawing::newCGContextAutosizedToFit(image);
        if (!context) return {};
        if (!VellumImageDrawing::renderToContext(image, *context, antiAliased, curveFlatnessFactor,
                                                 interpolationQuality, flipYaxis))
            return {};
        const gfx::Bitmap bitmap = context->takeImage();
        foundation::Data bytes;
        auto& out = bytes.bytes();
        out.resize(static_cast<std::size_t>(bitmap.width) * bitmap.height * 4);
        std::size_t at = 0;
        for (int y = 0; y < bitmap.height; ++y) {
            const std::uint32_t* row = bitmap.row(y);
            for (int x = 0; x < bitmap.width; ++x) {
                out[at++] = static_cast<std::uint8_t>(row[x] >> 16);
                out[at++] = static_cast<std::uint8_t>(row[x] >> 8);
                out[at++] = static_cast<std::uint8_t>(row[x]);
                out[at++] = 0;
            }
        }
        return bytes;
    });
}

std::shared_ptr<gfx::Context> VellumImageDrawing::newCGContextAutosizedToFit(VellumImage& image) {
    if (!image.hasSize()) {
        vellumLogError(infiniteSizeExport);
        return nullptr;
    }
    const gfx::Size size = image.size();
    if (!withinLimit({std::trunc(size.width), std::trunc(size.height)}, 1)) return nullptr;
    return gfx::Context::create(static_cast<int>(size.width), static_cast<int>(size.height),
                                {.scale = 1, .format = gfx::PixelFormat::rgb24, .origin = gfx::Origin::bottomLeft});
}

bool VellumImageDrawing::renderInContext(VellumImage& image, gfx::Context& context) {
    return guarded<bool>("renderInContext", [&] {
        // The build (when the tree is not built yet) and the drawing count against one meter, with what the
        // parse took spent.
        gfx::WorkMeter meter(image.workBudget());
        auto tree = image.CALayerTree();
        if (tree && !image.layerTreeRefused()) quartz::render(*tree, context);
        // A refused build filed its reason already.
        if (!meter.spent()) return !image.layerTreeRefused();
        fileRenderPastItsMeter(image.parseErrorsAndWarnings().get(), meter.spentByClock());
        return false;
    }, false, image.parseErrorsAndWarnings().get());
}

bool VellumImageDrawing::renderToContext(VellumImage& image, gfx::Context& context, bool antiAliased,
                                         double curveFlatnessFactor, gfx::InterpolationQuality interpolationQuality,
                                         bool flipYaxis) {
    if (!image.hasSize()) {
        vellumLogError(
            "Cannot scale this image because the SVG file has infinite size. Either fix the SVG file, or set an "
            "explicit size you want it to be exported at (by calling .size = something on this VellumImage instance");
        return false;
    }
    const gfx::Size size = image.size();
    if (!antiAliased) context.setShouldAntialias(false);
    context.setFlatness(curveFlatnessFactor);
    context.setInterpolationQuality(interpolationQuality);
    if (flipYaxis) {
        context.translateBy(0, size.height);
        context.scaleBy(1, -1);
    }
    return renderInContext(image, context);
}

}  // namespace vellum
