// Documents written to exhaust the library: each must draw what it can, stay bounded and file its
// problem as a recoverable error, never crash. The same documents seed the SVG fuzzers (fuzz/seeds/svg).
#include <gtest/gtest.h>

#include "TestSeed.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <unordered_set>
#include <vector>

#include "HostileDocuments.h"
#include "RenderTestSupport.h"
#include "foundation/Data.h"
#include "gfx/Context.h"
#include "gfx/WorkMeter.h"
#include "quartz/Renderer.h"
#include "vellum/NodeList.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGLength.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGUseElement.h"
#include "vellum/VellumExporter.h"
#include "vellum/VellumImage.h"
#include "vellum/VellumWorkBounds.h"

using namespace vellum;

namespace {

const RGBA green{0, 255, 0, 255};
const RGBA transparent{};

struct Drawn {
    std::shared_ptr<VellumParseResult> result;
    gfx::Bitmap bitmap;
};

// Parsed and drawn at 20 x 20, with the build's problems filed in the parse result.
Drawn draw(std::string text) {
    Drawn drawn{parseSVG(std::move(text)), {}};
    if (drawn.result->parsedDocument()) {
        drawn.bitmap = VellumLayerTree::renderDocument(*drawn.result->parsedDocument(), {20, 20}, 1, drawn.result.get());
    }
    return drawn;
}

bool hasRecoverable(const VellumParseResult& result, std::string_view part) {
    for (const auto& error : result.errorsRecoverable()) {
        if (error.localizedDescription().find(part) != std::string::npos) return true;
    }
    return false;
}

std::size_t countLayers(const std::shared_ptr<quartz::Layer>& root) {
    std::size_t count = 0;
    std::vector<const quartz::Layer*> pending{root.get()};
    while (!pending.empty()) {
        const quartz::Layer* layer = pending.back();
        pending.pop_back();
        ++count;
        for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer.get());
        if (layer->mask()) pending.push_back(layer->mask().get());
    }
    return count;
}

std::size_t elementDepth(const Node& top) {
    std::size_t deepest = 0;
    std::vector<std::pair<const Node*, std::size_t>> pending{{&top, 1}};
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        for (const auto& child : *node->childNodes()) pending.emplace_back(child.get(), depth + 1);
    }
    return deepest;
}

}  // namespace

TEST(HostileDocuments, UseElementsThatReEnterWhatTheyCopyDrawNothingAndTheRestIsDrawn) {
    for (const std::string& text : {hostile::mutualUses(), hostile::useRingThroughGroups()}) {
        const Drawn drawn = draw(text);
        ASSERT_TRUE(drawn.result->parsedDocument());
        EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
        EXPECT_TRUE(hasRecoverable(*drawn.result, "<use> element refers to an element that contains it"))
            << drawn.result->description();
        EXPECT_TRUE(drawn.result->errorsFatal().empty());
    }
}

TEST(HostileDocuments, CopiesSideBySideOrOneInsideAnotherAreNoLoops) {
    // The same element copied twice in one group, that group copied, and one clip on two siblings:
    // each copy leaves the chain of expanded elements when it is done.
    const Drawn drawn = draw(hostile::header +
                             R"~(<defs><rect id="r" width="5" height="20" fill="#00ff00"/>)~"
                             R"~(<g id="two"><use xlink:href="#r"/><use xlink:href="#r" x="5"/></g>)~"
                             R"~(<clipPath id="c"><rect width="20" height="10"/></clipPath></defs>)~"
                             R"~(<use xlink:href="#two"/><use xlink:href="#two" x="10"/>)~"
                             R"~(<rect y="10" width="10" height="10" fill="#ff0000" clip-path="url(#c)"/>)~"
                             R"~(<rect x="10" y="10" width="10" height="10" fill="#ff0000" clip-path="url(#c)"/></svg>)~");
    ASSERT_TRUE(drawn.result->parsedDocument());
    EXPECT_FALSE(hasRecoverable(*drawn.result, "refers to an element that contains it")) << drawn.result->description();
    EXPECT_FALSE(hasRecoverable(*drawn.result, "inside its own content")) << drawn.result->description();
    for (const int x : {2, 7, 12, 17}) {
        EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, x, 5), green)) << x << ": " << pixelAt(drawn.bitmap, x, 5);
        EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, x, 15), green)) << x << " is clipped: " << pixelAt(drawn.bitmap, x, 15);
    }
}

TEST(HostileDocuments, BytesFromTheNetworkReachTheSameGuardsThroughTheImage) {
    auto image = VellumImage::initWithData(foundation::Data::fromString(hostile::mutualUses()));
    ASSERT_TRUE(image);
    ASSERT_TRUE(image->CALayerTree());
    const auto filed = image->parseErrorsAndWarnings()->errorsRecoverable();
    EXPECT_TRUE(hasRecoverable(*image->parseErrorsAndWarnings(), "<use> element refers to an element that contains it"));
    image->setSize({40, 40});
    ASSERT_TRUE(image->CALayerTree()) << "rebuilt at the new size";
    EXPECT_EQ(image->parseErrorsAndWarnings()->errorsRecoverable(), filed) << "filed once, however often the tree is rebuilt";
}

