// Paint colours, the layers of path-based elements, the basic shapes' paths, gradients and fonts.
#include <gtest/gtest.h>

#include <cmath>

#include "RenderTestSupport.h"
#include "VellumLogCapture.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGTextElement.h"
#include "vellum/VellumLayers.h"

using namespace vellum;

namespace {

struct Parsed {
    std::shared_ptr<VellumParseResult> result;
    template <class T = SVGElement>
    std::shared_ptr<T> element(std::string_view id) const {
        return std::dynamic_pointer_cast<T>(result->parsedDocument()->rootElement()->getElementById(id));
    }
};

Parsed parsed(const std::string& body, const std::string& attributes = R"s( viewBox="0 0 100 100")s") {
    return {parseSVG(svgHeader + attributes + ">" + body + "</svg>")};
}

std::shared_ptr<quartz::Layer> layerOf(const Parsed& document, std::string_view id) {
    return document.element<BaseClassForAllSVGBasicShapes>(id)->newLayer();
}

TEST(Paint, ColoursFollowThePaintRule) {
    const SVGElement element("rect");
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "", ""), gfx::Color::black());
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "none", "0.5"), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "red", "0.5"), CGColorWithSVGColor({255, 0, 0, 127}));
    // A fill opacity without a fill paints the default black at that opacity (the platform painted nothing).
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "", "0.5"), CGColorWithSVGColor({0, 0, 0, 127}));
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "url(#g)", "0.5"), CGColorWithSVGColor({0, 0, 0, 127}));
    EXPECT_EQ(SVGHelperUtilities::parseStrokeForElement(element, "url(#g)", "0.5"), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::parseStrokeForElement(element, "url(#g) blue", ""), CGColorWithSVGColor({0, 0, 255, 255}));
    EXPECT_EQ(SVGHelperUtilities::parseStrokeForElement(element, "", "0.5"), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url(#grad) red"), "grad");
    // Texts starting with "url" but too short to name anything are no reference.
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url("), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url(#)"), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("urlx"), std::nullopt);
}

TEST(ShapeLayer, FrameAndPathSitInRootCoordinatesGrownByHalfTheStroke) {
    const auto document = parsed(R"s(<path id="p" d="M10 10H20V20H10z"/>
        <rect id="none" width="5" height="5" stroke-dasharray="1 1"/>
        <rect id="zero" width="5" height="5" stroke="red" stroke-width="0"/>)s");
    auto shape = std::dynamic_pointer_cast<CAShapeLayerWithHitTest>(layerOf(document, "p"));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->frame(), (gfx::Rect{9, 9, 12, 12}));
    EXPECT_EQ(shape->path()->boundingBox(), (gfx::Rect{1, 1, 10, 10}));
    EXPECT_EQ(shape->fillColor(), gfx::Color::black());
    auto none = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "none"));
    EXPECT_EQ(none->strokeColor(), std::nullopt);
    EXPECT_EQ(none->lineWidth(), 0);
    EXPECT_TRUE(none->lineDashPattern().empty());
    auto zero = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "zero"));
    EXPECT_EQ(zero->strokeColor(), std::nullopt);
    EXPECT_EQ(zero->lineWidth(), 1);
}

TEST(ShapeLayer, StrokesScaleWithTheTransformAndReadDashesCapsAndJoins) {
    const auto document = parsed(R"s(<rect id="a" width="5" height="5" stroke="red" stroke-width="4" transform="scale(2)"/>
        <rect id="b" width="5" height="5" stroke="red" stroke-width="4" transform="scale(2 1)"
              stroke-linecap="round" stroke-linejoin="bevel" stroke-miterlimit="3"/>
        <rect id="blank" width="5" height="5" stroke="red" stroke-dasharray="5 3"/>
        <rect id="comma" width="5" height="5" stroke="red" stroke-dasharray="5,3"/>
        <rect id="both" width="5" height="5" stroke="red" stroke-dasharray="5, 3"/>
        <rect id="single" width="5" height="5" stroke="red" stroke-dasharray="5"/>
        <rect id="zeros" width="5" height="5" stroke="red" stroke-dasharray="0 0"/>)s",
                                 "");
    const auto shape = [&](std::string_view id) { return std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, id)); };
    EXPECT_DOUBLE_EQ(shape("a")->lineWidth(), 8);
    // A stretch cannot be one width (the platform averaged it to hypot(8, 4) / sqrt 2): the layer
    // strokes in user space and carries the stretch.
    EXPECT_DOUBLE_EQ(shape("b")->lineWidth(), 4);
    EXPECT_EQ(shape("b")->affineTransform(), gfx::AffineTransform::scale(2, 1));
    EXPECT_EQ(shape("b")->frame(), (gfx::Rect{-4, -2, 18, 9}));
    EXPECT_EQ(shape("b")->lineCap(), gfx::LineCap::round);
    EXPECT_EQ(shape("b")->lineJoin(), gfx::LineJoin::bevel);
    EXPECT_EQ(shape("b")->miterLimit(), 3);
    EXPECT_EQ(shape("blank")->lineDashPattern(), (std::vector<double>{5, 3}));
    EXPECT_EQ(shape("comma")->lineDashPattern(), (std::vector<double>{5, 3}));
    EXPECT_EQ(shape("both")->lineDashPattern(), (std::vector<double>{5, 3}));
    EXPECT_EQ(shape("single")->lineDashPattern(), (std::vector<double>{5, 5})) << "an odd list is repeated";
    EXPECT_TRUE(shape("zeros")->lineDashPattern().empty());
}

