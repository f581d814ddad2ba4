#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vellum/NamedNodeMap.h"
#include "vellum/Node.h"

namespace vellum {

class Attr;

// An element with its attribute interface. Missing attributes read as the empty text.
class Element : public Node {
public:
    using AttributeTexts = std::map<std::string, std::string>;
    using AttributeNodes = std::map<std::string, std::shared_ptr<Attr>>;

    // A plain element: each entry becomes an attribute filed by name.
    explicit Element(std::string localName, const AttributeTexts& attributes = {});
    // A namespaced element whose attributes are filed under their own namespace, or under the
    // element's when they have none.
    Element(std::string qualifiedName, const std::optional<std::string>& namespaceURI, const AttributeNodes& attributes);
    // What the parser makes: the same, its attributes kept without nodes until DOM code asks for them.
    Element(std::string qualifiedName, const std::optional<std::string>& namespaceURI, const ParsedAttributes& attributes);

    // The node name: an element's is its qualified name, kept once.
    const std::string& tagName() const { return nodeName(); }

    // The node as an element, or null: a type test, not a dynamic cast (only Element is of that type).
    static Element* from(Node* node) { return node && node->nodeType() == NodeType::element ? static_cast<Element*>(node) : nullptr; }
    static const Element* from(const Node* node) {
        return node && node->nodeType() == NodeType::element ? static_cast<const Element*>(node) : nullptr;
    }
    static std::shared_ptr<Element> from(const std::shared_ptr<Node>& node) {
        return node && node->nodeType() == NodeType::element ? std::static_pointer_cast<Element>(node) : nullptr;
    }

    std::string getAttribute(std::string_view name) const;
    // The attribute's value where it is kept, until the attributes change (empty for a node of another
    // kind filed in its place), or none when there is nothing of that name: hasAttribute's answer and
    // getAttribute's text at once.
    std::optional<std::string_view> findAttributeValue(std::string_view name) const;
    // The same for a name whose filter bits the caller worked out once.
    std::optional<std::string_view> findAttributeValue(const NamedNodeMap::Name& name) const {
        return attributes()->valueOfNamedItem(name);
    }
    void setAttribute(std::string name, std::string value);
    // Removes the attribute of that name, filed by name or under a namespace.
    void removeAttribute(std::string_view name);
    std::shared_ptr<Attr> getAttributeNode(std::string_view name) const;
    // Answers the attribute it replaced.
    std::shared_ptr<Attr> setAttributeNode(const std::shared_ptr<Attr>& attribute);
    std::shared_ptr<Attr> removeAttributeNode(const std::shared_ptr<Attr>& attribute);
    bool hasAttribute(std::string_view name) const;

    std::string getAttributeNS(std::string_view namespaceURI, std::string_view localName) const;
    void setAttributeNS(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value);
    std::shared_ptr<Attr> getAttributeNodeNS(std::string_view namespaceURI, std::string_view localName) const;
    std::shared_ptr<Attr> setAttributeNodeNS(const std::shared_ptr<Attr>& attribute);
    void removeAttributeNS(std::string_view namespaceURI, std::string_view localName);
    bool hasAttributeNS(std::string_view namespaceURI, std::string_view localName) const;

    // This element (when it matches) and its descendants, in document order; "*" matches any.
    std::shared_ptr<NodeList> getElementsByTagName(std::string_view name);
    std::shared_ptr<NodeList> getElementsByTagNameNS(std::string_view namespaceURI, std::string_view localName);
};

}  // namespace vellum
