#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vellum/Element.h"

namespace vellum {

class Node;
class VellumParseResult;
class VellumSource;

// Decides which node class an XML element becomes. The parser asks the extensions in the order they
// were added: the first whose namespaces and tags both name the element, else the last one claiming
// the namespace with no tag list, else the last one claiming no namespace at all.
class VellumParserExtension {
public:
    virtual ~VellumParserExtension() = default;

    // Empty: any namespace.
    virtual std::vector<std::string> supportedNamespaces() const = 0;
    // Empty: any tag of those namespaces.
    virtual std::vector<std::string> supportedTags() const = 0;

    // The new node, or null to decline. A problem with the document goes into `result`.
    virtual std::shared_ptr<Node> handleStartElement(const std::string& name, const std::shared_ptr<VellumSource>& document,
                                                     const std::optional<std::string>& prefix,
                                                     const std::optional<std::string>& namespaceURI,
                                                     const ParsedAttributes& attributes, VellumParseResult& result,
                                                     const std::shared_ptr<Node>& parentNode) = 0;
    // `node` is the element being closed.
    virtual void handleEndElement(const std::shared_ptr<Node>& node, const std::shared_ptr<VellumSource>& document,
                                  VellumParseResult& result) {
        (void)node, (void)document, (void)result;
    }
};

inline constexpr const char* svgNamespaceURI = "http://www.w3.org/2000/svg";
inline constexpr const char* xlinkNamespaceURI = "http://www.w3.org/1999/xlink";

}  // namespace vellum
