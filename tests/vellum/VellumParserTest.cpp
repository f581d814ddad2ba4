#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "VellumLogCapture.h"
#include "vellum/Attr.h"
#include "vellum/CSSStyleSheet.h"
#include "vellum/CharacterData.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeList.h"
#include "vellum/SVGBasicShapes.h"
#include "vellum/SVGDocument.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/SVGStructureElements.h"
#include "vellum/StyleSheetList.h"
#include "vellum/VellumParseResult.h"
#include "vellum/SVGUseElement.h"
#include "vellum/VellumParser.h"
#include "vellum/VellumParserExtension.h"
#include "vellum/VellumSourceLocalFile.h"
#include "vellum/VellumSourceString.h"

using namespace vellum;
namespace fs = std::filesystem;

namespace {

std::shared_ptr<VellumParseResult> parse(std::string text) {
    return VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceString::sourceFromContentsOfString(std::move(text)));
}

std::shared_ptr<SVGSVGElement> root(const VellumParseResult& result) {
    return result.parsedDocument() ? result.parsedDocument()->rootElement() : nullptr;
}

const std::string svgOpen = R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink")";

// An extension that fails inside its handler, as a broken element class would.
struct ThrowingExtension : VellumParserExtension {
    std::vector<std::string> supportedNamespaces() const override { return {svgNamespaceURI}; }
    std::vector<std::string> supportedTags() const override { return {"boom"}; }
    std::shared_ptr<Node> handleStartElement(const std::string&, const std::shared_ptr<VellumSource>&,
                                             const std::optional<std::string>&, const std::optional<std::string>&,
                                             const ParsedAttributes&, VellumParseResult&,
                                             const std::shared_ptr<Node>&) override {
        throw std::runtime_error("element class failed");
    }
};

}  // namespace

TEST(VellumParser, ADocumentBecomesATreeUnderItsRootSVGElement) {
    auto result = parse(svgOpen + R"( version="1.1" width="10" height="10"><g id="a"><rect width="4"/>Hi<![CDATA[ there]]></g></svg>)");
    ASSERT_TRUE(result->parsedDocument());
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    EXPECT_EQ(result->rootOfSVGTree(), svg);
    EXPECT_EQ(result->parsedDocument()->documentElement(), svg);
    EXPECT_EQ(svg->requestedViewport(), SVGRectMake(0, 0, 10, 10));
    EXPECT_TRUE(result->errorsFatal().empty());
    EXPECT_EQ(result->namespacesEncountered().at(""), svgNamespaceURI);
    EXPECT_EQ(result->namespacesEncountered().at("xlink"), xlinkNamespaceURI);
    EXPECT_DOUBLE_EQ(result->parseProgressFractionApproximate(), 1.0);

    auto group = std::dynamic_pointer_cast<SVGElement>(svg->getElementById("a"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->rootOfCurrentDocumentFragment(), svg);
    ASSERT_EQ(group->childNodes()->length(), 2u);
    EXPECT_EQ(group->firstChild()->nodeName(), "rect");
    EXPECT_EQ(group->lastChild()->nodeValue(), "Hi there") << "character data is collected up to the next boundary";
    EXPECT_EQ(std::dynamic_pointer_cast<Element>(group->firstChild())->getAttribute("width"), "4");
}

TEST(VellumParser, TheVersionAttributeGoesToTheSource) {
    auto source = VellumSourceString::sourceFromContentsOfString(svgOpen + R"( version="1.1"/>)");
    VellumParser::parseSourceUsingDefaultVellumParser(source);
    EXPECT_EQ(source->svgLanguageVersion(), "1.1");
}

TEST(VellumParser, ElementsWithoutANamespaceAreGenericAndGiveNoDocument) {
    VellumLogCapture log;
    auto result = parse("<svg><rect/></svg>");
    EXPECT_EQ(result->parsedDocument(), nullptr);
    EXPECT_TRUE(result->errorsFatal().empty());
    const auto messages = log.messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& text) { return text.find("Tag with no namespace") != std::string::npos; }),
              2);
}

TEST(VellumParser, MalformedAndEmptyInputGiveFatalErrorsAndNoDocument) {
    auto broken = parse(svgOpen + "><rect></svg>");
    EXPECT_FALSE(broken->errorsFatal().empty());
    EXPECT_TRUE(broken->libXMLFailed());

    auto empty = parse("");
    EXPECT_EQ(empty->parsedDocument(), nullptr);
    EXPECT_FALSE(empty->errorsFatal().empty()) << "the XML library reports the empty document itself";

    auto garbage = parse(std::string("\x00\xff\xfe<svg", 7));
    EXPECT_EQ(garbage->parsedDocument(), nullptr);
}

