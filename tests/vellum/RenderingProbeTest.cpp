// Pixel probes: each feature drawn small and read back at points whose colour is certain.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "RenderTestSupport.h"
#include "TestSeed.h"
#include "vellum/SVGSVGElement.h"

namespace {

const RGBA red{255, 0, 0, 255}, blue{0, 0, 255, 255}, lime{0, 255, 0, 255}, black{0, 0, 0, 255}, clear{};

gfx::Bitmap draw(const std::string& body, double size = 100, const std::string& attributes = R"s( viewBox="0 0 100 100")s") {
    return renderSVG(svgHeader + attributes + ">" + body + "</svg>", size, size);
}

#define EXPECT_PIXEL(bitmap, x, y, expected) \
    EXPECT_PRED2(nearPixel, pixelAt(bitmap, x, y), expected) << "at (" << (x) << ", " << (y) << ")"

TEST(RenderingProbe, BasicShapesFillTheirGeometry) {
    const auto image = draw(R"s(<rect x="10" y="10" width="30" height="20" fill="red"/>
        <circle cx="70" cy="25" r="15" fill="blue"/>
        <ellipse cx="25" cy="70" rx="20" ry="8" fill="lime"/>
        <polygon points="60,60 90,60 90,90" fill="black"/>)s");
    EXPECT_PIXEL(image, 25, 20, red);
    EXPECT_PIXEL(image, 9, 9, clear);
    EXPECT_PIXEL(image, 70, 25, blue);
    EXPECT_PIXEL(image, 58, 12, clear) << "outside the circle's corner";
    EXPECT_PIXEL(image, 10, 70, lime);
    EXPECT_PIXEL(image, 25, 80, clear);
    EXPECT_PIXEL(image, 85, 70, black);
    EXPECT_PIXEL(image, 65, 85, clear) << "the polygon closes along the diagonal";
}

TEST(RenderingProbe, StrokesFollowWidthCapsAndDashes) {
    const auto image = draw(R"s(<line x1="10" y1="20" x2="90" y2="20" stroke="blue" stroke-width="6"/>
        <line x1="10" y1="50" x2="90" y2="50" stroke="red" stroke-width="6" stroke-linecap="square"/>
        <line x1="10" y1="80" x2="90" y2="80" stroke="black" stroke-width="4" stroke-dasharray="10 10"/>
        <polyline points="5,95 50,95" fill="none" stroke="lime" stroke-width="2"/>)s");
    EXPECT_PIXEL(image, 50, 18, blue);
    EXPECT_PIXEL(image, 50, 24, clear);
    EXPECT_PIXEL(image, 8, 20, clear) << "butt caps end at the line's end";
    EXPECT_PIXEL(image, 8, 50, red) << "square caps reach half the width beyond";
    EXPECT_PIXEL(image, 15, 80, black);
    EXPECT_PIXEL(image, 25, 80, clear) << "a gap of the dash pattern";
    EXPECT_PIXEL(image, 35, 80, black);
    EXPECT_PIXEL(image, 30, 95, lime);
}

TEST(RenderingProbe, OpacitiesAndTheFillOpacityWithoutAFill) {
    const auto image = draw(R"s(<rect width="50" height="50" fill="red" fill-opacity="0.5"/>
        <rect x="50" width="50" height="50" fill-opacity="0.5"/>
        <g opacity="0.5"><rect y="50" width="50" height="50" fill="blue" stroke="blue" stroke-width="10"/></g>
        <rect x="50" y="50" width="50" height="50" fill="none" stroke="red"/>)s");
    EXPECT_PIXEL(image, 25, 25, (RGBA{255, 0, 0, 127}));
    // Fill opacity alone paints the default black at that opacity.
    EXPECT_PIXEL(image, 75, 25, (RGBA{0, 0, 0, 127}));
    // The group's opacity covers fill and stroke together: no darker band where they overlap.
    EXPECT_PIXEL(image, 25, 75, (RGBA{0, 0, 255, 128}));
    EXPECT_PIXEL(image, 2, 52, (RGBA{0, 0, 255, 128}));
    EXPECT_PIXEL(image, 75, 75, clear) << "fill none";
}

TEST(RenderingProbe, FillRulesAndPathData) {
    const auto image = draw(R"s(<path fill-rule="evenodd" fill="red" d="M10 10h80v80h-80z M30 30h40v40h-40z"/>)s");
    EXPECT_PIXEL(image, 20, 20, red);
    EXPECT_PIXEL(image, 50, 50, clear) << "the inner square is a hole under even-odd";
    const auto winding = draw(R"s(<path fill="red" d="M10 10h80v80h-80zM30 30h40v40h-40z"/>)s");
    EXPECT_PIXEL(winding, 50, 50, red);
    const auto arcs = draw(R"s(<path fill="blue" d="M10 50a40 40 0 0 1 80 0z"/>)s");
    EXPECT_PIXEL(arcs, 50, 30, blue);
    EXPECT_PIXEL(arcs, 50, 60, clear);
}

TEST(RenderingProbe, TransformsAndNestedGroups) {
    const auto image = draw(R"s(<g transform="translate(50 0)"><g transform="scale(2)">
        <rect width="10" height="10" fill="red"/></g></g>
        <rect x="10" y="60" width="20" height="20" fill="blue" transform="rotate(45 20 70)"/>)s");
    EXPECT_PIXEL(image, 65, 15, red);
    EXPECT_PIXEL(image, 45, 5, clear);
    EXPECT_PIXEL(image, 20, 70, blue);
    EXPECT_PIXEL(image, 11, 61, clear) << "the rotated square's corner moved away";
    EXPECT_PIXEL(image, 20, 58, blue) << "and a tip reaches above";
}

TEST(RenderingProbe, UseElementsPlaceTheirCopyAtXAndY) {
    const auto image = draw(R"s(<defs><rect id="r" width="20" height="20" fill="red"/></defs>
        <use xlink:href="#r" x="10" y="10"/>
        <use xlink:href="#r" transform="translate(60 0)" y="60"/>)s");
    EXPECT_PIXEL(image, 20, 20, red);
    EXPECT_PIXEL(image, 5, 5, clear) << "the definition itself draws nothing";
    EXPECT_PIXEL(image, 70, 70, red);
}

TEST(RenderingProbe, DefsAndClipPathContentDrawNothingWhereTheyStand) {
    const auto image = draw(R"s(<defs><rect width="100" height="100" fill="red"/></defs>
        <clipPath id="c"><rect width="50" height="100"/></clipPath>
        <rect width="100" height="100" fill="blue" clip-path="url(#c)"/>)s");
    EXPECT_PIXEL(image, 25, 50, blue);
    EXPECT_PIXEL(image, 75, 50, clear) << "clipped away, and neither defs nor the clip content shows";
}

TEST(RenderingProbe, ClipPathsOnGroupsWithTransforms) {
    const auto image = draw(R"s(<clipPath id="c"><circle cx="50" cy="50" r="30"/></clipPath>
        <g clip-path="url(#c)" transform="translate(10)"><rect x="-10" width="100" height="100" fill="lime"/></g>)s");
    EXPECT_PIXEL(image, 60, 50, lime);
    EXPECT_PIXEL(image, 60, 15, clear);
    EXPECT_PIXEL(image, 5, 5, clear);
}

// A stroke under a stretch or a skew is drawn in its own user space; its clip still lands where the
// document puts it, not carried through that space a second time.
TEST(RenderingProbe, ClipPathsOnStrokesUnderAStretchOrASkew) {
    const auto image = draw(R"s(<clipPath id="c"><rect x="10" width="20" height="100"/></clipPath>
        <path d="M0 25H50" stroke="blue" stroke-width="10" transform="scale(2 1)" clip-path="url(#c)"/>
        <path d="M0 0H50" stroke="lime" stroke-width="10" transform="translate(0 60) skewX(30)" clip-path="url(#c)"/>)s");
    EXPECT_PIXEL(image, 25, 25, blue);
    EXPECT_PIXEL(image, 55, 25, blue);
    EXPECT_PIXEL(image, 15, 25, clear);
    EXPECT_PIXEL(image, 65, 25, clear);
    EXPECT_PIXEL(image, 20, 60, lime);
    EXPECT_PIXEL(image, 5, 60, clear);
    EXPECT_PIXEL(image, 35, 60, clear);
}

// The content of a clip path inherits from where the clip path stands, not from the element it clips.
TEST(RenderingProbe, ClipPathContentInheritsFromItsOwnAncestors) {
    const auto image = draw(R"s(<clipPath id="c"><path d="M0 0H100V100H0Z M25 25H75V75H25Z"/></clipPath>
        <rect width="100" height="100" fill="lime" clip-rule="evenodd" clip-path="url(#c)"/>)s");
    EXPECT_PIXEL(image, 10, 10, lime);
    EXPECT_PIXEL(image, 50, 50, lime) << "the clip path's own rule, nonzero, keeps the middle";
}

// A part of a clip path keeps its own clip path under the clip path's own: both cut it.
TEST(RenderingProbe, APartOfAClipPathKeepsItsOwnClipUnderTheClipPathsClip) {
    const auto image = draw(R"s(<clipPath id="left"><rect width="50" height="100"/></clipPath>
        <clipPath id="top"><rect width="100" height="50"/></clipPath>
        <clipPath id="c" clip-path="url(#top)"><rect width="100" height="100" clip-path="url(#left)"/></clipPath>
        <rect width="100" height="100" fill="blue" clip-path="url(#c)"/>)s");
    EXPECT_PIXEL(image, 25, 25, blue);
    EXPECT_PIXEL(image, 75, 25, clear) << "the part's own clip path still cuts it";
    EXPECT_PIXEL(image, 25, 75, clear);
}

// A clip path's content may be use elements, whose layers are not fitted around the copies they hold.
TEST(RenderingProbe, UseElementsInAClipPathClipAsTheirCopiesStand) {
    const auto image = draw(R"s(<defs><rect id="r" x="10" y="10" width="30" height="30"/>
        <rect id="s" x="60" y="10" width="10" height="30"/></defs>
        <clipPath id="c"><use xlink:href="#r"/><use xlink:href="#s" x="20"/><use xlink:href="#s"/></clipPath>
        <rect width="100" height="50" fill="blue" clip-path="url(#c)"/>
        <rect width="100" height="50" fill="lime" clip-path="url(#c)" transform="translate(0 50)"/>)s");
    EXPECT_PIXEL(image, 25, 25, blue);
    EXPECT_PIXEL(image, 65, 25, blue);
    EXPECT_PIXEL(image, 85, 25, blue);
    EXPECT_PIXEL(image, 75, 25, clear);
    EXPECT_PIXEL(image, 5, 5, clear);
    EXPECT_PIXEL(image, 25, 75, lime);
    EXPECT_PIXEL(image, 85, 75, lime);
    EXPECT_PIXEL(image, 75, 75, clear);
}

// Clip paths each clipped by the next cut what they clip as the same clip paths nested in groups do, for
// elements at several places and in a moved group alike.
TEST(RenderingProbe, AClipChainCutsAsItsClipPathsNestedInGroups) {
    constexpr int levels = 10;
    std::string chained, nested;
    for (int level = 0; level < levels; ++level) {
        // Three overlapping parts leaving out a band of their own, horizontal or upright by turns.
        const int band = 5 + 9 * level;
        const bool across = level % 2 == 0;
        const auto strip = [&](int from, int to) {
            const std::string start = std::to_string(from), size = std::to_string(to - from);
            return across ? "<rect y=\"" + start + "\" width=\"100\" height=\"" + size + "\"/>"
                          : "<rect x=\"" + start + "\" width=\"" + size + "\" height=\"100\"/>";
        };
        const std::string parts = strip(0, band) + strip(band + 4, 100) + R"(<circle cx="50" cy="50" r="9"/>)";
        const std::string id = std::to_string(level);
        const std::string next = level + 1 < levels ? " clip-path=\"url(#c" + std::to_string(level + 1) + ")\"" : "";
        chained += "<clipPath id=\"c" + id + "\"" + next + ">" + parts + "</clipPath>";
        nested += "<clipPath id=\"c" + id + "\">" + parts + "</clipPath>";
    }
    const std::vector<std::string> shapes{R"(<rect x="2" y="3" width="40" height="45" fill="blue")",
                                          R"(<rect x="45" y="40" width="50" height="55" fill="lime")",
                                          R"(<circle cx="70" cy="25" r="22" fill="red")",
                                          R"(<rect width="100" height="100" fill="black" fill-opacity="0.3")"};
    for (const std::string& shape : shapes) chained += shape + R"~( clip-path="url(#c0)"/>)~";
    chained += R"~(<g transform="translate(6 9)"><rect x="20" y="50" width="30" height="30" fill="red" clip-path="url(#c0)"/></g>)~";
    const auto inGroups = [&](const std::string& element) {
        std::string text;
        for (int level = 0; level < levels; ++level) text += "<g clip-path=\"url(#c" + std::to_string(level) + ")\">";
        text += element;
        for (int level = 0; level < levels; ++level) text += "</g>";
        return text;
    };
    for (const std::string& shape : shapes) nested += inGroups(shape + "/>");
    nested += R"~(<g transform="translate(6 9)">)~" + inGroups(R"(<rect x="20" y="50" width="30" height="30" fill="red"/>)") +
              "</g>";

    const auto fromChain = draw(chained), fromGroups = draw(nested);
    ASSERT_EQ(fromChain.width, fromGroups.width);
    int differing = 0, painted = 0;
    for (int y = 0; y < fromChain.height; ++y) {
        for (int x = 0; x < fromChain.width; ++x) {
            painted += pixelAt(fromGroups, x, y).a > 0;
            differing += !near(pixelAt(fromChain, x, y), pixelAt(fromGroups, x, y), 24);
        }
    }
    EXPECT_GT(painted, 2000) << "the bands leave most of the picture drawn";
    EXPECT_LE(differing, 100) << "only antialiased edges may differ";
}

TEST(RenderingProbe, LinearGradientsRunAlongTheObject) {
    const auto image = draw(R"s(<linearGradient id="g"><stop offset="0" stop-color="red"/>
        <stop offset="1" stop-color="blue"/></linearGradient>
        <rect x="0" y="0" width="100" height="50" fill="url(#g)"/>
        <linearGradient id="v" x1="0" y1="0" x2="0" y2="1"><stop offset="0.5" stop-color="lime"/>
        <stop offset="0.5" stop-color="black"/></linearGradient>
        <rect x="0" y="50" width="100" height="50" fill="url(#v)"/>)s");
    EXPECT_PIXEL(image, 1, 25, (RGBA{252, 0, 3, 255}));
    const RGBA middle = pixelAt(image, 50, 25);
    EXPECT_NEAR(middle.r, 128, 6);
    EXPECT_NEAR(middle.b, 128, 6);
    EXPECT_PIXEL(image, 50, 60, lime);
    EXPECT_PIXEL(image, 50, 90, black) << "equal offsets switch colour sharply";
}

TEST(RenderingProbe, RadialGradientsAndUserSpaceUnits) {
    const auto image = draw(R"s(<radialGradient id="g"><stop offset="0" stop-color="red"/>
        <stop offset="1" stop-color="blue"/></radialGradient>
        <circle cx="50" cy="50" r="40" fill="url(#g)"/>)s");
    EXPECT_GT(pixelAt(image, 50, 50).r, 245) << "the centre is the first stop";
    EXPECT_GT(pixelAt(image, 50, 86).b, 215) << "near the radius the last";
    EXPECT_NEAR(pixelAt(image, 70, 50).r, 128, 8) << "half way between";
    const auto user = draw(R"s(<linearGradient id="u" gradientUnits="userSpaceOnUse" x1="0" x2="100" y1="0" y2="0">
        <stop offset="0.5" stop-color="red"/><stop offset="0.5" stop-color="blue"/></linearGradient>
        <rect x="25" y="0" width="50" height="100" fill="url(#u)"/>)s");
    EXPECT_PIXEL(user, 45, 50, red) << "user space: the switch is at x 50 of the document, not of the object";
    EXPECT_PIXEL(user, 55, 50, blue);
}

TEST(RenderingProbe, UserSpaceGradientNumbersBelowOneAreCoordinatesNotFractions) {
    // A dot of a radial gradient (a bird's eye on a flag) padded its last stop over a shape far away.
    const auto image = draw(R"s(<radialGradient id="dot" gradientUnits="userSpaceOnUse" cx="10" cy="10" r=".3">
        <stop offset=".3" stop-color="red"/><stop offset="1" stop-color="blue"/></radialGradient>
        <rect x="20" width="80" height="50" fill="url(#dot)"/>
        <linearGradient id="edge" gradientUnits="userSpaceOnUse" x1="0" x2=".5" y1="0" y2="0">
        <stop offset="0" stop-color="lime"/><stop offset="1" stop-color="black"/></linearGradient>
        <rect y="50" width="100" height="25" fill="url(#edge)"/>
        <linearGradient id="half" gradientUnits="userSpaceOnUse" x2="50%">
        <stop offset="0.5" stop-color="red"/><stop offset="0.5" stop-color="blue"/></linearGradient>
        <rect y="75" width="100" height="25" fill="url(#half)"/>)s");
    EXPECT_PIXEL(image, 30, 25, blue) << "outside a radius of 0.3 units the last stop pads";
    EXPECT_PIXEL(image, 90, 25, blue);
    EXPECT_PIXEL(image, 10, 62, black) << "the gradient ends half a unit in";
    EXPECT_PIXEL(image, 20, 87, red) << "a percentage still measures the viewport";
    EXPECT_PIXEL(image, 30, 87, blue);
}

TEST(RenderingProbe, GradientsInheritStopsAndAttributesThroughHref) {
    const auto image = draw(R"s(<linearGradient id="base"><stop offset="0.5" stop-color="red"/>
        <stop offset="0.5" stop-color="blue"/></linearGradient>
        <linearGradient id="turned" xlink:href="#base" x2="0" y2="1"/>
        <rect width="100" height="100" fill="url(#turned)"/>)s");
    EXPECT_PIXEL(image, 90, 20, red);
    EXPECT_PIXEL(image, 10, 80, blue);
}

TEST(RenderingProbe, StrokeGradientsAndTheirFallback) {
    const auto image = draw(R"s(<linearGradient id="g"><stop offset="0" stop-color="lime"/>
        <stop offset="1" stop-color="lime"/></linearGradient>
        <rect x="20" y="20" width="60" height="60" fill="red" stroke="url(#g)" stroke-width="10"/>
        <line x1="0" y1="5" x2="100" y2="5" stroke="url(#missing) blue" stroke-width="4"/>)s");
    EXPECT_PIXEL(image, 50, 50, red);
    EXPECT_PIXEL(image, 20, 50, lime);
    EXPECT_PIXEL(image, 50, 5, blue) << "a missing gradient falls back to the colour after it";
}

// Dashes ending on corners and turn-backs end there under a quarter turn too, whose sines and cosines are a
// hair from whole: drawn as the same path turned by hand.
TEST(RenderingProbe, DashesUnderAQuarterTurnEndWhereTheyEndUnturned) {
    const std::string style = R"s(" fill="none" stroke="black" stroke-width="20" stroke-dasharray="5"
        stroke-dashoffset="10" stroke-linecap="square" stroke-linejoin="bevel")s";
    const auto turned = draw(R"s(<path transform="rotate(90 50 50)" d="M30 40 L90 40 Z)s" + style + "/>");
    const auto byHand = draw(R"s(<path d="M60 30 L60 90 Z)s" + style + "/>");
    int apart = 0;
    for (int y = 0; y < turned.height; ++y)
        for (int x = 0; x < turned.width; ++x) apart += std::abs(int(turned.pixel(x, y) >> 24) - int(byHand.pixel(x, y) >> 24)) > 128;
    EXPECT_EQ(apart, 0);
}

// A gradient's stroke covers what a colour's covers, whatever the transform, caps, joins and units: random
// strokes (lines along an axis among them) turned, stretched and skewed, each drawn both ways.
TEST(RenderingProbe, GradientStrokesCoverWhatTheirColourTwinsCover) {
    std::mt19937 random(sorvane::testing::testSeed(20261214));
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(random)); };
    auto number = [&](int low, int high) { return std::to_string(low + pick(high - low + 1)); };
    const char* transforms[] = {"", "rotate(33 50 50)", "translate(50 50) scale(1.8 0.5) translate(-50 -50)",
                                "skewX(25)", "translate(50 50) rotate(70) scale(0.6 1.4) skewY(-20) translate(-50 -50)"};
    const char* caps[] = {"butt", "round", "square"};
    const char* joins[] = {"miter", "round", "bevel"};
    for (int i = 0; i < 40; ++i) {
        std::string d = "M" + number(15, 85) + " " + number(15, 85);
        if (pick(3) == 0) {
            d += pick(2) ? " H" + number(15, 85) : " V" + number(15, 85);
        } else {
            for (int k = 0; k < 1 + pick(3); ++k)
                d += pick(2) ? " L" + number(15, 85) + " " + number(15, 85)
                             : " Q" + number(0, 100) + " " + number(0, 100) + " " + number(15, 85) + " " + number(15, 85);
        }
        // A box without width or height has a bounding-box gradient paint nothing: curves have area.
        const std::string units = d.find('Q') != std::string::npos && pick(2) ? "objectBoundingBox" : "userSpaceOnUse";
        const std::string style = std::string(R"s(" fill="none" stroke-width=")s") + number(2, 14) + R"s(" stroke-linecap=")s" +
                                  caps[pick(3)] + R"s(" stroke-linejoin=")s" + joins[pick(3)] + R"s(" stroke-miterlimit=")s" +
                                  number(1, 8) + R"s(" transform=")s" + transforms[pick(5)] + R"s("/>)s";
        const auto twin = draw(R"s(<path stroke="blue" d=")s" + d + style);
        const auto painted = draw(R"s(<linearGradient id="g" x1="0" x2="1" gradientUnits=")s" + units +
                                  R"s("><stop offset="0" stop-color="red"/><stop offset="1" stop-color="blue"/></linearGradient>
            <path stroke="url(#g)" d=")s" + d + style);
        int apart = 0;
        for (int y = 0; y < twin.height; ++y)
            for (int x = 0; x < twin.width; ++x) apart += std::abs(int(twin.pixel(x, y) >> 24) - int(painted.pixel(x, y) >> 24)) > 128;
        EXPECT_EQ(apart, 0) << "drawing " << i << ": " << d << style << " " << units;
    }
}

