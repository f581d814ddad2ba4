#include <gtest/gtest.h>

#include "SVGElementTestSupport.h"
#include "VellumLogCapture.h"
#include "foundation/Assertion.h"
#include "quartz/Layer.h"
#include "quartz/ShapeLayer.h"
#include "vellum/SVGHelperUtilities.h"
#include "vellum/SVGStructureElements.h"

using namespace vellum;

namespace {

gfx::Point placed(const SVGElement& element, gfx::Point point) {
    return SVGHelperUtilities::transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(element)
        .apply(point);
}

}  // namespace

TEST(SVGRootGeometry, WidthAndHeightGiveTheRequestedViewport) {
    auto svg = makeSVG({{"width", "100"}, {"height", "50"}});
    EXPECT_EQ(svg->requestedViewport(), SVGRectMake(0, 0, 100, 50));
    EXPECT_EQ(svg->viewport(), SVGRectMake(0, 0, 100, 50));
    EXPECT_DOUBLE_EQ(svg->aspectRatioFromWidthPerHeight(), 2);
    EXPECT_EQ(makeSVG({{"width", "10"}, {"height", "5"}, {"x", "2"}})->requestedViewport(), SVGRectMake(2, 0, 10, 5));
}

TEST(SVGRootGeometry, APercentageWidthLeavesTheViewportUnsetButStaysOnTheElement) {
    auto svg = makeSVG({{"width", "100%"}, {"height", "50"}});
    EXPECT_FALSE(SVGRectIsInitialized(svg->requestedViewport()));
    EXPECT_FALSE(SVGRectIsInitialized(svg->viewport()));
    ASSERT_TRUE(svg->width());
    EXPECT_EQ(svg->width()->unitType(), SVGLengthType::percentage);
    EXPECT_FLOAT_EQ(svg->height()->pixelsValue(), 50);

    auto sizeless = makeSVG();
    EXPECT_FALSE(SVGRectIsInitialized(sizeless->requestedViewport()));
    EXPECT_EQ(sizeless->aspectRatioFromWidthPerHeight(), 0);
    EXPECT_EQ(sizeless->aspectRatioFromViewBox(), 0);
}

TEST(SVGRootGeometry, ViewBoxesReadBlanksAndCommasAndIgnoreIncompleteOnes) {
    const auto box = [](const char* text) { return makeSVG({{"viewBox", text}})->viewBox(); };
    EXPECT_EQ(box("0 0 24 24"), SVGRectMake(0, 0, 24, 24));
    EXPECT_EQ(box("0,0,24,24"), SVGRectMake(0, 0, 24, 24));
    EXPECT_EQ(box("0  0 24 24"), SVGRectMake(0, 0, 24, 24)) << "a doubled blank shifts nothing";
    EXPECT_EQ(box(" -5, 5\n30 20 "), SVGRectMake(-5, 5, 30, 20));
    EXPECT_EQ(box("\v1\f 2\v,3 4\f"), SVGRectMake(1, 2, 3, 4)) << "vertical tabs and form feeds are trimmed";
    EXPECT_EQ(box("1 \v 2 3 4"), SVGRectMake(1, 0, 2, 3)) << "a part of blanks alone reads as 0";
    EXPECT_EQ(box("1\u00a0 2 3 4\u2028"), SVGRectMake(1, 2, 3, 4)) << "Unicode blanks are trimmed as well";
    EXPECT_EQ(box("1 2 3 4 5"), SVGRectMake(1, 2, 3, 4)) << "a fifth number is left alone";
    EXPECT_FALSE(SVGRectIsInitialized(box("24")));
    EXPECT_FALSE(SVGRectIsInitialized(box("0 0 24")));
    EXPECT_FALSE(SVGRectIsInitialized(box("0 0 0 24"))) << "no size";
    EXPECT_FALSE(SVGRectIsInitialized(box("0 0 -4 24")));
    EXPECT_FALSE(SVGRectIsInitialized(makeSVG()->viewBox()));
}

TEST(SVGRootGeometry, SearchesAndUnsupportedOperations) {
    auto svg = makeSVG();
    auto group = makeElement("g", {}, svg);
    auto inner = makeElement<SVGSVGElement>("svg", {{"id", "deep"}}, group);
    EXPECT_EQ(svg->findFirstElementOfClass<SVGSVGElement>(), nullptr) << "only direct children";
    EXPECT_EQ(svg->findFirstElementOfClass<TestGroup>(), group);
    EXPECT_EQ(svg->getElementById("deep"), inner);
    EXPECT_EQ(svg->createSVGRect(), SVGRectMake(0, 0, 0, 0));
    EXPECT_THROW(svg->pauseAnimations(), foundation::InternalInconsistencyException);
}

