#pragma once

#include <span>
#include <string_view>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "gfx/Geometry.h"

namespace ui::assets {

// One image of the catalogue: its point size, whether it is tinted as a template, and the code that
// draws it into a top-left context of that size.
struct ImageDrawing {
    std::string_view name;
    gfx::Size size;
    bool isTemplate = false;
    void (*draw)(gfx::Context&) = nullptr;
};

std::span<const ImageDrawing> imageDrawings();

struct NamedColor {
    std::string_view name;
    gfx::Color color;
};

std::span<const NamedColor> namedColors();

void drawWindmillLand(gfx::Context& context);
void drawWindmillBase(gfx::Context& context);
void drawWindmillFan(gfx::Context& context);
void drawCurrentRacePin(gfx::Context& context);
void drawPastRacePin(gfx::Context& context);
void drawPodium(gfx::Context& context);
void drawTyre(gfx::Context& context);
void drawRedBullCar(gfx::Context& context);
void drawRedBullBadge(gfx::Context& context);
void drawAstonMartinBadge(gfx::Context& context);
void drawMercedesBadge(gfx::Context& context);
void drawFerrariBadge(gfx::Context& context);
void drawMcLarenBadge(gfx::Context& context);
void drawAlpineBadge(gfx::Context& context);
void drawHaasBadge(gfx::Context& context);
void drawAlfaRomeoBadge(gfx::Context& context);
void drawAlphaTauriBadge(gfx::Context& context);
void drawWilliamsBadge(gfx::Context& context);

}  // namespace ui::assets
