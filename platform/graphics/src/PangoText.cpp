#include "PangoText.h"

#include "LoadedLibrary.h"


#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

namespace gfx {

namespace {

// Pango's weights for the platform's weight traits, matched by interpolating between the named weights.
constexpr std::array<std::pair<double, int>, 9> weightTable{{
    {-0.8, 100}, {-0.6, 200}, {-0.4, 300}, {0.0, 400}, {0.23, 500}, {0.3, 600}, {0.4, 700}, {0.56, 800}, {0.62, 900},
}};

int pangoWeight(double trait) {
    if (!(trait > weightTable.front().first)) return weightTable.front().second;
    for (std::size_t i = 1; i < weightTable.size(); ++i) {
        auto [upperTrait, upperWeight] = weightTable[i];
        if (trait <= upperTrait) {
            auto [lowerTrait, lowerWeight] = weightTable[i - 1];
            double fraction = (trait - lowerTrait) / (upperTrait - lowerTrait);
            return int(std::lround(lowerWeight + fraction * (upperWeight - lowerWeight)));
        }
    }
    return weightTable.back().second;
}

struct ThreadPango {
    GObjectPointer<PangoContext> context;

    ThreadPango() {
        // The per-thread default font map, so threads never share one.
        context.reset(pango().font_map_create_context(pango().cairo_font_map_get_default()));
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango().cairo_context_set_font_options(context.get(), options);
        cairo_font_options_destroy(options);
        pango().context_set_round_glyph_positions(context.get(), FALSE);
        pango().context_set_language(context.get(), pango().language_from_string("en"));
    }
};

}  // namespace

const PangoLibrary& pango() {
    static const PangoLibrary library = [] {
        PangoLibrary loaded;
        // Pango's own library comes in with the Cairo one's, and its symbols resolve the GLib ones too.
        LoadedLibrary opened("libpangocairo-1.0.so.0");
#define SORVANE_PANGO_BIND(name) opened.bind(loaded.name, "pango_" #name);
#define SORVANE_GLIB_BIND(name) opened.bind(loaded.name, #name);
        SORVANE_PANGO_FUNCTIONS(SORVANE_PANGO_BIND)
        SORVANE_GLIB_FUNCTIONS(SORVANE_GLIB_BIND)
#undef SORVANE_PANGO_BIND
#undef SORVANE_GLIB_BIND
        const char* missing = opened.missing();
        if (!missing) return loaded;
        std::fprintf(stderr, "graphics: Pango could not be loaded, so no text is drawn: %s\n", missing);
        return PangoLibrary{};
    }();
    return library;
}

PangoContext* threadPangoContext() {
    thread_local ThreadPango perThread;
    return perThread.context.get();
}

FontDescriptionPointer fontDescription(const Font& font) {
    FontDescriptionPointer description(pango().font_description_new());
    pango().font_description_set_family(description.get(), font.familyName().c_str());
    // Absolute size: points are device units here, whatever resolution Pango assumes.
    double size = font.pointSize() > 0 ? std::min(font.pointSize(), maximumFontPixels) : 0.0;
    pango().font_description_set_absolute_size(description.get(), size * PANGO_SCALE);
    pango().font_description_set_weight(description.get(), PangoWeight(pangoWeight(font.weight())));
    unsigned traits = font.traits();
    if (traits & FontTraits::italic) pango().font_description_set_style(description.get(), PANGO_STYLE_ITALIC);
    if (traits & FontTraits::condensed)
        pango().font_description_set_stretch(description.get(), PANGO_STRETCH_CONDENSED);
    else if (traits & FontTraits::expanded)
        pango().font_description_set_stretch(description.get(), PANGO_STRETCH_EXPANDED);
    return description;
}

int toPango(double points) {
    double units = std::round(points * PANGO_SCALE);
    if (!(units < double(G_MAXINT / 2))) return G_MAXINT / 2;
    if (!(units > double(G_MININT / 2))) return G_MININT / 2;
    return int(units);
}

}  // namespace gfx
