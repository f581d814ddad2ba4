#include <cmath>
#include <numbers>

#include "AssetDrawings.h"
#include "DrawingHelpers.h"

namespace ui::assets {

namespace {

// The map centres a pin image on its coordinate, so the pin is a round badge centred in the image.
// The round number is painted at fixed offsets (white, 12-point bold, from x 13 to 16.5 and y 13),
// which puts the digits' centre near (21, 20): the badge is centred there.
constexpr gfx::Point badgeCenter{21, 20};

void drawPin(gfx::Context& context, gfx::Color top, gfx::Color bottom) {
    // A soft shadow under the badge, fading out below the white ring.
    gfx::Color shadow[] = {gfx::Color::black().withAlphaComponent(0.28), gfx::Color::clear()};
    gfx::Point shadowCenter{badgeCenter.x, badgeCenter.y + 1.2};
    context.drawRadialGradient(*gfx::Gradient::make(shadow), shadowCenter, 16.5, shadowCenter, 20.5, 0);
    fill(context, circle(badgeCenter, 17.5), gfx::Color::white());
    fillVertically(context, circle(badgeCenter, 15.5), top, bottom);
}

}  // namespace

void drawCurrentRacePin(gfx::Context& context) {
    drawPin(context, gfx::Color::rgb(255, 75, 62), gfx::Color::rgb(214, 16, 16));
}

void drawPastRacePin(gfx::Context& context) {
    drawPin(context, gfx::Color::rgb(170, 170, 176), gfx::Color::rgb(128, 128, 134));
}

void drawPodium(gfx::Context& context) {
    gfx::Path steps;
    auto step = [&](double left, double right, double top) {
        steps.addRoundedRect({left, top, right - left, 19 - top}, gfx::topLeft | gfx::topRight, {1.4, 1.4});
    };
    step(1, 6.6, 11);
    step(7.2, 12.8, 7.5);
    step(13.4, 19, 13.5);
    fill(context, steps, gfx::Color::black());

    // A star over first place.
    gfx::Path star;
    constexpr double pi = std::numbers::pi;
    for (int point = 0; point < 10; ++point) {
        double radius = point % 2 == 0 ? 3 : 1.25;
        double angle = -pi / 2 + point * pi / 5;
        gfx::Point corner{10 + radius * std::cos(angle), 3.6 + radius * std::sin(angle)};
        if (point == 0) star.moveTo(corner); else star.lineTo(corner);
    }
    star.closeSubpath();
    fill(context, star, gfx::Color::black());

    // Place marks cut out of the steps.
    context.setBlendMode(gfx::BlendMode::destinationOut);
    gfx::Path marks;
    marks.addRoundedRect({9.4, 10, 1.2, 5}, 0.6, 0.6);
    marks.addRoundedRect({2.9, 13.5, 1.2, 3.5}, 0.6, 0.6);
    marks.addRoundedRect({4.5, 13.5, 1.2, 3.5}, 0.6, 0.6);
    for (double x : {14.2, 15.6, 17.0}) marks.addRoundedRect({x, 15.2, 0.9, 2.6}, 0.45, 0.45);
    fill(context, marks, gfx::Color::black());
}

}  // namespace ui::assets
