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

TEST(Paint, OpacitiesAreNumbersOrPercentagesAndMultiplyTheColoursAlpha) {
    const SVGElement element("rect");
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "blue", "50%"), CGColorWithSVGColor({0, 0, 255, 127}));
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "blue", "1e-1"), CGColorWithSVGColor({0, 0, 255, 25}));
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "blue", "150%"), CGColorWithSVGColor({0, 0, 255, 255}));
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "blue", "-1"), CGColorWithSVGColor({0, 0, 255, 0}));
    for (const char* invalid : {"0.1mm", "abc", "0.2 0.3", "%"}) {
        EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "blue", invalid), CGColorWithSVGColor({0, 0, 255, 255}))
            << invalid << " is no opacity";
    }
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "#0000ff80", "0.5"), CGColorWithSVGColor({0, 0, 255, 64}));
}

TEST(Paint, ReferencesMayBeQuotedOrBlankAndFallBackToTheirColour) {
    for (const char* text : {"url(#g)", "url('#g')", "url(\"#g\")", "url( #g )", "url( '#g' ) red", " url(#g)"}) {
        EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier(text), "g") << text;
    }
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url('#g\")"), std::nullopt) << "mismatched quotes";
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url('')"), std::nullopt);
    const SVGElement element("rect");
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "url( '#g' ) green", ""), CGColorWithSVGColor({0, 128, 0, 255}));
    EXPECT_EQ(SVGHelperUtilities::parseStrokeForElement(element, "url(#g)  none", ""), std::nullopt);
}

TEST(Paint, TextsLoseBlanksBeyondASCIIAtTheirEndsToo) {
    // A no-break space, a line separator and an ideographic space are blanks like a space or a tab.
    const SVGElement element("rect");
    const gfx::Color red = CGColorWithSVGColor({255, 0, 0, 255});
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, " \t\u00A0red\u2028", ""), red);
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "\u3000none\n", "0.5"), std::nullopt);
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "\u00A0url( '#g'\u00A0) \u00A0red\u00A0", ""), red);
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "red", "\u00A050%\u2029"), CGColorWithSVGColor({255, 0, 0, 127}));
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("\u00A0url(\u3000#g\u00A0)"), "g");
    EXPECT_EQ(SVGHelperUtilities::parseStrokeForElement(element, "\u00A0\u2028", "0.5"), std::nullopt) << "no stroke";
    // Other characters beyond ASCII are kept: no colour is named so.
    EXPECT_EQ(SVGHelperUtilities::paintReferenceIdentifier("url(#\u00E9)"), "\u00E9");
    EXPECT_EQ(SVGHelperUtilities::parseFillForElement(element, "red\u00E9", ""),
              CGColorWithSVGColor(SVGColorFromString("red\u00E9")));
}

TEST(Paint, CurrentColorAndInheritFollowTheAncestors) {
    const auto document = parsed(R"s(<g color="rgb(200,0,0)" fill="green" stroke="blue" opacity="0.5">
        <rect id="current" width="5" height="5" fill="currentColor" stroke="currentColor"/>
        <g color="inherit"><rect id="inheritedColor" width="5" height="5" fill="currentColor"/></g>
        <rect id="inherit" width="5" height="5" fill="inherit" style="stroke: inherit; opacity: inherit"/>
        <g opacity="inherit"><rect id="twice" width="5" height="5" opacity="inherit"/></g>
        </g><rect id="noColor" width="5" height="5" fill="currentColor"/>)s");
    const auto shape = [&](std::string_view id) { return std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, id)); };
    const gfx::Color red = CGColorWithSVGColor({200, 0, 0, 255});
    EXPECT_EQ(shape("current")->fillColor(), red);
    EXPECT_EQ(shape("current")->strokeColor(), red);
    EXPECT_EQ(shape("inheritedColor")->fillColor(), red);
    EXPECT_EQ(shape("inherit")->fillColor(), CGColorWithSVGColor({0, 128, 0, 255}));
    EXPECT_EQ(shape("inherit")->strokeColor(), CGColorWithSVGColor({0, 0, 255, 255}));
    EXPECT_EQ(shape("inherit")->opacity(), 0.5) << "inherit takes the parent's value of a property that is not inherited";
    EXPECT_EQ(shape("twice")->opacity(), 0.5);
    EXPECT_EQ(shape("noColor")->fillColor(), gfx::Color::black());
}