// References are found through the document's index, made afresh for each drawing: in use copies, to ids
// written after them, to the first of two elements of one id, and to an id that has gone since the last drawing.
TEST(RenderingProbe, ReferencesThroughCopiesFindTheFirstOfTheirIdOrFallBack) {
    auto result = parseSVG(svgHeader + R"s( viewBox="0 0 100 200"><defs><g id="copied">
        <rect width="50" height="50" fill="url(#present) red"/><rect x="50" width="50" height="50" fill="url(#absent) blue"/>
        <rect y="50" width="100" height="50" fill="red" clip-path="url(#left)"/></g></defs>
        <use xlink:href="#copied"/><use xlink:href="#copied" transform="translate(0 100)"/>
        <linearGradient id="present"><stop stop-color="lime"/></linearGradient>
        <linearGradient id="present"><stop stop-color="black"/></linearGradient>
        <clipPath id="left"><rect width="50" height="100"/></clipPath></svg>)s");
    auto& document = *result->parsedDocument();
    const auto first = vellum::VellumLayerTree::renderDocument(document, {100, 200}, 1, nullptr);
    for (const int top : {0, 100}) {
        EXPECT_PIXEL(first, 25, top + 25, lime);
        EXPECT_PIXEL(first, 75, top + 25, blue);
        EXPECT_PIXEL(first, 25, top + 75, red);
        EXPECT_PIXEL(first, 75, top + 75, clear) << "clipped away";
    }
    document.rootElement()->getElementById("present")->setAttribute("id", "gone");
    document.rootElement()->getElementById("left")->setAttribute("id", "gone too");
    const auto second = vellum::VellumLayerTree::renderDocument(document, {100, 200}, 1, nullptr);
    EXPECT_PIXEL(second, 25, 125, black) << "the second of the id, now the only one";
    EXPECT_PIXEL(second, 75, 175, red) << "nothing clips";
}

