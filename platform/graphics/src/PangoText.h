#pragma once

#include <pango/pangocairo.h>

#include <memory>

#include "gfx/Font.h"

namespace gfx {

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPointer = std::unique_ptr<T, GObjectUnref>;

struct FontDescriptionFree {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
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
