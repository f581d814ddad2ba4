#include "vellum/DOMHelperUtilities.h"

#include "vellum/Element.h"
#include "vellum/NodeList.h"

namespace vellum {

void DOMHelperUtilities::privateGetElementsByName(std::string_view name, const std::optional<std::string>& namespaceURI,
                                                  const std::shared_ptr<Node>& start, NodeList& list) {
    if (!start) return;
    if (auto element = Element::from(start)) {
        const bool matches = namespaceURI
                                 ? element->namespaceURI() == namespaceURI && (name == "*" || element->localName() == name)
                                 : name == "*" || element->tagName() == name;
        if (matches) list.internalArray().push_back(element);
    }
    for (const auto& child : *start->childNodes()) privateGetElementsByName(name, namespaceURI, child, list);
}

std::shared_ptr<Element> DOMHelperUtilities::privateGetElementById(std::string_view identifier,
                                                                   const std::shared_ptr<Node>& start) {
    // Every element without an id would match the empty one.
    if (!start || identifier.empty()) return nullptr;
    if (auto element = Element::from(start); element && element->getAttribute("id") == identifier) {
        return element;
    }
    for (const auto& child : *start->childNodes()) {
        if (auto found = privateGetElementById(identifier, child)) return found;
    }
    return nullptr;
}

}  // namespace vellum