TEST(RenderingProbe, StylesAndStyleSheetsPaint) {
    const auto image = draw(R"s(<style>.a { fill: blue } #b { fill: lime }</style>
        <rect class="a" width="50" height="50" fill="red"/>
        <rect id="b" x="50" width="50" height="50"/>
        <g fill="red"><rect y="50" width="50" height="50" style="fill: black"/>
        <rect x="50" y="50" width="50" height="50"/></g>)s");
    EXPECT_PIXEL(image, 25, 25, blue);
    EXPECT_PIXEL(image, 75, 25, lime);
    EXPECT_PIXEL(image, 25, 75, black);
    EXPECT_PIXEL(image, 75, 75, red) << "inherited from the group";
}

TEST(RenderingProbe, ViewBoxOriginAndMeetAlignment) {
    // No width and height: the view box origin still moves the content (fitted to the image size).
    const auto shifted = renderSVG(svgHeader + R"s( viewBox="100 100 100 100"><rect x="100" y="100" width="50" height="50" fill="red"/></svg>)s", 100, 100);
    EXPECT_PIXEL(shifted, 25, 25, red);
    EXPECT_PIXEL(shifted, 75, 75, clear);
    // A wide image of a square view box: centred at uniform scale.
    const auto wide = renderSVG(svgHeader + R"s( viewBox="0 0 10 10"><rect width="10" height="10" fill="blue"/></svg>)s", 200, 100);
    EXPECT_PIXEL(wide, 100, 50, blue);
    EXPECT_PIXEL(wide, 25, 50, clear);
    EXPECT_PIXEL(wide, 175, 50, clear);
    const auto tall = renderSVG(svgHeader + R"s( viewBox="0 0 10 10"><rect width="10" height="10" fill="blue"/></svg>)s", 100, 200);
    EXPECT_PIXEL(tall, 50, 100, blue);
    EXPECT_PIXEL(tall, 50, 25, clear);
    EXPECT_PIXEL(tall, 50, 175, clear);
}

