#include <gtest/gtest.h>

#include <thread>

#include "foundation/Assertion.h"
#include "vellum/Attr.h"
#include "vellum/CharacterData.h"
#include "vellum/Document.h"
#include "vellum/Element.h"
#include "vellum/NodeArena.h"
#include "vellum/NodeList.h"

using namespace vellum;

namespace {

// <g><rect/><circle/><path/></g>
struct SmallTree {
    std::shared_ptr<Element> g = std::make_shared<Element>("g");
    std::shared_ptr<Element> rect = std::make_shared<Element>("rect");
    std::shared_ptr<Element> circle = std::make_shared<Element>("circle");
    std::shared_ptr<Element> path = std::make_shared<Element>("path");
    SmallTree() {
        g->appendChild(rect);
        g->appendChild(circle);
        g->appendChild(path);
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& child : *g->childNodes()) result.push_back(child->nodeName());
        return result;
    }
};

// A node kind with no class of its own, to reach the base constructors.
struct RawNode : Node {
    RawNode(NodeType type, std::string name) : Node(type, std::move(name)) {}
    RawNode(NodeType type, std::string name, std::string value) : Node(type, std::move(name), std::move(value)) {}
    static constexpr struct Copied {} copied{};
    RawNode(Copied, NodeType type, std::string_view name, std::string_view value) : Node(CopiedText{}, type, name, value) {}
};

}  // namespace

TEST(DOMTree, SiblingsAndEndsOfTheChildList) {
    SmallTree tree;
    EXPECT_EQ(tree.g->firstChild(), tree.rect);
    EXPECT_EQ(tree.g->lastChild(), tree.path);
    EXPECT_EQ(tree.circle->previousSibling(), tree.rect);
    EXPECT_EQ(tree.circle->nextSibling(), tree.path);
    EXPECT_EQ(tree.path->nextSibling(), nullptr);
    EXPECT_EQ(tree.rect->previousSibling(), nullptr);
    EXPECT_EQ(tree.g->nextSibling(), nullptr) << "no parent";
    EXPECT_EQ(tree.g->previousSibling(), nullptr);
    EXPECT_EQ(tree.rect->parentNode(), tree.g);
    EXPECT_EQ(tree.g->childNodes()->item(3), nullptr) << "past the end";
    EXPECT_EQ(std::make_shared<Element>("g")->firstChild(), nullptr);
}

TEST(DOMTree, AppendingAChildAgainMovesItToTheEndWithoutADuplicate) {
    SmallTree tree;
    tree.g->appendChild(tree.rect);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"circle", "path", "rect"}));
    EXPECT_EQ(tree.rect->parentNode(), tree.g);
}

TEST(DOMTree, AppendAndInsertTakeANodeAwayFromItsOldParent) {
    SmallTree tree;
    auto other = std::make_shared<Element>("defs");
    other->appendChild(tree.circle);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"rect", "path"}));
    EXPECT_EQ(tree.circle->parentNode(), other);

    tree.g->insertBefore(tree.circle, tree.path);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"rect", "circle", "path"}));
    EXPECT_FALSE(other->hasChildNodes());
    EXPECT_EQ(tree.circle->parentNode(), tree.g) << "a reference child sets the parent as appending does";

    tree.g->insertBefore(tree.path, tree.rect);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"path", "rect", "circle"}));
    tree.g->insertBefore(tree.rect, tree.rect);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"path", "rect", "circle"}));
    auto text = std::make_shared<Text>("t");
    tree.g->insertBefore(text, nullptr);
    EXPECT_EQ(tree.g->lastChild(), text);
}

