#include <gtest/gtest.h>

#include "VellumLogCapture.h"
#include "foundation/Assertion.h"
#include "vellum/CSSPrimitiveValue.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/CSSValueList.h"

using namespace vellum;

namespace {

std::shared_ptr<CSSStyleDeclaration> declarations(std::string text) {
    auto style = std::make_shared<CSSStyleDeclaration>();
    style->setCssText(std::move(text));
    return style;
}

CSSPrimitiveValue primitive(std::string text) {
    CSSPrimitiveValue value;
    value.setCssText(std::move(text));
    return value;
}

std::shared_ptr<CSSStyleRule> rule(const CSSStyleSheet& sheet, std::size_t index) {
    return std::dynamic_pointer_cast<CSSStyleRule>(sheet.cssRules()->item(index));
}

}  // namespace

TEST(CSSDeclarations, NamesAndValuesAreTrimmedAndATrailingSemicolonAddsNothing) {
    auto style = declarations("fill:red;stroke : blue ; ");
    EXPECT_EQ(style->getPropertyValue("fill"), "red");
    EXPECT_EQ(style->getPropertyValue("stroke"), "blue");
    EXPECT_EQ(style->internalDictionaryOfStylesByCSSClass().size(), 2u);
    EXPECT_EQ(style->getPropertyValue("Fill"), std::nullopt) << "names keep their case";
    EXPECT_EQ(style->cssText(), "fill:red;stroke : blue ; ");
}

TEST(CSSDeclarations, LaterDeclarationsWinAndOddTextGivesOddNames) {
    auto style = declarations("fill:red; fill:green; a:b:c; orphan");
    EXPECT_EQ(style->getPropertyValue("fill"), "green");
    EXPECT_EQ(style->getPropertyValue("b"), "c") << "with two colons the name is the text between them";
    EXPECT_EQ(style->getPropertyValue(""), "orphan") << "no colon after a stored declaration: the empty name";
    // An empty declaration leaves its name waiting for the next value.
    EXPECT_EQ(declarations("opacity:;0.5")->getPropertyValue("opacity"), "0.5");
}

TEST(CSSDeclarations, ValuesWithBlanksAreListsSplitAtEveryBlank) {
    auto style = declarations("stroke-dasharray: 5 10; font-family:a  b");
    auto dashes = std::dynamic_pointer_cast<CSSValueList>(style->getPropertyCSSValue("stroke-dasharray"));
    ASSERT_TRUE(dashes);
    EXPECT_EQ(dashes->cssValueType(), CSSValueType::valueList);
    EXPECT_EQ(dashes->length(), 2u);
    EXPECT_EQ(dashes->item(1), "10");
    auto family = std::dynamic_pointer_cast<CSSValueList>(style->getPropertyCSSValue("font-family"));
    ASSERT_TRUE(family);
    EXPECT_EQ(family->length(), 3u);
    EXPECT_EQ(family->item(1), "") << "two blanks give an empty item";
    EXPECT_EQ(family->item(7), "");
    EXPECT_EQ(style->getPropertyCSSValue("none"), nullptr);
}

TEST(CSSDeclarations, ImportantIsAPriorityNotPartOfTheValue) {
    auto style = declarations("fill: red !important; stroke: blue ! IMPORTANT; opacity: 1");
    EXPECT_EQ(style->getPropertyValue("fill"), "red");
    EXPECT_EQ(style->getPropertyPriority("fill"), "important");
    EXPECT_EQ(style->getPropertyValue("stroke"), "blue");
    EXPECT_EQ(style->getPropertyPriority("stroke"), "important");
    EXPECT_EQ(style->getPropertyPriority("opacity"), "");
    EXPECT_TRUE(std::dynamic_pointer_cast<CSSPrimitiveValue>(style->getPropertyCSSValue("fill")))
        << "a single token once the priority is off";

    style->setProperty("opacity", "0.5", "important");
    EXPECT_EQ(style->getPropertyValue("opacity"), "0.5");
    EXPECT_EQ(style->getPropertyPriority("opacity"), "important");
    style->setProperty("fill", "green", "");
    EXPECT_EQ(style->getPropertyPriority("fill"), "");
    EXPECT_EQ(style->removeProperty("fill"), "green");
    EXPECT_EQ(style->removeProperty("fill"), std::nullopt);
}

TEST(CSSDeclarations, ItemsAreNamesInAscendingOrder) {
    auto style = declarations("stroke:1;fill:2;opacity:3");
    EXPECT_EQ(style->item(0), "fill");
    EXPECT_EQ(style->item(1), "opacity");
    EXPECT_EQ(style->item(2), "stroke");
    EXPECT_EQ(style->item(3), "");
}

