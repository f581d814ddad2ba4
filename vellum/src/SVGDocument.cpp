#include "vellum/SVGDocument.h"

#include <algorithm>
#include <set>

#include "VellumLog.h"
#include "foundation/Format.h"
#include "vellum/NamedNodeMap.h"
#include "vellum/NodeList.h"
#include "vellum/SVGSVGElement.h"
#include "vellum/VellumParserExtension.h"

namespace vellum {

namespace {

// "http://www.w3.org/1999/xlink" gives "xlink".
std::string lastPathComponent(std::string_view uri) {
    while (uri.size() > 1 && uri.back() == '/') uri.remove_suffix(1);
    const std::size_t slash = uri.rfind('/');
    return std::string(slash == std::string_view::npos ? uri : uri.substr(slash + 1));
}

}  // namespace

void SVGDocument::setRootElement(std::shared_ptr<SVGSVGElement> root) {
    Document::setDocumentElement(root);
    rootElement_ = std::move(root);
}

// Reported, not raised: the report describes a caller's mistake and the document goes on as set.
void SVGDocument::setDocumentElement(std::shared_ptr<Element> element) {
    auto root = SVGElement::as<SVGSVGElement>(element);
    if (element && !root) {
        vellumLogError("Cannot set the documentElement property on an SVG doc unless it's of type SVGSVGDocument");
    }
    Document::setDocumentElement(std::move(element));
    rootElement_ = std::move(root);
}

SVGDocument::PrefixesByNamespace SVGDocument::allPrefixesByNamespace() const {
    PrefixesByNamespace prefixes;
    accumulateNamespacesForNode(rootElement_, prefixes);
    return prefixes;
}

void SVGDocument::accumulateNamespacesForNode(const std::shared_ptr<Node>& node, PrefixesByNamespace& prefixes) {
    std::vector<const Node*> pending{node.get()};
    while (!pending.empty()) {
        const Node* current = pending.back();
        pending.pop_back();
        if (!current) continue;
        if (const auto& attributes = current->attributes()) {
            const auto& byNamespace = attributes->allNodesUnsortedDOM2();
            if (auto declarations = byNamespace.find(xmlnsNamespaceURI); declarations != byNamespace.end()) {
                for (const auto& [localName, attribute] : declarations->second) {
                    auto& list = prefixes[attribute->nodeValue().value_or("")];
                    if (std::find(list.begin(), list.end(), localName) == list.end()) list.push_back(localName);
                }
            }
        }
        const auto& children = *current->childNodes();
        for (std::size_t index = children.length(); index > 0; --index) pending.push_back(children.item(index - 1).get());
    }
}

std::map<std::string, std::string> SVGDocument::allPrefixesByNamespaceNormalized() const {
    std::map<std::string, std::string> normalized;
    std::set<std::string> taken;
    for (const auto& [uri, prefixes] : allPrefixesByNamespace()) {
        auto free = std::find_if(prefixes.begin(), prefixes.end(), [&](const std::string& prefix) {
            return !taken.contains(prefix);
        });
        std::string prefix;
        if (free != prefixes.end()) {
            prefix = *free;
        } else if (uri == svgNamespaceURI) {
            prefix = "";
        } else {
            const std::string component = lastPathComponent(uri);
            prefix = component;
            for (int suffix = 2; taken.contains(prefix); ++suffix) prefix = foundation::format("%@-%i", component, suffix);
        }
        taken.insert(prefix);
        normalized[uri] = std::move(prefix);
    }
    return normalized;
}

}  // namespace vellum