TEST(SVGViewport, AWiderElementCentresTheViewBoxAtUniformScale) {
    VellumLogCapture log;
    auto svg = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "0 0 100 100"}});
    const auto transform =
        SVGHelperUtilities::transformRelativeIncludingViewportForTransformableOrViewportEstablishingElement(*svg);
    expectNear(transform.apply(gfx::Point{0, 0}), {50, 0});
    expectNear(transform.apply(gfx::Point{100, 100}), {150, 100});
    EXPECT_EQ(log.messages(), (std::vector<std::string>{
                                  "ratioOfRatios = 2.00",
                                  "Experimental: auto-scaling viewbox transform to fulfil SVG spec's default MEET "
                                  "settings, because your SVG file has different aspect-ratios for viewBox and for "
                                  "svg.width,svg.height"}));
}

TEST(SVGViewport, AlignmentPlacesTheViewBoxAlongTheLongerSide) {
    auto left = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "0 0 100 100"}, {"preserveAspectRatio", "xMinYMid meet"}});
    expectNear(placed(*left, {0, 0}), {0, 0});
    auto right = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "0 0 100 100"}, {"preserveAspectRatio", "xMaxYMid"}});
    expectNear(placed(*right, {0, 0}), {100, 0});
    // Taller: the offset is a share of the element's own height.
    auto tall = makeSVG({{"width", "100"}, {"height", "200"}, {"viewBox", "0 0 100 100"}});
    expectNear(placed(*tall, {0, 0}), {0, 50});
    expectNear(placed(*tall, {100, 100}), {100, 150});
}

TEST(SVGViewport, MeetOffsetsAreInPixelsAtAnyScale) {
    // Twice the view box's size: the platform's vertical offset was in view-box units and put the
    // content 50 pixels too low.
    auto tall = makeSVG({{"width", "100"}, {"height", "200"}, {"viewBox", "0 0 50 50"}});
    expectNear(placed(*tall, {0, 0}), {0, 50});
    expectNear(placed(*tall, {50, 50}), {100, 150});
    auto bottom = makeSVG({{"width", "100"}, {"height", "200"}, {"viewBox", "0 0 50 50"}, {"preserveAspectRatio", "xMidYMax"}});
    expectNear(placed(*bottom, {0, 0}), {0, 100});
}

TEST(SVGViewport, TheViewBoxOriginAppliesWithoutASize) {
    auto svg = makeSVG({{"viewBox", "10 20 100 100"}});
    expectNear(placed(*svg, {10, 20}), {0, 0});
}

TEST(SVGViewport, MatchingRatiosScalePlainlySliceCoversAndNoneStretches) {
    VellumLogCapture log;
    auto same = makeSVG({{"width", "48"}, {"height", "48"}, {"viewBox", "0 0 24 24"}});
    expectNear(placed(*same, {24, 12}), {48, 24});
    // Slice scales by the larger ratio and centres the overflow (the platform stretched the box instead).
    auto slice = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "10 0 100 100"}, {"preserveAspectRatio", "xMidYMid slice"}});
    expectNear(placed(*slice, {10, 0}), {0, -50});
    expectNear(placed(*slice, {110, 100}), {200, 150});
    auto sliceEnd = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "0 0 100 100"}, {"preserveAspectRatio", "xMinYMax slice"}});
    expectNear(placed(*sliceEnd, {0, 0}), {0, -100});
    // None stretches each axis on its own (the platform drew a centred meet fit).
    auto none = makeSVG({{"width", "200"}, {"height", "100"}, {"viewBox", "10 0 100 100"}, {"preserveAspectRatio", "none"}});
    EXPECT_EQ(none->preserveAspectRatio()->baseVal()->align(), SVGPreserveAspectRatioAlign::none);
    expectNear(placed(*none, {10, 0}), {0, 0});
    expectNear(placed(*none, {110, 100}), {200, 100});
    EXPECT_TRUE(log.messages().empty()) << "slice and none are supported";
}

