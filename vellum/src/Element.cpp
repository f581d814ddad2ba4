#include "vellum/Element.h"

#include "vellum/Attr.h"
#include "vellum/DOMHelperUtilities.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeList.h"

namespace vellum {

Element::Element(std::string localName, const AttributeTexts& attributes)
    : Node(NodeType::element, std::move(localName)) {
    for (const auto& [name, value] : attributes) setAttribute(name, value);
}

Element::Element(std::string qualifiedName, const std::optional<std::string>& namespaceURI, const AttributeNodes& attributes)
    : Element(std::move(qualifiedName), namespaceURI, ParsedAttributes()) {
    for (const auto& [name, attribute] : attributes) this->attributes()->setNamedItemNS(attribute, this->namespaceURI());
}

Element::Element(std::string qualifiedName, const std::optional<std::string>& namespaceURI,
                 const ParsedAttributes& attributes)
    : Node(NodeType::element, std::move(qualifiedName)) {
    postInitNamespaceHandlingFromView(namespaceURI ? std::optional<std::string_view>(*namespaceURI) : std::nullopt);
    this->attributes()->fileParsed(attributes, this->namespaceURI());
}

std::string Element::getAttribute(std::string_view name) const {
    const auto value = findAttributeValue(name);
    return value ? std::string(*value) : std::string();
}

std::optional<std::string_view> Element::findAttributeValue(std::string_view name) const {
    return attributes()->valueOfNamedItem(name);
}

void Element::setAttribute(std::string name, std::string value) {
    attributes()->setNamedItem(std::make_shared<Attr>(std::move(name), std::move(value)));
}

void Element::removeAttribute(std::string_view name) { attributes()->removeFoundItem(name); }

std::shared_ptr<Attr> Element::getAttributeNode(std::string_view name) const {
    return Attr::from(attributes()->getNamedItem(name));
}

std::shared_ptr<Attr> Element::setAttributeNode(const std::shared_ptr<Attr>& attribute) {
    return Attr::from(attributes()->setNamedItem(attribute));
}

std::shared_ptr<Attr> Element::removeAttributeNode(const std::shared_ptr<Attr>& attribute) {
    if (!attribute) return nullptr;
    return Attr::from(attributes()->removeNamedItem(attribute->nodeName()));
}

bool Element::hasAttribute(std::string_view name) const { return findAttributeValue(name).has_value(); }

std::string Element::getAttributeNS(std::string_view namespaceURI, std::string_view localName) const {
    const auto value = attributes()->valueOfNamedItemNS(namespaceURI, localName);
    return value ? std::string(*value) : std::string();
}

void Element::setAttributeNS(std::optional<std::string> namespaceURI, std::string qualifiedName, std::string value) {
    attributes()->setNamedItemNS(std::make_shared<Attr>(std::move(namespaceURI), std::move(qualifiedName), std::move(value)));
}

std::shared_ptr<Attr> Element::getAttributeNodeNS(std::string_view namespaceURI, std::string_view localName) const {
    return Attr::from(attributes()->getNamedItemNS(namespaceURI, localName));
}

std::shared_ptr<Attr> Element::setAttributeNodeNS(const std::shared_ptr<Attr>& attribute) {
    return Attr::from(attributes()->setNamedItemNS(attribute));
}

void Element::removeAttributeNS(std::string_view namespaceURI, std::string_view localName) {
    attributes()->removeNamedItemNS(namespaceURI, localName);
}

bool Element::hasAttributeNS(std::string_view namespaceURI, std::string_view localName) const {
    return attributes()->valueOfNamedItemNS(namespaceURI, localName).has_value();
}

std::shared_ptr<NodeList> Element::getElementsByTagName(std::string_view name) {
    auto list = std::make_shared<NodeList>();
    DOMHelperUtilities::privateGetElementsByName(name, std::nullopt, shared_from_this(), *list);
    return list;
}

std::shared_ptr<NodeList> Element::getElementsByTagNameNS(std::string_view namespaceURI, std::string_view localName) {
    auto list = std::make_shared<NodeList>();
    DOMHelperUtilities::privateGetElementsByName(localName, std::string(namespaceURI), shared_from_this(), *list);
    return list;
}

}  // namespace vellum
