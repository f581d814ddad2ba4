#pragma once

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "map/LandShapes.h"
#include "map/Viewport.h"

namespace map {

// The light standard map style: pale blue-grey sea, off-white land, a thin coast line and a faint
// graticule.
struct BaseMapStyle {
    gfx::Color sea = gfx::Color::rgb(170, 211, 223);
    gfx::Color land = gfx::Color::rgb(242, 239, 233);
    gfx::Color coastline = gfx::Color::rgb(140, 177, 192);
    double coastlineWidth = 0.75;
    gfx::Color graticule = gfx::Color::rgb(60, 90, 110, 0.12);
    double graticuleWidth = 0.5;

    bool operator==(const BaseMapStyle&) const = default;
};

// Draws sea, land, graticule and coast for the viewport into the context's user space, where the
// viewport's screen points are the context's points (the view's bounds from (0, 0)).
void drawBaseMap(gfx::Context& context, const Viewport& viewport, const LandShapes& land,
                 const BaseMapStyle& style = {});

// Draws only `area`, a rectangle in the viewport's screen points that may reach beyond the view, as
// the whole view's drawing would draw it there (detail, skipped islands and graticule spacing follow
// the viewport's zoom, not the area). Tiles of a larger map are drawn this way.
void drawBaseMap(gfx::Context& context, const Viewport& viewport, const LandShapes& land, const BaseMapStyle& style,
                 const gfx::Rect& area);

// The graticule spacing in degrees for a view showing `longitudeSpan` degrees: 30 when zoomed out
// to a hemisphere or more, 10 otherwise.
double graticuleSpacing(double longitudeSpan);

}  // namespace map
