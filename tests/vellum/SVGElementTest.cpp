#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "RenderTestSupport.h"
#include "SVGElementTestSupport.h"
#include "VellumLogCapture.h"
#include "foundation/Assertion.h"
#include "vellum/CSSStyleDeclaration.h"
#include "vellum/CSSStyleRule.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/CharacterData.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGGradientElement.h"
#include "vellum/SVGImageElement.h"
#include "vellum/SVGTextElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGUseElement.h"
#include "vellum/StyleSheetList.h"

using namespace vellum;

namespace {

gfx::Point mapped(const std::string& transform, gfx::Point point) {
    return makeElement("g", {{"transform", transform}})->transform().apply(point);
}

// <svg><style>sheet</style> ... </svg>: the root with one style sheet.
std::shared_ptr<SVGSVGElement> styledRoot(std::string_view sheet) {
    auto svg = makeSVG();
    svg->styleSheets()->internalArray().push_back(std::make_shared<CSSStyleSheet>(sheet));
    return svg;
}

}  // namespace

TEST(SVGElementAttributes, IdentifierClassAndInlineStyleAreRead) {
    auto element = makeElement("rect", {{"id", "r1"}, {"class", "a b"}, {"style", "fill:red"}});
    EXPECT_EQ(element->identifier(), "r1");
    EXPECT_EQ(element->className(), "a b");
    EXPECT_EQ(element->style()->getPropertyValue("fill"), "red");
    auto bare = makeElement("rect", {{"id", ""}});
    EXPECT_EQ(bare->identifier(), std::nullopt);
    EXPECT_EQ(bare->style(), nullptr);
    EXPECT_THROW(bare->getPresentationAttribute("fill"), foundation::InternalInconsistencyException);
    // The description names the element's own class and each part by its own value, after its address.
    auto rect = makeElement<SVGRectElement>("rect", {{"id", "r1"}});
    char address[40];
    std::snprintf(address, sizeof address, "<SVGRectElement 0x%llx | ", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(rect.get())));
    EXPECT_EQ(rect->description(), std::string(address) + "id=r1 | prefix:localName=(null): | tagName=rect | stringValue= | children=0>");
}

// The id, class, base and string value are kept apart from the element until one is set; each answers
// on its own, and clearing one leaves the others.
TEST(SVGElementAttributes, IdClassBaseAndStringValueAreEmptyUntilSetAndKeptApartFromEachOther) {
    auto bare = makeElement("rect");
    EXPECT_EQ(bare->className(), std::nullopt);
    EXPECT_EQ(bare->xmlbase(), "");
    EXPECT_EQ(bare->stringValue(), "");

    bare->setXmlbase("http://example.org/");
    EXPECT_EQ(bare->xmlbase(), "http://example.org/");
    EXPECT_EQ(bare->className(), std::nullopt) << "setting the base gives no class";
    bare->setStringValue("value");
    bare->setClassName("c");
    EXPECT_EQ(bare->stringValue(), "value");
    bare->setClassName(std::nullopt);
    EXPECT_EQ(bare->className(), std::nullopt);
    EXPECT_EQ(bare->xmlbase(), "http://example.org/");
    EXPECT_EQ(bare->stringValue(), "value");

    bare->setIdentifier("i");
    EXPECT_EQ(bare->identifier(), "i");
    bare->setIdentifier(std::nullopt);
    EXPECT_EQ(bare->identifier(), std::nullopt);
    EXPECT_EQ(bare->xmlbase(), "http://example.org/") << "clearing the id leaves the base";

    auto other = makeElement("rect", {{"class", "k"}});
    EXPECT_EQ(other->className(), "k");
    EXPECT_EQ(other->identifier(), std::nullopt) << "a class gives no id";
    EXPECT_EQ(other->xmlbase(), "") << "another element's base is not shared";
    EXPECT_EQ(bare->className(), std::nullopt);
}

TEST(SVGElementTransform, ItemsApplyToTheContentFromRightToLeft) {
    expectNear(mapped("translate(10) scale(2)", {1, 1}), {12, 2});
    expectNear(mapped("rotate(90 10 10)", {20, 10}), {10, 20});
    expectNear(mapped("matrix(1 0 0 1 5 6)", {0, 0}), {5, 6});
    expectNear(mapped("skewX(45)", {0, 10}), {10, 10});
    expectNear(mapped("scale(2,3)", {1, 1}), {2, 3});
    EXPECT_EQ(makeElement("g", {{"transform", "translate(5,6)"}})->transform(),
              makeElement("g", {{"transform", "translate(5 6)"}})->transform());
    expectNear(mapped("translate(1,2)\n  scale(2)", {1, 1}), {3, 4});  // items on separate lines
}

TEST(SVGElementTransform, TheTransformAttributeWinsOverTheGradientTransform) {
    auto both = makeElement("g", {{"transform", "translate(1)"}, {"gradientTransform", "translate(9)"}});
    expectNear(both->transform().apply(gfx::Point{0, 0}), {1, 0});
    auto gradient = makeElement("g", {{"gradientTransform", "translate(9)"}});
    expectNear(gradient->transform().apply(gfx::Point{0, 0}), {9, 0});
    auto plain = makeElement<SVGElement>("desc", {{"transform", "translate(9)"}});
    EXPECT_FALSE(dynamic_cast<SVGTransformable*>(plain.get())) << "only transformable elements take one";
}

TEST(SVGElementTransform, MalformedItemsAreSkippedAndReported) {
    VellumLogCapture log;
    EXPECT_TRUE(makeElement("g", {{"transform", "rotate(45 10)"}})->transform().isIdentity());
    EXPECT_TRUE(makeElement("g", {{"transform", "matrix(1 0 0 1 5)"}})->transform().isIdentity()) << "five numbers";
    EXPECT_TRUE(makeElement("g", {{"transform", "wobble(3)"}})->transform().isIdentity());
    expectNear(mapped("translate(10px, 5)", {0, 0}), {10, 0});  // reading stops at the unit
    EXPECT_TRUE(makeElement("g", {{"transform", "translate(x)((("}})->transform().isIdentity());
    const auto messages = log.messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0],
              "[SVGElement] ERROR: input file is illegal, has an SVG matrix transform attribute without the required 1 "
              "or 3 parameters. Item = rotate(45 10, transform attribute value = rotate(45 10)");
    EXPECT_NE(std::find(messages.begin(), messages.end(), "Not implemented yet: transform = wobble wobble(3"),
              messages.end())
        << "an unknown item is named as written";
}