TEST(ShapeLayer, FrameAndPathSitInRootCoordinatesGrownByHalfTheStroke) {
    const auto document = parsed(R"s(<path id="p" d="M10 10H20V20H10z"/>
        <rect id="none" width="5" height="5" stroke-dasharray="1 1"/>
        <rect id="zero" width="5" height="5" stroke="red" stroke-width="0"/>)s");
    auto shape = std::dynamic_pointer_cast<CAShapeLayerWithHitTest>(layerOf(document, "p"));
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->frame(), (gfx::Rect{9, 9, 12, 12}));
    EXPECT_EQ(shape->placedPath()->boundingBox(), (gfx::Rect{1, 1, 10, 10}));
    EXPECT_EQ(shape->fillColor(), gfx::Color::black());
    auto none = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "none"));
    EXPECT_EQ(none->strokeColor(), std::nullopt);
    EXPECT_EQ(none->lineWidth(), 0);
    EXPECT_TRUE(none->lineDashPattern().empty());
    auto zero = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "zero"));
    EXPECT_EQ(zero->strokeColor(), std::nullopt);
    EXPECT_EQ(zero->lineWidth(), 1);
}

// A layer draws the element's own path, placed by its transform; a stroked one, whose width is in the
// layer's space, only where the placement scales both axes alike (mirrored or not), else its points are
// placed. All hit-test where they are drawn.
TEST(ShapeLayer, ShapesDrawTheElementsPathWithoutACopyWhereTheirStrokeAllows) {
    const auto document = parsed(R"s(<g transform="translate(30 0) scale(2)"><path id="p" d="M10 10H20V20H10z" fill="red"/>
        <path id="s" d="M10 10H20V20H10z" stroke="blue"/></g>
        <g transform="translate(70 0) scale(-2 2)"><path id="m" d="M10 10H20V20H10z" stroke="blue"/></g>
        <g transform="rotate(30)"><path id="r" d="M10 10H20V20H10z" stroke="blue"/></g>)s");
    const auto element = [&](std::string_view id) { return document.element<BaseClassForAllSVGBasicShapes>(id); };
    // The path handed out before a build is the one the layer shares after it.
    const gfx::Path* path = element("p")->pathForShapeInRelativeCoords();
    ASSERT_TRUE(path);
    const auto layer = [&](std::string_view id) { return std::dynamic_pointer_cast<CAShapeLayerWithHitTest>(layerOf(document, id)); };
    auto filled = layer("p"), stroked = layer("s"), mirrored = layer("m"), rotated = layer("r");
    ASSERT_TRUE(filled && stroked && mirrored && rotated);
    EXPECT_EQ(filled->sharedPath(), element("p")->sharedPathForShapeInRelativeCoords());
    EXPECT_EQ(filled->path(), path);
    EXPECT_EQ(stroked->sharedPath(), element("s")->sharedPathForShapeInRelativeCoords());
    EXPECT_EQ(stroked->pathTransform(), filled->pathTransform());
    EXPECT_EQ(mirrored->sharedPath(), element("m")->sharedPathForShapeInRelativeCoords());
    EXPECT_NE(rotated->sharedPath(), element("r")->sharedPathForShapeInRelativeCoords());
    EXPECT_TRUE(rotated->pathTransform().isIdentity());
    // Frames grown by half the default stroke width in user units, placed whole.
    EXPECT_EQ(filled->frame(), (gfx::Rect{49, 19, 22, 22}));
    EXPECT_EQ(mirrored->frame(), (gfx::Rect{29, 19, 22, 22}));
    for (const auto& shape : {stroked, mirrored}) {
        EXPECT_EQ(shape->placedPath()->boundingBox(), (gfx::Rect{1, 1, 20, 20}));
        EXPECT_DOUBLE_EQ(shape->lineWidth(), 2) << "in the layer's space";
    }
    for (const auto& shape : {filled, stroked, mirrored}) {
        EXPECT_TRUE(shape->contains({5, 5}));
        EXPECT_FALSE(shape->contains({0.5, 0.5}));
    }
}