TEST(RenderingProbe, AViewBoxWithAnOriginDrawnAtAnotherSizeIsFittedThenScaled) {
    // The size's scale went before the view box's move: at 200 px the band was drawn 80 px low.
    const std::string text = svgHeader + R"s( width="100" height="100" viewBox="0 80 100 100">)s"
                             R"s(<rect y="80" width="100" height="20" fill="red"/><rect y="160" width="100" height="20" fill="blue"/></svg>)s";
    for (const int size : {100, 200, 400}) {
        const auto image = renderSVG(text, size, size);
        const int fifth = size / 5;
        EXPECT_PIXEL(image, size / 2, fifth / 2, red) << size;
        EXPECT_PIXEL(image, size / 2, fifth + fifth / 2, clear) << size;
        EXPECT_PIXEL(image, size / 2, 4 * fifth + fifth / 2, blue) << size;
    }
}

TEST(RenderingProbe, PercentagesResolveAgainstTheViewBox) {
    const auto image = draw(R"s(<rect x="50%" y="0" width="50%" height="100%" fill="red"/>)s", 50);
    EXPECT_PIXEL(image, 10, 25, clear);
    EXPECT_PIXEL(image, 40, 25, red);
}

TEST(RenderingProbe, HiddenElementsDrawNothing) {
    const auto image = draw(R"s(<rect width="50" height="100" fill="red" display="none"/>
        <rect x="50" width="50" height="100" fill="red" style="visibility: hidden"/>)s");
    EXPECT_PIXEL(image, 25, 50, clear);
    EXPECT_PIXEL(image, 75, 50, clear);
}

