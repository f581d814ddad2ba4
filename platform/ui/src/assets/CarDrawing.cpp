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
    body.curveTo({260, 20}, {300, 34}, {326, 46});
    body.lineTo({328, 60});
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

void drawRearWing(gfx::Context& context) {
    fillVertically(context, polygon({{318, 10}, {350, 5}, {354, 50}, {326, 54}}), navyTop, navyBottom);
    gfx::Path planes;
    planes.addRoundedRect({308, 8, 48, 5}, 2.5, 2.5);
    planes.addRoundedRect({312, 16, 42, 4}, 2, 2);
    fill(context, planes, carbon);
    fill(context, polygon({{318, 10}, {350, 5}, {350.6, 12}, {318.6, 16}}), red);
}

void drawFrontWing(gfx::Context& context) {
    fillVertically(context, polygon({{4, 60}, {42, 57}, {46, 74}, {6, 74}}), navyTop, navyBottom);
    gfx::Path flaps;
    flaps.addRoundedRect({2, 69, 50, 4}, 2, 2);
    flaps.addRoundedRect({10, 64, 40, 3}, 1.5, 1.5);
    fill(context, flaps, carbon);
    fill(context, polygon({{4, 60}, {42, 57}, {42.6, 60}, {4.4, 63}}), red);
}

void drawDriver(gfx::Context& context) {
    fill(context, circle({184, 29}, 7.5), gfx::Color::white(0.96));
    gfx::Path visor;
    visor.addRoundedRect({177, 25.5, 9.5, 4}, 2, 2);
    fill(context, visor, carbon);
    fill(context, polygon({{181, 33}, {192, 31}, {192, 33.5}, {181, 35.5}}), red);
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
    context.fillRect({0, 0, 30, 80});
    fill(context, polygon({{30, 60}, {150, 48}, {300, 56}, {300, 60}, {150, 53}, {30, 64}}), red);
    fill(context, polygon({{226, 14}, {326, 46}, {326, 52}, {250, 28}}), red.withAlphaComponent(0.9));
    context.restore();

    auto pod = sidepod();
    fillVertically(context, pod, navyTop, navyBottom);
    context.save();
    context.clip(pod);
    fill(context, polygon({{136, 54}, {180, 48}, {296, 58}, {296, 63}, {180, 54}, {136, 60}}), red);
    fill(context, polygon({{150, 44}, {166, 42}, {158, 60}, {146, 61}}), yellow);
    context.restore();

    gfx::Path halo;
    halo.moveTo({160, 36});
    halo.curveTo({166, 25}, {190, 20}, {204, 26});
    context.setLineWidth(3);
    context.stroke(halo);

    drawWheel(context, rearWheel);
    drawWheel(context, frontWheel);
    drawFrontWing(context);
}

}  // namespace ui::assets
