// Text laid out in runs: tspans with their own style and place, position lists, font sizes in every
// unit, strokes and gradient strokes, under any transform.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "RenderTestSupport.h"
#include "gfx/TextLayout.h"
#include "gfx/WorkMeter.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGTextElement.h"
#include "vellum/VellumLayers.h"

using namespace vellum;

namespace {

struct Text {
    std::shared_ptr<VellumParseResult> result;
    std::shared_ptr<SVGTextElement> element;
    std::shared_ptr<quartz::Layer> layer;
};

Text text(const std::string& body, const std::string& id = "t") {
    Text parsed{parseSVG(svgHeader + R"s( width="100" height="100">)s" + body + "</svg>"), nullptr, nullptr};
    auto root = parsed.result->parsedDocument()->rootElement();
    parsed.element = std::dynamic_pointer_cast<SVGTextElement>(root->getElementById(id));
    if (parsed.element) parsed.layer = parsed.element->newLayer();
    return parsed;
}

std::shared_ptr<SVGTextLayer> textLayer(const Text& parsed) { return std::dynamic_pointer_cast<SVGTextLayer>(parsed.layer); }

// Where a piece's baseline starts, in the picture.
gfx::Point placed(const SVGTextLayer& layer, const SVGTextLayer::Piece& piece) {
    return layer.transformToSuperlayer().apply(piece.origin);
}

double advance(const SVGTextLayer::Piece& piece) {
    gfx::TextAttributes attributes;
    attributes.font = piece.string.runs()[0].attributes.font;
    return gfx::TextLayout::make(gfx::AttributedString(piece.string.string(), attributes)).size().width;
}

void expectAt(gfx::Point actual, gfx::Point expected, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-6) << what;
}

const gfx::TextAttributes& attributesOf(const SVGTextLayer::Piece& piece) { return piece.string.runs()[0].attributes; }

TEST(TextRuns, FontSizesTakeTheirUnitsAndTheParentsSize) {
    const auto document = parseSVG(svgHeader + R"s(><g font-size="10">
        <text id="percent" font-size="150%">a</text><text id="em" font-size="2em">a</text>
        <text id="points" font-size="9pt">a</text><text id="pixels" font-size="20px">a</text>
        <text id="keyword" font-size="large">a</text><text id="plain">a<tspan id="span" font-size="50%">b</tspan></text>
        </g><text id="none">a</text></svg>)s");
    const auto root = document->parsedDocument()->rootElement();
    const auto size = [&](const char* id) {
        return SVGTextElement::matchedFontWithElement(*std::dynamic_pointer_cast<SVGElement>(root->getElementById(id))).pointSize();
    };
    EXPECT_DOUBLE_EQ(size("percent"), 15);
    EXPECT_DOUBLE_EQ(size("em"), 20);
    EXPECT_DOUBLE_EQ(size("points"), 12);
    EXPECT_DOUBLE_EQ(size("pixels"), 20);
    EXPECT_DOUBLE_EQ(size("keyword"), 10) << "a keyword keeps the parent's size";
    EXPECT_DOUBLE_EQ(size("plain"), 10);
    EXPECT_DOUBLE_EQ(size("span"), 5);
    EXPECT_DOUBLE_EQ(size("none"), 12);
}

TEST(TextRuns, TspansStartRunsWithTheirOwnStyleAndPlace) {
    const auto parsed = text(R"s(<text id="t" x="5" y="20" font-size="10" fill="blue">ab<tspan x="30" dy="4" fill="red"
        font-size="20">c</tspan>d<tspan dx="3" style="fill:#00ff00">e</tspan></text>)s");
    const auto layer = textLayer(parsed);
    ASSERT_TRUE(layer);
    const auto& pieces = layer->pieces();
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(layer->string(), "abcde");
    EXPECT_EQ(pieces[0].string.string(), "ab");
    expectAt(placed(*layer, pieces[0]), {5, 20}, "the text's own start");
    expectAt(placed(*layer, pieces[1]), {30, 24}, "an absolute x and a relative y");
    expectAt(placed(*layer, pieces[2]), {30 + advance(pieces[1]), 24}, "after the tspan, on its baseline");
    expectAt(placed(*layer, pieces[3]), {30 + advance(pieces[1]) + advance(pieces[2]) + 3, 24}, "dx");
    EXPECT_EQ(attributesOf(pieces[1]).foregroundColor, gfx::Color::rgb(255, 0, 0));
    EXPECT_DOUBLE_EQ(attributesOf(pieces[1]).font.pointSize(), 20);
    EXPECT_EQ(attributesOf(pieces[2]).foregroundColor, gfx::Color::rgb(0, 0, 255)) << "the text's style again";
    EXPECT_EQ(attributesOf(pieces[3]).foregroundColor, gfx::Color::rgb(0, 255, 0));
}