TEST(VellumParser, StyleElementsAndStylesheetInstructionsBecomeSheetsOfTheRoot) {
    const fs::path folder = fs::temp_directory_path() / ("vellum-parser-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "a.css") << "rect{fill:red}";
    std::ofstream(folder / "doc.svg") << R"(<?xml-stylesheet type="text/css" href="a.css"?>)"
                                      << R"(<?xml-stylesheet type="text/xsl" href="a.css"?>)"
                                      << svgOpen << R"(><style> .b{stroke:blue} </style><style>  </style><rect class="b"/></svg>)";
    auto result = VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceLocalFile::sourceFromFilename(folder / "doc.svg"));
    fs::remove_all(folder);
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    ASSERT_EQ(svg->styleSheets()->length(), 2u) << "the text/xsl instruction and the blank style add nothing";
    auto rect = std::dynamic_pointer_cast<SVGElement>(svg->lastChild());
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->cascadedValueForStylableProperty("fill"), "red") << "the sheet read before the root applies to it";
    EXPECT_EQ(rect->cascadedValueForStylableProperty("stroke"), "blue");
}

TEST(VellumParser, AStyleSheetNamedAgainIsReadOnce) {
    const fs::path folder = fs::temp_directory_path() / ("vellum-parser-again-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "a.css") << "rect{fill:red}";
    std::ofstream(folder / "doc.svg") << R"(<?xml-stylesheet href="a.css"?><?xml-stylesheet href="./a.css"?>)"
                                      << R"(<?xml-stylesheet href="a.css"?>)" << svgOpen << "/>";
    auto result = VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceLocalFile::sourceFromFilename(folder / "doc.svg"));
    fs::remove_all(folder);
    ASSERT_TRUE(root(*result));
    EXPECT_EQ(root(*result)->styleSheets()->length(), 1u);
    EXPECT_EQ(result->warnings().size(), 1u) << result->description();
}

// Rules past the document's limit are not read, across all its sheets, and one error says so.
TEST(VellumParser, ADocumentsStyleSheetsHoldItsFirstRulesUpToTheLimit) {
    std::string rules;
    for (std::size_t index = 0; index < CSSStyleSheet::maximumDocumentRules - 1; ++index) rules += ".c{fill:red}";
    auto result = parse(svgOpen + "><style>" + rules + "</style><style>.a{fill:red}.b{fill:red}</style><style>.d{fill:red}</style></svg>");
    ASSERT_TRUE(root(*result));
    EXPECT_EQ(CSSStyleSheet::ruleCount(root(*result)->styleSheets()->internalArray()), CSSStyleSheet::maximumDocumentRules);
    EXPECT_EQ(result->errorsRecoverable().size(), 1u) << result->description();
}

TEST(VellumParser, APatternIsAGenericElementWithAWarningAndTheParseGoesOn) {
    auto result = parse(svgOpen + R"(><rect id="before"/><pattern id="p"><rect/></pattern><rect id="after"/></svg>)");
    ASSERT_TRUE(result->parsedDocument());
    EXPECT_TRUE(result->errorsFatal().empty()) << result->description();
    ASSERT_EQ(result->warnings().size(), 1u);
    EXPECT_NE(result->warnings()[0].localizedDescription().find("<pattern> is not supported"), std::string::npos);
    EXPECT_TRUE(root(*result)->getElementById("before"));
    EXPECT_TRUE(root(*result)->getElementById("after"));
    auto pattern = root(*result)->getElementById("p");
    ASSERT_TRUE(pattern);
    EXPECT_FALSE(std::dynamic_pointer_cast<SVGElement>(pattern)) << "generic: it draws nothing";
}

TEST(VellumParser, NestedSVGElementsDoNotReplaceTheRoot) {
    auto result = parse(svgOpen + R"( id="outer"><svg id="inner" width="5"/></svg>)");
    ASSERT_TRUE(result->rootOfSVGTree());
    EXPECT_EQ(result->rootOfSVGTree()->identifier(), "outer");
    auto inner = std::dynamic_pointer_cast<SVGSVGElement>(root(*result)->getElementById("inner"));
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->rootOfCurrentDocumentFragment(), inner);
}

