#include <gtest/gtest.h>

#include "foundation/Assertion.h"
#include "vellum/Attr.h"
#include "vellum/CharacterData.h"
#include "vellum/Document.h"
#include "vellum/Element.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeArena.h"
#include "vellum/NodeList.h"

using namespace vellum;

namespace {

constexpr const char* svgNS = "http://www.w3.org/2000/svg";
constexpr const char* xlinkNS = "http://www.w3.org/1999/xlink";

// What the parser builds for <use xlink:href="#a" width="10"/> inside an SVG-namespace document.
std::shared_ptr<Element> useElement() {
    Element::AttributeNodes attributes{
        {"xlink:href", std::make_shared<Attr>(xlinkNS, "xlink:href", "#a")},
        {"width", std::make_shared<Attr>(std::nullopt, "width", "10")},
    };
    return std::make_shared<Element>("use", svgNS, attributes);
}

std::vector<std::string> tagNames(const NodeList& list) {
    std::vector<std::string> names;
    for (const auto& node : list) names.push_back(node->nodeName());
    return names;
}

}  // namespace

TEST(AttributeMap, NamespacedAttributesAreFiledUnderTheirOwnOrTheElementsNamespace) {
    auto use = useElement();
    EXPECT_EQ(use->getAttributeNS(xlinkNS, "href"), "#a");
    EXPECT_EQ(use->getAttributeNS(svgNS, "width"), "10") << "an attribute without a namespace takes the element's";
    EXPECT_EQ(use->getAttribute("href"), "#a") << "a plain name finds a namespaced attribute by local name";
    EXPECT_EQ(use->getAttribute("width"), "10");
    EXPECT_EQ(use->getAttribute("height"), "") << "absent reads as empty, never null";
    EXPECT_TRUE(use->hasAttribute("href"));
    EXPECT_TRUE(use->hasAttributeNS(xlinkNS, "href"));
    EXPECT_FALSE(use->hasAttributeNS(svgNS, "href"));
    EXPECT_EQ(use->attributes()->length(), 2u);
}

TEST(AttributeMap, LengthCountsBothTablesAndMixingThemIsAllowed) {
    // A document without namespaces: prefixed attributes by namespace, plain ones by name.
    auto rect = std::make_shared<Element>("rect");
    rect->setAttributeNS(xlinkNS, "xlink:title", "t");
    rect->setAttribute("width", "4");
    rect->setAttribute("height", "5");
    EXPECT_EQ(rect->attributes()->length(), 3u);
    EXPECT_EQ(rect->getAttribute("width"), "4");
    EXPECT_EQ(rect->getAttribute("title"), "t");
    EXPECT_EQ(rect->attributes()->removeNamedItem("width")->nodeValue(), "4");
    EXPECT_EQ(rect->attributes()->length(), 2u);
    EXPECT_THROW(rect->attributes()->item(0), foundation::InternalInconsistencyException);
}

TEST(AttributeMap, SettingAnAttributeAgainReplacesAndAnswersTheOldNode) {
    Element rect("rect", {{"fill", "red"}});
    auto old = rect.getAttributeNode("fill");
    EXPECT_EQ(rect.setAttributeNode(std::make_shared<Attr>("fill", "blue")), old);
    EXPECT_EQ(rect.getAttribute("fill"), "blue");
    rect.setAttribute("fill", "green");
    EXPECT_EQ(rect.attributes()->length(), 1u);
    EXPECT_EQ(rect.removeAttributeNode(rect.getAttributeNode("fill"))->nodeValue(), "green");
    EXPECT_FALSE(rect.hasAttributes());

    auto use = useElement();
    use->removeAttribute("href");
    EXPECT_FALSE(use->hasAttribute("href")) << "removal by name also reaches namespaced attributes";
    use->removeAttributeNS(svgNS, "width");
    EXPECT_FALSE(use->hasAttributes());
}

TEST(AttributeMap, ACopyHoldsTheSameNodesAndChangesApartFromTheOriginal) {
    auto use = useElement();
    auto copy = use->attributes()->copy();
    EXPECT_EQ(copy->getNamedItemNS(xlinkNS, "href"), use->attributes()->getNamedItemNS(xlinkNS, "href"));
    copy->removeNamedItemNS(xlinkNS, "href");
    EXPECT_EQ(copy->length(), 1u);
    EXPECT_EQ(use->attributes()->length(), 2u);
}

