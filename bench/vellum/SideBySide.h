// One document from its bytes to pixels by this library and by librsvg, in the same way for every
// benchmark that compares the two: a surface `height` pixels high, as wide as the document's aspect.
#pragma once

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <cmath>

#include "foundation/Data.h"
#include "gfx/Context.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"

namespace sidebyside {

// False when the document does not parse.
inline bool drawWithVellum(const foundation::Data& bytes, double height) {
    auto image = vellum::VellumImage::initWithData(bytes);
    if (!image) return false;
    const gfx::Size natural = image->size();
    image->setSize({natural.width * height / natural.height, height});
    auto context = gfx::Context::create(image->size(), {.scale = 1});
    vellum::VellumImageDrawing::renderInContext(*image, *context);
    benchmark::DoNotOptimize(context->takeImage());
    return true;
}

// librsvg builds its whole tree here; only the cascade and the drawing are left for later.
inline RsvgHandle* parseWithLibrsvg(const foundation::Data& bytes) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(bytes.data(), bytes.size(), &error);
    g_clear_error(&error);
    return handle;
}

inline bool drawWithLibrsvg(const foundation::Data& bytes, double height) {
    RsvgHandle* handle = parseWithLibrsvg(bytes);
    if (!handle) return false;
    double naturalWidth = 0;
    double naturalHeight = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &naturalWidth, &naturalHeight) || naturalHeight <= 0) {
        // Only a view box: the flags are 4:3.
        naturalWidth = 4;
        naturalHeight = 3;
    }
    const int width = static_cast<int>(std::ceil(naturalWidth * height / naturalHeight));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, static_cast<int>(height));
    cairo_t* cairo = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, static_cast<double>(width), height};
    GError* error = nullptr;
    rsvg_handle_render_document(handle, cairo, &viewport, &error);
    g_clear_error(&error);
    cairo_surface_flush(surface);
    benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
    cairo_destroy(cairo);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    return true;
}

}  // namespace sidebyside
