#include <gtest/gtest.h>

#include "VellumLogCapture.h"
#include "foundation/Assertion.h"
#include "vellum/CSSPrimitiveValue.h"
#include "vellum/SVGLength.h"
#include "vellum/SVGMatrix.h"
#include "vellum/SVGPreserveAspectRatio.h"
#include "vellum/SVGRect.h"
#include "vellum/SVGTransform.h"

using namespace vellum;

TEST(SVGLength, PercentagesAreShareOfTheDimensionOnlyWhenOneIsGiven) {
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("50%").pixelsValueWithDimension(200), 100);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("50%").value(), 50);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("50%").numberValue(), 0.5f);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("12").pixelsValueWithDimension(200), 12);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("12px").pixelsValue(), 12);
}

TEST(SVGLength, GradientDimensionsTakeFractionsFromZeroToOne) {
    const auto gradient = [](const char* text) { return SVGLength::svgLengthFromNSString(text).pixelsValueWithGradientDimension(200); };
    EXPECT_FLOAT_EQ(gradient("0.5"), 100);
    EXPECT_FLOAT_EQ(gradient("1"), 200);
    EXPECT_FLOAT_EQ(gradient("0"), 0);
    EXPECT_FLOAT_EQ(gradient("1.5"), 1.5f) << "outside 0 to 1: pixels";
    EXPECT_FLOAT_EQ(gradient("25%"), 50);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("0.5").pixelsValueWithDimension(200), 0.5f);
}

TEST(SVGLength, UnitTypesFollowTheStyleValueAndUnknownKindsAreZero) {
    EXPECT_EQ(SVGLength::svgLengthFromNSString("3mm").unitType(), SVGLengthType::mm);
    EXPECT_EQ(SVGLength::svgLengthFromNSString("3").unitType(), SVGLengthType::number);
    EXPECT_EQ(SVGLength::svgLengthFromNSString("90deg").unitType(), SVGLengthType::unknown);
    EXPECT_EQ(SVGLength::svgLengthFromNSString("auto").unitType(), SVGLengthType::unknown);
    auto dimension = std::make_shared<CSSPrimitiveValue>();
    dimension->setFloatValue(CSSPrimitiveType::dimension, 4);
    EXPECT_EQ(SVGLength(dimension).unitType(), SVGLengthType::number);
}

TEST(SVGLength, TheZeroLengthAndRelativeUnitsNeverFail) {
    VellumLogCapture log;
    const SVGLength zero = SVGLength::svgLengthZero();
    EXPECT_EQ(zero.value(), 0);
    EXPECT_EQ(zero.pixelsValue(), 0);
    EXPECT_EQ(zero.numberValue(), 0);
    EXPECT_EQ(zero.unitType(), SVGLengthType::unknown);
    EXPECT_EQ(zero.pixelsValueWithDimension(100), 0);
    // A document's width="2em" has no pixel route: 0, reported in the log, nothing raised.
    EXPECT_EQ(SVGLength::svgLengthFromNSString("2em").pixelsValue(), 0);
    EXPECT_EQ(log.messages().size(), 1u);
    EXPECT_THROW(SVGLength::svgLengthZero().convertToSpecifiedUnits(SVGLengthType::px),
                 foundation::InternalInconsistencyException);
}

TEST(SVGLength, PhysicalUnitsUseCSSsFixedInchWhateverTheMachine) {
    EXPECT_EQ(SVGLength::pixelsPerInchForCurrentDevice(), 96.0f);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("2in").pixelsValue(), 192);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("3pt").pixelsValue(), 4) << "1pt = 4/3 px";
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("72pt").pixelsValue(), 96);
    EXPECT_NEAR(SVGLength::svgLengthFromNSString("25.4mm").pixelsValue(), 96, 1e-3);
    EXPECT_NEAR(SVGLength::svgLengthFromNSString("2.54cm").pixelsValue(), 96, 1e-3);
    EXPECT_FLOAT_EQ(SVGLength::svgLengthFromNSString("1pc").pixelsValue(), 16);
}