TEST(AttributeMap, EveryFiledNameIsFoundAndOnlyThose) {
    // Look-ups skip the tables for names never filed; with many names filed, removed and filed again,
    // none may go missing and no absent one may turn up.
    NamedNodeMap map;
    for (int index = 0; index < 80; ++index) {
        const std::string name = "a" + std::to_string(index);
        if (index % 2) {
            map.setNamedItem(std::make_shared<Attr>(name, "by name"));
        } else {
            map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:x"), "x:" + name, "by namespace"));
        }
    }
    ASSERT_TRUE(map.removeNamedItem("a1"));
    ASSERT_TRUE(map.removeNamedItemNS("urn:x", "a2"));
    EXPECT_EQ(map.getNamedItem("a1"), nullptr);
    EXPECT_EQ(map.getNamedItem("a2"), nullptr);
    map.setNamedItem(std::make_shared<Attr>("a1", "again"));
    const auto copy = map.copy();
    for (int index = 0; index < 80; ++index) {
        const std::string name = "a" + std::to_string(index);
        if (index == 2) continue;
        ASSERT_NE(map.getNamedItem(name), nullptr) << name;
        EXPECT_EQ(copy->getNamedItem(name), map.getNamedItem(name)) << name;
    }
    EXPECT_EQ(*map.getNamedItem("a1")->nodeValue(), "again");
    for (const std::string absent : {"fill", "stroke", "a80", "x:a4", "", "A3"}) {
        EXPECT_EQ(map.getNamedItem(absent), nullptr) << absent;
    }

    // Names of every length around the look-up's eight-byte steps, asked for through views into other
    // text: only the name's own bytes count.
    NamedNodeMap lengths;
    const std::string filed = "stroke-dasharray-and-some";
    const std::string asked = filed + "!?";
    for (std::size_t length = 1; length <= filed.size(); ++length) {
        lengths.setNamedItem(std::make_shared<Attr>(filed.substr(0, length), std::to_string(length)));
    }
    for (std::size_t length = 1; length <= filed.size(); ++length) {
        const auto found = lengths.getNamedItem(std::string_view(asked).substr(0, length));
        ASSERT_NE(found, nullptr) << length;
        EXPECT_EQ(found->nodeValue(), std::to_string(length));
    }

    NamedNodeMap empty;
    EXPECT_EQ(empty.getNamedItem("fill"), nullptr);
    empty.setNamedItem(std::make_shared<Attr>("fill", "red"));
    EXPECT_EQ(*empty.getNamedItem("fill")->nodeValue(), "red");
}

TEST(AttributeMap, ThousandsOfAttributesAreFoundWithoutReadingEveryOne) {
    // Each look-up read every entry before it, and filing one looks its name up first: 150,000 attributes
    // filed one by one and found again took minutes here.
    NamedNodeMap map;
    constexpr int count = 150'000;
    for (int index = 0; index < count; ++index) {
        map.setNamedItem(std::make_shared<Attr>("a" + std::to_string(index), std::to_string(index)));
    }
    map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:b"), "b:a7", "in b"));
    map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:a"), "x:a7", "in a"));
    EXPECT_EQ(map.length(), static_cast<std::size_t>(count) + 2);
    for (int index = 0; index < count; ++index) {
        const auto value = map.valueOfNamedItem("a" + std::to_string(index));
        ASSERT_TRUE(value) << index;
        EXPECT_EQ(*value, std::to_string(index));
    }
    EXPECT_EQ(map.valueOfNamedItem("a7"), "7") << "by name before any namespace";
    ASSERT_TRUE(map.removeNamedItem("a7"));
    EXPECT_EQ(map.valueOfNamedItem("a7"), "in a") << "then the first namespace in the table's order";
    EXPECT_EQ(map.valueOfNamedItemNS("urn:b", "a7"), "in b");
    EXPECT_EQ(map.valueOfNamedItem("a150000"), std::nullopt);
    map.setNamedItem(std::make_shared<Attr>("a150000", "last"));
    EXPECT_EQ(map.valueOfNamedItem("a150000"), "last");
}

