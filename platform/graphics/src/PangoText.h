#pragma once

#include <pango/pangocairo.h>

#include <memory>

#include "gfx/Font.h"

namespace gfx {

// The Pango functions text needs, named without their "pango_", and the GLib ones its results need.
#define SORVANE_PANGO_FUNCTIONS(X)                                                                            \
    X(attr_font_desc_new) X(attr_list_insert) X(attr_list_new) X(attr_list_unref) X(attr_shape_new)           \
    X(cairo_context_set_font_options) X(cairo_font_map_get_default) X(cairo_font_map_new)                     \
    X(cairo_glyph_string_path) X(cairo_show_glyph_string) X(context_get_metrics) X(context_set_language)      \
    X(context_set_round_glyph_positions) X(font_describe_with_absolute_size) X(font_description_free)         \
    X(font_description_get_size) X(font_description_new) X(font_description_set_absolute_size)               \
    X(font_description_set_family) X(font_description_set_stretch) X(font_description_set_style)              \
    X(font_description_set_weight) X(font_family_get_name) X(font_map_create_context)                         \
    X(font_map_list_families) X(font_metrics_get_ascent) X(font_metrics_get_descent) X(font_metrics_unref)    \
    X(language_from_string) X(layout_get_extents) X(layout_get_iter) X(layout_get_line_count)                 \
    X(layout_get_lines_readonly) X(layout_is_ellipsized) X(layout_iter_free) X(layout_iter_get_baseline)      \
    X(layout_iter_get_line_extents) X(layout_iter_get_line_yrange) X(layout_iter_get_run_extents)             \
    X(layout_iter_get_run_readonly) X(layout_iter_next_line) X(layout_iter_next_run) X(layout_new)            \
    X(layout_set_alignment) X(layout_set_attributes) X(layout_set_auto_dir) X(layout_set_ellipsize)           \
    X(layout_set_font_description) X(layout_set_height) X(layout_set_justify) X(layout_set_text)              \
    X(layout_set_width) X(layout_set_wrap)
#define SORVANE_GLIB_FUNCTIONS(X) X(g_free) X(g_object_unref) X(g_slist_length)

// Pango, loaded when text is first laid out or a font first measured rather than with the program: a
// process that draws no text (the flag worker, for most flags) starts without it and the seventeen
// libraries it brings (HarfBuzz, FriBidi, GLib...). Without it there is no text: layouts are empty, fonts measure nothing.
struct PangoLibrary {
#define SORVANE_PANGO_MEMBER(name) decltype(&::pango_##name) name = nullptr;
#define SORVANE_GLIB_MEMBER(name) decltype(&::name) name = nullptr;
    SORVANE_PANGO_FUNCTIONS(SORVANE_PANGO_MEMBER)
    SORVANE_GLIB_FUNCTIONS(SORVANE_GLIB_MEMBER)
#undef SORVANE_PANGO_MEMBER
#undef SORVANE_GLIB_MEMBER

    explicit operator bool() const { return layout_new; }
};

// Loaded on the first call; all null (and said once on standard error) if Pango could not be.
const PangoLibrary& pango();

struct GObjectUnref {
    void operator()(void* object) const { pango().g_object_unref(object); }
};
template <typename T>
using GObjectPointer = std::unique_ptr<T, GObjectUnref>;

struct FontDescriptionFree {
    void operator()(PangoFontDescription* description) const { pango().font_description_free(description); }
};
using FontDescriptionPointer = std::unique_ptr<PangoFontDescription, FontDescriptionFree>;

// Pango contexts and font maps are not thread-safe, so each thread lays out text with its own. Hinting
// and glyph-position rounding are off, so a layout measures the same in points at every scale and draws
// the same at any transform.
PangoContext* threadPangoContext();

// FreeType sizes stop at 65535 pixels an em. A glyph asked for beyond fails, and the failure stays with
// the face that all fonts of the family share: every later text in it, at any size, comes out blank.
// Fonts are laid out at most this large, and glyphs larger than this on the device are not drawn.
constexpr double maximumFontPixels = 32768;

// The font's size saturates at maximumFontPixels; a negative or NaN one is 0.
FontDescriptionPointer fontDescription(const Font& font);

// Pango units (1/1024 point) to points and back, clamped to Pango's integer range.
inline double fromPango(int units) { return double(units) / PANGO_SCALE; }
int toPango(double points);

}  // namespace gfx
