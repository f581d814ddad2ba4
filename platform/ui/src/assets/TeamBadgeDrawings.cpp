#include "AssetDrawings.h"
#include "DrawingHelpers.h"
#include "gfx/AttributedString.h"
#include "gfx/TextLayout.h"

namespace ui::assets {

namespace {

// A team mark: the car's main colour edge to edge (the picture view clips it to a circle), a sweep of
// the livery's accent colours across the lower right, and the team's three-letter timing code.
struct Livery {
    gfx::Color body;
    gfx::Color accent;
    gfx::Color secondAccent;
    gfx::Color text;
    std::string_view code;
};

constexpr double side = 50;

void drawBadge(gfx::Context& context, const Livery& livery) {
    auto whole = polygon({{0, 0}, {side, 0}, {side, side}, {0, side}});
    fill(context, whole, livery.body);
    // A faint light from the top left keeps flat colour from looking dead.
    fillVertically(context, whole, gfx::Color::white(1, 0.10), gfx::Color::black().withAlphaComponent(0.10));

    fill(context, polygon({{side, 24}, {side, 33}, {18, side}, {8, side}}), livery.accent);
    fill(context, polygon({{side, 35}, {side, 39}, {28, side}, {21, side}}), livery.secondAccent);

    gfx::TextAttributes attributes;
    attributes.font = gfx::Font::systemFont(livery.code.size() > 2 ? 15 : 17, gfx::FontWeight::heavy);
    attributes.foregroundColor = livery.text;
    auto layout = gfx::TextLayout::make(gfx::AttributedString(livery.code, attributes));
    // Centre the capitals rather than the line box, so the code sits optically in the middle.
    double baseline = (side + attributes.font.capHeight()) / 2;
    layout.draw(context, {(side - layout.size().width) / 2, baseline - layout.firstBaseline()});
}

using gfx::Color;

}  // namespace

void drawRedBullBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(30, 42, 85), Color::rgb(228, 0, 43), Color::rgb(255, 204, 0), Color::white(), "RBR"});
}

void drawAstonMartinBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(0, 89, 79), Color::rgb(206, 220, 0), Color::white(), Color::white(), "AMR"});
}

void drawMercedesBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(28, 28, 30), Color::rgb(0, 161, 156), Color::rgb(192, 192, 198), Color::white(), "MER"});
}

void drawFerrariBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(220, 0, 0), Color::rgb(28, 28, 30), Color::rgb(255, 235, 0), Color::white(), "FER"});
}

void drawMcLarenBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(255, 128, 0), Color::rgb(46, 46, 50), Color::rgb(71, 199, 252), Color::rgb(28, 28, 30), "MCL"});
}

void drawAlpineBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(0, 120, 215), Color::rgb(253, 75, 199), Color::white(), Color::white(), "ALP"});
}

void drawHaasBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(240, 240, 242), Color::rgb(28, 28, 30), Color::rgb(230, 0, 43), Color::rgb(28, 28, 30), "HAA"});
}

void drawAlfaRomeoBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(165, 15, 45), Color::white(), Color::rgb(28, 28, 30), Color::white(), "ALF"});
}

void drawAlphaTauriBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(32, 57, 76), Color::white(), Color::rgb(200, 16, 46), Color::white(), "AT"});
}

void drawWilliamsBadge(gfx::Context& context) {
    drawBadge(context, {Color::rgb(4, 30, 66), Color::rgb(0, 160, 222), Color::rgb(230, 0, 43), Color::white(), "WIL"});
}

}  // namespace ui::assets