TEST(DOMTree, ReplaceAndRemoveAnswerTheOldChildAndClearItsParent) {
    SmallTree tree;
    auto line = std::make_shared<Element>("line");
    EXPECT_EQ(tree.g->replaceChild(line, tree.circle), tree.circle);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"rect", "line", "path"}));
    EXPECT_EQ(tree.circle->parentNode(), nullptr);
    EXPECT_EQ(line->parentNode(), tree.g);

    // A replacement taken from elsewhere in the tree leaves its old place.
    EXPECT_EQ(tree.g->replaceChild(tree.path, tree.rect), tree.rect);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"path", "line"}));

    EXPECT_EQ(tree.g->removeChild(line), line);
    EXPECT_EQ(line->parentNode(), nullptr);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"path"}));
}

TEST(DOMTree, OperationsOnNodesThatAreNotChildrenChangeNothing) {
    SmallTree tree;
    auto stranger = std::make_shared<Element>("line");
    auto elsewhere = std::make_shared<Element>("defs");
    elsewhere->appendChild(stranger);

    EXPECT_EQ(tree.g->removeChild(stranger), nullptr);
    EXPECT_EQ(stranger->parentNode(), elsewhere) << "a failed removal must not orphan another parent's child";
    EXPECT_EQ(tree.g->replaceChild(std::make_shared<Element>("x"), stranger), nullptr);
    EXPECT_EQ(tree.g->insertBefore(std::make_shared<Element>("x"), stranger), nullptr);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"rect", "circle", "path"}));
    EXPECT_EQ(tree.g->appendChild(nullptr), nullptr);
}

TEST(DOMTree, ANodeCannotBecomeItsOwnAncestor) {
    SmallTree tree;
    auto inner = std::make_shared<Element>("g");
    tree.rect->appendChild(inner);
    EXPECT_EQ(inner->appendChild(tree.g), nullptr);
    EXPECT_EQ(tree.g->appendChild(tree.g), nullptr);
    EXPECT_EQ(inner->appendChild(inner), nullptr) << "a leaf is still its own ancestor";
    EXPECT_EQ(inner->insertBefore(tree.rect, nullptr), nullptr);
    EXPECT_EQ(tree.g->parentNode(), nullptr);
    EXPECT_EQ(tree.rect->parentNode(), tree.g);
    EXPECT_TRUE(tree.g->textContent()) << "no cycle to walk forever";
}

// The parser's own append takes the short way only for a new leaf; every other node goes as appendChild
// would take it, so the tree never holds a node twice or a cycle.
TEST(DOMTree, AParsedChildIsAppendedOnceAndOtherNodesAsByAppendChild) {
    SmallTree tree;
    auto text = std::make_shared<Text>("t");
    Node::appendParsedChild(tree.g, text);
    EXPECT_EQ(tree.g->lastChild(), text);
    EXPECT_EQ(text->parentNode(), tree.g);
    Node::appendParsedChild(tree.g, text);
    Node::appendParsedChild(tree.g, tree.circle);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"rect", "circle", "path", "#text"})) << "children stay where they are";

    auto other = std::make_shared<Element>("defs");
    Node::appendParsedChild(other, tree.rect);
    EXPECT_EQ(tree.names(), (std::vector<std::string>{"circle", "path", "#text"}));
    EXPECT_EQ(tree.rect->parentNode(), other) << "a child of another parent moves";

    Node::appendParsedChild(tree.rect, other);
    EXPECT_EQ(other->parentNode(), nullptr) << "a node with children is checked for becoming its own ancestor";
    EXPECT_FALSE(tree.rect->hasChildNodes());
    Node::appendParsedChild(text, text);
    EXPECT_FALSE(text->hasChildNodes());
    Node::appendParsedChild(tree.g, nullptr);
    EXPECT_EQ(tree.g->childNodes()->length(), 3u);
}