TEST(SVGElementTree, ElementsFollowTheirSVGElementAndViewport) {
    auto svg = makeSVG({{"width", "10"}});
    auto group = makeElement("g", {}, svg);
    auto rect = makeElement("rect", {}, group);
    EXPECT_EQ(svg->rootOfCurrentDocumentFragment(), nullptr) << "the outermost svg element has no SVG parent";
    EXPECT_EQ(rect->rootOfCurrentDocumentFragment(), svg);
    EXPECT_EQ(rect->viewportElement(), svg);

    auto inner = makeElement<SVGSVGElement>("svg", {{"width", "5"}}, group);
    auto circle = makeElement("circle", {}, inner);
    EXPECT_EQ(inner->rootOfCurrentDocumentFragment(), inner);
    EXPECT_EQ(circle->rootOfCurrentDocumentFragment(), inner);
    EXPECT_EQ(circle->viewportElement(), inner);

    // A subtree moved elsewhere follows its new place.
    auto other = makeSVG();
    other->appendChild(group);
    EXPECT_EQ(rect->rootOfCurrentDocumentFragment(), other);
    EXPECT_EQ(rect->viewportElement(), other);

    // Through an element that is no SVG element, to the nearest one above it.
    auto foreign = std::make_shared<Element>("x:data", std::optional<std::string>("urn:x"), Element::AttributeNodes{});
    group->appendChild(foreign);
    auto path = makeElement("path", {}, foreign);
    EXPECT_EQ(path->rootOfCurrentDocumentFragment(), other);
    EXPECT_EQ(path->viewportElement(), other);
}

TEST(SVGElementTree, EveryElementOfAWideAndDeepSubtreeFollowsItsMove) {
    // A hundred groups side by side, each holding a rect, and a chain sixty deep below the last.
    auto svg = makeSVG();
    auto top = makeElement("g", {}, svg);
    std::vector<std::shared_ptr<SVGElement>> leaves;
    std::shared_ptr<SVGElement> group;
    for (int i = 0; i < 100; ++i) {
        group = makeElement("g", {}, top);
        leaves.push_back(makeElement("rect", {}, group));
    }
    for (int depth = 0; depth < 60; ++depth) group = makeElement("g", {}, group);
    leaves.push_back(makeElement("circle", {}, group));
    auto other = makeSVG();
    other->appendChild(top);
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(leaves[i]->rootOfCurrentDocumentFragment(), other) << i;
        EXPECT_EQ(leaves[i]->viewportElement(), other) << i;
    }
}

TEST(SVGElementTree, RemovingAnElementLogsThatItsTreeIsNoLongerValid) {
    auto svg = makeSVG();
    auto rect = makeElement("rect", {}, svg);
    VellumLogCapture log;
    svg->removeChild(rect);
    EXPECT_EQ(rect->rootOfCurrentDocumentFragment(), nullptr);
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_TRUE(log.messages()[0].starts_with("SVGElement has had its parent set to nil"));
    auto group = makeElement("g", {}, svg);
    VellumLogCapture quiet;
    makeSVG()->appendChild(group);
    EXPECT_TRUE(quiet.messages().empty()) << "a move never passes through no parent";
}