// The shape keeps its path's box between builds; a new path (as the cut to the segment limit sets one)
// must not be drawn in the old one's frame, nor clipped by it in object units.
TEST(ShapeLayer, ANewPathReplacesTheBoxKeptForTheOldOne) {
    const auto document = parsed(R"s(<clipPath id="c" clipPathUnits="objectBoundingBox"><rect width="0.5" height="1"/></clipPath>
        <path id="p" d="M10 10H20V20H10z" clip-path="url(#c)"/>)s");
    auto element = document.element<BaseClassForAllSVGBasicShapes>("p");
    // Grown by half the default stroke, as every shape layer's frame.
    EXPECT_EQ(element->newLayer()->frame(), (gfx::Rect{9, 9, 12, 12}));
    EXPECT_EQ(element->pathBoundingBoxInRelativeCoords(), (gfx::Rect{10, 10, 10, 10}));
    gfx::Path moved;
    moved.addRect({40, 50, 20, 4});
    element->setPathForShapeInRelativeCoords(moved);
    EXPECT_EQ(element->pathBoundingBoxInRelativeCoords(), (gfx::Rect{40, 50, 20, 4}));
    EXPECT_EQ(element->newLayer()->frame(), (gfx::Rect{39, 49, 22, 6}));
    const auto tree = VellumLayerTree::newLayerWithElement(document.result->parsedDocument()->rootElement());
    ASSERT_EQ(tree->sublayers().size(), 1u);
    const auto& clip = tree->sublayers()[0]->mask();
    ASSERT_TRUE(clip);
    ASSERT_EQ(clip->sublayers().size(), 1u);
    // Half the new box's width and its height, grown by half a stroke scaled by the box (15 x 20 in the old).
    EXPECT_EQ(clip->sublayers()[0]->frame().size, (gfx::Size{30, 8}));
    element->setPathForShapeInRelativeCoords(std::nullopt);
    EXPECT_TRUE(element->pathBoundingBoxInRelativeCoords().isNull());
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
    EXPECT_EQ(shape("single")->lineDashPattern(), (std::vector<double>{5})) << "an odd list is repeated by the dasher";
    EXPECT_TRUE(shape("zeros")->lineDashPattern().empty());
}

// A stroke drawn in user space takes the path moved to its layer's origin; the shape keeps that copy for
// the next build, which must still follow a new width or a new path.
TEST(ShapeLayer, AStretchedStrokeKeepsItsMovedPathOnlyWhileItsPathAndOriginStay) {
    const auto document = parsed(R"s(<rect id="b" width="5" height="5" stroke="red" stroke-width="4" transform="scale(2 1)"/>)s", "");
    auto element = document.element<BaseClassForAllSVGBasicShapes>("b");
    const auto shape = [&] { return std::dynamic_pointer_cast<quartz::ShapeLayer>(element->newLayer()); };
    const auto first = shape(), second = shape();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->sharedPath(), second->sharedPath()) << "made once";
    EXPECT_NE(first->sharedPath(), element->sharedPathForShapeInRelativeCoords());
    EXPECT_TRUE(first->pathTransform().isIdentity());
    EXPECT_EQ(first->path()->boundingBox(), (gfx::Rect{2, 2, 5, 5}));
    EXPECT_EQ(element->pathForShapeInRelativeCoords()->boundingBox(), (gfx::Rect{0, 0, 5, 5})) << "its own path stays";
    element->setAttribute("stroke-width", "2");
    const auto thinner = shape();
    EXPECT_EQ(thinner->frame(), (gfx::Rect{-2, -1, 14, 7}));
    EXPECT_EQ(thinner->path()->boundingBox(), (gfx::Rect{1, 1, 5, 5}));
    gfx::Path moved;
    moved.addRect({40, 50, 20, 4});
    element->setPathForShapeInRelativeCoords(moved);
    EXPECT_EQ(shape()->path()->boundingBox(), (gfx::Rect{1, 1, 20, 4}));
    EXPECT_EQ(first->path()->boundingBox(), (gfx::Rect{2, 2, 5, 5})) << "a built layer keeps what it drew";
}