TEST(DOMTree, TextContentJoinsTheSubtreesTextInOrder) {
    // <text>Hello <tspan>big</tspan><!--c--> world</text>
    auto text = std::make_shared<Element>("text");
    auto span = std::make_shared<Element>("tspan");
    text->appendChild(std::make_shared<Text>("Hello "));
    text->appendChild(span);
    span->appendChild(std::make_shared<CDATASection>("big"));
    text->appendChild(std::make_shared<Comment>("c"));
    text->appendChild(std::make_shared<Text>(" world"));
    EXPECT_EQ(text->textContent(), "Hello bigc world");
    EXPECT_EQ(std::make_shared<Element>("g")->textContent(), "");
    EXPECT_EQ(std::make_shared<ProcessingInstruction>("xml-stylesheet", "href=\"a.css\"")->textContent(), "href=\"a.css\"");
    EXPECT_EQ(std::make_shared<Attr>("fill", "red")->textContent(), "red");
    EXPECT_EQ(std::make_shared<Document>()->textContent(), std::nullopt);
}

TEST(DOMTree, NodeKindsCarryTheirNamesAndValues) {
    EXPECT_EQ(std::make_shared<Text>("x")->nodeName(), "#text");
    EXPECT_EQ(std::make_shared<Comment>("x")->nodeType(), NodeType::comment);
    EXPECT_EQ(std::make_shared<CDATASection>("x")->nodeName(), "#cdata-section");
    EXPECT_EQ(std::make_shared<Document>()->nodeName(), "#document");
    EXPECT_EQ(std::make_shared<DocumentFragment>()->nodeName(), "");
    auto instruction = std::make_shared<ProcessingInstruction>("target", "data");
    EXPECT_EQ(instruction->nodeName(), "target");
    EXPECT_EQ(instruction->nodeValue(), "data");
    EXPECT_EQ(std::make_shared<Element>("g")->nodeValue(), std::nullopt);
    EXPECT_EQ(std::make_shared<Text>("abc")->length(), 3u);

    auto svg = std::make_shared<Element>("svg:svg", "http://www.w3.org/2000/svg", Element::AttributeNodes{});
    EXPECT_EQ(svg->localName(), "svg");
    EXPECT_EQ(svg->prefix(), "svg");
    EXPECT_EQ(svg->namespaceURI(), "http://www.w3.org/2000/svg");
    EXPECT_EQ(svg->tagName(), "svg:svg");

    auto plain = std::make_shared<Element>("g");
    EXPECT_EQ(plain->prefix(), std::nullopt);
    plain->setPrefix("p");
    EXPECT_EQ(plain->prefix(), "p");
    plain->setPrefix(std::nullopt);
    EXPECT_EQ(plain->prefix(), std::nullopt);
    EXPECT_EQ(std::make_shared<Text>("t")->namespaceURI(), std::nullopt);
    auto own = std::make_shared<Element>("o:g", std::optional<std::string>("urn:own"), Element::AttributeNodes{});
    EXPECT_EQ(own->namespaceURI(), "urn:own");
    EXPECT_EQ(own->prefix(), "o");
    EXPECT_EQ(own->localName(), "g");
}

// A node's owner document is kept with its rare parts: none until set, cleared again by setting none,
// and one node's owner shows on no other.
TEST(DOMTree, TheOwnerDocumentIsNoneUntilSetAndEachNodesOwn) {
    auto document = std::make_shared<Document>();
    auto owned = std::make_shared<Element>("g");
    auto other = std::make_shared<Text>("t");
    EXPECT_EQ(owned->ownerDocument(), nullptr);
    owned->setOwnerDocument(document);
    EXPECT_EQ(owned->ownerDocument(), document);
    EXPECT_EQ(other->ownerDocument(), nullptr);
    other->setOwnerDocument(nullptr);
    EXPECT_EQ(other->ownerDocument(), nullptr);
    auto prefixed = std::make_shared<Element>("p:g", std::optional<std::string>("urn:p"), Element::AttributeNodes{});
    prefixed->setOwnerDocument(document);
    EXPECT_EQ(prefixed->localName(), "g") << "the owner shares the rare parts with the prefixed name";
    EXPECT_EQ(prefixed->prefix(), "p");
    owned->setOwnerDocument(nullptr);
    EXPECT_EQ(owned->ownerDocument(), nullptr);
    EXPECT_EQ(prefixed->ownerDocument(), document);
    document.reset();
    EXPECT_EQ(prefixed->ownerDocument(), nullptr) << "the node does not keep its document alive";
}