TEST(SVGElementCascade, SpecificityDecidesBetweenRulesAndInlineStyleBeatsThemAll) {
    auto svg = styledRoot("rect{fill:red} .a{fill:green} #r{fill:blue}");
    auto tagged = makeElement("rect", {}, svg);
    auto classed = makeElement("rect", {{"class", "a"}}, svg);
    auto identified = makeElement("rect", {{"class", "a"}, {"id", "r"}}, svg);
    auto inline_ = makeElement("rect", {{"id", "r"}, {"style", "fill:black"}}, svg);
    auto attribute = makeElement("rect", {{"fill", "white"}}, svg);
    EXPECT_EQ(tagged->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(classed->cascadedValueForStylableProperty("fill"), "green");
    EXPECT_EQ(identified->cascadedValueForStylableProperty("fill"), "blue");
    EXPECT_EQ(inline_->cascadedValueForStylableProperty("fill"), "black");
    EXPECT_EQ(attribute->cascadedValueForStylableProperty("fill"), "red") << "a presentation attribute loses to a rule";
    EXPECT_EQ(tagged->cascadedValueForStylableProperty("stroke"), std::nullopt);
}

TEST(SVGElementCascade, OnATieTheLaterRuleAndTheLaterSheetWin) {
    auto svg = styledRoot("rect{fill:red} rect{fill:green}");
    auto rect = makeElement("rect", {}, svg);
    EXPECT_EQ(rect->cascadedValueForStylableProperty("fill"), "green");
    svg->styleSheets()->internalArray().push_back(std::make_shared<CSSStyleSheet>("rect{fill:blue}"));
    EXPECT_EQ(rect->cascadedValueForStylableProperty("fill"), "blue");
}

TEST(SVGElementCascade, CompoundSelectorsMatchTheElementItself) {
    auto svg = styledRoot("rect, .a{stroke:blue} rect.b{opacity:0.5} rect#r.b[fill]{stroke-width:3}");
    auto rect = makeElement("rect", {}, svg);
    auto classed = makeElement("circle", {{"class", "x,a"}}, svg);
    auto both = makeElement("rect", {{"class", "b c"}, {"id", "r"}, {"fill", "red"}}, svg);
    EXPECT_EQ(rect->cascadedValueForStylableProperty("stroke"), "blue");
    EXPECT_EQ(classed->cascadedValueForStylableProperty("stroke"), "blue") << "class names split at commas too";
    EXPECT_EQ(both->cascadedValueForStylableProperty("opacity"), "0.5");
    EXPECT_EQ(both->cascadedValueForStylableProperty("stroke-width"), "3");
    EXPECT_EQ(rect->cascadedValueForStylableProperty("opacity", false), std::nullopt);
    EXPECT_EQ(rect->cascadedValueForStylableProperty("stroke-width", false), std::nullopt);
}

TEST(SVGElementCascade, DescendantAndChildCombinatorsLookAtTheAncestors) {
    auto svg = styledRoot("g rect{fill:red} svg > rect{fill:green} g>circle{stroke:blue} .outer .inner path{fill:navy}"
                          "g > g rect{stroke:gray}");
    auto group = makeElement("g", {{"class", "outer"}}, svg);
    auto rect = makeElement("rect", {}, group);
    auto direct = makeElement("rect", {}, svg);
    auto inner = makeElement("g", {{"class", "inner"}}, group);
    auto deep = makeElement("circle", {}, inner);
    auto farRect = makeElement("rect", {}, makeElement("a", {}, inner));
    auto path = makeElement("path", {}, makeElement("g", {}, inner));
    auto loose = makeElement("circle", {}, makeElement("a", {}, group));
    EXPECT_EQ(rect->cascadedValueForStylableProperty("fill", false), "red");
    EXPECT_EQ(direct->cascadedValueForStylableProperty("fill", false), "green");
    EXPECT_EQ(farRect->cascadedValueForStylableProperty("fill", false), "red") << "any ancestor, however far";
    EXPECT_EQ(deep->cascadedValueForStylableProperty("stroke", false), "blue");
    EXPECT_EQ(loose->cascadedValueForStylableProperty("stroke", false), std::nullopt) << "a child, not a grandchild";
    EXPECT_EQ(path->cascadedValueForStylableProperty("fill", false), "navy");
    EXPECT_EQ(farRect->cascadedValueForStylableProperty("stroke", false), "gray") << "a child step then a descendant";
    EXPECT_EQ(rect->cascadedValueForStylableProperty("stroke", false), std::nullopt) << "outer has no g parent";
}

TEST(SVGElementCascade, AttributeSelectorsTestPresenceAndValues) {
    auto svg = styledRoot(R"([data-x]{fill:red} rect[kind="a b"]{stroke:blue} [kind~=b]{opacity:0.5}
        [lang|=en]{stroke-width:2} [href^="#s"]{fill:green} [href$=end]{stroke:gray} [href*='mid']{opacity:0.25}
        [ kind = "q,r" ]{fill:navy})");
    auto present = makeElement("circle", {{"data-x", ""}}, svg);
    auto words = makeElement("rect", {{"kind", "a b"}}, svg);
    auto english = makeElement("path", {{"lang", "en-GB"}}, svg);
    auto english2 = makeElement("path", {{"lang", "english"}}, svg);
    auto linked = makeElement("use", {{"href", "#start-mid-end"}}, svg);
    auto commas = makeElement("path", {{"kind", "q,r"}}, svg);
    auto plain = makeElement("rect", {}, svg);
    EXPECT_EQ(present->cascadedValueForStylableProperty("fill", false), "red");
    EXPECT_EQ(words->cascadedValueForStylableProperty("stroke", false), "blue");
    EXPECT_EQ(words->cascadedValueForStylableProperty("opacity", false), "0.5");
    EXPECT_EQ(english->cascadedValueForStylableProperty("stroke-width", false), "2");
    EXPECT_EQ(english2->cascadedValueForStylableProperty("stroke-width", false), std::nullopt);
    EXPECT_EQ(linked->cascadedValueForStylableProperty("fill", false), "green");
    EXPECT_EQ(linked->cascadedValueForStylableProperty("stroke", false), "gray");
    EXPECT_EQ(linked->cascadedValueForStylableProperty("opacity", false), "0.25");
    EXPECT_EQ(commas->cascadedValueForStylableProperty("fill", false), "navy") << "a comma inside quotes splits nothing";
    for (const char* property : {"fill", "stroke", "opacity", "stroke-width"}) {
        EXPECT_EQ(plain->cascadedValueForStylableProperty(property, false), std::nullopt) << property;
    }
}

TEST(SVGElementCascade, ClassNamesAreASetWhateverTheirRepeatsAndSeparators) {
    auto svg = styledRoot(".a{fill:red} rect{fill:blue} .b.a{stroke:green} .a.a{opacity:0.5} .c{stroke-width:2}");
    auto repeated = makeElement("rect", {{"class", "a a\ta,,a"}}, svg);
    auto both = makeElement("rect", {{"class", " b , a b "}}, svg);
    auto empty = makeElement("rect", {{"class", " ,, "}}, svg);
    EXPECT_EQ(repeated->cascadedValueForStylableProperty("fill", false), "red");
    EXPECT_EQ(repeated->cascadedValueForStylableProperty("opacity", false), "0.5") << "a name the selector repeats";
    EXPECT_EQ(repeated->cascadedValueForStylableProperty("stroke", false), std::nullopt);
    EXPECT_EQ(both->cascadedValueForStylableProperty("stroke", false), "green") << "filed under b, matched with a";
    EXPECT_EQ(empty->cascadedValueForStylableProperty("fill", false), "blue");
    for (const auto& element : {repeated, both, empty}) {
        EXPECT_EQ(element->cascadedValueForStylableProperty("stroke-width", false), std::nullopt);
    }
}

TEST(SVGElementCascade, WordAndHyphenTestsMatchExactly) {
    auto svg = styledRoot(R"([w~=a]{fill:red} [w~=""]{stroke:red} [w~="a b"]{opacity:0.5} [l|=en]{stroke-width:2}
        [l|=""]{stroke-linecap:round} [l|="en-"]{stroke-linejoin:bevel})");
    const auto answers = [&](const Element::AttributeTexts& attributes) {
        auto element = makeElement("path", attributes, svg);
        std::string found;
        for (const char* property : {"fill", "stroke", "opacity", "stroke-width", "stroke-linecap", "stroke-linejoin"}) {
            found += element->cascadedValueForStylableProperty(property, false).value_or("-") + " ";
        }
        return found;
    };
    EXPECT_EQ(answers({{"w", "b \t a\nc a"}}), "red - - - - - ");
    EXPECT_EQ(answers({{"w", "ab A a-b"}}), "- - - - - - ") << "whole words, case kept";
    EXPECT_EQ(answers({{"w", ""}}), "- - - - - - ") << "an empty word is no word";
    EXPECT_EQ(answers({{"w", "a b"}}), "red - - - - - ") << "a value with a blank is no word";
    EXPECT_EQ(answers({{"l", "en"}}), "- - - 2 - - ");
    EXPECT_EQ(answers({{"l", "en-GB"}}), "- - - 2 - - ");
    EXPECT_EQ(answers({{"l", "en--x"}}), "- - - 2 - bevel ");
    EXPECT_EQ(answers({{"l", "eng"}}), "- - - - - - ");
    EXPECT_EQ(answers({{"l", "en_GB en"}}), "- - - - - - ") << "a prefix of the whole value, not of a word";
    EXPECT_EQ(answers({{"l", ""}}), "- - - - round - ");
    EXPECT_EQ(answers({{"l", "-x"}}), "- - - - round - ");
    EXPECT_EQ(answers({{"l", "x"}}), "- - - - - - ");
}

TEST(SVGElementCascade, TheAncestorFilterNeverChangesWhatMatches) {
    // Rules whose names all stand above the element but in the wrong order or place pass the filter and
    // fail the exact walk; a group of many classes fills the filter so that it turns nothing away.
    auto svg = styledRoot("#top rect{fill:red} g.c > rect{stroke:blue} .b .c rect{opacity:0.5} .c .b rect{stroke-width:3}"
                          "x rect{stroke-linecap:round} .a > rect{stroke-linejoin:bevel} svg > g > g > rect{fill-opacity:0.25}"
                          ".k7 .c > rect{stroke-opacity:0.75} #nowhere .c rect{display:none}");
    std::string many;
    for (int index = 0; index < 300; ++index) many += " k" + std::to_string(index);
    auto top = makeElement("g", {{"id", "top"}, {"class", "a b"}}, svg);
    auto rect = makeElement("rect", {}, makeElement("g", {{"class", "c"}}, top));
    auto crowded = makeElement("g", {{"class", many}}, svg);
    auto crowdedRect = makeElement("rect", {}, makeElement("g", {{"class", "c"}}, crowded));
    auto moved = makeElement("g", {{"class", "c"}}, crowded);
    auto movedRect = makeElement("rect", {}, moved);
    const auto answers = [&](const std::shared_ptr<SVGElement>& element) {
        std::string found;
        for (const char* property : {"fill", "stroke", "opacity", "stroke-width", "stroke-linecap", "stroke-linejoin",
                                     "fill-opacity", "stroke-opacity", "display"}) {
            found += element->cascadedValueForStylableProperty(property, false).value_or("-") + " ";
        }
        return found;
    };
    const std::string expectedRect = "red blue 0.5 - - - 0.25 - - ";
    const std::string expectedCrowded = "- blue - - - - 0.25 0.75 - ";
    EXPECT_EQ(answers(rect), expectedRect);
    EXPECT_EQ(answers(crowdedRect), expectedCrowded);
    SVGElement::CascadeScope scope;
    EXPECT_EQ(answers(rect), expectedRect) << "in a scope, with filters kept";
    EXPECT_EQ(answers(crowdedRect), expectedCrowded);
    EXPECT_EQ(answers(movedRect), expectedCrowded);
    top->appendChild(moved);
    EXPECT_EQ(answers(movedRect), "red blue 0.5 - - - 0.25 - - ") << "a moved subtree's filters follow it";
}

TEST(SVGElementCascade, AGroupWithUnknownSyntaxMatchesNothingButItsNeighboursStillDo) {
    auto svg = styledRoot("rect:hover, circle{fill:red} rect + rect{stroke:blue} rect[x{opacity:0.5} rect >{fill:green}"
                          "* {stroke-width:4} *.a{stroke-linecap:round} , ,circle,,{stroke-dasharray:2}");
    auto first = makeElement("rect", {}, svg);
    auto second = makeElement("rect", {{"class", "a"}}, svg);
    auto circle = makeElement("circle", {}, svg);
    EXPECT_EQ(circle->cascadedValueForStylableProperty("fill", false), "red");
    EXPECT_EQ(first->cascadedValueForStylableProperty("fill", false), std::nullopt);
    EXPECT_EQ(second->cascadedValueForStylableProperty("stroke", false), std::nullopt);
    EXPECT_EQ(second->cascadedValueForStylableProperty("opacity", false), std::nullopt);
    EXPECT_EQ(first->cascadedValueForStylableProperty("stroke-width", false), "4") << "the universal selector";
    EXPECT_EQ(second->cascadedValueForStylableProperty("stroke-linecap", false), "round");
    EXPECT_EQ(circle->cascadedValueForStylableProperty("stroke-dasharray", false), "2") << "empty groups are skipped";
}

TEST(SVGElementCascade, ImportantDeclarationsWinOverSpecificityAndInlineStyle) {
    auto svg = styledRoot("rect{fill:red !important; stroke:red} #r{fill:blue; stroke:blue}"
                          ".a{opacity:0.5 !important} #r{opacity:0.25 !important} .b{stroke-width:1 !important}");
    auto identified = makeElement("rect", {{"id", "r"}, {"class", "a b"}, {"style", "fill:black; stroke-width:9 !important"}}, svg);
    auto styled = makeElement("circle", {{"class", "b"}, {"style", "stroke-width:7"}}, svg);
    EXPECT_EQ(identified->cascadedValueForStylableProperty("fill"), "red") << "important beats the identifier and inline";
    EXPECT_EQ(identified->cascadedValueForStylableProperty("stroke"), "blue");
    EXPECT_EQ(identified->cascadedValueForStylableProperty("opacity", false), "0.25") << "between important ones, specificity";
    EXPECT_EQ(identified->cascadedValueForStylableProperty("stroke-width"), "9") << "important inline beats important rules";
    EXPECT_EQ(styled->cascadedValueForStylableProperty("stroke-width"), "1");
}

TEST(SVGElementCascade, InheritanceReadsEveryAncestorOnlyWhenAsked) {
    auto svg = makeSVG({{"stroke", "navy"}});
    auto group = makeElement("g", {{"fill", "red"}, {"display", "none"}}, svg);
    auto switchLike = makeElement("switch", {{"fill", "green"}}, group);
    auto path = makeElement("path", {}, switchLike);
    EXPECT_EQ(path->cascadedValueForStylableProperty("fill"), "green") << "any SVG ancestor passes its value on";
    EXPECT_EQ(path->cascadedValueForStylableProperty("stroke"), "navy");
    EXPECT_EQ(path->cascadedValueForStylableProperty("display", false), std::nullopt);
    EXPECT_EQ(path->cascadedValueForStylableProperty("fill", false), std::nullopt);
}

TEST(SVGElementCascade, ALayerBuildRemembersValuesWithoutMixingThemUp) {
    // Inside a scope every element remembers what it worked out; the answers must stay those of a
    // fresh cascade whatever the order of the questions.
    auto svg = makeSVG();
    auto group = makeElement("g", {{"fill", "red"}, {"display", "none"}, {"stroke", "inherit"}}, svg);
    auto plain = makeElement("path", {}, group);
    auto own = makeElement("path", {{"fill", "blue"}}, group);
    auto inheriting = makeElement("path", {{"fill", "inherit"}}, group);
    SVGElement::CascadeScope scope;
    EXPECT_EQ(plain->cascadedValueForStylableProperty("display"), "none");
    EXPECT_EQ(plain->cascadedValueForStylableProperty("display", false), std::nullopt)
        << "an inherited answer is no answer to a question without inheritance";
    EXPECT_EQ(plain->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(own->cascadedValueForStylableProperty("fill"), "blue") << "a sibling's inherited value is not its own";
    EXPECT_EQ(inheriting->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(group->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(own->cascadedValueForStylableProperty("fill"), "blue") << "asked again";
    EXPECT_EQ(plain->cascadedValueForStylableProperty("stroke"), std::nullopt) << "inherit up to nothing";
    group->setAttribute("fill", "green");
    own->removeAttribute("fill");
    svg->removeChild(group);
    svg->appendChild(group);
    EXPECT_EQ(own->cascadedValueForStylableProperty("fill"), "green") << "a moved subtree forgets what it knew";
}

TEST(SVGElementCascade, AScopeAnswersForMorePropertiesThanItFilesAndForgetsNothing) {
    // A build files each property name it meets under an id; past the ids it has, the answers must
    // still be right, and so must those it filed before.
    auto svg = makeSVG();
    Element::AttributeTexts groupValues;
    for (int index = 0; index < 40; ++index) groupValues["p" + std::to_string(index)] = std::to_string(index);
    auto group = makeElement("g", groupValues, svg);
    auto path = makeElement("path", {{"p3", "own"}, {"p38", "inherit"}}, group);
    SVGElement::CascadeScope scope;
    for (int index = 0; index < 40; ++index) {
        const std::string name = "p" + std::to_string(index);
        EXPECT_EQ(path->cascadedValueForStylableProperty(name), index == 3 ? "own" : std::to_string(index)) << name;
        EXPECT_EQ(path->cascadedValueForStylableProperty(name, false),
                  index == 3 ? std::optional<std::string>("own")
                             : index == 38 ? std::optional<std::string>("38") : std::nullopt)
            << name;
    }
    EXPECT_EQ(path->cascadedValueForStylableProperty("p0"), "0");
    EXPECT_EQ(path->cascadedValueForStylableProperty("p3"), "own");
    EXPECT_EQ(path->cascadedValueForStylableProperty("p39"), "39");
    EXPECT_EQ(path->cascadedValueForStylableProperty("absent"), std::nullopt);
}

TEST(SVGElementCascade, AskingByThePropertyOrByItsNameGivesOneAnswer) {
    // Both ways of asking share one record in a scope, also once the scope's ids for other names ran out.
    using Property = SVGElement::StyleProperty;
    auto svg = makeSVG({{"stroke", "navy"}});
    auto group = makeElement("g", {{"fill", "red"}, {"opacity", "0.5"}}, svg);
    auto path = makeElement("path", {{"stroke", "inherit"}, {"stroke-width", "3"}}, group);
    SVGElement::CascadeScope scope;
    for (int index = 0; index < 40; ++index) path->cascadedValueForStylableProperty("p" + std::to_string(index));
    EXPECT_EQ(path->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(path->cascadedValueForStylableProperty(Property::stroke), "navy");
    for (std::size_t index = 0; index < static_cast<std::size_t>(Property::count); ++index) {
        const auto property = static_cast<Property>(index);
        for (const SVGElement* element : {static_cast<SVGElement*>(group.get()), static_cast<SVGElement*>(path.get())}) {
            for (const bool inherit : {true, false}) {
                EXPECT_EQ(element->cascadedValueForStylableProperty(property, inherit),
                          element->cascadedValueForStylableProperty(SVGElement::nameOfStyleProperty(property), inherit))
                    << SVGElement::nameOfStyleProperty(property);
                EXPECT_EQ(element->cascadedValueInScope(property, inherit),
                          element->cascadedValueForStylableProperty(property, inherit))
                    << SVGElement::nameOfStyleProperty(property);
            }
        }
    }
}

TEST(SVGElementCascade, AnAnswerWithoutACopyLastsAsLongAsItsScope) {
    using Property = SVGElement::StyleProperty;
    const std::string colour = "rgb(10, 20, 30) written long enough to live on the heap";
    auto svg = makeSVG();
    auto path = makeElement("path", {{"fill", colour}}, svg);
    EXPECT_THROW(path->cascadedValueInScope(Property::fill), foundation::InternalInconsistencyException)
        << "outside a scope nothing would keep the text";
    SVGElement::CascadeScope scope;
    const auto fill = path->cascadedValueInScope(Property::fill);
    // The document's own text goes away, and the moved element works its values out afresh.
    path->setAttribute("fill", "red");
    svg->removeChild(path);
    svg->appendChild(path);
    EXPECT_EQ(fill, colour);
    EXPECT_EQ(path->cascadedValueInScope(Property::fill), "red");
}

TEST(SVGElementCascade, AScopeReadsParsedAttributesOfEveryNamespaceAsAFreshCascadeDoes) {
    // Asked by property within a scope, the answers must be those of a fresh cascade: for attributes
    // in any namespace, beside inline style, and for an attribute set later by name alone.
    auto result = parseSVG(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:o="urn:other" stroke-width="2">
        <g id="g" fill="red" o:opacity="0.5" style="stroke: blue">
          <path id="p" d="M0 0H4" fill-rule="evenodd" o:stroke-linecap="round"/>
          <path id="q" d="M0 0H4" style="fill: green"/>
        </g></svg>)");
    ASSERT_TRUE(result->parsedDocument());
    auto root = result->parsedDocument()->rootElement();
    auto element = [&](const char* identifier) { return SVGElement::from(root->getElementById(identifier)); };
    auto byName = element("q");
    ASSERT_TRUE(element("g") && element("p") && byName);
    byName->setAttribute("stroke-linejoin", "bevel");
    const auto answers = [&] {
        std::vector<std::optional<std::string>> all;
        for (const char* identifier : {"g", "p", "q"}) {
            for (std::size_t index = 0; index < static_cast<std::size_t>(SVGElement::StyleProperty::count); ++index) {
                const auto property = static_cast<SVGElement::StyleProperty>(index);
                all.push_back(element(identifier)->cascadedValueForStylableProperty(property));
                all.push_back(element(identifier)->cascadedValueForStylableProperty(property, false));
            }
        }
        return all;
    };
    const auto fresh = answers();
    using Property = SVGElement::StyleProperty;
    EXPECT_EQ(element("p")->cascadedValueForStylableProperty(Property::strokeLinecap), "round");
    EXPECT_EQ(element("p")->cascadedValueForStylableProperty(Property::fill), "red");
    EXPECT_EQ(element("p")->cascadedValueForStylableProperty(Property::stroke), "blue");
    EXPECT_EQ(element("q")->cascadedValueForStylableProperty(Property::strokeLinejoin), "bevel");
    EXPECT_EQ(element("q")->cascadedValueForStylableProperty(Property::strokeWidth), "2");
    SVGElement::CascadeScope scope;
    EXPECT_EQ(answers(), fresh);
}

TEST(SVGElementCascade, ASubtreeMovedToAndFroInOneScopeAnswersForWhereItStands) {
    // As a use element's copy is moved under each use in turn.
    auto svg = makeSVG();
    auto red = makeElement("g", {{"fill", "red"}, {"stroke", "black"}}, svg);
    auto blue = makeElement("g", {{"fill", "blue"}}, svg);
    auto copy = makeElement("g", {}, red);
    auto leaf = makeElement("path", {}, copy);
    SVGElement::CascadeScope scope;
    for (int round = 0; round < 3; ++round) {
        red->appendChild(copy);
        EXPECT_EQ(leaf->cascadedValueForStylableProperty("fill"), "red") << round;
        EXPECT_EQ(leaf->cascadedValueForStylableProperty("stroke"), "black") << round;
        blue->appendChild(copy);
        EXPECT_EQ(leaf->cascadedValueForStylableProperty("fill"), "blue") << round;
        EXPECT_EQ(leaf->cascadedValueForStylableProperty("stroke"), std::nullopt) << round;
    }
    copy->setAttribute("fill", "green");
    red->appendChild(copy);
    EXPECT_EQ(leaf->cascadedValueForStylableProperty("fill"), "green");
    EXPECT_EQ(red->cascadedValueForStylableProperty("fill"), "red") << "the former parent keeps its own";
}

TEST(SVGElementCascade, AValueRemovedWithinAScopeIsNeverReadFromFreedText) {
    // A scope takes the document as it stands; one changed meanwhile may get the former answer, but
    // never text the document has let go of.
    const std::string colour = "a-colour-name-too-long-to-sit-inside-its-string";
    auto svg = makeSVG();
    auto path = makeElement("path", {{"fill", colour}, {"style", "stroke:" + colour}}, svg);
    SVGElement::CascadeScope scope;
    EXPECT_EQ(path->cascadedValueForStylableProperty("fill"), colour);
    EXPECT_EQ(path->cascadedValueForStylableProperty("stroke"), colour);
    path->removeAttribute("fill");
    path->setStyle(nullptr);
    for (const char* property : {"fill", "stroke"}) {
        const auto answer = path->cascadedValueForStylableProperty(property);
        EXPECT_TRUE(answer == colour || answer == std::nullopt) << property;
    }

    // Nor from ancestors let go of while a descendant is still asked.
    auto root = makeSVG({{"stroke-width", "3"}});
    auto group = makeElement("g", {{"fill", "red"}}, root);
    auto leaf = makeElement("path", {}, group);
    EXPECT_EQ(leaf->cascadedValueForStylableProperty("fill"), "red");
    group.reset();
    root.reset();
    for (const char* property : {"fill", "stroke-width", "opacity"}) {
        const auto answer = leaf->cascadedValueForStylableProperty(property);
        EXPECT_TRUE(answer == std::nullopt || answer == "red" || answer == "3") << property;
    }
}

TEST(SVGElementCascade, ScopesOneAfterAnotherAnswerAfreshAndHoldNoDocument) {
    // A thread's scopes share their store one after another: what one filed must neither answer for
    // the next nor keep the elements it walked alive.
    using Property = SVGElement::StyleProperty;
    std::weak_ptr<SVGElement> formerGroup;
    {
        auto svg = makeSVG();
        auto group = makeElement("g", {{"fill", "red"}, {"stroke", "navy"}}, svg);
        auto path = makeElement("path", {{"opacity", "0.5"}}, group);
        formerGroup = group;
        SVGElement::CascadeScope scope;
        EXPECT_EQ(path->cascadedValueInScope(Property::fill), "red");
        EXPECT_EQ(path->cascadedValueInScope(Property::opacity, false), "0.5");
    }
    EXPECT_TRUE(formerGroup.expired()) << "the records of an ended scope still hold the document";

    auto svg = makeSVG();
    auto group = makeElement("g", {{"fill", "blue"}}, svg);
    auto path = makeElement("path", {}, group);
    for (int round = 0; round < 2; ++round) {
        {
            SVGElement::CascadeScope scope;
            EXPECT_EQ(path->cascadedValueInScope(Property::fill), round == 0 ? "blue" : "green") << round;
            EXPECT_EQ(path->cascadedValueInScope(Property::stroke), std::nullopt) << round;
            EXPECT_EQ(path->cascadedValueInScope(Property::opacity, false), std::nullopt) << round;
            // More names than a store has ids for, in each of two scopes in a row.
            for (int index = 0; index < 40; ++index) {
                const std::optional<std::string> expected =
                    round == 1 && index == 7 ? std::optional<std::string>("seven") : std::nullopt;
                EXPECT_EQ(path->cascadedValueForStylableProperty("p" + std::to_string(index)), expected) << index;
            }
        }
        group->setAttribute("fill", "green");
        group->setAttribute("p7", "seven");
    }
}

TEST(SVGElementCascade, OneScopeAnswersEachDocumentWithItsOwnSheets) {
    // A scope looks at a root's sheets once for all its elements; elements of another document, or of
    // none, asked in between must still get their own.
    using Property = SVGElement::StyleProperty;
    auto styled = styledRoot("path { fill: red }");
    auto plain = makeSVG();
    auto inStyled = makeElement("path", {{"fill", "blue"}}, styled);
    auto inPlain = makeElement("path", {{"fill", "blue"}}, plain);
    auto loose = makeElement("path", {{"fill", "green"}});
    auto alsoStyled = makeElement("path", {{"fill", "blue"}}, styled);
    SVGElement::CascadeScope scope;
    EXPECT_EQ(inStyled->cascadedValueInScope(Property::fill), "red");
    EXPECT_EQ(inPlain->cascadedValueInScope(Property::fill), "blue");
    EXPECT_EQ(loose->cascadedValueInScope(Property::fill), "green");
    EXPECT_EQ(alsoStyled->cascadedValueInScope(Property::fill), "red");
}

TEST(SVGElementCascade, QuestionsAskedOneByOneFileTheRulesOnceWhileTheSheetsStayAsTheyAre) {
    // Each question outside a layer build has a scope of its own: filing 10,000 rules of four groups anew
    // for each made a document's questions cost its rules times its questions, minutes here.
    std::string rules;
    for (int index = 0; index < 10'000; ++index) {
        const std::string number = std::to_string(index);
        rules += ".c" + number + ",.d" + number + ",.e" + number + ",.f" + number + "{fill:red}";
    }
    auto svg = styledRoot(rules);
    std::vector<std::shared_ptr<SVGElement>> paths;
    for (int index = 0; index < 150; ++index) paths.push_back(makeElement("path", {{"class", "c" + std::to_string(index * 20)}}, svg));
    for (const auto& path : paths) {
        for (std::size_t index = 0; index < static_cast<std::size_t>(SVGElement::StyleProperty::count); ++index) {
            const auto property = static_cast<SVGElement::StyleProperty>(index);
            EXPECT_EQ(path->cascadedValueForStylableProperty(property),
                      property == SVGElement::StyleProperty::fill ? std::optional<std::string>("red") : std::nullopt);
        }
    }
    // What is done to the sheets between two questions shows in the second.
    auto sheet = svg->styleSheets()->item(0);
    sheet->insertRule(".c0{fill:green}", sheet->cssRules()->length());
    EXPECT_EQ(paths[0]->cascadedValueForStylableProperty("fill"), "green");
    std::static_pointer_cast<CSSStyleRule>(sheet->cssRules()->item(sheet->cssRules()->length() - 1))->setSelectorText(".c20");
    EXPECT_EQ(paths[0]->cascadedValueForStylableProperty("fill"), "red");
    EXPECT_EQ(paths[1]->cascadedValueForStylableProperty("fill"), "green");
    std::static_pointer_cast<CSSStyleRule>(sheet->cssRules()->item(20))->style()->setCssText("stroke:blue");
    EXPECT_EQ(paths[1]->cascadedValueForStylableProperty("stroke"), "blue");
    sheet->deleteRule(sheet->cssRules()->length() - 1);
    EXPECT_EQ(paths[1]->cascadedValueForStylableProperty("fill"), std::nullopt);
    svg->styleSheets()->internalArray().push_back(std::make_shared<CSSStyleSheet>(".c20{fill:navy}"));
    EXPECT_EQ(paths[1]->cascadedValueForStylableProperty("fill"), "navy");
}

TEST(SVGElementCascade, SelectorTextsSplitIntoGroupsAndTokens) {
    const std::string_view text = "rect.a#b > g, .c";
    auto group = SVGElement::nextSelectorGroupFromText(text, {});
    EXPECT_EQ(text.substr(group.location, group.length), "rect.a#b > g");
    group = SVGElement::nextSelectorGroupFromText(text, group);
    EXPECT_EQ(text.substr(group.location, group.length), ".c");
    EXPECT_FALSE(SVGElement::nextSelectorGroupFromText(text, group).found());

    std::vector<std::string_view> tokens;
    for (auto token = SVGElement::nextSelectorRangeFromText(text, {}); token.found();
         token = SVGElement::nextSelectorRangeFromText(text, token)) {
        tokens.push_back(text.substr(token.location, token.length));
    }
    EXPECT_EQ(tokens, (std::vector<std::string_view>{"rect", ".a", "#b", "g", ".c"}));
}

// The kind bits stand in for dynamic casts: each class answers for itself and its bases, never for a
// sibling, and an element made without create still answers through a cast.
TEST(SVGElementKinds, ElementsAnswerForTheirClassesAndRolesOnly) {
    auto circle = SVGElement::create<SVGCircleElement>("circle");
    EXPECT_EQ(circle->as<BaseClassForAllSVGBasicShapes>(), circle.get());
    EXPECT_EQ(circle->as<SVGTransformable>(), static_cast<SVGTransformable*>(circle.get()));
    EXPECT_EQ(circle->as<ConverterSVGToCALayer>(), static_cast<ConverterSVGToCALayer*>(circle.get()));
    EXPECT_EQ(circle->as<SVGSVGElement>(), nullptr);
    EXPECT_EQ(circle->as<SVGUseElement>(), nullptr);

    auto linear = SVGElement::create<SVGLinearGradientElement>("linearGradient");
    EXPECT_EQ(linear->as<SVGGradientElement>(), linear.get());
    EXPECT_EQ(linear->as<SVGLinearGradientElement>(), linear.get());
    EXPECT_EQ(linear->as<SVGRadialGradientElement>(), nullptr);
    EXPECT_EQ(linear->as<ConverterSVGToCALayer>(), nullptr) << "a gradient draws no layer of its own";

    auto svg = makeSVG();
    EXPECT_EQ(svg->as<SVGTransformable>(), nullptr);
    EXPECT_EQ(svg->as<SVGStylable>(), static_cast<SVGStylable*>(svg.get()));
    const std::shared_ptr<Node> node = svg;
    EXPECT_EQ(SVGElement::as<SVGSVGElement>(node), svg);
    EXPECT_EQ(SVGElement::as<SVGSymbolElement>(node), nullptr);

    auto text = std::make_shared<Text>("t");
    EXPECT_EQ(SVGElement::as<ConverterSVGToCALayer>(text.get()), nullptr);

    auto area = SVGElement::create<TinySVGTextAreaElement>("textArea");
    EXPECT_EQ(area->as<SVGTextElement>(), area.get()) << "a subclass answers for its base";
    auto span = SVGElement::create<SVGTSpanElement>("tspan");
    EXPECT_EQ(span->as<SVGTextElement>(), nullptr) << "a sibling class does not";
    auto image = SVGElement::create<SVGImageElement>("image");
    EXPECT_EQ(image->as<SVGTransformable>(), static_cast<SVGTransformable*>(image.get()));
    EXPECT_EQ(image->as<BaseClassForAllSVGBasicShapes>(), nullptr);

    // Made directly, without its bits.
    auto group = std::make_shared<SVGGElement>("g", Element::AttributeTexts{});
    EXPECT_EQ(group->as<SVGGElement>(), group.get());
    EXPECT_EQ(group->as<SVGTransformable>(), static_cast<SVGTransformable*>(group.get()));
    EXPECT_EQ(group->as<SVGClipPathElement>(), nullptr);
}

// The bits-only question must agree with the cast everywhere: made with or without bits, a node that
// is no element, an element that is no SVG element, and no node at all.
TEST(SVGElementKinds, IsAnswersAsAsDoes) {
    const std::vector<std::shared_ptr<Node>> nodes = {
        SVGElement::create<SVGCircleElement>("circle"),
        SVGElement::create<SVGClipPathElement>("clipPath"),
        SVGElement::create<SVGSymbolElement>("symbol"),
        SVGElement::create<SVGLinearGradientElement>("linearGradient"),
        SVGElement::create<SVGUseElement>("use"),
        makeSVG(),
        std::make_shared<SVGGElement>("g", Element::AttributeTexts{}),
        std::make_shared<Text>("t"),
        std::make_shared<Element>("plain"),
        nullptr,
    };
    const auto agree = [&]<class T>(const char* kind) {
        for (std::size_t index = 0; index < nodes.size(); ++index) {
            EXPECT_EQ(SVGElement::is<T>(nodes[index].get()), SVGElement::as<T>(nodes[index].get()) != nullptr)
                << kind << " of node " << index;
        }
    };
    agree.operator()<ConverterSVGToCALayer>("converter");
    agree.operator()<SVGClipPathElement>("clip path");
    agree.operator()<SVGSymbolElement>("symbol");
    agree.operator()<SVGTransformable>("transformable");
    agree.operator()<SVGStylable>("stylable");
    agree.operator()<SVGGElement>("group");
    agree.operator()<BaseClassForAllSVGBasicShapes>("shape");
    EXPECT_TRUE(SVGElement::is<SVGClipPathElement>(nodes[1].get()));
    EXPECT_FALSE(SVGElement::is<ConverterSVGToCALayer>(nodes[3].get()));
    EXPECT_TRUE(SVGElement::is<SVGGElement>(nodes[6].get())) << "made without bits, answered by a cast";
}

// The identifier index a scope keeps follows the tree: an element removed (and freed) within the scope is no
// longer found, and one added is.
TEST(SVGElementCascade, TheIdentifierIndexFollowsElementsRemovedAndAddedWithinAScope) {
    auto svg = makeSVG();
    auto group = makeElement("g", {}, svg);
    makeElement("rect", {{"id", "a"}}, group);
    SVGElement::CascadeScope scope;
    ASSERT_TRUE(svg->elementWithIdentifier("a"));
    svg->removeChild(group);
    group.reset();
    EXPECT_EQ(svg->elementWithIdentifier("a"), nullptr);
    auto added = makeElement("circle", {{"id", "a"}}, svg);
    EXPECT_EQ(svg->elementWithIdentifier("a"), std::static_pointer_cast<Element>(added));
}