TEST(TextRuns, PositionListsGoCharacterByCharacterAndTheLastRotationGoesOn) {
    const auto parsed = text(R"s(<text id="t" x="10 40" y="50" dx="0 2" dy="0 0 -5" rotate="0 90">abcd</text>)s");
    const auto layer = textLayer(parsed);
    ASSERT_TRUE(layer);
    const auto& pieces = layer->pieces();
    ASSERT_EQ(pieces.size(), 4u);
    expectAt(placed(*layer, pieces[0]), {10, 50}, "a");
    expectAt(placed(*layer, pieces[1]), {42, 50}, "b: x then dx");
    expectAt(placed(*layer, pieces[2]), {42 + advance(pieces[1]), 45}, "c: dy");
    EXPECT_DOUBLE_EQ(pieces[0].rotation, 0);
    EXPECT_DOUBLE_EQ(pieces[1].rotation, std::numbers::pi / 2);
    EXPECT_DOUBLE_EQ(pieces[3].rotation, std::numbers::pi / 2) << "the last rotation applies to the rest";
    // The layer holds the turned glyphs: d hangs below its baseline start.
    EXPECT_GT(layer->frame().maxY(), placed(*layer, pieces[3]).y + advance(pieces[3]) - 1);
}

TEST(TextRuns, AnchorsMoveEachChunkAndTransformsCarryTheWholeText) {
    const auto anchored = text(R"s(<text id="t" x="50" y="20" text-anchor="middle">ab<tspan x="80" text-anchor="end">c</tspan></text>)s");
    const auto layer = textLayer(anchored);
    ASSERT_TRUE(layer);
    ASSERT_EQ(layer->pieces().size(), 2u);
    expectAt(placed(*layer, layer->pieces()[0]), {50 - advance(layer->pieces()[0]) / 2, 20}, "middle");
    expectAt(placed(*layer, layer->pieces()[1]), {80 - advance(layer->pieces()[1]), 20}, "end");

    const auto turned = text(R"s(<g transform="translate(50 10) rotate(90) scale(2)"><text id="t" x="5" y="3">ab</text></g>)s");
    const auto turnedLayer = textLayer(turned);
    ASSERT_TRUE(turnedLayer);
    // (5, 3) scaled by 2, turned a quarter to (-6, 10), moved by (50, 10).
    expectAt(placed(*turnedLayer, turnedLayer->pieces()[0]), {44, 20}, "the baseline start under a rotation");
}

TEST(TextRuns, StrokesAreAsWideAsTheirWidthInUserUnits) {
    const auto parsed = text(R"s(<text id="t" font-size="20" stroke="red" stroke-width="2">a<tspan id="s" fill="none"
        stroke-width="0.5em">b</tspan><tspan stroke-width="0">c</tspan></text><text id="u" stroke="red">d</text>)s");
    const auto layer = textLayer(parsed);
    ASSERT_TRUE(layer);
    ASSERT_EQ(layer->pieces().size(), 3u);
    EXPECT_DOUBLE_EQ(attributesOf(layer->pieces()[0]).strokeWidth, -10) << "2 of 20: filled and stroked";
    EXPECT_DOUBLE_EQ(attributesOf(layer->pieces()[1]).strokeWidth, 50) << "10 of 20: only stroked";
    EXPECT_DOUBLE_EQ(attributesOf(layer->pieces()[2]).strokeWidth, 0);
    const auto plain = text(R"s(<text id="u" font-size="20" stroke="red">d</text>)s", "u");
    ASSERT_TRUE(textLayer(plain));
    EXPECT_DOUBLE_EQ(attributesOf(textLayer(plain)->pieces()[0]).strokeWidth, -5) << "1 by default";
}

