// What callers written against the library's interface expect of it: the document's
// namespace prefixes and root type check, element instance lists, the root element's DOM fields and
// unsupported operations, the image's unsupported drawing helpers and pattern images.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "RenderTestSupport.h"
#include "foundation/Assertion.h"
#include "foundation/Data.h"
#include "gfx/Image.h"
#include "vellum/SVGColor.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/SVGUseElement.h"
#include "vellum/VellumImage.h"

using namespace vellum;

namespace {

// Raises the assertion handler's failure with `message`.
void expectUnsupported(const std::function<void()>& call, std::string_view message) {
    try {
        call();
        ADD_FAILURE() << "did not raise";
    } catch (const foundation::InternalInconsistencyException& exception) {
        EXPECT_EQ(std::string(exception.what()), message);
    }
}

}  // namespace

TEST(SVGDocumentNamespaces, PrefixesAreCollectedFromEveryDeclarationAndNormalisedToOnePerNamespace) {
    auto result = parseSVG(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:a="urn:x:one" xmlns:b="urn:x:one">)"
                           R"(<g xmlns:a="urn:y:two" xmlns:c="urn:z/three/"><g xmlns:b="urn:x:one"/></g></svg>)");
    auto document = result->parsedDocument();
    ASSERT_TRUE(document);
    const auto prefixes = document->allPrefixesByNamespace();
    EXPECT_EQ(prefixes.at("urn:x:one"), (std::vector<std::string>{"a", "b"})) << "each prefix once";
    EXPECT_EQ(prefixes.at("urn:y:two"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(prefixes.at("http://www.w3.org/2000/svg"), (std::vector<std::string>{""}));

    const auto normalized = document->allPrefixesByNamespaceNormalized();
    // In key order: the SVG namespace takes "", "urn:x:one" takes a, "urn:y:two" has only a left, so it
    // takes the last part of its URI; "urn:z/three/" takes c.
    EXPECT_EQ(normalized.at("http://www.w3.org/2000/svg"), "");
    EXPECT_EQ(normalized.at("urn:x:one"), "a");
    EXPECT_EQ(normalized.at("urn:y:two"), "urn:y:two");
    EXPECT_EQ(normalized.at("urn:z/three/"), "c");
}

TEST(SVGDocumentNamespaces, APrefixTakenFallsBackToTheURIsLastPartNumberedUntilFree) {
    auto result = parseSVG(R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:p="http://a.example/ns">)"
                           R"(<g xmlns:p="http://b.example/ns"><g xmlns:p="http://c.example/ns"/></g></svg>)");
    const auto normalized = result->parsedDocument()->allPrefixesByNamespaceNormalized();
    EXPECT_EQ(normalized.at("http://a.example/ns"), "p");
    EXPECT_EQ(normalized.at("http://b.example/ns"), "ns");
    EXPECT_EQ(normalized.at("http://c.example/ns"), "ns-2");
}

TEST(SVGDocumentRoot, OnlyAnSVGElementBecomesTheRootElement) {
    SVGDocument document;
    auto root = SVGElement::create<SVGSVGElement>("svg");
    document.setDocumentElement(root);
    EXPECT_EQ(document.rootElement(), root);
    Document& plain = document;
    auto group = SVGElement::create<SVGGElement>("g");
    plain.setDocumentElement(group);
    EXPECT_EQ(document.documentElement(), group) << "reported, and set all the same";
    EXPECT_FALSE(document.rootElement()) << "a group is no root element";
}

TEST(SVGElementInstanceList, ListsAnInstancesChildrenInOrderAndAnswersNullPastTheEnd) {
    auto result = parseSVG(svgHeader + R"(><g id="g"><rect id="a"/><rect id="b"/><rect id="c"/></g>)"
                                       R"(<use id="u" xlink:href="#g"/></svg>)");
    auto use = std::dynamic_pointer_cast<SVGUseElement>(result->parsedDocument()->rootElement()->getElementById("u"));
    ASSERT_TRUE(use && use->instanceRoot());
    auto root = use->instanceRoot();
    const auto& children = *root->childNodes();
    ASSERT_EQ(children.length(), 3u);
    EXPECT_EQ(children.item(3), nullptr);
    EXPECT_EQ(root->firstChild(), children.item(0));
    EXPECT_EQ(root->lastChild(), children.item(2));
    EXPECT_EQ(children.item(0)->correspondingElement()->identifier(), "a");
    EXPECT_EQ(children.item(0)->previousSibling(), nullptr);
    EXPECT_EQ(children.item(1)->nextSibling(), children.item(2));
    EXPECT_EQ(children.item(2)->nextSibling(), nullptr);
    EXPECT_EQ(children.item(2)->correspondingUseElement(), use);

    children.item(1)->setParentNode(nullptr);
    EXPECT_EQ(children.length(), 2u) << "leaving the parent leaves its list";
    EXPECT_EQ(children.item(0)->nextSibling(), children.item(1));
}

TEST(SVGSVGElementInterface, FieldsStartEmptyAndUnsupportedOperationsRaiseNotImplemented) {
    auto svg = SVGElement::create<SVGSVGElement>("svg");
    EXPECT_EQ(svg->pixelUnitToMillimeterX(), 0);
    EXPECT_EQ(svg->screenPixelToMillimeterY(), 0);
    EXPECT_FALSE(svg->currentView());
    EXPECT_FALSE(svg->currentTranslate());
    svg->setCurrentTranslate(std::make_shared<SVGPoint>(2, 3));
    EXPECT_EQ(svg->currentTranslate()->y(), 3);
    svg->setPixelUnitToMillimeterY(0.25f);
    EXPECT_EQ(svg->pixelUnitToMillimeterY(), 0.25f);

    const auto rect = SVGRectMake(0, 0, 1, 1);
    for (const std::function<void()>& call : std::initializer_list<std::function<void()>>{
             [&] { svg->getOverrideStyle(svg, ""); },
             [&] { svg->getIntersectionList(rect, svg); },
             [&] { svg->getEnclosureList(rect, svg); },
             [&] { svg->checkIntersection(svg, rect); },
             [&] { svg->checkEnclosure(svg, rect); },
             [&] { svg->createSVGAngle(); },
             [&] { svg->createSVGPoint(); },
             [&] { svg->createSVGMatrix(); },
             [&] { svg->createSVGTransform(); },
             [&] { svg->createSVGTransformFromMatrix(SVGMatrix()); },
         }) {
        expectUnsupported(call, "Not implemented yet");
    }
}

TEST(VellumImageInterface, DrawingHelpersAndAnimatedImagesRaiseUnsupported) {
    auto image = VellumImage::initWithData(foundation::Data::fromString(svgHeader + R"( width="4" height="4"/>)"));
    ASSERT_TRUE(image);
    const std::string message = "Method unsupported / not yet implemented by Vellum";
    expectUnsupported([&] { image->drawAtPoint({0, 0}); }, message);
    expectUnsupported([&] { image->drawAtPoint({0, 0}, gfx::BlendMode::normal, 0.5); }, message);
    expectUnsupported([&] { image->drawInRect({0, 0, 4, 4}); }, message);
    expectUnsupported([&] { image->drawInRect({0, 0, 4, 4}, gfx::BlendMode::multiply, 1); }, message);
    expectUnsupported([&] { image->drawAsPatternInRect({0, 0, 4, 4}); }, message);
    expectUnsupported([] { VellumImage::animatedImageNamed("flag", 1); }, message);
    expectUnsupported([] { VellumImage::animatedResizableImageNamed("flag", {}, 1); }, message);
    expectUnsupported([] { VellumImage::animatedImageWithImages({}, 1); }, message);
}

TEST(VellumPatternInterface, APatternOfAnImageKeepsItsTileAndHasNoFlatColour) {
    auto tile = gfx::Image::fromBitmap(gfx::Bitmap::make(2, 2));
    const auto pattern = VellumPattern::patternWithImage(tile);
    EXPECT_EQ(pattern.patternImage(), tile);
    EXPECT_EQ(pattern.CGColor().alpha, 0);
    EXPECT_FALSE(VellumPattern::patternWithColor(gfx::Color::black()).patternImage());
}