TEST(CSSDeclarations, AnOverlongValueStopsTheParseThereAndWarnsOnce) {
    VellumLogCapture log;
    auto style = declarations("fill:red; d:" + std::string(300, 'M') + "; stroke:blue");
    EXPECT_EQ(style->getPropertyValue("fill"), "red");
    EXPECT_EQ(style->getPropertyValue("d"), std::nullopt);
    EXPECT_EQ(style->getPropertyValue("stroke"), std::nullopt);
    EXPECT_EQ(log.messages(), std::vector<std::string>{"Buffer ovverun while parsing style sheet - skipping"});
    EXPECT_EQ(declarations("d:" + std::string(255, 'M'))->getPropertyValue("d")->size(), 255u) << "255 bytes still fit";
}

TEST(CSSStyleSheets, CommentsGoAndEachBraceEndsARule) {
    CSSStyleSheet sheet("rect {fill:red}/* one\n two */.a{stroke:blue;}\n#b{opacity:0.5}");
    ASSERT_EQ(sheet.cssRules()->length(), 3u);
    EXPECT_EQ(rule(sheet, 0)->selectorText(), "rect ") << "the blank before the brace stays";
    EXPECT_EQ(rule(sheet, 0)->style()->getPropertyValue("fill"), "red");
    EXPECT_EQ(rule(sheet, 1)->selectorText(), ".a");
    EXPECT_EQ(rule(sheet, 2)->selectorText(), "#b");
    EXPECT_EQ(rule(sheet, 2)->style()->getPropertyValue("opacity"), "0.5");
    EXPECT_EQ(rule(sheet, 3), nullptr);
}

TEST(CSSStyleSheets, TrailingPiecesAndTextsWithoutABraceMakeNoRules) {
    EXPECT_EQ(CSSStyleSheet("g{fill:red}").cssRules()->length(), 1u);
    EXPECT_EQ(CSSStyleSheet("g{fill:red}\n").cssRules()->length(), 1u) << "a one-character tail is ignored";
    EXPECT_EQ(CSSStyleSheet("g{fill:red} junk").cssRules()->length(), 1u);
    EXPECT_EQ(CSSStyleSheet("/* unterminated {fill:red}").cssRules()->length(), 1u);
    EXPECT_EQ(CSSStyleSheet("").cssRules()->length(), 0u);
}

TEST(CSSStyleSheets, RulesAreInsertedAndDeletedByIndex) {
    CSSStyleSheet sheet("a{fill:red}b{fill:blue}");
    EXPECT_EQ(sheet.insertRule("c{fill:green}", 1), 1);
    EXPECT_EQ(rule(sheet, 1)->selectorText(), "c");
    EXPECT_EQ(sheet.insertRule("no braces", 0), -1);
    EXPECT_EQ(sheet.insertRule("d{}", 9), -1) << "past the end inserts nothing";
    EXPECT_EQ(sheet.cssRules()->length(), 3u);
    sheet.deleteRule(0);
    sheet.deleteRule(9);
    EXPECT_EQ(rule(sheet, 0)->selectorText(), "c");
    EXPECT_EQ(rule(sheet, 0)->description(), "c : { CSSStyleDeclaration: dictionary(fill = green) }");
}

TEST(CSSPrimitiveValues, UnitsComeFromCaseSensitiveSuffixes) {
    EXPECT_EQ(primitive("12px").primitiveType(), CSSPrimitiveType::px);
    EXPECT_EQ(primitive("12px").getFloatValue(CSSPrimitiveType::px), 12.0f);
    EXPECT_EQ(primitive("12PX").primitiveType(), CSSPrimitiveType::number) << "capital suffixes are not units";
    EXPECT_EQ(primitive("1.5e2").primitiveType(), CSSPrimitiveType::number);
    EXPECT_EQ(primitive("1.5e2").getFloatValue(CSSPrimitiveType::number), 150.0f);
    EXPECT_EQ(primitive("50%").primitiveType(), CSSPrimitiveType::percentage);
    EXPECT_EQ(primitive("3grad").primitiveType(), CSSPrimitiveType::grad);
    EXPECT_EQ(primitive("3rad").primitiveType(), CSSPrimitiveType::rad);
    EXPECT_EQ(primitive("2ms").primitiveType(), CSSPrimitiveType::ms);
    EXPECT_EQ(primitive("2s").primitiveType(), CSSPrimitiveType::s);
    EXPECT_EQ(primitive("red").primitiveType(), CSSPrimitiveType::string);
    EXPECT_EQ(primitive("red").getStringValue(), "red");
    EXPECT_EQ(primitive("12px").getStringValue(), std::nullopt);
    EXPECT_EQ(primitive("").primitiveType(), CSSPrimitiveType::unknown);
    // A keyword that happens to end like a unit is typed as that unit, value 0, text kept.
    EXPECT_EQ(primitive("Helvetica-System").primitiveType(), CSSPrimitiveType::ems);
    EXPECT_EQ(primitive("Arials").primitiveType(), CSSPrimitiveType::s);
    EXPECT_EQ(primitive("Arials").cssText(), "Arials");
    EXPECT_EQ(primitive("inf").primitiveType(), CSSPrimitiveType::string) << "no infinities from text";
}

