#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellum {

class Document;
class NamedNodeMap;
class NodeList;

// The twelve node kinds of the DOM Level 2 Core, by their codes. Other codes may be stored.
enum class NodeType : std::int32_t {
    element = 1,
    attribute = 2,
    text = 3,
    cdataSection = 4,
    entityReference = 5,
    entity = 6,
    processingInstruction = 7,
    comment = 8,
    document = 9,
    documentType = 10,
    documentFragment = 11,
    notation = 12,
};

// Namespace URI to prefix, as the serialiser takes its known and declared namespaces.
using NamespacePrefixes = std::map<std::string, std::string>;

inline constexpr std::string_view xmlnsNamespaceURI = "http://www.w3.org/2000/xmlns/";

// A node of the document tree. Children and attributes are owned; the parent is a weak link.
class Node : public std::enable_shared_from_this<Node> {
public:
    virtual ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    NodeType nodeType() const { return nodeType_; }
    // The qualified name; "#text", "#comment", "#cdata-section", "#document"; empty for a fragment.
    const std::string& nodeName() const { return nodeName_; }
    const std::optional<std::string>& nodeValue() const { return nodeValue_; }
    void setNodeValue(std::optional<std::string> value) { nodeValue_ = std::move(value); }

    std::shared_ptr<Node> parentNode() const { return parentNode_.lock(); }
    // Element classes that follow their place in the tree override this; tree changes call it.
    virtual void setParentNode(const std::shared_ptr<Node>& parent);
    // A node gets its own list only when a child is put under it (most are leaves: text between
    // elements, paths); before, every node answers one empty list that never changes.
    const std::shared_ptr<NodeList>& childNodes() const { return childNodes_ ? childNodes_ : noChildren(); }
    // Only elements have an attribute map.
    const std::shared_ptr<NamedNodeMap>& attributes() const { return attributes_; }
    // Set only by DOM code that asks for it: kept with the rare parts.
    std::shared_ptr<Document> ownerDocument() const { return rare_ ? rare_->ownerDocument.lock() : nullptr; }
    void setOwnerDocument(const std::shared_ptr<Document>& document) {
        if (document || rare_) rareParts().ownerDocument = document;
    }

    // Nearly always the node name itself (no prefix), kept once.
    const std::string& localName() const { return localNameIsName_ ? nodeName_ : prefixedLocalName(); }
    const std::optional<std::string>& namespaceURI() const { return *namespaceURI_; }
    const std::optional<std::string>& prefix() const { return rare_ ? rare_->prefix : noText(); }
    void setPrefix(std::optional<std::string> prefix);

    std::shared_ptr<Node> firstChild() const;
    std::shared_ptr<Node> lastChild() const;
    std::shared_ptr<Node> previousSibling() const;
    std::shared_ptr<Node> nextSibling() const;

    // The tree operations take a node away from any parent it had before, and refuse (answering null,
    // changing nothing) a node that would become its own ancestor or a reference that is not a child.
    std::shared_ptr<Node> appendChild(const std::shared_ptr<Node>& newChild);
    // A null reference appends.
    std::shared_ptr<Node> insertBefore(const std::shared_ptr<Node>& newChild, const std::shared_ptr<Node>& refChild);
    // Answers the old child.
    std::shared_ptr<Node> replaceChild(const std::shared_ptr<Node>& newChild, const std::shared_ptr<Node>& oldChild);
    std::shared_ptr<Node> removeChild(const std::shared_ptr<Node>& oldChild);
    // How many times the tree operations above have changed any tree, so that what is kept about a tree (an
    // identifier index) can tell it is out of date.
    static std::uint64_t treeChanges();
    // Puts a node the parser has just made at the end of `parent`'s children, as appendChild does. A
    // new leaf (the usual case) is appended without appendChild's checks and without taking another
    // share of either node; a child already under `parent` stays where it is.
    static void appendParsedChild(const std::shared_ptr<Node>& parent, std::shared_ptr<Node> child);

    bool hasChildNodes() const;
    bool hasAttributes() const;

    // Unsupported: they fail the assertion handler.
    std::shared_ptr<Node> cloneNode(bool deep);
    void normalize();
    bool isSupportedFeature(std::string_view feature, std::string_view version);

    // Elements, attributes, entities and fragments: their children's text in order; character data
    // and processing instructions: their value; the others: nothing.
    std::optional<std::string> textContent() const;
    virtual std::string description() const;

    // Appends this node and its subtree as XML, without indentation or self-closing tags. Text and
    // attribute values are escaped. `available` lists the namespaces the output may declare,
    // `active` those already declared around this node (both URI to prefix).
    void appendXMLToString(std::string& output, const NamespacePrefixes& available,
                           const NamespacePrefixes& active) const;

    static std::string_view typeName(NodeType type);

    // Whether the node is an SVGElement: its own tag, so the tree walks need no dynamic cast.
    bool isSVGElement() const { return isSVGElement_; }

protected:
    // For nodes without a value (elements, documents, ...); an element gets its attribute map.
    Node(NodeType type, std::string name);
    // For nodes with a value (attributes, character data, processing instructions).
    Node(NodeType type, std::string name, std::string value);
    // For text the parser read: name and value copied straight into their places, without passing
    // through temporaries (a document holds about as many text nodes as elements).
    struct CopiedText {};
    Node(CopiedText, NodeType type, std::string_view name, std::string_view value);
    // The namespaced forms call this: local name and prefix from the qualified name.
    void postInitNamespaceHandling(std::optional<std::string> namespaceURI);
    // The same from a view: the common namespaces are shared by every node, so most nodes copy nothing.
    void postInitNamespaceHandlingFromView(std::optional<std::string_view> namespaceURI);
    void markAsSVGElement() { isSVGElement_ = true; }

    // An SVG element's kind bits, kept here so that a walk over child lists asking what each child is
    // reads the node's first bytes only (beside its type and its child list), not its far end.
    std::uint32_t elementKinds_ = 0;
    bool elementKindsKnown_ = false;

private:
    bool isAncestorOrSelf(const Node* node) const;
    void detachFromParent(const std::shared_ptr<Node>& node);
    std::ptrdiff_t indexOfChild(const Node* node) const;

    NodeType nodeType_;
    bool isSVGElement_ = false;
    // Whether the local name is the whole node name; else it is the rare parts' (or empty).
    bool localNameIsName_ = false;
    std::shared_ptr<NodeList> childNodes_;
    std::shared_ptr<NamedNodeMap> attributes_;
    std::weak_ptr<Node> parentNode_;
    std::string nodeName_;
    std::optional<std::string> nodeValue_;
    // What few nodes have, kept apart so that every node (most of them text between elements) is smaller.
    struct RareParts {
        std::optional<std::string> namespaceURI;
        std::optional<std::string> prefix;
        // The part after the prefix.
        std::string localName;
        std::weak_ptr<Document> ownerDocument;
    };
    const std::string& prefixedLocalName() const;
    static const std::optional<std::string>& noText();
    // The list a node without its own answers: always empty, never changed.
    static const std::shared_ptr<NodeList>& noChildren();
    NodeList& ownChildList();
    RareParts& rareParts();

    // Points at a shared copy of a common namespace, at the rare parts' own, or at nothing.
    const std::optional<std::string>* namespaceURI_;
    std::unique_ptr<RareParts> rare_;
};

}  // namespace vellum