TEST(ShapeLayer, GradientFillsAndStrokesBuildAContainer) {
    VellumLogCapture log;
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/>
        <stop offset="1" stop-color="blue"/></linearGradient>
        <rect id="filled" x="10" y="10" width="20" height="20" fill="url(#g)" stroke="black" opacity="0.5"/>
        <rect id="missing" width="5" height="5" fill="url(#nothing)"/>
        <line id="flat" x1="0" y1="5" x2="50" y2="5" stroke="url(#g) lime"/>)s");
    auto container = layerOf(document, "filled");
    ASSERT_EQ(container->sublayers().size(), 2u);
    auto gradient = std::dynamic_pointer_cast<SVGGradientLayer>(container->sublayers()[0]);
    ASSERT_TRUE(gradient);
    ASSERT_TRUE(gradient->mask());
    auto stroke = std::dynamic_pointer_cast<quartz::ShapeLayer>(container->sublayers()[1]);
    EXPECT_EQ(stroke->fillColor(), std::nullopt);
    EXPECT_EQ(stroke->strokeColor(), gfx::Color::black());
    EXPECT_EQ(container->opacity(), 0.5) << "the element's opacity covers fill and stroke together";
    EXPECT_EQ(stroke->opacity(), 1);

    // A reference to nothing without a fallback colour paints nothing, as browsers have it.
    auto missing = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "missing"));
    EXPECT_EQ(missing->fillColor(), std::nullopt);
    EXPECT_EQ(log.messages().size(), 1u);
    // A line has no area to stretch a gradient over: the colour after the reference strokes it.
    auto flat = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "flat")->sublayers().at(1));
    EXPECT_EQ(flat->strokeColor(), CGColorWithSVGColor({0, 255, 0, 255}));
}

TEST(BasicShapes, RectanglesRoundTheirCornersWithinHalfTheirSides) {
    const auto document = parsed(R"s(<rect id="plain" width="10" height="4"/>
        <rect id="rx" width="20" height="20" rx="5"/>
        <rect id="clamped" width="10" height="4" rx="8"/>
        <rect id="half" x="50%" width="10" height="10"/>)s",
                                 R"s( width="200" height="100")s");
    const auto path = [&](std::string_view id) {
        return *document.element<BaseClassForAllSVGBasicShapes>(id)->pathForShapeInRelativeCoords();
    };
    EXPECT_EQ(path("plain").elements().size(), 5u) << "a plain rectangle: four lines";
    // The rounded corner starts rx along the top edge.
    EXPECT_EQ(path("rx").elements()[0].points[0], (gfx::Point{5, 0}));
    EXPECT_EQ(path("clamped").elements()[0].points[0], (gfx::Point{5, 0}));
    EXPECT_EQ(path("clamped").boundingBox(), (gfx::Rect{0, 0, 10, 4}));
    EXPECT_EQ(path("half").boundingBox().origin.x, 100);
}

TEST(BasicShapes, EllipsesCirclesLinesAndPolygons) {
    const auto document = parsed(R"s(<ellipse id="e" cx="50" cy="50" rx="10" ry="20" r="5"/>
        <circle id="c" r="10%"/>
        <polygon id="triangle" points="0,0 10,0 10,10"/><polyline id="open" points="0,0 10,0 10,10"/>
        <polyline id="bare"/><line id="l" x1="1" y1="2" x2="30" y2="40"/>)s",
                                 R"s( width="300" height="400")s");
    auto ellipse = document.element<SVGEllipseElement>("e");
    EXPECT_EQ(ellipse->rx(), 5) << "r is read after rx and ry";
    EXPECT_NEAR(document.element<SVGCircleElement>("c")->r(), std::hypot(300, 400) / std::sqrt(2) * 0.1, 1e-3);
    SVGCircleElement uneven("circle");
    uneven.setRx(3);
    uneven.setRy(4);
    EXPECT_EQ(uneven.r(), 0) << "a circle whose radii differ";
    const auto& triangle = *document.element<SVGPolygonElement>("triangle")->pathForShapeInRelativeCoords();
    EXPECT_EQ(triangle.elements().back().kind, gfx::PathElement::Kind::closeSubpath);
    const auto& open = *document.element<SVGPolylineElement>("open")->pathForShapeInRelativeCoords();
    EXPECT_EQ(open.elements().size(), 3u);
    EXPECT_NE(open.elements().back().kind, gfx::PathElement::Kind::closeSubpath);
    EXPECT_TRUE(document.element<SVGPolylineElement>("bare")->pathForShapeInRelativeCoords()->isEmpty());
    auto line = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "l"));
    EXPECT_EQ(line->frame(), (gfx::Rect{0, 1, 31, 40}).integral());
}