TEST(AttributeMap, ANameWorkedOutOnceAnswersAsItsTextInEveryMapAndAfterChanges) {
    // The cascade works a property's name out once and asks every element's map with it.
    const NamedNodeMap::Name fill("fill");
    const NamedNodeMap::Name href("href");
    auto use = useElement();
    Element rect("rect", {{"fill", "red"}, {"width", "2"}});
    EXPECT_EQ(use->attributes()->valueOfNamedItem(fill), std::nullopt);
    ASSERT_NE(use->attributes()->valueOfNamedItem(href), std::nullopt) << "by local name, as the text finds it";
    EXPECT_EQ(*use->attributes()->valueOfNamedItem(href), "#a");
    ASSERT_NE(rect.attributes()->valueOfNamedItem(fill), std::nullopt);
    EXPECT_EQ(*rect.attributes()->valueOfNamedItem(fill), "red");

    use->setAttribute("fill", "blue");
    rect.removeAttribute("fill");
    use->removeAttribute("href");
    ASSERT_NE(use->attributes()->valueOfNamedItem(fill), std::nullopt) << "filed after the name was worked out";
    EXPECT_EQ(*use->attributes()->valueOfNamedItem(fill), "blue");
    EXPECT_EQ(rect.attributes()->valueOfNamedItem(fill), std::nullopt) << "removed, though its filter bits stay";
    EXPECT_EQ(use->attributes()->valueOfNamedItem(href), std::nullopt);
    EXPECT_EQ(NamedNodeMap().valueOfNamedItem(NamedNodeMap::Name("")), std::nullopt);
}

TEST(AttributeMap, AnUnprefixedItemIsFoundByNameElseInTheFirstNamespaceWritingItSo) {
    NamedNodeMap map;
    map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:a"), "a:href", "prefixed"));
    EXPECT_EQ(map.valueOfUnprefixedItem("href"), std::nullopt) << "only a prefixed one";
    map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:c"), "href", "in c"));
    map.setNamedItemNS(std::make_shared<Attr>(std::string("urn:b"), "href", "in b"));
    ASSERT_NE(map.valueOfUnprefixedItem("href"), std::nullopt);
    EXPECT_EQ(*map.valueOfUnprefixedItem("href"), "in b");
    EXPECT_EQ(*map.valueOfNamedItem("href"), "prefixed") << "by local name the first namespace answers";
    map.setNamedItem(std::make_shared<Attr>("href", "by name"));
    EXPECT_EQ(*map.valueOfUnprefixedItem("href"), "by name");
}

// An element made from attributes as read keeps its own copies of their text, files those without a
// namespace by name, and lists them in the tables' order whatever the order read.
TEST(AttributeMap, AnElementFromParsedAttributesKeepsItsOwnTextInTheTablesOrder) {
    std::shared_ptr<Element> element;
    {
        std::vector<std::string> texts{"width", "10", "x:k", "urn:x", "v", "height", "20"};
        const std::vector<ParsedAttribute> read{
            {texts[0], std::nullopt, texts[1]}, {texts[2], texts[3], texts[4]}, {texts[5], std::nullopt, texts[6]}};
        element = std::make_shared<Element>("rect", std::nullopt, ParsedAttributes(read));
        texts.assign(texts.size(), std::string(40, '?'));
    }
    EXPECT_EQ(element->getAttribute("width"), "10");
    EXPECT_EQ(element->getAttributeNS("urn:x", "k"), "v");
    EXPECT_EQ(element->getAttributeNode("k")->prefix(), "x");
    const auto byName = element->attributes()->allNodesUnsortedDOM1();
    ASSERT_EQ(byName.size(), 2u);
    EXPECT_EQ(byName[0]->nodeName(), "height");
    EXPECT_EQ(element->attributes()->description(),
              "NamedNodeMap: DOM-v1(height = 20, width = 10)\nDOM-v2(urn:x = {k = v})");

    NamedNodeMap assigned;
    assigned = *element->attributes();
    EXPECT_EQ(assigned.getNamedItem("height"), element->getAttributeNode("height")) << "the same nodes, made on copying";
    assigned.removeNamedItem("height");
    EXPECT_TRUE(element->hasAttribute("height"));
}