TEST(ShapeLayer, StrokeWidthsOfEveryFormReadAsLengthsDo) {
    // Plain numbers are read without making a length; each width must still be the length's.
    const std::vector<std::string> widths{"4", " 4 ", "4\t", "+4", "4e0", ".5e1", "0.1", "4px", "4 px", "4PX", "2e",
                                          "-3", "1e40", "1in", "abc", ""};
    std::string body;
    for (std::size_t index = 0; index < widths.size(); ++index) {
        body += R"(<line id="l)" + std::to_string(index) + R"(" x2="50" stroke="red" stroke-width=")" + widths[index] + R"("/>)";
    }
    const auto document = parsed(body, R"s( width="300" height="400")s");
    for (std::size_t index = 0; index < widths.size(); ++index) {
        const auto shape = std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, "l" + std::to_string(index)));
        ASSERT_TRUE(shape);
        const double length = widths[index].empty() ? 1 : SVGLength::svgLengthFromNSString(widths[index]).pixelsValue();
        if (length > 0) {
            EXPECT_EQ(shape->lineWidth(), length) << "'" << widths[index] << "'";
        } else {
            EXPECT_EQ(shape->strokeColor(), std::nullopt) << "'" << widths[index] << "' draws no stroke";
        }
    }
}

TEST(ShapeLayer, ALongDashListIsReadUpToTheLineEndAndAMinusAfterItStillMakesItSolid) {
    std::string ones;
    for (int index = 0; index < 1000; ++index) ones += "1 ";
    const auto document = parsed(R"(<line id="long" x2="40" stroke="red" stroke-dasharray=")" + ones + R"("/>)"
                                 R"(<line id="late" x2="40" stroke="red" stroke-dasharray=")" + ones + R"(-1"/>)",
                                 "");
    const auto shape = [&](std::string_view id) { return std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, id)); };
    EXPECT_EQ(shape("long")->lineDashPattern(), std::vector<double>(41, 1)) << "past 40 nothing shows";
    EXPECT_TRUE(shape("late")->lineDashPattern().empty());
}

TEST(ShapeLayer, DashesTakeUnitsAndAnOffsetAndTheMiterLimitDefaultsToFour) {
    const auto document = parsed(R"s(<g font-size="10">
        <line id="units" x2="50" stroke="red" stroke-dasharray="1in, 1em 10%" stroke-dashoffset="2pt"/>
        <line id="negative" x2="50" stroke="red" stroke-dasharray="4 -2" stroke-dashoffset="3"/>
        <line id="scaled" x2="50" stroke="red" stroke-dasharray="4 2" stroke-dashoffset="1" transform="scale(2)"/>
        <line id="plain" x2="50" stroke="red"/>
        <line id="ten" x2="50" stroke="red" stroke-miterlimit="10"/>
        <line id="words" x2="50" stroke="red" stroke-miterlimit="abc"/>
        <line id="small" x2="50" stroke="red" stroke-miterlimit="0.5"/>
        <line id="wide" x2="50" stroke="red" stroke-width="10%"/></g>)s",
                                 R"s( width="300" height="400")s");
    const auto shape = [&](std::string_view id) { return std::dynamic_pointer_cast<quartz::ShapeLayer>(layerOf(document, id)); };
    const double tenth = std::hypot(300, 400) / std::sqrt(2) / 10;
    const auto units = shape("units")->lineDashPattern();
    ASSERT_EQ(units.size(), 3u) << "three lengths, repeated by the dasher";
    EXPECT_NEAR(units[0], 96, 1e-3);
    EXPECT_NEAR(units[1], 10, 1e-3);
    EXPECT_NEAR(units[2], tenth, 1e-3);
    EXPECT_NEAR(shape("units")->lineDashPhase(), 8.0 / 3, 1e-3);
    EXPECT_TRUE(shape("negative")->lineDashPattern().empty()) << "a negative length makes the line solid";
    EXPECT_EQ(shape("negative")->lineDashPhase(), 0);
    EXPECT_EQ(shape("scaled")->lineDashPattern(), (std::vector<double>{8, 4}));
    EXPECT_EQ(shape("scaled")->lineDashPhase(), 2);
    EXPECT_EQ(shape("plain")->miterLimit(), 4);
    EXPECT_EQ(shape("ten")->miterLimit(), 10);
    EXPECT_EQ(shape("words")->miterLimit(), 4);
    EXPECT_EQ(shape("small")->miterLimit(), 4) << "a limit below 1 is invalid";
    EXPECT_NEAR(shape("wide")->lineWidth(), tenth, 1e-3) << "a percentage of the viewport's diagonal";
}

