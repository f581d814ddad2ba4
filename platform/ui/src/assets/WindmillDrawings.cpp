#include <array>
#include <initializer_list>
#include <numbers>

#include "AssetDrawings.h"
#include "DrawingHelpers.h"

namespace ui::assets {

namespace {

// Template shapes are drawn in black; alpha carries the shading, since tinting keeps only alpha.
const gfx::Color ink = gfx::Color::black();

// A strip of land whose top edge runs through three curves from `left` to `right` heights.
gfx::Path hills(double left, std::initializer_list<std::array<gfx::Point, 3>> curves) {
    gfx::Path path;
    path.moveTo({0, 20});
    path.lineTo({0, left});
    for (const auto& curve : curves) path.curveTo(curve[0], curve[1], curve[2]);
    path.lineTo({360, 20});
    path.closeSubpath();
    return path;
}

}  // namespace

void drawWindmillLand(gfx::Context& context) {
    // Shown stretched to the card's width, so the hills are long and low.
    auto farHills = hills(8, {{{{50, 1}, {95, 1}, {150, 6}}},
                              {{{200, 10}, {240, 1}, {300, 3}}},
                              {{{330, 4}, {350, 6}, {360, 8}}}});
    fill(context, farHills, ink.withAlphaComponent(0.45));
    auto nearHills = hills(12, {{{{40, 7}, {90, 7}, {130, 11}}},
                                {{{170, 15}, {220, 14}, {265, 9}}},
                                {{{300, 6}, {335, 8}, {360, 11}}}});
    fill(context, nearHills, ink);
}

void drawWindmillBase(gfx::Context& context) {
    // The tower's top is the image's top centre, where the fan's hub sits.
    gfx::Path tower;
    tower.moveTo({37.6, 2.4});
    tower.addArc({40, 2.4}, 2.4, std::numbers::pi, 2 * std::numbers::pi, false);
    tower.lineTo({45.5, 78});
    tower.lineTo({34.5, 78});
    tower.closeSubpath();
    fill(context, tower, ink);

    gfx::Path plinth;
    plinth.addRoundedRect({30, 76, 20, 4}, 1.5, 1.5);
    fill(context, plinth, ink);

    // A door and a small window let light through the silhouette.
    context.setBlendMode(gfx::BlendMode::destinationOut);
    gfx::Path openings;
    openings.addRoundedRect({38.3, 66, 3.4, 8}, 1.7, 1.7);
    openings.addRoundedRect({39, 30, 2, 4}, 1, 1);
    fill(context, openings, ink);
}

void drawWindmillFan(gfx::Context& context) {
    // Three blades about the image's centre, the point the fan turns about.
    const gfx::Point center{40, 40};
    gfx::Path blade;
    blade.moveTo({-2.2, -4});
    blade.curveTo({-3.6, -14}, {-3.2, -28}, {-1, -37.5});
    blade.quadCurveTo({0.3, -39.6}, {1.5, -37.5});
    blade.curveTo({5.8, -27}, {6.4, -13}, {2.6, -4});
    blade.closeSubpath();

    gfx::Path blades;
    for (int index = 0; index < 3; ++index) {
        auto placement = gfx::AffineTransform::translation(center.x, center.y)
                             .rotatedBy(index * 2 * std::numbers::pi / 3);
        blades.addPath(blade, placement);
    }
    fill(context, blades, ink);

    auto hub = circle(center, 5.5);
    hub.addPath(circle(center, 2));
    fill(context, hub, ink, gfx::FillRule::evenOdd);
}

}  // namespace ui::assets
