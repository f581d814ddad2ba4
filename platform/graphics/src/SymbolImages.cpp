#include "gfx/SymbolImages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>

#include "gfx/Context.h"

namespace gfx {

namespace {

// Icons are drawn on a 24-unit grid with y down, keeping 2 units clear at each edge for the stroke.
constexpr double gridSize = 24;
constexpr double degrees = std::numbers::pi / 180;

struct Pen {
    Path stroked;
    Path filled;
    // Filled with the even-odd rule, so inner shapes cut holes.
    Path cutOut;

    void line(Point from, Point to) {
        stroked.moveTo(from);
        stroked.lineTo(to);
    }
    void polyline(std::initializer_list<Point> points) { stroked.addLines({points.begin(), points.size()}); }
    void circle(Point center, double radius, Path& path) {
        path.addEllipse({center.x - radius, center.y - radius, 2 * radius, 2 * radius});
    }
};

using Drawing = void (*)(Pen&);

void chevronDown(Pen& pen) { pen.polyline({{5, 8.5}, {12, 15.5}, {19, 8.5}}); }

void playFill(Pen& pen) {
    pen.filled.addLines(std::array<Point, 3>{{{7, 4}, {20, 12}, {7, 20}}});
    pen.filled.closeSubpath();
}

void stopFill(Pen& pen) { pen.filled.addRoundedRect({5, 5, 14, 14}, 2.5, 2.5); }

void flagShape(Path& path, Point top, double width, double height) {
    path.addLines(std::array<Point, 4>{{top, {top.x + width, top.y}, {top.x + width * 0.75, top.y + height / 2},
                                        {top.x + width, top.y + height}}});
    path.lineTo({top.x, top.y + height});
    path.closeSubpath();
}

void flagFill(Pen& pen) {
    pen.line({5, 3}, {5, 21});
    flagShape(pen.filled, {5, 4}, 14, 9);
}

void rays(Pen& pen) {
    for (int ray = 0; ray < 8; ++ray) {
        double angle = ray * 45 * degrees;
        pen.line({12 + 4.5 * std::cos(angle), 12 + 4.5 * std::sin(angle)},
                 {12 + 9.5 * std::cos(angle), 12 + 9.5 * std::sin(angle)});
    }
}

void clockHands(Pen& pen, Point center, double size) {
    pen.polyline({{center.x, center.y - size}, center, {center.x + size * 0.75, center.y + size * 0.5}});
}

void clock(Pen& pen) {
    pen.circle({12, 12}, 9.5, pen.stroked);
    clockHands(pen, {12, 12}, 5);
}

void clockArrowCirclepath(Pen& pen) {
    // A circle open at the upper left, its start turned into an arrow head, around a small clock.
    Point center{12.5, 12};
    pen.stroked.addArc(center, 8.5, 200 * degrees, 500 * degrees, false);
    Point start{center.x + 8.5 * std::cos(200 * degrees), center.y + 8.5 * std::sin(200 * degrees)};
    pen.polyline({{start.x - 2.5, start.y - 0.3}, start, {start.x + 0.4, start.y - 3}});
    clockHands(pen, center, 4.5);
}

void arrowHeadRight(Pen& pen, Point tip, double size) {
    pen.polyline({{tip.x - size, tip.y - size}, tip, {tip.x - size, tip.y + size}});
}

void arrowHeadLeft(Pen& pen, Point tip, double size) {
    pen.polyline({{tip.x + size, tip.y - size}, tip, {tip.x + size, tip.y + size}});
}

void arrowLeftAndRight(Pen& pen) {
    pen.line({3, 12}, {21, 12});
    arrowHeadLeft(pen, {3, 12}, 4);
    arrowHeadRight(pen, {21, 12}, 4);
}

void arrowRightToLine(Pen& pen) {
    pen.line({3, 12}, {16, 12});
    arrowHeadRight(pen, {16, 12}, 4.5);
    pen.line({20.5, 4.5}, {20.5, 19.5});
}

void arrowTurnUpRight(Pen& pen) {
    pen.stroked.moveTo({6, 21});
    pen.stroked.lineTo({6, 14});
    pen.stroked.addArcToPoint({6, 9}, {11, 9}, 5);
    pen.stroked.lineTo({20, 9});
    arrowHeadRight(pen, {20, 9}, 4.5);
}

void lockOpen(Pen& pen) {
    pen.stroked.addRoundedRect({3, 11, 13, 10}, 2, 2);
    pen.stroked.moveTo({13, 11});
    pen.stroked.lineTo({13, 7});
    pen.stroked.addArc({17, 7}, 4, 180 * degrees, 360 * degrees, false);
    pen.stroked.lineTo({21, 9});
    pen.circle({9.5, 16}, 1.5, pen.filled);
}

void flag2Crossed(Pen& pen) {
    // Two crossed poles, each flying its flag outwards from its top.
    pen.line({5, 21}, {15, 3});
    pen.line({19, 21}, {9, 3});
    pen.filled.addLines(std::array<Point, 5>{{{15, 3}, {21.5, 4}, {19.5, 6.5}, {21.5, 9}, {13, 6.6}}});
    pen.filled.closeSubpath();
    pen.filled.addLines(std::array<Point, 5>{{{9, 3}, {2.5, 4}, {4.5, 6.5}, {2.5, 9}, {11, 6.6}}});
    pen.filled.closeSubpath();
}

void thermometerAt(Pen& pen, double x) {
    // A tube ending in a bulb, with the mercury filled in.
    pen.stroked.moveTo({x - 2.5, 14.6});
    pen.stroked.lineTo({x - 2.5, 5.5});
    pen.stroked.addArc({x, 5.5}, 2.5, 180 * degrees, 360 * degrees, false);
    pen.stroked.lineTo({x + 2.5, 14.6});
    pen.stroked.addArc({x, 17.5}, 4, -51 * degrees, 231 * degrees, false);
    pen.stroked.closeSubpath();
    pen.circle({x, 17.5}, 2, pen.filled);
    pen.line({x, 9}, {x, 16});
}

void thermometer(Pen& pen) { thermometerAt(pen, 12); }

void thermometerSun(Pen& pen) {
    thermometerAt(pen, 16);
    pen.circle({6.5, 7.5}, 2.2, pen.stroked);
    for (int ray = 0; ray < 8; ++ray) {
        double angle = ray * 45 * degrees;
        pen.line({6.5 + 3.6 * std::cos(angle), 7.5 + 3.6 * std::sin(angle)},
                 {6.5 + 5 * std::cos(angle), 7.5 + 5 * std::sin(angle)});
    }
}

void humidity(Pen& pen) {
    pen.stroked.moveTo({12, 3});
    pen.stroked.curveTo({9, 8}, {5, 11}, {5, 15});
    pen.stroked.curveTo({5, 19}, {8.1, 22}, {12, 22});
    pen.stroked.curveTo({15.9, 22}, {19, 19}, {19, 15});
    pen.stroked.curveTo({19, 11}, {15, 8}, {12, 3});
    pen.stroked.closeSubpath();
    pen.stroked.moveTo({8, 16.5});
    pen.stroked.curveTo({10, 14.5}, {12, 18.5}, {16, 16});
}

// A cloud whose flat bottom lies at `bottom`.
void cloud(Pen& pen, double bottom) {
    double top = bottom - 10;
    Path& path = pen.stroked;
    path.moveTo({7, bottom});
    path.addArc({7, bottom - 3.5}, 3.5, 90 * degrees, 250 * degrees, false);
    path.addArc({12.5, top + 5}, 5, 200 * degrees, 340 * degrees, false);
    path.addArc({17, bottom - 3.5}, 3.5, 280 * degrees, 450 * degrees, false);
    path.closeSubpath();
}

void cloudFog(Pen& pen) {
    cloud(pen, 14);
    pen.line({4, 18}, {20, 18});
    pen.line({7, 21.5}, {17, 21.5});
}

void cloudRain(Pen& pen) {
    cloud(pen, 14);
    for (double x : {8.5, 12.5, 16.5}) pen.line({x, 17.5}, {x - 1.5, 21.5});
}

void wind(Pen& pen) {
    pen.stroked.moveTo({3, 9});
    pen.stroked.lineTo({15, 9});
    pen.stroked.addArc({15, 6.5}, 2.5, 90 * degrees, -160 * degrees, true);
    pen.stroked.moveTo({3, 13});
    pen.stroked.lineTo({18, 13});
    pen.stroked.addArc({18, 15.5}, 2.5, -90 * degrees, 160 * degrees, false);
    pen.line({3, 17}, {11, 17});
}

void newspaperFill(Pen& pen) {
    pen.cutOut.addRoundedRect({3, 4, 18, 16}, 2, 2);
    pen.cutOut.addRect({6, 7, 5.5, 5});
    for (double y : {7.0, 10.5, 14.0, 16.5}) pen.cutOut.addRect({y < 12 ? 13.5 : 6, y, y < 12 ? 4.5 : 12, 1.3});
}

void testtube(Pen& pen, double left) {
    pen.stroked.moveTo({left, 4});
    pen.stroked.lineTo({left, 17.5});
    pen.stroked.addArc({left + 2.5, 17.5}, 2.5, 180 * degrees, 0, true);
    pen.stroked.lineTo({left + 5, 4});
    pen.line({left - 1, 4}, {left + 6, 4});
    pen.filled.addRect({left, 13, 5, 4.5});
}

void testtube2(Pen& pen) {
    testtube(pen, 4.5);
    testtube(pen, 14.5);
}

void curvedRoute(Pen& pen, bool filledEnds) {
    Path& ends = filledEnds ? pen.filled : pen.stroked;
    pen.circle({5.5, 5.5}, 2.5, ends);
    pen.circle({18.5, 18.5}, 2.5, ends);
    pen.stroked.moveTo({5.5, 8});
    pen.stroked.curveTo({5.5, 22}, {18.5, 2}, {18.5, 16});
}

void curvedRouteOutline(Pen& pen) { curvedRoute(pen, false); }
void curvedRouteFill(Pen& pen) { curvedRoute(pen, true); }

const std::map<std::string_view, Drawing>& drawings() {
    static const std::map<std::string_view, Drawing> table{
        {"arrow.left.and.right", arrowLeftAndRight},
        {"arrow.right.to.line", arrowRightToLine},
        {"arrow.turn.up.right", arrowTurnUpRight},
        {"chevron.down", chevronDown},
        {"clock", clock},
        {"clock.arrow.circlepath", clockArrowCirclepath},
        {"cloud.fog", cloudFog},
        {"cloud.rain", cloudRain},
        {"flag.2.crossed", flag2Crossed},
        {"flag.fill", flagFill},
        {"humidity", humidity},
        {"lock.open", lockOpen},
        {"newspaper.fill", newspaperFill},
        {"play.fill", playFill},
        {"point.topleft.down.curvedto.point.bottomright.up", curvedRouteOutline},
        {"point.topleft.down.curvedto.point.bottomright.up.fill", curvedRouteFill},
        {"rays", rays},
        {"stop.fill", stopFill},
        {"testtube.2", testtube2},
        {"thermometer", thermometer},
        {"thermometer.sun", thermometerSun},
        {"wind", wind},
    };
    return table;
}

// Grid units of stroke for each weight, ultraLight to black.
constexpr std::array<double, 9> strokeWidths{0.8, 1.1, 1.5, 2.0, 2.3, 2.6, 3.0, 3.4, 3.8};

}  // namespace

std::optional<RenderedImage> symbolImage(std::string_view name, const SymbolConfiguration& configuration, Color tint,
                                         double scale) {
    auto found = drawings().find(name);
    if (found == drawings().end()) return std::nullopt;
    Pen pen;
    found->second(pen);
    double side = std::max(configuration.pointSize, 0.0) * 1.2;
    ImageRenderer renderer({side, side}, {.scale = scale});
    // Drawn opaque and faded afterwards, so overlapping strokes and fills do not darken a translucent tint.
    Color opaque = tint.withAlphaComponent(1);
    RenderedImage image = renderer.image([&](Context& context) {
        context.scaleBy(side / gridSize, side / gridSize);
        context.setFillColor(opaque);
        context.setStrokeColor(opaque);
        context.setLineWidth(strokeWidths[static_cast<std::size_t>(configuration.weight)]);
        context.setLineCap(LineCap::round);
        context.setLineJoin(LineJoin::round);
        context.stroke(pen.stroked);
        context.fill(pen.filled);
        context.fill(pen.cutOut, FillRule::evenOdd);
    });
    double alpha = std::clamp(tint.alpha, 0.0, 1.0);
    if (alpha < 1) {
        for (std::uint8_t& channel : image.bitmap.pixels) channel = std::uint8_t(std::lround(channel * alpha));
    }
    return image;
}

const std::vector<std::string_view>& symbolNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> result;
        for (const auto& entry : drawings()) result.push_back(entry.first);
        return result;
    }();
    return names;
}

}  // namespace gfx