// Names and values read in a parse are kept in its arena, others on the heap: either way the element
// reads its own copy, through re-filed keys, the many-attribute sort and copies that outlive the arena.
TEST(AttributeMap, ParsedTextIsKeptInTheParsesArenaOrOnTheHeapAndOutlivesWhatItWasReadFrom) {
    const std::string longValue = "M0 0 L 100 100 L 200 0 Z and on past a short string's room";
    const auto readInto = [&](std::vector<std::string>& texts) {
        // Forty plain attributes, one of them twice, and a prefixed one sharing a plain one's key.
        std::vector<ParsedAttribute> read;
        for (int index = 0; index < 40; ++index) {
            texts.push_back("a" + std::to_string(index));
            texts.push_back(index == 7 ? longValue : "v" + std::to_string(index));
        }
        texts.push_back("a3");
        texts.push_back("again");
        texts.push_back("p:d");
        texts.push_back("prefixed");
        texts.push_back("d");
        texts.push_back(longValue + " plain");
        for (std::size_t index = 0; index + 1 < texts.size(); index += 2) {
            const bool prefixed = texts[index] == "p:d";
            read.push_back({texts[index], prefixed ? std::optional<std::string_view>(svgNS) : std::nullopt, texts[index + 1]});
        }
        return read;
    };
    const auto check = [&](const Element& element, const char* where) {
        EXPECT_EQ(element.attributes()->length(), 41u) << where;
        EXPECT_EQ(element.findAttributeValue("a0"), "v0") << where;
        EXPECT_EQ(element.findAttributeValue("a3"), "again") << where << ": the later of two";
        EXPECT_EQ(element.findAttributeValue("a7"), longValue) << where;
        EXPECT_EQ(element.findAttributeValue("a39"), "v39") << where;
        EXPECT_EQ(element.findAttributeValue("d"), "prefixed") << where << ": the greater qualified name stays";
        EXPECT_EQ(element.findAttributeValue("a40"), std::nullopt) << where;
        EXPECT_EQ(element.getAttributeNode("a7")->nodeName(), "a7") << where;
        EXPECT_EQ(element.getAttribute("a7"), longValue) << where << ": the node made from the text";
    };

    std::shared_ptr<Element> onHeap;
    std::shared_ptr<Element> inArena;
    NamedNodeMap copied;
    {
        std::vector<std::string> texts;
        const auto read = readInto(texts);
        onHeap = std::make_shared<Element>("path", std::optional<std::string>(svgNS), ParsedAttributes(read));
        {
            NodeArena::Scope scope;
            inArena = makeNodeShared<Element>("path", std::optional<std::string>(svgNS), ParsedAttributes(read));
            // A second element of the same parse re-files a key: its new text replaces the old.
            const std::vector<ParsedAttribute> twice{{texts[0], std::nullopt, texts[1]}, {texts[0], std::nullopt, longValue}};
            auto other = makeNodeShared<Element>("rect", std::nullopt, ParsedAttributes(twice));
            EXPECT_EQ(other->findAttributeValue("a0"), longValue);
            EXPECT_EQ(other->attributes()->length(), 1u);
        }
        texts.assign(texts.size(), std::string(80, '?'));
    }
    check(*onHeap, "read outside a parse");
    check(*inArena, "read in a parse");
    {
        // An element made after its parse files a new attribute on the heap beside the arena's text.
        inArena->setAttribute("late", longValue);
        EXPECT_EQ(inArena->findAttributeValue("late"), longValue);
    }
    copied = *inArena->attributes();
    const auto arenaNode = inArena->getAttributeNode("a39");
    inArena.reset();
    EXPECT_EQ(arenaNode->value(), "v39") << "a node made from arena text keeps its own";
    EXPECT_EQ(copied.valueOfNamedItem("a7"), longValue) << "the copy outlives the arena";
    EXPECT_EQ(copied.valueOfNamedItem("late"), longValue);
    EXPECT_EQ(copied.length(), 42u);
}