// Text and the other nodes with a value answer an empty list until a child is put under one: the list
// they answer before is never changed, so one node's child shows under no other.
TEST(DOMTree, NodesWithAValueGetAChildListOfTheirOwnOnlyWhenGivenAChild) {
    auto first = std::make_shared<Text>("a");
    auto second = std::make_shared<Text>("b");
    auto attribute = std::make_shared<Attr>(std::nullopt, "k", "v");
    EXPECT_FALSE(first->hasChildNodes());
    EXPECT_EQ(first->firstChild(), nullptr);
    EXPECT_EQ(first->lastChild(), nullptr);
    auto child = std::make_shared<Comment>("c");
    ASSERT_EQ(first->appendChild(child), child);
    EXPECT_TRUE(first->hasChildNodes());
    EXPECT_EQ(first->childNodes()->length(), 1u);
    EXPECT_EQ(first->lastChild(), child);
    EXPECT_EQ(child->parentNode(), first);
    EXPECT_EQ(second->childNodes()->length(), 0u) << "the child is under the first text alone";
    EXPECT_EQ(attribute->childNodes()->length(), 0u);
    auto other = std::make_shared<Comment>("d");
    ASSERT_EQ(second->insertBefore(other, nullptr), other);
    ASSERT_EQ(second->replaceChild(child, other), other) << "a move from one text to another";
    EXPECT_EQ(first->childNodes()->length(), 0u);
    EXPECT_EQ(second->firstChild(), child);
    EXPECT_EQ(second->removeChild(child), child);
    EXPECT_FALSE(second->hasChildNodes());
    EXPECT_EQ(std::make_shared<Text>("e")->childNodes()->length(), 0u);
}

// Elements too answer the one empty list until their first child: a leaf's child never shows under
// another leaf, and a list asked for once there are children is the element's own and stays so.
TEST(DOMTree, LeafElementsShareTheEmptyListUntilTheirFirstChild) {
    auto first = std::make_shared<Element>("g");
    auto second = std::make_shared<Element>("path");
    const auto empty = first->childNodes();
    EXPECT_EQ(second->childNodes(), empty) << "no list of their own yet";
    EXPECT_FALSE(first->hasChildNodes());
    EXPECT_EQ(first->firstChild(), nullptr);
    auto child = std::make_shared<Element>("rect");
    ASSERT_EQ(first->appendChild(child), child);
    const auto own = first->childNodes();
    EXPECT_NE(own, empty);
    EXPECT_EQ(own->length(), 1u);
    EXPECT_EQ(empty->length(), 0u) << "the shared list is never written";
    EXPECT_EQ(second->childNodes()->length(), 0u);
    EXPECT_EQ(child->parentNode(), first);
    ASSERT_EQ(second->appendChild(child), child) << "a move from one element to another";
    EXPECT_EQ(own->length(), 0u);
    EXPECT_EQ(first->childNodes(), own) << "the emptied list stays the element's";
    EXPECT_EQ(second->lastChild(), child);
    EXPECT_EQ(child->parentNode(), second);
    EXPECT_EQ(first->insertBefore(second, nullptr), second) << "a parent with children under a leaf";
    EXPECT_EQ(second->appendChild(first), nullptr) << "its own ancestor";
    EXPECT_EQ(std::make_shared<Document>()->childNodes()->length(), 0u);
}