TEST(HostileDocuments, AClipPathUsingTheElementItClipsIsNotAppliedInsideItself) {
    const Drawn drawn = draw(hostile::header +
                             R"(<clipPath id="c"><use xlink:href="#r"/></clipPath>)"
                             R"~(<rect id="r" width="20" height="20" fill="#00ff00" clip-path="url(#c)"/></svg>)~");
    ASSERT_TRUE(drawn.result->parsedDocument());
    EXPECT_TRUE(hasRecoverable(*drawn.result, "<use> element refers to an element that contains it"))
        << drawn.result->description();
    EXPECT_EQ(pixelAt(drawn.bitmap, 10, 10), transparent) << "the clip has no content left, so it hides all";

    const Drawn ownClip = draw(hostile::header +
                               R"~(<clipPath id="c"><rect width="10" height="20" clip-path="url(#c)"/></clipPath>)~"
                               R"~(<g clip-path="url(#c)"><rect width="20" height="20" fill="#00ff00"/></g></svg>)~");
    EXPECT_TRUE(hasRecoverable(*ownClip.result, "clip path is applied inside its own content"))
        << ownClip.result->description();
    EXPECT_TRUE(nearPixel(pixelAt(ownClip.bitmap, 5, 10), green)) << "the clip itself still applies";
    EXPECT_EQ(pixelAt(ownClip.bitmap, 15, 10), transparent);
}

// Gradient references are settled in one pass along the chain, not one nested call per link; a symbol
// that shows itself draws the rest of its content; a box clip of an element without a box hides it.
TEST(HostileDocuments, ReferenceChainsSelfShowingSymbolsAndBoxlessClipsStayBounded) {
    std::ostringstream chain;
    chain << hostile::header << "<defs>";
    constexpr int links = 400;
    for (int index = 0; index < links; ++index) {
        chain << "<" << (index % 2 ? "radialGradient" : "linearGradient") << " id=\"g" << index << "\" href=\"#g"
              << index + 1 << "\"/>";
    }
    chain << R"~(<linearGradient id="g)~" << links << R"~("><stop stop-color="#00ff00"/></linearGradient></defs>)~"
          << R"~(<rect width="20" height="20" fill="url(#g0)"/></svg>)~";
    const Drawn chained = draw(chain.str());
    EXPECT_TRUE(nearPixel(pixelAt(chained.bitmap, 10, 10), green)) << "the last gradient's stop, through every link";

    const Drawn symbol = draw(hostile::header +
                              R"~(<symbol id="s"><use href="#s"/><rect width="20" height="20" fill="#00ff00"/></symbol>)~"
                              R"~(<use href="#s" width="10" height="20"/></svg>)~");
    EXPECT_TRUE(hasRecoverable(*symbol.result, "<use>")) << symbol.result->description();
    EXPECT_TRUE(nearPixel(pixelAt(symbol.bitmap, 5, 10), green));
    EXPECT_EQ(pixelAt(symbol.bitmap, 15, 10), transparent) << "clipped to the use element's width";

    const Drawn boxless = draw(hostile::header +
                               R"~(<clipPath id="c" clipPathUnits="objectBoundingBox"><rect width="1" height="1"/></clipPath>)~"
                               R"~(<g clip-path="url(#c)"><g/></g><rect width="20" height="20" fill="#00ff00"/></svg>)~");
    EXPECT_TRUE(nearPixel(pixelAt(boxless.bitmap, 10, 10), green)) << "what follows is drawn";
}

TEST(HostileDocuments, CopiesThatDoubleAtEveryLevelStopAtTheBudgetAndWhatWasBuiltIsDrawn) {
    auto result = parseSVG(hostile::doublingUses(22));
    ASSERT_TRUE(result->parsedDocument());
    auto root = result->parsedDocument()->rootElement();
    root->setViewport(SVGRectMake(0, 0, 20, 20));
    auto tree = VellumLayerTree::newLayerWithElement(root, result.get());
    EXPECT_LE(countLayers(tree), VellumLayerTree::maximumInstantiatedElements + 1);
    EXPECT_TRUE(hasRecoverable(*result, "instantiates more than " +
                                            std::to_string(VellumLayerTree::maximumInstantiatedElements) + " elements"))
        << result->description();
    auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    quartz::render(*tree, *context);
    const auto drawn = context->makeImage();
    EXPECT_TRUE(nearPixel(pixelAt(drawn, 10, 10), green)) << pixelAt(drawn, 10, 10);
}

TEST(HostileDocuments, UseCopiesAreLimitedWhenTheDocumentIsRead) {
    // 800 uses of a group of 1,000 rectangles: 800,800 copies asked for.
    std::string text = hostile::header + R"(<defs><g id="many">)";
    for (int index = 0; index < 1000; ++index) text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    text += "</g></defs>";
    for (int index = 0; index < 800; ++index) text += R"(<use xlink:href="#many"/>)";
    auto result = parseSVG(text + "</svg>");
    ASSERT_TRUE(result->parsedDocument());
    EXPECT_TRUE(hasRecoverable(*result, "copy more than " + std::to_string(VellumParser::maximumUseInstances) + " elements"))
        << result->description();
    const auto uses = result->parsedDocument()->getElementsByTagName("use");
    std::size_t resolved = 0;
    for (const auto& node : *uses) resolved += std::static_pointer_cast<SVGUseElement>(node)->instanceRoot() != nullptr;
    EXPECT_EQ(resolved, VellumParser::maximumUseInstances / 1001) << "each copy is the group and its 1,000 children";
}

TEST(HostileDocuments, LongUseChainsAreCutAtTheNestingLimitWithoutCrashing) {
    const Drawn shallow = draw(hostile::useChain(100));
    EXPECT_TRUE(nearPixel(pixelAt(shallow.bitmap, 10, 10), green)) << "200 levels are within the limit";
    EXPECT_TRUE(shallow.result->errorsRecoverable().empty()) << shallow.result->description();

    const Drawn deep = draw(hostile::useChain(10'000));
    ASSERT_TRUE(deep.result->parsedDocument());
    EXPECT_TRUE(hasRecoverable(*deep.result, "nested deeper than 256 levels")) << deep.result->description();
    EXPECT_EQ(pixelAt(deep.bitmap, 10, 10), transparent) << "the square lies 20,000 levels down";
}

TEST(HostileDocuments, ElementsNestedTooDeepAreSkippedWhileReading) {
    for (std::size_t levels : {std::size_t{15'000}, std::size_t{200'000}}) {
        const Drawn drawn = draw(hostile::nestedGroups(levels));
        ASSERT_TRUE(drawn.result->parsedDocument());
        EXPECT_TRUE(drawn.result->errorsFatal().empty()) << drawn.result->description();
        EXPECT_TRUE(hasRecoverable(*drawn.result, "nested deeper than 256 levels are skipped"));
        EXPECT_LE(elementDepth(*drawn.result->parsedDocument()->rootElement()), VellumParser::maximumElementDepth);
        EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << "the red square inside is not drawn";
    }
}

TEST(HostileDocuments, TextAndElementsAfterASkippedSubtreeLandInTheirOwnParents) {
    std::string text = hostile::header + R"(<text id="t">before</text><g id="outer">)";
    for (std::size_t level = 0; level < VellumParser::maximumElementDepth + 5; ++level) text += "<g>deep";
    for (std::size_t level = 0; level < VellumParser::maximumElementDepth + 5; ++level) text += "</g>";
    auto result = parseSVG(text + R"(</g><rect id="after" width="1" height="1"/></svg>)");
    auto root = result->parsedDocument()->rootElement();
    ASSERT_TRUE(root->getElementById("after"));
    EXPECT_EQ(root->getElementById("after")->parentNode(), root);
    EXPECT_EQ(root->getElementById("t")->textContent(), "before");
    std::size_t recoverable = 0;
    for (const auto& error : result->errorsRecoverable()) recoverable += error.localizedDescription().find("nested") != std::string::npos;
    EXPECT_EQ(recoverable, 1u);
}

TEST(HostileDocuments, AHugePathKeepsItsFirstSegmentsOnly) {
    // Written tersely enough for the parser's 10 MB a value.
    const std::size_t segments = BaseClassForAllSVGBasicShapes::maximumPathSegments + 1'000;
    std::string data = "M0 0";
    data.reserve(segments * 2 + 8);
    for (std::size_t segment = 1; segment < segments; ++segment) data += segment % 2 ? "h1" : "v1";
    auto result = parseSVG(hostile::header + R"(<path fill="none" stroke="#00f" d=")" + data + R"("/></svg>)");
    ASSERT_TRUE(result->parsedDocument());
    auto path = std::dynamic_pointer_cast<SVGPathElement>(result->parsedDocument()->rootElement()->firstChild());
    ASSERT_TRUE(path);
    EXPECT_EQ(path->pathForShapeInRelativeCoords()->elements().size(), BaseClassForAllSVGBasicShapes::maximumPathSegments);
    EXPECT_TRUE(hasRecoverable(*result, "more than 4000000 path segments")) << result->description();
}

// A count refuses no drawing librsvg draws within its time: a polygon of 60,000 points (librsvg: 0.1 s) keeps
// them all and is drawn, and so is a gradient of 4,097 stops.
TEST(HostileDocuments, LongPolygonsAndGradientsOfThousandsOfStopsAreDrawnWhole) {
    WorkBoundWatch bounds;
    const Drawn polygon = draw(hostile::longPolygon(60'000));
    ASSERT_TRUE(polygon.result->parsedDocument());
    auto shape = std::dynamic_pointer_cast<BaseClassForAllSVGBasicShapes>(polygon.result->parsedDocument()->rootElement()->firstChild());
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->pathForShapeInRelativeCoords()->elements().size(), 60'001u) << "every point, and the close";
    EXPECT_NE(pixelAt(polygon.bitmap, 10, 10), transparent);
    const Drawn stops = draw(hostile::manyStops(4'097));
    EXPECT_TRUE(stops.result->errorsRecoverable().empty()) << stops.result->description();
    EXPECT_TRUE(nearPixel(pixelAt(stops.bitmap, 10, 10), green)) << pixelAt(stops.bitmap, 10, 10);
    EXPECT_FALSE(bounds.reached());
}

TEST(HostileDocuments, UndrawnElementsAreKeptWithAWarningAndTheContentAfterThemIsDrawn) {
    const Drawn drawn = draw(hostile::header +
                             R"(<defs><pattern id="p" width="4" height="4"><rect width="2" height="2" fill="red"/></pattern></defs>)"
                             R"(<mask id="m"><rect width="20" height="20" fill="red"/></mask>)"
                             R"(<marker id="k"><rect width="20" height="20" fill="red"/></marker>)"
                             R"(<filter id="f"><rect width="20" height="20" fill="red"/></filter>)"
                             R"(<rect id="after" width="20" height="20" fill="#00ff00"/></svg>)");
    ASSERT_TRUE(drawn.result->parsedDocument());
    EXPECT_TRUE(drawn.result->errorsFatal().empty()) << drawn.result->description();
    EXPECT_EQ(drawn.result->warnings().size(), 4u) << drawn.result->description();
    auto root = drawn.result->parsedDocument()->rootElement();
    EXPECT_TRUE(root->getElementById("after")) << "the parse went on after the pattern";
    ASSERT_TRUE(root->getElementById("p"));
    EXPECT_EQ(root->getElementById("p")->childNodes()->length(), 1u) << "kept with its content";
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
}

TEST(HostileDocuments, ProblemsPastTheLimitAreCountedNotKept) {
    std::string text = hostile::header;
    for (std::size_t mask = 0; mask < VellumParseResult::maximumFiledProblems + 10; ++mask) text += "<mask/>";
    const auto result = parseSVG(text + "</svg>");
    EXPECT_EQ(result->warnings().size(), VellumParseResult::maximumFiledProblems);
    EXPECT_EQ(result->problemsNotFiled(), 10u);
}

TEST(HostileDocuments, TheParseStopsOnceTheMeterIsSpentAndHoldsItsPathData) {
    std::string path = R"(<path id="p" d="M0 0)";
    for (int segment = 0; segment < 10'000; ++segment) path += "h1";
    {
        gfx::WorkMeter meter;
        parseSVG(hostile::header + path + R"("/></svg>)");
        EXPECT_GE(meter.held(), 10'000 * sizeof(gfx::PathElement));
    }
    gfx::WorkMeter meter(20 * gfx::WorkMeter::anElementParsed);
    std::string text = hostile::header;
    for (int group = 0; group < 100; ++group) text += "<g/>";
    const auto result = parseSVG(text + R"(<rect id="last"/></svg>)");
    EXPECT_TRUE(meter.spent());
    EXPECT_FALSE(result->parsedDocument()->rootElement()->getElementById("last"));
}

TEST(HostileDocuments, PaintNamingAPatternTakesItsFallbackElseNone) {
    const std::string defs = R"(<defs><pattern id="p" width="4" height="4"/></defs>)";
    const Drawn fallback = draw(hostile::header + defs + R"~(<rect width="20" height="20" fill="url(#p) #00ff00"/></svg>)~");
    EXPECT_TRUE(nearPixel(pixelAt(fallback.bitmap, 10, 10), green)) << pixelAt(fallback.bitmap, 10, 10);

    const Drawn none = draw(hostile::header + defs + R"~(<rect width="20" height="20" fill="url(#p)"/></svg>)~");
    EXPECT_EQ(pixelAt(none.bitmap, 10, 10), transparent) << "no fallback: nothing, not black";

    const Drawn stroke = draw(hostile::header + defs +
                              R"~(<rect x="5" y="5" width="10" height="10" fill="none" stroke="url(#p) #00ff00" stroke-width="4"/></svg>)~");
    EXPECT_TRUE(nearPixel(pixelAt(stroke.bitmap, 5, 10), green)) << pixelAt(stroke.bitmap, 5, 10);
    EXPECT_EQ(pixelAt(stroke.bitmap, 10, 10), transparent);
}

TEST(HostileDocuments, ADescendantSelectorThatCanBePlacedInManyWaysStillEnds) {
    // Twelve steps over 250 groups: trying every placement of them would take longer than anyone waits.
    const Drawn drawn = draw(hostile::backtrackingSelector(12, 250));
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << "no x element, so the rule paints nothing";
}

TEST(HostileDocuments, SelectorsCostTheDocumentsDistinctNamesNotTheirRepeats) {
    // Each would take seconds to minutes if matching followed the repeats.
    const Drawn repeated = draw(hostile::repeatedClassName(10'000, 10'000));
    EXPECT_EQ(pixelAt(repeated.bitmap, 10, 10), (RGBA{255, 0, 0, 255})) << "the rules apply";
    const Drawn words = draw(hostile::longWordList(10'000, 2, 25'000));
    EXPECT_TRUE(nearPixel(pixelAt(words.bitmap, 10, 10), green)) << pixelAt(words.bitmap, 10, 10);
    const Drawn descendants = draw(hostile::manyLongDescendantRules(1'000, 125, 250, 2));
    EXPECT_TRUE(nearPixel(pixelAt(descendants.bitmap, 10, 10), green)) << pixelAt(descendants.bitmap, 10, 10);
    for (const Drawn* drawn : {&repeated, &words, &descendants}) EXPECT_TRUE(drawn->result->errorsRecoverable().empty());
}

TEST(HostileDocuments, SelectorMatchingPastItsBudgetRefusesTheDocumentWithOneRecoverableError) {
    // Each rule compares each square's long value: more characters compared than a scope may. Cut short,
    // the squares matched last kept what their attributes say: a picture that looked right and was wrong.
    WorkBoundWatch watch;
    const Drawn drawn = draw(hostile::equalityRulesOverSquares(250, 250, 10'000));
    EXPECT_EQ(drawn.bitmap.width, 0) << "no picture";
    EXPECT_TRUE(watch.reached());
    EXPECT_EQ(drawn.result->errorsRecoverable().size(), 1u) << drawn.result->description();
    EXPECT_TRUE(hasRecoverable(*drawn.result, "Matching the style rules takes more work than a document of this size "
                                              "may; the document is not drawn"))
        << drawn.result->description();
}

TEST(HostileDocuments, CopiesOfAPictureShareOneDecodedBitmap) {
    auto result = parseSVG(hostile::pictureThroughDoublingUses(hostile::pictureLink(4), 3));
    ASSERT_TRUE(result->parsedDocument());
    auto root = result->parsedDocument()->rootElement();
    root->setViewport(SVGRectMake(0, 0, 20, 20));
    gfx::WorkMeter meter;
    auto tree = VellumLayerTree::newLayerWithElement(root, result.get());
    EXPECT_EQ(meter.held(), 4u * 4 * 4) << "its bitmap held against the render's memory once";
    std::vector<const quartz::Layer*> pending{tree.get()};
    std::vector<const gfx::Bitmap*> bitmaps;
    while (!pending.empty()) {
        const quartz::Layer* layer = pending.back();
        pending.pop_back();
        if (layer->contents()) bitmaps.push_back(layer->contents().get());
        for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer.get());
    }
    ASSERT_EQ(bitmaps.size(), 8u);
    EXPECT_EQ(std::count(bitmaps.begin(), bitmaps.end(), bitmaps.front()), 8) << "decoded once for all eight copies";
}

TEST(HostileDocuments, AGradientKeepsItsFirstStopsUpToTheLimit) {
    auto result = parseSVG(hostile::manyStops(SVGGradientElement::maximumStops + 100));
    ASSERT_TRUE(result->parsedDocument());
    const auto gradients = result->parsedDocument()->getElementsByTagName("linearGradient");
    ASSERT_EQ(gradients->length(), 1u);
    EXPECT_EQ(std::static_pointer_cast<SVGGradientElement>(gradients->item(0))->stops().size(), SVGGradientElement::maximumStops);
    EXPECT_EQ(result->errorsRecoverable().size(), 1u) << result->description();
}

// Each link of a long href chain is found through the index and takes the stops and attributes it lacks
// without a copy of them; what a link in the middle writes passes on to the links before it.
TEST(HostileDocuments, ALongGradientChainSharesOneListOfStopsAndIsDrawn) {
    std::string text = hostile::gradientChain(3'000, 64);
    const std::string middle = R"(id="g1500")";
    text.insert(text.find(middle) + middle.size(), R"~( x2="0" y2="1" gradientTransform="scale(2)")~");
    const Drawn drawn = draw(text);
    ASSERT_TRUE(drawn.result->parsedDocument());
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
    auto root = drawn.result->parsedDocument()->rootElement();
    const auto link = [&](int index) {
        return std::dynamic_pointer_cast<SVGGradientElement>(root->getElementById("g" + std::to_string(index)));
    };
    ASSERT_EQ(link(0)->stops().size(), 64u);
    EXPECT_EQ(&link(0)->stops(), &link(2'999)->stops()) << "one list, not a copy a link";
    EXPECT_EQ(link(0)->getAttribute("y2"), "1");
    EXPECT_EQ(link(0)->attributes()->getNamedItem("gradientTransform"), link(1'500)->attributes()->getNamedItem("gradientTransform"))
        << "one node, not a copy of its text a link";
    EXPECT_EQ(link(0)->transform(), gfx::AffineTransform::scale(2, 2));
    EXPECT_FALSE(link(2'999)->hasAttribute("y2")) << "nothing passes down the chain";
}

// A chain settled from its middle first: the gradients before it still take geometry from the nearest of
// their kind past it, across one of the other kind. Every gradient of the chain named by a square, from the
// last to the first, costs its links once: walked to the end again for each, the meter would refuse it.
TEST(HostileDocuments, AGradientChainNamedFromItsEndIsSettledOnceAGradient) {
    const auto chain = parseSVG(hostile::header +
                                R"(<defs><linearGradient id="g0" xlink:href="#g1"/><radialGradient id="g1" xlink:href="#g2"/>)"
                                R"(<linearGradient id="g2" x2="0" y2="1"><stop stop-color="#00ff00"/></linearGradient></defs></svg>)");
    auto root = chain->parsedDocument()->rootElement();
    const auto link = [&](const char* id) { return std::dynamic_pointer_cast<SVGGradientElement>(root->getElementById(id)); };
    link("g1")->synthesizeProperties();
    link("g0")->synthesizeProperties();
    EXPECT_EQ(link("g0")->getAttribute("y2"), "1");
    EXPECT_EQ(link("g0")->stops().size(), 1u);
    EXPECT_FALSE(link("g1")->hasAttribute("y2")) << "geometry passes between gradients of one kind";

    gfx::WorkMeter meter;
    const Drawn drawn = draw(hostile::gradientChainFilledBackwards(3'000));
    EXPECT_FALSE(meter.spent()) << meter.used();
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
}

// Each pair of uses naming each other files its own error, found again by its text however many are filed,
// and every filing is work on the render's meter.
TEST(HostileDocuments, ErrorsAreFiledOnceByTheirTextAndCharged) {
    gfx::WorkMeter meter;
    auto image = VellumImage::initWithData(foundation::Data::fromString(hostile::mutualUsePairs(1'000, 1'000)));
    ASSERT_NE(image, nullptr);
    auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    EXPECT_TRUE(VellumImageDrawing::renderInContext(*image, *context));
    EXPECT_TRUE(VellumImageDrawing::renderInContext(*image, *context));
    EXPECT_TRUE(nearPixel(pixelAt(context->makeImage(), 10, 10), green));
    const auto& filed = image->parseErrorsAndWarnings()->errorsRecoverable();
    std::unordered_set<std::string> texts;
    for (const auto& error : filed) texts.insert(error.localizedDescription());
    EXPECT_EQ(filed.size(), 3'000u) << "a note a clip path, an error a use, nothing again on the second drawing";
    EXPECT_EQ(texts.size(), 2'001u);
    EXPECT_GE(static_cast<double>(meter.used()), 3'000 * gfx::WorkMeter::aProblemFiled);
}

TEST(HostileDocuments, AFloodOfXMLErrorsIsFiledUpToALimitAndCountedInOneLine) {
    const auto result = parseSVG(hostile::undeclaredEntities(1000));
    const std::size_t filed = result->errorsFatal().size() + result->errorsRecoverable().size() + result->warnings().size();
    EXPECT_EQ(filed, VellumParser::maximumFiledXMLErrors + 1) << result->description();
    EXPECT_TRUE(hasRecoverable(*result, "met 900 more errors and warnings, counted but not filed"));
}

TEST(HostileDocuments, EveryFuzzingSeedDrawsWithoutAFatalError) {
    const auto folder = std::filesystem::path(SORVANE_SOURCE_DIR) / "fuzz/seeds/svg";
    std::size_t seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::stringstream text;
        text << std::ifstream(entry.path(), std::ios::binary).rdbuf();
        const Drawn drawn = draw(text.str());
        ASSERT_TRUE(drawn.result->parsedDocument()) << entry.path();
        EXPECT_TRUE(drawn.result->errorsFatal().empty()) << entry.path() << drawn.result->description();
        EXPECT_EQ(drawn.bitmap.width, 20) << entry.path();
        ++seen;
    }
    EXPECT_GE(seen, 11u);
}

TEST(PhysicalUnits, DrawAtCSSsFixedInch) {
    // 15pt is 20 px; a 3pt stroke is 4 px wide.
    const Drawn drawn = draw(hostile::header +
                             R"(<rect width="15pt" height="7.5pt" fill="#00ff00"/>)"
                             R"(<line x1="0" y1="15" x2="20" y2="15" stroke="#00ff00" stroke-width="3pt"/></svg>)");
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 19, 9), green)) << pixelAt(drawn.bitmap, 19, 9);
    EXPECT_EQ(pixelAt(drawn.bitmap, 10, 11), transparent);
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 13), green)) << pixelAt(drawn.bitmap, 10, 13);
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 16), green)) << pixelAt(drawn.bitmap, 10, 16);
    EXPECT_EQ(pixelAt(drawn.bitmap, 10, 18), transparent);
}

// Clip paths and masks.

namespace {

// Layers and masks of the tree, each counted once however many layers share it.
std::size_t distinctLayers(const std::shared_ptr<quartz::Layer>& root) {
    std::unordered_set<const quartz::Layer*> seen;
    std::vector<const quartz::Layer*> pending{root.get()};
    while (!pending.empty()) {
        const quartz::Layer* layer = pending.back();
        pending.pop_back();
        if (!seen.insert(layer).second) continue;
        for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer.get());
        if (layer->mask()) pending.push_back(layer->mask().get());
    }
    return seen.size();
}

}  // namespace

TEST(HostileDocuments, AClipPathClippedByAnotherIsBuiltOnceALevelNotOnceAPart) {
    // Seventeen levels of two parts: clipping each part again by the next level would build 2^17 masks a square.
    for (const std::string& text : {hostile::clipChain(17, 2, 10), hostile::clippedPartsChain(17, 2)}) {
        auto result = parseSVG(text);
        ASSERT_TRUE(result->parsedDocument());
        auto root = result->parsedDocument()->rootElement();
        root->setViewport(SVGRectMake(0, 0, 20, 20));
        auto tree = VellumLayerTree::newLayerWithElement(root, result.get());
        EXPECT_LE(distinctLayers(tree), 200u);
        EXPECT_FALSE(hasRecoverable(*result, "instantiates more than")) << result->description();
        EXPECT_FALSE(hasRecoverable(*result, "Clipping took more than")) << result->description();
        auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
        quartz::render(*tree, *context);
        EXPECT_TRUE(nearPixel(pixelAt(context->makeImage(), 10, 10), green));
    }
}

TEST(HostileDocuments, MasksAreCountedByWhatTheyDrawNotByHowManyOrHowLarge) {
    // Each square is masked apart over the whole picture by a clip path of two parts: its left half and a strip
    // along its right edge. Hundreds of masks as large as the picture are cheap at its size: every one applies.
    std::string text = hostile::header +
                       R"(<clipPath id="c"><rect width="10" height="20"/><rect x="19" width="1" height="20"/></clipPath>)";
    for (std::size_t index = 0; index < 400; ++index) {
        text += R"~(<rect width="20" height="20" fill="#00ff00" clip-path="url(#c)"/>)~";
    }
    const Drawn drawn = draw(text + "</svg>");
    EXPECT_FALSE(hasRecoverable(*drawn.result, "Clipping took more")) << drawn.result->description();
    EXPECT_FALSE(hasRecoverable(*drawn.result, "took more work")) << drawn.result->description();
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 5, 10), green));
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 15, 10), transparent)) << "every square is clipped";
}

TEST(HostileDocuments, ARenderPastItsWorkMeterFilesAnErrorAndGivesNoPicture) {
    // 256 copies of a square: drawn within a render's own meter; within a meter of a few layers' work (which
    // the render joins, as a picture within a picture does), no picture and the error.
    const std::string text = hostile::doublingUses(8);
    const std::string_view error = "took more work than a render is allowed";
    auto image = VellumImage::initWithData(foundation::Data::fromString(text));
    ASSERT_NE(image, nullptr);
    auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    EXPECT_TRUE(VellumImageDrawing::renderInContext(*image, *context));
    EXPECT_TRUE(nearPixel(pixelAt(context->makeImage(), 10, 10), green));
    EXPECT_FALSE(hasRecoverable(*image->parseErrorsAndWarnings(), error)) << image->parseErrorsAndWarnings()->description();
    auto fresh = VellumImage::initWithData(foundation::Data::fromString(text));
    {
        gfx::WorkMeter meter(20'000);
        EXPECT_FALSE(VellumImageDrawing::renderInContext(*fresh, *gfx::Context::create(gfx::Size{20, 20}, {.scale = 1})));
        EXPECT_TRUE(hasRecoverable(*fresh->parseErrorsAndWarnings(), error));
        EXPECT_EQ(VellumExporterUIImage::exportAsUIImage(*fresh), nullptr);
    }
    // That refusal was that render's, not the image's: the next render, under a meter of its own, draws.
    auto later = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    EXPECT_TRUE(VellumImageDrawing::renderInContext(*fresh, *later));
    EXPECT_TRUE(nearPixel(pixelAt(later->makeImage(), 10, 10), green));
    {
        gfx::WorkMeter meter(20'000);
        auto result = parseSVG(text);
        EXPECT_TRUE(VellumLayerTree::renderDocument(*result->parsedDocument(), {20, 20}, 1, result.get()).pixels.empty());
        EXPECT_TRUE(hasRecoverable(*result, error)) << result->description();
    }
}

TEST(HostileDocuments, AnImageParsedOutsideAnyRenderLeavesItsRendersWhatItsParseLeftOfTheBudget) {
    // Each copy naming nothing files an error while the document is parsed, before any render opens a meter.
    std::string text = hostile::header + R"(<rect width="20" height="20" fill="#00ff00"/>)";
    for (int index = 0; index < 100; ++index) text += R"(<use href="#none"/>)";
    auto image = VellumImage::initWithData(foundation::Data::fromString(text + "</svg>"));
    ASSERT_NE(image, nullptr);
    const auto parsed = static_cast<std::uint64_t>(100 * gfx::WorkMeter::aProblemFiled);
    auto tree = image->CALayerTree();
    ASSERT_TRUE(tree && tree->workBound());
    EXPECT_LE(tree->workBound()->budget, gfx::WorkMeter::defaultBudget - parsed);
    auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    EXPECT_TRUE(VellumImageDrawing::renderInContext(*image, *context));
    EXPECT_TRUE(nearPixel(pixelAt(context->makeImage(), 10, 10), green));
}

TEST(HostileDocuments, AnImageWhoseParseRanPastItsOwnBudgetDrawsNothingAndFilesNothingMore) {
    // As a parse of some 600,000 errors leaves it (its error filed already): too slow to parse here.
    auto result = parseSVG(hostile::header + R"(<rect width="20" height="20" fill="#00ff00"/></svg>)");
    result->setWork(gfx::WorkMeter::defaultBudget, true);
    auto image = VellumImage::initWithParsedSVG(result, nullptr);
    ASSERT_NE(image, nullptr);
    auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
    EXPECT_FALSE(VellumImageDrawing::renderInContext(*image, *context));
    EXPECT_EQ(pixelAt(context->makeImage(), 10, 10), transparent);
    EXPECT_TRUE(image->layerTreeRefused());
    EXPECT_TRUE(result->errorsRecoverable().empty()) << result->description();
}

TEST(HostileDocuments, ADashListIsChargedForEachEntryEachCopyReadsAndStrokes) {
    // 2,000 zeros through 20 copies: drawn (the zeros join the lengths, one on, one off), but not within a
    // meter of a million units, which the rest of the document stays far within.
    const std::string text = hostile::zerosInDashList(2'000, 20);
    const Drawn drawn = draw(text);
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 0, 10), green)) << pixelAt(drawn.bitmap, 0, 10);
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 1, 10), transparent)) << pixelAt(drawn.bitmap, 1, 10);
    gfx::WorkMeter meter(1'000'000);
    EXPECT_TRUE(draw(text).bitmap.pixels.empty());
    EXPECT_TRUE(meter.spent());
}

namespace {

// A document at 20 x 20 whose tree is drawn as a window draws its layers (the tree a sublayer of the window's,
// no meter running): what its build and its drawing cost under one meter, and trees built with so much left
// for their drawing.
struct DrawnByItsOwnRoute {
    std::shared_ptr<VellumParseResult> result;
    std::uint64_t build = 0;
    std::uint64_t drawing = 0;
    // Drawn apart over the picture first, so that a render stopped part way shows nothing of it.
    static constexpr auto apart = static_cast<std::uint64_t>(gfx::WorkMeter::aPath + 20 * 20 * gfx::WorkMeter::aPixel);

    explicit DrawnByItsOwnRoute(std::string text) : result(parseSVG(std::move(text))) {
        root()->setViewport(SVGRectMake(0, 0, 20, 20));
        gfx::WorkMeter meter;
        auto tree = VellumLayerTree::newLayerWithElement(root(), result.get());
        build = meter.used();
        quartz::render(*tree, *gfx::Context::create(gfx::Size{20, 20}, {.scale = 1}));
        drawing = meter.used() - build;
    }
    std::shared_ptr<SVGSVGElement> root() const { return result->parsedDocument()->rootElement(); }
    std::shared_ptr<quartz::Layer> treeWith(std::uint64_t left) const {
        gfx::WorkMeter meter(build + left);
        return VellumLayerTree::newLayerWithElement(root(), result.get());
    }
    static gfx::Bitmap inAWindow(const std::shared_ptr<quartz::Layer>& tree) {
        auto window = quartz::Layer::make();
        window->addSublayer(tree);
        auto context = gfx::Context::create(gfx::Size{20, 20}, {.scale = 1});
        quartz::render(*window, *context);
        return context->makeImage();
    }
    bool pastItsMeter() const { return hasRecoverable(*result, "took more work than a render is allowed"); }
};

const std::string twoSquares =
    hostile::header + R"(<rect width="20" height="20" fill="#00ff00"/><rect width="20" height="20" fill="#00ff00"/></svg>)";

}  // namespace

TEST(HostileDocuments, ATreeDrawnByItsOwnRouteHasWhatItsBuildLeftOfTheMeterAndPastItShowsNothing) {
    const DrawnByItsOwnRoute squares(twoSquares);
    const auto shown = [&](std::uint64_t left) { return pixelAt(squares.inAWindow(squares.treeWith(left)), 10, 10); };
    EXPECT_TRUE(nearPixel(shown(squares.apart + squares.drawing + 1), green));
    EXPECT_FALSE(squares.pastItsMeter()) << squares.result->description();
    EXPECT_EQ(shown(squares.apart + squares.drawing / 2 + 1), transparent) << "room for one square: neither shows";
    EXPECT_TRUE(squares.pastItsMeter()) << squares.result->description();
}

TEST(HostileDocuments, ATreeDrawnByItsOwnRouteDrawsTheTextItsBuildLaidOutWithoutLayingItOutAgain) {
    // Ten distinct words with room for their drawing alone: laid out again, they cost ten layouts more.
    std::string text = hostile::header;
    for (int word = 0; word < 10; ++word) text += R"(<text x="1" y="10" font-size="4">word)" + std::to_string(word) + "</text>";
    const DrawnByItsOwnRoute words(text + "</svg>");
    auto tree = words.treeWith(words.apart + words.drawing + 1);
    words.inAWindow(tree);
    ASSERT_TRUE(tree->workBound());
    EXPECT_FALSE(tree->workBound()->refused);
    EXPECT_FALSE(words.pastItsMeter()) << words.result->description();
}

TEST(HostileDocuments, ATreeRefusedByItsOwnRouteDoesNoWorkWhenDrawnAgain) {
    // The two squares with room for one; a layer drawn before them counts the frames that reach it, as a
    // window's next frame would.
    struct Frames : quartz::LayerDelegate {
        int drawn = 0;
        void drawLayer(const quartz::Layer&, gfx::Context&) override { ++drawn; }
    };
    const DrawnByItsOwnRoute squares(twoSquares);
    auto tree = squares.treeWith(squares.apart + squares.drawing / 2 + 1);
    auto frames = std::make_shared<Frames>();
    auto counter = quartz::Layer::make();
    counter->setFrame({0, 0, 1, 1});
    counter->setDelegate(frames);
    tree->insertSublayer(counter, 0);
    for (int frame = 0; frame < 2; ++frame)
        EXPECT_EQ(pixelAt(squares.inAWindow(tree), 10, 10), transparent) << "frame " << frame;
    EXPECT_EQ(frames->drawn, 1) << "the second frame is refused before any drawing";
    EXPECT_TRUE(squares.pastItsMeter()) << squares.result->description();
}

// The units decide, not the clock: a random tree built with half as much again as its drawing takes is drawn alike
// on every frame, one built with half of it on none (a clock's ending would blank a frame, or all those after).
TEST(HostileDocuments, ATreeIsDrawnOrRefusedTheSameWayOnEveryFrame) {
    std::mt19937 random(sorvane::testing::testSeed(20261210));
    std::string text = hostile::header + R"(<defs><linearGradient id="g"><stop stop-color="#00f"/><stop offset="1" )"
                       R"(stop-color="#0f0"/></linearGradient></defs><rect width="20" height="20" fill="#00ff00"/>)";
    const auto at = [&] { return std::to_string(random() % 20); };
    for (int element = 0, count = 50 + int(random() % 150); element < count; ++element) {
        switch (random() % 4) {
        case 0: text += "<rect x=\"" + at() + "\" y=\"" + at() + "\" width=\"6\" height=\"5\" fill=\"url(#g)\"/>"; break;
        case 1: text += "<circle cx=\"" + at() + "\" cy=\"" + at() + "\" r=\"4\" fill=\"#f0f\" opacity=\"0.5\"/>"; break;
        case 2: text += "<path d=\"M" + at() + " 0L" + at() + " 20\" stroke=\"#000\" stroke-dasharray=\"0 2\" stroke-linecap=\"round\"/>"; break;
        default: text += "<text x=\"" + at() + "\" y=\"" + at() + "\" font-size=\"5\">w" + at() + "</text>";
        }
    }
    const DrawnByItsOwnRoute document(text + "</svg>");
    SCOPED_TRACE(text);
    const auto drawable = document.treeWith(document.apart + document.drawing * 3 / 2);
    const auto refusable = document.treeWith(document.apart + document.drawing / 2);
    const gfx::Bitmap first = document.inAWindow(drawable);
    for (int frame = 0; frame < 30; ++frame) {
        ASSERT_EQ(document.inAWindow(drawable).pixels, first.pixels) << "frame " << frame;
        ASSERT_EQ(pixelAt(document.inAWindow(refusable), 0, 0), transparent) << "frame " << frame;
    }
    EXPECT_NE(pixelAt(first, 0, 0), transparent);
}

TEST(HostileDocuments, AWatchOnTheThreadEndsTheBuildAtTheFirstWorkBound) {
    // Copies nested past the build's depth, then squares.
    std::string text = hostile::useChain(300);
    text.erase(text.rfind("</svg>"));
    for (int index = 0; index < 100; ++index) text += R"(<rect width="20" height="20" fill="#00ff00"/>)";
    text += "</svg>";
    const auto built = [&] {
        auto result = parseSVG(text);
        auto root = result->parsedDocument()->rootElement();
        root->setViewport(SVGRectMake(0, 0, 20, 20));
        return countLayers(VellumLayerTree::newLayerWithElement(root, result.get()));
    };
    const std::size_t all = built();
    EXPECT_GT(all, 100u) << "without a watch the build goes on past the bound";
    WorkBoundWatch watch;
    EXPECT_LT(built(), all);
    EXPECT_TRUE(watch.reached());
}

// The cascade's cost follows the document. Each document below took minutes, or ran out of the budget and
// changed the picture, when it did not.

TEST(HostileDocuments, StyleSheetsAreCountedAsTheyAreAdded) {
    // Each sheet's end counted every earlier sheet's rules again: 100,000 of them took a minute.
    const Drawn drawn = draw(hostile::oneWordSheets(100'000));
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
    EXPECT_TRUE(drawn.result->errorsFatal().empty()) << drawn.result->description();
}

TEST(HostileDocuments, SubstringTestsCostTheLengthsOfTheirTexts) {
    // Compared at every place of the value, 2,000,000 characters against 1,000,000 took minutes.
    const Drawn drawn = draw(hostile::longSubstringRule(2'000'000, 1'000'000, 0));
    EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << "the rule applies: " << pixelAt(drawn.bitmap, 10, 10);
    EXPECT_TRUE(drawn.result->errorsRecoverable().empty()) << drawn.result->description();
}

namespace {

// Drawn at `size`, with no problem filed.
gfx::Bitmap drawnWithNoProblemFiled(const std::string& text, gfx::Size size) {
    auto result = parseSVG(text);
    const gfx::Bitmap bitmap = VellumLayerTree::renderDocument(*result->parsedDocument(), size, 1, result.get());
    EXPECT_TRUE(result->errorsRecoverable().empty()) << result->description();
    return bitmap;
}

}  // namespace

TEST(HostileDocuments, AStyledDrawingDrawsAsTheSameDrawingWithItsValuesAsAttributes) {
    // 6,000 squares under four ordinary rules, 240 groups deep, within the library's limits: matched anew
    // for each property, they ran out of the budget and the later squares were drawn black.
    const gfx::Bitmap styled = drawnWithNoProblemFiled(hostile::styledChart(6'000, false, 240), {330, 19});
    const gfx::Bitmap attributes = drawnWithNoProblemFiled(hostile::styledChart(6'000, true, 240), {330, 19});
    ASSERT_EQ(styled.height, 19);
    EXPECT_TRUE(styled.pixels == attributes.pixels);
    EXPECT_EQ(pixelAt(styled, 329, 18), pixelAt(attributes, 329, 18)) << "the last square";
}

// Matching is the render's work: each square whose style is looked up among the rules it matched costs the
// meter what its attributes alone would not.
TEST(HostileDocuments, MatchingStyleRulesIsChargedToTheRendersMeter) {
    const auto units = [](bool asAttributes) {
        gfx::WorkMeter meter;
        EXPECT_FALSE(draw(hostile::styledChart(1'000, asAttributes)).bitmap.pixels.empty());
        return double(meter.used());
    };
    EXPECT_GT(units(false), units(true) + 1'000 * 1'000);
}

TEST(HostileDocuments, ManyNamedElementsUnderADozenRulesOfADozenDeclarationsDrawAsWithAttributes) {
    // 12,000 squares, each with an identifier and classes of its own so that none is matched like another:
    // each rule's declarations were read again for every square, which ran out of the budget after some
    // thousands of squares and drew the rest black.
    const gfx::Bitmap styled = drawnWithNoProblemFiled(hostile::namedCellsUnderRules(12'000, 12, 12, false), {990, 111});
    const gfx::Bitmap attributes = drawnWithNoProblemFiled(hostile::namedCellsUnderRules(12'000, 12, 12, true), {990, 111});
    ASSERT_EQ(styled.height, 111);
    EXPECT_TRUE(styled.pixels == attributes.pixels);
    EXPECT_EQ(pixelAt(styled, 3 * (11'999 % 330) + 1, 3 * (11'999 / 330) + 1), (RGBA{0, 170, 0, 255})) << "the last square";
}

TEST(HostileDocuments, UseCopiesShareTheirElementsOwnMatchingAndWalkOnlyTheirAncestors) {
    // One square copied 1,000 times, with 50,000 distinct class names, or words under a "~=" rule, or a
    // value of 100,000 characters under a "*=" rule of 50,000: made again for each copy and property, the
    // class set, the rules to try and the tests took minutes.
    for (const std::string& text : {hostile::distinctNamesThroughUses(50'000, 1'000, false),
                                    hostile::distinctNamesThroughUses(50'000, 1'000, true),
                                    hostile::longSubstringRule(100'000, 50'000, 1'000)}) {
        const Drawn drawn = draw(text);
        EXPECT_TRUE(nearPixel(pixelAt(drawn.bitmap, 10, 10), green)) << pixelAt(drawn.bitmap, 10, 10);
        EXPECT_TRUE(drawn.result->errorsRecoverable().empty()) << drawn.result->description();
    }
    // Copies of one square under differing ancestors, each answered for where it stands (a copy stands
    // under its use element).
    const Drawn placed = draw(hostile::header +
                              R"(<style>.left rect{fill:#00ff00} .right > use > rect.s{fill:#0000ff}</style>)"
                              R"(<defs><rect id="s" class="s" width="5" height="20" fill="#ff0000"/></defs>)"
                              R"(<g class="left"><use xlink:href="#s"/></g><g class="right"><use xlink:href="#s" x="5"/>)"
                              R"(<use xlink:href="#s" x="10"/></g><use xlink:href="#s" x="15"/></svg>)");
    for (const auto& [x, colour] : {std::pair{2, green}, {7, RGBA{0, 0, 255, 255}}, {12, RGBA{0, 0, 255, 255}}, {17, RGBA{255, 0, 0, 255}}}) {
        EXPECT_TRUE(nearPixel(pixelAt(placed.bitmap, x, 10), colour)) << x << ": " << pixelAt(placed.bitmap, x, 10);
    }
}