TEST(TextRuns, AGradientStrokeIsAGradientMaskedByTheOutlinesAboveTheFill) {
    const auto parsed = text(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/><stop offset="1" stop-color="blue"/>
        </linearGradient><text id="t" x="10" y="40" font-size="20" fill="black" stroke="url(#g)" stroke-width="2"
        opacity="0.5">ab</text>)s");
    ASSERT_TRUE(parsed.layer);
    ASSERT_EQ(parsed.layer->sublayers().size(), 2u);
    EXPECT_FLOAT_EQ(parsed.layer->opacity(), 0.5f) << "opacity on the whole";
    auto fill = std::dynamic_pointer_cast<SVGTextLayer>(parsed.layer->sublayers()[0]);
    ASSERT_TRUE(fill);
    EXPECT_DOUBLE_EQ(attributesOf(fill->pieces()[0]).strokeWidth, 0) << "the fill layer draws no stroke";
    auto gradient = std::dynamic_pointer_cast<SVGGradientLayer>(parsed.layer->sublayers()[1]);
    ASSERT_TRUE(gradient);
    auto outlines = std::dynamic_pointer_cast<SVGTextLayer>(gradient->mask());
    ASSERT_TRUE(outlines);
    EXPECT_DOUBLE_EQ(attributesOf(outlines->pieces()[0]).strokeWidth, 10);
    EXPECT_EQ(attributesOf(outlines->pieces()[0]).foregroundColor, (gfx::Color{0, 0, 0, 0}));

    const gfx::Bitmap picture = renderSVG(svgHeader + R"s( width="64" height="64"><defs><linearGradient id="g">
        <stop offset="0" stop-color="red"/><stop offset="1" stop-color="blue"/></linearGradient></defs>
        <text x="4" y="40" font-family="DejaVu Sans" font-size="40" fill="none" stroke="url(#g)" stroke-width="4">&#x2588;</text></svg>)s",
                                          64, 64);
    int painted = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) painted += pixelAt(picture, x, y).a > 200;
    }
    EXPECT_GT(painted, 100) << "the outline shows the gradient";
}

TEST(TextRuns, HostilePositionsAndEmptyTextsDrawNothingAndDoNotFail) {
    for (const char* body : {R"s(<text id="t" x="1e308" dx="1e308 1e308">ab</text>)s", R"s(<text id="t" rotate="nan 1e999">ab</text>)s",
                             R"s(<text id="t" x="a b , ," y="%">ab</text>)s", R"s(<text id="t">   </text>)s",
                             R"s(<text id="t"><tspan><tspan/></tspan></text>)s"}) {
        const auto parsed = text(body);
        ASSERT_TRUE(parsed.layer) << body;
        const gfx::Rect frame = parsed.layer->frame();
        EXPECT_TRUE(std::isfinite(frame.minX()) && std::isfinite(frame.width())) << body;
        renderSVG(svgHeader + ">" + body + "</svg>", 32, 32);
    }
    EXPECT_TRUE(textLayer(text(R"s(<text id="t" x="1e308" dx="1e308 1e308">ab</text>)s"))->pieces().size() <= 1);
}

TEST(TextRuns, ARenderLaysEachRunOutOnceForEveryCopyAndStopsAtItsMeter) {
    // 600 distinct letters, each a run of its own: more than a thread's cache of layouts holds.
    std::string letters;
    for (char32_t code = 0x391; code < 0x391 + 600; ++code) {
        letters += static_cast<char>(0xc0 | (code >> 6));
        letters += static_cast<char>(0x80 | (code & 0x3f));
    }
    const auto parsed = text(R"s(<text id="t" y="50" font-size="4" fill="red" rotate="1">)s" + letters + "</text>");
    ASSERT_EQ(textLayer(parsed)->pieces().size(), 600u);
    constexpr double runs = 600;
    {
        gfx::WorkMeter meter;
        const auto first = parsed.element->newLayer();
        const std::uint64_t laidOut = meter.used();
        EXPECT_GE(static_cast<double>(laidOut), runs * (gfx::WorkMeter::aRunPlaced + gfx::WorkMeter::aRunLaidOut));
        // A copy places its characters and measures its runs again (styled once: they are one element's), but
        // lays none out.
        const auto copy = std::dynamic_pointer_cast<SVGTextLayer>(parsed.element->newLayer());
        ASSERT_TRUE(copy);
        EXPECT_EQ(static_cast<double>(meter.used() - laidOut),
                  runs * (gfx::WorkMeter::aCharacterPlaced + gfx::WorkMeter::aRunPlaced) + gfx::WorkMeter::aRunStyled);
        // Drawing paints the layouts the build measured: the first drawing costs what the next one does.
        auto context = gfx::Context::create(gfx::Size{100, 100}, {.scale = 1});
        std::uint64_t before = meter.used();
        copy->draw(*context);
        const std::uint64_t firstDrawing = meter.used() - before;
        before = meter.used();
        copy->draw(*context);
        EXPECT_EQ(firstDrawing, meter.used() - before);
        EXPECT_FALSE(meter.spent());
    }
    // Past its meter a text builds nothing more.
    gfx::WorkMeter small(static_cast<std::uint64_t>(runs * gfx::WorkMeter::aRunPlaced / 2));
    EXPECT_FALSE(std::dynamic_pointer_cast<SVGTextLayer>(parsed.element->newLayer()));
    EXPECT_TRUE(small.spent());
}

}  // namespace