TEST(DOMTree, KindsThatMustHaveAValueOrMustNotAreProgrammingErrors) {
    EXPECT_THROW(RawNode(NodeType::text, "#text"), foundation::InternalInconsistencyException);
    EXPECT_THROW(RawNode(NodeType::element, "g", "value"), foundation::InternalInconsistencyException);
    RawNode odd(NodeType{42}, "odd", "value");
    EXPECT_EQ(odd.nodeName(), "") << "an unknown kind only keeps its code";
    EXPECT_EQ(static_cast<int>(odd.nodeType()), 42);
    EXPECT_NE(RawNode(NodeType::element, "g").attributes(), nullptr);
    EXPECT_EQ(RawNode(NodeType::entity, "e").attributes(), nullptr);
}

// The parser's text is copied from where it was read: the node is the one a string would have made.
TEST(DOMTree, TextCopiedFromWhereItWasReadIsTheTextAStringMakes) {
    const std::string read = "<g>\n\t  a text longer than a short string holds  </g>";
    const std::string_view inside = std::string_view(read).substr(3, read.size() - 7);
    Text copied(Text::Read{}, inside);
    Text made{std::string(inside)};
    EXPECT_EQ(copied.nodeType(), NodeType::text);
    EXPECT_EQ(copied.nodeName(), "#text");
    EXPECT_EQ(copied.nodeValue(), std::string(inside));
    EXPECT_EQ(copied.nodeValue(), made.nodeValue());
    EXPECT_EQ(copied.data(), made.data());
    EXPECT_EQ(copied.localName(), made.localName());
    EXPECT_EQ(copied.namespaceURI(), std::nullopt);
    EXPECT_EQ(copied.prefix(), std::nullopt);
    EXPECT_EQ(copied.attributes(), nullptr);
    EXPECT_FALSE(copied.hasChildNodes());
    EXPECT_EQ(copied.description(), made.description());
    EXPECT_EQ(copied.textContent(), made.textContent());
    EXPECT_EQ(Text(Text::Read{}, "").nodeValue(), "") << "an empty text is a value, not none";
    EXPECT_EQ(RawNode(RawNode::copied, NodeType::comment, "#comment", "c").nodeValue(), "c");
    EXPECT_THROW(RawNode(RawNode::copied, NodeType::element, "g", "v"), foundation::InternalInconsistencyException);
    EXPECT_THROW(RawNode(RawNode::copied, NodeType{42}, "odd", "v"), foundation::InternalInconsistencyException);
}

TEST(DOMTree, DescriptionShowsNameKindShortValueAndCounts) {
    SmallTree tree;
    tree.g->setAttribute("id", "a");
    EXPECT_EQ(tree.g->description(), "Node: g (ELEMENT) value:[(null)] @@1 attributes + 3 x children");
    EXPECT_EQ(Text("Hello, wide world").description(), "Node: #text (TEXT) value:[Hello, wid...] @@0 attributes + 0 x children");
    EXPECT_EQ(Text("Grüße aus").description(), "Node: #text (TEXT) value:[Grüße aus] @@0 attributes + 0 x children");
    EXPECT_EQ(Node::typeName(NodeType{99}), "N/A (DATA IS MISSING FROM NODE INSTANCE)");
}

TEST(DOMTree, UnsupportedOperationsFailTheAssertionHandler) {
    SmallTree tree;
    EXPECT_THROW(tree.g->cloneNode(true), foundation::InternalInconsistencyException);
    EXPECT_THROW(tree.g->normalize(), foundation::InternalInconsistencyException);
    EXPECT_THROW(tree.g->replaceChild(std::make_shared<DocumentFragment>(), tree.rect),
                 foundation::InternalInconsistencyException);
    EXPECT_THROW(Text("x").splitText(0), foundation::InternalInconsistencyException);
    EXPECT_THROW(LenientDOMImplementation().hasFeature("Core", "2.0"), foundation::InternalInconsistencyException);
}

