#include "AssetDrawings.h"
#include "DrawingHelpers.h"

namespace ui::assets {

namespace {

// A 2023 racing car in the dark blue, red and yellow of its team, seen from its left side with the
// nose to the left: the screen slides it in from the right, nose first.
const gfx::Color navyTop = gfx::Color::rgb(44, 60, 112);
const gfx::Color navyBottom = gfx::Color::rgb(20, 29, 62);
const gfx::Color red = gfx::Color::rgb(228, 0, 43);
const gfx::Color yellow = gfx::Color::rgb(255, 204, 0);
const gfx::Color carbon = gfx::Color::rgb(28, 28, 30);

constexpr double wheelRadius = 22;
constexpr gfx::Point frontWheel{74, 56};
constexpr gfx::Point rearWheel{280, 56};

void drawWheel(gfx::Context& context, gfx::Point center) {
    // The tyre picture, scaled down: the same wheel the pit-stop screen rolls in.
    context.save();
    context.translateBy(center.x - wheelRadius, center.y - wheelRadius);
    context.scaleBy(wheelRadius / 39.5, wheelRadius / 39.5);
    context.translateBy(0.5, 0.5);
    drawTyre(context);
    context.restore();
}

gfx::Path bodyOutline() {
    gfx::Path body;
    body.moveTo({12, 59});
    body.curveTo({40, 52}, {90, 45}, {150, 37});
    body.lineTo({200, 35});
    body.curveTo({202, 24}, {204, 17}, {210, 15});
    body.lineTo({224, 14});
    body.curveTo({260, 20}, {300, 34}, {334, 44});
    body.lineTo({334, 58});
    body.lineTo({300, 64});
    body.lineTo({96, 64});
    body.curveTo({70, 62}, {40, 62}, {12, 62});
    body.closeSubpath();
    return body;
}

gfx::Path sidepod() {
    gfx::Path pod;
    pod.moveTo({136, 64});
    pod.curveTo({138, 50}, {150, 42}, {176, 41});
    pod.curveTo({220, 40}, {262, 48}, {296, 60});
    pod.lineTo({296, 64});
    pod.closeSubpath();
    return pod;
}

// A wing seen from the side: an endplate with its elements' profiles along the top.
void drawWing(gfx::Context& context, std::initializer_list<gfx::Point> endplate, gfx::Rect mainPlane,
              gfx::Rect flap) {
    auto plate = polygon(endplate);
    fillVertically(context, plate, navyTop, navyBottom);
    gfx::Path profiles;
    profiles.addRoundedRect(mainPlane, mainPlane.height() / 2, mainPlane.height() / 2);
    profiles.addRoundedRect(flap, flap.height() / 2, flap.height() / 2);
    fill(context, profiles, carbon);
}

void drawRearWing(gfx::Context& context) {
    drawWing(context, {{322, 12}, {350, 8}, {354, 58}, {324, 60}}, {318, 8, 38, 5}, {322, 15, 30, 4});
    fill(context, polygon({{322, 12}, {350, 8}, {350.5, 14}, {322.5, 18}}), red);
    // The diffuser under the tail.
    fill(context, polygon({{296, 62}, {334, 56}, {338, 66}, {300, 68}}), carbon);
}

void drawFrontWing(gfx::Context& context) {
    drawWing(context, {{6, 60}, {40, 57}, {44, 74}, {8, 74}}, {4, 69, 44, 4}, {12, 64, 34, 3});
    fill(context, polygon({{6, 60}, {40, 57}, {40.6, 60}, {6.4, 63}}), red);
}

void drawDriver(gfx::Context& context) {
    fill(context, circle({183, 27}, 8.5), gfx::Color::white(0.96));
    gfx::Path visor;
    visor.addRoundedRect({174.5, 24, 11, 4.5}, 2.2, 2.2);
    fill(context, visor, carbon);
}

}  // namespace

void drawRedBullCar(gfx::Context& context) {
    gfx::Path shadow;
    shadow.addEllipse({24, 73, 316, 7});
    fill(context, shadow, gfx::Color::black().withAlphaComponent(0.14));

    drawRearWing(context);
    drawDriver(context);

    context.setStrokeColor(carbon);
    context.setLineWidth(1.6);
    context.setLineCap(gfx::LineCap::round);
    gfx::Path suspension;
    suspension.moveTo({112, 50});
    suspension.lineTo(frontWheel);
    suspension.moveTo({112, 58});
    suspension.lineTo(frontWheel);
    suspension.moveTo({246, 52});
    suspension.lineTo(rearWheel);
    context.stroke(suspension);

    gfx::Path floor;
    floor.addRoundedRect({60, 62, 250, 6}, 2, 2);
    fill(context, floor, carbon);

    auto body = bodyOutline();
    fillVertically(context, body, navyTop, navyBottom);
    context.save();
    context.clip(body);
    // Livery: a yellow nose tip, a red sweep along the car, the engine cover's red flank.
    context.setFillColor(yellow);
    context.fillRect({0, 0, 34, 80});
    fill(context, polygon({{30, 60}, {150, 48}, {300, 56}, {300, 60}, {150, 53}, {30, 64}}), red);
    fill(context, polygon({{226, 14}, {334, 44}, {334, 50}, {250, 28}}), red);
    // The airbox intake over the driver's head.
    fill(context, polygon({{204, 18}, {210, 15.5}, {212, 24}, {204.5, 25}}), carbon);
    context.restore();

    auto pod = sidepod();
    fillVertically(context, pod, navyTop, navyBottom);
    context.save();
    context.clip(pod);
    fill(context, polygon({{136, 54}, {180, 48}, {296, 58}, {296, 63}, {180, 54}, {136, 60}}), red);
    // The sidepod's intake.
    fill(context, polygon({{136, 64}, {140, 50}, {152, 43}, {156, 44}, {146, 64}}), carbon);
    context.restore();

    gfx::Path halo;
    halo.moveTo({158, 37});
    halo.curveTo({164, 22}, {192, 14}, {205, 22});
    context.setLineWidth(3);
    context.stroke(halo);

    drawWheel(context, rearWheel);
    drawWheel(context, frontWheel);
    drawFrontWing(context);
}

}  // namespace ui::assets
