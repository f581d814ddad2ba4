#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vellum/Node.h"

namespace vellum {

class Element;

// An attribute node: `name` and `value` read the node name and value, each text kept once.
class Attr : public Node {
public:
    Attr(std::string name, std::string value);
    // Namespaced: local name and prefix come from the qualified name.
    Attr(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value);

    // What the parser makes: the namespace is read from the view (the common ones are shared).
    static std::shared_ptr<Attr> makeInNamespace(std::optional<std::string_view> namespaceURI, std::string qualifiedName,
                                                 std::string value);
    // Only makeInNamespace holds the key to the constructor below.
    class InNamespace {
        InNamespace() = default;
        friend class Attr;
    };
    Attr(InNamespace, std::optional<std::string_view> namespaceURI, std::string qualifiedName, std::string value);

    // The node, when it is an attribute: a type test, not a dynamic cast.
    static const Attr* from(const Node* node) {
        return node && node->nodeType() == NodeType::attribute ? static_cast<const Attr*>(node) : nullptr;
    }
    static std::shared_ptr<Attr> from(const std::shared_ptr<Node>& node) {
        return node && node->nodeType() == NodeType::attribute ? std::static_pointer_cast<Attr>(node) : nullptr;
    }

    bool specified() const { return specified_; }
    const std::string& name() const { return nodeName(); }
    const std::string& value() const;
    void setValue(std::string value);
    // A weak link: the element owns its attributes.
    std::shared_ptr<Element> ownerElement() const { return ownerElement_.lock(); }
    void setOwnerElement(const std::shared_ptr<Element>& element) { ownerElement_ = element; }

private:
    bool specified_ = false;
    std::weak_ptr<Element> ownerElement_;
};

}  // namespace vellum
