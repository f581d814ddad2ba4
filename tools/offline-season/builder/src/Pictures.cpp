#include "Pictures.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>

#include "gfx/Color.h"
#include "gfx/Context.h"
#include "gfx/ImageEncoder.h"
#include "gfx/ImageRenderer.h"
#include "gfx/Path.h"

namespace offline_season {
namespace {

// Letters drawn as strokes on a grid 4 units wide and 6 high (y down); "|" starts a new stroke.
// Until the graphics library draws text, this is how the pictures carry names.
constexpr std::array<std::pair<char, const char*>, 36> glyphs{{
    {'A', "0,6 0,2 2,0 4,2 4,6|0,4 4,4"},       {'B', "0,0 0,6 3,6 4,5 4,4 3,3 0,3|0,0 3,0 4,1 4,2 3,3"},
    {'C', "4,0 0,0 0,6 4,6"},                   {'D', "0,0 0,6 2,6 4,4 4,2 2,0 0,0"},
    {'E', "4,0 0,0 0,6 4,6|0,3 3,3"},           {'F', "4,0 0,0 0,6|0,3 3,3"},
    {'G', "4,1 4,0 0,0 0,6 4,6 4,3 2,3"},       {'H', "0,0 0,6|4,0 4,6|0,3 4,3"},
    {'I', "1,0 3,0|2,0 2,6|1,6 3,6"},           {'J', "4,0 4,6 1,6 0,5"},
    {'K', "0,0 0,6|4,0 0,3 4,6"},               {'L', "0,0 0,6 4,6"},
    {'M', "0,6 0,0 2,3 4,0 4,6"},               {'N', "0,6 0,0 4,6 4,0"},
    {'O', "0,0 4,0 4,6 0,6 0,0"},               {'P', "0,6 0,0 4,0 4,3 0,3"},
    {'Q', "0,0 4,0 4,6 0,6 0,0|2,4 4,6"},       {'R', "0,6 0,0 4,0 4,3 0,3 4,6"},
    {'S', "4,0 0,0 0,3 4,3 4,6 0,6"},           {'T', "0,0 4,0|2,0 2,6"},
    {'U', "0,0 0,6 4,6 4,0"},                   {'V', "0,0 2,6 4,0"},
    {'W', "0,0 1,6 2,3 3,6 4,0"},               {'X', "0,0 4,6|4,0 0,6"},
    {'Y', "0,0 2,3 4,0|2,3 2,6"},               {'Z', "0,0 4,0 0,6 4,6"},
    {'0', "0,0 4,0 4,6 0,6 0,0|4,0 0,6"},       {'1', "1,1 2,0 2,6|1,6 3,6"},
    {'2', "0,0 4,0 4,3 0,3 0,6 4,6"},           {'3', "0,0 4,0 4,6 0,6|1,3 4,3"},
    {'4', "0,0 0,3 4,3|4,0 4,6"},               {'5', "4,0 0,0 0,3 4,3 4,6 0,6"},
    {'6', "4,0 0,0 0,6 4,6 4,3 0,3"},           {'7', "0,0 4,0 2,6"},
    {'8', "0,0 4,0 4,6 0,6 0,0|0,3 4,3"},       {'9', "4,3 0,3 0,0 4,0 4,6 0,6"},
}};

constexpr double glyphAdvance = 6;  // 4 units of letter, 2 of space

// The text's strokes, `unit` points per grid step, its top-left corner at `origin`. Letters are made
// upper case; characters without a glyph leave a space.
gfx::Path textPath(std::string_view text, gfx::Point origin, double unit) {
  gfx::Path path;
  double x = origin.x;
  for (char letter : text) {
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    auto glyph = std::ranges::find(glyphs, upper, &std::pair<char, const char*>::first);
    if (glyph != glyphs.end()) {
      bool startStroke = true;
      for (const char* cursor = glyph->second; *cursor;) {
        if (*cursor == '|') { startStroke = true; ++cursor; continue; }
        if (*cursor == ' ') { ++cursor; continue; }
        double gx = cursor[0] - '0', gy = cursor[2] - '0';
        cursor += 3;
        gfx::Point point{x + gx * unit, origin.y + gy * unit};
        if (startStroke) path.moveTo(point); else path.lineTo(point);
        startStroke = false;
      }
    }
    x += glyphAdvance * unit;
  }
  return path;
}

double textWidth(std::string_view text, double unit) {
  return text.empty() ? 0 : (static_cast<double>(text.size()) * glyphAdvance - 2) * unit;
}

void strokeText(gfx::Context& context, std::string_view text, gfx::Point center, double unit, gfx::Color colour) {
  context.setStrokeColor(colour);
  context.setLineWidth(unit * 0.9);
  context.setLineCap(gfx::LineCap::round);
  context.setLineJoin(gfx::LineJoin::round);
  context.stroke(textPath(text, {center.x - textWidth(text, unit) / 2, center.y - 3 * unit}, unit));
}

std::string png(gfx::Size size, const std::function<void(gfx::Context&)>& drawing) {
  gfx::ImageRenderer renderer(size, {.scale = 1, .opaque = true});
  auto encoded = gfx::encodePng(renderer.image(drawing).bitmap);
  return encoded ? encoded->toString() : std::string{};
}

gfx::Color teamColour(const FeedDriver& driver) {
  return gfx::Color::fromHex(driver.teamColour).value_or(gfx::Color::rgb(120, 120, 128));
}

std::string initialsOf(const FeedDriver& driver) {
  if (!driver.tla.empty()) return driver.tla;
  return driver.lastName.substr(0, 3);
}

// Head and shoulders in a lighter shade of the background, the driver's letters across the chest.
void drawFigure(gfx::Context& context, const FeedDriver& driver, gfx::Size size, double headRadius,
                double shoulderTop) {
  context.setFillColor(teamColour(driver));
  context.fillRect({0, 0, size.width, size.height});
  context.setFillColor(gfx::Color::white(1, 0.28));
  gfx::Path figure;
  double centre = size.width / 2;
  figure.addEllipse({centre - headRadius, shoulderTop - headRadius * 2.3, headRadius * 2, headRadius * 2});
  figure.addRoundedRect({centre - headRadius * 2.2, shoulderTop, headRadius * 4.4, size.height - shoulderTop + headRadius},
                        headRadius * 1.2, headRadius * 1.2);
  context.fill(figure);
  strokeText(context, initialsOf(driver), {centre, shoulderTop + headRadius * 1.6}, size.width / 40,
             gfx::Color::white(1));
}

}  // namespace

std::string headshotPng(const FeedDriver& driver) {
  gfx::Size size{200, 200};
  return png(size, [&](gfx::Context& context) { drawFigure(context, driver, size, 34, 112); });
}

std::string bodyshotPng(const FeedDriver& driver) {
  gfx::Size size{200, 300};
  return png(size, [&](gfx::Context& context) { drawFigure(context, driver, size, 28, 96); });
}

std::string circuitCardPng(std::string_view circuitName) {
  std::string name(circuitName);
  std::ranges::replace(name, '_', ' ');
  gfx::Size size{320, 180};
  return png(size, [&](gfx::Context& context) {
    context.setFillColor(gfx::Color::rgb(21, 21, 30));
    context.fillRect({0, 0, size.width, size.height});
    // A chequered band along the foot of the card.
    for (int column = 0; column < 32; ++column)
      for (int row = 0; row < 2; ++row) {
        context.setFillColor((column + row) % 2 ? gfx::Color::white(1, 0.9) : gfx::Color::white(0.2));
        context.fillRect({column * 10.0, 156.0 + row * 10.0, 10, 10});
      }
    double unit = std::min(4.0, (size.width - 40) / std::max(1.0, textWidth(name, 1)));
    strokeText(context, name, {size.width / 2, 78}, unit, gfx::Color::white(1));
  });
}

}  // namespace offline_season
