#include <cmath>
#include <numbers>

#include "AssetDrawings.h"
#include "DrawingHelpers.h"

namespace ui::assets {

namespace {

constexpr gfx::Point center{40, 40};
constexpr double degrees = std::numbers::pi / 180;

gfx::Point polar(double radius, double angle) {
    return {center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
}

// A band between two radii over an angle range, as one closed shape.
gfx::Path ringSegment(double inner, double outer, double from, double to) {
    gfx::Path path;
    path.addArc(center, outer, from, to, false);
    path.addArc(center, inner, to, from, true);
    path.closeSubpath();
    return path;
}

}  // namespace

void drawTyre(gfx::Context& context) {
    // A racing tyre face on. The screen turns it a quarter at a time, so the sidewall markings and the
    // five spokes are what show it turning.
    fill(context, circle(center, 39), gfx::Color::rgb(28, 28, 30));
    gfx::Path tread = circle(center, 39);
    tread.addPath(circle(center, 36.5));
    fill(context, tread, gfx::Color::rgb(44, 44, 46), gfx::FillRule::evenOdd);

    // The compound stripe, broken where the sidewall lettering sits.
    const gfx::Color stripe = gfx::Color::rgb(230, 30, 36);
    for (double start : {-60.0, 120.0}) {
        fill(context, ringSegment(30, 32.4, start * degrees, (start + 150) * degrees), stripe);
    }
    for (double middle : {-75.0, 105.0}) {
        for (int letter = -2; letter <= 2; ++letter) {
            double angle = (middle + letter * 3.2) * degrees;
            fill(context, ringSegment(29.6, 32.8, angle - 0.9 * degrees, angle + 0.9 * degrees),
                 gfx::Color::white(0.92));
        }
    }

    // Rim: a bright lip, a dark face, five spokes and the wheel nut.
    fill(context, circle(center, 25), gfx::Color::rgb(142, 142, 147));
    fillVertically(context, circle(center, 23.2), gfx::Color::rgb(72, 72, 76), gfx::Color::rgb(36, 36, 40));
    gfx::Path spokes;
    for (int spoke = 0; spoke < 5; ++spoke) {
        double angle = -90 * degrees + spoke * 72 * degrees;
        double half = 7 * degrees;
        spokes.moveTo(polar(7, angle - 3 * half));
        spokes.lineTo(polar(22, angle - half));
        spokes.lineTo(polar(22, angle + half));
        spokes.lineTo(polar(7, angle + 3 * half));
        spokes.closeSubpath();
    }
    fill(context, spokes, gfx::Color::rgb(120, 120, 126));
    fill(context, circle(center, 8.5), gfx::Color::rgb(150, 150, 156));
    fill(context, circle(center, 5.5), gfx::Color::rgb(255, 204, 0));
    fill(context, circle(center, 2), gfx::Color::rgb(36, 36, 40));
}

}  // namespace ui::assets