TEST(VellumParser, EachAttributeIsFiledOnceUnderItsOwnOrTheDefaultNamespace) {
    auto result = parse(svgOpen + R"( xmlns:x="urn:x"><rect id="r" fill="red &#x41;" x:k="v" xlink:href="#r"/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    auto rect = std::dynamic_pointer_cast<Element>(svg->firstChild());
    ASSERT_TRUE(rect);
    const auto fill = rect->getAttributeNodeNS("http://www.w3.org/2000/svg", "fill");
    ASSERT_TRUE(fill) << "a plain attribute takes the document's default namespace";
    EXPECT_EQ(fill->value(), "red A");
    EXPECT_EQ(fill->nodeName(), "fill");
    const auto prefixed = rect->getAttributeNodeNS("urn:x", "k");
    ASSERT_TRUE(prefixed);
    EXPECT_EQ(prefixed->name(), "x:k");
    EXPECT_EQ(prefixed->prefix(), "x");
    EXPECT_EQ(rect->getAttribute("href"), "#r") << "found by its local name";
    EXPECT_EQ(rect->attributes()->length(), 4u);
}

// Parsed leaves make no child list; nesting found later still lands under the right parent.
TEST(VellumParser, ParsedLeavesAndEmptyGroupsHaveNoChildrenOfTheirOwn) {
    auto result = parse(svgOpen + "><path id=\"p\" d=\"M0 0h4\"/><g id=\"empty\"></g><g id=\"outer\"><g id=\"inner\"><rect id=\"r\"/></g></g></svg>");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    const auto path = svg->getElementById("p");
    const auto empty = svg->getElementById("empty");
    const auto outer = svg->getElementById("outer");
    const auto inner = svg->getElementById("inner");
    const auto rect = svg->getElementById("r");
    ASSERT_TRUE(path && empty && outer && inner && rect);
    EXPECT_FALSE(path->hasChildNodes());
    EXPECT_FALSE(empty->hasChildNodes());
    EXPECT_EQ(path->childNodes(), empty->childNodes()) << "both answer the shared empty list";
    EXPECT_EQ(path->childNodes()->length(), 0u);
    ASSERT_EQ(outer->childNodes()->length(), 1u);
    EXPECT_EQ(outer->firstChild(), inner);
    ASSERT_EQ(inner->childNodes()->length(), 1u);
    EXPECT_EQ(inner->firstChild(), rect);
    EXPECT_EQ(rect->parentNode(), inner);
    EXPECT_EQ(svg->childNodes()->length(), 3u);
}

// A parent's list gets room for a few children at its first one: those past that room, and the blanks
// between them, still land once each, in the document's order, under that parent.
TEST(VellumParser, ManyChildrenWithBlanksBetweenThemKeepTheDocumentsOrder) {
    std::string text = svgOpen + "><g id=\"g\">";
    for (int index = 0; index < 20; ++index) text += "\n  <rect id=\"r" + std::to_string(index) + "\"/>";
    text += "\n</g><circle/></svg>";
    auto result = parse(text);
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    const auto group = svg->getElementById("g");
    ASSERT_TRUE(group);
    const auto children = group->childNodes();
    ASSERT_EQ(children->length(), 41u) << "20 rects and the 21 blanks around them";
    for (std::size_t index = 0; index < children->length(); ++index) {
        const auto child = children->item(index);
        EXPECT_EQ(child->parentNode(), group) << index;
        if (index % 2 == 0) {
            EXPECT_EQ(child->nodeValue(), index + 1 == children->length() ? "\n" : "\n  ") << index;
        } else {
            EXPECT_EQ(Element::from(child.get())->getAttribute("id"), "r" + std::to_string(index / 2)) << index;
        }
    }
    EXPECT_EQ(svg->lastChild()->nodeName(), "circle") << "the next sibling is not filed under the group";
}

// Element names are kept once: the tag name is the node name, the local name the part after a prefix.
TEST(VellumParser, TagLocalAndNodeNamesOfParsedNodes) {
    auto result = parse(R"(<svg:svg xmlns:svg="http://www.w3.org/2000/svg"><svg:rect/>t<g xmlns="urn:g"/></svg:svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    EXPECT_EQ(svg->tagName(), "svg:svg");
    EXPECT_EQ(svg->localName(), "svg");
    const auto rect = Element::from(svg->firstChild().get());
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->tagName(), "svg:rect");
    EXPECT_EQ(rect->nodeName(), "svg:rect");
    EXPECT_EQ(rect->localName(), "rect");
    EXPECT_EQ(rect->prefix(), "svg");
    const auto text = svg->childNodes()->item(1);
    EXPECT_EQ(text->nodeName(), "#text");
    EXPECT_EQ(text->localName(), "") << "a node made without a namespace has no local name";
    const auto plain = Element::from(svg->lastChild().get());
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->tagName(), "g");
    EXPECT_EQ(plain->localName(), "g");
    EXPECT_EQ(plain->prefix(), std::nullopt);
    EXPECT_EQ(plain->namespaceURI(), "urn:g");
}