TEST(ShapeLayer, GradientPaintCarriesItsFillOrStrokeOpacity) {
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/>
        <stop offset="1" stop-color="blue"/></linearGradient>
        <rect id="both" x="10" y="10" width="20" height="20" fill="url(#g)" fill-opacity="25%"
              stroke="url(#g)" stroke-opacity="0.5" opacity="0.8"/>
        <rect id="invalid" x="10" y="10" width="20" height="20" fill="url(#g)" fill-opacity="1px"/>)s");
    auto both = layerOf(document, "both");
    ASSERT_EQ(both->sublayers().size(), 2u);
    EXPECT_TRUE(std::dynamic_pointer_cast<SVGGradientLayer>(both->sublayers()[0]));
    EXPECT_DOUBLE_EQ(both->sublayers()[0]->opacity(), 0.25);
    EXPECT_TRUE(std::dynamic_pointer_cast<SVGGradientLayer>(both->sublayers()[1]));
    EXPECT_DOUBLE_EQ(both->sublayers()[1]->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(both->opacity(), 0.8);
    auto invalid = layerOf(document, "invalid");
    ASSERT_EQ(invalid->sublayers().size(), 2u);
    EXPECT_EQ(invalid->sublayers()[0]->opacity(), 1);
}

TEST(ShapeLayer, TheElementsOpacityIsOnItsOneLayer) {
    const auto document = parsed(R"s(<rect id="half" width="5" height="5" opacity="0.5" stroke="red"/>
        <rect id="skewed" width="5" height="5" opacity="25%" stroke="red" transform="skewX(30)"/>
        <rect id="words" width="5" height="5" opacity="half"/>
        <g opacity="0.5"><rect id="inner" width="5" height="5"/></g>)s");
    EXPECT_DOUBLE_EQ(layerOf(document, "half")->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(layerOf(document, "skewed")->opacity(), 0.25) << "stroked in its user space";
    EXPECT_EQ(layerOf(document, "words")->opacity(), 1) << "no number: the default";
    EXPECT_EQ(layerOf(document, "inner")->opacity(), 1) << "a group's opacity is the group layer's, not inherited";
}

TEST(ShapeLayer, GradientFillsAndStrokesBuildAContainer) {
    VellumLogCapture log;
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/>
        <stop offset="1" stop-color="blue"/></linearGradient>
        <rect id="filled" x="10" y="10" width="20" height="20" fill="url(#g)" stroke="black" opacity="0.5"/>
        <rect id="missing" width="5" height="5" fill="url(#nothing)"/>
        <line id="flat" x1="0" y1="5" x2="50" y2="5" stroke="url(#g) lime"/>
        <rect id="turned" x="10" y="10" width="20" height="20" fill="url(#g)" stroke="black" transform="rotate(30)"/>
        <rect id="stretched" x="10" y="10" width="20" height="20" stroke="url(#g)" transform="scale(2 1)"/>)s");
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

    // Stroked shapes whose points are placed (turned, stretched) hand the same outline to the gradient's
    // mask and to the layer that fills beside a gradient stroke: a stretched one's mask strokes it in user
    // space, placed by its layer's transform, as a solid stroke is.
    for (const char* id : {"turned", "stretched"}) {
        const auto parts = layerOf(document, id)->sublayers();
        ASSERT_EQ(parts.size(), 2u) << id;
        const auto shapeOf = [](const quartz::Layer& part) {
            return dynamic_cast<const quartz::ShapeLayer*>(part.mask() ? part.mask().get() : &part);
        };
        const auto *fills = shapeOf(*parts[0]), *strokes = shapeOf(*parts[1]);
        ASSERT_TRUE(fills && strokes && fills->path() && strokes->path()) << id;
        const gfx::Rect filled = fills->placedPath()->boundingBox();
        const gfx::Rect stroked = strokes->placedPath()->boundingBox(strokes->transformToSuperlayer());
        for (auto [a, b] : {std::pair{filled.minX(), stroked.minX()}, {filled.minY(), stroked.minY()},
                            {filled.maxX(), stroked.maxX()}, {filled.maxY(), stroked.maxY()}})
            EXPECT_NEAR(a, b, 1e-9) << id;
        EXPECT_NEAR(strokes->lineWidth(), 1, 1e-9) << id;
    }
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

TEST(BasicShapes, NegativeSizesDrawNothingAndALoneRadiusServesForBoth) {
    const auto document = parsed(R"s(<circle id="negativeR" cx="10" cy="10" r="-5"/>
        <rect id="negativeWidth" width="-10" height="10"/><rect id="negativeHeight" width="10" height="-10"/>
        <ellipse id="loneRx" cx="20" cy="20" rx="5"/><ellipse id="loneRy" cx="20" cy="20" ry="6"/>
        <ellipse id="negativeRx" cx="20" cy="20" rx="-3" ry="4"/><ellipse id="bothNegative" rx="-3" ry="-4"/>
        <rect id="cornerRy" width="20" height="20" ry="4"/><rect id="cornerNegative" width="20" height="20" rx="-4"/>
        <rect id="cornerPercent" width="40" height="40" rx="10%" ry="5%"/>)s",
                                 R"s( width="200" height="100")s");
    const auto path = [&](std::string_view id) {
        return *document.element<BaseClassForAllSVGBasicShapes>(id)->pathForShapeInRelativeCoords();
    };
    EXPECT_TRUE(path("negativeR").isEmpty());
    EXPECT_TRUE(path("negativeWidth").isEmpty());
    EXPECT_TRUE(path("negativeHeight").isEmpty());
    EXPECT_TRUE(path("bothNegative").isEmpty());
    EXPECT_EQ(path("loneRx").boundingBox(), (gfx::Rect{15, 15, 10, 10}));
    EXPECT_EQ(path("loneRy").boundingBox(), (gfx::Rect{14, 14, 12, 12}));
    EXPECT_EQ(path("negativeRx").boundingBox(), (gfx::Rect{16, 16, 8, 8})) << "a negative radius counts as absent";
    EXPECT_EQ(path("cornerRy").elements()[0].points[0], (gfx::Point{4, 0}));
    EXPECT_EQ(path("cornerNegative").elements().size(), 5u) << "a plain rectangle";
    // Percentages of the viewport's width and height: 20 and 5.
    EXPECT_EQ(path("cornerPercent").elements()[0].points[0], (gfx::Point{20, 0}));
}