TEST(BasicShapes, PathDataIsTakenCommandByCommand) {
    SVGPathElement path("path");
    path.parseData("M10 10 z m5 5 l5 0");
    const auto& elements = path.pathForShapeInRelativeCoords()->elements();
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(elements[2].points[0], (gfx::Point{15, 15})) << "relative to where the close returned";
    EXPECT_EQ(elements[3].points[0], (gfx::Point{20, 15}));
    path.parseData("Mm1 1");
    ASSERT_EQ(path.pathForShapeInRelativeCoords()->elements().size(), 1u) << "the bare M is skipped";
    EXPECT_EQ(path.pathForShapeInRelativeCoords()->elements()[0].points[0], (gfx::Point{1, 1}));
    path.parseData("");
    ASSERT_TRUE(path.pathForShapeInRelativeCoords());
    EXPECT_TRUE(path.pathForShapeInRelativeCoords()->isEmpty());
}

TEST(Gradients, StopsGiveNeverDecreasingLocationsAndTheirOpacity) {
    const auto document = parsed(R"s(<linearGradient id="a"><stop offset="0"/><stop offset="0.5"/>
        <stop offset="50%"/><stop offset="1"/></linearGradient>
        <linearGradient id="b"><stop offset="0.8"/><stop offset="0.3"/><stop offset="-1"/></linearGradient>
        <linearGradient id="c"><stop offset="2" stop-color="red" stop-opacity="0.5"/></linearGradient>)s");
    const auto a = document.element<SVGGradientElement>("a");
    ASSERT_EQ(a->locations().size(), 4u);
    EXPECT_DOUBLE_EQ(a->locations()[1], 0.5 - 1e-10);
    EXPECT_DOUBLE_EQ(a->locations()[2], 0.5);
    const auto b = document.element<SVGGradientElement>("b");
    EXPECT_DOUBLE_EQ(b->locations()[0], static_cast<double>(0.8f) - 1e-10);
    EXPECT_FLOAT_EQ(b->locations()[1], 0.8f);
    EXPECT_FLOAT_EQ(b->locations()[2], 0.8f);
    const auto c = document.element<SVGGradientElement>("c");
    EXPECT_EQ(c->stops().at(0)->stopColor(), (SVGColor{255, 0, 0, 127}));
    EXPECT_EQ(c->locations(), std::vector<double>{1});
}

TEST(Gradients, UnitsSpreadAndReferencesThatLoop) {
    VellumLogCapture log;
    const auto document = parsed(R"s(<linearGradient id="a" xlink:href="#b" gradientUnits="userSpaceOnUse" spreadMethod="zigzag"/>
        <linearGradient id="b" xlink:href="#a" x1="0.2"><stop offset="0" stop-color="red"/></linearGradient>
        <radialGradient id="r"/>)s");
    auto a = document.element<SVGLinearGradientElement>("a");
    a->synthesizeProperties();
    EXPECT_TRUE(a->hasSynthesizedProperties());
    EXPECT_TRUE(document.element<SVGLinearGradientElement>("b")->hasSynthesizedProperties());
    EXPECT_EQ(a->stops().size(), 1u);
    EXPECT_EQ(a->getAttribute("x1"), "0.2");
    EXPECT_EQ(a->gradientUnits(), 1);
    EXPECT_EQ(a->spreadMethod(), 0u);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Unsupported spreadMethod: zigzag"});
    auto r = document.element<SVGRadialGradientElement>("r");
    EXPECT_EQ(r->gradientUnits(), 2);
    EXPECT_EQ(r->spreadMethod(), 1u);
    auto layer = document.element<SVGLinearGradientElement>("b")->newGradientLayerForObjectRect({0, 0, 100, 50}, SVGRectUninitialized(), {});
    EXPECT_EQ(layer->frame(), (gfx::Rect{0, 0, 100, 50}));
    EXPECT_EQ(layer->backgroundColor(), gfx::Color(1, 0, 0, 1)) << "one stop paints flat";
}