// The parser hands each element its own attributes only: none left from the element before.
TEST(VellumParser, EachElementGetsItsOwnAttributesAndNoneOfThePreviousOnes) {
    auto result = parse(svgOpen + R"( xmlns:x="urn:x"><g id="a" fill="red" x:k="1" stroke-miterlimit="4"/><g/>)"
                                  R"(<g id="c" x:k="3" xmlns:y="urn:y" y:k="4"/><rect id="d"/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    const auto children = svg->childNodes();
    ASSERT_EQ(children->length(), 4u);
    const auto element = [&](std::size_t index) { return Element::from(children->item(index)); };
    EXPECT_EQ(element(0)->attributes()->length(), 4u);
    EXPECT_EQ(element(0)->getAttribute("stroke-miterlimit"), "4");
    EXPECT_EQ(element(1)->attributes()->length(), 0u) << "nothing left over from the g before";
    EXPECT_EQ(element(2)->attributes()->length(), 4u) << "id, x:k, y:k and the y declaration";
    EXPECT_EQ(element(2)->getAttributeNS("urn:x", "k"), "3");
    EXPECT_EQ(element(2)->getAttributeNS("urn:y", "k"), "4");
    EXPECT_EQ(element(3)->attributes()->length(), 1u);
    EXPECT_EQ(element(3)->getAttribute("id"), "d");
}

TEST(VellumParser, ForeignAndUnknownElementsAreGenericWithTheirAttributesAndChildren) {
    auto result = parse(svgOpen + R"( xmlns:x="urn:x"><x:data x:k="v"><x:item/></x:data><symbol id="s"><rect/></symbol>)"
                        R"(<svg:linearGradient xmlns:svg="http://www.w3.org/2000/svg" id="g"/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    auto data = std::dynamic_pointer_cast<Element>(svg->firstChild());
    ASSERT_TRUE(data);
    EXPECT_EQ(data->tagName(), "x:data");
    EXPECT_EQ(data->getAttributeNS("urn:x", "k"), "v");
    EXPECT_EQ(data->childNodes()->length(), 1u);
    auto symbol = svg->getElementById("s");
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->childNodes()->length(), 1u);
    auto gradient = svg->getElementById("g");
    ASSERT_TRUE(gradient);
    EXPECT_EQ(gradient->tagName(), "linearGradient") << "a prefixed gradient keeps the bare name";
}

// One tag in turn in two namespaces, and tags with and without classes of their own: each element is
// built by the class of its own tag and namespace, whatever came before it.
TEST(VellumParser, EachElementIsBuiltForItsOwnTagWhateverTheElementBeforeIt) {
    auto result = parse(svgOpen + R"( xmlns:x="urn:x"><path d="M0 0H4"/><x:path d="M0 0H5"/><path d="M0 0H6"/>)"
                        R"(<unknown/><path d="M0 0H7"/><unknown/><x:path/><defs/><defs/><rect/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    std::vector<std::string> built;
    for (const auto& child : *svg->childNodes()) {
        const auto element = Element::from(child);
        ASSERT_TRUE(element);
        const bool isSVG = element->isSVGElement();
        built.push_back(element->tagName() + (std::dynamic_pointer_cast<SVGPathElement>(child) ? " path class"
                                              : isSVG                                 ? " svg"
                                                                                      : " generic"));
    }
    EXPECT_EQ(built, (std::vector<std::string>{"path path class", "x:path generic", "path path class", "unknown generic",
                                               "path path class", "unknown generic", "x:path generic", "defs svg",
                                               "defs svg", "rect svg"}));
    EXPECT_TRUE(std::dynamic_pointer_cast<SVGDefsElement>(svg->childNodes()->item(7)));
    const auto path = std::dynamic_pointer_cast<SVGPathElement>(svg->childNodes()->item(4));
    ASSERT_TRUE(path && path->pathForShapeInRelativeCoords());
    EXPECT_EQ(path->pathForShapeInRelativeCoords()->elements().size(), 2u);
}

TEST(VellumParser, TextAndAttributesSplitAcrossChunksArriveWhole) {
    // Bytes in memory are lent in larger pieces than a file is read in: both roads must give the
    // same tree for text and an attribute longer than a file's piece.
    const std::string words(25'000, 'w');
    std::string data = "M0 0";
    while (data.size() < 30'000) data += " L1 2";
    const std::string document = svgOpen + "><text>" + words + "</text><path d=\"" + data + "\"/></svg>";
    const fs::path file = fs::temp_directory_path() / ("vellum-chunks-" + std::to_string(::getpid()) + ".svg");
    std::ofstream(file, std::ios::binary) << document;
    auto fromFile = VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceLocalFile::sourceFromFilename(file));
    fs::remove(file);
    for (const auto& result : {parse(document), fromFile}) {
        auto svg = root(*result);
        ASSERT_TRUE(svg);
        EXPECT_TRUE(result->errorsFatal().empty());
        EXPECT_DOUBLE_EQ(result->parseProgressFractionApproximate(), 1.0);
        auto text = svg->firstChild();
        ASSERT_EQ(text->childNodes()->length(), 1u);
        EXPECT_EQ(text->firstChild()->nodeValue()->size(), words.size());
        auto path = std::dynamic_pointer_cast<Element>(svg->lastChild());
        ASSERT_TRUE(path);
        EXPECT_EQ(path->getAttribute("d"), data);
    }
}

TEST(VellumParser, EntitiesAreNeverExpandedNorLoaded) {
    auto result = parse(R"(<!DOCTYPE svg [<!ENTITY secret SYSTEM "file:///etc/hostname"><!ENTITY word "expanded">]>)" + svgOpen +
                        "><text>&word;</text><text>&secret;</text></svg>");
    EXPECT_FALSE(result->errorsFatal().empty()) << "an entity that is not expanded is undeclared";
    if (auto svg = root(*result)) {
        EXPECT_EQ(svg->textContent().value_or("").find("expanded"), std::string::npos);
    }

    auto predefined = parse(svgOpen + "><text>&amp;&lt;&#65;</text></svg>");
    ASSERT_TRUE(root(*predefined));
    EXPECT_EQ(root(*predefined)->textContent(), "&<A") << "predefined and character references still read";
}

// A parsed document's tables keep their entries in the document's arena; changes after the parse
// go to the heap, and each kind of entry is given back where it came from.
TEST(VellumParser, AParsedElementsAttributesChangeAfterTheParseAndOutliveTheDocument) {
    auto result = parse(svgOpen + R"(><rect id="r" fill="red" xlink:href="#r"/></svg>)");
    auto rect = root(*result)->getElementById("r");
    ASSERT_TRUE(rect);
    rect->setAttributeNS(std::string("http://www.w3.org/2000/svg"), "stroke", "blue");
    rect->setAttributeNS(std::string("urn:new"), "n:k", "v");
    rect->setAttribute("plain", "p");
    rect->removeAttributeNS("http://www.w3.org/2000/svg", "fill");
    const auto copy = rect->attributes()->copy();
    rect->removeAttributeNS("http://www.w3.org/1999/xlink", "href");
    result.reset();
    rect.reset();
    EXPECT_EQ(copy->length(), 5u) << "id, stroke, n:k, plain and the href the copy kept";
    EXPECT_EQ(copy->getNamedItemNS("http://www.w3.org/1999/xlink", "href")->nodeValue(), "#r");
    EXPECT_EQ(copy->getNamedItem("stroke")->nodeValue(), "blue");
    EXPECT_EQ(copy->getNamedItemNS("urn:new", "k")->nodeValue(), "v");
    EXPECT_EQ(copy->getNamedItem("fill"), nullptr);
    copy->removeNamedItemNS("http://www.w3.org/2000/svg", "id");
    EXPECT_EQ(copy->length(), 4u);
}

// Parsed attributes are kept as text; the DOM's node for one is made when asked for, and is then the
// node every later question answers with, its changes seen by the element.
TEST(VellumParser, AParsedAttributesNodeIsMadeOnceAndStaysTheElementsOwn) {
    const std::string svgNS = "http://www.w3.org/2000/svg";
    const std::string xlinkNS = "http://www.w3.org/1999/xlink";
    auto result = parse(svgOpen + R"(><rect id="r" fill="red" xlink:href="#r" width="4"/></svg>)");
    auto rect = root(*result)->getElementById("r");
    ASSERT_TRUE(rect);
    const auto copiedFirst = rect->attributes()->copy();

    const auto fill = rect->getAttributeNode("fill");
    ASSERT_TRUE(fill);
    EXPECT_EQ(rect->getAttributeNode("fill"), fill);
    EXPECT_EQ(rect->getAttributeNodeNS(svgNS, "fill"), fill);
    EXPECT_EQ(rect->attributes()->findNamedItem("fill"), fill.get());
    EXPECT_EQ(copiedFirst->getNamedItem("fill"), fill) << "a copy shares the nodes, even those made after it";
    EXPECT_EQ(fill->namespaceURI(), svgNS);
    EXPECT_EQ(fill->localName(), "fill");
    EXPECT_EQ(fill->prefix(), std::nullopt);

    const auto href = rect->getAttributeNode("href");
    ASSERT_TRUE(href);
    EXPECT_EQ(href->name(), "xlink:href");
    EXPECT_EQ(href->prefix(), "xlink");
    EXPECT_EQ(href->namespaceURI(), xlinkNS);
    EXPECT_EQ(rect->getAttributeNodeNS(xlinkNS, "href"), href);

    fill->setValue("blue");
    EXPECT_EQ(rect->getAttribute("fill"), "blue");
    EXPECT_EQ(rect->getAttributeNS(svgNS, "fill"), "blue");
    EXPECT_EQ(copiedFirst->getNamedItem("fill")->nodeValue(), "blue");

    // Removed and set again before anyone asked for the node.
    rect->removeAttribute("width");
    EXPECT_FALSE(rect->hasAttribute("width"));
    EXPECT_EQ(rect->attributes()->length(), 3u);
    rect->setAttribute("width", "9");
    EXPECT_EQ(rect->getAttribute("width"), "9");
    EXPECT_EQ(rect->getAttributeNS(svgNS, "width"), "") << "set by name, not in the namespace";
    EXPECT_EQ(copiedFirst->getNamedItem("width")->nodeValue(), "4") << "the copy keeps its own entries";
}

// An unprefixed attribute (in the default namespace) and a prefixed one bound to the same namespace
// share one key: the greater qualified name stays, in whichever order they were written, also among
// so many attributes that they are settled together rather than one by one.
TEST(VellumParser, AttributesSharingAKeyKeepTheSameOneWhateverTheirOrder) {
    for (const std::size_t fillers : {0, 40}) {
        std::string more;
        for (std::size_t index = 0; index < fillers; ++index) {
            more += " f" + std::to_string(index) + "=\"" + std::to_string(index) + "\"";
        }
        auto result = parse(svgOpen + R"( xmlns:s="http://www.w3.org/2000/svg"><rect id="a" s:x="1")" + more +
                            R"( x="2"/><rect id="b" x="3")" + more + R"( s:x="4"/></svg>)");
        auto svg = root(*result);
        ASSERT_TRUE(svg) << fillers;
        for (const auto& [identifier, expected] : {std::pair{"a", "2"}, std::pair{"b", "3"}}) {
            auto rect = svg->getElementById(identifier);
            ASSERT_TRUE(rect) << identifier << fillers;
            EXPECT_EQ(rect->getAttribute("x"), expected) << identifier << fillers;
            EXPECT_EQ(rect->getAttributeNode("x")->nodeName(), "x") << identifier << fillers;
            EXPECT_EQ(rect->attributes()->length(), 2u + fillers) << identifier << fillers;
            if (fillers) {
                EXPECT_EQ(rect->getAttribute("f39"), "39") << identifier;
            }
        }
    }
}

// Written out, a parsed element's attributes come namespace by namespace (in URI order) and in name
// order within each, as the DOM's tables hold them, not in the order the document gave them.
TEST(VellumParser, AParsedElementWritesItsAttributesInTheTablesOrder) {
    auto result = parse(svgOpen + R"(><rect y="2" id="r" xlink:href="#r" x="1"/></svg>)");
    auto rect = root(*result)->getElementById("r");
    ASSERT_TRUE(rect);
    std::string output;
    rect->appendXMLToString(output, {}, {{"http://www.w3.org/2000/svg", ""}, {"http://www.w3.org/1999/xlink", "xlink"}});
    EXPECT_EQ(output, R"(<rect xlink:href="#r" id="r" x="1" y="2"></rect>)");
    EXPECT_EQ(rect->attributes()->description(),
              "NamedNodeMap: DOM-v2(http://www.w3.org/1999/xlink = {href = #r}, "
              "http://www.w3.org/2000/svg = {id = r, x = 1, y = 2})");
}

TEST(VellumParser, AmpersandsInAttributeValuesArriveAsWritten) {
    auto result = parse(svgOpen + R"(><rect id="a &amp; b" class="&#38;&#x26;&lt;" fill="&amp;#38;" stroke="&amp;amp;"/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    auto rect = svg->getElementById("a & b");
    ASSERT_TRUE(rect) << "the identifier reads with its ampersand";
    EXPECT_EQ(rect->getAttribute("class"), "&&<");
    EXPECT_EQ(rect->getAttribute("fill"), "&#38;") << "an escaped reference stays text";
    EXPECT_EQ(rect->getAttribute("stroke"), "&amp;");
}

TEST(VellumParser, AFailureInsideAnElementHandlerIsAFatalErrorNotACrash) {
    auto parser = std::make_unique<VellumParser>(VellumSourceString::sourceFromContentsOfString(svgOpen + "><rect/><boom/><rect/></svg>"));
    parser->addParserExtension(std::make_shared<ThrowingExtension>());
    parser->addDefaultSVGParserExtensions();
    auto result = parser->parseSynchronously();
    ASSERT_EQ(result->errorsFatal().size(), 1u);
    EXPECT_EQ(result->errorsFatal()[0].domain, "Vellum Parsing");
    EXPECT_EQ(result->errorsFatal()[0].localizedDescription(), "Exception = element class failed");
    ASSERT_TRUE(root(*result));
    EXPECT_EQ(root(*result)->childNodes()->length(), 1u);
}

// The XML library read the chunk well: the failure was the element handler's, so the run is not
// marked as the library's failure and its fatal errors are logged.
TEST(VellumParser, AChunkStoppedByAnElementHandlerIsNotTheXMLLibrarysFailure) {
    VellumLogCapture log;
    auto parser = std::make_unique<VellumParser>(VellumSourceString::sourceFromContentsOfString(svgOpen + "><boom/></svg>"));
    parser->addParserExtension(std::make_shared<ThrowingExtension>());
    parser->addDefaultSVGParserExtensions();
    auto result = parser->parseSynchronously();
    ASSERT_EQ(result->errorsFatal().size(), 1u);
    EXPECT_FALSE(result->libXMLFailed());
    const auto messages = log.messages();
    const auto logged = [&](std::string_view text) {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string& message) { return message.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(logged("[VellumParser] SVG parser generated one or more FATAL errors (not the XML parser), errors follow:"));
    EXPECT_TRUE(logged("[VellumParser] ... FATAL ERRRO in SVG parse: "));
}

TEST(VellumParser, AStyleValueBecomesOneAttributeADeclaration) {
    auto style = Attr::makeInNamespace(svgNamespaceURI, "style",
                                       " fill : red;\tstroke-width:1 2\n;opacity:0.5;;" + std::string(300, 'x') + ":" +
                                           std::string(300, 'y'));
    auto declarations = VellumParser::NSDictionaryFromCSSAttributes(style);
    ASSERT_EQ(declarations.size(), 4u);
    EXPECT_EQ(declarations.at("fill")->value(), "red");
    EXPECT_EQ(declarations.at("fill")->namespaceURI(), svgNamespaceURI);
    EXPECT_EQ(declarations.at("stroke-width")->value(), "12") << "blanks go inside values too";
    EXPECT_EQ(declarations.at("opacity")->value(), "0.5");
    EXPECT_EQ(declarations.at(std::string(255, 'x'))->value(), std::string(255, 'y'));

    VellumLogCapture log;
    EXPECT_TRUE(VellumParser::NSDictionaryFromCSSAttributes(nullptr).empty());
    EXPECT_EQ(log.messages(), (std::vector<std::string>{"[VellumParser] WARNING: asked to convert an empty CSS string into a "
                                                        "CSS dictionary; returning empty dictionary"}));
}

TEST(VellumParser, SourceProblemsAreRecoverableErrorsWithoutADocument) {
    auto missing = VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceLocalFile::sourceFromFilename("/nonexistent/a.svg"));
    EXPECT_EQ(missing->parsedDocument(), nullptr);
    EXPECT_EQ(missing->errorsRecoverable().size(), 1u);
    EXPECT_TRUE(missing->errorsFatal().empty());

    // A directory opens but cannot be read: the read error is the source's.
    auto directory = VellumParser::parseSourceUsingDefaultVellumParser(
        VellumSourceLocalFile::sourceFromFilename(fs::temp_directory_path()));
    EXPECT_EQ(directory->parsedDocument(), nullptr);
    ASSERT_EQ(directory->errorsRecoverable().size(), 1u);
    EXPECT_EQ(directory->errorsRecoverable()[0].code, EISDIR);

    auto none = VellumParser::parseSourceUsingDefaultVellumParser(std::make_shared<VellumSource>(nullptr));
    EXPECT_EQ(none->errorsRecoverable().at(0).code, 2354);
}

TEST(VellumParser, ACancelledParseReadsNoFurther) {
    auto parser = VellumParser::newParserWithDefaultVellumParserExtensions(
        VellumSourceString::sourceFromContentsOfString(svgOpen + "><rect/></svg>"));
    VellumParser::cancelParser(*parser);
    auto result = parser->parseSynchronously();
    EXPECT_EQ(result->parsedDocument(), nullptr);
    EXPECT_EQ(result->parseProgressFractionApproximate(), 0);
}

TEST(VellumParser, EveryFlagOfTheOfflineSeasonParsesWithoutAFatalError) {
    const fs::path flags = fs::path(SORVANE_SOURCE_DIR) / "data/offline-season/flags";
    if (!fs::exists(flags)) GTEST_SKIP() << "no offline-season flags at " << flags;
    int parsed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(flags)) {
        if (entry.path().extension() != ".svg") continue;
        auto result = VellumParser::parseSourceUsingDefaultVellumParser(VellumSourceLocalFile::sourceFromFilename(entry.path()));
        EXPECT_TRUE(result->errorsFatal().empty()) << entry.path() << ": " << result->description();
        EXPECT_TRUE(result->parsedDocument()) << entry.path();
        ++parsed;
    }
    EXPECT_GT(parsed, 200);
}

TEST(VellumParser, StylesheetLocationsCannotReachFilesOutsideTheDocumentsFolder) {
    VellumLogCapture log;
    auto result = parse(R"(<?xml-stylesheet href="/etc/hostname"?><?xml-stylesheet href="../../../../etc/hostname"?>)" + svgOpen + "/>");
    ASSERT_TRUE(root(*result));
    EXPECT_EQ(root(*result)->styleSheets()->length(), 0u);
    const auto messages = log.messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), "[VellumParser] Unable to find external CSS file '/etc/hostname'"),
              messages.end());
}

TEST(VellumParserUse, ReferencesResolveWithAnyXLinkPrefixPlainHrefOrURLFormAndMayPointForward) {
    auto result = parse(svgOpen + R"( xmlns:l="http://www.w3.org/1999/xlink">)"
                        R"(<use id="u1" xlink:href="#shape" x="2" width="50%"/><use id="u2" l:href="#shape"/>)"
                        R"svg(<use id="u3" href="url(#shape)"/><g id="shape"><rect/><circle/></g></svg>)svg");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    EXPECT_TRUE(result->errorsRecoverable().empty()) << result->description();
    for (const char* id : {"u1", "u2", "u3"}) {
        auto use = std::dynamic_pointer_cast<SVGUseElement>(svg->getElementById(id));
        ASSERT_TRUE(use) << id;
        auto instance = use->instanceRoot();
        ASSERT_TRUE(instance) << id;
        EXPECT_EQ(instance->correspondingElement(), svg->getElementById("shape"));
        EXPECT_EQ(instance->correspondingUseElement(), use);
        ASSERT_EQ(instance->childNodes()->length(), 2u);
        EXPECT_EQ(instance->firstChild()->correspondingElement()->tagName(), "rect");
        EXPECT_EQ(instance->lastChild()->previousSibling(), instance->firstChild());
        EXPECT_EQ(instance->firstChild()->parentNode(), instance);
    }
    auto first = std::dynamic_pointer_cast<SVGUseElement>(svg->getElementById("u1"));
    EXPECT_FLOAT_EQ(first->x()->pixelsValue(), 2);
    EXPECT_EQ(first->width()->unitType(), SVGLengthType::percentage);
    EXPECT_FALSE(first->height());
}

TEST(VellumParserUse, UnresolvableReferencesAreRecoverableErrorsAndTheDocumentStays) {
    auto result = parse(svgOpen + R"(><g id="loop"><use id="self" xlink:href="#loop"/></g>)"
                        R"(<use xlink:href="#missing"/><use xlink:href="other.svg#a"/><rect id="after"/></svg>)");
    auto svg = root(*result);
    ASSERT_TRUE(svg);
    EXPECT_TRUE(result->errorsFatal().empty());
    EXPECT_TRUE(svg->getElementById("after")) << "the parse went on";
    ASSERT_EQ(result->errorsRecoverable().size(), 3u);
    EXPECT_EQ(result->errorsRecoverable()[0].localizedDescription(),
              "Found an SVG <use> tag that points to a non-existent element. Missing element: id = loop")
        << "a use inside what it names would contain itself";
    EXPECT_EQ(result->errorsRecoverable()[1].localizedDescription(),
              "Found an SVG <use> tag that points to a non-existent element. Missing element: id = missing");
    EXPECT_EQ(result->errorsRecoverable()[2].localizedDescription(),
              "Not supported: <use> tags that declare an href to something that DOESN'T begin with #. Href supplied = other.svg#a");
}