TEST(BasicShapes, LengthsInEmAndExFollowTheFontSizeAndMalformedUnitsCountAsZero) {
    const auto document = parsed(R"s(<g font-size="10"><g style="font-size: 2em">
        <rect id="em" x="1em" width="2em" height="1ex"/></g>
        <rect id="percentFont" font-size="50%" width="2em" height="1em"/></g>
        <rect id="default" width="1em" height="1em"/>
        <rect id="malformed" x="20qq" width="10" height="10"/><circle id="spaced" r="10 px"/>)s");
    const auto path = [&](std::string_view id) {
        return *document.element<BaseClassForAllSVGBasicShapes>(id)->pathForShapeInRelativeCoords();
    };
    EXPECT_EQ(path("em").boundingBox(), (gfx::Rect{20, 0, 40, 10}));
    EXPECT_EQ(path("percentFont").boundingBox(), (gfx::Rect{0, 0, 10, 5}));
    EXPECT_EQ(path("default").boundingBox(), (gfx::Rect{0, 0, 16, 16})) << "16 where no element gives a size";
    EXPECT_EQ(path("malformed").boundingBox(), (gfx::Rect{0, 0, 10, 10}));
    EXPECT_TRUE(path("spaced").isEmpty());
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
        <linearGradient id="c"><stop offset="2" stop-color="red" stop-opacity="0.5"/></linearGradient>
        <linearGradient id="d"><stop stop-opacity="25%"/><stop stop-opacity="0.1mm"/></linearGradient>)s");
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
    const auto d = document.element<SVGGradientElement>("d");
    EXPECT_EQ(d->stops().at(0)->stopColor().a, 63) << "a percentage";
    EXPECT_EQ(d->stops().at(1)->stopColor().a, 255) << "no opacity: the default";
}