TEST(CSSPrimitiveValues, ANumberWithAMalformedUnitIsNoLength) {
    for (const char* text : {"20qq", "10 px", "8x", "5pxs", "1.5.5"}) {
        EXPECT_EQ(primitive(text).primitiveType(), CSSPrimitiveType::string) << text;
        EXPECT_EQ(primitive(text).getFloatValue(CSSPrimitiveType::px), 0.0f) << text;
    }
    EXPECT_EQ(primitive(" 10px ").getFloatValue(CSSPrimitiveType::px), 10.0f) << "blanks around the whole are allowed";
    EXPECT_EQ(primitive("-.5em").primitiveType(), CSSPrimitiveType::ems);
    EXPECT_EQ(primitive("-.5em").getFloatValue(CSSPrimitiveType::ems), -0.5f);
}

TEST(CSSPrimitiveValues, PhysicalUnitsConvertThroughInches) {
    EXPECT_FLOAT_EQ(primitive("2in").getFloatValue(CSSPrimitiveType::pt), 144.0f);
    EXPECT_NEAR(primitive("2.54cm").getFloatValue(CSSPrimitiveType::in), 1.0f, 1e-5);
    EXPECT_NEAR(primitive("10mm").getFloatValue(CSSPrimitiveType::cm), 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(primitive("1pc").getFloatValue(CSSPrimitiveType::pt), 12.0f);
    auto inches = primitive("1in");
    inches.setPixelsPerInch(132);
    EXPECT_FLOAT_EQ(inches.getFloatValue(CSSPrimitiveType::px), 132.0f);
    EXPECT_FLOAT_EQ(primitive("25%").getFloatValue(CSSPrimitiveType::number), 0.25f);
    EXPECT_FLOAT_EQ(primitive("7").getFloatValue(CSSPrimitiveType::px), 7.0f);
}

TEST(CSSPrimitiveValues, ConversionsWithoutARouteGiveZeroAndAreLoggedNotRaised) {
    VellumLogCapture log;
    EXPECT_EQ(primitive("2em").getFloatValue(CSSPrimitiveType::px), 0.0f);
    EXPECT_EQ(primitive("50%").getFloatValue(CSSPrimitiveType::px), 0.0f);
    EXPECT_EQ(primitive("90deg").getFloatValue(CSSPrimitiveType::rad), 0.0f);
    EXPECT_EQ(primitive("1in").getFloatValue(CSSPrimitiveType::deg), 0.0f);
    EXPECT_EQ(primitive("").getFloatValue(CSSPrimitiveType::px), 0.0f) << "an empty value converts silently";
    const auto messages = log.messages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0],
              "Asked to convert a Relative Length value to a different type (NO conversions for this type are currently "
              "supported) (5)");
    EXPECT_EQ(messages[1], "Asked to convert a Percentage value to a different type (5)");
    EXPECT_EQ(messages[3], "Asked to convert a value in centimetres to an incompatible unit type (11)");
}

TEST(CSSPrimitiveValues, ValuesSetDirectlyKeepTheirUnit) {
    CSSPrimitiveValue value;
    value.setFloatValue(CSSPrimitiveType::mm, 5);
    EXPECT_EQ(value.getFloatValue(CSSPrimitiveType::mm), 5.0f);
    value.setStringValue(CSSPrimitiveType::uri, "#a");
    EXPECT_EQ(value.getStringValue(), "#a");
    EXPECT_EQ(value.getFloatValue(CSSPrimitiveType::uri), 0.0f);
    EXPECT_THROW(value.getRGBColorValue(), foundation::InternalInconsistencyException);
}