TEST(AttributeMap, DescriptionListsEachTableThatHasEntries) {
    NamedNodeMap map;
    EXPECT_EQ(map.description(), "NamedNodeMap: ");
    map.setNamedItem(std::make_shared<Attr>("a", "1"));
    EXPECT_EQ(map.description(), "NamedNodeMap: DOM-v1(a = 1)");
    map.setNamedItemNS(std::make_shared<Attr>(xlinkNS, "xlink:b", "2"));
    EXPECT_EQ(map.description(), "NamedNodeMap: DOM-v1(a = 1)\nDOM-v2(http://www.w3.org/1999/xlink = {b = 2})");
}

TEST(DocumentSearch, TagNameSearchIncludesTheStartAndWalksInDocumentOrder) {
    // <g><rect/><g><rect/></g><circle/></g>
    Document document;
    auto outer = document.createElement("g");
    auto first = document.createElement("rect");
    auto inner = document.createElement("g");
    auto second = document.createElement("rect");
    outer->appendChild(first);
    outer->appendChild(inner);
    inner->appendChild(second);
    outer->appendChild(document.createElement("circle"));
    document.setDocumentElement(outer);

    auto rects = document.getElementsByTagName("rect");
    ASSERT_EQ(rects->length(), 2u);
    EXPECT_EQ(rects->item(0), first);
    EXPECT_EQ(rects->item(1), second);
    EXPECT_EQ(tagNames(*outer->getElementsByTagName("g")), (std::vector<std::string>{"g", "g"}));
    EXPECT_EQ(tagNames(*outer->getElementsByTagName("*")), (std::vector<std::string>{"g", "rect", "g", "rect", "circle"}));
    EXPECT_EQ(outer->getElementsByTagName("Rect")->length(), 0u) << "case-sensitive";
}

TEST(DocumentSearch, NamespacedSearchSkipsOtherNamespacesButSearchesTheirChildren) {
    auto root = std::make_shared<Element>("svg", svgNS, Element::AttributeNodes{});
    auto foreign = std::make_shared<Element>("x:rect", "urn:other", Element::AttributeNodes{});
    auto nested = std::make_shared<Element>("rect", svgNS, Element::AttributeNodes{});
    root->appendChild(foreign);
    foreign->appendChild(nested);
    auto found = root->getElementsByTagNameNS(svgNS, "rect");
    ASSERT_EQ(found->length(), 1u);
    EXPECT_EQ(found->item(0), nested);
    EXPECT_EQ(root->getElementsByTagNameNS(svgNS, "*")->length(), 2u);
}

TEST(DocumentSearch, IdentifierSearchFindsTheFirstInDocumentOrder) {
    Document document;
    EXPECT_EQ(document.getElementById("a"), nullptr) << "no root element";
    auto root = document.createElement("svg");
    auto first = std::make_shared<Element>("rect", Element::AttributeTexts{{"id", "a"}});
    auto group = document.createElement("g");
    auto second = std::make_shared<Element>("circle", Element::AttributeTexts{{"id", "a"}});
    group->appendChild(second);
    root->appendChild(group);
    root->appendChild(first);
    document.setDocumentElement(root);
    EXPECT_EQ(document.getElementById("a"), second);
    EXPECT_EQ(document.getElementById("b"), nullptr);
    EXPECT_EQ(document.getElementById(""), nullptr) << "elements without an id do not match the empty one";
}

TEST(DocumentSearch, FactoriesMakeUnattachedNodes) {
    Document document;
    auto element = document.createElementNS(svgNS, "svg:rect");
    EXPECT_EQ(element->localName(), "rect");
    EXPECT_EQ(element->parentNode(), nullptr);
    EXPECT_EQ(document.createAttribute("fill")->value(), "");
    EXPECT_EQ(document.createTextNode("t")->nodeValue(), "t");
    EXPECT_EQ(document.createProcessingInstruction("p", "d")->target(), "p");
    EXPECT_THROW(document.createAttributeNS(svgNS, "a"), foundation::InternalInconsistencyException);
    EXPECT_THROW(document.importNode(element, true), foundation::InternalInconsistencyException);
}