TEST(Gradients, StopOpacitiesPastAnIntSaturate) {
    const auto document = parsed(R"s(<linearGradient id="a"><stop stop-opacity="1e20"/><stop stop-opacity="-1e20"/>
        <stop stop-opacity="1.5"/></linearGradient>)s");
    const auto stops = document.element<SVGGradientElement>("a")->stops();
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0]->stopColor().a, 255);
    EXPECT_EQ(stops[1]->stopColor().a, 0);
    EXPECT_EQ(stops[2]->stopColor().a, 255);  // clamped to 1, as browsers do
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

// A reference chain passes stops, units, transform and spread along any gradient, and geometry only
// between gradients of one kind, skipping over the other kind; the plain href wins over the XLink one.
TEST(Gradients, ReferencesPassGeometryOnlyWithinAKind) {
    const auto document = parsed(R"s(<linearGradient id="line" x1="0.3" gradientTransform="scale(2)" spreadMethod="reflect">
        <stop offset="0" stop-color="red"/></linearGradient>
        <radialGradient id="hop" cx="0.1" r="0.2" xlink:href="#line"/>
        <linearGradient id="through" xlink:href="#hop"/>
        <radialGradient id="blue"><stop offset="0" stop-color="blue"/></radialGradient>
        <linearGradient id="plain" href="#blue" xlink:href="#line"/>
        <linearGradient id="other" xmlns:x="urn:x" x:href="#line"/>)s");
    auto hop = document.element<SVGRadialGradientElement>("hop");
    hop->synthesizeProperties();
    EXPECT_EQ(hop->stops().size(), 1u);
    EXPECT_FALSE(hop->hasAttribute("x1")) << "a linear gradient's ends mean nothing to a radial one";
    EXPECT_EQ(hop->spreadMethod(), 2u);
    EXPECT_EQ(hop->transform(), gfx::AffineTransform::scale(2, 2)) << "an inherited transform applies";
    auto through = document.element<SVGLinearGradientElement>("through");
    through->synthesizeProperties();
    EXPECT_EQ(through->getAttribute("x1"), "0.3") << "passed on past the radial gradient";
    EXPECT_FALSE(through->hasAttribute("cx"));
    auto plain = document.element<SVGLinearGradientElement>("plain");
    plain->synthesizeProperties();
    ASSERT_EQ(plain->stops().size(), 1u);
    EXPECT_EQ(plain->stops()[0]->stopColor(), (SVGColor{0, 0, 255, 255}));
    auto other = document.element<SVGLinearGradientElement>("other");
    other->synthesizeProperties();
    EXPECT_TRUE(other->stops().empty()) << "an href outside the XLink namespace names nothing";
}

TEST(Gradients, LinearDefaultsRunAcrossTheObject) {
    const auto document = parsed(R"s(<linearGradient id="g"><stop offset="0"/><stop offset="1"/></linearGradient>)s");
    auto layer = document.element<SVGLinearGradientElement>("g")->newGradientLayerForObjectRect({0, 0, 100, 50}, SVGRectUninitialized(), {});
    EXPECT_EQ(layer->startPoint(), (gfx::Point{0, 0}));
    EXPECT_EQ(layer->endPoint(), (gfx::Point{1, 0}));
    EXPECT_EQ(layer->createCGGradient()->stops().size(), 2u);
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