TEST(DOMNodeArena, ParsedNodesComeFromTheParseArenaAndOutliveItsScope) {
    EXPECT_EQ(NodeArena::current(), nullptr) << "outside a parse nodes come from the heap";
    std::shared_ptr<Element> kept;
    std::shared_ptr<Attr> attribute;
    {
        NodeArena::Scope outer;
        {
            NodeArena::Scope inner;
            EXPECT_EQ(NodeArena::current(), &inner.arena());
            kept = makeNodeShared<Element>("rect");
            kept->appendChild(makeNodeShared<Text>(std::string(200'000, 't')));
            attribute = Attr::makeInNamespace("urn:x", "x:k", "v");
            EXPECT_GE(inner.arena().blockCount(), 1u);
        }
        EXPECT_EQ(NodeArena::current(), &outer.arena()) << "the enclosing parse's arena is back";
        EXPECT_EQ(outer.arena().blockCount(), 0u);
    }
    EXPECT_EQ(NodeArena::current(), nullptr);
    // The arena lives while its nodes do (a sanitised build reports any read of freed memory).
    EXPECT_EQ(kept->tagName(), "rect");
    EXPECT_EQ(kept->textContent()->size(), 200'000u);
    EXPECT_EQ(attribute->namespaceURI(), "urn:x");
    EXPECT_EQ(attribute->value(), "v");
    kept->removeChild(kept->firstChild());
    EXPECT_FALSE(kept->hasChildNodes());
}

TEST(DOMAttributes, AnAttributeKeepsOneNameAndValueAndItsNamespace) {
    Attr attribute(std::optional<std::string>("http://www.w3.org/2000/svg"), "fill", "red");
    EXPECT_EQ(attribute.namespaceURI(), "http://www.w3.org/2000/svg");
    attribute.setNodeValue("blue");
    EXPECT_EQ(attribute.value(), "blue") << "the node value and the value are one text";
    attribute.setValue("green");
    EXPECT_EQ(attribute.nodeValue(), "green");
    EXPECT_EQ(attribute.name(), attribute.nodeName());
    Attr own(std::optional<std::string>("urn:own"), "o:k", "v");
    EXPECT_EQ(own.namespaceURI(), "urn:own");
    EXPECT_EQ(own.localName(), "k");
    Attr none(std::nullopt, "k", "v");
    EXPECT_EQ(none.namespaceURI(), std::nullopt);
    // Only the exact common namespaces are shared: a longer or shorter URI keeps its own text.
    for (const std::string uri : {"http://www.w3.org/2000/svgx", "http://www.w3.org/2000/sv", "HTTP://www.w3.org/2000/svg"}) {
        auto near = Attr::makeInNamespace(uri, "k", "v");
        EXPECT_EQ(near->namespaceURI(), uri);
    }
    auto shared = Attr::makeInNamespace("http://www.w3.org/1999/xlink", "xlink:href", "#a");
    EXPECT_EQ(shared->namespaceURI(), "http://www.w3.org/1999/xlink");
    EXPECT_EQ(shared->prefix(), "xlink");
    EXPECT_EQ(shared->localName(), "href");
}

TEST(DOMNodeArena, OnlyTheParsingThreadTakesFromItsArena) {
    NodeArena::Scope scope;
    auto here = makeNodeShared<Element>("g");
    const std::size_t blocks = scope.arena().blockCount();
    std::shared_ptr<Element> there;
    bool arenaThere = true;
    std::thread other([&] {
        arenaThere = NodeArena::current() != nullptr;
        there = makeNodeShared<Element>("rect");
        there->setAttribute("fill", "red");
    });
    other.join();
    EXPECT_FALSE(arenaThere) << "another thread sees no arena";
    EXPECT_EQ(scope.arena().blockCount(), blocks);
    // A node of the arena given up on another thread frees it there, once.
    std::thread release([node = std::move(here)]() mutable { node.reset(); });
    release.join();
    EXPECT_EQ(there->getAttribute("fill"), "red");
}