TEST(Gradients, LinearDefaultsRunAcrossTheObject) {
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0"/><stop offset="1"/></linearGradient>)s");
    auto layer = document.element<SVGLinearGradientElement>("g")->newGradientLayerForObjectRect({0, 0, 100, 50}, SVGRectUninitialized(), {});
    EXPECT_EQ(layer->startPoint(), (gfx::Point{0, 0}));
    EXPECT_EQ(layer->endPoint(), (gfx::Point{1, 0}));
    EXPECT_EQ(layer->colors().size(), 2u);
}

TEST(Fonts, DescriptorsFromTheCascadedFontProperties) {
    const auto normal = SVGTextElement::fontAttributesWithFontFamily("", "", "", "");
    EXPECT_EQ(normal, (SVGFontAttributes{SVGTextElement::systemDefaultFontFamily(), 0, 0}));
    const auto boldOblique = SVGTextElement::fontAttributesWithFontFamily("X", "oblique", "bold", "ultra-condensed");
    EXPECT_DOUBLE_EQ(boldOblique.weightTrait, 0.5);
    EXPECT_EQ(boldOblique.symbolicTraits, gfx::FontTraits::italic | gfx::FontTraits::condensed);
    EXPECT_DOUBLE_EQ(SVGTextElement::fontAttributesWithFontFamily("", "", "100", "").weightTrait, -0.75);
    EXPECT_NEAR(SVGTextElement::fontAttributesWithFontFamily("", "", "900", "").weightTrait, 0.8333, 1e-4);
    EXPECT_DOUBLE_EQ(SVGTextElement::fontAttributesWithFontFamily("", "", "1000", "").weightTrait, 1.0);
    EXPECT_DOUBLE_EQ(SVGTextElement::fontAttributesWithFontFamily("", "", "heavy", "").weightTrait, -0.9975);
    EXPECT_EQ(SVGTextElement::fontAttributesWithFontFamily("", "", "", "expanded").symbolicTraits, gfx::FontTraits::expanded);
    EXPECT_EQ(SVGTextElement::fontFamiliesWithCSSValue(R"s( "DejaVu Serif" , 'Odd', Arial)s"),
              (std::vector<std::string>{"DejaVu Serif", "'Odd'", "Arial"}));
    EXPECT_EQ(SVGTextElement::fontFamiliesWithCSSValue(""), std::nullopt);
}

TEST(Fonts, MatchingPicksTheFirstInstalledFamily) {
    const auto document = parsed(R"s(<text id="plain">a</text>
        <text id="listed" font-family="Nowhere Sans, &quot;DejaVu Serif&quot;" font-size="16px">b</text>
        <text id="unknown" font-family="Nowhere Sans">c</text>)s");
    const gfx::Font plain = SVGTextElement::matchedFontWithElement(*document.element("plain"));
    EXPECT_EQ(plain.familyName(), gfx::Font::systemFamilyName());
    EXPECT_EQ(plain.pointSize(), 12);
    const gfx::Font unknown = SVGTextElement::matchedFontWithElement(*document.element("unknown"));
    EXPECT_EQ(unknown.familyName(), gfx::Font::systemFamilyName());
    const auto& installed = gfx::Font::familyNames();
    if (std::find(installed.begin(), installed.end(), "DejaVu Serif") == installed.end()) GTEST_SKIP() << "no DejaVu Serif";
    const gfx::Font listed = SVGTextElement::matchedFontWithElement(*document.element("listed"));
    EXPECT_EQ(listed.familyName(), "DejaVu Serif");
    EXPECT_EQ(listed.pointSize(), 16);
}

TEST(TextLayers, AnchorsGradientsAndOpacity) {
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/><stop offset="1" stop-color="blue"/></linearGradient>
        <text id="middle" x="50" y="50" text-anchor="middle">Wide
        text</text>
        <text id="painted" x="10" y="50" fill="url(#g)" opacity="0.4">Gradient</text>)s");
    auto middle = std::dynamic_pointer_cast<SVGTextLayer>(document.element<SVGTextElement>("middle")->newLayer());
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->anchorPoint(), (gfx::Point{0.5, 0}));
    EXPECT_EQ(middle->string(), "Wide         text") << "line breaks become spaces";
    auto painted = document.element<SVGTextElement>("painted")->newLayer();
    auto gradient = std::dynamic_pointer_cast<SVGGradientLayer>(painted);
    ASSERT_TRUE(gradient);
    EXPECT_TRUE(std::dynamic_pointer_cast<SVGTextLayer>(gradient->mask()));
    EXPECT_FLOAT_EQ(gradient->opacity(), 0.4f);
}

}  // namespace
