#include "vellum/Attr.h"

namespace vellum {

Attr::Attr(std::string name, std::string value)
    : Node(NodeType::attribute, name, value), name_(std::move(name)), value_(std::move(value)) {}

Attr::Attr(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value)
    : Node(NodeType::attribute, qualifiedName, value), name_(std::move(qualifiedName)), value_(std::move(value)) {
    postInitNamespaceHandling(std::move(namespaceURI));
}

void Attr::setValue(std::string value) {
    setNodeValue(value);
    value_ = std::move(value);
}

}  // namespace vellum