TEST(RenderingProbe, AVisibleChildOfAHiddenGroupIsDrawn) {
    const auto image = draw(R"s(<g visibility="hidden"><rect width="50" height="50" fill="red"/>
        <g><rect x="50" width="50" height="50" fill="blue" visibility="visible"/></g>
        <use xlink:href="#shown" y="50"/></g>
        <defs><rect id="shown" width="50" height="50" fill="lime" style="visibility: visible"/></defs>
        <g display="none"><rect x="50" y="50" width="50" height="50" fill="red" visibility="visible"/></g>)s");
    EXPECT_PIXEL(image, 25, 25, clear);
    EXPECT_PIXEL(image, 75, 25, blue);
    EXPECT_PIXEL(image, 25, 75, lime);
    EXPECT_PIXEL(image, 75, 75, clear) << "display none takes the whole subtree away";
}

TEST(RenderingProbe, TextDrawsItsGlyphsOnTheBaseline) {
    const auto image = draw(R"s(<text x="10" y="60" font-size="40" fill="blue">HH</text>)s");
    int inked = 0, above = 0, below = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            if (pixelAt(image, x, y).a < 128) continue;
            EXPECT_EQ(pixelAt(image, x, y).b, 255);
            ++inked;
            if (y < 25) ++above;
            if (y > 62) ++below;
        }
    }
    EXPECT_GT(inked, 200);
    EXPECT_EQ(above, 0) << "capitals of size 40 stand about 29 high on the baseline at 60";
    EXPECT_EQ(below, 0) << "and nothing hangs below it";
}

}  // namespace
