#include "vellum/Attr.h"

#include "vellum/NodeArena.h"

namespace vellum {

Attr::Attr(std::string name, std::string value) : Node(NodeType::attribute, std::move(name), std::move(value)) {}

Attr::Attr(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value)
    : Node(NodeType::attribute, std::move(qualifiedName), std::move(value)) {
    postInitNamespaceHandling(std::move(namespaceURI));
}

Attr::Attr(InNamespace, std::optional<std::string_view> namespaceURI, std::string qualifiedName, std::string value)
    : Node(NodeType::attribute, std::move(qualifiedName), std::move(value)) {
    postInitNamespaceHandlingFromView(namespaceURI);
}

std::shared_ptr<Attr> Attr::makeInNamespace(std::optional<std::string_view> namespaceURI, std::string qualifiedName,
                                            std::string value) {
    return makeNodeShared<Attr>(InNamespace{}, namespaceURI, std::move(qualifiedName), std::move(value));
}

const std::string& Attr::value() const {
    // An attribute always has a value unless a caller cleared the node value.
    static const std::string none;
    return nodeValue() ? *nodeValue() : none;
}

void Attr::setValue(std::string value) { setNodeValue(std::move(value)); }

}  // namespace vellum
