#include "vellum/Document.h"

#include "foundation/Assertion.h"
#include "vellum/Attr.h"
#include "vellum/CharacterData.h"
#include "vellum/DOMHelperUtilities.h"
#include "vellum/Element.h"
#include "vellum/NodeList.h"

namespace vellum {

Document::Document(std::string name) : Node(NodeType::document, std::move(name)) {}

std::shared_ptr<Element> Document::createElement(std::string tagName) {
    return std::make_shared<Element>(std::move(tagName));
}

std::shared_ptr<Element> Document::createElementNS(std::optional<std::string> namespaceURI, std::string qualifiedName) {
    return std::make_shared<Element>(std::move(qualifiedName), std::move(namespaceURI), Element::AttributeNodes{});
}

std::shared_ptr<DocumentFragment> Document::createDocumentFragment() { return std::make_shared<DocumentFragment>(); }

std::shared_ptr<Text> Document::createTextNode(std::string data) { return std::make_shared<Text>(std::move(data)); }

std::shared_ptr<Comment> Document::createComment(std::string data) { return std::make_shared<Comment>(std::move(data)); }

std::shared_ptr<CDATASection> Document::createCDATASection(std::string data) {
    return std::make_shared<CDATASection>(std::move(data));
}

std::shared_ptr<ProcessingInstruction> Document::createProcessingInstruction(std::string target, std::string data) {
    return std::make_shared<ProcessingInstruction>(std::move(target), std::move(data));
}

std::shared_ptr<Attr> Document::createAttribute(std::string name) { return std::make_shared<Attr>(std::move(name), ""); }

std::shared_ptr<Attr> Document::createAttributeNS(std::optional<std::string>, std::string) {
    foundation::raiseAssertion("This should be re-implemented to share code with createElementNS: method above");
}

std::shared_ptr<Node> Document::createEntityReference(std::string) {
    foundation::raiseAssertion(
        "Not implemented. According to the DOM standard: Creates an EntityReference object. In addition, if the referenced entity "
        "is known, the child list of the EntityReference  node is made the same as that of the corresponding Entity  "
        "node. Note: If any descendant of the Entity node has an unbound namespace prefix, the corresponding "
        "descendant of the created EntityReference node is also unbound; (its namespaceURI is null). The DOM Level 2 "
        "does not support any mechanism to resolve namespace prefixes.");
}

std::shared_ptr<Node> Document::importNode(const std::shared_ptr<Node>&, bool) {
    foundation::raiseAssertion("Not implemented.");
}

std::shared_ptr<NodeList> Document::getElementsByTagName(std::string_view name) const {
    auto list = std::make_shared<NodeList>();
    DOMHelperUtilities::privateGetElementsByName(name, std::nullopt, documentElement_, *list);
    return list;
}

std::shared_ptr<NodeList> Document::getElementsByTagNameNS(std::string_view namespaceURI, std::string_view localName) const {
    auto list = std::make_shared<NodeList>();
    DOMHelperUtilities::privateGetElementsByName(localName, std::string(namespaceURI), documentElement_, *list);
    return list;
}

std::shared_ptr<Element> Document::getElementById(std::string_view identifier) const {
    return DOMHelperUtilities::privateGetElementById(identifier, documentElement_);
}

namespace {
constexpr const char* lenientNote =
    "LenientDOMImplementation carries this name because the platform already has a private class of the standard "
    "name, so this class cannot follow the DOM standard. Not implemented yet";
}

bool LenientDOMImplementation::hasFeature(std::string_view, std::string_view) { foundation::raiseAssertion(lenientNote); }

std::shared_ptr<DocumentType> LenientDOMImplementation::createDocumentType(std::string_view, std::string_view,
                                                                           std::string_view) {
    foundation::raiseAssertion(lenientNote);
}

std::shared_ptr<Document> LenientDOMImplementation::createDocument(std::string_view, std::string_view,
                                                                   const std::shared_ptr<DocumentType>&) {
    foundation::raiseAssertion(lenientNote);
}

}  // namespace vellum