// A viewport stored in single precision (85.333... wide for 64 high) has a ratio that differs from the
// view box's in its last bits: one scale serves both axes, so a stroke is as wide along each. Ratios a
// little further apart still stretch to fill the viewport exactly; further still, meet fits.
TEST(SVGViewport, RatiosAlikeToSinglePrecisionScaleAlikeAndNearOnesStretch) {
    const SVGRect box = SVGRectMake(0, 0, 640, 480);
    const SVGPreserveAspectRatio usual;
    const double floatWidth = static_cast<float>(64 * 640 / 480.0);
    gfx::AffineTransform alike = SVGHelperUtilities::viewBoxFit(box, usual, floatWidth, 64);
    EXPECT_EQ(alike.a, alike.d);
    EXPECT_EQ(alike.b, 0);
    EXPECT_NEAR(alike.apply(gfx::Point{640, 480}).x, floatWidth, 1e-4);
    EXPECT_NEAR(alike.apply(gfx::Point{640, 480}).y, 64, 1e-4);
    gfx::AffineTransform near = SVGHelperUtilities::viewBoxFit(box, usual, 85.3337, 64);
    EXPECT_NE(near.a, near.d);
    EXPECT_DOUBLE_EQ(near.apply(gfx::Point{640, 480}).x, 85.3337);
    gfx::AffineTransform apart = SVGHelperUtilities::viewBoxFit(box, usual, 86, 64);
    EXPECT_EQ(apart.a, apart.d);
    EXPECT_NEAR(apart.apply(gfx::Point{0, 0}).x, (86 - 64 * 640 / 480.0) / 2, 1e-9);
}

TEST(SVGViewport, ElementsInsideAViewportUseTheirOwnTransformAndTheirAncestorsAbsolutely) {
    auto svg = makeSVG({{"width", "48"}, {"height", "48"}, {"viewBox", "0 0 24 24"}});
    auto group = makeElement("g", {{"transform", "translate(2 3)"}}, svg);
    auto rect = makeElement("rect", {{"transform", "scale(2)"}}, group);
    expectNear(placed(*rect, {1, 1}), {2, 2});
    const auto absolute =
        SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*rect);
    expectNear(absolute.apply(gfx::Point{1, 1}), {8, 10});
}

// Each a caller's mistake: reported, and the transform worked out as far as it goes.
TEST(SVGViewport, AnElementWithoutATransformAndAParentOutsideSVGAreReported) {
    auto foreign = std::make_shared<Element>("x:foreign");
    auto rect = makeElement("rect", {{"transform", "translate(1 2)"}}, foreign);
    auto defs = makeElement<SVGDefsElement>("defs");
    VellumLogCapture log;
    expectNear(SVGHelperUtilities::transformAbsoluteIncludingViewportForTransformableOrViewportEstablishingElement(*rect)
                   .apply(gfx::Point{0, 0}),
               {1, 2});
    expectNear(placed(*defs, {3, 4}), {3, 4});
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].starts_with("I don't know what to do when parent node is NOT an SVG element of some kind"));
    EXPECT_TRUE(messages[1].starts_with("Illegal argument, sent a non-SVGTransformable, non-SVGSVGElement object"));
    EXPECT_NE(messages[1].find("Incoming instance = <SVGDefsElement 0x"), std::string::npos);
}

TEST(SVGViewport, PreserveAspectRatioTokensOverrideInTurnAndUnknownOnesAreReported) {
    VellumLogCapture log;
    auto svg = makeSVG({{"preserveAspectRatio", "xMaxYMax  slice"}});
    EXPECT_EQ(svg->preserveAspectRatio()->baseVal()->align(), SVGPreserveAspectRatioAlign::xMaxYMax);
    EXPECT_EQ(svg->preserveAspectRatio()->baseVal()->meetOrSlice(), SVGPreserveAspectRatioMeetOrSlice::slice);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Found unexpected preserve-aspect-ratio command inside element's "
                                                       "'preserveAspectRatio' attribute. Command = ''"});
    auto plain = makeSVG();
    EXPECT_EQ(plain->preserveAspectRatio()->baseVal()->align(), SVGPreserveAspectRatioAlign::xMidYMid);
}

TEST(SVGLayerSetUp, NameOpacityAndFillRuleComeFromTheElement) {
    auto svg = makeSVG({{"opacity", "0.3"}});
    auto group = makeElement("g", {{"id", "g1"}, {"opacity", "0.4"}, {"fill-rule", "evenodd"}}, svg);
    auto path = makeElement("path", {}, group);

    auto groupLayer = quartz::Layer::make();
    SVGHelperUtilities::configureCALayer(*groupLayer, *group);
    EXPECT_EQ(groupLayer->name(), "g1");
    EXPECT_NEAR(groupLayer->opacity(), 0.4, 1e-6);

    auto shape = quartz::ShapeLayer::make();
    SVGHelperUtilities::configureCALayer(*shape, *path);
    EXPECT_DOUBLE_EQ(shape->opacity(), 1.0) << "opacity is not inherited";
    EXPECT_EQ(shape->fillRule(), gfx::FillRule::evenOdd) << "the fill rule is";
    auto nonzero = makeElement("path", {{"fill-rule", "nonzero"}}, group);
    auto other = quartz::ShapeLayer::make();
    SVGHelperUtilities::configureCALayer(*other, *nonzero);
    EXPECT_EQ(other->fillRule(), gfx::FillRule::winding);
}