TEST(SVGLength, ModelIdentifiersMatchByPlainPrefixInTableOrder) {
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPhone14,2"), 163) << "falls on iPhone1";
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPhone7,1"), 401);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPhone7,2"), 326);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPad5,1"), 326);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPad5,3"), 264);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPad13,4"), 132) << "falls on iPad1";
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iWatch1,1"), 326);
}

TEST(SVGLength, UnknownModelsAreReportedAndGetTheFallbackWithoutStopping) {
    VellumLogCapture log;
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPod9,1"), 326);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("iPhoneX"), 401);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("x86_64"), 132);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("arm64"), 0.0f);
    EXPECT_EQ(SVGLength::pixelsPerInchForModel("aarch64"), 0.0f);
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0],
              "Update your source code or disable assertions: you are using an iPod that didn't exist when this code was "
              "written, we have no idea what the pixel count per inch is!");
    EXPECT_EQ(messages[2],
              "[SVGLength] WARNING: you are running on the simulator; it's impossible for us to calculate "
              "centimeter/millimeter/inches units correctly");
    EXPECT_TRUE(messages[3].starts_with("Cannot determine the PPI values for current device; returning 0.0f"));
}

TEST(SVGRect, AllMinusOneIsTheOnlyUnsetRectangle) {
    EXPECT_FALSE(SVGRectIsInitialized(SVGRectUninitialized()));
    EXPECT_FALSE(SVGRectIsInitialized(SVGRect{}));
    EXPECT_TRUE(SVGRectIsInitialized(SVGRectMake(-1, -1, -1, 0)));
    EXPECT_TRUE(SVGRectIsInitialized(SVGRectMake(0, 0, 0, 0)));
    EXPECT_EQ(CGRectFromSVGRect(SVGRectMake(1, 2, 3, 4)), gfx::Rect(1, 2, 3, 4));
    EXPECT_EQ(CGSizeFromSVGRect(SVGRectMake(1, 2, 3, 4)), (gfx::Size{3, 4}));
}

TEST(SVGPreserveAspectRatio, DefaultsToMidMeetAndAnimatedValuesAreCopies) {
    SVGAnimatedPreserveAspectRatio ratio;
    EXPECT_EQ(ratio.baseVal()->align(), SVGPreserveAspectRatioAlign::xMidYMid);
    EXPECT_EQ(ratio.baseVal()->meetOrSlice(), SVGPreserveAspectRatioMeetOrSlice::meet);
    ratio.baseVal()->setAlign(SVGPreserveAspectRatioAlign::xMaxYMax);
    auto animated = ratio.animVal();
    EXPECT_EQ(animated->align(), SVGPreserveAspectRatioAlign::xMaxYMax);
    animated->setAlign(SVGPreserveAspectRatioAlign::xMinYMin);
    EXPECT_EQ(ratio.baseVal()->align(), SVGPreserveAspectRatioAlign::xMaxYMax);
    EXPECT_NE(ratio.animVal(), animated) << "a fresh copy each time";
}

TEST(SVGDOMValues, MatrixArithmeticAndTransformSettersAreUnsupported) {
    SVGMatrix matrix;
    matrix.setE(5);
    EXPECT_EQ(matrix.e(), 5);
    EXPECT_THROW(matrix.inverse(), foundation::InternalInconsistencyException);
    EXPECT_THROW(SVGPoint(1, 2).matrixTransform(matrix), foundation::InternalInconsistencyException);
    SVGTransform transform;
    EXPECT_THROW(transform.setTranslate(1, 2), foundation::InternalInconsistencyException);
    SVGAngle angle;
    angle.setValue(90);
    EXPECT_EQ(angle.value(), 90);
    EXPECT_THROW(angle.convertToSpecifiedUnits(2), foundation::InternalInconsistencyException);
}
