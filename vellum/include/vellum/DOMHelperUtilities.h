#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellum {

class Element;
class Node;
class NodeList;

// The tree searches behind the documents' and elements' look-ups: depth first, in document order.
struct DOMHelperUtilities {
    // Appends each element from `start` down whose tag name (without a namespace) or local name in
    // that namespace is `name`; "*" matches any name. Exact, case-sensitive comparisons.
    static void privateGetElementsByName(std::string_view name, const std::optional<std::string>& namespaceURI,
                                         const std::shared_ptr<Node>& start, NodeList& list);
    // The first element from `start` down whose "id" attribute is `identifier`.
    static std::shared_ptr<Element> privateGetElementById(std::string_view identifier, const std::shared_ptr<Node>& start);
};

}  // namespace vellum
