#include "PangoText.h"

#include <algorithm>
#include <array>
#include <cmath>
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
        context.reset(pango_font_map_create_context(pango_cairo_font_map_get_default()));
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context.get(), options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context.get(), FALSE);
        pango_context_set_language(context.get(), pango_language_from_string("en"));
    }
};

}  // namespace

PangoContext* threadPangoContext() {
    thread_local ThreadPango pango;
    return pango.context.get();
}

FontDescriptionPointer fontDescription(const Font& font) {
    FontDescriptionPointer description(pango_font_description_new());
    pango_font_description_set_family(description.get(), font.familyName().c_str());
    // Absolute size: points are device units here, whatever resolution Pango assumes.
    double size = font.pointSize() > 0 ? std::min(font.pointSize(), maximumFontPixels) : 0.0;
    pango_font_description_set_absolute_size(description.get(), size * PANGO_SCALE);
    pango_font_description_set_weight(description.get(), PangoWeight(pangoWeight(font.weight())));
    unsigned traits = font.traits();
    if (traits & FontTraits::italic) pango_font_description_set_style(description.get(), PANGO_STYLE_ITALIC);
    if (traits & FontTraits::condensed)
        pango_font_description_set_stretch(description.get(), PANGO_STRETCH_CONDENSED);
    else if (traits & FontTraits::expanded)
        pango_font_description_set_stretch(description.get(), PANGO_STRETCH_EXPANDED);
    return description;
}

int toPango(double points) {
    double units = std::round(points * PANGO_SCALE);
    if (!(units < double(G_MAXINT / 2))) return G_MAXINT / 2;
    if (!(units > double(G_MININT / 2))) return G_MININT / 2;
    return int(units);
}

}  // namespace gfx
